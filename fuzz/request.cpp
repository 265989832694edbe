// Request files of the elevation helper: the entries file and the schedule file, each checked as
// the helper checks them before it acts.
#include "fuzzsupport.h"

#include "schedule/elevate.h"


extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    kv6fuzz::app();
    const QString file = kv6fuzz::writeInput(QStringLiteral("request.txt"), data, size);
    const QString first = kv6fuzz::path(QStringLiteral("first.txt"));
    const QString second = kv6fuzz::path(QStringLiteral("second.txt"));
    QString error;

    // A request that was read writes out again, and reads back to the same file.
    kv6::KVElevateEntries entries;
    if (entries.LoadFromTemp(file)) {
        kv6::ValidateElevateEntries(entries, error);
        kv6::KVElevateEntries again;
        if (!entries.SaveToTemp(first) || !again.LoadFromTemp(first) || !again.SaveToTemp(second)
            || kv6fuzz::fileBytes(first) != kv6fuzz::fileBytes(second))
            __builtin_trap();
    }

    kv6::KVElevateSchedule schedule;
    if (schedule.LoadFromTemp(file)) {
        kv6::ValidateElevateSchedule(schedule, error);
        kv6::ValidateScheduleTaskName(schedule.TaskName(), error);
        kv6::KVElevateSchedule again;
        if (!schedule.SaveToTemp(first) || !again.LoadFromTemp(first) || !again.SaveToTemp(second)
            || kv6fuzz::fileBytes(first) != kv6fuzz::fileBytes(second))
            __builtin_trap();
    }
    return 0;
}
