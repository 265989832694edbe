#include "privatepostgres.h"

#include "testenv.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QThread>
#include <QUrl>

namespace kv6test {

namespace {

// The script functions that start the shared test server, with this cluster's folder.
QString prelude(const QString &folder)
{
    return QStringLiteral("set -e; source '%1/scripts/lib/servers.sh'; KV6_SERVER_DIR='%2'; ")
        .arg(sourceDir(), folder);
}

} // namespace

PrivatePostgres::PrivatePostgres()
    : m_dir(QStringLiteral("/tmp/kv6-pg-XXXXXX"))
{
    // The cluster runs as another user, who must reach its folder (so it is not in the test's
    // private temporary folder).
    QFile::setPermissions(m_dir.path(),
        QFile::permissions(m_dir.path()) | QFileDevice::ExeOther | QFileDevice::ReadOther
            | QFileDevice::ExeGroup | QFileDevice::ReadGroup);
    QString out;
    if (shell(QStringLiteral("kv6_start_server_postgres >&2; echo \"${KV6_TEST_PG_URL:-}\""), &out))
        m_url = out.trimmed();
    m_port = QString::number(QUrl(m_url).port());
}

PrivatePostgres::~PrivatePostgres()
{
    if (!m_url.isEmpty())
        stopImmediately();
    if (m_locker.state() != QProcess::NotRunning) {
        m_locker.kill();
        m_locker.waitForFinished();
    }
}

QString PrivatePostgres::hostPort() const
{
    return QStringLiteral("127.0.0.1:") + m_port;
}

bool PrivatePostgres::shell(const QString &script, QString *out) const
{
    QProcess p;
    p.start(QStringLiteral("bash"),
        { QStringLiteral("-c"),
            prelude(m_dir.path())
                + QStringLiteral("kv6_pg_bin; KV6_PG_DATA='%1/pg/data'; ").arg(m_dir.path())
                + script });
    const bool ok
        = p.waitForFinished(120000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
    if (out)
        *out = QString::fromUtf8(p.readAllStandardOutput());
    return ok;
}

QString PrivatePostgres::psql() const
{
    return QStringLiteral("kv6_pg_run psql -X -q -h '%1/pg' -p %2 -U postgres -d kv6test")
        .arg(m_dir.path(), m_port);
}

bool PrivatePostgres::lockTables(const QStringList &tables)
{
    m_locker.start(
        QStringLiteral("bash"), { QStringLiteral("-c"), prelude(m_dir.path()) + psql() });
    if (!m_locker.waitForStarted())
        return false;
    m_locker.write(QStringLiteral("BEGIN; LOCK TABLE %1 IN ACCESS EXCLUSIVE MODE; "
                                  "SELECT 'locked';\n")
                       .arg(tables.join(QStringLiteral(", ")))
                       .toUtf8());
    QByteArray said;
    const QDeadlineTimer deadline(30000);
    while (!said.contains("locked") && !deadline.hasExpired()
        && m_locker.state() == QProcess::Running) {
        m_locker.waitForReadyRead(500);
        said += m_locker.readAllStandardOutput();
    }
    return said.contains("locked");
}

bool PrivatePostgres::waitForBlockedQuery(int timeoutMs) const
{
    const QString count = psql()
        + QStringLiteral(" -tA -c \"SELECT count(*) FROM pg_stat_activity "
                         "WHERE wait_event_type = 'Lock' AND usename <> 'postgres'\"");
    const QDeadlineTimer deadline(timeoutMs);
    QString out;
    while (!deadline.hasExpired()) {
        if (shell(count, &out) && out.trimmed().toInt() > 0)
            return true;
        QThread::msleep(100);
    }
    return false;
}

bool PrivatePostgres::stopImmediately()
{
    return shell(
        QStringLiteral("kv6_pg_run \"$KV6_PG_BIN/pg_ctl\" -D \"$KV6_PG_DATA\" -m immediate "
                       "-w stop >/dev/null"));
}

} // namespace kv6test
