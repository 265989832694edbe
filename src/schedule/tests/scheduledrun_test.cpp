#include "app/kvlogger.h"
#include "base/clsregistry.h"
#include "schedule/scheduledrun.h"

#include "testenv.h"

#include <gtest/gtest.h>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>

using namespace kv6;

namespace {

QString logPath(const kv6test::TempEnv &env)
{
    return env.path(QStringLiteral("common/Korvane Inc./Korvane/6.0/Logs/")) + ScheduleLogFileName;
}

// The log's lines without their time stamps.
QStringList logTexts(const kv6test::TempEnv &env)
{
    QFile f(logPath(env));
    if (!f.open(QIODevice::ReadOnly))
        return {};
    QStringList texts;
    static const QRegularExpression stamp(
        QStringLiteral("^[A-Z][a-z]{2} \\d{2}, \\d{4} \\d{2}:\\d{2}:\\d{2}\t"));
    const QStringList lines = QString::fromUtf8(f.readAll()).split(QStringLiteral("\r\n"));
    for (const QString &line : lines) {
        if (line.isEmpty())
            continue;
        const auto m = stamp.match(line);
        EXPECT_TRUE(m.hasMatch()) << line.toStdString();
        texts.append(line.mid(m.capturedLength()));
    }
    return texts;
}

const QStringList kMissingKeyLog = { QString(), QString(63, QLatin1Char('*')),
    QStringLiteral("Started scheduled report Some name"),
    QStringLiteral("Failed to send report. Registry key does not exist.") };

} // namespace

TEST(ScheduledRun, MissingScheduleKeyWritesExactlyFourLines)
{
    kv6test::TempEnv env;
    EXPECT_FALSE(EmailScheduledReport(QStringLiteral("Some name")));
    EXPECT_EQ(logTexts(env), kMissingKeyLog);
    // A second run appends to the same log.
    EmailScheduledReport(QStringLiteral("Some name"));
    EXPECT_EQ(logTexts(env).size(), 8);

    // A schedule is looked up under the machine key, whatever the case of its name.
    clsRegistry reg;
    reg.setClassKey(HKEY_LOCAL_MACHINE);
    reg.setSectionKey(QStringLiteral("Software\\Korvane 6\\Reporter\\Scheduling\\Some Name"));
    reg.setValueType(REG_SZ);
    QString err;
    ASSERT_TRUE(reg.SetCreateValue(QStringLiteral("Subject"), QStringLiteral("Costs"), true, err));
    EmailScheduledReport(QStringLiteral("some name"));
    const QStringList texts = logTexts(env);
    ASSERT_EQ(texts.size(), 12);
    EXPECT_EQ(texts[10], QStringLiteral("Started scheduled report some name"));
    EXPECT_NE(texts[11], kMissingKeyLog[3]);
}

// The program itself, started as cron starts it: no display, no platform chosen.
TEST(ScheduledRun, TheProgramRunsHeadlessFromTheCommandLine)
{
    kv6test::TempEnv env;
    const QString program = kv6test::stageDir() + QStringLiteral("/reporter/kv6reprt");
    ASSERT_TRUE(QFile::exists(program)) << program.toStdString();
    QProcessEnvironment pe = QProcessEnvironment::systemEnvironment();
    for (const char *v : { "DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM" })
        pe.remove(QString::fromLatin1(v));

    auto run = [&](const QStringList &args) {
        QProcess p;
        p.setProcessEnvironment(pe);
        p.start(program, args);
        EXPECT_TRUE(p.waitForFinished(20000)) << "the run must end by itself";
        EXPECT_EQ(p.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(p.exitCode(), 0) << p.readAllStandardError().toStdString();
    };
    run({ QStringLiteral("/runreport") });
    EXPECT_FALSE(QFile::exists(logPath(env))) << "no name: nothing is run and nothing logged";
    run({ QStringLiteral("/RUNREPORT"), QStringLiteral("Some name"), QStringLiteral("ignored") });
    EXPECT_EQ(logTexts(env), kMissingKeyLog);
}
