// Job files of the task folder: read, asked everything a task answers, and saved with their cron
// file. Nothing is ever run.
#include "fuzzsupport.h"

#include "taskstore/taskstore.h"

#include <QDir>
#include <QFile>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    kv6fuzz::app();
    static const bool ready = [] {
        const QString tasks = kv6fuzz::path(QStringLiteral("tasks"));
        const QString cron = kv6fuzz::path(QStringLiteral("cron"));
        QDir().mkpath(tasks);
        QDir().mkpath(cron);
        qputenv("KV6_TASK_DIR", QFile::encodeName(tasks));
        qputenv("KV6_CRON_DIR", QFile::encodeName(cron));
        return true;
    }();
    Q_UNUSED(ready);
    const QString job = kv6fuzz::writeInput(QStringLiteral("tasks/fuzz.job"), data, size);

    kv6::taskstore::Schedule schedule;
    schedule.Refresh();
    const kv6::taskstore::TaskPtr task = schedule.Job(QStringLiteral("fuzz"));
    if (!task)
        return 0;
    task->NextRunTime();
    task->Status();
    task->StatusText();
    task->ShellCommand();
    qint16 idle = 0;
    qint16 deadline = 0;
    task->GetIdleWait(idle, deadline);
    for (const kv6::taskstore::TriggerPtr &t : task->Triggers()) {
        t->Text();
        t->DailyInterval();
        t->MonthlyDOWWeek();
    }
    if (task->Save())
        return 0;
    // What was saved reads back and saves to the same bytes.
    const QByteArray saved = kv6fuzz::fileBytes(job);
    schedule.Refresh();
    const kv6::taskstore::TaskPtr again = schedule.Job(QStringLiteral("fuzz"));
    const QString copy = kv6fuzz::path(QStringLiteral("copy.job"));
    if (!again || again->Save(copy) || kv6fuzz::fileBytes(copy) != saved)
        __builtin_trap();
    return 0;
}
