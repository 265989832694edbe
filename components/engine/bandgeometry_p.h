#pragma once

// Private to the engine: formatted sections (bands) and how their items are measured, moved and
// cut where a page ends.

#include "engine/layout.h"
#include "engine/previewdocument.h"

#include <QList>

namespace kv6::engine {

// One formatted section: what it draws, x from the layout's left edge, y from its top.
struct Band
{
    int section = -1;
    double height = 0;
    int pageBreak = BreakNone;
    bool keepTogether = true;
    QList<DisplayItem> items;
};

enum class BandRole { Body, PageHeader, PageFooter };

// A band in page-less output (HTML, text): every band in order, with the page breaks the
// layout asked for.
struct FlowBand
{
    Band band;
    BandRole role = BandRole::Body;
    bool breakBefore = false;
};

QRectF itemBounds(const DisplayItem &item);
void translateItem(DisplayItem &item, double dx, double dy);
// Where to cut a band so that no line of text and no picture is cut through: at most `avail`.
double chooseCut(const Band &band, double avail);
// The part of a band between y = from and y = to, moved up to start at 0.
Band sliceBand(const Band &band, double from, double to);

} // namespace kv6::engine
