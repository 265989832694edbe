#pragma once

// Runs the same test cases against a real SQLite file and a real PostgreSQL server. The server
// comes from KV6_TEST_PG_URL (set by scripts/test); without it the PostgreSQL cases skip. Each
// PostgreSQL case works in a schema of its own, so parallel test processes never meet.

#include "dataaccess/dataconnection.h"
#include "dataaccess/demodata.h"
#include "testenv.h"

#include <gtest/gtest.h>
#include <memory>
#include <QProcess>
#include <QSqlQuery>

namespace kv6test {

enum class Engine { SQLite, PostgreSQL };

inline std::string engineName(const ::testing::TestParamInfo<Engine> &info)
{
    return info.param == Engine::SQLite ? "SQLite" : "PostgreSQL";
}

// A source on the given engine that may be created; "" as skip reason when available.
bool makeTestSource(Engine engine, TempEnv &env, kv6::DataSource &source, std::string &skip);
// Drops the schema a PostgreSQL test source used.
void dropTestSource(const kv6::DataSource &source);
// Runs SQL directly, bypassing the library, for arranging broken or old databases.
bool rawExec(
    const kv6::DataSource &source, const QStringList &statements, QString *error = nullptr);
// Another program holds the SQLite file locked (an exclusive transaction left open) until
// `locker` has its input closed; a failure to lock it fails the running test.
void lockSqliteFile(QProcess &locker, const QString &path);

// Whether `e` is a failure numbered `number` (any number when 0) whose description holds every
// one of `mentions`; the message says what it was instead.
::testing::AssertionResult failsWith(
    const kv6::DataResult &e, int number, const QStringList &mentions = {});

// A small suite written through the library: companies 1 "Acme" and 2 "Birch"; Acme's printers
// 10 "Front" (colour, duplex, Null host and model) and 11 "back office", its copier 12 "Copier
// 2F" and multifunction device 13 "MFD 3F"; Birch's printer 20 "Lobby"; users 100 ann ("Ann
// Smith", domain ACME), 101 bob (no display name) of Acme, 200 carol ("Carol Diaz") of Birch.
void addSampleSuite(kv6::DataConnection &c);

// An administration group (AdminObjectPrinter or AdminObjectUser) with its members, in the order
// given; a failure fails the running test. The group's id.
int addAdminGroup(kv6::DataConnection &c, int type, const QString &name, int company, int owner = 0,
    const QList<int> &members = {});

// The rows a query gives, each its values as text joined with "|"; a failed query fails the
// running test.
QStringList queryRows(kv6::DataConnection &c, const QString &sql, const QVariantList &params = {});

// The demo history the tests share: two companies of 8 printers and 30 users a company, ending
// on 30 June 2026.
kv6::DemoOptions demoOptions(qint64 jobs, int days = 120, quint64 seed = 1);
// Opens (creating the schema) and fills with a demo history; "" or the error's text.
QString openWithDemo(const kv6::DataSource &source, const kv6::DemoOptions &options,
    std::unique_ptr<kv6::DataConnection> &connection);

// A fresh database on one engine: a source that may be created, and the connection once opened.
template<class Base>
class DatabaseTest : public Base
{
protected:
    virtual Engine engine() const = 0;
    void SetUp() override
    {
        std::string skip;
        if (!makeTestSource(engine(), env, source, skip))
            GTEST_SKIP() << skip;
    }
    void TearDown() override
    {
        connection.reset();
        dropTestSource(source);
    }
    // Opens (creating the schema) and keeps the connection in `connection`.
    void openFresh()
    {
        QVariant version;
        const kv6::DataResult e = kv6::OpenDataConnection(source, true, version, connection);
        ASSERT_FALSE(e) << e->Description().toStdString();
        ASSERT_TRUE(connection);
    }
    // Opens a fresh database filled with a demo history, kept in `connection`.
    void openWithDemo(const kv6::DemoOptions &options)
    {
        const QString e = kv6test::openWithDemo(source, options, connection);
        ASSERT_TRUE(e.isEmpty()) << e.toStdString();
    }
    bool isSQLite() const { return engine() == Engine::SQLite; }
    // The source as the tools take it on their command line.
    QStringList db() const { return { QStringLiteral("--db"), source.toUrl(true) }; }

    TempEnv env;
    kv6::DataSource source;
    std::unique_ptr<kv6::DataConnection> connection;
};

// The same cases on both engines (instantiate with KV6_ENGINES).
class EngineTest : public DatabaseTest<::testing::TestWithParam<Engine>>
{
protected:
    Engine engine() const override { return GetParam(); }
};

// A SQLite file only, for cases the engine makes no difference to.
class SQLiteTest : public DatabaseTest<::testing::Test>
{
protected:
    Engine engine() const override { return Engine::SQLite; }
};

// The sample suite on a fresh database, the start of most cases that read or write one.
class SuiteTest : public EngineTest
{
protected:
    void SetUp() override
    {
        EngineTest::SetUp();
        if (IsSkipped())
            return;
        openFresh();
        if (!HasFatalFailure())
            addSampleSuite(*connection);
    }
};

// A demo history of `Jobs` jobs on each engine, for the tools run over one.
template<int Jobs>
class DemoEngineTest : public EngineTest
{
protected:
    void SetUp() override
    {
        EngineTest::SetUp();
        if (!IsSkipped())
            openWithDemo(demoOptions(Jobs));
    }
};

#define KV6_ENGINES(Suite)                                                                         \
    INSTANTIATE_TEST_SUITE_P(Engines, Suite,                                                       \
        ::testing::Values(kv6test::Engine::SQLite, kv6test::Engine::PostgreSQL),                   \
        kv6test::engineName)

} // namespace kv6test
