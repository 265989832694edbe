// A real cron daemon fires a task created through the helper. Only as root with cron installed
// (CI); it stops a daemon it started and removes every file the run left behind.

#include "schedule/elevate.h"
#include "schedule/scheduledrun.h"
#include "taskstore/taskstore.h"

#include "testenv.h"
#include "testscopes.h"

#include <gtest/gtest.h>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLockFile>
#include <QProcess>
#include <QThread>

#include <pwd.h>
#include <unistd.h>

using namespace kv6;

namespace {

bool cronRuns()
{
    for (const QString &pid : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
        const QByteArray comm
            = kv6test::readFile(QStringLiteral("/proc/%1/comm").arg(pid)).trimmed();
        if (comm == "cron" || comm == "crond")
            return true;
    }
    return false;
}

// Folders a run as root outside the test's environment creates; those that were not there
// before are removed afterwards, and the real log is cut back to its former length.
class RootTraces
{
public:
    RootTraces()
    {
        const QString home = QString::fromLocal8Bit(getpwuid(0)->pw_dir);
        for (const QString &p : { QStringLiteral("/var/lib/Korvane Inc."),
                 QStringLiteral("/var/lib/korvane6"), home + QStringLiteral("/Documents"),
                 home + QStringLiteral("/.local/share/Korvane Inc"),
                 home + QStringLiteral("/.config/Korvane 6"), home + QStringLiteral("/.local"),
                 home + QStringLiteral("/.config") }) {
            if (!QFileInfo::exists(p))
                m_new << p;
        }
        m_logSize = QFileInfo(log()).size();
    }
    ~RootTraces()
    {
        for (const QString &p : std::as_const(m_new))
            QDir(p).removeRecursively();
        if (QFileInfo::exists(log()))
            QFile::resize(log(), m_logSize);
    }
    static QString log()
    {
        return QStringLiteral("/var/lib/Korvane Inc./Korvane/6.0/Logs/") + ScheduleLogFileName;
    }

private:
    QStringList m_new;
    qint64 m_logSize = 0;
};

TEST(RealCron, FiresATaskCreatedThroughTheHelperWithTheNameIntact)
{
    if (geteuid() != 0 || !QFile::exists(QStringLiteral("/usr/sbin/cron")))
        GTEST_SKIP() << "needs root and Debian's cron (CI)";
    // One run at a time on a machine: two would share the cron file, the log and the daemon.
    QLockFile machineWide(QStringLiteral("/tmp/kv6-realcron.lock"));
    ASSERT_TRUE(machineWide.tryLock(400000)) << "another run held the cron test too long";
    kv6test::TempEnv env;
    kv6test::ShippedLanguage language;
    qputenv("KV6_CRON_DIR", "/etc/cron.d");
    kv6test::ScopedEnv helper("KV6_ELEVATE_HELPER", kv6test::stagedHelper());
    const bool wasRunning = cronRuns();
    RootTraces traces;

    // Cron reads this line: "%" ends a command unless escaped, and the shell sees the rest.
    const QString name = QStringLiteral("Cron 100% $(touch ran1) `touch ran2`; touch ran3 &");
    KVElevateSchedule task = KVElevateSchedule::ForSchedule(name);
    task.TriggerType = taskstore::triggerDaily;
    // Far enough ahead that cron has re-read its folder when the minute comes.
    const QDateTime at
        = QDateTime::currentDateTime().addSecs(QTime::currentTime().second() > 40 ? 150 : 90);
    task.StartTime = QTime(at.time().hour(), at.time().minute());
    KVElevateEntries entries;
    entries.Add(ScheduleKeyPath(name), QStringLiteral("Subject"), 1, QStringLiteral("x"));
    ASSERT_EQ(KVElevate().ScheduleTask(task, entries, -1), 0);
    ASSERT_TRUE(cronRuns()) << "the helper starts cron";

    taskstore::Schedule schedule;
    QElapsedTimer timer;
    timer.start();
    taskstore::TaskPtr fired;
    while (timer.elapsed() < 240000) {
        schedule.Refresh();
        fired = schedule.Job(task.TaskName());
        if (fired && fired->LastRunTime().date().year() > 2000
            && fired->Status() != taskstore::statusRunning)
            break;
        QThread::msleep(2000);
    }
    ASSERT_TRUE(fired);
    const QString home = QString::fromLocal8Bit(getpwuid(0)->pw_dir);
    const QByteArray log = kv6test::readFile(RootTraces::log());
    EXPECT_TRUE(fired->LastRunTime().date().year() > 2000) << "cron did not fire the task";
    EXPECT_EQ(fired->ExitCode(), 0);
    EXPECT_TRUE(QString::fromUtf8(log).contains(
        QStringLiteral("\tStarted scheduled report ") + name + QStringLiteral("\r\n")))
        << log.right(400).toStdString();
    for (const char *marker : { "ran1", "ran2", "ran3" })
        EXPECT_FALSE(QFile::exists(home + QLatin1Char('/') + QLatin1String(marker)));

    EXPECT_EQ(KVElevate().UnscheduleTask(task.TaskName(), ScheduleKeyPath(name)), 0);
    EXPECT_FALSE(
        QFile::exists(QStringLiteral("/etc/cron.d/") + taskstore::CronFileName(task.TaskName())));
    if (!wasRunning) {
        QProcess stop;
        stop.start(QStringLiteral("service"), { QStringLiteral("cron"), QStringLiteral("stop") });
        stop.waitForFinished(60000);
    }
}

} // namespace
