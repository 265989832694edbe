// The variant's own conversions where the conformance scripts cannot reach them (text as
// numbers, objects' default members, dates, Qt values, array indexes); CStr, CInt, CLng and
// CBool of the plain subtypes are printed by variants/number_text, rounding and overflow.

#include "script/hostobject.h"
#include "script/value.h"
#include "scripteval.h"

#include <QDateTime>

#include <gtest/gtest.h>

using namespace kv6::script;
using kv6test::q;

namespace {

int errorOf(const std::function<void()> &f)
{
    try {
        f();
    } catch (const RuntimeError &e) {
        return e.number;
    }
    return 0;
}

class Answer : public HostObject
{
public:
    QString typeName() const override { return q("Answer"); }
    Variant get(const QString &member, const QList<Variant> &) override
    {
        if (member.isEmpty())
            return Variant::integer(42);
        return HostObject::get(member, {});
    }
};

} // namespace

TEST(Variant, NumericCoercionAndErrors)
{
    EXPECT_DOUBLE_EQ(Variant::string(q(" 12.5 ")).toDouble(), 12.5);
    EXPECT_DOUBLE_EQ(Variant::string(q("&HFF")).toDouble(), 255);
    EXPECT_DOUBLE_EQ(Variant::string(q("&HFFFF")).toDouble(), -1); // 16-bit hex wraps
    EXPECT_DOUBLE_EQ(Variant::string(q("-1e3")).toDouble(), -1000);
    EXPECT_DOUBLE_EQ(Variant().toDouble(), 0);
    EXPECT_DOUBLE_EQ(Variant::boolean(true).toDouble(), -1);
    EXPECT_EQ(errorOf([] { Variant::string(q("12abc")).toDouble(); }), 13);
    EXPECT_EQ(errorOf([] { Variant::null().toDouble(); }), 94);
    EXPECT_EQ(errorOf([] { Variant::object(nullptr).toDouble(); }), 91);
    // Objects coerce through their default member.
    EXPECT_DOUBLE_EQ(Variant::object(std::make_shared<Answer>()).toDouble(), 42);
    EXPECT_EQ(
        errorOf([] { Variant::object(std::make_shared<Answer>()).objectValue()->get(q("X"), {}); }),
        438);
}

TEST(Variant, DatesParseInLiteralAndIsoOrder)
{
    struct Row
    {
        const char *text;
        QDateTime when;
    };
    const Row rows[] = {
        { "1/31/2024", QDateTime(QDate(2024, 1, 31), QTime(0, 0)) },
        { "2024-01-31 13:05:09", QDateTime(QDate(2024, 1, 31), QTime(13, 5, 9)) },
        { "3/4/99", QDateTime(QDate(1999, 3, 4), QTime(0, 0)) },
        { "3/4/29 12:30 AM", QDateTime(QDate(2029, 3, 4), QTime(0, 30)) },
        { "12/29/1899 6:00 AM", QDateTime(QDate(1899, 12, 29), QTime(6, 0)) },
    };
    for (const Row &r : rows) {
        double ole = 0;
        ASSERT_TRUE(Variant::parseDate(q(r.text), &ole)) << r.text;
        EXPECT_EQ(Variant::date(ole).toQVariant().toDateTime(), r.when) << r.text;
    }
    double ole = 0;
    for (const char *bad : { "2/30/2024", "13:00 PM", "1/2", "x", "25:00" })
        EXPECT_FALSE(Variant::parseDate(q(bad), &ole)) << bad;
    EXPECT_EQ(errorOf([] { Variant::string(q("soon")).toDate(); }), 13);
}

TEST(Variant, QVariantRoundTripKeepsSubtypes)
{
    const kv6::Currency c = kv6::Currency::fromString(q("3.1416"));
    EXPECT_EQ(Variant::fromQVariant(QVariant::fromValue(c)).type(), VarType::Currency);
    EXPECT_EQ(Variant::fromQVariant(QVariant::fromValue(c)).currencyValue(), c);
    EXPECT_EQ(Variant::fromQVariant(QVariant(7)).typeName(), q("Long"));
    EXPECT_EQ(Variant::fromQVariant(QVariant(qint64(1) << 40)).typeName(), q("Double"));
    EXPECT_EQ(Variant::fromQVariant(QVariant(QString())).typeName(), q("String"));
    EXPECT_EQ(Variant::fromQVariant(QVariant::fromValue(nullptr)).typeName(), q("Null"));
    const QDateTime when(QDate(1899, 12, 29), QTime(18, 0));
    const Variant d = Variant::fromQVariant(when);
    EXPECT_DOUBLE_EQ(d.doubleValue(), -1.75);
    EXPECT_EQ(d.toQVariant().toDateTime(), when);
    const Variant list = Variant::fromQVariant(QVariantList { 1, q("a") });
    ASSERT_TRUE(list.isArray());
    EXPECT_EQ(list.arrayValue()->upper, QList<int> { 1 });
    EXPECT_EQ(list.varType(), 8204);
    EXPECT_EQ(list.toQVariant().toList().value(1).toString(), q("a"));
}

TEST(ArrayData, FlatIndexChecksEveryDimension)
{
    ArrayData a;
    a.upper = { 2, 3 }; // 3 x 4
    EXPECT_EQ(a.flatIndex({ 0, 0 }), 0);
    EXPECT_EQ(a.flatIndex({ 1, 2 }), 6);
    EXPECT_EQ(a.flatIndex({ 2, 3 }), 11);
    // Out of its own dimension though inside the whole: (1, 4) would be (2, 0), (2, -1) (1, 3).
    EXPECT_EQ(a.flatIndex({ 1, 4 }), -1);
    EXPECT_EQ(a.flatIndex({ 2, -1 }), -1);
    EXPECT_EQ(a.flatIndex({ 1 }), -1);
}
