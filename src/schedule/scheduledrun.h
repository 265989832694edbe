#pragma once

#include <QString>

namespace kv6 {

inline const QString ScheduleLogFileName = QStringLiteral("KV6AnalysisReportSchedule.log");

// The unattended run of one schedule: rebuilds its report or proposal, exports it to PDF, mails it
// and logs every step. Never shows a window; true when the mail was sent.
bool EmailScheduledReport(const QString &scheduleName);

} // namespace kv6
