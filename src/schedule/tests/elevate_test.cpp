// Requests to the staged elevation helper, made the way the program makes them: what it writes,
// what it refuses, and that nothing typed into a schedule reaches a shell.

#include "app/branding.h"
#include "base/clsregistry.h"
#include "base/dialogs.h"
#include "base/validation.h"
#include "schedule/elevate.h"
#include "schedule/scheduledrun.h"
#include "taskstore/taskstore.h"
#include "vbcore/vbdate.h"

#include "testenv.h"
#include "testscopes.h"

#include <gtest/gtest.h>
#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QThread>

using namespace kv6;

namespace {

class Elevate : public ::testing::Test
{
protected:
    // A complete request for the schedule `name`, as the schedule dialog makes it.
    static KVElevateSchedule task(const QString &name, int type = 2, qint32 day = 8)
    {
        KVElevateSchedule s = KVElevateSchedule::ForSchedule(name);
        s.TriggerType = type;
        s.StartTime = QTime(6, 30);
        s.Day = day;
        return s;
    }
    static KVElevateEntries entries(const QString &name, const QString &mesg = {})
    {
        KVElevateEntries e;
        const QString key = ScheduleKeyPath(name);
        e.Add(key, QStringLiteral("From"), REG_SZ, QStringLiteral("a@example.com"));
        e.Add(key, QStringLiteral("Mesg"), REG_SZ, mesg);
        e.Add(key, QStringLiteral("SimpleMode"), REG_DWORD, -1);
        return e;
    }
    static QVariant value(const QString &name, const QString &valueName)
    {
        return kv6test::storedValue(ScheduleKeyPath(name), valueName);
    }
    QStringList leftovers() const
    {
        QStringList out;
        for (const char *dir : { "tasks", "cron.d" })
            out += QDir(env.path(QLatin1String(dir))).entryList(QDir::Files);
        out += QDir(env.path(QStringLiteral("tmp"))).entryList({ QStringLiteral("plv*") });
        return out + ScheduleNames();
    }

    kv6test::TempEnv env;
    kv6test::ScopedEnv helper { "KV6_ELEVATE_HELPER", kv6test::stagedHelper() };
    kv6test::ShippedLanguage language;
};

TEST_F(Elevate, TheRequestFilesKeepTheirFormat)
{
    KVElevateSchedule quarterly = task(QStringLiteral("Q"), 3, 1);
    quarterly.Quarterly = true;
    const QString file = env.path(QStringLiteral("schedule"));
    ASSERT_TRUE(quarterly.SaveToTemp(file));
    const QList<QByteArray> lines = kv6test::readFile(file).split('\n');
    ASSERT_EQ(lines.size(), 9);
    EXPECT_EQ(lines[4].trimmed(), "3");
    EXPECT_DOUBLE_EQ(lines[5].trimmed().toDouble(), VbTimeSerial(6, 30, 0));
    EXPECT_EQ(lines[6].trimmed(), "1");
    EXPECT_EQ(lines[7], "True\r");
    KVElevateSchedule back;
    ASSERT_TRUE(back.LoadFromTemp(file));
    EXPECT_EQ(back.StartTime, QTime(6, 30));
    EXPECT_TRUE(back.Quarterly);

    // A mail body of several lines, with tabs and backslashes, keeps one line per entry.
    const QString mesg = QStringLiteral("Hello,\r\n\tsee C:\\reports\\n and 100%.\n");
    const KVElevateEntries e = entries(QStringLiteral("Q"), mesg);
    ASSERT_TRUE(e.SaveToTemp(file));
    const QList<QByteArray> entryLines = kv6test::readFile(file).split('\n');
    ASSERT_EQ(entryLines.size(), 4);
    EXPECT_EQ(
        entryLines[2], ScheduleKeyPath(QStringLiteral("Q")).toUtf8() + "\tSimpleMode\t4\t-1\r");
    KVElevateEntries read;
    ASSERT_TRUE(read.LoadFromTemp(file));
    EXPECT_EQ(read.Item(2).Value.toString(), mesg);

    for (const QByteArray &bad : { QByteArray("only\ttwo\r\n"), QByteArray("a\tb\tx\tv\r\n"),
             QByteArray("a\rb\tn\t1\tv\r\n") }) {
        kv6test::writeFile(file, bad);
        EXPECT_FALSE(read.LoadFromTemp(file)) << bad.toStdString();
    }
    kv6test::writeFile(file, "Korvane 6 Report - Q\r\n/x\r\n");
    EXPECT_FALSE(back.LoadFromTemp(file)) << "a truncated schedule file";
    // A carriage return inside a line would make a task name the file cannot carry back.
    kv6test::writeFile(file, "Q\r+\r\n/x\r\n\r\n\r\n1\r\n0.25\r\n0\r\nFalse\r\n");
    EXPECT_FALSE(back.LoadFromTemp(file));
}

// Which trigger each frequency becomes through the helper is the schedule dialog's test
// (ScheduleDialog.FrequenciesReadBackAsChosen and ANewSchedule...); here, the request itself.
TEST_F(Elevate, ASchedulesValuesAndTaskAreWrittenThroughTheHelperAndKeptWhenTheUserSaysNo)
{
    const QString name = QStringLiteral("Weekly");
    KVElevateEntries e = entries(name);
    // Key paths differing only in case are one key.
    e.Add(ScheduleKeyPath(name).toUpper().replace(name.toUpper(), name), QStringLiteral("Company"),
        REG_DWORD, 7);
    ASSERT_EQ(KVElevate().ScheduleTask(task(name), e, -1), 0);
    EXPECT_EQ(value(name, QStringLiteral("SimpleMode")), QVariant(-1));
    EXPECT_EQ(value(name, QStringLiteral("Company")), QVariant(7));

    taskstore::Schedule schedule;
    schedule.Refresh();
    const taskstore::TaskPtr t = schedule.Job(ScheduledReportName(name));
    ASSERT_TRUE(t);
    EXPECT_EQ(QFileInfo(t->ApplicationName()).canonicalFilePath(),
        QFileInfo(KVElevate::ProgramPath()).canonicalFilePath());
    EXPECT_EQ(t->CommandLine(), QStringLiteral("/runreport \"%1\"").arg(name));
    const taskstore::TriggerPtr trigger = t->Triggers().Item(1);
    ASSERT_TRUE(trigger);
    EXPECT_EQ(trigger->StartTime(), QTime(6, 30));
    EXPECT_EQ(trigger->WeeklyDaysOfTheWeek(), 8);
    EXPECT_TRUE(
        QFile::exists(env.path(QStringLiteral("cron.d/")) + taskstore::CronFileName(t->Name())));

    // Asked whether to replace the task, the user says No: the weekly trigger stays.
    ScriptedDialogs dialogs;
    dialogs.messageAnswers = { MsgAnswer::No };
    ScopedDialogProvider scoped(&dialogs);
    EXPECT_EQ(task(name, 1, 0).CreateTask(true), 0);
    ASSERT_EQ(dialogs.messages.size(), 1);
    schedule.Refresh();
    EXPECT_EQ(schedule.Job(ScheduledReportName(name))->Triggers().Item(1)->TriggerType(), 2);

    EXPECT_EQ(KVElevate().UnscheduleTask(ScheduledReportName(QStringLiteral("Weekly")),
                  ScheduleKeyPath(QStringLiteral("Weekly"))),
        0);
    EXPECT_FALSE(value(QStringLiteral("Weekly"), QStringLiteral("From")).isValid());
    EXPECT_EQ(leftovers().filter(QStringLiteral("Weekly")), QStringList());
    EXPECT_EQ(KVElevate().RunTask(ScheduledReportName(QStringLiteral("Gone"))), 2);
}

// Anything but the key and task of one of this program's schedules is refused before anything
// is written.
TEST_F(Elevate, RequestsOutsideTheSchedulesAreRefused)
{
    const QString name = QStringLiteral("Sales");
    const auto otherKey = [](const QString &key) {
        KVElevateEntries e;
        e.Add(key, QStringLiteral("From"), REG_SZ, QStringLiteral("x"));
        return e;
    };
    struct Case
    {
        const char *what;
        KVElevateSchedule task;
        KVElevateEntries entries;
    };
    KVElevateSchedule shell = task(name);
    shell.EXEPath = QStringLiteral("/bin/sh");
    KVElevateSchedule arguments = task(name);
    arguments.TaskCommandLine = QStringLiteral("/runreport \"Sales\" -c id");
    KVElevateSchedule foreign = task(name);
    foreign.SetTaskName(QStringLiteral("cleanup"));
    KVElevateSchedule dotted = task(QStringLiteral("a/../b"));
    const QList<Case> cases = {
        { "a key outside the schedules", task(name),
            otherKey(QStringLiteral("Software\\Korvane 6\\Reporter")) },
        { "the scheduling key itself", task(name), otherKey(SchedulingKey + QLatin1Char('\\')) },
        { "another schedule's key", task(name), entries(QStringLiteral("Other")) },
        { "another program", shell, entries(name) },
        { "other arguments", arguments, entries(name) },
        { "a task not of a schedule", foreign, entries(name) },
        { "a name that is a path", dotted, entries(QStringLiteral("a/../b")) },
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(KVElevate().ScheduleTask(c.task, c.entries, -1), elevateRefused);
    }
    EXPECT_EQ(
        KVElevate().CreateEntries(otherKey(QStringLiteral("Software\\Korvane 6"))), elevateRefused);
    EXPECT_EQ(KVElevate().UnscheduleTask(QStringLiteral("cleanup"), ScheduleKeyPath(name)),
        elevateRefused);
    EXPECT_EQ(KVElevate().UnscheduleTask(
                  ScheduledReportName(name), ScheduleKeyPath(QStringLiteral("Other"))),
        elevateRefused);
    EXPECT_EQ(leftovers(), QStringList());

    // A request file that is not one, and one that cannot be written.
    QProcess p;
    kv6test::writeFile(env.path(QStringLiteral("junk")), QByteArray(5000, '\t'));
    p.start(
        KVElevate::HelperPath(), { QStringLiteral("-savereg"), env.path(QStringLiteral("junk")) });
    ASSERT_TRUE(p.waitForFinished(30000));
    EXPECT_EQ(p.exitCode(), elevateRequestFileError);
    qputenv("TMPDIR", env.path(QStringLiteral("junk/tmp")).toLocal8Bit());
    EXPECT_EQ(KVElevate().ScheduleTask(task(name), entries(name), -1), elevateRequestFileError);
    qputenv("TMPDIR", env.path(QStringLiteral("tmp")).toLocal8Bit());
    EXPECT_EQ(leftovers(), QStringList());

    // A cron folder that cannot be used: the scheduler is not there, and the new key goes again.
    {
        const kv6test::ScopedEnv cron(
            "KV6_CRON_DIR", env.path(QStringLiteral("junk/cron.d")).toLocal8Bit());
        EXPECT_EQ(KVElevate().ScheduleTask(task(name), entries(name), -1), 2);
    }
    EXPECT_EQ(leftovers(), QStringList());
}

// Run now runs the cron line as cron would: the name arrives whole and nothing in it executes.
TEST_F(Elevate, ShellMetacharactersInANameRunNothing)
{
    // The task runs in this folder, where a command that ran would leave its file.
    const QString saved = QDir::currentPath();
    QDir::setCurrent(env.root());
    const QString name = QStringLiteral("$(touch ran1) `touch ran2`; touch ran3 & %d %% !x ${IFS}");
    ASSERT_EQ(MakeValidFileName(name, QStringLiteral("_")), name);
    const QString mesg = QStringLiteral("$(touch ran4)\n`touch ran5`\t; %PATH% 'q' \"qq\"");
    ASSERT_EQ(KVElevate().ScheduleTask(task(name, 1, 0), entries(name, mesg), -1), 0);
    EXPECT_EQ(value(name, QStringLiteral("Mesg")).toString(), mesg);
    ASSERT_EQ(KVElevate().RunTask(ScheduledReportName(name)), 0);

    const QString log
        = env.path(QStringLiteral("common/Korvane Inc./Korvane/6.0/Logs/")) + ScheduleLogFileName;
    QElapsedTimer timer;
    timer.start();
    while (!kv6test::readFile(log).contains("Failed to send report") && timer.elapsed() < 30000)
        QThread::msleep(100);
    const QString text = QString::fromUtf8(kv6test::readFile(log));
    EXPECT_TRUE(text.contains(
        QStringLiteral("\tStarted scheduled report ") + name + QStringLiteral("\r\n")))
        << text.toStdString();
    EXPECT_EQ(QDir().entryList({ QStringLiteral("ran*") }), QStringList());
    QDir::setCurrent(saved);
}

} // namespace
