#pragma once

// Scheduled tasks kept as job files in the task folder ($KV6_TASK_DIR, default
// /var/lib/korvane6/tasks) and made live by cron: each task with a runnable trigger has one file
// in the cron folder ($KV6_CRON_DIR, default /etc/cron.d) holding a line per trigger. The cron
// file is generated from the job file; editing it by hand is pointless, the next save replaces it.
//
// What a task runs is its `ApplicationName` with the arguments of its `CommandLine`, split at
// blanks outside double quotes (the quotes are removed). On the way to cron every value is
// shell-quoted and every "%" escaped, so a name or argument cannot run anything but that program.
// Each run writes its start time and exit code beside the job file (`LastRunTime`, `ExitCode`).
//
// Every failure is a value: members that can fail answer a TaskResult (empty on success), and a
// typed trigger property read on the wrong kind of trigger answers nothing.

#include "vbcore/keyedcollection.h"

#include <QDate>
#include <QDateTime>
#include <QString>
#include <QTime>

#include <memory>
#include <optional>

namespace kv6::taskstore {

struct TaskError
{
    quint32 number = 0;
    QString description;
};
using TaskResult = std::optional<TaskError>;

inline constexpr quint32 errInvalidTriggerType = 0x80040001;
inline constexpr quint32 errFileExists = 0x80070050;
inline constexpr quint32 errOverflow = 6;
inline constexpr quint32 errGeneral = 0x80004005;

// Trigger types.
enum : qint32 {
    triggerDaily = 1,
    triggerWeekly = 2,
    triggerMonthlyDate = 3,
    triggerMonthlyDOW = 4
};
// Flags of a task and of a trigger.
inline constexpr qint32 taskFlagInteractive = 0x1;
inline constexpr qint32 taskFlagDisabled = 0x4;
inline constexpr qint32 triggerFlagHasEndDate = 0x1;
inline constexpr qint32 triggerFlagDisabled = 0x4;
// Status codes of a task.
inline constexpr qint32 statusReady = 0x41300;
inline constexpr qint32 statusRunning = 0x41301;
inline constexpr qint32 statusDisabled = 0x41302;
inline constexpr qint32 statusHasNotRun = 0x41303;
inline constexpr qint32 statusNoMoreRuns = 0x41304;
inline constexpr qint32 statusNoValidTriggers = 0x41307;

QString TaskFolder();
QString CronFolder();
// The cron file of a task: "korvane6-" and the name with every byte that is not an ASCII letter
// or digit written as "_" and two hex digits, so two names never share a file and cron, which
// skips names with other characters, reads it.
QString CronFileName(const QString &taskName);

struct TaskRecord;
struct TriggerRecord;
class Trigger;
class Task;
using TriggerPtr = std::shared_ptr<Trigger>;
using TaskPtr = std::shared_ptr<Task>;

// One trigger. Properties work on a private copy; `Update` (or `Task::Save`, or releasing the
// last reference) writes it to the task.
class Trigger
{
public:
    ~Trigger();
    Trigger(const Trigger &) = delete;
    Trigger &operator=(const Trigger &) = delete;

    // Typed properties: nothing, or errInvalidTriggerType, on another kind of trigger.
    std::optional<qint16> DailyInterval() const;
    TaskResult SetDailyInterval(qint32 days);
    std::optional<qint16> WeeklyInterval() const;
    TaskResult SetWeeklyInterval(qint32 weeks);
    // Bit 0 Sunday to bit 6 Saturday.
    std::optional<qint32> WeeklyDaysOfTheWeek() const;
    TaskResult SetWeeklyDaysOfTheWeek(qint32 mask);
    // Bit 0 day 1 to bit 30 day 31; all 32 bits kept.
    std::optional<qint32> MonthlyDateDay() const;
    TaskResult SetMonthlyDateDay(qint32 mask);
    // Bit 0 January to bit 11 December.
    std::optional<qint32> MonthlyDateMonths() const;
    TaskResult SetMonthlyDateMonths(qint32 mask);
    std::optional<qint32> MonthlyDOWDaysOfTheWeek() const;
    TaskResult SetMonthlyDOWDaysOfTheWeek(qint32 mask);
    std::optional<qint32> MonthlyDOWMonths() const;
    TaskResult SetMonthlyDOWMonths(qint32 mask);
    // 1 to 4, or 5 for the last week of the month.
    std::optional<qint16> MonthlyDOWWeek() const;
    TaskResult SetMonthlyDOWWeek(qint32 week);

    QDate BeginDay() const;
    void SetBeginDay(const QDate &day);
    // Null when the trigger has no end (see triggerFlagHasEndDate).
    QDate EndDay() const;
    void SetEndDay(const QDate &day);
    QTime StartTime() const;
    void SetStartTime(const QTime &time); // seconds are dropped
    // Repetition within a day, in minutes. Kept with the task; cron does not repeat.
    qint32 Duration() const;
    void SetDuration(qint32 minutes);
    qint32 Interval() const;
    void SetInterval(qint32 minutes);
    qint32 Flags() const;
    void SetFlags(qint32 flags);
    qint16 RandomInterval() const;
    TaskResult SetRandomInterval(qint32 minutes);
    qint32 TriggerType() const;
    void SetTriggerType(qint32 type); // not checked

    void Refresh(); // reloads the copy from the task
    void Update(); // writes the copy to the task
    QString Text() const; // the trigger in words, as the task has it

private:
    friend class Triggers;
    friend class Task;
    Trigger(std::shared_ptr<TaskRecord> task, int index);
    std::shared_ptr<TaskRecord> m_task;
    int m_index;
    std::unique_ptr<TriggerRecord> m_copy;
    bool m_pending = false;
};

class Triggers
{
public:
    TriggerPtr Add(); // a daily trigger from today at 00:00, flags 0
    qint32 Count() const { return qint32(m_items.size()); }
    TriggerPtr Item(int index) const; // from 1; nullptr outside
    TaskResult Remove(qint16 index); // from 1
    void Update(); // rebuilds the wrappers from the task
    auto begin() const { return m_items.cbegin(); }
    auto end() const { return m_items.cend(); }

private:
    friend class Task;
    explicit Triggers(std::shared_ptr<TaskRecord> task);
    std::shared_ptr<TaskRecord> m_task;
    QList<TriggerPtr> m_items;
};

class Task
{
public:
    ~Task();
    Task(const Task &) = delete;
    Task &operator=(const Task &) = delete;

    QString ApplicationName() const;
    void SetApplicationName(const QString &path);
    QString CommandLine() const;
    void SetCommandLine(const QString &parameters);
    QString Comment() const;
    void SetComment(const QString &comment);
    QString Creator() const;
    void SetCreator(const QString &creator);
    // There is no property sheet of a task here; the schedule dialog edits schedules.
    TaskResult Edit(const void *window);
    TaskResult ShowProperties(qint32 hWnd);
    qint16 ErrorRetryCount() const;
    void SetErrorRetryCount(qint16 count);
    qint16 ErrorRetryInterval() const;
    void SetErrorRetryInterval(qint16 minutes);
    qint32 ExitCode() const; // of the last finished run
    QString FileName() const; // the job file
    qint32 Flags() const;
    void SetFlags(qint32 flags);
    // The user cron runs the task as; empty is root. Another password is not needed by cron and
    // is not kept. A name that is not a valid login name is ignored.
    QString GetAccountInfo() const;
    void SetAccountInfo(const QString &account, const QString &password);
    void GetIdleWait(qint16 &idleMinutes, qint16 &deadlineMinutes) const;
    void SetIdleWait(qint16 idleMinutes, qint16 deadlineMinutes);
    QDateTime LastRunTime() const; // the zero date when it never ran
    qint32 MaxRunTime() const;
    void SetMaxRunTime(qint32 ms);
    QString Name() const;
    QDateTime NextRunTime() const; // the zero date when no trigger will fire again
    qint32 Priority() const;
    void SetPriority(qint32 priority);
    // Starts the task now, as cron would, without waiting for it.
    TaskResult Run();
    // A run is not tracked by process; stopping one is left to the administrator.
    TaskResult Terminate();
    // Writes the pending trigger changes, then the job file: to `fileName` when given (a copy,
    // nothing made live), else to its own file, and then its cron file. A failure changes neither.
    TaskResult Save(const QString &fileName = {});
    qint32 Status() const;
    QString StatusText() const;
    taskstore::Triggers &Triggers() { return m_triggers; }
    QString WorkingDirectory() const;
    void SetWorkingDirectory(const QString &folder);

    // The shell command a trigger runs (without cron's "%" escapes), for the curious and for tests.
    QString ShellCommand() const;

private:
    friend class Schedule;
    explicit Task(std::shared_ptr<TaskRecord> record);
    std::shared_ptr<TaskRecord> m_record;
    taskstore::Triggers m_triggers;
};

class Schedule
{
public:
    // True when a cron daemon runs; unless `checkOnly`, one is started first if none runs. With
    // another cron folder than /etc/cron.d (KV6_CRON_DIR), true when that folder exists.
    bool CheckStartScheduler(bool checkOnly);
    qint32 Count() const { return m_jobs.count(); }
    TaskPtr Job(int index) const; // from 1; nullptr when not found
    TaskPtr Job(const QString &name) const; // ignoring case; nullptr when not found
    auto begin() const { return m_jobs.begin(); }
    auto end() const { return m_jobs.end(); }
    // A new task with no triggers, saved at once. errFileExists when a task of that name (in any
    // case) exists; other failures (a bad name, a folder that cannot be written) errGeneral.
    TaskPtr CreateTask(const QString &name, TaskError *error = nullptr);
    // Removes the task's cron file, job file and run record; nothing when not found.
    TaskResult Delete(int index);
    TaskResult Delete(const QString &name);
    // Re-reads the task folder; files that cannot be read and second names differing only in case
    // are skipped.
    void Refresh();
    // Only this computer has a task store; another name is refused.
    QString TargetComputer() const;
    TaskResult SetTargetComputer(const QString &computer);

private:
    KeyedCollection<TaskPtr> m_jobs;
};

} // namespace kv6::taskstore
