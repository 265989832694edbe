// Faults that strike while kv6report runs. Every run ends with the whole report, or with status 1
// and one line naming the database; the report written before stays whole, nothing half-written
// is left.

#include "enginetest.h"
#include "privatepostgres.h"
#include "testscopes.h"
#include "toolrun.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QThread>

namespace {

using kv6test::show;
using kv6test::ToolRun;

const QByteArray kBefore = "the report of last month\n";

class ReportFault : public ::testing::Test
{
protected:
    // Fills `source` with a demo history.
    static void fill(kv6::DataSource source, int jobs)
    {
        source.createIfMissing = true;
        std::unique_ptr<kv6::DataConnection> c;
        ASSERT_EQ(kv6test::openWithDemo(source, kv6test::demoOptions(jobs), c), QString());
    }
    // The previous report at `out`, and the arguments that replace it.
    QStringList runArgs(const QString &url)
    {
        kv6test::writeFile(out, kBefore);
        return { QStringLiteral("--db"), url, QStringLiteral("--report"),
            QStringLiteral("Printer to User Breakdown"), QStringLiteral("--period"),
            QStringLiteral("0"), QStringLiteral("--quiet"), QStringLiteral("-o"), out };
    }
    void expectCleanFailure(const ToolRun &r, const QString &named, const std::string &what)
    {
        EXPECT_EQ(r.exitCode, 1) << what << "\n" << show(r);
        EXPECT_TRUE(r.err.contains(named)) << what << "\n" << show(r);
        EXPECT_FALSE(r.err.contains(QLatin1String("WARNING:"))) << "no server notice\n" << show(r);
        EXPECT_EQ(kv6test::readFile(out), kBefore) << what;
        EXPECT_EQ(QDir(env.root()).entryList({ QStringLiteral("out.pdf*") }).size(), 1) << what;
    }

    kv6test::TempEnv env;
    QString out = env.path(QStringLiteral("out.pdf"));
    QString db = env.path(QStringLiteral("print.db"));
};

bool holdsOpen(qint64 pid, const QString &path)
{
    const QDir fds(QStringLiteral("/proc/%1/fd").arg(pid));
    const QStringList all = fds.entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot);
    return std::any_of(all.cbegin(), all.cend(),
        [&](const QString &fd) { return QFile::symLinkTarget(fds.filePath(fd)).startsWith(path); });
}

} // namespace

// Another program holds the file locked while kv6report opens it, damages it, then lets go. A
// file deleted (or replaced) while open is still read whole, so that run may end well; kv6report
// never puts a database of its own where the file was.
TEST_F(ReportFault, ASQLiteFileDamagedWhileTheReportRuns)
{
    kv6::DataSource source;
    source.path = db;
    fill(source, 3000);
    const QByteArray pristine = kv6test::readFile(db);
    const QList<std::pair<const char *, std::function<void()>>> cases = {
        { "deleted", [&] { QFile::remove(db); } },
        { "emptied", [&] { QFile(db).resize(0); } },
        { "overwritten", [&] { kv6test::writeFile(db, QByteArray(8192, 'Z')); } },
        // Unreadable even to root.
        { "replaced by a folder",
            [&] {
                QFile::remove(db);
                QDir().mkpath(db);
            } },
    };
    for (const auto &[fault, apply] : cases) {
        QDir(db).removeRecursively();
        kv6test::writeFile(db, pristine);
        QProcess locker;
        ASSERT_NO_FATAL_FAILURE(kv6test::lockSqliteFile(locker, db));
        QProcess tool;
        kv6test::startStagedTool(tool, QStringLiteral("kv6report"), runArgs(db));
        const QDeadlineTimer deadline(30000);
        while (tool.waitForStarted() && !holdsOpen(tool.processId(), db) && !deadline.hasExpired())
            QThread::msleep(20);
        apply();
        const auto state = [&] {
            const QFileInfo f(db);
            return QStringLiteral("%1 %2 %3").arg(f.exists()).arg(f.isDir()).arg(f.size());
        };
        const QString damaged = state();
        locker.closeWriteChannel();
        locker.waitForFinished();
        const ToolRun r = kv6test::finishTool(tool);
        if (r.exitCode == 0 && !QFileInfo(db).isFile())
            EXPECT_TRUE(kv6test::readFile(out).startsWith("%PDF")) << fault;
        else
            expectCleanFailure(r, db, fault);
        EXPECT_EQ(state(), damaged) << fault;
    }
}

// A server stopped as a crash stops it, while kv6report waits for the tables the group analysis
// loads, and while it waits for the report's query.
TEST_F(ReportFault, APostgreSQLServerStoppedWhileTheReportRuns)
{
    const QList<std::pair<const char *, QStringList>> cases = {
        { "while the analysis loads", { QStringLiteral("printers"), QStringLiteral("users") } },
        { "while the query runs", { QStringLiteral("print_job_days") } },
    };
    for (const auto &[when, tables] : cases) {
        kv6test::PrivatePostgres server;
        if (server.url().isEmpty())
            GTEST_SKIP() << "no PostgreSQL server binaries";
        kv6::DataSource source;
        QString error;
        ASSERT_TRUE(kv6::DataSource::fromUrl(server.url(), source, error)) << error.toStdString();
        fill(source, 3000);
        ASSERT_TRUE(server.lockTables(tables)) << when;
        QProcess tool;
        kv6test::startStagedTool(tool, QStringLiteral("kv6report"), runArgs(server.url()));
        ASSERT_TRUE(server.waitForBlockedQuery()) << when;
        ASSERT_TRUE(server.stopImmediately());
        const ToolRun r = kv6test::finishTool(tool);
        expectCleanFailure(r, server.hostPort(), when);
        EXPECT_FALSE(r.err.contains(QStringLiteral("kv6test-pw"))) << show(r);
    }
}

// A user folder below a regular file (which stops root too): storing a connection fails naming
// the store; a report, which only reads the user's settings, is still written.
TEST_F(ReportFault, AUserFolderThatCannotBeWritten)
{
    kv6::DataSource source;
    source.path = db;
    fill(source, 500);
    kv6test::writeFile(env.path(QStringLiteral("blocker")), "a file, not a folder");
    const QString home = env.path(QStringLiteral("blocker/home"));
    const auto under = [&](const char *sub) { return (home + QLatin1String(sub)).toLocal8Bit(); };
    kv6test::ScopedEnv registry("KV6_USER_REGISTRY", under("/registry.db"));
    kv6test::ScopedEnv config("XDG_CONFIG_HOME", under("/config"));
    kv6test::ScopedEnv data("XDG_DATA_HOME", under("/local"));
    kv6test::ScopedEnv local("KV6_LOCAL_APPDATA", under("/local"));
    kv6test::ScopedEnv documents("KV6_DOCUMENTS", under("/Documents"));

    ToolRun r = kv6test::runStagedTool(
        QStringLiteral("kv6data"), { QStringLiteral("connect"), db, QStringLiteral("--quiet") });
    EXPECT_EQ(r.exitCode, 1) << show(r);
    EXPECT_TRUE(r.err.contains(home)) << show(r);
    r = kv6test::runStagedTool(QStringLiteral("kv6report"), runArgs(db));
    EXPECT_EQ(r.exitCode, 0) << show(r);
    EXPECT_TRUE(kv6test::readFile(out).startsWith("%PDF")) << show(r);
}
