#include "engine/vbformat.h"

#include "vbcore/vbdate.h"

#include <gtest/gtest.h>

using kv6::engine::vbFormat;
using kv6::script::Variant;

namespace {

const QLocale us(QLocale::English, QLocale::UnitedStates);
const QLocale de(QLocale::German, QLocale::Germany);

Variant when(int y, int mo, int d, int h = 0, int mi = 0, int s = 0)
{
    return Variant::date(kv6::VbDateToDouble(QDate(y, mo, d), QTime(h, mi, s)));
}

struct Row
{
    Variant value;
    const char *format;
    const char *expected;
    const char *why;
};

void check(const QList<Row> &rows, const QLocale &locale)
{
    for (const Row &r : rows) {
        EXPECT_EQ(vbFormat(r.value, QString::fromUtf8(r.format), locale).toStdString(),
            std::string(r.expected))
            << r.format << " (" << r.why << ")";
    }
}

} // namespace

TEST(VbFormat, CustomNumberFormats)
{
    check(
        {
            { Variant::dbl(1234.5), "#,##0.00", "1,234.50", "grouping and forced decimals" },
            { Variant::integer(0), "#,##0.00", "0.00", "zero keeps its forced digit" },
            { Variant::dbl(-1234.567), "#,##0.00", "-1,234.57", "one section: minus in front" },
            { Variant::dbl(0.256), "0%", "26%", "percent multiplies by 100" },
            { Variant::dbl(0.5), "0.0", "0.5", "" },
            { Variant::dbl(2.5), "0", "3", "half away from zero" },
            { Variant::dbl(-2.5), "0", "-3", "half away from zero, negative" },
            { Variant::dbl(-0.001), "0.00", "0.00", "no minus on a value shown as zero" },
            { Variant::longValue(1234567), "#,##0", "1,234,567", "" },
            { Variant::longValue(1234567), "#,##0,", "1,235", "trailing comma scales by 1000" },
            { Variant::longValue(5), "000", "005", "zero padding" },
            { Variant::dbl(0.5), "#.##", ".5", "no integer digit for #" },
            { Variant::dbl(1.5), "0.0#", "1.5", "optional decimal dropped" },
            { Variant::dbl(1.256), "0.0#", "1.26", "optional decimal kept" },
            { Variant::dbl(-5), "0;(0)", "(5)", "negative section has no minus" },
            { Variant::dbl(0), "0;(0);\"zero\"", "zero", "zero section" },
            { Variant::null(), "0;(0);z;\"n/a\"", "n/a", "null section" },
            { Variant::null(), "#,##0.00", "", "null without a null section" },
            { Variant::dbl(1234), "0.00E+00", "1.23E+03", "scientific" },
            { Variant::dbl(0.00012), "0.0E-00", "1.2E-04", "negative exponent" },
            { Variant::dbl(1234), "0.0E-0", "1.2E3", "E- shows no plus" },
            { Variant::dbl(5551234567.0), "(###) ###-####", "(555) 123-4567",
                "literals between digits" },
            { Variant::dbl(42), "$#,##0.00", "$42.00", "literal prefix" },
            { Variant::dbl(42), "0 \"pages\"", "42 pages", "quoted literal" },
            { Variant::dbl(42), "0\\%", "42%", "escaped percent does not multiply" },
            { Variant::currency(kv6::Currency::fromString(QStringLiteral("1234.5678"))),
                "#,##0.000", "1,234.568", "currency digits are exact" },
            { Variant::string(QStringLiteral("12.5")), "0.00", "12.50", "numeric text" },
            { Variant::string(QStringLiteral("abc")), "0.00", "abc", "text that is not a number" },
            { Variant::boolean(true), "0", "-1", "True is -1" },
            { Variant(), "0.00", "0.00", "Empty formats as zero" },
        },
        us);
}

TEST(VbFormat, NamedFormatsAndLocales)
{
    check(
        {
            { Variant::dbl(1234.5), "General Number", "1234.5", "" },
            { Variant::dbl(1234.5), "Currency", "$1,234.50", "" },
            { Variant::dbl(1234.5), "currency", "$1,234.50", "names ignore case" },
            { Variant::dbl(1234.5), "Fixed", "1234.50", "" },
            { Variant::dbl(1234.5), "Standard", "1,234.50", "" },
            { Variant::dbl(0.125), "Percent", "12.50%", "" },
            { Variant::dbl(1234.5), "Scientific", "1.23E+03", "" },
            { Variant::integer(0), "Yes/No", "No", "" },
            { Variant::integer(3), "Yes/No", "Yes", "" },
            { Variant::boolean(true), "On/Off", "On", "" },
            { Variant::string(QStringLiteral("abc")), "@", "abc", "" },
            { Variant::dbl(1234.5), "", "1234.5", "no format: plain text" },
            { Variant::dbl(1.0 / 3), "", "0.333333333333333", "fifteen digits" },
        },
        us);
    check(
        {
            { Variant::dbl(1234.5), "#,##0.00", "1.234,50", "German separators" },
            { Variant::dbl(-1234.5), "#,##0.00", "-1.234,50", "" },
            { Variant::dbl(1234.5), "", "1234,5", "" },
            { Variant::dbl(0.125), "Percent", "12,50%", "" },
            { when(2024, 3, 5), "Short Date", "05.03.2024", "two-digit year widened" },
        },
        de);
    EXPECT_TRUE(vbFormat(Variant::dbl(1234.5), QStringLiteral("Currency"), de).contains(u'€'));
}

TEST(VbFormat, DatesAndTimes)
{
    const Variant t = when(2024, 3, 5, 14, 7, 9);
    check(
        {
            { t, "Short Date", "3/5/2024", "" },
            { t, "yyyy-mm-dd hh:nn:ss", "2024-03-05 14:07:09", "" },
            { t, "dd mmm yyyy", "05 Mar 2024", "" },
            { t, "mmmm d, yy", "March 5, 24", "" },
            { t, "h:mm AM/PM", "2:07 PM", "m after h is minutes" },
            { t, "hh:mm a/p", "02:07 p", "" },
            { t, "dddd", "Tuesday", "" },
            { t, "ddd d/m", "Tue 5/3", "" },
            { t, "q", "1", "quarter" },
            { t, "w", "3", "Tuesday is day 3 from Sunday" },
            { t, "y", "65", "day of the year" },
            { t, "General Date", "3/5/2024 2:07:09 PM", "" },
            { when(2024, 3, 5), "General Date", "3/5/2024", "no time part" },
            { t, "Long Date", "Tuesday, March 5, 2024", "" },
            { t, "Medium Date", "05-Mar-24", "" },
            { t, "Short Time", "14:07", "" },
            { t, "Medium Time", "02:07 PM", "" },
            { t, "\"Printed \"dd/mm", "Printed 05/03", "quoted text" },
            { Variant::string(QStringLiteral("2024-01-31")), "Short Date", "1/31/2024",
                "text dates" },
            { Variant::null(), "Short Date", "", "" },
        },
        us);
}

TEST(VbFormat, TextFormats)
{
    check(
        {
            { Variant::string(QStringLiteral("abcdef")), "@@@-@@@", "abc-def", "" },
            { Variant::string(QStringLiteral("ab")), "@@@@", "  ab", "filled from the right" },
            { Variant::string(QStringLiteral("ab")), "!@@@@", "ab  ", "! fills from the left" },
            { Variant::string(QStringLiteral("ab")), "&&&&", "ab", "& leaves no blanks" },
            { Variant::string(QStringLiteral("abcdef")), "@@", "abcdef", "surplus at the left" },
            { Variant::string(QStringLiteral("MiXed")), ">", "MIXED", "" },
            { Variant::string(QStringLiteral("MiXed")), "<@", "mixed", "" },
        },
        us);
}
