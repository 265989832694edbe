#include "script/value.h"

#include "script/hostobject.h"
#include "vbcore/vbdate.h"
#include "vbcore/vbdatetext.h"

#include <QDateTime>
#include <QLocale>
#include <QRegularExpression>

#include <cmath>
#include <vector>

namespace kv6::script {

void raise(int number, const QString &description)
{
    throw RuntimeError { number,
        description.isEmpty() ? standardDescription(number) : description };
}

void checkStringLength(qint64 length)
{
    if (length > MaxStringLength)
        raise(14);
}

QString standardDescription(int number)
{
    switch (number) {
    case 5:
        return QStringLiteral("Invalid procedure call or argument");
    case 6:
        return QStringLiteral("Overflow");
    case 7:
        return QStringLiteral("Out of memory");
    case 9:
        return QStringLiteral("Subscript out of range");
    case 10:
        return QStringLiteral("This array is fixed or temporarily locked");
    case 11:
        return QStringLiteral("Division by zero");
    case 13:
        return QStringLiteral("Type mismatch");
    case 14:
        return QStringLiteral("Out of string space");
    case 17:
        return QStringLiteral("Can't perform requested operation");
    case 28:
        return QStringLiteral("Out of stack space");
    case 35:
        return QStringLiteral("Sub or Function not defined");
    case 51:
        return QStringLiteral("Internal error");
    case 91:
        return QStringLiteral("Object variable not set");
    case 92:
        return QStringLiteral("For loop not initialized");
    case 94:
        return QStringLiteral("Invalid use of Null");
    case 424:
        return QStringLiteral("Object required");
    case 438:
        return QStringLiteral("Object doesn't support this property or method");
    case 445:
        return QStringLiteral("Object doesn't support this action");
    case 448:
        return QStringLiteral("Named argument not found");
    case 449:
        return QStringLiteral("Argument not optional");
    case 450:
        return QStringLiteral("Wrong number of arguments or invalid property assignment");
    case 451:
        return QStringLiteral("Object not a collection");
    case 457:
        return QStringLiteral("This key is already associated with an element of this collection");
    case 500:
        return QStringLiteral("Variable is undefined");
    case 501:
        return QStringLiteral("Illegal assignment");
    case 505:
        return QStringLiteral("Invalid or unqualified reference");
    default:
        return QStringLiteral("Unknown runtime error");
    }
}

Variant HostObject::get(const QString &, const QList<Variant> &)
{
    raise(438);
}
void HostObject::put(const QString &, const QList<Variant> &, const Variant &)
{
    raise(438);
}
QList<Variant> HostObject::items()
{
    raise(438);
}

ArrayData::~ArrayData()
{
    std::vector<std::shared_ptr<ArrayData>> pending;
    auto release = [&pending](QList<Variant> &items) {
        for (Variant &v : items) {
            if (v.isArray() && v.arrayValue().use_count() == 1)
                pending.push_back(std::move(v.arrayValue()));
        }
    };
    release(items);
    while (!pending.empty()) {
        std::shared_ptr<ArrayData> a = std::move(pending.back());
        pending.pop_back();
        release(a->items); // its own destructor then finds nothing left to recurse into
    }
}

int ArrayData::flatIndex(const QList<int> &idx) const
{
    if (idx.size() != upper.size())
        return -1;
    int flat = 0;
    for (qsizetype d = 0; d < idx.size(); ++d) {
        if (idx[d] < 0 || idx[d] > upper[d])
            return -1;
        flat = flat * (upper[d] + 1) + idx[d];
    }
    return flat;
}

Variant Variant::null()
{
    Variant v;
    v.m_type = VarType::Null;
    return v;
}
Variant Variant::boolean(bool b)
{
    Variant v;
    v.m_type = VarType::Boolean;
    v.m_i = b ? -1 : 0;
    return v;
}
Variant Variant::byte(int x)
{
    Variant v;
    v.m_type = VarType::Byte;
    v.m_i = x;
    return v;
}
Variant Variant::integer(int x)
{
    Variant v;
    v.m_type = VarType::Integer;
    v.m_i = x;
    return v;
}
Variant Variant::longValue(qint32 x)
{
    Variant v;
    v.m_type = VarType::Long;
    v.m_i = x;
    return v;
}
Variant Variant::single(float x)
{
    Variant v;
    v.m_type = VarType::Single;
    v.m_d = x;
    return v;
}
Variant Variant::dbl(double x)
{
    Variant v;
    v.m_type = VarType::Double;
    v.m_d = x;
    return v;
}
Variant Variant::currency(kv6::Currency c)
{
    Variant v;
    v.m_type = VarType::Currency;
    v.m_i = c.raw();
    return v;
}
Variant Variant::date(double ole)
{
    Variant v;
    v.m_type = VarType::Date;
    v.m_d = ole;
    return v;
}
Variant Variant::string(const QString &s)
{
    Variant v;
    v.m_type = VarType::String;
    v.m_s = s;
    return v;
}
Variant Variant::object(std::shared_ptr<HostObject> o)
{
    Variant v;
    v.m_type = VarType::Object;
    v.m_obj = std::move(o);
    return v;
}
Variant Variant::array(std::shared_ptr<ArrayData> a)
{
    Variant v;
    v.m_type = VarType::Array;
    v.m_arr = std::move(a);
    return v;
}
Variant Variant::missing()
{
    Variant v;
    v.m_type = VarType::Error;
    return v;
}

bool Variant::isNumeric() const
{
    switch (m_type) {
    case VarType::Boolean:
    case VarType::Byte:
    case VarType::Integer:
    case VarType::Long:
    case VarType::Single:
    case VarType::Double:
    case VarType::Currency:
    case VarType::Date:
        return true;
    default:
        return false;
    }
}

bool Variant::parseNumber(const QString &text, double *out)
{
    const QString s = text.trimmed();
    if (s.isEmpty())
        return false;
    if (s.size() > 2 && s[0] == u'&'
        && (s[1] == u'H' || s[1] == u'h' || s[1] == u'O' || s[1] == u'o')) {
        bool ok = false;
        const bool hex = s[1] == u'H' || s[1] == u'h';
        const qint64 v = s.mid(2).toLongLong(&ok, hex ? 16 : 8);
        if (!ok || v > 0xFFFFFFFFLL)
            return false;
        // Hex constants up to 16 bits are Integers, wider ones Longs: both wrap to signed.
        *out = v <= 0xFFFF ? double(qint16(v)) : double(qint32(quint32(v)));
        return true;
    }
    static const QRegularExpression re(
        QStringLiteral("^[+-]?(\\d+\\.?\\d*|\\.\\d+)([eE][+-]?\\d+)?$"));
    if (!re.match(s).hasMatch())
        return false;
    bool ok = false;
    *out = QLocale::c().toDouble(s, &ok);
    return ok && std::isfinite(*out);
}

bool Variant::parseDate(const QString &text, double *out)
{
    const QString s = text.trimmed();
    if (s.isEmpty())
        return false;
    static const QRegularExpression re(
        QStringLiteral("^(?:(\\d{1,4})([-/"
                       ".])(\\d{1,2})\\2(\\d{1,4}))?\\s*(?:(\\d{1,2}):(\\d{2})(?::(\\d{2}))?\\s*(["
                       "AaPp][Mm])?)?$"));
    const auto m = re.match(s);
    if (!m.hasMatch() || (m.capturedLength(1) == 0 && m.capturedLength(5) == 0)) {
        // Month names as in #January 15, 2024# or #15-Jan-2024#: English, whatever the locale.
        static const QLocale english(QLocale::English, QLocale::UnitedStates);
        bool hasLetter = false;
        for (QChar c : s)
            hasLetter = hasLetter || c.isLetter();
        const std::optional<double> named
            = hasLetter ? kv6::VbParseDateText(s, english) : std::nullopt;
        if (!named)
            return false;
        *out = *named;
        return true;
    }
    double day = 0;
    if (m.capturedLength(1)) {
        int a = m.captured(1).toInt(), b = m.captured(3).toInt(), c = m.captured(4).toInt();
        int y, mo, d;
        if (m.capturedLength(1) == 4) { // ISO order
            y = a;
            mo = b;
            d = c;
        } else { // month/day/year as in VB date literals
            mo = a;
            d = b;
            y = c;
            if (m.capturedLength(4) <= 2)
                y = y < 30 ? 2000 + y : 1900 + y;
        }
        const QDate date(y, mo, d);
        if (!date.isValid() || y < 100)
            return false;
        day = double(kv6::VbZeroDay().daysTo(date));
    }
    int secs = 0;
    if (m.capturedLength(5)) {
        int h = m.captured(5).toInt(), mi = m.captured(6).toInt(), se = m.captured(7).toInt();
        if (m.capturedLength(8)) {
            if (h < 1 || h > 12)
                return false;
            const bool pm = m.captured(8).front().toLower() == u'p';
            h = (h % 12) + (pm ? 12 : 0);
        }
        if (h > 23 || mi > 59 || se > 59)
            return false;
        secs = h * 3600 + mi * 60 + se;
    }
    *out = kv6::VbMakeDate(kv6::VbZeroDay().addDays(qint64(day)), secs);
    return true;
}

bool Variant::parseDateText(const QString &text, double *out)
{
    const std::optional<double> ole = kv6::VbParseDateText(text, kv6::VbLocale());
    if (!ole)
        return false;
    *out = *ole;
    return true;
}

double Variant::toDouble() const
{
    switch (m_type) {
    case VarType::Empty:
        return 0;
    case VarType::Null:
        raise(94);
    case VarType::Boolean:
    case VarType::Byte:
    case VarType::Integer:
    case VarType::Long:
        return double(m_i);
    case VarType::Single:
    case VarType::Double:
    case VarType::Date:
        return m_d;
    case VarType::Currency:
        return currencyValue().toDouble();
    case VarType::String: {
        // Only numbers: date text becomes a number through CDate, never by itself.
        double d = 0;
        if (parseNumber(m_s, &d))
            return d;
        raise(13);
    }
    case VarType::Object:
        if (m_obj)
            return m_obj->get(QString(), {}).toDouble();
        raise(91);
    default:
        raise(13);
    }
}

qint32 Variant::toLong() const
{
    if (m_type == VarType::Integer || m_type == VarType::Long || m_type == VarType::Byte
        || m_type == VarType::Boolean)
        return qint32(m_i);
    const double d = std::nearbyint(toDouble());
    if (!(d >= -2147483648.0 && d <= 2147483647.0))
        raise(6);
    return qint32(d);
}

int Variant::toInteger() const
{
    const qint32 v = toLong();
    if (v < -32768 || v > 32767)
        raise(6);
    return v;
}

bool Variant::toBool() const
{
    switch (m_type) {
    case VarType::Empty:
        return false;
    case VarType::Null:
        raise(94);
    case VarType::Boolean:
    case VarType::Byte:
    case VarType::Integer:
    case VarType::Long:
    case VarType::Currency:
        return m_i != 0;
    case VarType::Single:
    case VarType::Double:
    case VarType::Date:
        return m_d != 0;
    case VarType::String: {
        if (m_s.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0)
            return true;
        if (m_s.compare(QLatin1String("false"), Qt::CaseInsensitive) == 0)
            return false;
        double d = 0;
        if (parseNumber(m_s, &d))
            return d != 0;
        raise(13);
    }
    case VarType::Object:
        if (m_obj)
            return m_obj->get(QString(), {}).toBool();
        raise(91);
    default:
        raise(13);
    }
}

kv6::Currency Variant::toCurrency() const
{
    if (m_type == VarType::Currency)
        return currencyValue();
    bool ok = false;
    kv6::Currency c;
    if (m_type == VarType::String) {
        c = kv6::Currency::fromString(m_s, &ok);
        if (ok)
            return c;
    }
    c = kv6::Currency::fromDouble(toDouble(), &ok);
    if (!ok)
        raise(6);
    return c;
}

double Variant::toDate() const
{
    double d = 0;
    if (m_type == VarType::String) {
        if (!parseDateText(m_s, &d))
            raise(13);
    } else {
        d = toDouble();
    }
    if (!kv6::IsVbDateInRange(d))
        raise(6);
    return d;
}

namespace {

QString doubleText(double d, int digits)
{
    if (d == 0)
        return QStringLiteral("0");
    QString s = QString::number(d, 'g', digits);
    const qsizetype e = s.indexOf(u'e');
    if (e >= 0) {
        // VB writes exponents as E+15 / E-05.
        QString mant = s.left(e);
        QString exp = s.mid(e + 1);
        QChar sign = u'+';
        if (exp.startsWith(u'-') || exp.startsWith(u'+')) {
            sign = exp[0];
            exp = exp.mid(1);
        }
        while (exp.size() > 2 && exp.startsWith(u'0'))
            exp = exp.mid(1);
        if (exp.size() < 2)
            exp.prepend(u'0');
        s = mant + u'E' + sign + exp;
    }
    return s;
}

} // namespace

QString Variant::toString() const
{
    switch (m_type) {
    case VarType::Empty:
        return QString();
    case VarType::Null:
        raise(94);
    case VarType::Boolean:
        return m_i ? QStringLiteral("True") : QStringLiteral("False");
    case VarType::Byte:
    case VarType::Integer:
    case VarType::Long:
        return QString::number(m_i);
    case VarType::Single:
        return doubleText(m_d, 7);
    case VarType::Double:
        return doubleText(m_d, 15);
    case VarType::Currency:
        return currencyValue().toString();
    case VarType::Date:
        return kv6::VbDateText(m_d, kv6::VbLocale());
    case VarType::String:
        return m_s;
    case VarType::Object:
        if (m_obj)
            return m_obj->get(QString(), {}).toString();
        raise(91);
    default:
        raise(13);
    }
}

QVariant Variant::toQVariant() const
{
    switch (m_type) {
    case VarType::Empty:
        return QVariant();
    case VarType::Null:
        return QVariant::fromValue(nullptr);
    case VarType::Boolean:
        return QVariant(m_i != 0);
    case VarType::Byte:
    case VarType::Integer:
    case VarType::Long:
        return QVariant(int(m_i));
    case VarType::Single:
    case VarType::Double:
        return QVariant(m_d);
    case VarType::Currency:
        return QVariant::fromValue(currencyValue());
    case VarType::Date:
        return QVariant(kv6::VbDateFromDouble(m_d));
    case VarType::String:
        return QVariant(m_s);
    case VarType::Array: {
        QVariantList list;
        for (const Variant &v : m_arr->items)
            list << v.toQVariant();
        return list;
    }
    default:
        return QVariant();
    }
}

Variant Variant::fromQVariant(const QVariant &v)
{
    if (!v.isValid())
        return Variant();
    if (v.isNull() && v.metaType().id() != QMetaType::QString)
        return null();
    if (v.metaType() == QMetaType::fromType<kv6::Currency>())
        return currency(v.value<kv6::Currency>());
    switch (v.metaType().id()) {
    case QMetaType::Bool:
        return boolean(v.toBool());
    case QMetaType::UChar:
        return byte(v.toInt());
    case QMetaType::Short:
    case QMetaType::UShort:
        return integer(v.toInt());
    case QMetaType::Int:
        return longValue(v.toInt());
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong: {
        const qint64 x = v.toLongLong();
        if (x >= INT32_MIN && x <= INT32_MAX)
            return longValue(qint32(x));
        return dbl(double(x));
    }
    case QMetaType::Float:
        return single(v.toFloat());
    case QMetaType::Double:
        return dbl(v.toDouble());
    case QMetaType::QDateTime:
        return date(kv6::VbDateToDouble(v.toDateTime()));
    case QMetaType::QDate:
        return date(kv6::VbDateToDouble(v.toDate()));
    case QMetaType::QTime:
        return date(kv6::VbDateToDouble(kv6::VbZeroDay(), v.toTime()));
    case QMetaType::QVariantList: {
        auto a = std::make_shared<ArrayData>();
        for (const QVariant &x : v.toList())
            a->items << fromQVariant(x);
        a->upper = { int(a->items.size()) - 1 };
        return array(a);
    }
    default:
        return string(v.toString());
    }
}

QString Variant::typeName() const
{
    switch (m_type) {
    case VarType::Empty:
        return QStringLiteral("Empty");
    case VarType::Null:
        return QStringLiteral("Null");
    case VarType::Boolean:
        return QStringLiteral("Boolean");
    case VarType::Byte:
        return QStringLiteral("Byte");
    case VarType::Integer:
        return QStringLiteral("Integer");
    case VarType::Long:
        return QStringLiteral("Long");
    case VarType::Single:
        return QStringLiteral("Single");
    case VarType::Double:
        return QStringLiteral("Double");
    case VarType::Currency:
        return QStringLiteral("Currency");
    case VarType::Date:
        return QStringLiteral("Date");
    case VarType::String:
        return QStringLiteral("String");
    case VarType::Object:
        return m_obj ? m_obj->typeName() : QStringLiteral("Nothing");
    case VarType::Array:
        return QStringLiteral("Variant()");
    case VarType::Error:
        return QStringLiteral("Error");
    }
    return QString();
}

int Variant::varType() const
{
    return m_type == VarType::Array ? 8192 + 12 : int(m_type);
}

} // namespace kv6::script
