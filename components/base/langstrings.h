#pragma once

// Numbered, localised strings. Each language is a table beside the program:
// lang/<locale id>/<program>LangRes.txt. English (1033) is the fallback for every string the
// current language lacks.

#include <QFont>
#include <QString>
#include <QStringList>

class QWidget;

namespace kv6 {

bool LoadLanguage(const QString &programName);
void FreeLanguage();
bool LanguageLoaded();
// "LocaleId" under the user's "Software\Korvane 6" when set, else the system locale's id.
quint32 GetLocaleId();
// The first folder named "lang" found walking up from the program folder (cached).
QString LanguageFolder();
QString LanguageFolderFrom(const QString &startFolder);
// Tests point the loader at their own folder; "" goes back to the search.
void SetLanguageFolderForTesting(const QString &folder);

QString GetLangString(int id, const QStringList &arguments = {});
template<typename... Args>
QString GetLangString(int id, const QString &first, const Args &...rest)
{
    return GetLangString(id, QStringList { first, QString(rest)... });
}

// Replaces each "%s" in turn with the next argument; text inside an argument is never taken
// for a marker; markers left over stay.
QString FormatString(const QString &templ, const QStringList &arguments);

// A font that can show the system's characters; `forReports` skips the dialog font.
QFont DefaultFont(bool forReports);
// Gives every widget of a window the family of the font, and its size where the widget still
// has the default size.
void ApplyFont(QWidget *window, const QFont &font);

// Parses one table in the language-file format; malformed lines are skipped with a warning.
QHash<int, QString> ParseLanguageTable(const QString &text, const QString &fileName = {});

} // namespace kv6
