#include "script/builtins.h"
#include "builtins_p.h"

#include <QHash>

#include <algorithm>

#include <cmath>

// The string, conversion, test and maths functions. Functions whose argument is Null give Null
// where the language does (string functions, Abs, Int, Fix), and raise 94 where it does not.

namespace kv6::script {

namespace {

using Args = QList<Variant>;

// Windows-1252 where it differs from Latin-1; undefined codes keep their Latin-1 value.
const char16_t cp1252High[32] = { 0x20AC, 0x81, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x8D, 0x017D, 0x8F, 0x90, 0x2018, 0x2019, 0x201C,
    0x201D, 0x2022, 0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x9D, 0x017E, 0x0178 };

// The Windows-1252 code of a character, so that Asc(Chr(n)) = n; "?" for characters the code
// page lacks.
int windowsCode(QChar c)
{
    const char16_t u = c.unicode();
    if (u < 0x80 || (u >= 0xA0 && u <= 0xFF))
        return u;
    for (int i = 0; i < 32; ++i) {
        if (cp1252High[i] == u)
            return 0x80 + i;
    }
    return '?';
}

// Case mapping one character at a time: the language never turns "ß" into "SS".
QString mapCase(const QString &s, bool upper)
{
    QString out;
    out.reserve(s.size());
    for (qsizetype i = 0; i < s.size(); ++i) {
        char32_t c = s.at(i).unicode();
        if (QChar::isHighSurrogate(c) && i + 1 < s.size() && s.at(i + 1).isLowSurrogate()) {
            c = QChar::surrogateToUcs4(s.at(i), s.at(i + 1));
            ++i;
        }
        c = upper ? QChar::toUpper(c) : QChar::toLower(c);
        out += QString::fromUcs4(&c, 1);
    }
    return out;
}

bool anyNull(const Args &a, int upTo)
{
    for (int i = 0; i < upTo && i < a.size(); ++i)
        if (a[i].isNull())
            return true;
    return false;
}

// A length or position argument: a whole number that must not be negative.
int count(const Variant &v)
{
    const qint32 n = v.toLong();
    if (n < 0)
        raise(5);
    return n;
}

int position(const Variant &v)
{
    const qint32 n = v.toLong();
    if (n < 1)
        raise(5);
    return n;
}

Qt::CaseSensitivity compareMode(const Args &a, int index)
{
    return detail::given(a, index) && a[index].toLong() == 1 ? Qt::CaseInsensitive
                                                             : Qt::CaseSensitive;
}

// Abs, Int, Fix and Round keep the argument's type; other types give a Double.
Variant sameKind(const Variant &arg, double d)
{
    switch (arg.type()) {
    case VarType::Integer:
    case VarType::Byte:
    case VarType::Boolean:
        if (d >= -32768 && d <= 32767)
            return Variant::integer(int(d));
        return Variant::longValue(qint32(d));
    case VarType::Long:
        return Variant::longValue(qint32(d));
    case VarType::Currency: {
        bool ok = true;
        const Currency c = Currency::fromDouble(d, &ok);
        if (!ok)
            raise(6);
        return Variant::currency(c);
    }
    default:
        return Variant::dbl(d);
    }
}

QList<BuiltinFunction> build()
{
    QList<BuiltinFunction> f;
    auto add = [&f](const char *name, int min, int max, BuiltinFn fn) {
        f.append(BuiltinFunction { QString::fromLatin1(name), min, max, std::move(fn) });
    };

    // ---- strings
    add("Len", 1, 1, [](const Args &a) {
        return a[0].isNull() ? Variant::null() : Variant::longValue(a[0].toString().size());
    });
    add("Left", 2, 2, [](const Args &a) {
        const int n = count(a[1]);
        return a[0].isNull() ? Variant::null() : Variant::string(a[0].toString().left(n));
    });
    add("Right", 2, 2, [](const Args &a) {
        const int n = count(a[1]);
        return a[0].isNull() ? Variant::null() : Variant::string(a[0].toString().right(n));
    });
    add("Mid", 2, 3, [](const Args &a) {
        const int start = position(a[1]);
        const int n = detail::given(a, 2) ? count(a[2]) : -1;
        if (a[0].isNull())
            return Variant::null();
        const QString s = a[0].toString();
        return Variant::string(start > s.size() ? QString() : s.mid(start - 1, n));
    });
    add("InStr", 2, 4, [](const Args &a) {
        // InStr([start,] string1, string2[, compare])
        int start = 1, i = 0;
        if (a.size() >= 3) {
            if (a[0].isNull())
                raise(94);
            start = position(a[0]);
            i = 1;
        }
        if (a[i].isNull() || a[i + 1].isNull())
            return Variant::null();
        const QString s = a[i].toString(), find = a[i + 1].toString();
        if (start > s.size())
            return Variant::longValue(0);
        if (find.isEmpty())
            return Variant::longValue(start);
        return Variant::longValue(int(s.indexOf(find, start - 1, compareMode(a, i + 2))) + 1);
    });
    add("InStrRev", 2, 4, [](const Args &a) {
        if (a[0].isNull() || a[1].isNull())
            return Variant::null();
        const QString s = a[0].toString(), find = a[1].toString();
        const int start = detail::given(a, 2) ? int(a[2].toLong()) : -1;
        if (start == 0 || start < -1)
            raise(5);
        const int from = start == -1 ? int(s.size()) : start;
        if (find.isEmpty())
            return Variant::longValue(from);
        if (from > s.size())
            return Variant::longValue(0);
        const int at = int(s.lastIndexOf(find, from - int(find.size()), compareMode(a, 3)));
        return Variant::longValue(at < 0 ? 0 : at + 1);
    });
    add("Replace", 3, 6, [](const Args &a) {
        // A Null text is an error here, unlike the other string functions.
        if (a[0].isNull())
            raise(94);
        if (anyNull(a, 3))
            return Variant::null();
        const QString s = a[0].toString(), find = a[1].toString(), with = a[2].toString();
        const int start = detail::given(a, 3) ? position(a[3]) : 1;
        const int limit = detail::given(a, 4) ? int(a[4].toLong()) : -1;
        if (limit < -1)
            raise(5);
        const Qt::CaseSensitivity cs = compareMode(a, 5);
        // The result starts at `start`, as the language defines it.
        QString rest = s.mid(start - 1);
        if (find.isEmpty() || limit == 0)
            return Variant::string(rest);
        QString out;
        int at = 0, done = 0;
        while (limit < 0 || done < limit) {
            const int hit = int(rest.indexOf(find, at, cs));
            if (hit < 0)
                break;
            checkStringLength(qint64(out.size()) + (hit - at) + with.size());
            out += rest.mid(at, hit - at) + with;
            at = hit + int(find.size());
            ++done;
        }
        return Variant::string(out + rest.mid(at));
    });
    add("UCase", 1, 1, [](const Args &a) {
        return a[0].isNull() ? Variant::null() : Variant::string(mapCase(a[0].toString(), true));
    });
    add("LCase", 1, 1, [](const Args &a) {
        return a[0].isNull() ? Variant::null() : Variant::string(mapCase(a[0].toString(), false));
    });
    auto trim = [](const QString &s, bool left, bool right) {
        int b = 0, e = int(s.size());
        while (left && b < e && s.at(b) == u' ')
            ++b;
        while (right && e > b && s.at(e - 1) == u' ')
            --e;
        return s.mid(b, e - b);
    };
    add("Trim", 1, 1, [trim](const Args &a) {
        return a[0].isNull() ? Variant::null() : Variant::string(trim(a[0].toString(), 1, 1));
    });
    add("LTrim", 1, 1, [trim](const Args &a) {
        return a[0].isNull() ? Variant::null() : Variant::string(trim(a[0].toString(), 1, 0));
    });
    add("RTrim", 1, 1, [trim](const Args &a) {
        return a[0].isNull() ? Variant::null() : Variant::string(trim(a[0].toString(), 0, 1));
    });
    add("Space", 1, 1, [](const Args &a) {
        const int n = count(a[0]);
        checkStringLength(n);
        return Variant::string(QString(n, u' '));
    });
    add("String", 2, 2, [](const Args &a) {
        const int n = count(a[0]);
        checkStringLength(n);
        if (a[1].isNull())
            return Variant::null();
        QChar c;
        if (a[1].isString()) {
            if (a[1].stringValue().isEmpty())
                raise(5);
            c = a[1].stringValue().at(0);
        } else {
            c = QChar(ushort(a[1].toLong() & 0xFF));
        }
        return Variant::string(QString(n, c));
    });
    add("StrReverse", 1, 1, [](const Args &a) {
        if (a[0].isNull())
            raise(94);
        QString s = a[0].toString();
        std::reverse(s.begin(), s.end());
        return Variant::string(s);
    });
    add("StrComp", 2, 3, [](const Args &a) {
        if (a[0].isNull() || a[1].isNull())
            return Variant::null();
        const int c = a[0].toString().compare(a[1].toString(), compareMode(a, 2));
        return Variant::integer(c < 0 ? -1 : (c > 0 ? 1 : 0));
    });
    add("Chr", 1, 1, [](const Args &a) {
        const qint32 code = a[0].toLong();
        if (code < 0 || code > 255)
            raise(5);
        // Codes above 127 are Windows-1252 in the scripts this language comes from.
        if (code >= 0x80 && code <= 0x9F)
            return Variant::string(QString(QChar(cp1252High[code - 0x80])));
        return Variant::string(QString(QChar(ushort(code))));
    });
    add("ChrW", 1, 1, [](const Args &a) {
        const qint32 code = a[0].toLong();
        if (code < -32768 || code > 65535)
            raise(5);
        return Variant::string(QString(QChar(ushort(code & 0xFFFF))));
    });
    add("Asc", 1, 1, [](const Args &a) {
        const QString s = a[0].isNull() ? QString() : a[0].toString();
        if (s.isEmpty())
            raise(5);
        return Variant::integer(windowsCode(s.at(0)));
    });
    add("AscW", 1, 1, [](const Args &a) {
        const QString s = a[0].isNull() ? QString() : a[0].toString();
        if (s.isEmpty())
            raise(5);
        return Variant::integer(qint16(s.at(0).unicode()));
    });

    // ---- conversions
    add("CStr", 1, 1, [](const Args &a) {
        if (a[0].isNull())
            raise(94);
        return Variant::string(a[0].toString());
    });
    add("CInt", 1, 1, [](const Args &a) { return Variant::integer(a[0].toInteger()); });
    add("CLng", 1, 1, [](const Args &a) { return Variant::longValue(a[0].toLong()); });
    add("CByte", 1, 1, [](const Args &a) {
        const qint32 v = a[0].toLong();
        if (v < 0 || v > 255)
            raise(6);
        return Variant::byte(v);
    });
    add("CDbl", 1, 1, [](const Args &a) { return Variant::dbl(a[0].toDouble()); });
    add("CSng", 1, 1, [](const Args &a) {
        const double d = a[0].toDouble();
        if (std::abs(d) > 3.402823466e38)
            raise(6);
        return Variant::single(float(d));
    });
    add("CCur", 1, 1, [](const Args &a) { return Variant::currency(a[0].toCurrency()); });
    add("CBool", 1, 1, [](const Args &a) { return Variant::boolean(a[0].toBool()); });
    add("CDate", 1, 1, [](const Args &a) { return Variant::date(a[0].toDate()); });

    // ---- tests
    add("IsNull", 1, 1, [](const Args &a) { return Variant::boolean(a[0].isNull()); });
    add("IsEmpty", 1, 1, [](const Args &a) { return Variant::boolean(a[0].isEmpty()); });
    add("IsArray", 1, 1, [](const Args &a) { return Variant::boolean(a[0].isArray()); });
    add("IsObject", 1, 1, [](const Args &a) { return Variant::boolean(a[0].isObject()); });
    f.back().takesObjects = true;
    add("IsNumeric", 1, 1, [](const Args &a) {
        const Variant &v = a[0];
        if (v.isString()) {
            double d = 0;
            return Variant::boolean(Variant::parseNumber(v.stringValue(), &d));
        }
        return Variant::boolean(v.isEmpty() || (v.isNumeric() && v.type() != VarType::Date));
    });
    add("IsDate", 1, 1, [](const Args &a) {
        const Variant &v = a[0];
        if (v.type() == VarType::Date)
            return Variant::boolean(true);
        double d = 0;
        return Variant::boolean(v.isString() && Variant::parseDateText(v.stringValue(), &d));
    });
    add("TypeName", 1, 1, [](const Args &a) { return Variant::string(a[0].typeName()); });
    f.back().takesObjects = true;
    add("VarType", 1, 1, [](const Args &a) { return Variant::integer(a[0].varType()); });

    // ---- maths
    add("Abs", 1, 1, [](const Args &a) {
        if (a[0].isNull())
            return Variant::null();
        if (a[0].isEmpty())
            return Variant::integer(0);
        return sameKind(a[0], std::abs(a[0].toDouble()));
    });
    add("Int", 1, 1, [](const Args &a) {
        if (a[0].isNull())
            return Variant::null();
        return sameKind(a[0], std::floor(a[0].toDouble()));
    });
    add("Fix", 1, 1, [](const Args &a) {
        if (a[0].isNull())
            return Variant::null();
        return sameKind(a[0], std::trunc(a[0].toDouble()));
    });
    add("Sgn", 1, 1, [](const Args &a) {
        const double d = a[0].toDouble();
        return Variant::integer(d < 0 ? -1 : (d > 0 ? 1 : 0));
    });
    add("Sqr", 1, 1, [](const Args &a) {
        const double d = a[0].toDouble();
        if (d < 0)
            raise(5);
        return Variant::dbl(std::sqrt(d));
    });
    add("Exp", 1, 1, [](const Args &a) {
        const double r = std::exp(a[0].toDouble());
        if (std::isinf(r))
            raise(6);
        return Variant::dbl(r);
    });
    add("Log", 1, 1, [](const Args &a) {
        const double d = a[0].toDouble();
        if (d <= 0)
            raise(5);
        return Variant::dbl(std::log(d));
    });
    add("Round", 1, 2, [](const Args &a) {
        if (a[0].isNull())
            return Variant::null();
        const qint32 places = detail::given(a, 1) ? a[1].toLong() : 0;
        if (places < 0)
            raise(5);
        // Round half to even on the decimal value, as the language does.
        const double scale = std::pow(10.0, places);
        const double scaled = a[0].toDouble() * scale;
        const double result = std::nearbyint(scaled) / scale;
        if (a[0].type() == VarType::Currency)
            return Variant::currency(Currency::fromDouble(result));
        if (places == 0 && a[0].type() != VarType::Double && a[0].type() != VarType::Single
            && a[0].type() != VarType::String)
            return sameKind(a[0], result);
        return Variant::dbl(result);
    });

    // ---- arrays
    add("Array", 0, -1, [](const Args &a) {
        auto data = std::make_shared<ArrayData>();
        data->upper = { int(a.size()) - 1 };
        data->items = a;
        return Variant::array(data);
    });
    f.back().takesObjects = true;
    auto bound = [](const Args &a, bool upper) {
        if (!a[0].isArray())
            raise(13);
        const ArrayData &data = *a[0].arrayValue();
        const int dim = detail::given(a, 1) ? int(a[1].toLong()) : 1;
        if (dim < 1 || dim > data.upper.size())
            raise(9);
        return Variant::longValue(upper ? data.upper[dim - 1] : 0);
    };
    add("UBound", 1, 2, [bound](const Args &a) { return bound(a, true); });
    add("LBound", 1, 2, [bound](const Args &a) { return bound(a, false); });
    add("Split", 1, 4, [](const Args &a) {
        if (a[0].isNull())
            raise(94);
        const QString s = a[0].toString();
        const QString sep = detail::given(a, 1) ? a[1].toString() : QStringLiteral(" ");
        const int limit = detail::given(a, 2) ? int(a[2].toLong()) : -1;
        if (limit < -1)
            raise(5);
        QList<Variant> parts;
        if (!s.isEmpty()) {
            if (sep.isEmpty()) {
                parts.append(Variant::string(s));
            } else {
                int at = 0;
                while (limit < 0 || parts.size() < limit - 1) {
                    const int hit = int(s.indexOf(sep, at, compareMode(a, 3)));
                    if (hit < 0)
                        break;
                    parts.append(Variant::string(s.mid(at, hit - at)));
                    at = hit + int(sep.size());
                }
                if (limit != 0)
                    parts.append(Variant::string(s.mid(at)));
            }
        }
        auto data = std::make_shared<ArrayData>();
        data->upper = { int(parts.size()) - 1 };
        data->items = parts;
        return Variant::array(data);
    });
    add("Join", 1, 2, [](const Args &a) {
        if (!a[0].isArray())
            raise(13);
        if (a[0].arrayValue()->upper.size() != 1)
            raise(5);
        const QString sep = detail::given(a, 1) ? a[1].toString() : QStringLiteral(" ");
        QStringList texts;
        qint64 length = 0;
        for (const Variant &v : a[0].arrayValue()->items) {
            texts << (v.isNull() ? QString() : v.toString());
            length += texts.back().size() + sep.size();
            checkStringLength(length);
        }
        return Variant::string(texts.join(sep));
    });

    detail::addDateTimeFunctions(f);
    return f;
}

} // namespace

const QList<BuiltinFunction> &standardFunctions()
{
    static const QList<BuiltinFunction> all = build();
    return all;
}

const BuiltinFunction *findBuiltin(const QString &name)
{
    static const QHash<QString, const BuiltinFunction *> index = [] {
        QHash<QString, const BuiltinFunction *> h;
        for (const BuiltinFunction &f : standardFunctions())
            h.insert(f.name.toCaseFolded(), &f);
        return h;
    }();
    return index.value(name.toCaseFolded(), nullptr);
}

} // namespace kv6::script
