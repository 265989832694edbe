#pragma once

// Helpers the engine tests share: layouts written by a test, a print-job record set and numbers
// in the system locale.

#include "documenttexts.h"
#include "engine/layout.h"
#include "engine/previewdocument.h"
#include "engine/reportengine.h"
#include "recordset/recordset.h"
#include "testenv.h"
#include "toolrun.h"
#include "vbcore/currency.h"

#include <gtest/gtest.h>

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

// Loads report `name` of layout XML the test wrote into the engine; a layout that does not load
// fails the running test.
inline void loadLayout(
    kv6::engine::ReportEngine &engine, const char *xml, const QString &name = QStringLiteral("R"))
{
    kv6::engine::ReportLayout layout;
    QString error;
    ASSERT_TRUE(kv6::engine::loadLayoutXml(QByteArray(xml), name, layout, &error))
        << error.toStdString();
    engine.setLayout(layout);
}

// A print-job record set: user, printer, pages, cost (currency) and date, in the order given.
struct JobRow
{
    QString user;
    QString printer;
    int pages;
    double cost;
};

inline kv6::RecordsetPtr jobs(const QList<JobRow> &rows)
{
    auto rs = kv6::Recordset::Create();
    rs->AppendField(QStringLiteral("UserName"), kv6::adVarWChar, 64);
    rs->AppendField(QStringLiteral("Printer"), kv6::adVarWChar, 64);
    rs->AppendField(QStringLiteral("Pages"), kv6::adInteger);
    rs->AppendField(QStringLiteral("Cost"), kv6::adCurrency);
    rs->AppendField(QStringLiteral("JobDate"), kv6::adDate);
    rs->Open();
    int day = 1;
    for (const JobRow &j : rows) {
        rs->AppendRow(
            { j.user, j.printer, j.pages, QVariant::fromValue(kv6::Currency::fromDouble(j.cost)),
                QDateTime(QDate(2024, 3, day), QTime(9, 30)) });
        day = day % 28 + 1;
    }
    rs->MoveFirst();
    return rs;
}

} // namespace kv6test
