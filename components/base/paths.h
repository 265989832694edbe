#pragma once

// Folders of the program and of the user, resolved the Linux way (see the shell folder ids
// below), and the small folder operations start-up and the log writer rely on.

#include <QString>

namespace kv6 {

// Shell folder ids the program asks for.
enum Csidl : int {
    CSIDL_PERSONAL = 5, // documents: KV6_DOCUMENTS, else the XDG documents folder
    CSIDL_LOCAL_APPDATA = 28, // KV6_LOCAL_APPDATA, else $XDG_DATA_HOME (~/.local/share)
    CSIDL_COMMON_APPDATA = 35, // KV6_COMMON_APPDATA, else /var/lib
};

// The folder for a shell folder id without a trailing separator, or "" when it cannot be resolved.
QString SpecialFolderPath(int csidl);

// Creates the folder and every missing parent; true when it exists afterwards.
bool EnsureFolder(const QString &path);

// True when the path names an existing file or folder; false for "".
bool FileExists(const QString &path);

// The folder holding the running executable (no trailing separator).
QString ProgramFolder();

// The system temporary folder with its trailing separator; "" when there is none.
QString TempFolder();

// The nearest folder, from the program folder upward, that holds a "common" subfolder, plus
// "/common"; "/common" when none does. Computed once.
QString CommonFolder();
// The same search starting from any folder (not cached).
QString CommonFolderFrom(const QString &startFolder);

// Selects the offscreen platform when no display is available and none was asked for; call
// before the application object is created so cron runs never fail for want of a display.
// Also gives the process a private runtime folder when it has none (cron), so that Qt has no
// reason to warn, names the local time zone when TZ is unset (local-time conversions then
// stop re-reading the zone file), and keeps freed blocks of up to 32 MiB in the heap for reuse.
// Returns true when it chose the platform.
bool SelectHeadlessPlatform();

// Appends the common folder to PATH; false, with nothing changed, when PATH is empty or unset.
bool AddCommonToPath();

// A unique name in TempFolder() starting with the prefix; the file itself does not exist. Empty
// when there is no temporary folder or nothing can be made in it.
QString TempFileName(const QString &prefix);

// Parent of the program folder + "/help/" + file name.
QString HelpFilePath(const QString &fileName);
QString HelpFilePathFrom(const QString &programFolder, const QString &fileName);

} // namespace kv6
