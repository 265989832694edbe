#include "vbcore/currency.h"
#include "vbcore/keyedcollection.h"
#include "vbcore/vbdate.h"
#include "vbcore/vbdecimal.h"

#include "testenv.h"

#include <QVariant>

#include <functional>

#include <gtest/gtest.h>

using namespace kv6;
using kv6test::q;

TEST(Currency, FromDoubleRoundsHalfToEvenAtFourthDecimal)
{
    struct Row
    {
        double in;
        int64_t raw;
    };
    const Row rows[] = {
        { 1.5, 15000 }, { 0.00005, 0 }, // tie, 0 is even
        { 0.00015, 2 }, { 0.00025, 2 }, // ties go to the even neighbour
        { -0.00015, -2 }, { 2.00005, 20000 }, // 2.00005 is a tie in decimal
        { 1.23456, 12346 }, { -1.23454, -12345 }, // plain rounding either side
        { 922337203685477.0, 9223372036854770000 }, // near the top of the range
    };
    for (const Row &r : rows) {
        bool ok = false;
        EXPECT_EQ(Currency::fromDouble(r.in, &ok).raw(), r.raw) << r.in;
        EXPECT_TRUE(ok) << r.in;
    }
}

TEST(VbDecimal, RoundsTheDecimalDigitsHalfAwayFromZero)
{
    struct Row
    {
        double in;
        int places;
        const char *fixed;
    };
    const Row rows[] = {
        { 1.005, 2, "1.01" }, { 2.675, 2, "2.68" }, // below the tie in binary, a tie as it reads
        { 2.5, 0, "3" }, { -2.5, 0, "-3" }, { 0.5, 0, "1" }, { 0.05, 0, "0" },
        { 9.995, 2, "10.00" }, { 99.96, 1, "100.0" }, // carries into a new digit
        { -0.001, 2, "0.00" }, // no minus on a zero
        { 0.0625, 3, "0.063" }, { 1e-20, 2, "0.00" }, { 1234.5, 3, "1234.500" },
        { 0.1 + 0.2, 16, "0.3000000000000000" }, // fifteen digits first
    };
    for (const Row &r : rows)
        EXPECT_EQ(VbDecimal::fromDouble(r.in).fixed(r.places), q(r.fixed)) << r.in;
    EXPECT_EQ(VbDecimal::fromText(q("-0012.3400")).fixed(3), q("-12.340"));
}

TEST(Currency, OutOfRangeAndNonFiniteReportOverflow)
{
    const std::function<void(bool *)> overflows[] = {
        [](bool *ok) { Currency::fromDouble(1e15, ok); },
        [](bool *ok) { Currency::fromDouble(std::nan(""), ok); },
        [](bool *ok) { Currency::max().add(Currency::fromRaw(1), ok); },
        [](bool *ok) { Currency::min().sub(Currency::fromRaw(1), ok); },
        [](bool *ok) { Currency::fromInt(1000000000).mul(Currency::fromInt(1000000000), ok); },
        [](bool *ok) { Currency::fromInt(1).div(Currency(), ok); }, // division by zero
    };
    for (size_t i = 0; i < std::size(overflows); ++i) {
        bool ok = true;
        overflows[i](&ok);
        EXPECT_FALSE(ok) << "case " << i;
    }
    bool ok = false;
    EXPECT_EQ(Currency::fromInt(922337203685477, &ok).raw(), 9223372036854770000);
    EXPECT_TRUE(ok);
}

TEST(Currency, ArithmeticRoundsLikeVb)
{
    const Currency third = Currency::fromInt(1) / Currency::fromInt(3);
    EXPECT_EQ(third.raw(), 3333);
    EXPECT_EQ((Currency::fromInt(2) / Currency::fromInt(3)).raw(), 6667);
    // 0.0001 * 0.5 = 0.00005, a tie that goes to 0; 0.0003 * 0.5 = 0.00015 goes to 0.0002.
    EXPECT_EQ((Currency::fromRaw(1) * Currency::fromRaw(5000)).raw(), 0);
    EXPECT_EQ((Currency::fromRaw(3) * Currency::fromRaw(5000)).raw(), 2);
    EXPECT_EQ((Currency::fromString(q("19.99")) * Currency::fromInt(3)).toString(), q("59.97"));
    EXPECT_EQ(
        (Currency::fromString(q("0.1")) + Currency::fromString(q("0.2"))).toString(), q("0.3"));
    EXPECT_LT(Currency::fromString(q("-0.0001")), Currency());
    EXPECT_EQ(Currency::fromString(q("12.5")), Currency::fromDouble(12.5));
}

TEST(Currency, TextRoundTripInShortestForm)
{
    const std::pair<const char *, const char *> rows[] = {
        { "1.5", "1.5" },
        { "12", "12" },
        { "-0.25", "-0.25" },
        { " 3.10000 ", "3.1" },
        { "0.00005", "0" },
        { "0.00015", "0.0002" },
        { "1e3", "1000" },
        { "+7.", "7" },
        { "-922337203685477.5807", "-922337203685477.5807" },
        { "922337203685477.5807", "922337203685477.5807" },
    };
    for (const auto &[in, out] : rows) {
        bool ok = false;
        EXPECT_EQ(Currency::fromString(q(in), &ok).toString(), q(out)) << in;
        EXPECT_TRUE(ok) << in;
    }
    for (const char *bad : { "", "abc", "1.2.3", "1e", "922337203685477.5808", "--1", "$5" }) {
        bool ok = true;
        Currency::fromString(q(bad), &ok);
        EXPECT_FALSE(ok) << bad;
    }
}

TEST(VbDate, OleDoublesRoundTrip)
{
    struct Row
    {
        double ole;
        QDateTime dt;
    };
    const Row rows[] = {
        { 0.0, QDateTime(QDate(1899, 12, 30), QTime(0, 0)) },
        { 2.5, QDateTime(QDate(1900, 1, 1), QTime(12, 0)) },
        { -1.25, QDateTime(QDate(1899, 12, 29), QTime(6, 0)) }, // fraction counts forward
        { -1.75, QDateTime(QDate(1899, 12, 29), QTime(18, 0)) },
        { 0.75, QDateTime(QDate(1899, 12, 30), QTime(18, 0)) },
        { 45292.0, QDateTime(QDate(2024, 1, 1), QTime(0, 0)) },
        { -657434.0, QDateTime(QDate(100, 1, 1), QTime(0, 0)) },
        { 2958465.0 + 86399.0 / 86400.0, QDateTime(QDate(9999, 12, 31), QTime(23, 59, 59)) },
    };
    for (const Row &r : rows) {
        EXPECT_EQ(VbDateFromDouble(r.ole), r.dt) << r.ole;
        EXPECT_NEAR(VbDateToDouble(r.dt), r.ole, 1e-9) << r.ole;
    }
    EXPECT_FALSE(VbDateFromDouble(3e6).isValid());
    EXPECT_TRUE(IsVbZeroDate(VbDateFromDouble(0)));
    EXPECT_FALSE(IsVbZeroDate(VbDateFromDouble(0.5)));
    // A hair below midnight rounds to the next day rather than showing 24:00:00.
    EXPECT_EQ(VbDateFromDouble(1.9999999), QDateTime(QDate(1900, 1, 1), QTime(0, 0)));
}

TEST(VbDate, SerialsCarryLikeVb)
{
    const auto day = [](int y, int m, int d) { return double(VbZeroDay().daysTo(QDate(y, m, d))); };
    EXPECT_EQ(VbDateSerial(2024, 14, 0), day(2025, 1, 31));
    EXPECT_EQ(VbDateSerial(2024, 3, 0), day(2024, 2, 29));
    EXPECT_EQ(VbDateSerial(2024, 0, 1), day(2023, 12, 1));
    EXPECT_EQ(VbDateSerial(2024, -13, 1), day(2022, 11, 1));
    EXPECT_EQ(VbDateSerial(29, 1, 1), day(2029, 1, 1));
    EXPECT_EQ(VbDateSerial(30, 1, 1), day(1930, 1, 1));
    EXPECT_EQ(VbDateSerial(2024, 1, 366), day(2024, 12, 31));
    EXPECT_FALSE(VbDateSerial(10000, 1, 1).has_value());
    EXPECT_DOUBLE_EQ(VbTimeSerial(6, 0, 0), 0.25);
    EXPECT_DOUBLE_EQ(VbTimeSerial(25, 0, 0), 1 + 1.0 / 24);
    EXPECT_DOUBLE_EQ(VbTimeSerial(0, -30, 0), -1.0 - (23.5 / 24)); // 29 Dec 23:30
    EXPECT_EQ(
        VbDateFromDouble(VbTimeSerial(0, -30, 0)), QDateTime(QDate(1899, 12, 29), QTime(23, 30)));
}

TEST(KeyedCollection, KeepsOrderAndFindsKeysWithoutCase)
{
    KeyedCollection<int> c;
    EXPECT_EQ(c.add(10, q("ten")), KeyedCollection<int>::Result::Ok);
    EXPECT_EQ(c.add(30, q("Thirty")), KeyedCollection<int>::Result::Ok);
    EXPECT_EQ(c.add(20, q("twenty"), 2), KeyedCollection<int>::Result::Ok); // before #2
    EXPECT_EQ(c.add(5, QString(), 0, 0), KeyedCollection<int>::Result::Ok); // unkeyed, at end
    EXPECT_EQ(c.add(1, QString(), 1), KeyedCollection<int>::Result::Ok); // before first
    EXPECT_EQ(c.add(25, q("x"), 0, 3), KeyedCollection<int>::Result::Ok); // after #3
    EXPECT_EQ(c.add(99, q("TEN")), KeyedCollection<int>::Result::DuplicateKey);
    EXPECT_EQ(c.add(99, q("y"), 9), KeyedCollection<int>::Result::BadPosition);
    EXPECT_EQ(c.add(99, q("y"), 1, 1), KeyedCollection<int>::Result::BadPosition);

    QList<int> order;
    for (int v : c)
        order << v;
    EXPECT_EQ(order, (QList<int> { 1, 10, 20, 25, 30, 5 }));
    ASSERT_NE(c.item(q("THIRTY")), nullptr);
    EXPECT_EQ(*c.item(q("THIRTY")), 30);
    EXPECT_EQ(c.indexOf(q("twenty")), 3);
    EXPECT_EQ(c.keyAt(5), q("Thirty")); // case kept as given
    EXPECT_EQ(c.item(0), nullptr);
    EXPECT_EQ(c.item(7), nullptr);

    EXPECT_TRUE(c.remove(q("TWENTY")));
    EXPECT_FALSE(c.exists(q("twenty")));
    EXPECT_EQ(c.indexOf(q("thirty")), 4); // positions behind the removal moved up
    EXPECT_TRUE(c.remove(1));
    EXPECT_EQ(*c.item(q("ten")), 10);
    EXPECT_EQ(c.indexOf(q("ten")), 1);
    EXPECT_FALSE(c.remove(9));
    EXPECT_FALSE(c.remove(q("missing")));
    EXPECT_EQ(c.count(), 4);
    // A removed key may be used again.
    EXPECT_EQ(c.add(20, q("Twenty")), KeyedCollection<int>::Result::Ok);
    EXPECT_EQ(c.indexOf(q("twenty")), 5);
    // Keys beyond ASCII fold as well.
    EXPECT_EQ(c.add(7, q("Äpfel")), KeyedCollection<int>::Result::Ok);
    EXPECT_EQ(c.add(8, q("äPFEL")), KeyedCollection<int>::Result::DuplicateKey);
    ASSERT_NE(c.item(q("ÄPFEL")), nullptr);
    EXPECT_EQ(*c.item(q("ÄPFEL")), 7);
}
