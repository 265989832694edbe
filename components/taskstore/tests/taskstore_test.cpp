#include "taskstore/taskstore.h"

#include "testscopes.h"
#include "vbcore/vbdate.h"

#include <gtest/gtest.h>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QThread>

using namespace kv6::taskstore;

namespace {

struct CronLine
{
    QStringList fields; // minute hour day-of-month month day-of-week user
    QString command; // as cron hands it to /bin/sh -c
    bool barePercent = false;
};

// The schedule lines of a task's cron file, read back the way Debian's cron reads them: "\%" is a
// "%", a bare "%" ends the command.
QList<CronLine> cronLines(const QString &taskName)
{
    QList<CronLine> out;
    static const QRegularExpression re(
        QStringLiteral("^(\\S+) (\\S+) (\\S+) (\\S+) (\\S+) (\\S+) (.*)$"));
    const QString file = QDir(CronFolder()).filePath(CronFileName(taskName));
    for (const QString &l : kv6test::readText(file).split(QLatin1Char('\n'))) {
        const auto m = re.match(l);
        if (l.startsWith(QLatin1Char('#')) || !m.hasMatch())
            continue;
        CronLine c;
        c.fields = m.capturedTexts().mid(1, 6);
        bool escaped = false;
        for (const QChar ch : m.captured(7)) {
            if (escaped) {
                if (ch != QLatin1Char('%'))
                    c.command += QLatin1Char('\\');
                c.command += ch;
                escaped = false;
            } else if (ch == QLatin1Char('\\')) {
                escaped = true;
            } else if (ch == QLatin1Char('%')) {
                c.barePercent = true;
                break;
            } else {
                c.command += ch;
            }
        }
        out.append(c);
    }
    return out;
}

// Debian's own parser checks the file: crontab's dry run, on the file without its user fields.
bool crontabAccepts(const QString &taskName, const QString &scratch)
{
    QFile in(QDir(CronFolder()).filePath(CronFileName(taskName)));
    QFile out(scratch);
    if (!in.open(QIODevice::ReadOnly) || !out.open(QIODevice::WriteOnly))
        return false;
    static const QRegularExpression user(QStringLiteral("^((\\S+ ){5})\\S+ "));
    for (const QString &l : QString::fromUtf8(in.readAll()).split(QLatin1Char('\n')))
        out.write(QString(l).replace(user, QStringLiteral("\\1")).toUtf8() + '\n');
    out.close();
    QProcess p;
    p.start(QStringLiteral("crontab"), { QStringLiteral("-n"), scratch });
    p.waitForFinished(30000);
    EXPECT_EQ(p.exitCode(), 0) << p.readAllStandardError().toStdString();
    return p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

bool cronFieldMatches(const QString &field, int value)
{
    if (field == QLatin1String("*"))
        return true;
    for (const QString &part : field.split(QLatin1Char(','))) {
        const QStringList range = part.split(QLatin1Char('-'));
        if (value >= range.first().toInt() && value <= range.last().toInt())
            return true;
    }
    return false;
}

QString writeScript(const QString &path, const QByteArray &body)
{
    kv6test::writeFile(path, "#!/bin/sh\n" + body);
    QFile::setPermissions(path, QFile::permissions(path) | QFileDevice::ExeOwner);
    return path;
}

int runShell(const QString &command,
    const QProcessEnvironment &env = QProcessEnvironment::systemEnvironment(),
    const QString &folder = {})
{
    QProcess p;
    p.setProcessEnvironment(env);
    p.setWorkingDirectory(folder);
    p.start(QStringLiteral("/bin/sh"), { QStringLiteral("-c"), command });
    p.waitForFinished(60000);
    return p.exitCode();
}

class TaskStoreTest : public testing::Test
{
protected:
    TaskPtr create(const QString &name)
    {
        TaskError e;
        TaskPtr t = schedule.CreateTask(name, &e);
        EXPECT_TRUE(t) << e.description.toStdString();
        return t;
    }

    kv6test::TempEnv env;
    Schedule schedule;
};

TEST_F(TaskStoreTest, JobFilesRoundTripAndNamesMapToDistinctCronFiles)
{
    const QString name = QStringLiteral("Weekly sales: \"Q1\" 100% $(x) `y`;\nübrig");
    TaskPtr t = create(name);
    ASSERT_TRUE(t);
    t->SetApplicationName(QStringLiteral("/opt/k6/reporter/kv6reprt"));
    t->SetCommandLine(QStringLiteral("/runreport \"") + name + QLatin1Char('"'));
    t->SetCreator(QStringLiteral("kv6elvte"));
    t->SetComment(QStringLiteral("line 1\nline \\2"));
    t->SetFlags(taskFlagInteractive);
    t->SetAccountInfo(QStringLiteral("nobody; rm -rf /"), QStringLiteral("pw")); // ignored
    t->SetIdleWait(5, 7);
    TriggerPtr weekly = t->Triggers().Add();
    weekly->SetTriggerType(triggerWeekly);
    weekly->SetStartTime(QTime(7, 0, 42));
    ASSERT_FALSE(weekly->SetWeeklyDaysOfTheWeek(2 | 8));
    TriggerPtr dow = t->Triggers().Add();
    dow->SetTriggerType(triggerMonthlyDOW);
    ASSERT_FALSE(dow->SetMonthlyDOWWeek(5));
    ASSERT_FALSE(dow->SetMonthlyDOWDaysOfTheWeek(1 << 5));
    ASSERT_FALSE(dow->SetMonthlyDOWMonths(4095));
    dow->SetEndDay(QDate(2030, 1, 31));
    dow->SetFlags(triggerFlagHasEndDate);
    ASSERT_FALSE(t->Save());
    weekly.reset();
    dow.reset();

    // A second job whose name differs only in case is skipped.
    QFile::copy(t->FileName(), QDir(TaskFolder()).filePath(QStringLiteral("WEEKLY SALES.job")));
    QFile::copy(t->FileName(), QDir(TaskFolder()).filePath(QStringLiteral("weekly sales.job")));
    Schedule again;
    again.Refresh();
    EXPECT_EQ(again.Count(), 2);
    EXPECT_TRUE(again.Job(QStringLiteral("Weekly Sales")));
    const TaskPtr r = again.Job(name.toUpper());
    ASSERT_TRUE(r);
    EXPECT_EQ(r->Name(), name);
    EXPECT_EQ(r->CommandLine(), t->CommandLine());
    EXPECT_EQ(r->Comment(), t->Comment());
    EXPECT_EQ(r->Creator(), QStringLiteral("kv6elvte"));
    EXPECT_EQ(r->GetAccountInfo(), QString());
    qint16 idle = 0, deadline = 0;
    r->GetIdleWait(idle, deadline);
    EXPECT_EQ(idle * 10 + deadline, 57);
    EXPECT_TRUE(kv6::IsVbZeroDate(r->LastRunTime()));
    EXPECT_EQ(r->Status(), statusHasNotRun);
    ASSERT_EQ(r->Triggers().Count(), 2);
    EXPECT_EQ(r->Triggers().Item(1)->StartTime(), QTime(7, 0));
    EXPECT_EQ(r->Triggers().Item(1)->WeeklyDaysOfTheWeek(), 10);
    EXPECT_EQ(r->Triggers().Item(2)->MonthlyDOWWeek(), 5);
    EXPECT_EQ(r->Triggers().Item(2)->EndDay(), QDate(2030, 1, 31));
    EXPECT_EQ(r->Triggers().Item(2)->Text(),
        QStringLiteral("At 00:00 on the last Fri of every month, starting %1, until 2030-01-31")
            .arg(QDate::currentDate().toString(Qt::ISODate)));
    // Removing position 1 removes the first trigger, the one left is the monthly one.
    ASSERT_FALSE(r->Triggers().Remove(1));
    ASSERT_FALSE(r->Save());
    EXPECT_EQ(cronLines(name).size(), 1);
    EXPECT_EQ(cronLines(name).value(0).fields.value(2), QStringLiteral("22-31"));

    const QStringList files = QDir(CronFolder()).entryList(QDir::Files);
    ASSERT_EQ(files.size(), 1);
    EXPECT_TRUE(
        QRegularExpression(QStringLiteral("^[A-Za-z0-9_-]+$")).match(files.first()).hasMatch());
    EXPECT_NE(CronFileName(QStringLiteral("a b")), CronFileName(QStringLiteral("a_20b")));
    EXPECT_NE(CronFileName(QStringLiteral("a_")), CronFileName(QStringLiteral("a_5f")));

    ASSERT_FALSE(again.Delete(name));
    EXPECT_TRUE(QDir(CronFolder()).entryList(QDir::Files).isEmpty());
    EXPECT_FALSE(QFile::exists(t->FileName()));
}

TEST_F(TaskStoreTest, TriggerPropertiesBelongToTheirType)
{
    TaskPtr t = create(QStringLiteral("typed"));
    ASSERT_TRUE(t);
    TriggerPtr tr = t->Triggers().Add();
    EXPECT_EQ(tr->TriggerType(), triggerDaily);
    EXPECT_FALSE(tr->MonthlyDateDay());
    const TaskResult wrong = tr->SetMonthlyDateDay(1);
    ASSERT_TRUE(wrong);
    EXPECT_EQ(wrong->number, 0x80040001u);
    EXPECT_EQ(wrong->description, QStringLiteral("Invalid trigger type"));
    tr->SetTriggerType(triggerMonthlyDate);
    EXPECT_FALSE(tr->SetMonthlyDateDay(1073741824));
    EXPECT_EQ(tr->SetMonthlyDateMonths(70000).value_or(TaskError {}).number, errOverflow);
    EXPECT_FALSE(tr->DailyInterval());
}

TEST_F(TaskStoreTest, CronLinesForEachTriggerType)
{
    struct Case
    {
        const char *name;
        std::function<void(Trigger &)> set;
        QString fields; // the first six fields, or empty when no line is due
        qint32 status = statusHasNotRun;
    };
    const Case cases[] = {
        { "daily", [](Trigger &) {}, QStringLiteral("30 6 * * * root") },
        { "weekly Sun Mon Sat",
            [](Trigger &t) {
                t.SetTriggerType(triggerWeekly);
                t.SetWeeklyDaysOfTheWeek(1 | 2 | 64);
            },
            QStringLiteral("30 6 * * 0,1,6 root") },
        { "weekly no day", [](Trigger &t) { t.SetTriggerType(triggerWeekly); }, QString(),
            statusNoValidTriggers },
        { "day 31 of four months",
            [](Trigger &t) {
                t.SetTriggerType(triggerMonthlyDate);
                t.SetMonthlyDateDay(1073741824);
                t.SetMonthlyDateMonths(585);
            },
            QStringLiteral("30 6 31 1,4,7,10 * root") },
        { "second Tuesday",
            [](Trigger &t) {
                t.SetTriggerType(triggerMonthlyDOW);
                t.SetMonthlyDOWWeek(2);
                t.SetMonthlyDOWDaysOfTheWeek(4);
                t.SetMonthlyDOWMonths(4095);
            },
            QStringLiteral("30 6 8-14 1,2,3,4,5,6,7,8,9,10,11,12 * root") },
        { "disabled", [](Trigger &t) { t.SetFlags(triggerFlagDisabled); }, QString(),
            statusNoValidTriggers },
        { "ended",
            [](Trigger &t) {
                t.SetFlags(triggerFlagHasEndDate);
                t.SetEndDay(QDate::currentDate().addDays(-1));
            },
            QString(), statusNoMoreRuns },
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        TaskPtr t = create(QString::fromLatin1(c.name));
        ASSERT_TRUE(t);
        t->SetApplicationName(QStringLiteral("/bin/true"));
        TriggerPtr tr = t->Triggers().Add();
        tr->SetStartTime(QTime(6, 30));
        c.set(*tr);
        tr.reset(); // released unsaved: the change still reaches the task
        ASSERT_FALSE(t->Save());
        const QList<CronLine> lines = cronLines(t->Name());
        ASSERT_EQ(lines.size(), c.fields.isEmpty() ? 0 : 1);
        if (!lines.isEmpty()) {
            EXPECT_TRUE(crontabAccepts(t->Name(), env.path(QStringLiteral("crontab"))));
            const QStringList &f = lines.first().fields;
            EXPECT_EQ(f.join(QLatin1Char(' ')), c.fields);
            const QDateTime next = t->NextRunTime();
            EXPECT_EQ(next.time(), QTime(6, 30));
            EXPECT_TRUE(cronFieldMatches(f[2], next.date().day())
                && cronFieldMatches(f[3], next.date().month())
                && cronFieldMatches(f[4], next.date().dayOfWeek() % 7))
                << next.toString().toStdString();
        }
        EXPECT_EQ(t->Status(), c.status);
    }
}

// The guarded lines run on exactly their days: cron's own field matching picks the candidate days,
// and /bin/sh runs the line on each with a `date` that says it is that day.
TEST_F(TaskStoreTest, GuardedLinesRunOnExactlyTheirDays)
{
    const QString fakeBin = env.path(QStringLiteral("fakebin"));
    writeScript(fakeBin + QStringLiteral("/date"),
        "case \"$1\" in\n"
        "  -u) exec /usr/bin/date \"$@\";;\n"
        "  -d) d=\"$KV6_FAKE_DAY $2\"; shift 2;;\n"
        "  *) d=\"$KV6_FAKE_DAY\";;\n"
        "esac\n"
        "exec /usr/bin/date -d \"$d\" \"$@\"\n");
    const QString ran = env.path(QStringLiteral("ran"));
    const QString program
        = writeScript(env.path(QStringLiteral("prog")), "echo \"$KV6_FAKE_DAY\" >>\"$KV6_RAN\"\n");
    const QDate begin(2027, 1, 4); // a Monday
    struct Case
    {
        const char *name;
        QDate last;
        std::function<void(Trigger &)> set;
        std::function<bool(const QDate &)> expected;
    };
    const Case cases[] = {
        { "second Tuesday and Thursday", QDate(2027, 4, 30),
            [](Trigger &t) {
                t.SetTriggerType(triggerMonthlyDOW);
                t.SetMonthlyDOWWeek(2);
                t.SetMonthlyDOWDaysOfTheWeek(4 | 16);
                t.SetMonthlyDOWMonths(4095);
            },
            [](const QDate &d) {
                return (d.dayOfWeek() == 2 || d.dayOfWeek() == 4) && d.day() > 7 && d.day() <= 14;
            } },
        { "last Friday of February and March", QDate(2028, 3, 31),
            [](Trigger &t) {
                t.SetTriggerType(triggerMonthlyDOW);
                t.SetMonthlyDOWWeek(5);
                t.SetMonthlyDOWDaysOfTheWeek(32);
                t.SetMonthlyDOWMonths(2 | 4);
            },
            [](const QDate &d) {
                return d.dayOfWeek() == 5 && (d.month() == 2 || d.month() == 3)
                    && d.addDays(7).month() != d.month();
            } },
        { "every third day", QDate(2027, 1, 31), [](Trigger &t) { t.SetDailyInterval(3); },
            [begin](const QDate &d) { return begin.daysTo(d) % 3 == 0; } },
        { "Monday every second week", QDate(2027, 2, 28),
            [](Trigger &t) {
                t.SetTriggerType(triggerWeekly);
                t.SetWeeklyDaysOfTheWeek(2);
                t.SetWeeklyInterval(2);
            },
            [begin](const QDate &d) { return d.dayOfWeek() == 1 && begin.daysTo(d) % 14 == 0; } },
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        TaskPtr t = create(QString::fromLatin1(c.name));
        ASSERT_TRUE(t);
        t->SetApplicationName(program);
        TriggerPtr tr = t->Triggers().Add();
        tr->SetBeginDay(begin);
        c.set(*tr);
        ASSERT_FALSE(t->Save());
        const QList<CronLine> lines = cronLines(t->Name());
        ASSERT_EQ(lines.size(), 1);
        const CronLine &l = lines.first();
        EXPECT_FALSE(l.barePercent);
        QStringList candidates, expected;
        for (QDate d = begin; d <= c.last; d = d.addDays(1)) {
            if (cronFieldMatches(l.fields[2], d.day()) && cronFieldMatches(l.fields[3], d.month())
                && cronFieldMatches(l.fields[4], d.dayOfWeek() % 7))
                candidates << d.toString(Qt::ISODate);
            if (c.expected(d))
                expected << d.toString(Qt::ISODate);
        }
        QProcessEnvironment penv = QProcessEnvironment::systemEnvironment();
        penv.insert(QStringLiteral("PATH"), fakeBin + QStringLiteral(":/usr/bin:/bin"));
        penv.insert(QStringLiteral("KV6_RAN"), ran);
        penv.insert(QStringLiteral("KV6_LINE"), l.command);
        QFile::remove(ran);
        runShell(QStringLiteral("for KV6_FAKE_DAY in %1; do export KV6_FAKE_DAY; /bin/sh -c "
                                "\"$KV6_LINE\"; done")
                     .arg(candidates.join(QLatin1Char(' '))),
            penv);
        EXPECT_EQ(kv6test::readText(ran).split(QLatin1Char('\n'), Qt::SkipEmptyParts), expected);
    }
}

TEST_F(TaskStoreTest, HostileNamesAndArgumentsReachOnlyTheProgram)
{
    // Whatever the payloads would create is called "pwned", relative to where they would run.
    const auto pwned = [this] {
        QDirIterator it(env.root(), { QStringLiteral("pwned") }, QDir::AllEntries,
            QDirIterator::Subdirectories);
        return it.hasNext() || QFile::exists(QStringLiteral("pwned"));
    };
    const QString out = env.path(QStringLiteral("args"));
    // The program's own path is hostile too.
    const QString program
        = writeScript(env.path(QStringLiteral("it's \"odd\" $(touch pwned) 50% \\%d/args.sh")),
            QStringLiteral("printf '%s\\0' \"$@\" > '%1'\nexit 3\n").arg(out).toUtf8());
    const QString payload
        = QStringLiteral("$(touch pwned) `touch pwned`; touch pwned & touch pwned | x > y");
    const QString name = QStringLiteral("Sales: Q1 '%1' 100% \\%x \\\\%y %%").arg(payload);
    const QString parameters
        = QStringLiteral("/runreport \"%1\" \"two\nlines\" plain%d 'single' \"\" \\%2")
              .arg(name, QStringLiteral("$HOME"));
    const QStringList expected = { QStringLiteral("/runreport"), name, QStringLiteral("two\nlines"),
        QStringLiteral("plain%d"), QStringLiteral("'single'"), QString(),
        QStringLiteral("\\$HOME") };

    TaskPtr t = create(name);
    ASSERT_TRUE(t);
    t->SetApplicationName(program);
    t->SetCommandLine(parameters);
    t->SetWorkingDirectory(env.path(QStringLiteral("it's \"odd\" $(touch pwned) 50% \\%d")));
    t->Triggers().Add();
    ASSERT_FALSE(t->Save());
    const QList<CronLine> lines = cronLines(name);
    ASSERT_EQ(lines.size(), 1);
    EXPECT_FALSE(lines.first().barePercent);
    EXPECT_TRUE(crontabAccepts(name, env.path(QStringLiteral("crontab"))));
    EXPECT_EQ(
        runShell(lines.first().command, QProcessEnvironment::systemEnvironment(), env.root()), 0);

    const auto arrived = [&out] {
        QStringList a = kv6test::readText(out).split(QChar(0));
        a.removeLast();
        return a;
    };
    EXPECT_EQ(arrived(), expected);
    EXPECT_FALSE(pwned());
    EXPECT_EQ(t->ExitCode(), 3);
    EXPECT_LE(t->LastRunTime().secsTo(QDateTime::currentDateTime()), 60);
    EXPECT_EQ(t->Status(), statusReady);

    // Run now goes the same way.
    QFile::remove(out);
    QFile::remove(QDir(TaskFolder()).filePath(name + QStringLiteral(".job.run")));
    ASSERT_FALSE(t->Run());
    for (int i = 0; i < 100 && t->Status() != statusReady; ++i)
        QThread::msleep(50);
    EXPECT_EQ(arrived(), expected);
    EXPECT_EQ(t->ExitCode(), 3);
    EXPECT_FALSE(pwned());
}

// A save that fails (a disk that fills while the job file is written, a cron folder that cannot
// be written, a command cron would cut) names the cause, and the job file and the cron file stay
// as they were, with no temporary file left.
TEST_F(TaskStoreTest, AFailedSaveKeepsTheSavedTask)
{
    TaskPtr t = create(QStringLiteral("Top 10"));
    ASSERT_TRUE(t);
    t->Triggers().Add()->SetStartTime(QTime(7, 0));
    t->SetComment(QString(4000, QLatin1Char('c'))); // in the job file only
    ASSERT_FALSE(t->Save());
    const QString cron = QDir(CronFolder()).filePath(CronFileName(t->Name()));
    const QByteArray job = kv6test::readFile(t->FileName());
    const QByteArray cronBefore = kv6test::readFile(cron);
    ASSERT_LT(cronBefore.size() + 100, job.size());
    const auto unchanged = [&](const char *when) {
        EXPECT_EQ(kv6test::readFile(t->FileName()), job) << when;
        EXPECT_EQ(kv6test::readFile(cron), cronBefore) << when;
        EXPECT_EQ(QDir(TaskFolder()).entryList(QDir::Files).size(), 1) << when;
        EXPECT_EQ(QDir(CronFolder()).entryList(QDir::Files | QDir::Hidden).size(), 1) << when;
    };
    t->Triggers().Item(1)->SetStartTime(QTime(8, 0));

    TaskResult saved;
    {
        // Room for the cron file, not for the job file.
        kv6test::ScopedFileSizeLimit full(cronBefore.size() + 100);
        saved = t->Save();
    }
    ASSERT_TRUE(saved);
    EXPECT_TRUE(saved->description.contains(t->FileName())) << saved->description.toStdString();
    EXPECT_FALSE(saved->description.contains(QStringLiteral("Unknown error")))
        << saved->description.toStdString();
    unchanged("disk full");

    // Root may write anywhere, so the cron folder is made a file: what cron could not read either.
    const QString blocked = env.path(QStringLiteral("cron-file"));
    writeScript(blocked, "");
    TaskError e;
    {
        const kv6test::ScopedEnv cronDir("KV6_CRON_DIR", blocked.toUtf8());
        saved = t->Save();
        ASSERT_TRUE(saved);
        EXPECT_TRUE(saved->description.contains(blocked)) << saved->description.toStdString();
        EXPECT_FALSE(schedule.CreateTask(QStringLiteral("Another"), &e));
        EXPECT_TRUE(e.description.contains(QStringLiteral("cron folder")))
            << e.description.toStdString();
    }
    unchanged("cron folder a file");

    // Cron would cut a longer command and never run it.
    t->SetCommandLine(QString(1000, QLatin1Char('x')));
    EXPECT_TRUE(t->Save());
    unchanged("command too long");

    EXPECT_FALSE(schedule.CreateTask(QStringLiteral("a/b"), &e));
    EXPECT_FALSE(schedule.CreateTask(QStringLiteral("TOP 10"), &e));
    EXPECT_EQ(e.number, errFileExists);
}

} // namespace
