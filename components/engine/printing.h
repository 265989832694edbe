#pragma once

// Printing a preview document. The host shows the print dialog through its dialog façade
// (preparePrinter first, so the dialog offers the document's paper and pages), then prints.

#include "engine/previewdocument.h"

class QPrinter;

namespace kv6::engine {

// The document's first page size and orientation, full-page mode, and all its pages as the
// selected range.
void preparePrinter(QPrinter &printer, const PreviewDocument &document);

// Pages `from` to `to` (1-based, inclusive; out-of-range ends are clamped). Each page is drawn
// on the whole sheet at its own orientation, scaled down only when the paper is smaller.
bool printDocument(
    const PreviewDocument &document, QPrinter &printer, int from, int to, QString *error = nullptr);
// The range the printer's settings name: all pages, a page range, or the current page.
bool printDocument(const PreviewDocument &document, QPrinter &printer, int currentPage = 1,
    QString *error = nullptr);

} // namespace kv6::engine
