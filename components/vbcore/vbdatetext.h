#pragma once

// Dates as text the way VB writes and reads them under the user's regional settings.

#include <QLocale>
#include <QString>

#include <optional>

namespace kv6 {

// The locale VB texts follow: the default QLocale, except that the C locale (no region set up)
// reads as US English, which is what VB shows on a machine without regional settings.
QLocale VbLocale();

// The locale's short date format, with a two-digit year widened to four (Qt's en_US short form
// is "M/d/yy", which reads back in the wrong century).
QString ShortDateFormat(const QLocale &locale = QLocale::system());
// The locale's long time format without the time-zone name, which VB never shows.
QString LongTimeFormat(const QLocale &locale);

// An OLE date as VB shows a date value: the short date, then the long time; a time on the zero
// date shows the time alone and midnight shows the date alone.
QString VbDateText(double ole, const QLocale &locale);

// A date typed or stored as text: numeric dates in the locale's day/month/year order (falling
// back to the other orders when that gives no valid date), ISO yyyy-mm-dd, month names in the
// locale's language or English ("15 Jan 2024", "January 15, 2024"), an optional weekday name,
// and a time "h[:mm[:ss]]" with an optional AM/PM marker. Two-digit years 0-29 are 2000-2029,
// 30-99 1930-1999; a missing year is the current one. Text with only a time gives a time on the
// zero date. The result is the OLE date, or nothing when the text is not a date.
std::optional<double> VbParseDateText(const QString &text, const QLocale &locale);

} // namespace kv6
