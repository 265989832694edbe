#include "taskstore_p.h"

#include "vbcore/vbdate.h"

#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QSysInfo>
#include <QThread>

namespace kv6::taskstore {

namespace {

const QString kJob = QStringLiteral(".job");

TaskError general(const QString &text)
{
    return { errGeneral, text };
}

struct RunRecord
{
    QDateTime started;
    std::optional<qint32> exitCode;
};

RunRecord readRunRecord(const QString &jobFile)
{
    RunRecord r;
    QFile f(RunRecordPath(jobFile));
    if (!f.open(QIODevice::ReadOnly))
        return r;
    const QList<QByteArray> lines = f.readAll().split('\n');
    bool ok = false;
    const qint64 secs = lines.value(0).trimmed().toLongLong(&ok);
    if (ok)
        r.started = QDateTime::fromSecsSinceEpoch(secs);
    const qint32 code = lines.value(1).trimmed().toInt(&ok);
    if (ok)
        r.exitCode = code;
    return r;
}

TaskResult checkCronFolder()
{
    const QFileInfo cron(CronFolder());
    if (!cron.isDir())
        return general(QStringLiteral("The cron folder %1 does not exist; is cron installed?")
                           .arg(cron.filePath()));
    if (!cron.isWritable())
        return general(QStringLiteral("Cannot write to the cron folder %1: permission denied.")
                           .arg(cron.filePath()));
    return std::nullopt;
}

bool cronDaemonRuns()
{
    QDirIterator it(QStringLiteral("/proc"), QDir::Dirs | QDir::NoDotAndDotDot);
    while (it.hasNext()) {
        QFile comm(it.next() + QStringLiteral("/comm"));
        if (!comm.open(QIODevice::ReadOnly))
            continue;
        const QByteArray name = comm.readAll().trimmed();
        if (name == "cron" || name == "crond")
            return true;
    }
    return false;
}

const QRegularExpression &loginName()
{
    static const QRegularExpression re(
        QStringLiteral("^[a-z_][a-z0-9_-]*\\$?$"), QRegularExpression::CaseInsensitiveOption);
    return re;
}

} // namespace

QString TaskFolder()
{
    const QString dir = qEnvironmentVariable("KV6_TASK_DIR");
    return dir.isEmpty() ? QStringLiteral("/var/lib/korvane6/tasks") : dir;
}

QString CronFolder()
{
    const QString dir = qEnvironmentVariable("KV6_CRON_DIR");
    return dir.isEmpty() ? QStringLiteral("/etc/cron.d") : dir;
}

QString CronFileName(const QString &taskName)
{
    QString out = QStringLiteral("korvane6-");
    for (const char c : taskName.toUtf8()) {
        if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'))
            out += QLatin1Char(c);
        else
            out += QStringLiteral("_%1").arg(uchar(c), 2, 16, QLatin1Char('0'));
    }
    return out;
}

Task::Task(std::shared_ptr<TaskRecord> record)
    : m_record(std::move(record))
    , m_triggers(m_record)
{ }

Task::~Task() = default;

QString Task::ApplicationName() const
{
    return m_record->applicationName;
}
void Task::SetApplicationName(const QString &path)
{
    m_record->applicationName = path;
}
QString Task::CommandLine() const
{
    return m_record->parameters;
}
void Task::SetCommandLine(const QString &parameters)
{
    m_record->parameters = parameters;
}
QString Task::Comment() const
{
    return m_record->comment;
}
void Task::SetComment(const QString &comment)
{
    m_record->comment = comment;
}
QString Task::Creator() const
{
    return m_record->creator;
}
void Task::SetCreator(const QString &creator)
{
    m_record->creator = creator;
}
TaskResult Task::Edit(const void *)
{
    return general(
        QStringLiteral("Tasks have no property window here; edit the schedule instead."));
}
TaskResult Task::ShowProperties(qint32)
{
    return Edit(nullptr);
}
qint16 Task::ErrorRetryCount() const
{
    return m_record->errorRetryCount;
}
void Task::SetErrorRetryCount(qint16 count)
{
    m_record->errorRetryCount = count;
}
qint16 Task::ErrorRetryInterval() const
{
    return m_record->errorRetryInterval;
}
void Task::SetErrorRetryInterval(qint16 minutes)
{
    m_record->errorRetryInterval = minutes;
}
qint32 Task::ExitCode() const
{
    return readRunRecord(m_record->fileName).exitCode.value_or(0);
}
QString Task::FileName() const
{
    return m_record->fileName;
}
qint32 Task::Flags() const
{
    return m_record->flags;
}
void Task::SetFlags(qint32 flags)
{
    m_record->flags = flags;
}
QString Task::GetAccountInfo() const
{
    return m_record->account;
}
void Task::SetAccountInfo(const QString &account, const QString &)
{
    // The name becomes the user field of a cron line: anything but a login name is ignored.
    if (account.isEmpty() || loginName().match(account).hasMatch())
        m_record->account = account;
}
void Task::GetIdleWait(qint16 &idleMinutes, qint16 &deadlineMinutes) const
{
    idleMinutes = m_record->idleWait;
    deadlineMinutes = m_record->idleDeadline;
}
void Task::SetIdleWait(qint16 idleMinutes, qint16 deadlineMinutes)
{
    m_record->idleWait = idleMinutes;
    m_record->idleDeadline = deadlineMinutes;
}
QDateTime Task::LastRunTime() const
{
    const QDateTime started = readRunRecord(m_record->fileName).started;
    return started.isValid() ? started : VbZeroDate();
}
qint32 Task::MaxRunTime() const
{
    return m_record->maxRunTime;
}
void Task::SetMaxRunTime(qint32 ms)
{
    m_record->maxRunTime = ms;
}
QString Task::Name() const
{
    return m_record->name;
}

QDateTime Task::NextRunTime() const
{
    const QDateTime now = QDateTime::currentDateTime();
    QDateTime next;
    if (!(m_record->flags & taskFlagDisabled)) {
        for (const TriggerRecord &t : std::as_const(m_record->triggers)) {
            // Four years and a day reach every 29 February.
            for (QDate d = now.date(); d <= now.date().addDays(qint64(4) * 366); d = d.addDays(1)) {
                const QDateTime at(d, t.startTime);
                if (next.isValid() && at >= next)
                    break;
                if (at > now && FiresOn(t, d)) {
                    next = at;
                    break;
                }
            }
        }
    }
    return next.isValid() ? next : VbZeroDate();
}

qint32 Task::Priority() const
{
    return m_record->priority;
}
void Task::SetPriority(qint32 priority)
{
    m_record->priority = priority;
}
QString Task::WorkingDirectory() const
{
    return m_record->workingDirectory;
}
void Task::SetWorkingDirectory(const QString &folder)
{
    m_record->workingDirectory = folder;
}

QString Task::ShellCommand() const
{
    return ShellRun(*m_record, RunRecordPath(m_record->fileName));
}

TaskResult Task::Run()
{
    if (m_record->applicationName.isEmpty())
        return general(QStringLiteral("The task %1 has no program to run.").arg(m_record->name));
    QProcess p;
    p.setProgram(QStringLiteral("/bin/sh"));
    p.setArguments({ QStringLiteral("-c"), ShellCommand() });
    p.setStandardInputFile(QProcess::nullDevice());
    p.setStandardOutputFile(QProcess::nullDevice());
    p.setStandardErrorFile(QProcess::nullDevice());
    if (!p.startDetached())
        return general(
            QStringLiteral("Cannot start the task %1: %2").arg(m_record->name, p.errorString()));
    return std::nullopt;
}

TaskResult Task::Terminate()
{
    return general(QStringLiteral("Stopping a running task is not supported; end its process."));
}

TaskResult Task::Save(const QString &fileName)
{
    for (const TriggerPtr &t : m_triggers) {
        if (t->m_pending)
            t->Update();
    }
    const QByteArray job = JobFileText(*m_record);
    if (!fileName.isEmpty() && fileName != m_record->fileName)
        return WriteFileAtomically(fileName, job);

    if (!QDir().mkpath(TaskFolder()))
        return general(QStringLiteral("Cannot create the task folder %1.").arg(TaskFolder()));
    // The cron file first: when it cannot be written the job file keeps its old state, and when
    // the job file then fails the old cron file comes back.
    const QString cronPath = QDir(CronFolder()).filePath(CronFileName(m_record->name));
    QStringList lines;
    if (const TaskResult r
        = CronLines(*m_record, RunRecordPath(m_record->fileName), QDate::currentDate(), &lines))
        return r;
    QFile old(cronPath);
    const bool hadOld = old.open(QIODevice::ReadOnly);
    const QByteArray oldText = hadOld ? old.readAll() : QByteArray();
    old.close();
    if (lines.isEmpty()) {
        if (hadOld && !QFile::remove(cronPath))
            return general(QStringLiteral("Cannot remove %1.").arg(cronPath));
    } else {
        if (const TaskResult r = checkCronFolder())
            return r;
        const QString text = QStringLiteral("# A Korvane 6 scheduled task, made from its job file: "
                                            "change the task, not this file.\n"
                                            "SHELL=/bin/sh\nPATH=/usr/bin:/bin\n")
            + lines.join(QLatin1Char('\n')) + QLatin1Char('\n');
        // Cron ignores files others may write.
        if (const TaskResult r = WriteFileAtomically(cronPath, text.toUtf8(),
                QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup
                    | QFileDevice::ReadOther))
            return r;
    }
    if (const TaskResult r = WriteFileAtomically(m_record->fileName, job)) {
        if (hadOld)
            WriteFileAtomically(cronPath, oldText);
        else
            QFile::remove(cronPath);
        return r;
    }
    return std::nullopt;
}

qint32 Task::Status() const
{
    if (m_record->flags & taskFlagDisabled)
        return statusDisabled;
    const RunRecord run = readRunRecord(m_record->fileName);
    // A run that outlived its maximum run time ended without its exit code (a reboot, a kill).
    if (run.started.isValid() && !run.exitCode
        && run.started.addMSecs(m_record->maxRunTime) > QDateTime::currentDateTime())
        return statusRunning;
    if (std::none_of(m_record->triggers.cbegin(), m_record->triggers.cend(), IsRunnable))
        return statusNoValidTriggers;
    if (IsVbZeroDate(NextRunTime()))
        return statusNoMoreRuns;
    return run.started.isValid() ? statusReady : statusHasNotRun;
}

QString Task::StatusText() const
{
    switch (Status()) {
    case statusDisabled:
        return QStringLiteral("The task is disabled.");
    case statusRunning:
        return QStringLiteral("The task is running.");
    case statusNoValidTriggers:
        return QStringLiteral("The task has no trigger that can run.");
    case statusNoMoreRuns:
        return QStringLiteral("The task will not run again.");
    case statusHasNotRun:
        return QStringLiteral("The task has not run yet.");
    default:
        return QStringLiteral("The task is ready to run at its next time.");
    }
}

bool Schedule::CheckStartScheduler(bool checkOnly)
{
    // A cron folder of its own (a test, a staging root) is read by no daemon we could ask
    // about: the scheduler is there when its folder is.
    const QString cron = CronFolder();
    if (!qEnvironmentVariableIsEmpty("KV6_CRON_DIR")
        && QDir(cron).canonicalPath() != QDir(QStringLiteral("/etc/cron.d")).canonicalPath())
        return QFileInfo(cron).isDir();
    if (cronDaemonRuns())
        return true;
    if (checkOnly)
        return false;
    const QString service = QStandardPaths::findExecutable(QStringLiteral("service"),
        { QStringLiteral("/usr/sbin"), QStringLiteral("/sbin"), QStringLiteral("/usr/bin") });
    if (service.isEmpty())
        return false;
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(service, { QStringLiteral("cron"), QStringLiteral("start") });
    if (!p.waitForFinished(60000)) {
        p.kill();
        p.waitForFinished(1000);
        return false;
    }
    // The daemon forks away from the start script; give it a few seconds to appear.
    for (int i = 0; i < 10; ++i) {
        if (cronDaemonRuns())
            return true;
        QThread::msleep(1000);
    }
    return false;
}

TaskPtr Schedule::Job(int index) const
{
    const TaskPtr *t = m_jobs.item(index);
    return t ? *t : nullptr;
}

TaskPtr Schedule::Job(const QString &name) const
{
    const TaskPtr *t = m_jobs.item(name);
    return t ? *t : nullptr;
}

TaskPtr Schedule::CreateTask(const QString &name, TaskError *error)
{
    const auto fail = [error](const TaskError &e) -> TaskPtr {
        if (error)
            *error = e;
        return nullptr;
    };
    if (name.isEmpty() || name == QLatin1String(".") || name == QLatin1String("..")
        || name.contains(QLatin1Char('/')) || name.contains(QChar(0)))
        return fail(general(QStringLiteral("\"%1\" cannot be the name of a task.").arg(name)));
    if ((name + kJob).toUtf8().size() > 255 || CronFileName(name).size() > 255)
        return fail(general(QStringLiteral("The task name %1 is too long.").arg(name)));
    if (const TaskResult r = checkCronFolder())
        return fail(*r);
    const QDir dir(TaskFolder());
    const QStringList jobs = dir.entryList({ QStringLiteral("*.job") }, QDir::Files);
    for (const QString &job : jobs) {
        if (job.chopped(kJob.size()).compare(name, Qt::CaseInsensitive) == 0)
            return fail(
                { errFileExists, QStringLiteral("A task named %1 already exists.").arg(name) });
    }
    auto record = std::make_shared<TaskRecord>();
    record->name = name;
    record->fileName = dir.filePath(name + kJob);
    record->creator = QCoreApplication::applicationName().isEmpty()
        ? QStringLiteral("Korvane 6")
        : QCoreApplication::applicationName();
    TaskPtr task(new Task(record));
    if (const TaskResult r = task->Save())
        return fail(*r);
    m_jobs.remove(name);
    m_jobs.add(task, name);
    return task;
}

TaskResult Schedule::Delete(const QString &name)
{
    const TaskPtr task = Job(name);
    if (!task)
        return std::nullopt;
    const QString cron = QDir(CronFolder()).filePath(CronFileName(task->Name()));
    if (QFile::exists(cron) && !QFile::remove(cron))
        return general(QStringLiteral("Cannot remove %1.").arg(cron));
    if (QFile::exists(task->FileName()) && !QFile::remove(task->FileName()))
        return general(QStringLiteral("Cannot remove %1.").arg(task->FileName()));
    QFile::remove(RunRecordPath(task->FileName()));
    m_jobs.remove(name);
    return std::nullopt;
}

TaskResult Schedule::Delete(int index)
{
    const TaskPtr task = Job(index);
    return task ? Delete(task->Name()) : std::nullopt;
}

void Schedule::Refresh()
{
    m_jobs.clear();
    const QDir dir(TaskFolder());
    const QStringList jobs
        = dir.entryList({ QStringLiteral("*.job") }, QDir::Files | QDir::CaseSensitive, QDir::Name);
    for (const QString &job : jobs) {
        QFile f(dir.filePath(job));
        auto record = std::make_shared<TaskRecord>();
        if (!f.open(QIODevice::ReadOnly) || !ParseJobFile(f.readAll(), record.get()))
            continue;
        record->name = job.chopped(kJob.size());
        record->fileName = dir.filePath(job);
        if (!m_jobs.exists(record->name))
            m_jobs.add(TaskPtr(new Task(record)), record->name);
    }
}

QString Schedule::TargetComputer() const
{
    return QSysInfo::machineHostName();
}

TaskResult Schedule::SetTargetComputer(const QString &computer)
{
    QString name = computer;
    while (name.startsWith(QLatin1Char('\\')))
        name.remove(0, 1);
    if (!name.isEmpty() && name.compare(QSysInfo::machineHostName(), Qt::CaseInsensitive) != 0
        && name.compare(QLatin1String("localhost"), Qt::CaseInsensitive) != 0)
        return general(QStringLiteral("Tasks of another computer (%1) cannot be managed from here.")
                           .arg(computer));
    Refresh();
    return std::nullopt;
}

} // namespace kv6::taskstore
