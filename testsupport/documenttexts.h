#pragma once

// The texts of rendered pages, for the tests of everything that renders (engine, reports,
// catalogue, proposals); their targets link the engine.

#include "engine/previewdocument.h"

#include <QList>
#include <QStringList>

namespace kv6test {

// The text runs of one page, in drawing order.
inline QList<kv6::engine::TextRun> runsOf(const kv6::engine::PreviewDocument &doc, int page)
{
    QList<kv6::engine::TextRun> out;
    for (const kv6::engine::DisplayItem &item : doc.page(page).items) {
        if (const auto *t = std::get_if<kv6::engine::TextRun>(&item))
            out << *t;
    }
    return out;
}

inline QStringList textsOf(const kv6::engine::PreviewDocument &doc, int page)
{
    QStringList out;
    for (const kv6::engine::TextRun &t : runsOf(doc, page))
        out << t.text;
    return out;
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
        for (const kv6::engine::TextRun &t : runsOf(doc, p))
            out.append({ p, t.rect, t.text, t });
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

// With KV6_KEEP_OUTPUT set to a folder, the pages are written there as `name`.pdf to be looked
// at.
inline void keepPdf(const kv6::engine::PreviewDocument &doc, const QString &name)
{
    const QString dir = qEnvironmentVariable("KV6_KEEP_OUTPUT");
    if (!dir.isEmpty())
        kv6::engine::writePdf(doc, dir + QLatin1Char('/') + name + QStringLiteral(".pdf"));
}

} // namespace kv6test
