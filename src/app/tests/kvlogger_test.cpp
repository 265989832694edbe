#include "app/kvlogger.h"
#include "base/paths.h"

#include "testenv.h"
#include "toolrun.h"

#include <gtest/gtest.h>
#include <QDate>
#include <QFile>
#include <QLocale>
#include <QProcess>
#include <QRegularExpression>

using namespace kv6;

namespace {
const QString kName = QStringLiteral("KV6AnalysisReportSchedule.log");
} // namespace

// Where the log opens by default, and that it appends, the scheduled-run tests read through the
// run itself.
TEST(KVLogger, FallsBackWhenABaseCannotBeCreated)
{
    kv6test::TempEnv env;
    // Paths that run through a plain file can never be created, even by root.
    const QString blocker = env.path(QStringLiteral("plainfile"));
    kv6test::writeFile(blocker, {});
    qputenv("KV6_COMMON_APPDATA", (blocker + QStringLiteral("/a")).toLocal8Bit());
    qputenv("KV6_LOCAL_APPDATA", (blocker + QStringLiteral("/b")).toLocal8Bit());
    KVLogger log;
    ASSERT_TRUE(log.StartLogging(kName));
    EXPECT_EQ(log.LogPath(), env.path(QStringLiteral("Documents/Korvane Inc./Korvane/6.0/Logs")));

    qputenv("KV6_DOCUMENTS", (blocker + QStringLiteral("/c")).toLocal8Bit());
    ASSERT_TRUE(log.StartLogging(kName));
    EXPECT_TRUE(log.LogPath().startsWith(TempFolder())) << log.LogPath().toStdString();
}

TEST(KVLogger, LevelsTimestampsAndOnDemandOpening)
{
    kv6test::TempEnv env;
    KVLogger log;
    log.setFileName(QStringLiteral("  levels.log  "));
    EXPECT_EQ(log.FileName(), QStringLiteral("levels.log"));
    log.WriteToLog(QStringLiteral("kept"), false, 0);
    EXPECT_FALSE(log.isOpen()) << "a line written while closed opens and closes the log";
    log.WriteToLog(QStringLiteral("dropped"), false, 1);
    log.WriteToLog(QStringLiteral("negative"), false, -3);
    log.WriteToLog(QString(), true, 0);
    log.setDebugLevel(2);
    log.WriteToLog(QStringLiteral("now kept"), true, 1);

    const QString text = QString::fromUtf8(kv6test::readFile(log.LogFile()));
    const QStringList lines = text.split(QStringLiteral("\r\n"));
    ASSERT_EQ(lines.size(), 5) << text.toStdString();
    EXPECT_EQ(lines[0], QStringLiteral("kept"));
    EXPECT_EQ(lines[1], QStringLiteral("negative"));
    const QRegularExpression stamp(QStringLiteral("^\\S+ \\d{2}, \\d{4} \\d{2}:\\d{2}:\\d{2}\t"));
    EXPECT_TRUE(stamp.match(lines[2]).hasMatch() && lines[2].endsWith(QLatin1Char('\t')))
        << lines[2].toStdString();
    EXPECT_TRUE(stamp.match(lines[3]).hasMatch() && lines[3].endsWith(QStringLiteral("now kept")));
    EXPECT_EQ(lines[4], QString());
}

TEST(KVLogger, AnEmptyLogIsRemovedButAnOldOneIsKept)
{
    kv6test::TempEnv env;
    KVLogger log;
    ASSERT_TRUE(log.StartLogging(QStringLiteral("empty.log")));
    const QString path = log.LogFile();
    EXPECT_TRUE(QFile::exists(path));
    log.StopLogging();
    EXPECT_FALSE(QFile::exists(path));
    EXPECT_EQ(log.LogFile(), path) << "the folder is remembered after closing";

    log.WriteToLog(QStringLiteral("content"), false, 0);
    ASSERT_TRUE(log.StartLogging(QString()));
    log.StopLogging();
    EXPECT_EQ(kv6test::readFile(path), QByteArray("content\r\n"));
}

// The system language names the months: run again under a French locale, which Qt reads from
// the environment once per process.
TEST(KVLogger, StampsCarryTheSystemLanguagesMonthNames)
{
    if (qEnvironmentVariableIsSet("KV6_LOG_FRENCH_CHILD")) {
        ASSERT_EQ(QLocale::system().language(), QLocale::French);
        kv6test::TempEnv env;
        KVLogger log;
        log.setFileName(kName);
        log.WriteToLog(QStringLiteral("ligne"), true, 0);
        static const char *const months[] = { "janv.", "févr.", "mars", "avr.", "mai", "juin",
            "juil.", "août", "sept.", "oct.", "nov.", "déc." };
        const QString text = QString::fromUtf8(kv6test::readFile(log.LogFile()));
        EXPECT_TRUE(text.startsWith(
            QString::fromUtf8(months[QDate::currentDate().month() - 1]) + QLatin1Char(' ')))
            << text.toStdString();
        return;
    }
    QProcess child;
    kv6test::startThisTest(child,
        QStringLiteral("KVLogger.StampsCarryTheSystemLanguagesMonthNames"),
        { { QStringLiteral("KV6_LOG_FRENCH_CHILD"), QStringLiteral("1") },
            { QStringLiteral("LC_ALL"), QStringLiteral("fr_FR.UTF-8") } });
    const kv6test::ToolRun r = kv6test::finishTool(child, 60000);
    EXPECT_EQ(r.exitCode, 0) << kv6test::show(r);
}
