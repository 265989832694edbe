#include "engine/vbformat.h"

#include "script/hostobject.h"
#include "vbcore/vbdate.h"
#include "vbcore/vbdatetext.h"
#include "vbcore/vbdecimal.h"

#include <QDate>
#include <QHash>
#include <QRegularExpression>
#include <QTime>

#include <cmath>

namespace kv6::engine {

using script::Variant;
using script::VarType;

namespace {

bool numericValue(const Variant &v, VbDecimal &out)
{
    switch (v.type()) {
    case VarType::Empty:
        out = VbDecimal();
        return true;
    case VarType::Boolean:
    case VarType::Byte:
    case VarType::Integer:
    case VarType::Long:
        out = VbDecimal::fromText(QString::number(
            v.type() == VarType::Boolean ? (v.boolValue() ? -1 : 0) : v.intValue()));
        return true;
    case VarType::Currency:
        out = VbDecimal::fromText(v.currencyValue().toString());
        return true;
    case VarType::Single:
        out = VbDecimal::fromText(QString::number(double(float(v.doubleValue())), 'g', 7));
        return true;
    case VarType::Double:
    case VarType::Date:
        out = VbDecimal::fromDouble(v.doubleValue());
        return true;
    case VarType::String: {
        double d = 0;
        if (!Variant::parseNumber(v.stringValue(), &d))
            return false;
        out = VbDecimal::fromDouble(d);
        return true;
    }
    default:
        return false;
    }
}

// ---- format sections

// Splits at ";" outside quotes and escapes.
QStringList splitSections(const QString &format)
{
    QStringList out;
    QString cur;
    bool quoted = false;
    for (qsizetype i = 0; i < format.size(); ++i) {
        const QChar c = format[i];
        if (c == u'"')
            quoted = !quoted;
        if (!quoted && c == u'\\' && i + 1 < format.size()) {
            cur += c;
            cur += format[++i];
            continue;
        }
        if (!quoted && c == u';') {
            out << cur;
            cur.clear();
            continue;
        }
        cur += c;
    }
    out << cur;
    return out;
}

enum class Kind { Number, Date, Text };

Kind classify(const QString &format)
{
    bool date = false, text = false;
    bool quoted = false;
    for (qsizetype i = 0; i < format.size(); ++i) {
        const QChar c = format[i];
        if (c == u'"') {
            quoted = !quoted;
            continue;
        }
        if (quoted)
            continue;
        if (c == u'\\') {
            ++i;
            continue;
        }
        if (c == u'0' || c == u'#')
            return Kind::Number;
        if (c == u'@' || c == u'&' || c == u'<' || c == u'>' || c == u'!')
            text = true;
        switch (c.toLower().unicode()) {
        case u'd':
        case u'm':
        case u'y':
        case u'h':
        case u'n':
        case u's':
        case u'w':
        case u'q':
        case u'c':
        case u't':
            date = true;
            break;
        case u'a':
            if (format.mid(i, 5).compare(QStringLiteral("AM/PM"), Qt::CaseInsensitive) == 0
                || format.mid(i, 3).compare(QStringLiteral("A/P"), Qt::CaseInsensitive) == 0
                || format.mid(i, 4).compare(QStringLiteral("AMPM"), Qt::CaseInsensitive) == 0)
                date = true;
            break;
        default:
            break;
        }
    }
    if (text)
        return Kind::Text;
    return date ? Kind::Date : Kind::Number;
}

// ---- numbers

struct NumToken
{
    enum Type { Zero, Hash, Point, Comma, Percent, Exp, Literal } type;
    QString text; // literal text; for Exp "+" or "-"
};

QList<NumToken> tokeniseNumber(const QString &f)
{
    QList<NumToken> out;
    bool sawPoint = false;
    for (qsizetype i = 0; i < f.size(); ++i) {
        const QChar c = f[i];
        switch (c.unicode()) {
        case u'0':
            out.append(NumToken { NumToken::Zero, QString() });
            break;
        case u'#':
            out.append(NumToken { NumToken::Hash, QString() });
            break;
        case u'.':
            if (sawPoint) {
                out.append(NumToken { NumToken::Literal, QStringLiteral(".") });
            } else {
                out.append(NumToken { NumToken::Point, QString() });
                sawPoint = true;
            }
            break;
        case u',':
            out.append(NumToken { NumToken::Comma, QString() });
            break;
        case u'%':
            out.append(NumToken { NumToken::Percent, QStringLiteral("%") });
            break;
        case u'E':
        case u'e':
            if (i + 1 < f.size() && (f[i + 1] == u'+' || f[i + 1] == u'-')) {
                out.append(NumToken { NumToken::Exp, QString(f[i + 1]) });
                ++i;
            } else {
                out.append(NumToken { NumToken::Literal, QString(c) });
            }
            break;
        case u'"': {
            const qsizetype end = f.indexOf(u'"', i + 1);
            const qsizetype stop = end < 0 ? f.size() : end;
            out.append(NumToken { NumToken::Literal, f.mid(i + 1, stop - i - 1) });
            i = stop;
            break;
        }
        case u'\\':
            if (i + 1 < f.size())
                out.append(NumToken { NumToken::Literal, QString(f[++i]) });
            break;
        default:
            out.append(NumToken { NumToken::Literal, QString(c) });
        }
    }
    return out;
}

bool isDigit(const NumToken &t)
{
    return t.type == NumToken::Zero || t.type == NumToken::Hash;
}

// A number format's section taken apart: what its placeholders, commas and literals say,
// whatever the value.
struct NumberSection
{
    QList<NumToken> toks, intToks, fracToks, expToks;
    qsizetype pointAt = -1, expAt = -1;
    bool grouping = false;
    int scaleCommas = 0, percents = 0, fracPlaces = 0, lastFracZero = 0, intPlaces = 0;
    int minDigits = 0;
};

NumberSection parseNumberSection(const QString &section)
{
    NumberSection s;
    QList<NumToken> &toks = s.toks;
    toks = tokeniseNumber(section);

    // Parts: integer [Point fraction] [Exp exponent].
    qsizetype &pointAt = s.pointAt, &expAt = s.expAt;
    for (qsizetype i = 0; i < toks.size(); ++i) {
        if (toks[i].type == NumToken::Point && pointAt < 0 && expAt < 0)
            pointAt = i;
        if (toks[i].type == NumToken::Exp && expAt < 0)
            expAt = i;
    }
    const qsizetype intEnd = pointAt >= 0 ? pointAt : (expAt >= 0 ? expAt : toks.size());
    const qsizetype fracEnd = expAt >= 0 ? expAt : toks.size();

    // Commas: between digit placeholders they group thousands; right after the last integer
    // placeholder they divide by a thousand each.
    bool &grouping = s.grouping;
    int &scaleCommas = s.scaleCommas;
    qsizetype lastIntDigit = -1, firstIntDigit = -1;
    for (qsizetype i = 0; i < intEnd; ++i) {
        if (isDigit(toks[i])) {
            lastIntDigit = i;
            if (firstIntDigit < 0)
                firstIntDigit = i;
        }
    }
    QList<NumToken> &intToks = s.intToks;
    for (qsizetype i = 0; i < intEnd; ++i) {
        if (toks[i].type != NumToken::Comma) {
            intToks.append(toks[i]);
            continue;
        }
        if (i > lastIntDigit && lastIntDigit >= 0)
            ++scaleCommas;
        else if (i > firstIntDigit && firstIntDigit >= 0)
            grouping = true;
    }
    int &percents = s.percents;
    for (const NumToken &t : toks)
        percents += t.type == NumToken::Percent ? 1 : 0;

    QList<NumToken> &fracToks = s.fracToks;
    for (qsizetype i = pointAt + 1; pointAt >= 0 && i < fracEnd; ++i) {
        if (toks[i].type != NumToken::Comma)
            fracToks.append(toks[i]);
    }
    QList<NumToken> &expToks = s.expToks;
    for (qsizetype i = expAt + 1; expAt >= 0 && i < toks.size(); ++i)
        expToks.append(toks[i]);

    int &fracPlaces = s.fracPlaces, &lastFracZero = s.lastFracZero;
    for (const NumToken &t : fracToks) {
        if (isDigit(t)) {
            ++fracPlaces;
            if (t.type == NumToken::Zero)
                lastFracZero = fracPlaces;
        }
    }
    int &intPlaces = s.intPlaces;
    for (const NumToken &t : intToks)
        intPlaces += isDigit(t) ? 1 : 0;

    // The integer part shows at least the digits from its first zero placeholder on.
    int seen = 0;
    for (const NumToken &t : intToks) {
        if (!isDigit(t))
            continue;
        if (t.type == NumToken::Zero) {
            s.minDigits = intPlaces - seen;
            break;
        }
        ++seen;
    }
    return s;
}

// Reports format the same few sections on every row: each is taken apart once per thread.
const NumberSection &numberSection(const QString &section)
{
    thread_local QHash<QString, NumberSection> parsed;
    auto it = parsed.constFind(section);
    if (it == parsed.cend()) {
        // Formats built by a script as it goes would otherwise pile up.
        if (parsed.size() >= 256)
            parsed.clear();
        it = parsed.insert(section, parseNumberSection(section));
    }
    return *it;
}

QString formatNumberSection(VbDecimal value, const QString &section, const QLocale &locale)
{
    const NumberSection &s = numberSection(section);
    const QList<NumToken> &toks = s.toks, &intToks = s.intToks, &fracToks = s.fracToks,
                          &expToks = s.expToks;
    const qsizetype pointAt = s.pointAt, expAt = s.expAt;
    const bool grouping = s.grouping;
    const int scaleCommas = s.scaleCommas, percents = s.percents, fracPlaces = s.fracPlaces,
              lastFracZero = s.lastFracZero, intPlaces = s.intPlaces;

    value.scale(2 * percents - 3 * scaleCommas);

    int exponent = 0;
    if (expAt >= 0 && !value.isZero()) {
        // The mantissa keeps as many integer digits as the format has placeholders.
        const int want = std::max(1, intPlaces);
        exponent = value.point - want;
        value.point = want;
        value.round(fracPlaces);
        if (value.point > want) { // rounding carried into a new digit
            ++exponent;
            value.point = want;
        }
    } else {
        value.round(fracPlaces);
    }

    // Integer part, filled from the right; surplus digits go to the leftmost placeholder.
    QString intDigits = value.wholeDigits();
    const int minDigits = s.minDigits;
    if (intDigits.size() < minDigits)
        intDigits = intDigits.rightJustified(minDigits, u'0');
    const QString group = locale.groupSeparator();
    const qsizetype n = intDigits.size();
    auto unit = [&](qsizetype k) { // k-th digit from the right, 1-based
        QString s(intDigits[n - k]);
        if (grouping && k > 1 && (k - 1) % 3 == 0)
            s += group;
        return s;
    };
    QString intText;
    qsizetype k = 1;
    int placesLeft = intPlaces;
    for (qsizetype i = intToks.size() - 1; i >= 0; --i) {
        const NumToken &t = intToks[i];
        if (!isDigit(t)) {
            intText.prepend(t.text);
            continue;
        }
        --placesLeft;
        if (placesLeft == 0) {
            QString rest;
            for (; k <= n; ++k)
                rest.prepend(unit(k));
            intText.prepend(rest);
        } else if (k <= n) {
            intText.prepend(unit(k++));
        }
    }
    if (intPlaces == 0 && k <= n) { // ".00" with an integer part: it still shows
        QString rest;
        for (; k <= n; ++k)
            rest.prepend(unit(k));
        intText += rest;
    }

    QString out = intText;
    if (pointAt >= 0) {
        out += locale.decimalPoint();
        const QString fd = value.fractionDigits(fracPlaces);
        int lastNonZero = 0;
        for (int i = 0; i < fd.size(); ++i) {
            if (fd[i] != u'0')
                lastNonZero = i + 1;
        }
        const int show = std::max(lastFracZero, lastNonZero);
        int place = 0;
        for (const NumToken &t : fracToks) {
            if (isDigit(t)) {
                if (place < show)
                    out += fd[place];
                ++place;
            } else {
                out += t.text;
            }
        }
    }
    if (expAt >= 0) {
        out += u'E';
        if (exponent < 0)
            out += u'-';
        else if (toks[expAt].text == u"+")
            out += u'+';
        int zeros = 0;
        for (const NumToken &t : expToks)
            zeros += t.type == NumToken::Zero ? 1 : 0;
        QString digits = QString::number(std::abs(exponent));
        if (digits.size() < zeros)
            digits = digits.rightJustified(zeros, u'0');
        bool wrote = false;
        for (const NumToken &t : expToks) {
            if (isDigit(t)) {
                if (!wrote)
                    out += digits;
                wrote = true;
            } else {
                out += t.text;
            }
        }
        if (!wrote)
            out += digits;
    }
    return out;
}

// Whether the formatted text shows any digit other than zero.
bool showsNonZero(const QString &s)
{
    for (QChar c : s) {
        if (c.isDigit() && c != u'0')
            return true;
    }
    return false;
}

QString formatNumber(const VbDecimal &v, const QStringList &sections, const QLocale &locale)
{
    VbDecimal abs = v;
    abs.negative = false;
    const QString &pos = sections.at(0);
    if (v.isZero() && sections.size() >= 3 && !sections.at(2).isEmpty())
        return formatNumberSection(abs, sections.at(2), locale);
    if (v.negative && sections.size() >= 2 && !sections.at(1).isEmpty())
        return formatNumberSection(abs, sections.at(1), locale);
    const QString s = formatNumberSection(abs, pos, locale);
    if (v.negative && showsNonZero(s))
        return locale.negativeSign() + s;
    return s;
}

// Up to fifteen significant digits, no grouping; VB's "General Number".
QString generalNumber(const VbDecimal &v, const QLocale &locale)
{
    if (v.isZero())
        return QStringLiteral("0");
    QString s;
    if (v.point > 15 || v.point < -4) {
        s = v.digits.left(1);
        if (v.digits.size() > 1)
            s += locale.decimalPoint() + v.digits.mid(1);
        const int e = v.point - 1;
        s += QStringLiteral("E") + (e < 0 ? u'-' : u'+')
            + QString::number(std::abs(e)).rightJustified(2, u'0');
    } else {
        s = v.wholeDigits();
        if (s.isEmpty())
            s = QStringLiteral("0");
        const QString frac = v.fractionDigits(std::max(0, int(v.digits.size()) - v.point));
        if (!frac.isEmpty())
            s += locale.decimalPoint() + frac;
    }
    return v.negative ? locale.negativeSign() + s : s;
}

// ---- dates

QString stripZone(QString qtFormat)
{
    static const QRegularExpression zone(QStringLiteral("\\s*t+\\s*"));
    qtFormat.replace(zone, QStringLiteral(" "));
    return qtFormat.trimmed();
}

QString formatDate(double ole, const QString &f, const QLocale &locale)
{
    const QDate day = VbDatePart(ole);
    const int secs = VbSecondsOfDay(ole);
    const QTime time = QTime(0, 0).addSecs(secs);
    const bool twelveHour = f.contains(QStringLiteral("AM/PM"), Qt::CaseInsensitive)
        || f.contains(QStringLiteral("A/P"), Qt::CaseInsensitive)
        || f.contains(QStringLiteral("AMPM"), Qt::CaseInsensitive);
    const QString dateSep = [&] {
        const QString s = locale.toString(QDate(2001, 2, 3), QLocale::ShortFormat);
        for (QChar c : s) {
            if (!c.isDigit())
                return QString(c);
        }
        return QStringLiteral("/");
    }();
    auto run = [&](qsizetype i, QChar c) {
        qsizetype j = i;
        while (j < f.size() && f[j].toLower() == c)
            ++j;
        return int(j - i);
    };
    QString out;
    bool lastWasHour = false;
    for (qsizetype i = 0; i < f.size();) {
        const QChar c = f[i];
        const QChar lc = c.toLower();
        if (c == u'"') {
            const qsizetype end = f.indexOf(u'"', i + 1);
            const qsizetype stop = end < 0 ? f.size() : end;
            out += f.mid(i + 1, stop - i - 1);
            i = stop + 1;
            continue;
        }
        if (c == u'\\') {
            if (i + 1 < f.size())
                out += f[i + 1];
            i += 2;
            continue;
        }
        if (f.mid(i, 5).compare(QStringLiteral("AM/PM"), Qt::CaseInsensitive) == 0) {
            const bool lower = c.isLower();
            const QString t = time.hour() < 12 ? QStringLiteral("AM") : QStringLiteral("PM");
            out += lower ? t.toLower() : t;
            i += 5;
            continue;
        }
        if (f.mid(i, 3).compare(QStringLiteral("A/P"), Qt::CaseInsensitive) == 0) {
            const QString t = time.hour() < 12 ? QStringLiteral("A") : QStringLiteral("P");
            out += c.isLower() ? t.toLower() : t;
            i += 3;
            continue;
        }
        if (f.mid(i, 4).compare(QStringLiteral("AMPM"), Qt::CaseInsensitive) == 0) {
            out += time.hour() < 12 ? locale.amText() : locale.pmText();
            i += 4;
            continue;
        }
        const int len = run(i, lc);
        int hour = time.hour();
        if (twelveHour) {
            hour %= 12;
            if (hour == 0)
                hour = 12;
        }
        bool hourToken = false;
        switch (lc.unicode()) {
        case u'd':
            if (len >= 6)
                out += locale.toString(day, stripZone(locale.dateFormat(QLocale::LongFormat)));
            else if (len == 5)
                out += locale.toString(day, ShortDateFormat(locale));
            else if (len == 4)
                out += locale.dayName(day.dayOfWeek(), QLocale::LongFormat);
            else if (len == 3)
                out += locale.dayName(day.dayOfWeek(), QLocale::ShortFormat);
            else
                out += QString::number(day.day()).rightJustified(len, u'0');
            break;
        case u'm':
            if (len <= 2 && lastWasHour)
                out += QString::number(time.minute()).rightJustified(len, u'0');
            else if (len >= 4)
                out += locale.monthName(day.month(), QLocale::LongFormat);
            else if (len == 3)
                out += locale.monthName(day.month(), QLocale::ShortFormat);
            else
                out += QString::number(day.month()).rightJustified(len, u'0');
            break;
        case u'y':
            if (len >= 3)
                out += QString::number(day.year());
            else if (len == 2)
                out += QString::number(day.year() % 100).rightJustified(2, u'0');
            else
                out += QString::number(day.dayOfYear());
            break;
        case u'h':
            out += QString::number(hour).rightJustified(std::min(len, 2), u'0');
            hourToken = true;
            break;
        case u'n':
            out += QString::number(time.minute()).rightJustified(std::min(len, 2), u'0');
            break;
        case u's':
            out += QString::number(time.second()).rightJustified(std::min(len, 2), u'0');
            break;
        case u'w':
            if (len >= 2)
                out += QString::number(day.weekNumber());
            else
                out += QString::number(day.dayOfWeek() % 7 + 1); // Sunday is 1
            break;
        case u'q':
            out += QString::number((day.month() - 1) / 3 + 1);
            break;
        case u'c':
            out += vbFormat(Variant::date(ole), QStringLiteral("General Date"), locale);
            break;
        case u't':
            if (len >= 5) {
                out += locale.toString(time, stripZone(locale.timeFormat(QLocale::LongFormat)));
                break;
            }
            out += f.mid(i, len);
            break;
        case u'/':
            out += dateSep;
            break;
        case u':':
            out += locale.timeFormat(QLocale::ShortFormat).contains(u'.') ? QStringLiteral(".")
                                                                          : QStringLiteral(":");
            break;
        default:
            out += f.mid(i, len);
            break;
        }
        // A minute token may follow the hour with separators between ("hh:mm").
        if (hourToken)
            lastWasHour = true;
        else if (lc.isLetter())
            lastWasHour = false;
        i += len;
    }
    return out;
}

bool dateValue(const Variant &v, double &ole)
{
    switch (v.type()) {
    case VarType::Date:
    case VarType::Double:
    case VarType::Single:
        ole = v.doubleValue();
        return true;
    case VarType::Integer:
    case VarType::Long:
    case VarType::Byte:
        ole = double(v.intValue());
        return true;
    case VarType::Currency:
        ole = v.currencyValue().toDouble();
        return true;
    case VarType::String:
        return Variant::parseDate(v.stringValue(), &ole)
            || Variant::parseNumber(v.stringValue(), &ole);
    default:
        return false;
    }
}

// ---- text

QString formatText(const QString &value, const QString &f)
{
    bool lower = false, upper = false, leftToRight = false;
    struct Tok
    {
        bool placeholder;
        QChar kind;
        QString text;
    };
    QList<Tok> toks;
    for (qsizetype i = 0; i < f.size(); ++i) {
        const QChar c = f[i];
        if (c == u'<')
            lower = true;
        else if (c == u'>')
            upper = true;
        else if (c == u'!')
            leftToRight = true;
        else if (c == u'@' || c == u'&')
            toks.append({ true, c, {} });
        else if (c == u'\\' && i + 1 < f.size())
            toks.append({ false, {}, QString(f[++i]) });
        else if (c == u'"') {
            const qsizetype end = f.indexOf(u'"', i + 1);
            const qsizetype stop = end < 0 ? f.size() : end;
            toks.append({ false, {}, f.mid(i + 1, stop - i - 1) });
            i = stop;
        } else
            toks.append({ false, {}, QString(c) });
    }
    QString s = value;
    if (lower)
        s = s.toLower();
    else if (upper)
        s = s.toUpper();
    int places = 0;
    for (const Tok &t : toks)
        places += t.placeholder ? 1 : 0;
    if (places == 0) {
        QString out = s;
        for (const Tok &t : toks)
            out += t.text;
        return out;
    }
    QList<QString> parts(toks.size());
    if (leftToRight) {
        qsizetype at = 0;
        int seen = 0;
        for (qsizetype i = 0; i < toks.size(); ++i) {
            if (!toks[i].placeholder) {
                parts[i] = toks[i].text;
                continue;
            }
            ++seen;
            if (seen == places && at < s.size()) {
                parts[i] = s.mid(at);
                at = s.size();
            } else if (at < s.size()) {
                parts[i] = s[at++];
            } else if (toks[i].kind == u'@') {
                parts[i] = QStringLiteral(" ");
            }
        }
    } else {
        qsizetype at = s.size();
        int seen = 0;
        for (qsizetype i = toks.size() - 1; i >= 0; --i) {
            if (!toks[i].placeholder) {
                parts[i] = toks[i].text;
                continue;
            }
            ++seen;
            if (seen == places) {
                parts[i] = s.left(at);
                at = 0;
            } else if (at > 0) {
                parts[i] = s[--at];
            } else if (toks[i].kind == u'@') {
                parts[i] = QStringLiteral(" ");
            }
        }
        // The leftmost placeholder shows what is left, or a blank for '@'.
        for (qsizetype i = 0; i < toks.size(); ++i) {
            if (toks[i].placeholder) {
                if (parts[i].isEmpty() && toks[i].kind == u'@')
                    parts[i] = QStringLiteral(" ");
                break;
            }
        }
    }
    return parts.join(QString());
}

QString plainText(const Variant &v, const QLocale &locale)
{
    switch (v.type()) {
    case VarType::Empty:
    case VarType::Null:
        return {};
    case VarType::String:
        return v.stringValue();
    case VarType::Boolean:
        return v.boolValue() ? QStringLiteral("True") : QStringLiteral("False");
    case VarType::Date:
        return vbFormat(v, QStringLiteral("General Date"), locale);
    default: {
        VbDecimal d;
        if (numericValue(v, d))
            return generalNumber(d, locale);
        return v.toString();
    }
    }
}

} // namespace

QString vbFormat(const Variant &value, const QString &format, const QLocale &locale)
{
    if (value.isObject())
        return vbFormat(value.objectValue() ? value.objectValue()->get(QString(), {}) : Variant(),
            format, locale);
    if (format.isEmpty())
        return plainText(value, locale);

    const QString named = format.trimmed().toLower();
    VbDecimal num;
    double ole = 0;
    const bool isNull = value.isNull();

    auto namedNumber = [&](const QString &custom) -> QString {
        if (isNull)
            return {};
        if (!numericValue(value, num))
            return plainText(value, locale);
        return formatNumber(num, splitSections(custom), locale);
    };
    auto namedDate = [&](const QString &custom) -> QString {
        if (isNull)
            return {};
        if (!dateValue(value, ole))
            return plainText(value, locale);
        return formatDate(ole, custom, locale);
    };

    if (named == u"general number") {
        if (isNull)
            return {};
        return numericValue(value, num) ? generalNumber(num, locale) : plainText(value, locale);
    }
    if (named == u"currency") {
        if (isNull)
            return {};
        if (!numericValue(value, num))
            return plainText(value, locale);
        return locale.toCurrencyString(num.fixed(2).toDouble(), locale.currencySymbol(), 2);
    }
    if (named == u"fixed")
        return namedNumber(QStringLiteral("0.00"));
    if (named == u"standard")
        return namedNumber(QStringLiteral("#,##0.00"));
    if (named == u"percent")
        return namedNumber(QStringLiteral("0.00%"));
    if (named == u"scientific")
        return namedNumber(QStringLiteral("0.00E+00"));
    if (named == u"yes/no" || named == u"true/false" || named == u"on/off") {
        if (isNull)
            return {};
        if (!numericValue(value, num))
            return plainText(value, locale);
        const QStringList words = named.split(u'/');
        QString w = words.at(num.isZero() ? 1 : 0);
        w[0] = w[0].toUpper();
        return w;
    }
    if (named == u"general date") {
        if (isNull)
            return {};
        if (!dateValue(value, ole))
            return plainText(value, locale);
        const bool hasDay = std::trunc(ole) != 0;
        const bool hasTime = VbSecondsOfDay(ole) != 0;
        QString f;
        if (hasDay || !hasTime)
            f = QStringLiteral("ddddd");
        if (hasTime)
            f += (f.isEmpty() ? QString() : QStringLiteral(" ")) + QStringLiteral("ttttt");
        return formatDate(ole, f, locale);
    }
    if (named == u"long date")
        return namedDate(QStringLiteral("dddddd"));
    if (named == u"medium date")
        return namedDate(QStringLiteral("dd-mmm-yy"));
    if (named == u"short date")
        return namedDate(QStringLiteral("ddddd"));
    if (named == u"long time")
        return namedDate(QStringLiteral("ttttt"));
    if (named == u"medium time")
        return namedDate(QStringLiteral("hh:nn AM/PM"));
    if (named == u"short time")
        return namedDate(QStringLiteral("hh:nn"));

    const QStringList sections = splitSections(format);
    if (value.isNull()) {
        if (sections.size() >= 4)
            return formatNumberSection(VbDecimal(), sections.at(3), locale);
        return {};
    }
    switch (classify(sections.at(0))) {
    case Kind::Text:
        return formatText(plainText(value, locale), sections.at(0));
    case Kind::Date:
        if (!dateValue(value, ole))
            return plainText(value, locale);
        return formatDate(ole, sections.at(0), locale);
    case Kind::Number:
        if (!numericValue(value, num))
            return plainText(value, locale);
        return formatNumber(num, sections, locale);
    }
    return plainText(value, locale);
}

} // namespace kv6::engine
