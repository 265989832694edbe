#include "app/fonts.h"

#include "base/clsregistry.h"
#include "base/langstrings.h"

namespace kv6 {

QFont LoadFont(const QString &key, bool forReports)
{
    clsRegistry reg;
    reg.setClassKey(HKEY_CURRENT_USER);
    reg.setSectionKey(key);
    QString err;
    const QString name
        = reg.GetValueOrDefault(QStringLiteral("FontName"), QString(), err).toString();
    if (name.isEmpty())
        return DefaultFont(forReports);
    // The character set is kept for the file's sake only: fontconfig picks glyphs by script.
    const int size = qint16(
        reg.GetValueOrDefault(QStringLiteral("FontSize"), QStringLiteral("8"), err).toInt());
    QFont font(name);
    font.setPointSize(size > 0 ? size : 8);
    return font;
}

bool SaveFont(const QString &key, const QFont &font)
{
    clsRegistry reg;
    reg.setClassKey(HKEY_CURRENT_USER);
    reg.setSectionKey(key);
    reg.setValueType(REG_SZ);
    QString err;
    const int size = font.pointSize() > 0 ? font.pointSize() : qRound(font.pointSizeF());
    return reg.SetCreateValue(QStringLiteral("FontName"), font.family(), false, err)
        && reg.SetCreateValue(QStringLiteral("FontCharSet"), QStringLiteral("0"), false, err)
        && reg.SetCreateValue(QStringLiteral("FontSize"), QString::number(size), false, err);
}

} // namespace kv6
