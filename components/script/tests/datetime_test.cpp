// Date, time and formatting functions under several locales, with the week rules, month ends
// and errors that the conformance scripts (dates/, strings/format_number) do not show.

#include "scripteval.h"
#include "testlocale.h"

#include <QDate>
#include <QLocale>

#include <gtest/gtest.h>

using namespace kv6::script;
using kv6test::describe;
using kv6test::eval;
using kv6test::ScopedLocale;

namespace {

const QLocale enUS(QLocale::English, QLocale::UnitedStates);
const QLocale deDE(QLocale::German, QLocale::Germany);

// Runs a script and describes its global `r`.
std::string run(const char *script)
{
    Engine engine;
    try {
        engine.compile(QString::fromUtf8(script));
        engine.run();
        return kv6test::describe(engine.global(QStringLiteral("r")));
    } catch (const ScriptError &e) {
        return "error " + std::to_string(e.number());
    }
}

// Report fields as a layout's expressions see them.
class Fields : public HostScope
{
public:
    QHash<QString, Variant> values;
    bool lookup(const QString &name, Variant &value) override
    {
        const auto it = values.constFind(name.toLower());
        if (it == values.constEnd())
            return false;
        value = *it;
        return true;
    }
    bool assign(const QString &, const Variant &) override { return false; }
};

} // namespace

TEST(DateTime, DateAddKeepsMonthEndsAndTimeOfDay)
{
    ScopedLocale us(enUS);
    EXPECT_EQ(eval("DateAdd(\"m\", 1, #1/31/2023#)"), "Date 2/28/2023");
    EXPECT_EQ(eval("DateAdd(\"M\", 13, #1/31/2023#)"), "Date 2/29/2024") << "interval ignores case";
    EXPECT_EQ(eval("DateAdd(\"q\", -1, #5/31/2024#)"), "Date 2/29/2024");
    EXPECT_EQ(eval("DateAdd(\"m\", 1, #1/31/2024 10:30:00 AM#)"), "Date 2/29/2024 10:30:00 AM");
    EXPECT_EQ(eval("DateAdd(\"w\", 5, #1/5/2024#)"), "Date 1/10/2024") << "days, not working days";
    EXPECT_EQ(eval("DateAdd(\"s\", 2.5, #1/1/2024#)"), "Date 1/1/2024 12:00:02 AM")
        << "the number rounds half to even";
    EXPECT_EQ(eval("DateAdd(\"d\", 1, \"January 31, 2024\")"), "Date 2/1/2024");

    // Before 30 Dec 1899 the day counts back but the time still counts forward.
    EXPECT_EQ(eval("DateAdd(\"h\", 6, #12/29/1899#)"), "Date 12/29/1899 6:00:00 AM");
    EXPECT_EQ(eval("CDbl(DateAdd(\"h\", 6, #12/29/1899#))"), "Double -1.25");
    EXPECT_EQ(eval("DateAdd(\"h\", -12, #12/30/1899 6:00 AM#)"), "Date 12/29/1899 6:00:00 PM");

    EXPECT_EQ(eval("DateAdd(\"d\", 1, Null)"), "Null Null");
    EXPECT_EQ(eval("DateAdd(\"yyyy\", -1950, #1/1/2024#)"), "error 5") << "before year 100";
    EXPECT_EQ(eval("DateAdd(\"d\", 1, #12/31/9999#)"), "error 5");
    EXPECT_EQ(eval("DateAdd(\"d\", \"x\", #1/1/2024#)"), "error 13");
}

TEST(DateTime, DateDiffCountsBoundariesAcrossYearsAndWeeks)
{
    ScopedLocale us(enUS);
    EXPECT_EQ(eval("DateDiff(\"yyyy\", #12/31/2023 11:59:59 PM#, #1/1/2024#)"), "Long 1");
    EXPECT_EQ(eval("DateDiff(\"m\", #3/1/2024#, #1/31/2023#)"), "Long -14");
    EXPECT_EQ(eval("DateDiff(\"q\", #12/31/2023#, #1/1/2024#)"), "Long 1");
    EXPECT_EQ(eval("DateDiff(\"d\", #1/1/2024 11:00 PM#, #1/2/2024 1:00 AM#)"), "Long 1");
    EXPECT_EQ(eval("DateDiff(\"y\", #1/2/2024#, #1/1/2024#)"), "Long -1");
    EXPECT_EQ(eval("DateDiff(\"d\", \"1/1/2024\", \"3/1/2024\")"), "Long 60") << "leap year";

    // "w" counts whole weeks; "ww" counts first days of the week after date1 up to date2.
    EXPECT_EQ(eval("DateDiff(\"w\", #1/7/2024#, #1/13/2024#)"), "Long 0");
    EXPECT_EQ(eval("DateDiff(\"w\", #1/1/2024#, #1/15/2024#)"), "Long 2");
    EXPECT_EQ(eval("DateDiff(\"ww\", #1/7/2024#, #1/14/2024#)"), "Long 1") << "both Sundays";
    EXPECT_EQ(eval("DateDiff(\"ww\", #12/30/2023#, #1/1/2024#)"), "Long 1") << "Sunday 31 Dec";
    EXPECT_EQ(eval("DateDiff(\"ww\", #12/30/2023#, #1/1/2024#, vbMonday)"), "Long 1");
    EXPECT_EQ(eval("DateDiff(\"ww\", #12/30/2023#, #1/1/2024#, vbSaturday)"), "Long 0")
        << "date1's own Saturday does not count";
    EXPECT_EQ(eval("DateDiff(\"ww\", #1/14/2024#, #1/7/2024#)"), "Long -1");

    EXPECT_EQ(eval("DateDiff(\"h\", #1/1/2024 10:59 AM#, #1/1/2024 11:01 AM#)"), "Long 1");
    EXPECT_EQ(eval("DateDiff(\"n\", #1/1/2024 10:59 AM#, #1/1/2024 11:01 AM#)"), "Long 2");
    EXPECT_EQ(eval("DateDiff(\"h\", #12/29/1899 6:00 PM#, #12/30/1899 6:00 AM#)"), "Long 12")
        << "across the zero date the OLE values are not a straight line";

    EXPECT_EQ(eval("DateDiff(\"s\", #1/1/100#, #12/31/9999#)"), "error 6");
    EXPECT_EQ(eval("DateDiff(\"d\", Null, #1/1/2024#)"), "Null Null");
    EXPECT_EQ(eval("DateDiff(\"d\", #1/1/2024#, #1/2/2024#, 8)"), "error 5");
    EXPECT_EQ(eval("DateDiff(\"d\", #1/1/2024#, #1/2/2024#, 1, 4)"), "error 5");
}

TEST(DateTime, WeekdayAndDatePartWithOtherFirstDays)
{
    ScopedLocale us(enUS);
    EXPECT_EQ(eval("Weekday(#1/7/2024#)"), "Integer 1") << "a Sunday";
    EXPECT_EQ(eval("Weekday(#1/7/2024#, vbMonday)"), "Integer 7");
    EXPECT_EQ(eval("Weekday(#1/10/2024#, vbThursday)"), "Integer 7");
    EXPECT_EQ(eval("Weekday(#1/8/2024#, vbUseSystemDayOfWeek)"), "Integer 2");
    {
        ScopedLocale de(deDE);
        EXPECT_EQ(eval("Weekday(#1/8/2024#, vbUseSystemDayOfWeek)"), "Integer 1")
            << "German weeks start on Monday";
    }
    EXPECT_EQ(eval("Weekday(#1/8/2024#, 8)"), "error 5");
    EXPECT_EQ(eval("Weekday(Null)"), "Null Null");

    EXPECT_EQ(eval("DatePart(\"w\", #1/10/2024#, vbWednesday)"), "Integer 1");
    EXPECT_EQ(eval("DatePart(\"h\", #1/1/2024 1:02:03 PM#) & DatePart(\"n\", #1:02:03 PM#) & "
                   "DatePart(\"s\", #1:02:03 PM#)"),
        "String 1323");
    // 1 Jan 2000 was a Saturday, so that week is the first and 31 Dec opens the 54th.
    EXPECT_EQ(eval("DatePart(\"ww\", #12/31/2000#)"), "Integer 54");
    EXPECT_EQ(eval("DatePart(\"ww\", #12/30/2000#)"), "Integer 53");
    // Monday weeks with four days in the year: ISO week numbers, wrapping at the year's ends.
    EXPECT_EQ(eval("DatePart(\"ww\", #12/30/2024#, vbMonday, vbFirstFourDays)"), "Integer 1");
    EXPECT_EQ(eval("DatePart(\"ww\", #1/1/2021#, vbMonday, vbFirstFourDays)"), "Integer 53");
    EXPECT_EQ(eval("DatePart(\"ww\", #1/4/2021#, vbMonday, vbFirstFourDays)"), "Integer 1");
    // Full weeks: 2021's first Sunday is 3 Jan; 2 Jan still belongs to 2020's 52nd week.
    EXPECT_EQ(eval("DatePart(\"ww\", #1/3/2021#, vbSunday, vbFirstFullWeek)"), "Integer 1");
    EXPECT_EQ(eval("DatePart(\"ww\", #1/2/2021#, vbSunday, vbFirstFullWeek)"), "Integer 52");
    EXPECT_EQ(eval("DatePart(\"d\", Null)"), "Null Null");
    EXPECT_EQ(eval("DatePart(\"ww\", #1/2/2021#, 1, 4)"), "error 5");
}

TEST(DateTime, SerialFunctionsRollOverflowingParts)
{
    // How parts carry and two-digit years widen is VbDate.SerialsCarryLikeVb's, and the
    // conformance dates script calls both functions; here the script's own errors.
    ScopedLocale us(enUS);
    EXPECT_EQ(eval("DateSerial(10000, 1, 1)"), "error 5");
    EXPECT_EQ(eval("DateSerial(40000, 1, 1)"), "error 6") << "arguments are Integers";
    EXPECT_EQ(eval("DateSerial(Null, 1, 1)"), "error 94");

    // The last day of each month, as a report script finds it.
    EXPECT_EQ(run("Function MonthEnds(y)\n"
                  "  Dim m, s\n"
                  "  For m = 1 To 12\n"
                  "    s = s & Day(DateSerial(y, m + 1, 0)) & \" \"\n"
                  "  Next\n"
                  "  MonthEnds = Trim(s)\n"
                  "End Function\n"
                  "r = MonthEnds(2024) & \"|\" & MonthEnds(2023)\n"),
        "String 31 29 31 30 31 30 31 31 30 31 30 31|31 28 31 30 31 30 31 31 30 31 30 31");
}

TEST(DateTime, PartsValuesAndNullPropagation)
{
    ScopedLocale us(enUS);
    EXPECT_EQ(eval("Year(\"March 5, 2024\")"), "Integer 2024");
    EXPECT_EQ(eval("Year(Empty)"), "Integer 1899") << "the zero date";
    EXPECT_EQ(eval("Year(\"soon\")"), "error 13");
    for (const char *f :
        { "Year", "Month", "Day", "Hour", "Minute", "Second", "DateValue", "TimeValue" })
        EXPECT_EQ(eval((std::string(f) + "(Null)").c_str()), "Null Null") << f;

    EXPECT_EQ(eval("DateValue(\"January 15, 2024 10:30 AM\")"), "Date 1/15/2024");
    EXPECT_EQ(eval("DateValue(#1/15/2024 10:30 AM#)"), "Date 1/15/2024");
    EXPECT_EQ(eval("TimeValue(\"1/15/2024 10:30 AM\")"), "Date 10:30:00 AM");
    EXPECT_EQ(eval("DateValue(\"soon\")"), "error 13");

    // The clock: Date and Time make up Now, to the second.
    EXPECT_EQ(eval("TypeName(Now) & TypeName(Date) & TypeName(Time)"), "String DateDateDate");
    EXPECT_EQ(eval("Abs(DateDiff(\"s\", CDbl(Date) + CDbl(Time), Now)) <= 1"), "Boolean True");
    EXPECT_EQ(eval("Year(Date)"), "Integer " + std::to_string(QDate::currentDate().year()));
}

TEST(DateTime, TextConversionsFollowTheLocaleButLiteralsDoNot)
{
    // Which order each locale reads first is the date parser's (VbDateText tests).
    ScopedLocale de(deDE);
    EXPECT_EQ(eval("Month(CDate(\"1/2/2024\"))"), "Integer 2") << "day first in German";
    EXPECT_EQ(eval("Month(#1/2/2024#)"), "Integer 1") << "literals are month first everywhere";
    EXPECT_EQ(eval("CDate(\"15.01.2024 18:30\")"), "Date 15.01.2024 18:30:00");
    EXPECT_EQ(eval("IsDate(\"31.12.2024\") And IsDate(\"15. März 2024\")"), "Boolean True");
    EXPECT_EQ(eval("\"Stand: \" & #1/15/2024#"), "String Stand: 15.01.2024");
    // What the Format functions write reads back as the same date.
    EXPECT_EQ(run("d = #1/15/2024 6:30:05 PM#\n"
                  "r = CDate(FormatDateTime(d, vbGeneralDate)) = d And "
                  "CDate(FormatDateTime(d, vbLongDate)) = DateValue(d) And "
                  "DateValue(FormatDateTime(d, vbShortDate)) = DateValue(d)\n"),
        "Boolean True");
}

TEST(DateTime, NamesAndNamedFormatsComeFromTheLocale)
{
    {
        ScopedLocale us(enUS);
        EXPECT_EQ(eval("WeekdayName(1, True, vbMonday)"), "String Mon");
        EXPECT_EQ(eval("WeekdayName(7, False, vbWednesday)"), "String Tuesday");
        EXPECT_EQ(eval("MonthName(Null)"), "error 94");
        EXPECT_EQ(eval("WeekdayName(0)"), "error 5");
        EXPECT_EQ(eval("FormatDateTime(#6:30 PM#)"), "String 6:30:00 PM");
        EXPECT_EQ(
            eval("FormatDateTime(\"1/15/2024\", vbLongDate)"), "String Monday, January 15, 2024");
        EXPECT_EQ(eval("FormatDateTime(#1/15/2024#, 5)"), "error 5");
        EXPECT_EQ(eval("FormatDateTime(Null)"), "error 94");
        EXPECT_EQ(eval("FormatDateTime(\"soon\")"), "error 13");
    }
    ScopedLocale de(deDE);
    EXPECT_EQ(eval("MonthName(3) & \" \" & MonthName(3, True)"), "String März Mär");
    EXPECT_EQ(eval("WeekdayName(1, False, vbUseSystemDayOfWeek)"), "String Montag");
    EXPECT_EQ(eval("FormatDateTime(#1/15/2024 6:30:05 PM#, vbGeneralDate)"),
        "String 15.01.2024 18:30:05");
    EXPECT_EQ(eval("FormatDateTime(#1/15/2024#, vbLongDate)"), "String Montag, 15. Januar 2024");
    EXPECT_EQ(eval("FormatDateTime(#1/5/2024#, vbShortDate)"), "String 05.01.2024");
    EXPECT_EQ(eval("FormatDateTime(#6:30:05 PM#, vbLongTime)"), "String 18:30:05");
}

TEST(DateTime, FormatNumberRoundsHalvesAwayFromZero)
{
    ScopedLocale us(enUS);
    EXPECT_EQ(eval("FormatNumber(2.5, 0) & \" \" & FormatNumber(-2.5, 0) & \" \" & Round(2.5)"),
        "String 3 -3 2")
        << "unlike Round, which rounds half to even";
    EXPECT_EQ(eval("FormatNumber(1E+20, 0)"), "String 100,000,000,000,000,000,000");
    EXPECT_EQ(eval("FormatNumber(0.00125, 4)"), "String 0.0013");
    EXPECT_EQ(eval("FormatNumber(CCur(\"1234.56785\"), 3)"), "String 1,234.568");
    EXPECT_EQ(eval("FormatNumber(True)"), "String -1.00");

    EXPECT_EQ(eval("FormatNumber(0.5, 2, vbFalse) & \"|\" & FormatNumber(-0.5, 2, vbFalse)"),
        "String .50|-.50");
    EXPECT_EQ(eval("FormatNumber(0.5, 0, vbFalse)"), "String 1");
    EXPECT_EQ(eval("FormatNumber(-1234.5, -1, vbUseDefault, vbFalse, vbFalse)"), "String -1234.50");
    EXPECT_EQ(eval("FormatNumber(1234.5, 2, -2, -2, -2)"), "String 1,234.50");

    EXPECT_EQ(eval("FormatNumber(\"abc\")"), "error 13");
    EXPECT_EQ(eval("FormatNumber(Null)"), "error 94");
    EXPECT_EQ(eval("FormatNumber(1, -2)"), "error 5");
    EXPECT_EQ(eval("FormatNumber(1, 256)"), "error 5");

    EXPECT_EQ(eval("FormatPercent(0.0105, 1)"), "String 1.1%") << "the shift is exact";
    EXPECT_EQ(eval("FormatPercent(12.5, 0)"), "String 1,250%");
}

TEST(DateTime, FormatCurrencyUsesTheFixedPointTypeAndTheLocalePattern)
{
    {
        ScopedLocale us(enUS);
        EXPECT_EQ(eval("FormatCurrency(-1234.5)"), "String ($1,234.50)")
            << "the locale puts negative amounts in parentheses";
        EXPECT_EQ(eval("FormatCurrency(-1234.5, 2, vbTrue, vbFalse)"), "String -$1,234.50");
        EXPECT_EQ(eval("FormatCurrency(0.5, 2, vbFalse)"), "String $.50");
        // 0.00125 is a tie at the fourth decimal: the Currency keeps 0.0012 (half to even),
        // which FormatNumber, working on the Double, does not.
        EXPECT_EQ(eval("FormatCurrency(0.00125, 4)"), "String $0.0012");
        EXPECT_EQ(eval("FormatCurrency(2.675, 2)"), "String $2.68");
        EXPECT_EQ(eval("FormatCurrency(1E+16)"), "error 6");
        EXPECT_EQ(eval("FormatCurrency(Null)"), "error 94");
        EXPECT_EQ(eval("FormatCurrency(\"12.5\")"), "String $12.50");

        // A layout's field expression over a row.
        Engine engine;
        Fields row;
        row.values.insert(QStringLiteral("pages"), Variant::longValue(3));
        row.values.insert(QStringLiteral("rate"), Variant::dbl(0.125));
        const CompiledCode expr
            = engine.compileExpression(QStringLiteral("FormatCurrency(Pages * Rate, 2)"));
        EXPECT_EQ(describe(engine.evaluate(expr, &row)), "String $0.38");
        row.values.insert(QStringLiteral("rate"), Variant::null());
        try {
            engine.evaluate(expr, &row);
            ADD_FAILURE() << "a Null rate cannot be formatted";
        } catch (const ScriptError &e) {
            EXPECT_EQ(e.number(), 94);
        }
    }
    {
        ScopedLocale de(deDE);
        EXPECT_EQ(eval("FormatNumber(1234567.891)"), "String 1.234.567,89");
        EXPECT_EQ(eval("FormatNumber(-0.5, 2, vbFalse)"), "String -,50");
        EXPECT_EQ(eval("FormatPercent(0.5)"), "String 50,00%");
        EXPECT_EQ(eval("FormatCurrency(1234.5)"), "String 1.234,50\u00a0€");
        EXPECT_EQ(eval("FormatCurrency(-1234.5)"), "String -1.234,50\u00a0€");
        EXPECT_EQ(eval("FormatCurrency(-1234.5, 2, vbTrue, vbTrue)"), "String (1.234,50\u00a0€)");
    }
    ScopedLocale jp(QLocale(QLocale::Japanese, QLocale::Japan));
    EXPECT_EQ(eval("FormatCurrency(1234.5)"), "String \uffe51,235") << "yen have no decimals";
}

TEST(DateTime, StandardConstants)
{
    EXPECT_EQ(
        eval("Len(\"a\" & vbCrLf & \"b\" & vbTab & vbCr & vbLf) & Len(vbNullString)"), "String 70");
    EXPECT_EQ(eval("vbNewLine = Chr(13) & Chr(10)"), "Boolean True");
    EXPECT_EQ(eval("VBCRLF = vbcrlf"), "Boolean True") << "names ignore case";
    EXPECT_EQ(eval("vbSunday & vbSaturday & vbFirstFullWeek & vbShortTime & vbUseDefault"),
        "String 1734-2");
    EXPECT_EQ(eval("vbRed + vbBlue = vbMagenta"), "Boolean True");
    EXPECT_EQ(run("Const vbTab = 1\nr = vbTab\n"), "error 1041")
        << "a constant cannot be redefined";
}
