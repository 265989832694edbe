#pragma once

// VB's Format function: named formats ("Currency", "Percent", "Short Date", "General Number",
// "Yes/No", …) and custom format strings for numbers ("#,##0.00", "0%", "0.0E+00", up to four
// sections positive;negative;zero;null), dates ("dd/mm/yyyy hh:nn AM/PM") and text ("@@@-@@",
// "<", ">", "!"). Separators, names of months and days and the currency come from the locale.
// Rounding is half away from zero on the value's decimal digits, as VB does, so 2.675 formats
// as 2.68 with two decimals.

#include "script/value.h"

#include <QLocale>
#include <QString>

namespace kv6::engine {

QString vbFormat(
    const script::Variant &value, const QString &format, const QLocale &locale = QLocale::system());

} // namespace kv6::engine
