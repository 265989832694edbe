// Two programs saving the same group file at once (this test program started twice; the store's
// own two-writer test is in base).

#include "enginetest.h"
#include "groups/analysis.h"
#include "toolrun.h"

#include <QDeadlineTimer>
#include <QProcess>
#include <QThread>

using namespace kv6;

namespace {

// Saves a group of its own to the shared file many times, once both writers are ready; a
// reference copy goes beside it.
void writeGroups(const QString &tag, const QString &database, const QString &groups)
{
    kv6::DataSource source;
    source.path = database;
    QVariant version;
    std::unique_ptr<DataConnection> connection;
    ASSERT_FALSE(OpenDataConnection(source, true, version, connection));
    clsAnalysis analysis;
    analysis.setShowProgress(false);
    ASSERT_FALSE(analysis.InitializeDefault(*connection, 1));
    ASSERT_TRUE(analysis.Printers()->AddGroup(QStringLiteral("Group of ") + tag));
    QString error;
    analysis.SaveGroupsCopy(groups + QLatin1Char('.') + tag, &error);
    kv6test::writeFile(groups + QStringLiteral(".ready") + tag, "");
    const QDeadlineTimer deadline(60000);
    while (!QFile::exists(groups + QStringLiteral(".go")) && !deadline.hasExpired())
        QThread::msleep(5);
    for (int i = 0; i < 60 && error.isEmpty(); ++i)
        analysis.SaveGroupsCopy(groups, &error);
    EXPECT_EQ(error, QString());
}

} // namespace

TEST(ConcurrentWriters, TwoProgramsSavingOneGroupFileLeaveOneWholeFile)
{
    if (qEnvironmentVariableIsSet("KV6_WRITER_TAG")) {
        writeGroups(qEnvironmentVariable("KV6_WRITER_TAG"), qEnvironmentVariable("KV6_WRITER_DB"),
            qEnvironmentVariable("KV6_WRITER_GROUPS"));
        return;
    }
    kv6test::TempEnv env;
    kv6::DataSource source;
    source.path = env.path(QStringLiteral("print.db"));
    source.createIfMissing = true;
    std::unique_ptr<DataConnection> connection;
    ASSERT_EQ(kv6test::openWithDemo(source, kv6test::demoOptions(500), connection), QString());
    const QString groups = env.path(QStringLiteral("shared.grp"));

    QProcess writers[2];
    for (int w = 0; w < 2; ++w)
        kv6test::startThisTest(writers[w], QStringLiteral("ConcurrentWriters.*"),
            { { QStringLiteral("KV6_WRITER_TAG"), QStringLiteral("AB").mid(w, 1) },
                { QStringLiteral("KV6_WRITER_DB"), source.path },
                { QStringLiteral("KV6_WRITER_GROUPS"), groups } });
    const QDeadlineTimer deadline(60000);
    while (!(QFile::exists(groups + QStringLiteral(".readyA"))
               && QFile::exists(groups + QStringLiteral(".readyB")))
        && !deadline.hasExpired())
        QThread::msleep(5);
    kv6test::writeFile(groups + QStringLiteral(".go"), "");
    for (QProcess &w : writers) {
        const kv6test::ToolRun r = kv6test::finishTool(w);
        EXPECT_EQ(r.exitCode, 0) << kv6test::show(r);
        EXPECT_TRUE(r.out.contains(QStringLiteral("[  PASSED  ] 1 test"))) << kv6test::show(r);
    }

    // One writer's whole file, which loads; beside it only the copies and the signals.
    const QByteArray file = kv6test::readFile(groups);
    EXPECT_TRUE(file == kv6test::readFile(groups + QStringLiteral(".A"))
        || file == kv6test::readFile(groups + QStringLiteral(".B")));
    clsAnalysis reloaded;
    reloaded.setShowProgress(false);
    EXPECT_FALSE(reloaded.InitializeFromGroupFile(*connection, groups));
    EXPECT_EQ(QDir(env.root()).entryList({ QStringLiteral("shared.grp*") }).size(), 6);
}
