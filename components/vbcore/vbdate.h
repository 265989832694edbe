#pragma once

#include <QDate>
#include <QDateTime>

#include <optional>

namespace kv6 {

// VB keeps a date as an OLE automation double: whole days since 30 Dec 1899 plus the time of
// day as a fraction. Before the zero date the whole part is negative but the fraction still
// counts forward from midnight, so -1.25 is 29 Dec 1899 06:00 (not 28 Dec 18:00).
QDate VbZeroDay();
QDateTime VbZeroDate();
bool IsVbZeroDate(const QDateTime &value);

// Dates in VB's range (1 Jan 100 to 31 Dec 9999); times are rounded to the nearest second, as
// VB shows them.
QDateTime VbDateFromDouble(double ole);
double VbDateToDouble(const QDateTime &value);
double VbDateToDouble(const QDate &date, const QTime &time = QTime(0, 0));
// Valid days are those VB can hold.
bool IsVbDateInRange(double ole);

// DateSerial/TimeSerial as VB computes them: months and days outside their ranges carry into
// the neighbouring units (DateSerial(2024, 14, 0) is 31 Jan 2025), two-digit years 0-29 are
// 2000-2029 and 30-99 are 1930-1999. The result is the OLE day number, or nothing when the
// date leaves VB's range.
std::optional<double> VbDateSerial(int year, int month, int day);
// A time of day as an OLE fraction; hours beyond 24 or negative values carry into days.
double VbTimeSerial(int hour, int minute, int second);

// Split an OLE value into its whole day (as a QDate) and seconds since midnight.
QDate VbDatePart(double ole);
int VbSecondsOfDay(double ole);
// The inverse: a day and seconds since midnight back to the OLE encoding.
double VbMakeDate(const QDate &day, int secondsOfDay);

} // namespace kv6
