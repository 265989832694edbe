#include "report/dateselector.h"

#include "base/langstrings.h"

#include <QLocale>

namespace kv6 {

namespace {

constexpr int FirstDescription = 750;
constexpr int UnknownDescription = 762;

QDate firstOfMonth(const QDate &day)
{
    return QDate(day.year(), day.month(), 1);
}

QDate lastOfMonth(const QDate &first)
{
    return first.addMonths(1).addDays(-1);
}

// First month (1, 4, 7 or 10) of the quarter holding the month.
int quarterStart(int month)
{
    return (month - 1) / 3 * 3 + 1;
}

} // namespace

QString clsDateSelector::SearchTypeDescription(int type)
{
    if (type < 0 || type >= PeriodCount)
        return GetLangString(UnknownDescription);
    return GetLangString(FirstDescription + type);
}

int clsDateSelector::WeekdayNumber(const QDate &day)
{
    const int first = int(QLocale().firstDayOfWeek());
    return (day.dayOfWeek() - first + 7) % 7 + 1;
}

void clsDateSelector::CalculateDateFromType(int type, QDate &from, QDate &to)
{
    CalculateDateFromType(type, from, to, QDate::currentDate());
}

void clsDateSelector::CalculateDateFromType(int type, QDate &from, QDate &to, const QDate &today)
{
    switch (type) {
    case AllDates:
        from = QDate(1601, 1, 1);
        to = QDate(9999, 12, 31);
        break;
    case Today:
        from = to = today;
        break;
    case Yesterday:
        from = to = today.addDays(-1);
        break;
    case ThisWeek:
    case LastWeek: {
        const QDate day = type == LastWeek ? today.addDays(-7) : today;
        const int weekday = WeekdayNumber(day);
        from = day.addDays(-(weekday - 1));
        to = day.addDays(7 - weekday);
        break;
    }
    case ThisMonth:
    case CustomRange:
        from = firstOfMonth(today);
        to = lastOfMonth(from);
        break;
    case LastMonth:
        from = firstOfMonth(today).addMonths(-1);
        to = lastOfMonth(from);
        break;
    case ThisQuarter:
        from = QDate(today.year(), quarterStart(today.month()), 1);
        to = from.addMonths(3).addDays(-1);
        break;
    case LastQuarter:
        from = QDate(today.year(), quarterStart(today.month()), 1).addMonths(-3);
        to = from.addMonths(3).addDays(-1);
        break;
    case ThisYear:
        from = QDate(today.year(), 1, 1);
        to = QDate(today.year(), 12, 31);
        break;
    case LastYear:
        from = QDate(today.year() - 1, 1, 1);
        to = QDate(today.year() - 1, 12, 31);
        break;
    default:
        break;
    }
}

} // namespace kv6
