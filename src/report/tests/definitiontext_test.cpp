#include "report/definitiontext.h"

#include "testlocale.h"

#include <gtest/gtest.h>
#include <QLocale>

using namespace kv6;

TEST(DefinitionText, BooleansConvertAsCBoolDoes)
{
    const kv6test::ScopedLocale c(QLocale::c());
    struct Row
    {
        const char *text;
        std::optional<bool> expected;
    };
    const Row rows[] = {
        { "0", false },
        { "False", false },
        { "false", false }, // the words are matched without regard to case
        { "-1", true },
        { "1", true },
        { "2", true }, // any non-zero number
        { "0.5", true },
        { "-0", false },
        { "TRUE", true },
        { " True ", true },
        { "&H0", false },
        { "&HFF", true },
        { "yes", std::nullopt }, // neither a number nor a VB Boolean word
        { "", std::nullopt },
        { "1x", std::nullopt },
    };
    for (const Row &r : rows)
        EXPECT_EQ(TextToBool(QString::fromLatin1(r.text)), r.expected) << r.text;
}

TEST(DefinitionText, SixteenBitIntegersRoundHalfToEvenAndStayInRange)
{
    const kv6test::ScopedLocale c(QLocale::c());
    struct Row
    {
        const char *text;
        std::optional<qint16> expected;
    };
    const Row rows[] = {
        { "3", 3 },
        { "-1", -1 },
        { "2.5", 2 }, // banker's rounding, as CInt
        { "3.5", 4 },
        { "-2.5", -2 },
        { "32767", 32767 },
        { "-32768", -32768 },
        { "32767.5", std::nullopt }, // rounds to 32768: overflow
        { "32768", std::nullopt },
        { "-32769", std::nullopt },
        { "&H10", 16 },
        { "three", std::nullopt },
        { "", std::nullopt },
        { "1e3", 1000 },
        { "inf", std::nullopt },
    };
    for (const Row &r : rows)
        EXPECT_EQ(TextToInt16(QString::fromLatin1(r.text)), r.expected) << r.text;
}

TEST(DefinitionText, NumbersFollowTheUserLocale)
{
    const kv6test::ScopedLocale de(QLocale(QLocale::German, QLocale::Germany));
    EXPECT_EQ(TextToNumber(QStringLiteral("12,5")), 12.5);
    EXPECT_EQ(TextToInt16(QStringLiteral("2,5")), 2);
    EXPECT_EQ(TextToBool(QStringLiteral("0,0")), false);
}
