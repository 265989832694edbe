#include "dataaccess/dataaccessglobal.h"
#include "dataaccess/dataconnection.h"
#include "dataaccess/datasettings.h"
#include "dataaccess/schema.h"
#include "dataaccess/sqldialect.h"
#include "enginetest.h"

#include <functional>
#include <QDateTime>
#include <QFile>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>

using namespace kv6;
using kv6test::Engine;

namespace {

// The sample suite and one job of Ann's on the colour printer, written through the library.
void addSampleJob(DataConnection &c)
{
    ASSERT_NO_FATAL_FAILURE(kv6test::addSampleSuite(c));
    ASSERT_FALSE(c.Execute(
        QStringLiteral("INSERT INTO print_jobs (company_id, user_id, printer_id, job_time, pages, "
                       "color_pages, duplex, job_cost, document_name) VALUES (1, 100, 10, ?, ?, "
                       "?, ?, ?, ?)"),
        { QStringLiteral("2026-03-01 08:15:00"), 3, 1, true, 0.1234, QStringLiteral("a.pdf") }));
}

// The first schema version, marked as such, and `extra` statements after it.
QStringList versionOne(const DataSource &source, const QStringList &extra)
{
    auto dialect = SqlDialect::create(source.type);
    QStringList v1;
    for (const QString &s : SchemaStepStatements(1))
        v1 << dialect->ddl(s);
    return v1 << QStringLiteral(
               "INSERT INTO schema_info (name, value) VALUES ('SchemaVersion', '1')")
              << extra;
}

int typeOf(const RecordsetPtr &t, const QString &field)
{
    return t->FieldAt(t->FieldIndex(field)).type;
}

QVariant valueOf(const RecordsetPtr &t, int row, const QString &field)
{
    return t->ValueAt(row, t->FieldIndex(field));
}

} // namespace

class ConnectionTest : public kv6test::EngineTest
{
};
KV6_ENGINES(ConnectionTest);

TEST_P(ConnectionTest, FreshDatabaseGetsCurrentSchema)
{
    QVariant version;
    const DataResult e = OpenDataConnection(source, false, version, connection);
    ASSERT_FALSE(e) << e->Description().toStdString();
    EXPECT_EQ(version.toInt(), CurrentSchemaVersion);
    // Reports pick their query by the type of the database last opened.
    EXPECT_EQ(
        DataSettings::DatabaseType(), isSQLite() ? DatabaseTypeSQLite : DatabaseTypePostgreSQL);
    EXPECT_TRUE(connection->Description().contains(
        QStringLiteral("schema version %1").arg(CurrentSchemaVersion)))
        << connection->Description().toStdString();
    EXPECT_FALSE(connection->Verify(VerifySchema | VerifyStorage));
    EXPECT_EQ(kv6test::queryRows(*connection,
                  QStringLiteral(
                      "SELECT text FROM enumeration_texts WHERE enum_type = ? AND enum_value = ?"),
                  { 17, 1 }),
        QStringList { QStringLiteral("Copier") });
}

TEST_P(ConnectionTest, ColumnTypesBecomeAdoTypes)
{
    openFresh();
    addSampleJob(*connection);
    RecordsetPtr t;
    const QString sql = QStringLiteral(
        "SELECT j.job_time, j.duplex, j.job_cost, j.pages, j.document_name, "
        "p.color_device, j.size_bytes, MIN(j.job_time) AS first_time, "
        "COUNT(*) AS jobs FROM print_jobs j JOIN printers p ON p.printer_id = "
        "j.printer_id WHERE j.pages = ? GROUP BY j.job_time, j.duplex, j.job_cost, "
        "j.pages, j.document_name, p.color_device, j.size_bytes");
    ASSERT_FALSE(connection->ReportSQL(sql, QVariantList { 3 }, t));
    ASSERT_EQ(t->RecordCount(), 1);
    struct Expect
    {
        const char *field;
        int type;
        QVariant value;
    };
    const QDateTime when(QDate(2026, 3, 1), QTime(8, 15));
    const Expect rows[] = {
        { "job_time", adDBTimeStamp, when },
        { "duplex", adBoolean, true },
        { "job_cost", adCurrency, 0.1234 },
        { "pages", adInteger, 3 },
        { "document_name", adVarWChar, QStringLiteral("a.pdf") },
        { "color_device", adBoolean, true },
        { "size_bytes", adBigInt, QVariant() },
        // An expression over a timestamp: typed by its value on SQLite, by the oid on the server.
        { "first_time", adDBTimeStamp, when },
    };
    for (const Expect &x : rows) {
        const QString f = QString::fromLatin1(x.field);
        EXPECT_EQ(typeOf(t, f), x.type) << x.field;
        EXPECT_EQ(valueOf(t, 0, f), x.value) << x.field;
    }
    // Aggregates are integers on both engines (PostgreSQL widens COUNT and SUM to bigint).
    const int jobs = typeOf(t, QStringLiteral("jobs"));
    EXPECT_TRUE(jobs == adInteger || jobs == adBigInt) << jobs;
    EXPECT_EQ(valueOf(t, 0, QStringLiteral("jobs")).toInt(), 1);

    // Without rows the columns keep the types they are declared with.
    ASSERT_FALSE(connection->ReportSQL(sql, QVariantList { 99 }, t));
    EXPECT_EQ(t->RecordCount(), 0);
    EXPECT_TRUE(t->Eof() && t->Bof());
    for (const Expect &x : rows) {
        if (x.field != std::string_view("first_time")) { // on SQLite typed by its values only
            EXPECT_EQ(typeOf(t, QString::fromLatin1(x.field)), x.type) << x.field;
        }
    }
}

TEST_P(ConnectionTest, FailingQueryNamesTheDatabase)
{
    openFresh();
    RecordsetPtr t;
    const DataResult e
        = connection->ReportSQL(QStringLiteral("SELECT missing_col FROM no_such_table"), {}, t);
    EXPECT_TRUE(kv6test::failsWith(
        e, dataErrQuery, { source.description(), QStringLiteral("no_such_table") }));
    // An error after the first rows fails the query too: half a result would be a wrong report.
    const QString failsAtRowSix = isSQLite()
        ? QStringLiteral(
            "WITH RECURSIVE n(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM n WHERE x < "
            "9) SELECT CASE WHEN x > 5 THEN abs(-9223372036854775808) ELSE x END FROM n")
        : QStringLiteral("SELECT CASE WHEN x > 5 THEN 1 / (x - x) ELSE x END "
                         "FROM generate_series(1, 9) x");
    EXPECT_TRUE(kv6test::failsWith(
        connection->ReportSQL(failsAtRowSix, {}, t), 0, { source.description() }));
    EXPECT_FALSE(t);
    // The connection stays usable.
    EXPECT_FALSE(connection->ReportSQL(QStringLiteral("SELECT 1"), {}, t));
}

TEST_P(ConnectionTest, OlderSchemaIsUpgradedKeepingItsRows)
{
    const QStringList v1 = versionOne(source,
        { QStringLiteral("INSERT INTO companies (company_id, name) VALUES (4, 'Old Co')"),
            QStringLiteral("INSERT INTO users (user_id, company_id, user_name) VALUES (5, 4, 'u')"),
            QStringLiteral(
                "INSERT INTO printers (printer_id, company_id, name) VALUES (6, 4, 'p')"),
            QStringLiteral("INSERT INTO print_jobs (company_id, user_id, printer_id, job_time, "
                           "pages) VALUES (4, 5, 6, '2026-03-29 02:30:00', 3), "
                           "(4, 5, 6, '2026-03-29 23:59:59', 4)") });
    QString error;
    ASSERT_TRUE(kv6test::rawExec(source, v1, &error)) << error.toStdString();

    source.createIfMissing = false;
    openFresh();
    const auto rows = [&](const char *sql) {
        return kv6test::queryRows(*connection, QString::fromLatin1(sql)).join(u'\n');
    };
    EXPECT_EQ(rows("SELECT c.name, (SELECT count(*) FROM print_jobs WHERE job_cost IS NULL) "
                   "FROM companies c"),
        QStringLiteral("Old Co|2"));
    EXPECT_FALSE(connection->Verify(VerifySchema));
    // The summaries start out holding the jobs the database already had.
    EXPECT_EQ(rows("SELECT jobs, pages, largest_job FROM print_job_days"), QStringLiteral("2|7|4"));
    // The upgraded triggers carry a job written afterwards into the same day.
    ASSERT_FALSE(connection->Execute(
        QStringLiteral("INSERT INTO print_jobs (company_id, user_id, printer_id, job_time, pages) "
                       "VALUES (4, 5, 6, '2026-03-29 12:00:00', 9)")));
    EXPECT_EQ(rows("SELECT d.jobs, d.pages, d.largest_job, m.jobs, h.pages FROM print_job_days d, "
                   "print_job_months m, print_job_hours h WHERE h.job_hour = 12"),
        QStringLiteral("3|16|9|3|9"));
}

TEST_P(ConnectionTest, FailedUpgradeLeavesTheOldSchema)
{
    // An object in the way of the upgrade's second index makes the upgrade fail half-way.
    ASSERT_TRUE(kv6test::rawExec(source,
        versionOne(
            source, { QStringLiteral("CREATE INDEX print_jobs_user_time ON companies (name)") })));

    QVariant version;
    EXPECT_TRUE(kv6test::failsWith(OpenDataConnection(source, false, version, connection),
        dataErrUpgrade, { QStringLiteral("version 1") }));

    // Neither the column nor the first index of the step survived.
    QString error;
    EXPECT_FALSE(kv6test::rawExec(source, { QStringLiteral("SELECT job_cost FROM print_jobs") }));
    EXPECT_TRUE(kv6test::rawExec(source,
        { QStringLiteral("CREATE INDEX print_jobs_time ON "
                         "print_jobs (job_time)") },
        &error))
        << error.toStdString();
}

TEST_P(ConnectionTest, NewerSchemaIsRefusedAndLeftAlone)
{
    openFresh();
    ASSERT_FALSE(connection->Execute(
        QStringLiteral("UPDATE schema_info SET value = '99' WHERE name = 'SchemaVersion'")));
    connection.reset();

    QVariant version;
    EXPECT_TRUE(kv6test::failsWith(OpenDataConnection(source, false, version, connection),
        dataErrSchemaNewer, { QStringLiteral("99") }));

    DataConnection plain(source);
    ASSERT_FALSE(plain.Open(false));
    QSqlDatabase db = plain.database();
    EXPECT_EQ(StoredSchemaVersion(db), 99);
    EXPECT_TRUE(
        kv6test::failsWith(plain.Verify(VerifySchema | VerifyStorage), dataErrNeedsAttention));
}

// Closed and opened again read-only: writes are refused, reads work.
TEST_P(ConnectionTest, ReadOnlyOptionRefusesWrites)
{
    openFresh();
    ASSERT_FALSE(connection->Disconnect());
    EXPECT_FALSE(connection->IsOpen());
    connection->SetOption(true);
    ASSERT_FALSE(connection->Connect(true));
    EXPECT_TRUE(kv6test::failsWith(
        connection->Execute(QStringLiteral("INSERT INTO companies (name) VALUES ('X')")),
        dataErrQuery));
    RecordsetPtr t;
    EXPECT_FALSE(connection->ReportSQL(QStringLiteral("SELECT count(*) FROM companies"), {}, t));

    // Session settings are no writes: a report query reads them on a read-only connection, Null
    // until set and again after a reconnection.
    const auto setting = [&]() {
        return kv6test::queryRows(*connection,
            QStringLiteral("SELECT COALESCE(current_setting(?, true), 'none'), "
                           "COALESCE(current_setting('kv6.other', true), 'none')"),
            { QString::fromLatin1(kv6::ReportRowsSetting) });
    };
    EXPECT_EQ(setting(), QStringList { QStringLiteral("none|none") });
    ASSERT_FALSE(connection->SetSessionSetting(
        QString::fromLatin1(kv6::ReportRowsSetting), QStringLiteral("company")));
    EXPECT_EQ(setting(), QStringList { QStringLiteral("company|none") });
    ASSERT_FALSE(connection->Disconnect());
    ASSERT_FALSE(connection->Connect(true));
    EXPECT_EQ(setting(), QStringList { QStringLiteral("none|none") });
    // Without missing_ok an unknown setting is an error, as on a server.
    EXPECT_TRUE(
        connection->ReportSQL(QStringLiteral("SELECT current_setting('kv6.other', false)"), {}, t));
}

// Failures that only one engine can show: each is refused with its number and says where, and
// leaves what was there as it was.
TEST(Connection, SourcesThatCannotBeOpenedAreRefusedAndLeftAsTheyWere)
{
    kv6test::TempEnv env;
    DataSource server;
    std::string skip;
    const bool haveServer = kv6test::makeTestSource(Engine::PostgreSQL, env, server, skip);
    const QByteArray notes = QByteArray("These are meeting notes, not a database.\n").repeated(200);
    struct Case
    {
        const char *what;
        std::function<bool(DataSource &)> arrange; // false: the case cannot run here
        int number;
        QString mentions;
    };
    const QList<Case> cases = {
        { "a configured file that is missing",
            [&](DataSource &s) {
                s.path = env.path(QStringLiteral("nowhere/print.db"));
                return true;
            },
            dataErrCannotOpen, env.path(QStringLiteral("nowhere/print.db")) },
        { "a file that is no database",
            [&](DataSource &s) {
                s.path = env.path(QStringLiteral("notes.db"));
                s.createIfMissing = true;
                kv6test::writeFile(s.path, notes);
                return true;
            },
            dataErrNotDatabase, env.path(QStringLiteral("notes.db")) },
        { "the database of another program",
            [&](DataSource &s) {
                s.path = env.path(QStringLiteral("other.db"));
                s.createIfMissing = true;
                return kv6test::rawExec(s, { QStringLiteral("CREATE TABLE recipes (name TEXT)") });
            },
            dataErrNotDatabase, env.path(QStringLiteral("other.db")) },
        { "a wrong password",
            [&](DataSource &s) {
                s = server;
                s.password = QStringLiteral("not-the-password");
                return haveServer;
            },
            dataErrCannotOpen, QStringLiteral("password authentication failed") },
        { "a server that does not answer",
            [&](DataSource &s) {
                s = server;
                s.port = 1; // nothing listens there
                return haveServer;
            },
            dataErrCannotOpen, QStringLiteral("127.0.0.1:1") },
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        DataSource s;
        if (!c.arrange(s))
            continue;
        QVariant v;
        std::unique_ptr<DataConnection> opened;
        EXPECT_TRUE(
            kv6test::failsWith(OpenDataConnection(s, false, v, opened), c.number, { c.mentions }));
        EXPECT_FALSE(opened);
    }
    EXPECT_FALSE(QFile::exists(env.path(QStringLiteral("nowhere/print.db"))));
    EXPECT_EQ(kv6test::readFile(env.path(QStringLiteral("notes.db"))), notes);
    DataSource other;
    other.path = env.path(QStringLiteral("other.db"));
    EXPECT_FALSE(kv6test::rawExec(other, { QStringLiteral("SELECT * FROM schema_info") }));
    if (haveServer)
        kv6test::dropTestSource(server);
}

// A file another program keeps locked for longer than the wait is named as locked, not as
// something that is no database; once let go, it opens.
TEST(SqliteConnection, FileLockedByAnotherProgramIsReportedAsLocked)
{
    kv6test::TempEnv env;
    DataSource s;
    s.path = env.path(QStringLiteral("busy.db"));
    s.createIfMissing = true;
    QVariant v;
    std::unique_ptr<DataConnection> c;
    ASSERT_FALSE(OpenDataConnection(s, false, v, c));
    c.reset();
    QProcess locker;
    ASSERT_NO_FATAL_FAILURE(kv6test::lockSqliteFile(locker, s.path));
    s.busyTimeoutMs = 300;
    for (bool readOnly : { false, true }) {
        EXPECT_TRUE(kv6test::failsWith(OpenDataConnection(s, readOnly, v, c), dataErrCannotOpen,
            { QStringLiteral("locked"), s.path }));
    }
    locker.closeWriteChannel();
    ASSERT_TRUE(locker.waitForFinished());
    EXPECT_FALSE(OpenDataConnection(s, false, v, c));
}

// Every field's name, type and defined size, and every cell's type and value, are the same.
static void expectSameTables(const Recordset &got, const Recordset &want, int rows)
{
    ASSERT_EQ(got.FieldCount(), want.FieldCount());
    ASSERT_EQ(got.RecordCount(), rows);
    ASSERT_EQ(got.RecordCount(), want.RecordCount());
    for (int c = 0; c < want.FieldCount(); ++c) {
        const FieldInfo &g = got.FieldAt(c), &w = want.FieldAt(c);
        EXPECT_EQ(g.name, w.name);
        EXPECT_EQ(g.type, w.type) << w.name.toStdString();
        EXPECT_EQ(g.definedSize, w.definedSize) << w.name.toStdString();
        for (int r = 0; r < want.RecordCount(); ++r) {
            const QVariant a = got.ValueAt(r, c), b = want.ValueAt(r, c);
            // Equal time stamps may still be given in different zones.
            if (a.typeId() != b.typeId() || a != b
                || (a.typeId() == QMetaType::QDateTime
                    && a.toDateTime().timeSpec() != b.toDateTime().timeSpec())) {
                ADD_FAILURE() << w.name.toStdString() << " row " << r << ": "
                              << a.toString().toStdString() << " / " << b.toString().toStdString();
                break;
            }
        }
    }
}

// SQLite's own reader types and converts every cell as the driver's rows would be: declared and
// undeclared columns holding integers, wide integers, reals, texts, timestamps, blobs and Nulls.
TEST(SqliteConnection, ReadingTheStatementEqualsReadingTheDriversRows)
{
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("raw"));
    db.setDatabaseName(QStringLiteral(":memory:"));
    ASSERT_TRUE(db.open());
    QSqlQuery setup(db);
    ASSERT_TRUE(setup.exec(QStringLiteral(
        "CREATE TABLE t (i INTEGER, b BOOLEAN, d DATETIME, m NUMERIC(19,4), x BLOB, s TEXT)")));
    ASSERT_TRUE(setup.exec(QStringLiteral(
        "INSERT INTO t VALUES (1, 1, '2026-03-01 08:15:00', 0.12345, x'00ff', 'a'), "
        "(3000000000, 't', '2026-03-01', 2, NULL, ''), ('12', 0, '2026-03-01T08:15:00', NULL, "
        "'x', 5), (NULL, NULL, 'soon', '1.5', x'41', NULL)")));
    const auto dialect = SqlDialect::create(DatabaseTypeSQLite);
    const QString sql = QStringLiteral(
        "WITH RECURSIVE n(k) AS (SELECT 1 UNION ALL SELECT k + 1 FROM n WHERE k < 40000) "
        "SELECT t.*, k, k * 0.5 AS half, CASE WHEN k % 3 THEN k ELSE 'w' || k END AS mixed, "
        "CASE WHEN k % 2 THEN date('2026-01-01', '+' || (k % 400) || ' days') END AS day, "
        "'u' || (k % 7) AS few, 'n' || k || ifnull(i, '') AS distinct_text, "
        "d || '' AS stamp_text, CASE WHEN k > 39990 THEN 5000000000 ELSE k END AS widens, "
        "NULL AS empty, CASE WHEN k > 0 THEN x END AS blob "
        "FROM t, n ORDER BY k, i");
    QSqlQuery viaStatement(db), viaDriver(db);
    viaStatement.setForwardOnly(true);
    viaDriver.setForwardOnly(true);
    ASSERT_TRUE(viaStatement.exec(sql)) << viaStatement.lastError().text().toStdString();
    ASSERT_TRUE(viaDriver.exec(sql));
    QString error;
    const RecordsetPtr got = dialect->read(viaStatement, error);
    ASSERT_TRUE(got) << error.toStdString();
    const RecordsetPtr want = ReadRecordset(viaDriver, dialect->declaredTypes(viaDriver));
    expectSameTables(*got, *want, 160000);
    viaStatement.clear();
    viaDriver.clear();
    db.close();
}

// Rows read folded are the rows a combining step keeps: consecutive rows alike fold, their
// sums added and their least and most kept; rows alike but apart, a Null, a sum past the
// column's width or a key that differs start a row of their own; a cell that is not kept still
// decides its column's type; a sum of money folds nothing.
TEST(SqliteConnection, FoldedRowsAreTheRowsCombiningKeeps)
{
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("fold"));
    db.setDatabaseName(QStringLiteral(":memory:"));
    ASSERT_TRUE(db.open());
    QSqlQuery setup(db);
    ASSERT_TRUE(setup.exec(QStringLiteral("CREATE TABLE t (n INTEGER, k TEXT, day INTEGER, "
                                          "pages INTEGER, part REAL, size INTEGER, label TEXT, "
                                          "cost NUMERIC(19,4))")));
    ASSERT_TRUE(setup.exec(QStringLiteral(
        "INSERT INTO t VALUES (1, 'a', 1, 10, 0.5, 7, '2026-01-01', 1), "
        "(2, 'a', 1, 5, 0.25, 3, 'x', 1), (3, 'b', 1, 1, 1.0, 9, '2026-01-02', 1), "
        "(4, 'a', 1, 2, 1.0, 1, '2026-01-03', 1), (5, 'a', 1, NULL, 1.0, 1, '2026-01-04', 1), "
        "(6, 'a', 1, 2147483000, 1.0, 1, '2026-01-05', 1), "
        "(7, 'a', 1, 1000, 1.0, 8, '2026-01-06', 1), (8, 'a', 2, 1, 1.0, 1, '2026-01-07', 1)")));
    const auto dialect = SqlDialect::create(DatabaseTypeSQLite);
    const auto read = [&](const RowFolding &folding) {
        QSqlQuery q(db);
        q.setForwardOnly(true);
        EXPECT_TRUE(q.exec(QStringLiteral(
            "SELECT k AS K, day + 0 AS Day, pages + 0 AS Pages, part, size + 0 AS Size, "
            "label || '' AS Label, cost FROM t ORDER BY n")));
        QString error;
        RecordsetPtr rs = dialect->read(q, error, &folding);
        EXPECT_TRUE(rs) << error.toStdString();
        return rs;
    };
    RowFolding folding;
    folding.alike = QStringList { QStringLiteral("k"), QStringLiteral("day") };
    folding.sums = QStringList { QStringLiteral("pages"), QStringLiteral("part") };
    folding.least = QStringList { QStringLiteral("size") };
    RecordsetPtr rs = read(folding);
    ASSERT_TRUE(rs);
    const QVariantList pages { 15, 1, 2, QVariant(), 2147483000, 1000, 1 };
    const QVariantList parts { 0.75, 1.0, 1.0, 1.0, 1.0, 1.0, 1.0 };
    const QVariantList sizes { 3, 9, 1, 1, 1, 8, 1 };
    ASSERT_EQ(rs->RecordCount(), pages.size());
    EXPECT_EQ(rs->FieldAt(2).type, adInteger);
    EXPECT_EQ(rs->FieldAt(5).type, adVarWChar); // 'x' was read, though not kept
    for (int r = 0; r < rs->RecordCount(); ++r) {
        SCOPED_TRACE(r);
        EXPECT_EQ(rs->ValueAt(r, 2), pages.at(r));
        EXPECT_EQ(rs->ValueAt(r, 3).toDouble(), parts.at(r).toDouble());
        EXPECT_EQ(rs->ValueAt(r, 4), sizes.at(r));
    }
    EXPECT_EQ(rs->ValueAt(0, 5).toString(), QStringLiteral("2026-01-01"));
    EXPECT_EQ(rs->ValueAt(1, 0).toString(), QStringLiteral("b"));
    // Money is rounded value by value before it is added, and a column both alike and added
    // would make a value no row had: such foldings fold nothing.
    RowFolding alikeAndAdded;
    alikeAndAdded.alike = QStringList { QStringLiteral("k"), QStringLiteral("Size") };
    alikeAndAdded.sums = QStringList { QStringLiteral("size") };
    folding.sums << QStringLiteral("cost");
    for (const RowFolding &f : { folding, alikeAndAdded }) {
        rs = read(f);
        ASSERT_TRUE(rs);
        EXPECT_EQ(rs->RecordCount(), 8);
    }
    rs.reset();
    db.close();
}

// PostgreSQL's own reader gives what the driver's rows give, parameters bound alike: every
// type the reader takes, repeated and distinct texts, days and time stamps (across clock
// changes, with fractions and zones), Nulls, and a type it leaves to the driver.
TEST(PostgresConnection, ReadingTheResultEqualsReadingTheDriversRows)
{
    kv6test::TempEnv env;
    DataSource source;
    std::string skip;
    if (!kv6test::makeTestSource(Engine::PostgreSQL, env, source, skip))
        GTEST_SKIP() << skip;
    const auto dialect = SqlDialect::create(DatabaseTypePostgreSQL);
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(dialect->driverName(), QStringLiteral("pgraw"));
        ASSERT_FALSE(dialect->open(db, source, false));
        const QString sql = QStringLiteral(
            "SELECT k, (k % 30000 - 15000)::int2 AS small, (k - 20000) * 3000000000 AS big, k * "
            "0.5 AS half, "
            "(k / 7.0)::float4 AS single, (k / 3.0)::numeric(19,4) AS money, k / 3.0 AS ratio, "
            "k % 2 = 0 AS even, CASE WHEN k % 5 > 0 THEN 'u' || (k % 7) END AS few, "
            "'n' || k || '\u00fc' AS distinct_text, 'm' || k * 2 / 3 AS mostly_distinct, "
            "('v' || k % 9)::varchar AS v, "
            "'ab'::char(4) AS padded, current_schema()::name AS schema, "
            "date '2026-01-01' + k % 400 AS day, "
            "timestamp '2026-03-29 00:00:00' + k * interval '17 minutes 13 seconds' AS stamp, "
            "timestamp '2026-10-25 01:59:58' + k * interval '0.25 seconds' AS fraction, "
            "(timestamp '2026-10-25 00:00:00' + k * interval '7 minutes')::timestamptz AS zoned, "
            "'\\x00ff'::bytea || int4send(k) AS blob, NULL::int AS empty, "
            "?::date + k % 3 AS from_day, ? || k % 2 AS label, k + ? AS number, ?::text AS "
            "nothing, ?::text AS no_text, ?::text AS blank "
            "FROM generate_series(1, 40000) k");
        const QVariantList params { QStringLiteral("2026-02-01"), QStringLiteral("p'?"), 42,
            QVariant(), QString(), QStringLiteral("") };
        QSqlQuery viaDriver(db);
        viaDriver.setForwardOnly(true);
        ASSERT_TRUE(viaDriver.prepare(sql)) << viaDriver.lastError().text().toStdString();
        for (const QVariant &v : params)
            viaDriver.addBindValue(v);
        ASSERT_TRUE(viaDriver.exec()) << viaDriver.lastError().text().toStdString();
        const RecordsetPtr want = ReadRecordset(viaDriver, dialect->declaredTypes(viaDriver));
        viaDriver.clear();
        RecordsetPtr got;
        QString error;
        ASSERT_EQ(dialect->run(db, sql, params, got, error), SqlDialect::Run::Read)
            << error.toStdString();
        expectSameTables(*got, *want, 40000);
        // A time of day is left to the driver; a failing statement says what the driver says.
        EXPECT_EQ(dialect->run(db, QStringLiteral("SELECT time '08:00'"), {}, got, error),
            SqlDialect::Run::NotRun);
        ASSERT_EQ(
            dialect->run(db, QStringLiteral("SELECT 1 / (k - 3) FROM generate_series(1, 5) k"), {},
                got, error),
            SqlDialect::Run::Failed);
        EXPECT_TRUE(error.startsWith(QStringLiteral("ERROR:  division by zero")))
            << error.toStdString();
        ASSERT_EQ(
            dialect->run(db, QStringLiteral("SELECT 2"), {}, got, error), SqlDialect::Run::Read);
        EXPECT_EQ(got->ValueAt(0, 0), QVariant(2));
    }
    QSqlDatabase::removeDatabase(QStringLiteral("pgraw"));
    kv6test::dropTestSource(source);
}

TEST(DataSourceUrl, ParsesBothForms)
{
    struct Row
    {
        const char *url;
        bool ok;
        int type;
        const char *pathOrHost;
        int port;
        const char *database;
    };
    const Row rows[] = {
        { "/var/lib/print.db", true, DatabaseTypeSQLite, "/var/lib/print.db", 0, "" },
        { "sqlite:/tmp/a.db", true, DatabaseTypeSQLite, "/tmp/a.db", 0, "" },
        { "postgresql://u:p@db.local:6543/jobs", true, DatabaseTypePostgreSQL, "db.local", 6543,
            "jobs" },
        { "postgresql://u@db.local/jobs", true, DatabaseTypePostgreSQL, "db.local", 5432, "jobs" },
        { "postgresql://u:p@db.local:6543/", false, 0, "", 0, "" }, // no database
        { "mysql://x/y", false, 0, "", 0, "" },
        { "", false, 0, "", 0, "" },
    };
    for (const Row &r : rows) {
        DataSource s;
        QString error;
        const bool ok = DataSource::fromUrl(QString::fromLatin1(r.url), s, error);
        EXPECT_EQ(ok, r.ok) << r.url;
        if (!ok || !r.ok) {
            EXPECT_FALSE(error.isEmpty()) << r.url;
            continue;
        }
        EXPECT_EQ(s.type, r.type) << r.url;
        EXPECT_EQ(s.isSQLite() ? s.path : s.host, QString::fromLatin1(r.pathOrHost)) << r.url;
        if (!s.isSQLite()) {
            EXPECT_EQ(s.port, r.port) << r.url;
            EXPECT_EQ(s.database, QString::fromLatin1(r.database)) << r.url;
            EXPECT_EQ(s.password.isEmpty(), !QByteArray(r.url).contains(":p@")) << r.url;
        }
        DataSource back;
        EXPECT_TRUE(DataSource::fromUrl(s.toUrl(true), back, error)) << r.url;
        EXPECT_EQ(back.toUrl(true), s.toUrl(true));
    }
}

TEST_P(ConnectionTest, ResultsArriveAsAnOpenRecordSet)
{
    openFresh();
    // Enough rows to exercise the bulk path, with a repeated column name and a wide integer.
    RecordsetPtr t;
    const DataResult e = connection->ReportSQL(
        QStringLiteral("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n "
                       "WHERE i < ?) SELECT i AS name, i * 3000000000 AS big, 'x' AS name "
                       "FROM n ORDER BY i DESC"),
        QVariantList { 5000 }, t);
    ASSERT_FALSE(e) << e->Description().toStdString();
    ASSERT_TRUE(t->IsOpen());
    ASSERT_EQ(t->RecordCount(), 5000);
    EXPECT_EQ(t->AbsolutePosition(), 1);
    EXPECT_EQ(t->FieldAt(0).name, QStringLiteral("name"));
    EXPECT_EQ(t->FieldAt(2).name, QStringLiteral("name1"));
    EXPECT_EQ(t->FieldAt(0).type, adInteger);
    EXPECT_EQ(t->FieldAt(1).type, adBigInt);
    EXPECT_EQ(t->FieldAt(2).type, adVarWChar);
    EXPECT_EQ(t->Value(0), QVariant(5000));
    EXPECT_EQ(t->Value(1), QVariant(qlonglong(5000) * 3000000000LL));
    t->MoveLast();
    EXPECT_EQ(t->Value(QStringLiteral("name")), QVariant(1));
    // The set is the caller's own: it can be sorted and grown like any other.
    t->SetSort(QStringLiteral("name ASC"));
    EXPECT_EQ(t->Value(0).toInt(), 1);
    t->AddNew({ 0, 0LL, QStringLiteral("y") });
    t->Update();
    EXPECT_EQ(t->RecordCount(), 5001);
}

// Where the configured connection comes from: KV6_DATABASE, then the registry store, then the
// default file.
TEST(ConfiguredSource, StoredConnectionRoundTripsExactly)
{
    kv6test::TempEnv env;
    DataSource s;
    QString error;
    EXPECT_FALSE(ReadStoredDataSource(s, error));
    EXPECT_TRUE(error.isEmpty());
    EXPECT_EQ(ConfiguredDataSource().path, DefaultDatabasePath());
    EXPECT_TRUE(ConfiguredDataSource().createIfMissing);

    DataSource pg;
    pg.type = DatabaseTypePostgreSQL;
    pg.host = QStringLiteral("db.acme.example");
    pg.port = 6543;
    pg.database = QStringLiteral("print jobs");
    pg.user = QStringLiteral("rep@acme");
    // Nothing in a password may be trimmed, expanded or taken for URL syntax.
    pg.password = QStringLiteral(" %PATH% p@ss:/w?rd#  ");
    pg.schema = QStringLiteral("tracking");
    ASSERT_TRUE(StoreDataSource(pg, error)) << error.toStdString();
    ASSERT_TRUE(ReadStoredDataSource(s, error)) << error.toStdString();
    EXPECT_EQ(s.toUrl(true), pg.toUrl(true));
    EXPECT_EQ(s.password, pg.password);
    EXPECT_EQ(s.database, pg.database);
    EXPECT_FALSE(s.createIfMissing);
    EXPECT_EQ(ConfiguredDataSource().host, pg.host);

    // A stored file must exist, unless it is the default one.
    DataSource file;
    file.path = env.path(QStringLiteral("elsewhere/print.db"));
    ASSERT_TRUE(StoreDataSource(file, error));
    ASSERT_TRUE(ReadStoredDataSource(s, error));
    EXPECT_EQ(s.path, file.path);
    EXPECT_FALSE(s.createIfMissing);
    ASSERT_TRUE(StoreDataSource(DefaultDataSource(), error));
    ASSERT_TRUE(ReadStoredDataSource(s, error));
    EXPECT_TRUE(s.createIfMissing);

    // The environment wins over the store.
    qputenv("KV6_DATABASE", "sqlite:/tmp/from-env.db");
    EXPECT_EQ(ConfiguredDataSource().path, QStringLiteral("/tmp/from-env.db"));
}
