#include "base/validation.h"

#include <QStringList>

namespace kv6 {

bool IsValidEmail(const QString &text)
{
    QString address = text;
    const qsizetype lt = text.indexOf(QLatin1Char('<'));
    if (lt >= 0) {
        const qsizetype gt = text.indexOf(QLatin1Char('>'), lt);
        if (gt >= 0)
            address = text.mid(lt + 1, gt - lt - 1);
    }
    const qsizetype at = address.indexOf(QLatin1Char('@'));
    if (at < 0)
        return false;
    if (at == 0 || address.mid(at - 1, 1).trimmed().isEmpty())
        return false;
    if (at + 1 >= address.size() || address.mid(at + 1, 1).trimmed().isEmpty())
        return false;
    return address.mid(at + 1).contains(QLatin1Char('.'));
}

bool IsValidEmailList(const QString &list)
{
    if (list.isEmpty())
        return true;
    const QStringList parts = list.split(QLatin1Char(','));
    for (const QString &p : parts) {
        if (!IsValidEmail(p))
            return false;
    }
    return true;
}

QString MakeValidFileName(const QString &text, const QString &replacement)
{
    QString out = text;
    for (const QChar c : QStringLiteral("/\\.\"'?*><|:"))
        out.replace(c, replacement);
    return out;
}

} // namespace kv6
