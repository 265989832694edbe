#include "enginetest.h"

#include "dataaccess/datasettings.h"
#include "dataaccess/sqldialect.h"

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

void lockSqliteFile(QProcess &locker, const QString &path)
{
    locker.start(QStringLiteral("/usr/bin/python3"),
        { QStringLiteral("-c"),
            QStringLiteral("import sqlite3, sys\n"
                           "c = sqlite3.connect('file:' + sys.argv[1] + '?mode=rw', uri=True,"
                           " isolation_level=None)\n"
                           "c.execute('BEGIN EXCLUSIVE')\n"
                           "print('locked', flush=True)\n"
                           "sys.stdin.read()\n"),
            path });
    ASSERT_TRUE(locker.waitForReadyRead(20000)) << locker.readAllStandardError().toStdString();
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

void addSampleSuite(kv6::DataConnection &c)
{
    const QStringList statements = {
        QStringLiteral("INSERT INTO companies (company_id, name) VALUES (1, 'Acme'), (2, 'Birch')"),
        QStringLiteral(
            "INSERT INTO printers (printer_id, company_id, name, port, host, manufacturer_model, "
            "connection_type, color_device, duplex_device, device_type) VALUES "
            "(10, 1, 'Front', 'ipp://front/ipp', NULL, NULL, 4, %TRUE%, %TRUE%, 0), "
            "(11, 1, 'back office', 'usb://hp', 'pc-7', 'HP LaserJet 4', 5, %FALSE%, %FALSE%, 0), "
            "(12, 1, 'Copier 2F', 'socket://10.0.0.12', NULL, 'Ricoh MP', 3, %TRUE%, %TRUE%, 1), "
            "(13, 1, 'MFD 3F', 'socket://10.0.0.13', NULL, NULL, 3, %FALSE%, %TRUE%, 2), "
            "(20, 2, 'Lobby', 'lpd://lobby', 'srv', 'Brother HL', 3, %FALSE%, %TRUE%, 0)"),
        QStringLiteral("INSERT INTO users (user_id, company_id, user_name, display_name, "
                       "user_domain) VALUES (100, 1, 'ann', 'Ann Smith', 'ACME'), "
                       "(101, 1, 'bob', NULL, NULL), (200, 2, 'carol', 'Carol Diaz', 'BIRCH')"),
    };
    for (const QString &sql : statements) {
        const kv6::DataResult e = c.Execute(c.dialect().ddl(sql));
        ASSERT_FALSE(e) << e->Description().toStdString();
    }
}

kv6::DemoOptions demoOptions(qint64 jobs, int days, quint64 seed)
{
    kv6::DemoOptions o;
    o.jobs = jobs;
    o.seed = seed;
    o.companies = 2;
    o.printers = 8;
    o.users = 30;
    o.days = days;
    o.lastDay = QDate(2026, 6, 30);
    return o;
}

int addAdminGroup(kv6::DataConnection &c, int type, const QString &name, int company, int owner,
    const QList<int> &members)
{
    int id = 0;
    kv6::DataResult e = kv6::DataSettings::CreateAdminGroup(c, type, name, company, owner, id);
    EXPECT_FALSE(e) << e->Description().toStdString();
    EXPECT_GT(id, 0);
    for (const int m : members) {
        e = kv6::DataSettings::AddAdminGroupMember(c, id, m);
        EXPECT_FALSE(e) << e->Description().toStdString();
    }
    return id;
}

::testing::AssertionResult failsWith(
    const kv6::DataResult &e, int number, const QStringList &mentions)
{
    if (!e)
        return ::testing::AssertionFailure() << "it succeeded";
    const std::string said
        = " (" + std::to_string(e->Number()) + ": " + e->Description().toStdString() + ")";
    if (number && e->Number() != number)
        return ::testing::AssertionFailure() << "not error " << number << said;
    for (const QString &m : mentions) {
        if (!e->Description().contains(m))
            return ::testing::AssertionFailure()
                << "\"" << m.toStdString() << "\" not said" << said;
    }
    return ::testing::AssertionSuccess();
}

QStringList queryRows(kv6::DataConnection &c, const QString &sql, const QVariantList &params)
{
    kv6::RecordsetPtr rs;
    const kv6::DataResult e = c.ReportSQL(sql, params, rs);
    EXPECT_FALSE(e) << sql.toStdString() << ": " << e->Description().toStdString();
    QStringList out;
    for (int r = 0; rs && r < rs->RecordCount(); ++r) {
        QStringList row;
        for (int f = 0; f < rs->FieldCount(); ++f)
            row << rs->ValueAt(r, f).toString();
        out << row.join(QLatin1Char('|'));
    }
    return out;
}

QString openWithDemo(const kv6::DataSource &source, const kv6::DemoOptions &options,
    std::unique_ptr<kv6::DataConnection> &connection)
{
    QVariant version;
    if (kv6::DataResult e = kv6::OpenDataConnection(source, true, version, connection))
        return e->Description();
    if (kv6::DataResult e = kv6::GenerateDemoData(*connection, options))
        return e->Description();
    return {};
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
