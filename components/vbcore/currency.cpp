#include "vbcore/currency.h"

#include <cmath>

namespace kv6 {

namespace {

using Wide = __int128;

bool inRange(Wide v)
{
    return v <= Wide(INT64_MAX) && v >= Wide(INT64_MIN + 1);
}

Currency finish(Wide v, bool *ok)
{
    const bool good = inRange(v);
    if (ok)
        *ok = good;
    return good ? Currency::fromRaw(int64_t(v)) : Currency();
}

// Integer division rounded half to even, which is how VB rounds Currency results.
Wide divRoundEven(Wide num, Wide den)
{
    if (den < 0) {
        num = -num;
        den = -den;
    }
    Wide q = num / den;
    Wide r = num % den;
    if (r < 0)
        r = -r;
    const Wide twice = r * 2;
    if (twice > den || (twice == den && (q % 2) != 0))
        q += num < 0 ? -1 : 1;
    return q;
}

const int registered = qRegisterMetaType<Currency>();

} // namespace

Currency Currency::fromInt(int64_t units, bool *ok)
{
    return finish(Wide(units) * Scale, ok);
}

Currency Currency::fromDouble(double value, bool *ok)
{
    (void)registered;
    const double scaled = value * double(Scale);
    if (!std::isfinite(scaled) || std::fabs(scaled) >= 9.223372036854775807e18)
        return finish(Wide(INT64_MIN), ok);
    // Through the decimal text of the value (15 digits, as VB shows doubles), so that 0.00015,
    // stored a hair below, is still a tie and rounds to even like the number the user wrote.
    return fromString(QString::number(value, 'g', 15), ok);
}

Currency Currency::fromString(const QString &text, bool *ok)
{
    const QString s = text.trimmed();
    int i = 0;
    bool negative = false;
    if (i < s.size() && (s[i] == u'+' || s[i] == u'-')) {
        negative = s[i] == u'-';
        ++i;
    }
    QString digits;
    int decimals = 0;
    bool seenPoint = false;
    bool any = false;
    for (; i < s.size(); ++i) {
        const QChar c = s[i];
        if (c.isDigit()) {
            digits += c;
            any = true;
            if (seenPoint)
                ++decimals;
        } else if (c == u'.' && !seenPoint) {
            seenPoint = true;
        } else {
            break;
        }
    }
    int exponent = 0;
    if (any && i < s.size() && (s[i] == u'e' || s[i] == u'E')) {
        bool expOk = false;
        exponent = s.mid(i + 1).toInt(&expOk);
        if (!expOk) {
            if (ok)
                *ok = false;
            return {};
        }
        i = int(s.size());
    }
    if (!any || i != s.size() || digits.size() > 40 || std::abs(exponent) > 40) {
        if (ok)
            *ok = false;
        return {};
    }
    // value = digits * 10^(exponent - decimals); we want it * 10^4.
    int shift = exponent - decimals + 4;
    Wide mant = 0;
    for (const QChar c : digits) {
        mant = mant * 10 + (c.unicode() - u'0');
        if (mant > Wide(1) << 100)
            return finish(Wide(INT64_MIN), ok);
    }
    while (shift > 0 && mant != 0) {
        mant *= 10;
        --shift;
        if (mant > Wide(1) << 100)
            return finish(Wide(INT64_MIN), ok);
    }
    if (shift < 0) {
        Wide den = 1;
        for (; shift < 0; ++shift) {
            den *= 10;
            if (den > Wide(1) << 100) {
                mant = 0;
                den = 1;
                break;
            }
        }
        mant = divRoundEven(mant, den);
    }
    return finish(negative ? -mant : mant, ok);
}

QString Currency::toString() const
{
    const bool negative = m_raw < 0;
    const unsigned __int128 mag = negative ? -Wide(m_raw) : Wide(m_raw);
    const uint64_t whole = uint64_t(mag / Scale);
    uint64_t frac = uint64_t(mag % Scale);
    QString out = negative ? QStringLiteral("-") : QString();
    out += QString::number(whole);
    if (frac) {
        QString f = QString::number(frac).rightJustified(4, u'0');
        while (f.endsWith(u'0'))
            f.chop(1);
        out += u'.' + f;
    }
    return out;
}

Currency Currency::add(Currency o, bool *ok) const
{
    return finish(Wide(m_raw) + o.m_raw, ok);
}
Currency Currency::sub(Currency o, bool *ok) const
{
    return finish(Wide(m_raw) - o.m_raw, ok);
}
Currency Currency::negate(bool *ok) const
{
    return finish(-Wide(m_raw), ok);
}

Currency Currency::mul(Currency o, bool *ok) const
{
    return finish(divRoundEven(Wide(m_raw) * o.m_raw, Scale), ok);
}

Currency Currency::div(Currency o, bool *ok) const
{
    if (o.m_raw == 0) {
        if (ok)
            *ok = false;
        return {};
    }
    return finish(divRoundEven(Wide(m_raw) * Scale, o.m_raw), ok);
}

} // namespace kv6
