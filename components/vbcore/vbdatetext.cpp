#include "vbcore/vbdatetext.h"

#include "vbcore/vbdate.h"

#include <QDate>
#include <QDateTime>
#include <QList>
#include <QRegularExpression>

#include <algorithm>

namespace kv6 {

QLocale VbLocale()
{
    const QLocale locale;
    if (locale.language() == QLocale::C)
        return QLocale(QLocale::English, QLocale::UnitedStates);
    return locale;
}

QString ShortDateFormat(const QLocale &locale)
{
    QString f = locale.dateFormat(QLocale::ShortFormat);
    static const QRegularExpression twoDigitYear(QStringLiteral("(?<!y)yy(?!y)"));
    f.replace(twoDigitYear, QStringLiteral("yyyy"));
    return f;
}

QString LongTimeFormat(const QLocale &locale)
{
    const QString f = locale.timeFormat(QLocale::LongFormat);
    QString out;
    bool quoted = false;
    for (const QChar c : f) {
        if (c == u'\'')
            quoted = !quoted;
        if (!quoted && c == u't')
            continue;
        out += c;
    }
    // Newer locale data puts a narrow no-break space before AM/PM; VB writes a plain one.
    out.replace(QChar(0x202F), u' ');
    return out.simplified();
}

QString VbDateText(double ole, const QLocale &locale)
{
    const QDateTime value = VbDateFromDouble(ole);
    if (!value.isValid())
        return QString::number(ole, 'g', 15);
    // A value without a day part is a time, even midnight (0 reads "12:00:00 AM").
    const bool timeOnly = value.date() == VbZeroDay();
    const bool midnight = value.time() == QTime(0, 0);
    QString out;
    if (!timeOnly)
        out = locale.toString(value.date(), ShortDateFormat(locale));
    if (timeOnly || !midnight) {
        if (!out.isEmpty())
            out += u' ';
        out += locale.toString(value.time(), LongTimeFormat(locale));
    }
    return out;
}

namespace {

enum class Order { MonthDayYear, DayMonthYear, YearMonthDay };

Order orderOf(const QLocale &locale)
{
    const QString f = locale.dateFormat(QLocale::ShortFormat);
    const qsizetype d = f.indexOf(u'd'), m = f.indexOf(u'M'), y = f.indexOf(u'y');
    if (y >= 0 && (m < 0 || y < m) && (d < 0 || y < d))
        return Order::YearMonthDay;
    if (d >= 0 && m >= 0 && d < m)
        return Order::DayMonthYear;
    return Order::MonthDayYear;
}

QString folded(QString s)
{
    while (s.endsWith(u'.'))
        s.chop(1);
    return s.toCaseFolded();
}

// The words a date text may hold in one locale, case-folded and without abbreviation dots.
struct Words
{
    QLocale locale;
    QList<QStringList> months; // index 0 = January; full names first
    QList<QStringList> weekdays;
    QStringList am, pm;
    QString amText, pmText; // the locale's own markers when they hold more than letters

    explicit Words(const QLocale &l)
        : locale(l)
    {
        const QLocale english = QLocale::c();
        for (int m = 1; m <= 12; ++m) {
            QStringList names;
            for (const QLocale &loc : { l, english })
                names << folded(loc.monthName(m)) << folded(loc.standaloneMonthName(m))
                      << folded(loc.monthName(m, QLocale::ShortFormat))
                      << folded(loc.standaloneMonthName(m, QLocale::ShortFormat));
            months << names;
        }
        for (int d = 1; d <= 7; ++d) {
            QStringList names;
            for (const QLocale &loc : { l, english })
                names << folded(loc.dayName(d)) << folded(loc.standaloneDayName(d))
                      << folded(loc.dayName(d, QLocale::ShortFormat))
                      << folded(loc.standaloneDayName(d, QLocale::ShortFormat));
            weekdays << names;
        }
        am << QStringLiteral("am") << QStringLiteral("a");
        pm << QStringLiteral("pm") << QStringLiteral("p");
        const auto lettersOnly = [](const QString &s) {
            return std::all_of(s.begin(), s.end(), [](QChar c) { return c.isLetter(); });
        };
        if (lettersOnly(l.amText()))
            am << l.amText().toCaseFolded();
        else
            amText = l.amText();
        if (lettersOnly(l.pmText()))
            pm << l.pmText().toCaseFolded();
        else
            pmText = l.pmText();
    }

    // 1-12, or 0. Full names also match by a prefix of three letters or more ("Sept").
    int month(const QString &word) const
    {
        for (int m = 0; m < 12; ++m) {
            const QStringList &names = months[m];
            for (qsizetype i = 0; i < names.size(); ++i) {
                const QString &name = names[i];
                if (name == word)
                    return m + 1;
                const bool full = i % 4 < 2;
                if (full && word.size() >= 3 && name.startsWith(word))
                    return m + 1;
            }
        }
        return 0;
    }

    bool weekday(const QString &word) const
    {
        for (const QStringList &names : weekdays)
            if (names.contains(word))
                return true;
        return false;
    }
};

const Words &wordsFor(const QLocale &locale)
{
    // Building the name lists costs more than parsing; conversions come row by row.
    thread_local std::optional<Words> cache;
    if (!cache || cache->locale != locale)
        cache.emplace(locale);
    return *cache;
}

struct Token
{
    enum Kind { Number, Month, Weekday, Am, Pm, Colon, End };
    Kind kind;
    int value = 0;
    int length = 0; // digits of a number
};

bool tokenize(QString text, const Words &words, QList<Token> *out)
{
    // Markers such as "a.m." would split at their dots.
    if (!words.amText.isEmpty())
        text.replace(words.amText, QStringLiteral(" AM "), Qt::CaseInsensitive);
    if (!words.pmText.isEmpty())
        text.replace(words.pmText, QStringLiteral(" PM "), Qt::CaseInsensitive);
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n;) {
        const QChar c = text.at(i);
        if (c.isDigit()) {
            qsizetype j = i;
            while (j < n && text.at(j).isDigit())
                ++j;
            if (j - i > 4)
                return false;
            out->append(Token { Token::Number, text.mid(i, j - i).toInt(), int(j - i) });
            i = j;
        } else if (c.isLetter()) {
            qsizetype j = i;
            while (j < n && text.at(j).isLetter())
                ++j;
            const QString word = text.mid(i, j - i).toCaseFolded();
            i = j;
            if (const int m = words.month(word))
                out->append(Token { Token::Month, m });
            else if (words.am.contains(word))
                out->append(Token { Token::Am });
            else if (words.pm.contains(word))
                out->append(Token { Token::Pm });
            else if (words.weekday(word))
                out->append(Token { Token::Weekday });
            else if (word != u"t") // ISO's date-time separator
                return false;
        } else if (c == u':') {
            out->append(Token { Token::Colon });
            ++i;
        } else if (c.isSpace() || c == u'/' || c == u'-' || c == u'.' || c == u',') {
            ++i;
        } else {
            return false;
        }
    }
    return true;
}

int currentYear()
{
    return QDate::currentDate().year();
}

bool yearLike(const Token &t)
{
    return t.length >= 3 || t.value > 31;
}

int fullYear(const Token &t)
{
    if (t.length > 2)
        return t.value;
    return t.value < 30 ? 2000 + t.value : 1900 + t.value;
}

QDate makeDate(int year, int month, int day)
{
    if (year < 100 || year > 9999)
        return {};
    return QDate(year, month, day);
}

QDate numericDate(const QList<Token> &nums, Order order)
{
    if (nums.size() == 2) {
        const Token &a = nums[0], &b = nums[1];
        if (yearLike(b))
            return makeDate(fullYear(b), a.value, 1);
        if (yearLike(a))
            return makeDate(fullYear(a), b.value, 1);
        const int year = currentYear();
        const QDate first = order == Order::DayMonthYear ? makeDate(year, b.value, a.value)
                                                         : makeDate(year, a.value, b.value);
        if (first.isValid())
            return first;
        return order == Order::DayMonthYear ? makeDate(year, a.value, b.value)
                                            : makeDate(year, b.value, a.value);
    }
    const Token &a = nums[0], &b = nums[1], &c = nums[2];
    if (yearLike(a))
        return makeDate(fullYear(a), b.value, c.value);
    const QDate mdy = makeDate(fullYear(c), a.value, b.value);
    const QDate dmy = makeDate(fullYear(c), b.value, a.value);
    const QDate ymd = makeDate(fullYear(a), b.value, c.value);
    const QDate tries[3][3] = { { mdy, dmy, ymd }, { dmy, mdy, ymd }, { ymd, mdy, dmy } };
    for (const QDate &d : tries[int(order)])
        if (d.isValid())
            return d;
    return {};
}

QDate namedMonthDate(const QList<Token> &nums, int month)
{
    if (nums.size() == 1) {
        if (yearLike(nums[0]))
            return makeDate(fullYear(nums[0]), month, 1);
        return makeDate(currentYear(), month, nums[0].value);
    }
    if (nums.size() != 2)
        return {};
    const Token &a = nums[0], &b = nums[1];
    if (yearLike(a) && !yearLike(b))
        return makeDate(fullYear(a), month, b.value);
    return makeDate(fullYear(b), month, a.value);
}

} // namespace

std::optional<double> VbParseDateText(const QString &text, const QLocale &locale)
{
    QList<Token> tokens;
    if (!tokenize(text, wordsFor(locale), &tokens) || tokens.isEmpty())
        return std::nullopt;

    QList<Token> nums;
    int month = 0;
    bool haveTime = false, am = false, pm = false;
    int hour = 0, minute = 0, second = 0;
    const qsizetype n = tokens.size();
    const auto kindAt = [&](qsizetype i) { return i < n ? tokens[i].kind : Token::End; };
    for (qsizetype i = 0; i < n; ++i) {
        const Token &t = tokens[i];
        switch (t.kind) {
        case Token::Number:
            if (kindAt(i + 1) == Token::Colon) {
                // h:mm[:ss]
                if (haveTime || t.length > 2 || kindAt(i + 2) != Token::Number
                    || tokens[i + 2].length > 2)
                    return std::nullopt;
                haveTime = true;
                hour = t.value;
                minute = tokens[i + 2].value;
                i += 2;
                if (kindAt(i + 1) == Token::Colon) {
                    if (kindAt(i + 2) != Token::Number || tokens[i + 2].length > 2)
                        return std::nullopt;
                    second = tokens[i + 2].value;
                    i += 2;
                }
            } else if ((kindAt(i + 1) == Token::Am || kindAt(i + 1) == Token::Pm) && !haveTime
                && t.length <= 2) {
                haveTime = true; // "3 PM"
                hour = t.value;
            } else {
                if (nums.size() == 3)
                    return std::nullopt;
                nums.append(t);
            }
            break;
        case Token::Month:
            if (month)
                return std::nullopt;
            month = t.value;
            break;
        case Token::Am:
        case Token::Pm:
            if (am || pm)
                return std::nullopt;
            (t.kind == Token::Am ? am : pm) = true;
            break;
        case Token::Weekday:
            break;
        case Token::Colon:
        case Token::End:
            return std::nullopt;
        }
    }
    if ((am || pm) && !haveTime)
        return std::nullopt;

    QDate day = VbZeroDay();
    if (month) {
        day = namedMonthDate(nums, month);
    } else if (!nums.isEmpty()) {
        if (nums.size() < 2)
            return std::nullopt;
        day = numericDate(nums, orderOf(locale));
    } else if (!haveTime) {
        return std::nullopt;
    }
    if (!day.isValid())
        return std::nullopt;

    if (am || pm) {
        if (hour > 12)
            return std::nullopt;
        hour = hour % 12 + (pm ? 12 : 0);
    }
    if (hour > 23 || minute > 59 || second > 59)
        return std::nullopt;
    return VbMakeDate(day, hour * 3600 + minute * 60 + second);
}

} // namespace kv6
