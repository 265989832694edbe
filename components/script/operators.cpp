#include "script/operators.h"

#include "script/hostobject.h"
#include "vbcore/vbdate.h"

#include <cmath>
#include <limits>

namespace kv6::script::ops {

using ast::Op;

namespace {

// Numeric widths in VB's order of precision; results take the wider operand's width.
enum Rank { RByte, RInt, RLong, RSingle, RCur, RDouble };

Rank rankOf(const Variant &v)
{
    switch (v.type()) {
    case VarType::Byte:
        return RByte;
    case VarType::Empty:
    case VarType::Boolean:
    case VarType::Integer:
        return RInt;
    case VarType::Long:
        return RLong;
    case VarType::Single:
        return RSingle;
    case VarType::Currency:
        return RCur;
    case VarType::Double:
    case VarType::Date:
    case VarType::String:
        return RDouble;
    default:
        raise(13);
    }
}

Rank combine(Rank a, Rank b)
{
    const Rank hi = qMax(a, b);
    if (hi == RSingle && qMin(a, b) == RLong)
        return RDouble;
    return hi;
}

bool integral(const Variant &v)
{
    switch (v.type()) {
    case VarType::Empty:
    case VarType::Boolean:
    case VarType::Byte:
    case VarType::Integer:
    case VarType::Long:
        return true;
    default:
        return false;
    }
}

// The narrowest integer subtype, from `rank` up, that holds x; a Double beyond Long.
Variant integerResult(qint64 x, Rank rank)
{
    if (rank == RByte && x >= 0 && x <= 255)
        return Variant::byte(int(x));
    if (rank <= RInt && x >= -32768 && x <= 32767)
        return Variant::integer(int(x));
    if (x >= std::numeric_limits<qint32>::min() && x <= std::numeric_limits<qint32>::max())
        return Variant::longValue(qint32(x));
    return Variant::dbl(double(x));
}

Variant doubleResult(double d)
{
    if (!std::isfinite(d))
        raise(6);
    return Variant::dbl(d);
}

Variant dateResult(double d)
{
    if (!kv6::IsVbDateInRange(d))
        raise(6);
    return Variant::date(d);
}

// Resolves objects to their default values without copying plain values.
struct Val
{
    explicit Val(const Variant &v)
        : ref(v.isObject() ? (held = valueOf(v)) : v)
    { }
    Variant held;
    const Variant &ref;
};

enum class Arith { Add, Sub, Mul };

Variant arith(Arith op, const Variant &a0, const Variant &b0)
{
    const Val va(a0), vb(b0);
    const Variant &a = va.ref;
    const Variant &b = vb.ref;
    if (a.isNull() || b.isNull())
        return Variant::null();
    // The common case first: both already integers.
    if (integral(a) && integral(b) && a.type() != VarType::Empty && b.type() != VarType::Empty) {
        const qint64 x = a.intValue(), y = b.intValue();
        const qint64 r = op == Arith::Add ? x + y : op == Arith::Sub ? x - y : x * y;
        return integerResult(r, combine(rankOf(a), rankOf(b)));
    }
    if (op == Arith::Add) {
        if (a.isString() && b.isString())
            return concat(a, b);
        if (a.isEmpty() && b.isString())
            return b;
        if (b.isEmpty() && a.isString())
            return a;
    }
    const bool da = a.type() == VarType::Date, db = b.type() == VarType::Date;
    if ((da || db) && op != Arith::Mul) {
        const double x = a.toDouble(), y = b.toDouble();
        if (op == Arith::Add)
            return dateResult(x + y);
        if (da && db)
            return doubleResult(x - y);
        return dateResult(x - y);
    }
    const Rank r = combine(rankOf(a), rankOf(b));
    switch (r) {
    case RByte:
    case RInt:
    case RLong: {
        const qint64 x = a.intValue(), y = b.intValue(); // Empty holds 0
        return integerResult(op == Arith::Add ? x + y : op == Arith::Sub ? x - y : x * y, r);
    }
    case RCur: {
        const kv6::Currency x = a.toCurrency(), y = b.toCurrency();
        bool ok = true;
        const kv6::Currency c = op == Arith::Add ? x.add(y, &ok)
            : op == Arith::Sub                   ? x.sub(y, &ok)
                                                 : x.mul(y, &ok);
        if (!ok)
            raise(6);
        return Variant::currency(c);
    }
    case RSingle: {
        const double x = a.toDouble(), y = b.toDouble();
        const double d = op == Arith::Add ? x + y : op == Arith::Sub ? x - y : x * y;
        if (std::fabs(d) <= std::numeric_limits<float>::max())
            return Variant::single(float(d));
        return doubleResult(d);
    }
    case RDouble: {
        const double x = a.toDouble(), y = b.toDouble();
        return doubleResult(op == Arith::Add ? x + y : op == Arith::Sub ? x - y : x * y);
    }
    }
    raise(13);
}

// Integer division and Mod work on rounded integers of the narrowest fitting width.
Rank integerRank(const Variant &a, const Variant &b)
{
    if (a.type() == VarType::Byte && b.type() == VarType::Byte)
        return RByte;
    auto small = [](const Variant &v) {
        return v.type() == VarType::Byte || v.type() == VarType::Integer
            || v.type() == VarType::Boolean || v.type() == VarType::Empty;
    };
    return small(a) && small(b) ? RInt : RLong;
}

// Boolean words count as the Boolean values they name.
bool isBooleanLike(const Variant &v)
{
    if (v.type() == VarType::Boolean)
        return true;
    return v.isString()
        && (v.stringValue().compare(QLatin1String("true"), Qt::CaseInsensitive) == 0
            || v.stringValue().compare(QLatin1String("false"), Qt::CaseInsensitive) == 0);
}

qint64 logicalBits(const Variant &v)
{
    if (v.type() == VarType::Boolean)
        return v.boolValue() ? -1 : 0;
    if (isBooleanLike(v))
        return v.toBool() ? -1 : 0;
    return v.toLong();
}

enum class LType { Boolean, Byte, Integer, Long };

LType logicalType(const Variant &a, const Variant &b)
{
    if (isBooleanLike(a) && isBooleanLike(b))
        return LType::Boolean;
    if (a.type() == VarType::Byte && b.type() == VarType::Byte)
        return LType::Byte;
    return integerRank(a, b) == RInt ? LType::Integer : LType::Long;
}

Variant logicalResult(qint64 bits, LType t)
{
    switch (t) {
    case LType::Boolean:
        return Variant::boolean(bits != 0);
    case LType::Byte:
        return Variant::byte(int(bits & 0xFF));
    case LType::Integer:
        return Variant::integer(qint16(bits));
    case LType::Long:
        break;
    }
    return Variant::longValue(qint32(bits));
}

int sign(double d)
{
    return d < 0 ? -1 : d > 0 ? 1 : 0;
}

int compareNumbers(const Variant &a, const Variant &b)
{
    if (integral(a) && integral(b)) {
        const qint64 x = a.intValue(), y = b.intValue();
        return x < y ? -1 : x > y ? 1 : 0;
    }
    if (a.type() == VarType::Currency && b.type() == VarType::Currency) {
        const qint64 x = a.currencyValue().raw(), y = b.currencyValue().raw();
        return x < y ? -1 : x > y ? 1 : 0;
    }
    return sign(a.toDouble() - b.toDouble());
}

// A string compared with a number constant, read as that number's kind: date text against a
// date, a number otherwise.
Variant numberLike(const Variant &text, const Variant &number)
{
    double d = 0;
    if (number.type() == VarType::Date && !Variant::parseNumber(text.stringValue(), &d)
        && Variant::parseDateText(text.stringValue(), &d))
        return Variant::date(d);
    return Variant::dbl(text.toDouble());
}

int compareStrings(const QString &a, const QString &b)
{
    const int c = a.compare(b, Qt::CaseSensitive);
    return c < 0 ? -1 : c > 0 ? 1 : 0;
}

} // namespace

Variant valueOf(const Variant &v)
{
    if (!v.isObject())
        return v;
    if (!v.objectValue())
        raise(91);
    Variant r = v.objectValue()->get(QString(), {});
    if (r.isObject())
        raise(438); // a default member that is itself an object has no value
    return r;
}

Variant add(const Variant &a, const Variant &b)
{
    return arith(Arith::Add, a, b);
}
Variant subtract(const Variant &a, const Variant &b)
{
    return arith(Arith::Sub, a, b);
}
Variant multiply(const Variant &a, const Variant &b)
{
    return arith(Arith::Mul, a, b);
}

Variant divide(const Variant &a0, const Variant &b0)
{
    const Val va(a0), vb(b0);
    if (va.ref.isNull() || vb.ref.isNull())
        return Variant::null();
    const double x = va.ref.toDouble(), y = vb.ref.toDouble();
    if (y == 0)
        raise(x == 0 ? 6 : 11);
    return doubleResult(x / y);
}

Variant intDivide(const Variant &a0, const Variant &b0)
{
    const Val va(a0), vb(b0);
    const Variant &a = va.ref;
    const Variant &b = vb.ref;
    if (a.isNull() || b.isNull())
        return Variant::null();
    const qint64 x = a.toLong(), y = b.toLong();
    if (y == 0)
        raise(11);
    const qint64 r = x / y;
    if (r > std::numeric_limits<qint32>::max())
        raise(6);
    return integerResult(r, integerRank(a, b));
}

Variant modulo(const Variant &a0, const Variant &b0)
{
    const Val va(a0), vb(b0);
    const Variant &a = va.ref;
    const Variant &b = vb.ref;
    if (a.isNull() || b.isNull())
        return Variant::null();
    const qint64 x = a.toLong(), y = b.toLong();
    if (y == 0)
        raise(11);
    return integerResult(x % y, integerRank(a, b));
}

Variant power(const Variant &a0, const Variant &b0)
{
    const Val va(a0), vb(b0);
    if (va.ref.isNull() || vb.ref.isNull())
        return Variant::null();
    const double x = va.ref.toDouble(), y = vb.ref.toDouble();
    const double r = std::pow(x, y);
    if (std::isnan(r))
        raise(5);
    return doubleResult(r);
}

Variant concat(const Variant &a0, const Variant &b0)
{
    const Val va(a0), vb(b0);
    const Variant &a = va.ref;
    const Variant &b = vb.ref;
    if (a.isNull() && b.isNull())
        return Variant::null();
    if (a.isString() && b.isString()) {
        checkStringLength(a.stringValue().size() + b.stringValue().size());
        return Variant::string(a.stringValue() + b.stringValue());
    }
    const QString x = a.isNull() ? QString() : a.toString();
    const QString y = b.isNull() ? QString() : b.toString();
    checkStringLength(x.size() + y.size());
    return Variant::string(x + y);
}

Variant negate(const Variant &a0)
{
    const Val va(a0);
    const Variant &a = va.ref;
    switch (a.type()) {
    case VarType::Null:
        return a;
    case VarType::Empty:
        return Variant::integer(0);
    case VarType::Boolean:
    case VarType::Byte:
    case VarType::Integer:
        return integerResult(-a.intValue(), RInt);
    case VarType::Long:
        return integerResult(-a.intValue(), RLong);
    case VarType::Single:
        return Variant::single(float(-a.doubleValue()));
    case VarType::Double:
        return Variant::dbl(-a.doubleValue());
    case VarType::Currency: {
        bool ok = true;
        const kv6::Currency c = a.currencyValue().negate(&ok);
        if (!ok)
            raise(6);
        return Variant::currency(c);
    }
    case VarType::Date:
        return dateResult(-a.doubleValue());
    case VarType::String:
        return doubleResult(-a.toDouble());
    default:
        raise(13);
    }
}

Variant logicalNot(const Variant &a0)
{
    const Val va(a0);
    const Variant &a = va.ref;
    switch (a.type()) {
    case VarType::Null:
        return a;
    case VarType::Boolean:
        return Variant::boolean(!a.boolValue());
    case VarType::Empty:
        return Variant::integer(-1);
    case VarType::Byte:
        return Variant::byte(int(~a.intValue() & 0xFF));
    case VarType::Integer:
        return Variant::integer(qint16(~a.intValue()));
    case VarType::String:
        if (isBooleanLike(a))
            return Variant::boolean(!a.toBool());
        return Variant::longValue(~a.toLong());
    default:
        return Variant::longValue(~a.toLong());
    }
}

Variant logical(Op op, const Variant &a0, const Variant &b0)
{
    const Val va(a0), vb(b0);
    const Variant &a = va.ref;
    const Variant &b = vb.ref;
    if (a.isNull() || b.isNull()) {
        // Null is an unknown bit pattern: the result is known only where the other side
        // decides it alone.
        if (a.isNull() && b.isNull())
            return Variant::null();
        const Variant &known = a.isNull() ? b : a;
        const qint64 bits = logicalBits(known);
        const LType t = logicalType(known, known);
        switch (op) {
        case Op::And:
            return bits == 0 ? logicalResult(0, t) : Variant::null();
        case Op::Or:
            return bits == -1 ? logicalResult(-1, t) : Variant::null();
        case Op::Imp:
            if (a.isNull())
                return bits == -1 ? logicalResult(-1, t) : Variant::null();
            return bits == 0 ? logicalResult(-1, t) : Variant::null();
        default:
            return Variant::null();
        }
    }
    const qint64 x = logicalBits(a), y = logicalBits(b);
    qint64 r = 0;
    switch (op) {
    case Op::And:
        r = x & y;
        break;
    case Op::Or:
        r = x | y;
        break;
    case Op::Xor:
        r = x ^ y;
        break;
    case Op::Eqv:
        r = ~(x ^ y);
        break;
    case Op::Imp:
        r = ~x | y;
        break;
    default:
        raise(5);
    }
    return logicalResult(r, logicalType(a, b));
}

int compare(const Variant &a0, const Variant &b0, bool aLiteral, bool bLiteral)
{
    const Val va(a0), vb(b0);
    const Variant &a = va.ref;
    const Variant &b = vb.ref;
    if (a.isArray() || b.isArray())
        raise(13);
    if (a.isEmpty() && b.isEmpty())
        return 0;
    if (a.isEmpty())
        return b.isString() ? compareStrings(QString(), b.stringValue())
                            : compareNumbers(Variant::integer(0), b);
    if (b.isEmpty())
        return a.isString() ? compareStrings(a.stringValue(), QString())
                            : compareNumbers(a, Variant::integer(0));
    if (a.isString() && b.isString())
        return compareStrings(a.stringValue(), b.stringValue());
    if (!a.isString() && !b.isString())
        return compareNumbers(a, b);
    // A number against a string: a constant decides how the other side is read; between two
    // variables a number sorts before any string.
    const bool aNumber = !a.isString();
    const bool numberLiteral = aNumber ? aLiteral : bLiteral;
    const bool stringLiteral = aNumber ? bLiteral : aLiteral;
    if (stringLiteral && !numberLiteral)
        return aNumber ? compareStrings(a.toString(), b.stringValue())
                       : compareStrings(a.stringValue(), b.toString());
    if (numberLiteral)
        return aNumber ? compareNumbers(a, numberLike(b, a)) : compareNumbers(numberLike(a, b), b);
    return aNumber ? -1 : 1;
}

Variant comparison(Op op, const Variant &a0, const Variant &b0, bool aLiteral, bool bLiteral)
{
    const Val va(a0), vb(b0);
    if (va.ref.isNull() || vb.ref.isNull())
        return Variant::null();
    const int c = compare(va.ref, vb.ref, aLiteral, bLiteral);
    switch (op) {
    case Op::Eq:
        return Variant::boolean(c == 0);
    case Op::Ne:
        return Variant::boolean(c != 0);
    case Op::Lt:
        return Variant::boolean(c < 0);
    case Op::Gt:
        return Variant::boolean(c > 0);
    case Op::Le:
        return Variant::boolean(c <= 0);
    case Op::Ge:
        return Variant::boolean(c >= 0);
    default:
        raise(5);
    }
}

Variant identity(const Variant &a, const Variant &b)
{
    if (!a.isObject() || !b.isObject())
        raise(424);
    return Variant::boolean(a.objectValue() == b.objectValue());
}

Variant binary(Op op, const Variant &a, const Variant &b)
{
    switch (op) {
    case Op::Add:
        return add(a, b);
    case Op::Sub:
        return subtract(a, b);
    case Op::Mul:
        return multiply(a, b);
    case Op::Div:
        return divide(a, b);
    case Op::IntDiv:
        return intDivide(a, b);
    case Op::Mod:
        return modulo(a, b);
    case Op::Pow:
        return power(a, b);
    case Op::Concat:
        return concat(a, b);
    case Op::Is:
        return identity(a, b);
    case Op::And:
    case Op::Or:
    case Op::Xor:
    case Op::Eqv:
    case Op::Imp:
        return logical(op, a, b);
    default:
        return comparison(op, a, b, false, false);
    }
}

} // namespace kv6::script::ops
