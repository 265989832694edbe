#include "vbcore/vbdate.h"

#include <cmath>

namespace kv6 {

namespace {
constexpr double MinOle = -657434.0; // 1 Jan 100
} // namespace

QDate VbZeroDay()
{
    return QDate(1899, 12, 30);
}

QDateTime VbZeroDate()
{
    return QDateTime(VbZeroDay(), QTime(0, 0));
}

bool IsVbZeroDate(const QDateTime &value)
{
    return value == VbZeroDate();
}

bool IsVbDateInRange(double ole)
{
    return std::isfinite(ole) && ole > MinOle - 1 && ole < 2958466.0;
}

QDate VbDatePart(double ole)
{
    return VbZeroDay().addDays(qint64(std::trunc(ole)));
}

int VbSecondsOfDay(double ole)
{
    const double frac = std::fabs(ole - std::trunc(ole));
    int secs = int(std::llround(frac * 86400.0));
    return secs >= 86400 ? 86399 : secs;
}

double VbMakeDate(const QDate &day, int secondsOfDay)
{
    const double days = double(VbZeroDay().daysTo(day));
    const double frac = secondsOfDay / 86400.0;
    return days < 0 ? days - frac : days + frac;
}

QDateTime VbDateFromDouble(double ole)
{
    if (!IsVbDateInRange(ole))
        return {};
    double whole = std::trunc(ole);
    double frac = std::fabs(ole - whole);
    qint64 secs = std::llround(frac * 86400.0);
    if (secs >= 86400) {
        // Rounding up to midnight moves forward in time, whatever the sign of the day.
        secs = 0;
        whole += 1;
    }
    return QDateTime(VbZeroDay().addDays(qint64(whole)), QTime(0, 0).addSecs(int(secs)));
}

double VbDateToDouble(const QDate &date, const QTime &time)
{
    const QTime t = time.isValid() ? time : QTime(0, 0);
    const int secs = t.msecsSinceStartOfDay() / 1000;
    const int ms = t.msecsSinceStartOfDay() % 1000;
    const double days = double(VbZeroDay().daysTo(date));
    const double frac = (secs + ms / 1000.0) / 86400.0;
    return days < 0 ? days - frac : days + frac;
}

double VbDateToDouble(const QDateTime &value)
{
    return VbDateToDouble(value.date(), value.time());
}

std::optional<double> VbDateSerial(int year, int month, int day)
{
    if (year >= 0 && year < 30)
        year += 2000;
    else if (year >= 30 && year < 100)
        year += 1900;
    // Carry months into years first, then days from the first of that month.
    qint64 m0 = qint64(month) - 1;
    qint64 y = year + (m0 >= 0 ? m0 / 12 : -((11 - m0) / 12));
    qint64 m = ((m0 % 12) + 12) % 12 + 1;
    if (y < 100 || y > 9999)
        return std::nullopt;
    const QDate first(int(y), int(m), 1);
    const QDate result = first.addDays(qint64(day) - 1);
    if (!result.isValid() || result.year() < 100 || result.year() > 9999)
        return std::nullopt;
    return double(VbZeroDay().daysTo(result));
}

double VbTimeSerial(int hour, int minute, int second)
{
    const qint64 total = qint64(hour) * 3600 + qint64(minute) * 60 + second;
    const qint64 days = total >= 0 ? total / 86400 : -((86399 - total) / 86400);
    const qint64 rest = total - days * 86400;
    return VbMakeDate(VbZeroDay().addDays(days), int(rest));
}

} // namespace kv6
