#pragma once

// The small picture a catalogue list shows beside a report: the kind of its first chart (its
// own, else the first sub-report's), or a page when it draws none.

#include "report/report.h"

#include <QIcon>

namespace kv6 {

QIcon ChartPicture(const clsReport &report);

} // namespace kv6
