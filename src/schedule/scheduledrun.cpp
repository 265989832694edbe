#include "schedule/scheduledrun.h"

namespace kv6 {

void EmailScheduledReport(const QString &scheduleName)
{
    Q_UNUSED(scheduleName);
}

} // namespace kv6
