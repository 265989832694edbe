// Two programs writing the same settings store and the same group file at once. Each program is
// this test executable started again to run only the writer below, with its part in the
// environment.

#include "base/registrystore.h"
#include "dataaccess/dataconnection.h"
#include "enginetest.h"
#include "groups/analysis.h"

#include <QCoreApplication>
#include <QProcess>

using namespace kv6;

namespace {

const int kRounds = 40;

QString role(const char *name)
{
    return qEnvironmentVariable(name);
}

QByteArray storeValue(const QString &text)
{
    return text.toUtf8();
}

} // namespace

// The writer: with KV6_WRITER_TAG set, writes kRounds values of its own and one shared value to the
// store, and saves its groups to the shared group file as often; a reference copy goes beside it.
TEST(ConcurrentWriters, DISABLED_Writer)
{
    const QString tag = role("KV6_WRITER_TAG");
    ASSERT_FALSE(tag.isEmpty());
    RegistryStore store(role("KV6_WRITER_STORE"));
    kv6::DataSource source;
    source.path = role("KV6_WRITER_DB");
    QVariant version;
    std::unique_ptr<DataConnection> connection;
    ASSERT_FALSE(OpenDataConnection(source, true, version, connection));
    clsAnalysis analysis;
    analysis.setShowProgress(false);
    ASSERT_FALSE(analysis.InitializeDefault(*connection, 1));
    GroupItemPtr group;
    ASSERT_TRUE(analysis.Printers()->AddGroup(QStringLiteral("Group of ") + tag, &group));
    const QString groups = role("KV6_WRITER_GROUPS");
    QString error;
    ASSERT_TRUE(store.createKey(QStringLiteral("Software\\Writers"), false, error))
        << error.toStdString();
    analysis.SaveGroupsCopy(groups + QLatin1Char('.') + tag, &error);
    ASSERT_EQ(error, QString());
    for (int i = 0; i < kRounds; ++i) {
        for (const QString &name : { tag + QString::number(i), QStringLiteral("Shared") }) {
            ASSERT_TRUE(store.writeValue(QStringLiteral("Software\\Writers"), name,
                { 1, storeValue(tag + QString::number(i)) }, error))
                << error.toStdString();
        }
        analysis.SaveGroupsCopy(groups, &error);
        ASSERT_EQ(error, QString()) << i;
    }
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
    const QStringList tags = { QStringLiteral("A"), QStringLiteral("B") };
    for (int w = 0; w < 2; ++w) {
        QProcessEnvironment e = QProcessEnvironment::systemEnvironment();
        e.insert(QStringLiteral("KV6_WRITER_TAG"), tags[w]);
        e.insert(QStringLiteral("KV6_WRITER_STORE"), store);
        e.insert(QStringLiteral("KV6_WRITER_DB"), source.path);
        e.insert(QStringLiteral("KV6_WRITER_GROUPS"), groups);
        writers[w].setProcessEnvironment(e);
        writers[w].setProcessChannelMode(QProcess::MergedChannels);
        writers[w].start(QCoreApplication::applicationFilePath(),
            { QStringLiteral("--gtest_also_run_disabled_tests"),
                QStringLiteral("--gtest_filter=ConcurrentWriters.DISABLED_Writer") });
    }
    for (QProcess &w : writers) {
        ASSERT_TRUE(w.waitForFinished(120000));
        const QString said = QString::fromLocal8Bit(w.readAll());
        EXPECT_EQ(w.exitCode(), 0) << said.toStdString();
        EXPECT_TRUE(said.contains(QStringLiteral("[  PASSED  ] 1 test"))) << said.toStdString();
    }

    // Every value of both writers is there; the shared one is the last of either.
    RegistryStore read(store);
    QStringList names;
    QString error;
    ASSERT_TRUE(read.valueNames(QStringLiteral("Software\\Writers"), names, error))
        << error.toStdString();
    EXPECT_EQ(names.size(), 2 * kRounds + 1);
    RegistryRawValue shared;
    bool found = false;
    ASSERT_TRUE(read.readValue(
        QStringLiteral("Software\\Writers"), QStringLiteral("Shared"), shared, found, error));
    const QString last = QString::number(kRounds - 1);
    EXPECT_TRUE(shared.data == storeValue(QStringLiteral("A") + last)
        || shared.data == storeValue(QStringLiteral("B") + last))
        << shared.data.toStdString();

    // The group file is one writer's whole file, and it loads.
    const QByteArray file = kv6test::readFile(groups);
    EXPECT_TRUE(file == kv6test::readFile(groups + QStringLiteral(".A"))
        || file == kv6test::readFile(groups + QStringLiteral(".B")))
        << file.toStdString();
    clsAnalysis reloaded;
    reloaded.setShowProgress(false);
    const DataResult e = reloaded.InitializeFromGroupFile(*connection, groups);
    EXPECT_FALSE(e) << e->Description().toStdString();
    EXPECT_EQ(QDir(env.root()).entryList({ QStringLiteral("shared.grp*") }).size(), 3)
        << "no temporary file is left";
}
