#pragma once

#include "taskstore/taskstore.h"

#include <QFileDevice>
#include <QList>
#include <QStringList>

namespace kv6::taskstore {

// What a job file holds for one trigger.
struct TriggerRecord
{
    qint32 type = triggerDaily;
    QDate beginDay;
    QDate endDay;
    QTime startTime { 0, 0 };
    qint32 duration = 0;
    qint32 interval = 0;
    qint32 flags = 0;
    qint16 randomInterval = 0;
    qint16 dailyInterval = 1;
    qint16 weeklyInterval = 1;
    qint16 weeklyDays = 0;
    qint32 monthlyDays = 0;
    qint16 monthlyDateMonths = 0;
    qint16 dowWeek = 1;
    qint16 dowDays = 0;
    qint16 dowMonths = 0;

    bool operator==(const TriggerRecord &) const = default;
};

// What a job file holds for one task.
struct TaskRecord
{
    QString name;
    QString fileName;
    QString applicationName;
    QString parameters;
    QString creator;
    QString comment;
    QString account;
    QString workingDirectory;
    qint32 flags = 0;
    qint16 errorRetryCount = 0;
    qint16 errorRetryInterval = 0;
    qint16 idleWait = 10;
    qint16 idleDeadline = 60;
    qint32 maxRunTime = 259200000; // 72 hours
    qint32 priority = 0x20;
    QList<TriggerRecord> triggers;
};

// jobfile.cpp
QByteArray JobFileText(const TaskRecord &task);
bool ParseJobFile(const QByteArray &text, TaskRecord *task);
QString RunRecordPath(const QString &jobFile);
// Writes through a temporary file renamed into place; no permissions keep the default ones.
TaskResult WriteFileAtomically(
    const QString &path, const QByteArray &data, QFileDevice::Permissions permissions = {});

// cron.cpp
QStringList SplitParameters(const QString &parameters);
QString ShellQuote(const QString &value);
// The program with its arguments, recording the start time and exit code in `runRecord`.
QString ShellRun(const TaskRecord &task, const QString &runRecord);
// Cron reads an unescaped "%" as the end of the command.
QString CronEscape(const QString &shell);
// One schedule line per trigger that can still fire after `today`; an error when a command is
// longer than cron reads.
TaskResult CronLines(
    const TaskRecord &task, const QString &runRecord, const QDate &today, QStringList *lines);
// Whether a trigger fires on `day` (what the cron line and its guard decide, said in C++).
bool FiresOn(const TriggerRecord &trigger, const QDate &day);
bool IsRunnable(const TriggerRecord &trigger);

} // namespace kv6::taskstore
