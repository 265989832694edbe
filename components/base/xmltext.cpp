#include "base/xmltext.h"

#include <QDomElement>

namespace kv6 {

QString GetChildText(const QDomNode &node, const QString &childName, const QString &defaultText)
{
    const QDomElement child = node.firstChildElement(childName);
    const QString text = child.isNull() ? QString() : child.text().trimmed();
    return text.isEmpty() ? defaultText : text;
}

} // namespace kv6
