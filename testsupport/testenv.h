#pragma once

#include <QString>
#include <QTemporaryDir>

#include <ostream>

// Texts in failure messages read as texts.
inline void PrintTo(const QString &text, std::ostream *os)
{
    *os << '"' << text.toStdString() << '"';
}

namespace kv6test {

// A text as written in a test's source, UTF-8.
inline QString q(const char *text)
{
    return QString::fromUtf8(text);
}

// Points every location the program writes to (documents, app data, both registry stores, task
// and cron folders) at a fresh temporary folder for the lifetime of the object, so no test ever
// touches a real home or /var/lib, and clears KV6_DATABASE and PGPASSFILE. Nested instances
// restore the outer settings when destroyed.
class TempEnv
{
public:
    TempEnv();
    ~TempEnv();
    TempEnv(const TempEnv &) = delete;
    TempEnv &operator=(const TempEnv &) = delete;

    QString root() const { return m_dir.path(); }
    QString path(const QString &relative) const { return m_dir.filePath(relative); }

private:
    QTemporaryDir m_dir;
    QList<QPair<QByteArray, QByteArray>> m_saved;
};

// A file's bytes; empty when it cannot be read.
QByteArray readFile(const QString &path);
// The same as UTF-8 text.
inline QString readText(const QString &path)
{
    return QString::fromUtf8(readFile(path));
}
// Writes (replacing) a file, making its folder; a file that cannot be written fails the running
// test.
void writeFile(const QString &path, const QByteArray &bytes);

// With KV6_KEEP_OUTPUT set to a folder, a written file is copied there to be looked at.
void keepOutput(const QString &path);

// Root of the source tree and of the staged layout, for tests that read shipped files.
QString sourceDir();
QString stageDir();

} // namespace kv6test
