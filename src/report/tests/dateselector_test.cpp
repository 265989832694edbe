#include "base/langstrings.h"
#include "report/dateselector.h"

#include "testscopes.h"

#include <gtest/gtest.h>
#include <QLocale>
#include <QSet>

using namespace kv6;

namespace {

using DS = clsDateSelector;

QDate d(int y, int m, int day)
{
    return QDate(y, m, day);
}

std::string text(const QDate &day)
{
    return day.toString(Qt::ISODate).toStdString();
}

// Runs a test under a chosen locale (its first day of the week decides the week periods).
class DateTypes : public ::testing::Test
{
protected:
    kv6test::ShippedLanguage language;
    kv6test::UsEnglishLocale locale;
    void useLocale(QLocale::Language language, QLocale::Territory territory)
    {
        QLocale::setDefault(QLocale(language, territory));
    }
    static std::pair<QDate, QDate> range(int type, const QDate &today)
    {
        QDate from, to;
        DS::CalculateDateFromType(type, from, to, today);
        return { from, to };
    }
    static void expectRange(int type, const QDate &today, const QDate &from, const QDate &to)
    {
        const auto [f, t] = range(type, today);
        EXPECT_EQ(f, from) << "type " << type << " on " << text(today) << ": from " << text(f);
        EXPECT_EQ(t, to) << "type " << type << " on " << text(today) << ": to " << text(t);
    }
};

} // namespace

// The weeks of every day of two months across a year end, so each weekday is seen several
// times, under a locale whose weeks start on Sunday and one whose weeks start on Monday.
TEST_F(DateTypes, WeeksFollowTheLocalesFirstDayAndLastWeekIsTheWholeWeekBefore)
{
    // 10 March 2024 is a Sunday: the first day of its week in the US, the last in Germany.
    EXPECT_EQ(DS::WeekdayNumber(d(2024, 3, 10)), 1);
    EXPECT_EQ(DS::WeekdayNumber(d(2024, 3, 16)), 7);
    for (const auto locale : { QLocale::UnitedStates, QLocale::Germany }) {
        useLocale(locale == QLocale::Germany ? QLocale::German : QLocale::English, locale);
        const Qt::DayOfWeek first = QLocale().firstDayOfWeek();
        for (QDate today = d(2023, 12, 1); today <= d(2024, 1, 31); today = today.addDays(1)) {
            const auto [thisFrom, thisTo] = range(DS::ThisWeek, today);
            const auto [lastFrom, lastTo] = range(DS::LastWeek, today);
            SCOPED_TRACE(text(today));
            EXPECT_TRUE(thisFrom <= today && today <= thisTo);
            EXPECT_EQ(thisFrom.dayOfWeek(), first);
            EXPECT_EQ(thisFrom.daysTo(thisTo), 6);
            EXPECT_EQ(lastFrom.dayOfWeek(), first);
            EXPECT_EQ(lastFrom.daysTo(lastTo), 6);
            EXPECT_EQ(lastTo.addDays(1), thisFrom) << "last week ends the day before this week";
        }
    }
    EXPECT_EQ(DS::WeekdayNumber(d(2024, 3, 10)), 7);
}

TEST_F(DateTypes, SingleDaysAndMonths)
{
    expectRange(DS::Today, d(2024, 2, 29), d(2024, 2, 29), d(2024, 2, 29));
    expectRange(DS::Yesterday, d(2024, 3, 1), d(2024, 2, 29), d(2024, 2, 29));
    expectRange(DS::Yesterday, d(2024, 1, 1), d(2023, 12, 31), d(2023, 12, 31));

    // This month, and the custom range, which starts as this month; months of each length (the
    // calendar's own leap-year rules are QDate's).
    for (const int type : { int(DS::ThisMonth), int(DS::CustomRange) }) {
        expectRange(type, d(2024, 2, 10), d(2024, 2, 1), d(2024, 2, 29));
        expectRange(type, d(2023, 2, 28), d(2023, 2, 1), d(2023, 2, 28));
        expectRange(type, d(2024, 4, 30), d(2024, 4, 1), d(2024, 4, 30));
        expectRange(type, d(2024, 12, 31), d(2024, 12, 1), d(2024, 12, 31));
    }

    // Last month from January is December of the year before; from the last day of a long
    // month it is still the whole of the month before, however short.
    expectRange(DS::LastMonth, d(2024, 1, 1), d(2023, 12, 1), d(2023, 12, 31));
    expectRange(DS::LastMonth, d(2024, 3, 31), d(2024, 2, 1), d(2024, 2, 29));
    expectRange(DS::LastMonth, d(2024, 5, 31), d(2024, 4, 1), d(2024, 4, 30));
}

TEST_F(DateTypes, QuartersAndYears)
{
    struct Row
    {
        QDate today;
        QDate thisFrom, thisTo, lastFrom, lastTo;
    };
    const Row rows[] = {
        { d(2024, 1, 1), d(2024, 1, 1), d(2024, 3, 31), d(2023, 10, 1), d(2023, 12, 31) },
        { d(2024, 3, 31), d(2024, 1, 1), d(2024, 3, 31), d(2023, 10, 1), d(2023, 12, 31) },
        { d(2024, 4, 1), d(2024, 4, 1), d(2024, 6, 30), d(2024, 1, 1), d(2024, 3, 31) },
        { d(2024, 6, 30), d(2024, 4, 1), d(2024, 6, 30), d(2024, 1, 1), d(2024, 3, 31) },
        { d(2024, 7, 1), d(2024, 7, 1), d(2024, 9, 30), d(2024, 4, 1), d(2024, 6, 30) },
        { d(2024, 9, 30), d(2024, 7, 1), d(2024, 9, 30), d(2024, 4, 1), d(2024, 6, 30) },
        { d(2024, 10, 1), d(2024, 10, 1), d(2024, 12, 31), d(2024, 7, 1), d(2024, 9, 30) },
        { d(2024, 12, 31), d(2024, 10, 1), d(2024, 12, 31), d(2024, 7, 1), d(2024, 9, 30) },
    };
    for (const Row &row : rows) {
        expectRange(DS::ThisQuarter, row.today, row.thisFrom, row.thisTo);
        expectRange(DS::LastQuarter, row.today, row.lastFrom, row.lastTo);
    }

    expectRange(DS::ThisYear, d(2024, 1, 1), d(2024, 1, 1), d(2024, 12, 31));
    expectRange(DS::LastYear, d(2024, 12, 31), d(2023, 1, 1), d(2023, 12, 31));
    expectRange(DS::AllDates, d(2024, 6, 15), d(1601, 1, 1), d(9999, 12, 31));
}

// Every period has a name of its own; a type the list does not hold has the unknown period's
// name and leaves the dates alone.
TEST_F(DateTypes, EveryPeriodHasItsOwnNameAndUnknownTypesLeaveTheDatesAlone)
{
    QSet<QString> names;
    for (int type = 0; type < DS::PeriodCount; ++type) {
        const QString name = DS::SearchTypeDescription(type);
        EXPECT_EQ(name, GetLangString(750 + type));
        names.insert(name);
    }
    EXPECT_EQ(names.size(), DS::PeriodCount);
    for (const int type : { -1, 12, 99 }) {
        QDate from = d(2020, 5, 6), to = d(2019, 1, 2);
        DS::CalculateDateFromType(type, from, to, d(2024, 6, 15));
        EXPECT_EQ(from, d(2020, 5, 6)) << type;
        EXPECT_EQ(to, d(2019, 1, 2)) << type;
        EXPECT_EQ(DS::SearchTypeDescription(type), GetLangString(762)) << type;
        EXPECT_FALSE(names.contains(DS::SearchTypeDescription(type))) << type;
    }
}

TEST_F(DateTypes, WithoutADateTheClockGivesToday)
{
    // Read the clock either side in case the test runs across midnight.
    const QDate before = QDate::currentDate();
    QDate from, to;
    DS::CalculateDateFromType(DS::Yesterday, from, to);
    const QDate after = QDate::currentDate();
    EXPECT_TRUE(from == before.addDays(-1) || from == after.addDays(-1)) << text(from);
    EXPECT_EQ(from, to);
}
