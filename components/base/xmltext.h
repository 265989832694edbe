#pragma once

#include <QString>

class QDomNode;

namespace kv6 {

// Trimmed text of the first child element of that name, or the default when it is missing or
// empty.
QString GetChildText(const QDomNode &node, const QString &childName, const QString &defaultText);

} // namespace kv6
