#include "enginetest.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QSqlDatabase>
#include <QSqlError>

namespace kv6test {

bool makeTestSource(Engine engine, TempEnv &env, kv6::DataSource &source, std::string &skip)
{
    if (engine == Engine::SQLite) {
        source = kv6::DataSource();
        source.path = env.path(QStringLiteral("data/print.db"));
        source.createIfMissing = true;
        return true;
    }
    const QString url = qEnvironmentVariable("KV6_TEST_PG_URL");
    if (url.isEmpty()) {
        skip = "KV6_TEST_PG_URL is not set (scripts/test starts a PostgreSQL server)";
        return false;
    }
    QString error;
    if (!kv6::DataSource::fromUrl(url, source, error)) {
        skip = error.toStdString();
        return false;
    }
    source.schema = QStringLiteral("t%1_%2")
                        .arg(QCoreApplication::applicationPid())
                        .arg(QRandomGenerator::global()->generate());
    source.createIfMissing = true;
    return true;
}

bool rawExec(const kv6::DataSource &source, const QStringList &statements, QString *error)
{
    const QString name = QStringLiteral("kv6test-raw");
    bool ok = true;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(
            source.isSQLite() ? QStringLiteral("QSQLITE") : QStringLiteral("QPSQL"), name);
        if (source.isSQLite()) {
            QDir().mkpath(QFileInfo(source.path).absolutePath());
            db.setDatabaseName(source.path);
        } else {
            db.setHostName(source.host);
            db.setPort(source.port);
            db.setDatabaseName(source.database);
            db.setUserName(source.user);
            db.setPassword(source.password);
        }
        ok = db.open();
        QSqlQuery q(db);
        if (ok && !source.isSQLite())
            q.exec(QStringLiteral("SET client_min_messages TO warning"));
        if (ok && !source.isSQLite() && !source.schema.isEmpty())
            ok = q.exec(QStringLiteral("CREATE SCHEMA IF NOT EXISTS \"%1\"").arg(source.schema))
                && q.exec(QStringLiteral("SET search_path TO \"%1\"").arg(source.schema));
        for (const QString &s : statements) {
            if (!ok)
                break;
            ok = q.exec(s);
        }
        if (!ok && error)
            *error = q.lastError().text() + db.lastError().text();
        db.close();
    }
    QSqlDatabase::removeDatabase(name);
    return ok;
}

void dropTestSource(const kv6::DataSource &source)
{
    if (source.isSQLite() || source.schema.isEmpty())
        return;
    kv6::DataSource s = source;
    const QString schema = s.schema;
    s.schema.clear();
    rawExec(s, { QStringLiteral("DROP SCHEMA IF EXISTS \"%1\" CASCADE").arg(schema) });
}

} // namespace kv6test
