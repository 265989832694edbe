// Two programs writing the same settings store and the same group file at once: this test
// program started twice to run only the writer, which finds its part in the environment.

#include "base/registrystore.h"
#include "enginetest.h"
#include "groups/analysis.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QProcess>
#include <QThread>

using namespace kv6;

namespace {

const int kRounds = 40;
const QString kKey = QStringLiteral("Software\\Writers");

QString part(const char *name)
{
    return qEnvironmentVariable(name);
}

} // namespace

// Writes kRounds values of its own and one shared value to the store, and saves its groups to the
// shared group file as often; a reference copy goes beside it.
TEST(ConcurrentWriters, DISABLED_Writer)
{
    const QString tag = part("KV6_WRITER_TAG");
    RegistryStore store(part("KV6_WRITER_STORE"));
    kv6::DataSource source;
    source.path = part("KV6_WRITER_DB");
    QVariant version;
    std::unique_ptr<DataConnection> connection;
    ASSERT_FALSE(OpenDataConnection(source, true, version, connection));
    clsAnalysis analysis;
    analysis.setShowProgress(false);
    ASSERT_FALSE(analysis.InitializeDefault(*connection, 1));
    ASSERT_TRUE(analysis.Printers()->AddGroup(QStringLiteral("Group of ") + tag));
    const QString groups = part("KV6_WRITER_GROUPS");
    QString error;
    ASSERT_TRUE(store.createKey(kKey, false, error)) << error.toStdString();
    analysis.SaveGroupsCopy(groups + QLatin1Char('.') + tag, &error);
    // Both start writing together.
    kv6test::writeFile(groups + QStringLiteral(".ready") + tag, "");
    const QDeadlineTimer deadline(60000);
    while (!QFile::exists(groups + QStringLiteral(".go")) && !deadline.hasExpired())
        QThread::msleep(5);
    for (int i = 0; i < kRounds && error.isEmpty(); ++i) {
        for (const QString &name : { tag + QString::number(i), QStringLiteral("Shared") })
            store.writeValue(kKey, name, { 1, (tag + QString::number(i)).toUtf8() }, error);
        analysis.SaveGroupsCopy(groups, &error);
    }
    EXPECT_EQ(error, QString());
}

TEST(ConcurrentWriters, TwoProgramsLoseNothingAndLeaveOneWholeFile)
{
    kv6test::TempEnv env;
    kv6::DataSource source;
    source.path = env.path(QStringLiteral("print.db"));
    source.createIfMissing = true;
    std::unique_ptr<DataConnection> connection;
    ASSERT_EQ(kv6test::openWithDemo(source, kv6test::demoOptions(500), connection), QString());
    const QString store = env.path(QStringLiteral("user.db"));
    const QString groups = env.path(QStringLiteral("shared.grp"));

    QProcess writers[2];
    for (int w = 0; w < 2; ++w) {
        QProcessEnvironment e = QProcessEnvironment::systemEnvironment();
        e.insert(QStringLiteral("KV6_WRITER_TAG"), QStringLiteral("AB").mid(w, 1));
        e.insert(QStringLiteral("KV6_WRITER_STORE"), store);
        e.insert(QStringLiteral("KV6_WRITER_DB"), source.path);
        e.insert(QStringLiteral("KV6_WRITER_GROUPS"), groups);
        writers[w].setProcessEnvironment(e);
        writers[w].setProcessChannelMode(QProcess::MergedChannels);
        writers[w].start(QCoreApplication::applicationFilePath(),
            { QStringLiteral("--gtest_also_run_disabled_tests"),
                QStringLiteral("--gtest_filter=ConcurrentWriters.DISABLED_Writer") });
    }
    const QDeadlineTimer deadline(60000);
    while (!(QFile::exists(groups + QStringLiteral(".readyA"))
               && QFile::exists(groups + QStringLiteral(".readyB")))
        && !deadline.hasExpired())
        QThread::msleep(5);
    kv6test::writeFile(groups + QStringLiteral(".go"), "");
    for (QProcess &w : writers) {
        ASSERT_TRUE(w.waitForFinished(120000));
        const std::string said = w.readAll().toStdString();
        EXPECT_EQ(w.exitCode(), 0) << said;
        EXPECT_NE(said.find("[  PASSED  ] 1 test"), std::string::npos) << said;
    }

    // Every value of both writers is there; the shared one is the last of either.
    RegistryStore read(store);
    QStringList names;
    QString error;
    ASSERT_TRUE(read.valueNames(kKey, names, error)) << error.toStdString();
    EXPECT_EQ(names.size(), 2 * kRounds + 1);
    RegistryRawValue shared;
    bool found = false;
    ASSERT_TRUE(read.readValue(kKey, QStringLiteral("Shared"), shared, found, error));
    const QByteArray last = QByteArray::number(kRounds - 1);
    EXPECT_TRUE(shared.data == "A" + last || shared.data == "B" + last) << shared.data.data();

    // The group file is one writer's whole file, and it loads; no temporary file is left beside
    // it, the copies and the starting signals.
    const QByteArray file = kv6test::readFile(groups);
    EXPECT_TRUE(file == kv6test::readFile(groups + QStringLiteral(".A"))
        || file == kv6test::readFile(groups + QStringLiteral(".B")));
    clsAnalysis reloaded;
    reloaded.setShowProgress(false);
    EXPECT_FALSE(reloaded.InitializeFromGroupFile(*connection, groups));
    EXPECT_EQ(QDir(env.root()).entryList({ QStringLiteral("shared.grp*") }).size(), 6);
}
