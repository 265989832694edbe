#include "builtins_p.h"

#include "vbcore/vbdate.h"
#include "vbcore/vbdatetext.h"
#include "vbcore/vbdecimal.h"

#include <QDateTime>
#include <QLocale>

#include <algorithm>
#include <cmath>
#include <optional>

// Dates, times and the Format functions. Texts follow the default QLocale (kv6::VbLocale), so a
// host or a test switches them with QLocale::setDefault. Date functions give Null for a Null
// date; the Format functions refuse Null (error 94) as the language does.

namespace kv6::script::detail {

namespace {

using Args = QList<Variant>;

// ---- dates as a day and the seconds into it

struct Moment
{
    QDate day;
    int seconds = 0;
};

Moment split(double ole)
{
    const QDateTime value = VbDateFromDouble(ole);
    if (!value.isValid())
        raise(5);
    return { value.date(), value.time().msecsSinceStartOfDay() / 1000 };
}

// Seconds since the zero date on a straight line, which the OLE encoding is not before 1900.
qint64 serialSeconds(const Moment &m)
{
    return VbZeroDay().daysTo(m.day) * 86400 + m.seconds;
}

qint64 floorDiv(qint64 a, qint64 b)
{
    const qint64 q = a / b;
    return (a % b != 0 && (a < 0) != (b < 0)) ? q - 1 : q;
}

Variant dateFromSerial(qint64 serial, int errorNumber)
{
    const qint64 days = floorDiv(serial, 86400);
    // Outside 1 Jan 100 to 31 Dec 9999, whatever the unit added.
    if (days < -657434 || days > 2958465)
        raise(errorNumber);
    return Variant::date(VbMakeDate(VbZeroDay().addDays(days), int(serial - days * 86400)));
}

Variant dateOf(const QDate &day, int seconds = 0)
{
    return Variant::date(VbMakeDate(day, seconds));
}

// A date argument; nothing for Null, which the caller passes on.
std::optional<Moment> momentArg(const Variant &v)
{
    if (v.isNull())
        return std::nullopt;
    return split(v.toDate());
}

// Sunday = 1 ... Saturday = 7, as the language numbers days.
int vbDayOfWeek(const QDate &day)
{
    return day.dayOfWeek() % 7 + 1;
}

// The firstdayofweek argument: 0 asks the locale, missing means Sunday.
int firstDayArg(const Args &a, int index)
{
    if (!given(a, index))
        return 1;
    const qint32 v = a[index].toLong();
    if (v == 0)
        return int(VbLocale().firstDayOfWeek()) % 7 + 1;
    if (v < 1 || v > 7)
        raise(5);
    return v;
}

// The firstweekofyear argument: 1 the week of 1 January, 2 the first with four days in the
// year, 3 the first full week. Regional settings carry no such rule here, so 0 is 1.
int firstWeekArg(const Args &a, int index)
{
    if (!given(a, index))
        return 1;
    const qint32 v = a[index].toLong();
    if (v < 0 || v > 3)
        raise(5);
    return v == 0 ? 1 : v;
}

int weekday(const QDate &day, int firstDay)
{
    return (vbDayOfWeek(day) - firstDay + 7) % 7 + 1;
}

QDate weekStart(const QDate &day, int firstDay)
{
    return day.addDays(1 - weekday(day, firstDay));
}

QDate firstWeekStart(int year, int firstDay, int firstWeek)
{
    switch (firstWeek) {
    case 2: // the week holding 4 January has at least four days of the year
        return weekStart(QDate(year, 1, 4), firstDay);
    case 3: // the first week starting on or after 1 January
        return weekStart(QDate(year, 1, 7), firstDay);
    default:
        return weekStart(QDate(year, 1, 1), firstDay);
    }
}

int weekOfYear(const QDate &day, int firstDay, int firstWeek)
{
    QDate start = firstWeekStart(day.year(), firstDay, firstWeek);
    if (firstWeek == 2) {
        // The last days of December can open the next year's first week.
        const QDate next = firstWeekStart(day.year() + 1, firstDay, firstWeek);
        if (day >= next)
            return 1;
    }
    if (day < start)
        start = firstWeekStart(day.year() - 1, firstDay, firstWeek);
    return int(start.daysTo(weekStart(day, firstDay)) / 7) + 1;
}

enum class Interval { Year, Quarter, Month, DayOfYear, Day, Weekday, Week, Hour, Minute, Second };

Interval intervalArg(const Variant &v)
{
    const QString s = v.toString().toLower();
    static const std::pair<const char *, Interval> names[] = { { "yyyy", Interval::Year },
        { "q", Interval::Quarter }, { "m", Interval::Month }, { "y", Interval::DayOfYear },
        { "d", Interval::Day }, { "w", Interval::Weekday }, { "ww", Interval::Week },
        { "h", Interval::Hour }, { "n", Interval::Minute }, { "s", Interval::Second } };
    for (const auto &[name, interval] : names)
        if (s == QLatin1String(name))
            return interval;
    raise(5);
}

Moment addMonths(const Moment &m, qint64 months)
{
    const qint64 total = qint64(m.day.year()) * 12 + (m.day.month() - 1) + months;
    const qint64 year = floorDiv(total, 12);
    if (year < 100 || year > 9999)
        raise(5);
    const int month = int(total - year * 12) + 1;
    // 31 January plus a month is the last day of February.
    const int day = std::min(m.day.day(), QDate(int(year), month, 1).daysInMonth());
    return { QDate(int(year), month, day), m.seconds };
}

Variant dateAdd(const Args &a)
{
    const Interval interval = intervalArg(a[0]);
    const qint64 n = a[1].toLong();
    const std::optional<Moment> m = momentArg(a[2]);
    if (!m)
        return Variant::null();
    qint64 unit = 0;
    switch (interval) {
    case Interval::Year:
        return dateOf(addMonths(*m, n * 12).day, m->seconds);
    case Interval::Quarter:
        return dateOf(addMonths(*m, n * 3).day, m->seconds);
    case Interval::Month:
        return dateOf(addMonths(*m, n).day, m->seconds);
    case Interval::DayOfYear:
    case Interval::Day:
    case Interval::Weekday: // adds days, not working days
        unit = 86400;
        break;
    case Interval::Week:
        unit = 7 * 86400;
        break;
    case Interval::Hour:
        unit = 3600;
        break;
    case Interval::Minute:
        unit = 60;
        break;
    case Interval::Second:
        unit = 1;
        break;
    }
    return dateFromSerial(serialSeconds(*m) + n * unit, 5);
}

// Counts the boundaries crossed between the two dates, as the language does: one second from
// 31 Dec 23:59:59 to 1 Jan is a year.
Variant dateDiff(const Args &a)
{
    const Interval interval = intervalArg(a[0]);
    const int firstDay = firstDayArg(a, 3);
    firstWeekArg(a, 4); // checked; week boundaries do not depend on it
    const std::optional<Moment> m1 = momentArg(a[1]);
    const std::optional<Moment> m2 = momentArg(a[2]);
    if (!m1 || !m2)
        return Variant::null();
    const QDate &d1 = m1->day, &d2 = m2->day;
    qint64 diff = 0;
    switch (interval) {
    case Interval::Year:
        diff = d2.year() - d1.year();
        break;
    case Interval::Quarter:
        diff = (d2.year() * 4 + (d2.month() - 1) / 3) - (d1.year() * 4 + (d1.month() - 1) / 3);
        break;
    case Interval::Month:
        diff = (d2.year() * 12 + d2.month()) - (d1.year() * 12 + d1.month());
        break;
    case Interval::DayOfYear:
    case Interval::Day:
        diff = d1.daysTo(d2);
        break;
    case Interval::Weekday: // whole weeks: how often date1's weekday comes round
        diff = d1.daysTo(d2) / 7;
        break;
    case Interval::Week: // how many first days of the week lie after date1, up to date2
        diff = weekStart(d1, firstDay).daysTo(weekStart(d2, firstDay)) / 7;
        break;
    case Interval::Hour:
        diff = floorDiv(serialSeconds(*m2), 3600) - floorDiv(serialSeconds(*m1), 3600);
        break;
    case Interval::Minute:
        diff = floorDiv(serialSeconds(*m2), 60) - floorDiv(serialSeconds(*m1), 60);
        break;
    case Interval::Second:
        diff = serialSeconds(*m2) - serialSeconds(*m1);
        break;
    }
    if (diff < INT32_MIN || diff > INT32_MAX)
        raise(6);
    return Variant::longValue(qint32(diff));
}

Variant datePart(const Args &a)
{
    const Interval interval = intervalArg(a[0]);
    const int firstDay = firstDayArg(a, 2);
    const int firstWeek = firstWeekArg(a, 3);
    const std::optional<Moment> m = momentArg(a[1]);
    if (!m)
        return Variant::null();
    const QDate &d = m->day;
    switch (interval) {
    case Interval::Year:
        return Variant::integer(d.year());
    case Interval::Quarter:
        return Variant::integer((d.month() - 1) / 3 + 1);
    case Interval::Month:
        return Variant::integer(d.month());
    case Interval::DayOfYear:
        return Variant::integer(d.dayOfYear());
    case Interval::Day:
        return Variant::integer(d.day());
    case Interval::Weekday:
        return Variant::integer(weekday(d, firstDay));
    case Interval::Week:
        return Variant::integer(weekOfYear(d, firstDay, firstWeek));
    case Interval::Hour:
        return Variant::integer(m->seconds / 3600);
    case Interval::Minute:
        return Variant::integer(m->seconds / 60 % 60);
    case Interval::Second:
        return Variant::integer(m->seconds % 60);
    }
    return Variant();
}

// The date argument of DateValue and TimeValue: text is read in the locale's order.
std::optional<Moment> valueArg(const Variant &v)
{
    if (v.isNull())
        return std::nullopt;
    if (v.isString()) {
        double ole = 0;
        if (!Variant::parseDateText(v.stringValue(), &ole))
            raise(13);
        return split(ole);
    }
    return split(v.toDate());
}

Moment now()
{
    const QDateTime t = QDateTime::currentDateTime();
    return { t.date(), t.time().msecsSinceStartOfDay() / 1000 };
}

// ---- numbers as decimal digits

// Fifteen significant digits, as the language converts a Double to text before rounding it for
// display: 1.005 shows as 1.01 with two decimals, although the binary value lies just below.
VbDecimal decimalOf(double d)
{
    if (!std::isfinite(d))
        raise(6);
    return VbDecimal::fromDouble(d);
}

VbDecimal decimalOf(Currency c)
{
    return VbDecimal::fromText(c.toString());
}

// A tristate argument: -2 (vbUseDefault) or missing takes the default, 0 is false.
bool tristateArg(const Args &a, int index, bool byDefault)
{
    if (!given(a, index))
        return byDefault;
    const qint32 v = a[index].toLong();
    return v == -2 ? byDefault : v != 0;
}

int placesArg(const Args &a, int index, int byDefault)
{
    if (!given(a, index))
        return byDefault;
    const qint32 v = a[index].toLong();
    if (v == -1)
        return byDefault;
    if (v < -1 || v > 255)
        raise(5);
    return v;
}

struct NumberStyle
{
    int places = 2;
    bool leadingDigit = true;
    bool parens = false;
    bool group = true;
};

NumberStyle styleArgs(const Args &a, int defaultPlaces, bool defaultParens)
{
    NumberStyle s;
    s.places = placesArg(a, 1, defaultPlaces);
    s.leadingDigit = tristateArg(a, 2, true);
    s.parens = tristateArg(a, 3, defaultParens);
    s.group = tristateArg(a, 4, true);
    return s;
}

// The digits of a magnitude with the locale's separators; `negative` tells the caller the sign.
QString formatDigits(
    const VbDecimal &d, const NumberStyle &style, const QLocale &locale, bool *negative)
{
    // Half away from zero, as the Format functions do (unlike Round and the conversions, which
    // round half to even).
    QString whole = d.fixed(style.places);
    *negative = whole.startsWith(u'-');
    if (*negative)
        whole.remove(0, 1);
    const QString fraction = whole.section(u'.', 1);
    whole = whole.section(u'.', 0, 0);
    if (style.group) {
        const QString sep = locale.groupSeparator();
        for (qsizetype at = whole.size() - 3; at > 0; at -= 3)
            whole.insert(at, sep);
    }
    if (!style.leadingDigit && whole == u"0" && style.places > 0)
        whole.clear();
    return style.places > 0 ? whole + locale.decimalPoint() + fraction : whole;
}

QString signedText(const QString &body, bool negative, bool parens, const QLocale &locale)
{
    if (!negative)
        return body;
    return parens ? u'(' + body + u')' : locale.negativeSign() + body;
}

VbDecimal numberArg(const Variant &v)
{
    if (v.isNull())
        raise(94);
    if (v.type() == VarType::Currency)
        return decimalOf(v.currencyValue());
    return decimalOf(v.toDouble());
}

// Where the locale puts the currency symbol and the sign, read from its own currency texts.
struct CurrencyStyle
{
    QLocale locale;
    QString prefix, suffix; // around a positive amount
    QString negativePrefix, negativeSuffix;
    bool parens = false; // negative amounts in parentheses by default
    int places = 2;

    explicit CurrencyStyle(const QLocale &l)
        : locale(l)
    {
        const QString positive = l.toCurrencyString(7.0, QString(), 0);
        const QString negative = l.toCurrencyString(-7.0, QString(), 0);
        const qsizetype p = positive.indexOf(u'7'), n = negative.indexOf(u'7');
        if (p < 0 || n < 0) { // digits of another script: symbol first, minus sign
            prefix = l.currencySymbol();
            negativePrefix = l.negativeSign() + prefix;
        } else {
            prefix = positive.left(p);
            suffix = positive.mid(p + 1);
            negativePrefix = negative.left(n);
            negativeSuffix = negative.mid(n + 1);
            parens = negativePrefix.contains(u'(');
        }
        const QString one = l.toCurrencyString(1.0);
        const qsizetype dot = one.indexOf(l.decimalPoint());
        places = 0;
        if (dot >= 0)
            while (dot + 1 + places < one.size() && one.at(dot + 1 + places).isDigit())
                ++places;
    }
};

const CurrencyStyle &currencyStyle(const QLocale &locale)
{
    thread_local std::optional<CurrencyStyle> cache;
    if (!cache || cache->locale != locale)
        cache.emplace(locale);
    return *cache;
}

Variant formatNumber(const Args &a)
{
    const VbDecimal d = numberArg(a[0]);
    const QLocale locale = VbLocale();
    const NumberStyle style = styleArgs(a, 2, false);
    bool negative = false;
    const QString body = formatDigits(d, style, locale, &negative);
    return Variant::string(signedText(body, negative, style.parens, locale));
}

Variant formatPercent(const Args &a)
{
    VbDecimal d = numberArg(a[0]);
    d.scale(2);
    const QLocale locale = VbLocale();
    const NumberStyle style = styleArgs(a, 2, false);
    bool negative = false;
    const QString body = formatDigits(d, style, locale, &negative) + locale.percent();
    return Variant::string(signedText(body, negative, style.parens, locale));
}

// The amount becomes a Currency first (half to even at four decimals; overflow is error 6),
// then rounds for display like the other Format functions.
Variant formatCurrency(const Args &a)
{
    if (a[0].isNull())
        raise(94);
    const VbDecimal d = decimalOf(a[0].toCurrency());
    const QLocale locale = VbLocale();
    const CurrencyStyle &cs = currencyStyle(locale);
    const NumberStyle style = styleArgs(a, cs.places, cs.parens);
    bool negative = false;
    const QString digits = formatDigits(d, style, locale, &negative);
    if (!negative)
        return Variant::string(cs.prefix + digits + cs.suffix);
    if (style.parens)
        return Variant::string(u'(' + cs.prefix + digits + cs.suffix + u')');
    if (cs.parens) // the locale's parentheses refused: a plain minus sign in front
        return Variant::string(locale.negativeSign() + cs.prefix + digits + cs.suffix);
    return Variant::string(cs.negativePrefix + digits + cs.negativeSuffix);
}

Variant formatDateTime(const Args &a)
{
    if (a[0].isNull())
        raise(94);
    const double ole = a[0].toDate();
    const qint32 format = given(a, 1) ? a[1].toLong() : 0;
    const QLocale locale = VbLocale();
    const QDateTime value = VbDateFromDouble(ole);
    switch (format) {
    case 0:
        return Variant::string(VbDateText(ole, locale));
    case 1:
        return Variant::string(
            locale.toString(value.date(), locale.dateFormat(QLocale::LongFormat)));
    case 2:
        return Variant::string(locale.toString(value.date(), ShortDateFormat(locale)));
    case 3:
        return Variant::string(locale.toString(value.time(), LongTimeFormat(locale)));
    case 4: // 24-hour in every locale
        return Variant::string(value.time().toString(QStringLiteral("HH:mm")));
    default:
        raise(5);
    }
}

} // namespace

void addDateTimeFunctions(QList<BuiltinFunction> &f)
{
    auto add = [&f](const char *name, int min, int max, BuiltinFn fn) {
        f.append(BuiltinFunction { QString::fromLatin1(name), min, max, std::move(fn) });
    };

    // ---- the clock
    add("Now", 0, 0, [](const Args &) {
        const Moment m = now();
        return dateOf(m.day, m.seconds);
    });
    add("Date", 0, 0, [](const Args &) { return dateOf(now().day); });
    add("Time", 0, 0, [](const Args &) { return dateOf(VbZeroDay(), now().seconds); });

    // ---- parts of a date
    auto part = [&add](const char *name, int (*get)(const Moment &)) {
        add(name, 1, 1, [get](const Args &a) {
            const std::optional<Moment> m = momentArg(a[0]);
            return m ? Variant::integer(get(*m)) : Variant::null();
        });
    };
    part("Year", [](const Moment &m) { return m.day.year(); });
    part("Month", [](const Moment &m) { return m.day.month(); });
    part("Day", [](const Moment &m) { return m.day.day(); });
    part("Hour", [](const Moment &m) { return m.seconds / 3600; });
    part("Minute", [](const Moment &m) { return m.seconds / 60 % 60; });
    part("Second", [](const Moment &m) { return m.seconds % 60; });
    add("Weekday", 1, 2, [](const Args &a) {
        const int firstDay = firstDayArg(a, 1);
        const std::optional<Moment> m = momentArg(a[0]);
        return m ? Variant::integer(weekday(m->day, firstDay)) : Variant::null();
    });
    add("DatePart", 2, 4, datePart);

    // ---- arithmetic
    add("DateAdd", 3, 3, dateAdd);
    add("DateDiff", 3, 5, dateDiff);
    add("DateSerial", 3, 3, [](const Args &a) {
        const std::optional<double> ole
            = VbDateSerial(a[0].toInteger(), a[1].toInteger(), a[2].toInteger());
        if (!ole)
            raise(5);
        return Variant::date(*ole);
    });
    add("TimeSerial", 3, 3, [](const Args &a) {
        const double ole = VbTimeSerial(a[0].toInteger(), a[1].toInteger(), a[2].toInteger());
        if (!IsVbDateInRange(ole))
            raise(5);
        return Variant::date(ole);
    });
    add("DateValue", 1, 1, [](const Args &a) {
        const std::optional<Moment> m = valueArg(a[0]);
        return m ? dateOf(m->day) : Variant::null();
    });
    add("TimeValue", 1, 1, [](const Args &a) {
        const std::optional<Moment> m = valueArg(a[0]);
        return m ? dateOf(VbZeroDay(), m->seconds) : Variant::null();
    });

    // ---- names
    add("MonthName", 1, 2, [](const Args &a) {
        const qint32 month = a[0].toLong();
        const bool abbreviate = given(a, 1) && a[1].toBool();
        if (month < 1 || month > 12)
            raise(5);
        return Variant::string(VbLocale().standaloneMonthName(
            month, abbreviate ? QLocale::ShortFormat : QLocale::LongFormat));
    });
    add("WeekdayName", 1, 3, [](const Args &a) {
        const qint32 day = a[0].toLong();
        const bool abbreviate = given(a, 1) && a[1].toBool();
        const int firstDay = firstDayArg(a, 2);
        if (day < 1 || day > 7)
            raise(5);
        const int vbDay = (day - 1 + firstDay - 1) % 7 + 1; // Sunday = 1
        const int qtDay = vbDay == 1 ? 7 : vbDay - 1; // Monday = 1
        return Variant::string(VbLocale().standaloneDayName(
            qtDay, abbreviate ? QLocale::ShortFormat : QLocale::LongFormat));
    });

    // ---- formatting
    add("FormatNumber", 1, 5, formatNumber);
    add("FormatCurrency", 1, 5, formatCurrency);
    add("FormatPercent", 1, 5, formatPercent);
    add("FormatDateTime", 1, 2, formatDateTime);
}

} // namespace kv6::script::detail
