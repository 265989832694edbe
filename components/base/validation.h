#pragma once

// Checks and clean-ups of text the user types: mail addresses and file names.

#include <QString>

namespace kv6 {

bool IsValidEmail(const QString &address);
bool IsValidEmailList(const QString &list);
// Replaces each of / \ . " ' ? * > < | : with the replacement.
QString MakeValidFileName(const QString &text, const QString &replacement);

} // namespace kv6
