#include "base/langstrings.h"
#include "report/reportparameter.h"

#include "testscopes.h"

#include <gtest/gtest.h>
#include <QDate>
#include <QLocale>

using namespace kv6;

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
    static QString s(const char *text) { return QString::fromUtf8(text); }

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
    p.SetDefault(s(" Floor 3 "));
    EXPECT_EQ(p.Default(), QVariant(s(" Floor 3 ")));
    p.SetDefault(42);
    EXPECT_EQ(p.Default(), QVariant(s(" Floor 3 "))) << "a number is not stored for type 4";
    p.SetDefault(s(""));
    EXPECT_TRUE(p.Default().isNull());

    // A number parameter: text that is no number clears; a number, typed or not, is stored as
    // it came, so a text default shows as written.
    p.SetParameterType(clsReportParameter::Number);
    p.SetDefault(s("ten"));
    EXPECT_TRUE(p.Default().isNull());
    p.SetDefault(s("010"));
    EXPECT_EQ(p.Default().typeId(), QMetaType::QString);
    EXPECT_EQ(p.Default().toString(), s("010"));
    p.SetDefault(7);
    EXPECT_EQ(p.Default(), QVariant(7));
    p.SetDefault(QDate(2024, 1, 1));
    EXPECT_TRUE(p.Default().isNull()) << "a date is no number";
    p.SetDefault(s("2.5"));
    p.SetDefault(s(""));
    EXPECT_TRUE(p.Default().isNull());
}

TEST_F(Parameter, BoundsIgnoreWhatIsNotANumber)
{
    p.SetMin(s("abc"));
    EXPECT_TRUE(p.Min().isNull());
    p.SetMax(s(""));
    EXPECT_TRUE(p.Max().isNull());
    p.SetMin(s(" 5 "));
    EXPECT_DOUBLE_EQ(p.Min().toDouble(), 5.0);
    p.SetMax(s("&H10"));
    EXPECT_DOUBLE_EQ(p.Max().toDouble(), 16.0);
    p.SetMax(QDate(2024, 1, 1));
    EXPECT_TRUE(p.Max().isNull());

    // A lower bound given as text that is no number is no bound at all.
    number(s("abc"), 10);
    EXPECT_EQ(p.Validate(s("-1000")), QString());
    EXPECT_EQ(p.Validate(s("11")), GetLangString(862, s("10"), s("Copies")));
}

TEST_F(Parameter, RequiredAloneRefusesOnlyEmptyTextAndOnlyWhenDisplayed)
{
    p.SetParameterType(clsReportParameter::UserValue);
    EXPECT_EQ(p.Validate(QString()), QString()) << "not required";
    p.SetRequired(true);
    EXPECT_EQ(p.Validate(QString()), GetLangString(860));
    EXPECT_EQ(p.Validate(s(" ")), QString());
    EXPECT_EQ(p.Validate(s("anything")), QString());

    // A number parameter that is not required takes any text, numbers or not, and its bounds
    // are not applied.
    number(1, 5);
    p.SetRequired(false);
    for (const char *text : { "", "abc", "0", "99" })
        EXPECT_EQ(p.Validate(s(text)), QString()) << text;

    // A parameter not displayed is not checked at all.
    number(1, 5);
    p.SetDisplay(false);
    EXPECT_EQ(p.Validate(QString()), QString());
    EXPECT_EQ(p.Validate(s("99")), QString());
}

TEST_F(Parameter, NumberBoundsAreInclusiveAndPickTheirMessage)
{
    number(1, 10);
    for (const char *ok : { "1", "10", " 5 ", "1.5", "&HA" })
        EXPECT_EQ(p.Validate(s(ok)), QString()) << ok;
    const QString both = GetLangString(863, s("1"), s("10"), s("Copies"));
    for (const char *bad : { "0.99", "10.01", "11", "abc", "5x" })
        EXPECT_EQ(p.Validate(s(bad)), both) << bad;
    EXPECT_EQ(p.Validate(QString()), GetLangString(860)) << "empty text has its own message";

    number(s("2.5"), QVariant());
    EXPECT_EQ(p.Validate(s("2.5")), QString());
    EXPECT_EQ(p.Validate(s("2")), GetLangString(861, s("2.5"), s("Copies")));

    number(QVariant(), 3);
    EXPECT_EQ(p.Validate(s("-7")), QString());
    EXPECT_EQ(p.Validate(s("4")), GetLangString(862, s("3"), s("Copies")));

    // Without bounds a number passes and anything else gets the message for both bounds,
    // whose places stay empty.
    number(QVariant(), QVariant());
    EXPECT_EQ(p.Validate(s("123456789")), QString());
    EXPECT_EQ(p.Validate(s("many")), GetLangString(863, QString(), QString(), s("Copies")));
}

TEST_F(Parameter, NumbersFollowTheLocaleAndAreFinite)
{
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    number(s("1,5"), 3);
    EXPECT_DOUBLE_EQ(p.Min().toDouble(), 1.5);
    EXPECT_EQ(p.Validate(s("2,5")), QString());
    EXPECT_EQ(p.Validate(s("3,5")), GetLangString(863, s("1,5"), s("3"), s("Copies")))
        << "the bounds are shown the way the user writes numbers";

    // Infinity and not-a-number are no numbers.
    number(QVariant(), QVariant());
    for (const char *text : { "nan", "NaN", "inf", "-inf", "infinity", "1e999" })
        EXPECT_NE(p.Validate(s(text)), QString()) << text;
    p.SetMin(s("-inf"));
    EXPECT_TRUE(p.Min().isNull());
    p.SetParameterType(clsReportParameter::Number);
    p.SetDefault(s("nan"));
    EXPECT_TRUE(p.Default().isNull());
}
