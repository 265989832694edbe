#pragma once

#include <QString>
#include <QTemporaryDir>

namespace kv6test {

// Points every location the program writes to (documents, app data, both registry stores, task
// and cron folders) at a fresh temporary folder for the lifetime of the object, so no test ever
// touches a real home or /var/lib. Nested instances restore the outer settings when destroyed.
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
// Writes (replacing) a file; a file that cannot be written fails the running test.
void writeFile(const QString &path, const QByteArray &bytes);

// Root of the source tree and of the staged layout, for tests that read shipped files.
QString sourceDir();
QString stageDir();

} // namespace kv6test
