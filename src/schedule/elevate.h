#pragma once

// Requests to the elevation helper kv6elvte: registry values to write under the machine root and
// a scheduled task to create, each carried in a temporary file, and the operations the helper
// carries them out with. The program uses the request side (KVElevate); the helper validates a
// request before it acts on it.

#include <QList>
#include <QString>
#include <QStringList>
#include <QTime>
#include <QVariant>

namespace kv6 {

// Exit codes of the helper besides those of the operations it runs.
inline constexpr int elevateRequestFileError = 3;
inline constexpr int elevateRefused = 4;
// The suite's identifier of this reporting program (-showscheduled).
inline constexpr int ReporterAppId = 3;

struct KVElevateEntry
{
    QString SectionKey;
    QString ValueName;
    qint32 ValueType = 1; // 1 text, 4 32-bit number
    QVariant Value;
};

class KVElevateEntries
{
public:
    KVElevateEntry &Add(const QString &sectionKey, const QString &valueName, qint32 valueType,
        const QVariant &value);
    const KVElevateEntry &Item(int index) const { return m_items.at(index - 1); } // from 1
    int Count() const { return int(m_items.size()); }
    void Remove(int index) { m_items.removeAt(index - 1); }
    auto begin() const { return m_items.cbegin(); }
    auto end() const { return m_items.cend(); }

    // One line per entry: key, name, type and value separated by tabs, ended by CR LF. A tab,
    // line break or backslash inside a value is written as \t, \r, \n or \\ (a mail body has
    // several lines); keys and names hold none of them. False when the file cannot be written.
    bool SaveToTemp(const QString &path) const;
    // False when the file cannot be read or a line is not four fields.
    bool LoadFromTemp(const QString &path);
    // Writes every entry under the root, checking each new key once (keys compared without
    // regard to case). False at the first key that cannot be created or written.
    bool CreateEntries(quint32 root) const;
    static bool DeleteKey(const QString &sectionKey);

private:
    QList<KVElevateEntry> m_items;
};

class KVElevateSchedule
{
public:
    // The task that runs the schedule `scheduleName` through this program; the trigger is the
    // caller's to set.
    static KVElevateSchedule ForSchedule(const QString &scheduleName);

    QString TaskName() const { return m_taskName; }
    void SetTaskName(const QString &name) { m_taskName = name.trimmed(); }
    QString EXEPath;
    QString TaskCommandLine;
    QString Creator;
    qint32 TriggerType = 1;
    bool Quarterly = false;
    QTime StartTime = QTime(0, 0);
    qint32 Day = 0;

    // Eight lines: task name, program, parameters, creator, trigger type, start time as a day
    // number, day mask, "True"/"False" for quarterly. False when the file cannot be opened or
    // does not hold them.
    bool SaveToTemp(const QString &path) const;
    bool LoadFromTemp(const QString &path);

    // 0 created (or left as it was at the user's wish), 1 a task of that name could not be
    // replaced, 2 the scheduler is not running and could not be started, 3 any other failure.
    int CreateTask(bool confirm) const;
    // 0 deleted or not there, 2 the scheduler is not available or the deletion failed.
    static int DeleteTask(const QString &taskName);
    // 0 started, 2 the scheduler is not available or the task is not there.
    static int RunTask(const QString &taskName);

private:
    QString m_taskName;
};

// What the helper accepts: keys and tasks of schedules of this program only, and the installed
// program only. Each is false with the reason for anything else.
bool IsScheduleKeyPath(const QString &keyPath, QString *scheduleName = nullptr);
bool ValidateScheduleTaskName(const QString &taskName, QString &error);
bool ValidateElevateEntries(const KVElevateEntries &entries, QString &error);
bool ValidateElevateSchedule(const KVElevateSchedule &schedule, QString &error);
// The installed program the tasks run: beside the common folder, reporter/kv6reprt.
QString InstalledProgramPath();

class KVElevate
{
public:
    KVElevate();
    // True when the helper must go through pkexec: this process may not write the machine
    // store, the task folder or the cron folder.
    bool UseElevation() const { return m_useElevation; }

    // Each answers the helper's exit code; -1 when it could not be started or did not end
    // normally.
    bool StartService(const QString &name);
    bool StopService(const QString &name);
    int CreateEntries(const KVElevateEntries &entries);
    int ScheduleTask(
        const KVElevateSchedule &schedule, const KVElevateEntries &entries, qint16 confirm);
    int UnscheduleTask(const QString &taskName, const QString &keyPath);
    int RunTask(const QString &taskName);
    // Reading the schedules needs no rights: the window runs as the user and elevates only
    // the changes made from it.
    int ShowScheduledReports(qint32 appId, const QString &keyPath);

    // The helper: KV6_ELEVATE_HELPER (tests), else kv6elvte in the common folder.
    static QString HelperPath();
    // The program a schedule's task runs: the one installed beside the helper.
    static QString ProgramPath();

private:
    int run(const QStringList &arguments, bool elevate = true);
    bool m_useElevation = false;
};

} // namespace kv6
