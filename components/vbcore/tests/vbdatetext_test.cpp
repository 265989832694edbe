#include "vbcore/vbdate.h"
#include "vbcore/vbdatetext.h"

#include "testlocale.h"

#include <gtest/gtest.h>
#include <QDateTime>

using namespace kv6;

namespace {

const QLocale us(QLocale::English, QLocale::UnitedStates);
const QLocale de(QLocale::German, QLocale::Germany);
const QLocale ja(QLocale::Japanese, QLocale::Japan);

// The parsed text as a date and time, or an invalid QDateTime when it is no date.
QDateTime parsed(const char *text, const QLocale &locale)
{
    const auto ole = VbParseDateText(QString::fromUtf8(text), locale);
    return ole ? VbDateFromDouble(*ole) : QDateTime();
}

QDateTime at(int y, int m, int d, int h = 0, int mi = 0, int s = 0)
{
    return QDateTime(QDate(y, m, d), QTime(h, mi, s));
}

} // namespace

TEST(VbDateText, FormatsFollowTheLocaleWithFourDigitYearsAndNoZone)
{
    EXPECT_EQ(ShortDateFormat(us), QStringLiteral("M/d/yyyy"));
    EXPECT_EQ(ShortDateFormat(de), QStringLiteral("dd.MM.yyyy"));
    EXPECT_EQ(ShortDateFormat(ja), QStringLiteral("yyyy/MM/dd")) << "four digits stay four";
    EXPECT_FALSE(LongTimeFormat(us).contains(u't'));
    EXPECT_EQ(us.toString(QTime(18, 5, 9), LongTimeFormat(us)), QStringLiteral("6:05:09 PM"));
    EXPECT_EQ(de.toString(QTime(18, 5, 9), LongTimeFormat(de)), QStringLiteral("18:05:09"));

    {
        const kv6test::ScopedLocale c(QLocale::c());
        EXPECT_EQ(VbLocale(), us) << "no regional settings reads as US English";
    }
    const kv6test::ScopedLocale german(de);
    EXPECT_EQ(VbLocale(), de);
}

TEST(VbDateText, NumericDatesTakeTheLocaleOrderFirst)
{
    EXPECT_EQ(parsed("1/2/2024", us), at(2024, 1, 2));
    EXPECT_EQ(parsed("1/2/2024", de), at(2024, 2, 1));
    EXPECT_EQ(parsed("31.12.2024", de), at(2024, 12, 31));
    EXPECT_EQ(parsed("13/1/2024", us), at(2024, 1, 13)) << "no month 13: the other order";
    EXPECT_EQ(parsed("12/25/2024", de), at(2024, 12, 25));
    EXPECT_EQ(parsed("2024-03-01", de), at(2024, 3, 1)) << "ISO in every locale";
    EXPECT_EQ(parsed("24/03/01", ja), at(2024, 3, 1));
    EXPECT_EQ(parsed("3/4/29", us), at(2029, 3, 4));
    EXPECT_EQ(parsed("3/4/30", us), at(1930, 3, 4));
    EXPECT_EQ(parsed("12/2024", us), at(2024, 12, 1)) << "month and year";
    EXPECT_EQ(parsed("12/25", us), at(QDate::currentDate().year(), 12, 25));
    EXPECT_EQ(parsed("2/30/2024", us), QDateTime()) << "no order makes it a date";
    EXPECT_EQ(parsed("1/1/99999", us), QDateTime());
    EXPECT_EQ(parsed("1/1/0050", us), QDateTime()) << "before year 100";
}

TEST(VbDateText, MonthNamesWeekdaysAndTimes)
{
    EXPECT_EQ(parsed("January 15, 2024", us), at(2024, 1, 15));
    EXPECT_EQ(parsed("Monday, January 15, 2024", us), at(2024, 1, 15));
    EXPECT_EQ(parsed("31-Jan-95", us), at(1995, 1, 31));
    EXPECT_EQ(parsed("15. März 2024", de), at(2024, 3, 15));
    EXPECT_EQ(parsed("Montag, 15. Januar 2024", de), at(2024, 1, 15));
    EXPECT_EQ(parsed("15 Sept 2024", us), at(2024, 9, 15)) << "a prefix of the full name";
    EXPECT_EQ(parsed("Mar 2024", us), at(2024, 3, 1));

    EXPECT_EQ(parsed("6:05:09 PM", us), at(1899, 12, 30, 18, 5, 9)) << "time alone: zero date";
    EXPECT_EQ(parsed("12:30 AM", us), at(1899, 12, 30, 0, 30));
    EXPECT_EQ(parsed("12:00 pm", us), at(1899, 12, 30, 12, 0));
    EXPECT_EQ(parsed("3 PM", us), at(1899, 12, 30, 15, 0));
    EXPECT_EQ(parsed("2024-01-31T13:05:09", us), at(2024, 1, 31, 13, 5, 9));
    EXPECT_EQ(parsed("15.01.2024 18:30", de), at(2024, 1, 15, 18, 30));
    EXPECT_EQ(parsed("10:00 1/2/2024", us), at(2024, 1, 2, 10, 0)) << "time first";

    for (const char *bad :
        { "", "soon", "12", "2024", "13:00 PM", "24:00", "10:60", "1:2:3:4", "10:00 11:00", "PM",
            "1/2/3/4", "January February 2024", "Pages 12/5", "1/2/2024 #", "10::00" })
        EXPECT_EQ(parsed(bad, us), QDateTime()) << bad;
}

TEST(VbDateText, ShowsOnlyThePartsAValueHas)
{
    EXPECT_EQ(VbDateText(45306, us), QStringLiteral("1/15/2024")) << "midnight: the day alone";
    EXPECT_EQ(VbDateText(45306.75, us), QStringLiteral("1/15/2024 6:00:00 PM"));
    EXPECT_EQ(VbDateText(0.75, us), QStringLiteral("6:00:00 PM")) << "no day part: the time";
    EXPECT_EQ(VbDateText(0, us), QStringLiteral("12:00:00 AM")) << "zero is a time too";
    EXPECT_EQ(VbDateText(1, us), QStringLiteral("12/31/1899"));
    EXPECT_EQ(VbDateText(-1.5, us), QStringLiteral("12/29/1899 12:00:00 PM"));
}
