#pragma once

// Private to the engine: HTML and plain text from the bands of a page-less render.

#include "bandgeometry_p.h"

#include <QByteArray>
#include <QString>

namespace kv6::engine {

QByteArray flowToHtml(const QList<FlowBand> &flow, const ReportLayout &layout);
QString flowToText(const QList<FlowBand> &flow, const ReportLayout &layout);

} // namespace kv6::engine
