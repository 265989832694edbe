#pragma once

// Small shared operations whose exact rules many callers rely on. Folder operations are in
// paths.h.

#include "vbcore/vbdatetext.h" // ShortDateFormat

#include <QLocale>
#include <QString>
#include <QUrl>
#include <QVariant>

#include <optional>

class QDomNode;
class QWidget;

namespace kv6 {

class infField;

// The busy mouse pointer for the life of the object; the previous one comes back after.
class WaitCursor
{
public:
    WaitCursor();
    ~WaitCursor();
    WaitCursor(const WaitCursor &) = delete;
    WaitCursor &operator=(const WaitCursor &) = delete;

private:
    bool m_set = false;
};

// "ProductVersion" under the machine's "Software\Korvane 6"; "" when absent.
QString GetProductVersion();

// "LastWindowState" (0 normal, 1 minimised, 2 maximised) under the given per-user key. A stored
// minimised state restores as normal.
void RestoreWindowState(const QString &registryKey, QWidget *window);
void SaveWindowState(const QString &registryKey, QWidget *window);
int WindowStateCode(const QWidget *window);

// Appends the common folder to PATH; false, with nothing changed, when PATH is empty or unset.
bool AddCommonToPath();

// A unique name in TempFolder() starting with the prefix; the file itself does not exist.
QString TempFileName(const QString &prefix);

// Parent of the program folder + "/help/" + file name.
QString HelpFilePath(const QString &fileName);
QString HelpFilePathFrom(const QString &programFolder, const QString &fileName);
// The page that stands in for a compiled help file at a context id: "help/kv6reprt.chm" is the
// book "help/kv6reprt/index.html", and the id is its anchor.
QUrl HelpTopicUrl(const QString &helpFile, quint32 contextId);
// Opens the help book at the topic; `helpFile` defaults to the application's help file.
bool ShowHelpTopic(quint32 contextId, QWidget *owner = nullptr, const QString &helpFile = {});

bool IsValidEmail(const QString &address);
bool IsValidEmailList(const QString &list);
// Replaces each of / \ . " ' ? * > < | : with the replacement.
QString MakeValidFileName(const QString &text, const QString &replacement);

// The user locale's decimal separator and negative sign.
QString DecimalSeparator(const QLocale &locale = QLocale::system());
QString NegativeSign(const QLocale &locale = QLocale::system());

// Key filter of numeric entry fields: returns the key, or 0 (with a beep) to swallow it. The
// separator and sign of the system locale are cached on first use; the overload takes them from
// a given locale, uncached.
ushort FilterNumericKey(ushort keyCode, bool allowNegative, bool allowDecimal);
ushort FilterNumericKey(
    ushort keyCode, bool allowNegative, bool allowDecimal, const QLocale &locale);

// Trimmed text of the first child element of that name, or the default when it is missing or
// empty.
QString GetChildText(const QDomNode &node, const QString &childName, const QString &defaultText);

// A field's value with Null replaced by its type's neutral value (dates and variants stay Null,
// texts become "", Booleans false, anything else a 16-bit 0); a wanted type of 8 asks for "",
// any other wanted type for a 16-bit 0.
QVariant FieldValue(const kv6::infField &field, std::optional<int> wantedType = std::nullopt);

// The locale's character set as a Windows code page number (UTF-8 is 65001).
int CodePage();
int CodePageForCodeset(const QByteArray &codeset);
// The Windows locale id of a locale; 1033 when the table has none.
quint32 LocaleLcid(const QLocale &locale = QLocale::system());

// Reads a text file: UTF-8, or Windows-1252 where the bytes are not valid UTF-8 (files moved
// from Windows); CR LF and LF both end a line (the text comes back with LF only).
bool ReadTextFile(const QString &path, QString *text, QString *error = nullptr);
// Writes UTF-8 atomically; with crlf every line end becomes CR LF.
bool WriteTextFile(const QString &path, const QString &text, bool crlf, QString *error = nullptr);
// Decodes bytes as ReadTextFile does.
QString DecodeText(const QByteArray &bytes);

} // namespace kv6
