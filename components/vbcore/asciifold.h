#pragma once

// Keys and sort texts compare without regard to case. Most are ASCII (user and printer keys,
// day texts): those fold here, one character at a time, far cheaper than Qt's full case folding,
// which gives the same for them; callers fall back to Qt's for anything beyond ASCII.

#include <QString>

namespace kv6 {

constexpr char16_t FoldAscii(char16_t c)
{
    return c >= u'A' && c <= u'Z' ? char16_t(c + (u'a' - u'A')) : c;
}

// Folds `n` UTF-16 units into `out`, one byte each; false, with `out` partly written, at the first
// unit beyond ASCII.
inline bool FoldAsciiInto(const char16_t *chars, long long n, char *out)
{
    for (long long i = 0; i < n; ++i) {
        if (chars[i] >= 0x80)
            return false;
        out[i] = char(FoldAscii(chars[i]));
    }
    return true;
}

inline bool IsAscii(const QString &text)
{
    for (const QChar c : text)
        if (c.unicode() >= 0x80)
            return false;
    return true;
}

} // namespace kv6
