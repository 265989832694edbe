#pragma once

// What the system locale says about numbers and characters, in the terms the program was designed
// with: decimal separator, negative sign, Windows code page and locale id.

#include <QByteArray>
#include <QLocale>
#include <QString>

namespace kv6 {

// The user locale's decimal separator and negative sign.
QString DecimalSeparator(const QLocale &locale = QLocale::system());
QString NegativeSign(const QLocale &locale = QLocale::system());

// Key filter of numeric entry fields: returns the key, or 0 (with a beep) to swallow it. The
// separator and sign of the system locale are cached on first use; the overload takes them from
// a given locale, uncached.
ushort FilterNumericKey(ushort keyCode, bool allowNegative, bool allowDecimal);
ushort FilterNumericKey(
    ushort keyCode, bool allowNegative, bool allowDecimal, const QLocale &locale);

// The locale's character set as a Windows code page number (UTF-8 is 65001).
int CodePage();
int CodePageForCodeset(const QByteArray &codeset);
// The Windows locale id of a locale; 1033 when the table has none.
quint32 LocaleLcid(const QLocale &locale = QLocale::system());

} // namespace kv6
