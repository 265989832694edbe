#include "base/langstrings.h"
#include "report/reportparameter.h"

#include "testscopes.h"

#include <gtest/gtest.h>
#include <QDate>
#include <QLocale>

using namespace kv6;
using kv6test::q;

namespace {

class Parameter : public ::testing::Test
{
protected:
    void SetUp() override
    {
        p.SetDisplay(true);
        p.SetLabel(QStringLiteral("  Copies ")); // messages show it trimmed
    }
    // A displayed, required number between the bounds given (null for none).
    void number(const QVariant &min, const QVariant &max)
    {
        p.SetParameterType(clsReportParameter::Number);
        p.SetRequired(true);
        p.SetMin(min);
        p.SetMax(max);
    }

    kv6test::ShippedLanguage language;
    kv6test::UsEnglishLocale locale;
    clsReportParameter p;
};

} // namespace

TEST_F(Parameter, DefaultKeepsTextAndOnlyNumbersForNumberParameters)
{
    // Not a number parameter: text is kept as written, empty text clears, anything else is
    // not taken at all.
    p.SetParameterType(clsReportParameter::UserValue);
    p.SetDefault(q(" Floor 3 "));
    EXPECT_EQ(p.Default(), QVariant(q(" Floor 3 ")));
    p.SetDefault(42);
    EXPECT_EQ(p.Default(), QVariant(q(" Floor 3 "))) << "a number is not stored for type 4";
    p.SetDefault(q(""));
    EXPECT_TRUE(p.Default().isNull());

    // A number parameter: text that is no number clears; a number, typed or not, is stored as
    // it came, so a text default shows as written.
    p.SetParameterType(clsReportParameter::Number);
    p.SetDefault(q("ten"));
    EXPECT_TRUE(p.Default().isNull());
    p.SetDefault(q("010"));
    EXPECT_EQ(p.Default().typeId(), QMetaType::QString);
    EXPECT_EQ(p.Default().toString(), q("010"));
    p.SetDefault(7);
    EXPECT_EQ(p.Default(), QVariant(7));
    p.SetDefault(QDate(2024, 1, 1));
    EXPECT_TRUE(p.Default().isNull()) << "a date is no number";
    p.SetDefault(q("2.5"));
    p.SetDefault(q(""));
    EXPECT_TRUE(p.Default().isNull());
}

TEST_F(Parameter, BoundsIgnoreWhatIsNotANumber)
{
    p.SetMin(q("abc"));
    EXPECT_TRUE(p.Min().isNull());
    p.SetMax(q(""));
    EXPECT_TRUE(p.Max().isNull());
    p.SetMin(q(" 5 "));
    EXPECT_DOUBLE_EQ(p.Min().toDouble(), 5.0);
    p.SetMax(q("&H10"));
    EXPECT_DOUBLE_EQ(p.Max().toDouble(), 16.0);
    p.SetMax(QDate(2024, 1, 1));
    EXPECT_TRUE(p.Max().isNull());

    // A lower bound given as text that is no number is no bound at all.
    number(q("abc"), 10);
    EXPECT_EQ(p.Validate(q("-1000")), QString());
    EXPECT_EQ(p.Validate(q("11")), GetLangString(862, q("10"), q("Copies")));
}

TEST_F(Parameter, RequiredAloneRefusesOnlyEmptyTextAndOnlyWhenDisplayed)
{
    p.SetParameterType(clsReportParameter::UserValue);
    EXPECT_EQ(p.Validate(QString()), QString()) << "not required";
    p.SetRequired(true);
    EXPECT_EQ(p.Validate(QString()), GetLangString(860));
    EXPECT_EQ(p.Validate(q(" ")), QString());
    EXPECT_EQ(p.Validate(q("anything")), QString());

    // A number parameter that is not required takes any text, numbers or not, and its bounds
    // are not applied.
    number(1, 5);
    p.SetRequired(false);
    for (const char *text : { "", "abc", "0", "99" })
        EXPECT_EQ(p.Validate(q(text)), QString()) << text;

    // A parameter not displayed is not checked at all.
    number(1, 5);
    p.SetDisplay(false);
    EXPECT_EQ(p.Validate(QString()), QString());
    EXPECT_EQ(p.Validate(q("99")), QString());
}

TEST_F(Parameter, NumberBoundsAreInclusiveAndPickTheirMessage)
{
    number(1, 10);
    for (const char *ok : { "1", "10", " 5 ", "1.5", "&HA" })
        EXPECT_EQ(p.Validate(q(ok)), QString()) << ok;
    const QString both = GetLangString(863, q("1"), q("10"), q("Copies"));
    for (const char *bad : { "0.99", "10.01", "11", "abc", "5x" })
        EXPECT_EQ(p.Validate(q(bad)), both) << bad;
    EXPECT_EQ(p.Validate(QString()), GetLangString(860)) << "empty text has its own message";

    number(q("2.5"), QVariant());
    EXPECT_EQ(p.Validate(q("2.5")), QString());
    EXPECT_EQ(p.Validate(q("2")), GetLangString(861, q("2.5"), q("Copies")));

    number(QVariant(), 3);
    EXPECT_EQ(p.Validate(q("-7")), QString());
    EXPECT_EQ(p.Validate(q("4")), GetLangString(862, q("3"), q("Copies")));

    // Without bounds a number passes and anything else gets the message for both bounds,
    // whose places stay empty.
    number(QVariant(), QVariant());
    EXPECT_EQ(p.Validate(q("123456789")), QString());
    EXPECT_EQ(p.Validate(q("many")), GetLangString(863, QString(), QString(), q("Copies")));
}

TEST_F(Parameter, NumbersFollowTheLocaleAndAreFinite)
{
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    number(q("1,5"), 3);
    EXPECT_DOUBLE_EQ(p.Min().toDouble(), 1.5);
    EXPECT_EQ(p.Validate(q("2,5")), QString());
    EXPECT_EQ(p.Validate(q("3,5")), GetLangString(863, q("1,5"), q("3"), q("Copies")))
        << "the bounds are shown the way the user writes numbers";

    // Infinity and not-a-number are no numbers.
    number(QVariant(), QVariant());
    for (const char *text : { "nan", "NaN", "inf", "-inf", "infinity", "1e999" })
        EXPECT_NE(p.Validate(q(text)), QString()) << text;
    p.SetMin(q("-inf"));
    EXPECT_TRUE(p.Min().isNull());
    p.SetParameterType(clsReportParameter::Number);
    p.SetDefault(q("nan"));
    EXPECT_TRUE(p.Default().isNull());
}
