#pragma once

#include <QFont>
#include <QString>

namespace kv6 {

inline const QString InterfaceFontKey = QStringLiteral("Software\\Korvane 6\\Font");
inline const QString ReportFontKey = QStringLiteral("Software\\Korvane 6\\Reporter\\Font");

// "FontName", "FontCharSet", "FontSize" under the per-user key; an empty name gives the
// locale's default font.
QFont LoadFont(const QString &key, bool forReports);
bool SaveFont(const QString &key, const QFont &font);

} // namespace kv6
