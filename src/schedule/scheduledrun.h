#pragma once

#include <QString>
#include <QStringList>

namespace kv6 {

inline const QString ScheduleLogFileName = QStringLiteral("KV6AnalysisReportSchedule.log");
// The machine key holding one subkey per schedule.
inline const QString SchedulingKey = QStringLiteral("Software\\Korvane 6\\Reporter\\Scheduling");
// The key of one schedule (its safe name).
inline QString ScheduleKeyPath(const QString &name)
{
    return SchedulingKey + QLatin1Char('\\') + name;
}

// The names of the schedules under the machine key.
QStringList ScheduleNames();

// The unattended run of one schedule: rebuilds its report or proposal, exports it to PDF, mails it
// and logs every step. Never shows a window; true when the mail was sent.
bool EmailScheduledReport(const QString &scheduleName);

} // namespace kv6
