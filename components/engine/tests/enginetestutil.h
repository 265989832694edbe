#pragma once

// Helpers the engine tests share: running poppler's tools on written PDFs.

#include "engine/previewdocument.h"
#include "recordset/recordset.h"
#include "testenv.h"
#include "toolrun.h"
#include "vbcore/currency.h"

#include <QLocale>
#include <QString>
#include <QStringList>

#include <ostream>

inline std::ostream &operator<<(std::ostream &os, const QString &s)
{
    return os << s.toStdString();
}

namespace kv6test {

// A number written with "." and "," as the system locale writes it.
inline QString localNumber(QString s)
{
    const QLocale l = QLocale::system();
    s.replace(u',', u'\x01').replace(u'.', l.decimalPoint()).replace(u'\x01', l.groupSeparator());
    return s;
}

// A print-job record set: user, printer, pages, cost (currency) and date, in the order given.
struct Job
{
    QString user;
    QString printer;
    int pages;
    double cost;
};

inline kv6::RecordsetPtr jobs(const QList<Job> &rows)
{
    auto rs = kv6::Recordset::Create();
    rs->AppendField(QStringLiteral("UserName"), kv6::adVarWChar, 64);
    rs->AppendField(QStringLiteral("Printer"), kv6::adVarWChar, 64);
    rs->AppendField(QStringLiteral("Pages"), kv6::adInteger);
    rs->AppendField(QStringLiteral("Cost"), kv6::adCurrency);
    rs->AppendField(QStringLiteral("JobDate"), kv6::adDate);
    rs->Open();
    int day = 1;
    for (const Job &j : rows) {
        rs->AppendRow(
            { j.user, j.printer, j.pages, QVariant::fromValue(kv6::Currency::fromDouble(j.cost)),
                QDateTime(QDate(2024, 3, day), QTime(9, 30)) });
        day = day % 28 + 1;
    }
    rs->MoveFirst();
    return rs;
}

struct PlacedText
{
    int page;
    QRectF rect;
    QString text;
    kv6::engine::TextRun run;
};

// Every text run of the document in drawing order.
inline QList<PlacedText> texts(const kv6::engine::PreviewDocument &doc)
{
    QList<PlacedText> out;
    for (int p = 1; p <= doc.pageCount(); ++p) {
        for (const auto &item : doc.page(p).items) {
            if (const auto *t = std::get_if<kv6::engine::TextRun>(&item))
                out.append({ p, t->rect, t->text, *t });
        }
    }
    return out;
}

inline QStringList textsOf(const kv6::engine::PreviewDocument &doc, int page)
{
    QStringList out;
    for (const PlacedText &t : texts(doc)) {
        if (t.page == page)
            out << t.text;
    }
    return out;
}

// The first run with exactly this text; page 0 when there is none.
inline PlacedText findText(const kv6::engine::PreviewDocument &doc, const QString &text)
{
    for (const PlacedText &t : texts(doc)) {
        if (t.text == text)
            return t;
    }
    return { 0, {}, {}, {} };
}

} // namespace kv6test
