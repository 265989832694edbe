#include "testenv.h"

#include <gtest/gtest.h>
#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace kv6test {

namespace {
const char *const kVars[] = { "KV6_DOCUMENTS", "KV6_LOCAL_APPDATA", "KV6_COMMON_APPDATA",
    "KV6_USER_REGISTRY", "KV6_MACHINE_REGISTRY", "KV6_TASK_DIR", "KV6_CRON_DIR", "XDG_CONFIG_HOME",
    "XDG_DATA_HOME", "TMPDIR" };
const char *const kDirs[]
    = { "Documents", "local", "common", "", "", "tasks", "cron.d", "config", "local", "tmp" };
} // namespace

TempEnv::TempEnv()
{
    for (size_t i = 0; i < std::size(kVars); ++i) {
        m_saved.append({ kVars[i], qgetenv(kVars[i]) });
        QString value;
        if (QByteArray(kVars[i]).endsWith("_REGISTRY"))
            value = m_dir.filePath(QString::fromLatin1(kVars[i]).toLower() + QStringLiteral(".db"));
        else {
            value = m_dir.filePath(QString::fromLatin1(kDirs[i]));
            QDir().mkpath(value);
        }
        qputenv(kVars[i], value.toLocal8Bit());
    }
    // A connection or password file the caller's shell names is not the test's.
    for (const char *name : { "KV6_DATABASE", "PGPASSFILE" }) {
        m_saved.append({ name, qgetenv(name) });
        qunsetenv(name);
    }
}

TempEnv::~TempEnv()
{
    for (const auto &[name, value] : m_saved) {
        if (value.isNull())
            qunsetenv(name.constData());
        else
            qputenv(name.constData(), value);
    }
}

QByteArray readFile(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void writeFile(const QString &path, const QByteArray &bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(bytes) != bytes.size())
        ADD_FAILURE() << "cannot write " << path.toStdString();
}

void keepOutput(const QString &path)
{
    const QString dir = qEnvironmentVariable("KV6_KEEP_OUTPUT");
    if (dir.isEmpty())
        return;
    const QString target = dir + u'/' + QFileInfo(path).fileName();
    QFile::remove(target);
    QFile::copy(path, target);
}

QString sourceDir()
{
    return QStringLiteral(KV6TEST_SOURCE_DIR);
}
QString stageDir()
{
    return QStringLiteral(KV6TEST_STAGE_DIR);
}

} // namespace kv6test
