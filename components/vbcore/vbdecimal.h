#pragma once

#include <QString>

namespace kv6 {

// A number as the decimal digits the language shows: |value| = 0.digits x 10^point, the digits
// without leading or trailing zeros (none for zero). Every Format rounds on these digits, half
// away from zero, never on the binary double: 1.005 shows as 1.01 at two decimals, as it reads.
struct VbDecimal
{
    QString digits;
    int point = 0;
    bool negative = false;

    bool isZero() const { return digits.isEmpty(); }

    // C-locale text: an optional "-", digits, an optional point and decimals.
    static VbDecimal fromText(QString text);
    // Fifteen significant digits first, as the language converts a Double to text, so binary
    // noise never decides a rounding. Not finite: zero.
    static VbDecimal fromDouble(double value);

    // Half away from zero at `places` decimals.
    void round(int places);
    // Times 10^power.
    void scale(int power);
    // The digits before the point (none below one) and exactly `places` after it.
    QString wholeDigits() const;
    QString fractionDigits(int places) const;
    // Rounded to `places` and written "[-]0.00" in the C locale: at least one whole digit, and no
    // minus sign on a value that rounds to zero.
    QString fixed(int places) const;

private:
    void normalise();
};

} // namespace kv6
