#include "captions_p.h"

#include <QRegularExpression>
#include <QWidget>

namespace kv6 {

QString PlainCaption(const QString &caption)
{
    static const QRegularExpression mnemonic(QStringLiteral("&(?!&)"));
    QString text = caption;
    text.remove(mnemonic);
    text.replace(QLatin1String("&&"), QLatin1String("&"));
    if (text.endsWith(QLatin1String("...")))
        text.chop(3);
    if (text.endsWith(QLatin1Char(':')))
        text.chop(1);
    return text.trimmed();
}

void SetAccessibleCaption(QWidget *widget, const QString &caption)
{
    if (widget)
        widget->setAccessibleName(PlainCaption(caption));
}

} // namespace kv6
