#pragma once

#include <QMetaType>
#include <QString>

#include <cstdint>

namespace kv6 {

// VB's Currency: a signed 64-bit count of ten-thousandths, so sums of money never pick up the
// binary-fraction noise of double. Every operation that can leave the range reports it through
// `ok` (false on overflow or division by zero) and then returns zero.
class Currency
{
public:
    static constexpr int64_t Scale = 10000;

    constexpr Currency() = default;
    static constexpr Currency fromRaw(int64_t raw)
    {
        Currency c;
        c.m_raw = raw;
        return c;
    }
    static Currency fromInt(int64_t units, bool *ok = nullptr);
    // Rounded half to even at the fourth decimal, as VB's CCur does.
    static Currency fromDouble(double value, bool *ok = nullptr);
    // C-locale text: optional blanks and sign, digits, optional point and decimals, optional
    // exponent. Decimals beyond the fourth are rounded half to even.
    static Currency fromString(const QString &text, bool *ok = nullptr);

    static Currency max() { return fromRaw(INT64_MAX); }
    static Currency min() { return fromRaw(INT64_MIN + 1); }

    int64_t raw() const { return m_raw; }
    double toDouble() const { return double(m_raw) / Scale; }
    // Shortest form without trailing zeros, as CStr gives it: "1.5", "12", "-0.25".
    QString toString() const;

    Currency add(Currency other, bool *ok = nullptr) const;
    Currency sub(Currency other, bool *ok = nullptr) const;
    Currency mul(Currency other, bool *ok = nullptr) const;
    Currency div(Currency other, bool *ok = nullptr) const;
    Currency negate(bool *ok = nullptr) const;

    // Unchecked operators for callers that know their values are small; overflow yields zero.
    Currency operator+(Currency o) const { return add(o); }
    Currency operator-(Currency o) const { return sub(o); }
    Currency operator*(Currency o) const { return mul(o); }
    Currency operator/(Currency o) const { return div(o); }
    Currency operator-() const { return negate(); }

    friend constexpr auto operator<=>(Currency a, Currency b) = default;

private:
    int64_t m_raw = 0;
};

} // namespace kv6

Q_DECLARE_METATYPE(kv6::Currency)
