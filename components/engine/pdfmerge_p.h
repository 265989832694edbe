#pragma once

// Joins PDF files written by QPdfWriter into one: every object of every part is copied with its
// number changed, stream bytes untouched, under one page tree, catalog and information
// dictionary. Only what that writer produces is understood; anything else fails, naming the file,
// rather than giving a wrong PDF.

#include <QList>
#include <QString>

class QIODevice;

namespace kv6::engine {

struct PdfPart
{
    QString path;
    // Where each of the part's pages goes in the whole, counted from 0, in the part's order.
    QList<int> pages;
};

// Writes the parts' pages as one PDF to `out`: the header and information dictionary (title,
// creator) are the first part's. Every page of the whole must come from exactly one part.
// `overlay`, when given, is drawn over the pages it names: each of its pages becomes a form that
// its page of the whole draws after its own contents.
bool mergePdfParts(const QList<PdfPart> &parts, QIODevice *out, QString *error = nullptr,
    const PdfPart *overlay = nullptr);

} // namespace kv6::engine
