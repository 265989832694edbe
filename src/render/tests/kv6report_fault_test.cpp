// Faults that strike while kv6report runs: the SQLite file taken away or damaged, the PostgreSQL
// server stopped. Every run ends with one line naming the database and exit status 1, or with the
// whole report; the report written before stays whole, and nothing half-written is left.

#include "enginetest.h"
#include "privatepostgres.h"
#include "testscopes.h"
#include "toolrun.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QThread>

namespace {

using kv6test::show;
using kv6test::ToolRun;

const QByteArray kBefore = "the report of last month\n";

class ReportFault : public ::testing::Test
{
protected:
    // The previous report at `out`, and the arguments that replace it.
    QStringList runArgs(const QString &url)
    {
        kv6test::writeFile(out, kBefore);
        return { QStringLiteral("--db"), url, QStringLiteral("--report"),
            QStringLiteral("Printer to User Breakdown"), QStringLiteral("--period"),
            QStringLiteral("0"), QStringLiteral("-o"), out };
    }
    // A failed run: status 1, the database named, the old report as it was, no temporary file.
    void expectCleanFailure(const ToolRun &r, const QString &named, const std::string &what)
    {
        EXPECT_EQ(r.exitCode, 1) << what << "\n" << show(r);
        EXPECT_TRUE(r.err.contains(named)) << what << "\n" << show(r);
        EXPECT_EQ(kv6test::readFile(out), kBefore) << what;
        EXPECT_EQ(QDir(env.root()).entryList({ QStringLiteral("out.pdf*") }).size(), 1) << what;
    }

    kv6test::TempEnv env;
    QString out = env.path(QStringLiteral("out.pdf"));
};

// Whether the process has the file open.
bool holdsOpen(qint64 pid, const QString &path)
{
    const QDir fds(QStringLiteral("/proc/%1/fd").arg(pid));
    for (const QString &fd :
        fds.entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot)) {
        if (QFile::symLinkTarget(fds.filePath(fd)).startsWith(path))
            return true;
    }
    return false;
}

} // namespace

// The file is locked by another program while kv6report opens it, damaged, then let go: the run
// reads what is there then. A file deleted while open is still read whole (so that run may end
// well), but kv6report never puts a database of its own where the file was.
TEST_F(ReportFault, ASQLiteFileDamagedWhileTheReportRuns)
{
    const QString db = env.path(QStringLiteral("print.db"));
    {
        kv6::DataSource source;
        source.path = db;
        source.createIfMissing = true;
        std::unique_ptr<kv6::DataConnection> c;
        ASSERT_EQ(kv6test::openWithDemo(source, kv6test::demoOptions(3000), c), QString());
    }
    const QByteArray pristine = kv6test::readFile(db);
    struct Case
    {
        const char *fault;
        std::function<void()> apply;
        bool mayFinish; // the open file is still whole
    };
    const QList<Case> cases = {
        { "deleted", [&] { QFile::remove(db); }, true },
        { "emptied", [&] { QFile(db).resize(0); }, false },
        { "overwritten",
            [&] {
                QFile f(db);
                if (f.open(QIODevice::ReadWrite))
                    f.write(QByteArray(8192, '\x5a'));
            },
            false },
        // Unreadable even to root: a folder where the file was.
        { "replaced by a folder",
            [&] {
                QFile::remove(db);
                QDir().mkpath(db);
            },
            true },
    };
    for (const Case &c : cases) {
        QDir(db).removeRecursively();
        QFile::remove(db);
        kv6test::writeFile(db, pristine);
        // Another program holds the file while kv6report starts on it.
        QProcess locker;
        locker.start(QStringLiteral("/usr/bin/python3"),
            { QStringLiteral("-c"),
                QStringLiteral("import sqlite3, sys\n"
                               "c = sqlite3.connect('file:' + sys.argv[1] + '?mode=rw', uri=True,\n"
                               "    isolation_level=None)\n"
                               "c.execute('BEGIN EXCLUSIVE')\n"
                               "print('locked', flush=True)\n"
                               "sys.stdin.read()\n"),
                db });
        ASSERT_TRUE(locker.waitForReadyRead(20000)) << locker.readAllStandardError().toStdString();
        QProcess tool;
        kv6test::startStagedTool(tool, QStringLiteral("kv6report"), runArgs(db));
        ASSERT_TRUE(tool.waitForStarted());
        const QDeadlineTimer deadline(30000);
        while (!holdsOpen(tool.processId(), db) && !deadline.hasExpired()
            && tool.state() == QProcess::Running)
            QThread::msleep(20);
        c.apply();
        const auto state = [&] {
            const QFileInfo f(db);
            return QStringLiteral("%1 %2 %3").arg(f.exists()).arg(f.isDir()).arg(f.size());
        };
        const QString damaged = state();
        locker.closeWriteChannel();
        locker.waitForFinished();
        const ToolRun r = kv6test::finishTool(tool);

        const std::string what = c.fault;
        if (r.exitCode == 0 && c.mayFinish)
            EXPECT_TRUE(kv6test::readFile(out).startsWith("%PDF")) << what;
        else
            expectCleanFailure(r, db, what);
        EXPECT_EQ(state(), damaged) << what;
    }
}

// A server stopped as a crash stops it (`pg_ctl stop -m immediate`), while kv6report waits for
// the tables the group analysis loads, and while it waits for the report's query.
TEST_F(ReportFault, APostgreSQLServerStoppedWhileTheReportRuns)
{
    struct Case
    {
        const char *when;
        QStringList tables;
    };
    const QList<Case> cases = {
        { "while the analysis loads", { QStringLiteral("printers"), QStringLiteral("users") } },
        { "while the query runs", { QStringLiteral("print_job_days") } },
    };
    for (const Case &c : cases) {
        kv6test::PrivatePostgres server;
        if (server.url().isEmpty())
            GTEST_SKIP() << "no PostgreSQL server binaries";
        kv6::DataSource source;
        QString error;
        ASSERT_TRUE(kv6::DataSource::fromUrl(server.url(), source, error)) << error.toStdString();
        source.createIfMissing = true;
        {
            std::unique_ptr<kv6::DataConnection> connection;
            ASSERT_EQ(
                kv6test::openWithDemo(source, kv6test::demoOptions(3000), connection), QString());
        }
        ASSERT_TRUE(server.lockTables(c.tables)) << c.when;
        QProcess tool;
        kv6test::startStagedTool(tool, QStringLiteral("kv6report"), runArgs(server.url()));
        ASSERT_TRUE(server.waitForBlockedQuery()) << c.when;
        ASSERT_TRUE(server.stopImmediately());
        const ToolRun r = kv6test::finishTool(tool);
        expectCleanFailure(r, server.hostPort(), c.when);
        EXPECT_FALSE(r.err.contains(QStringLiteral("kv6test-pw"))) << show(r);
    }
}

// A user folder nothing can be written to (a folder below a regular file, which stops root as
// well): storing a connection fails naming the store, and a report, which only reads the user's
// settings, is still written.
TEST_F(ReportFault, AUserFolderThatCannotBeWritten)
{
    const QString db = env.path(QStringLiteral("print.db"));
    {
        kv6::DataSource source;
        source.path = db;
        source.createIfMissing = true;
        std::unique_ptr<kv6::DataConnection> c;
        ASSERT_EQ(kv6test::openWithDemo(source, kv6test::demoOptions(500), c), QString());
    }
    const QString blocker = env.path(QStringLiteral("blocker"));
    kv6test::writeFile(blocker, "a file, not a folder");
    const QString home = blocker + QStringLiteral("/home");
    const auto under
        = [&](const char *relative) { return (home + QLatin1String(relative)).toLocal8Bit(); };
    kv6test::ScopedEnv registry("KV6_USER_REGISTRY", under("/registry.db"));
    kv6test::ScopedEnv config("XDG_CONFIG_HOME", under("/config"));
    kv6test::ScopedEnv data("XDG_DATA_HOME", under("/local"));
    kv6test::ScopedEnv local("KV6_LOCAL_APPDATA", under("/local"));
    kv6test::ScopedEnv documents("KV6_DOCUMENTS", under("/Documents"));

    ToolRun r = kv6test::runStagedTool(
        QStringLiteral("kv6data"), { QStringLiteral("connect"), db, QStringLiteral("--quiet") });
    EXPECT_EQ(r.exitCode, 1) << show(r);
    EXPECT_TRUE(r.err.contains(home)) << show(r);

    r = kv6test::runStagedTool(
        QStringLiteral("kv6report"), runArgs(db) + QStringList { QStringLiteral("--quiet") });
    EXPECT_EQ(r.exitCode, 0) << show(r);
    EXPECT_TRUE(kv6test::readFile(out).startsWith("%PDF")) << show(r);
}
