#pragma once

#include <QString>

namespace kv6 {

// The unattended run of one schedule: rebuilds its report or proposal, exports it to PDF, mails it
// and logs every step. Never shows a window.
void EmailScheduledReport(const QString &scheduleName);

} // namespace kv6
