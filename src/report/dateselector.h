#pragma once

// The named periods a report's date range is chosen from, and the days each one covers.

#include <QDate>
#include <QString>

namespace kv6 {

class clsDateSelector
{
public:
    enum PeriodType : int {
        AllDates = 0,
        Today = 1,
        Yesterday = 2,
        ThisWeek = 3,
        LastWeek = 4,
        ThisMonth = 5,
        LastMonth = 6,
        ThisQuarter = 7,
        LastQuarter = 8,
        ThisYear = 9,
        LastYear = 10,
        CustomRange = 11,
    };
    static constexpr int PeriodCount = 12;

    // The localised name of a period; unknown types share one "unknown" text.
    static QString SearchTypeDescription(int type);

    // Sets from and to to the first and last day of the period, as seen on today's date. An
    // unknown type leaves both unchanged.
    static void CalculateDateFromType(int type, QDate &from, QDate &to);
    static void CalculateDateFromType(int type, QDate &from, QDate &to, const QDate &today);

    // 1 for the first day of the week of the current locale, through 7.
    static int WeekdayNumber(const QDate &day);
};

} // namespace kv6
