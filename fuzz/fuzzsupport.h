#pragma once

// What every fuzz target shares: one Qt application on the offscreen platform (layouts, pictures
// and fonts need a GUI application), a private folder for inputs that are read from files, and
// the text decoding every reader of the program's files uses.

#include "base/dialogs.h"
#include "base/startupvalues.h"
#include "base/textfile.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QString>
#include <QTemporaryDir>

#include <cstddef>
#include <cstdint>

namespace kv6fuzz {

inline QGuiApplication &app()
{
    static int argc = 1;
    static char name[] = "kv6fuzz";
    static char *argv[] = { name, nullptr };
    static QGuiApplication *a = [] {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        auto *created = new QGuiApplication(argc, argv);
        // Whatever a reader would ask or tell the user is dropped: there is nobody to answer.
        static kv6::SilentDialogs silent;
        static kv6::ScopedDialogProvider quiet(&silent);
        return created;
    }();
    return *a;
}

inline const QTemporaryDir &folder()
{
    // In memory where there is a place for it: the program syncs what it saves to disk, and a
    // disk's sync would make most of a run's time.
    static QTemporaryDir dir(QFileInfo(QStringLiteral("/dev/shm")).isWritable()
            ? QStringLiteral("/dev/shm/kv6fuzz-XXXXXX")
            : QDir::tempPath() + QStringLiteral("/kv6fuzz-XXXXXX"));
    return dir;
}

inline QString path(const QString &name)
{
    return folder().filePath(name);
}

// Writes the input where a reader expects a file; the path.
inline QString writeInput(const QString &name, const uint8_t *data, size_t size)
{
    const QString p = path(name);
    QFile f(p);
    if (f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        f.write(reinterpret_cast<const char *>(data), qint64(size));
    return p;
}

// A file's bytes, empty when it cannot be read; what the round-trip targets compare.
inline QByteArray fileBytes(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

inline QByteArray bytes(const uint8_t *data, size_t size)
{
    return QByteArray(reinterpret_cast<const char *>(data), qsizetype(size));
}

inline QString text(const uint8_t *data, size_t size)
{
    return kv6::DecodeText(bytes(data, size));
}

#ifdef KV6_REPORTS_DIR
// Saved reports and proposals are read from the private folder and name the shipped definitions.
inline void userFolderOverShippedDefinitions()
{
    static const bool ready = [] {
        kv6::SetStartupValue(
            &kv6::StartupValues::DefinitionsFolder, QStringLiteral(KV6_REPORTS_DIR));
        kv6::SetStartupValue(&kv6::StartupValues::UserReportsFolder, folder().path());
        return true;
    }();
    Q_UNUSED(ready);
}
#endif

} // namespace kv6fuzz
