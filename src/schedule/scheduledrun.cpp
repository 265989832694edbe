#include "schedule/scheduledrun.h"

#include "app/kvlogger.h"
#include "base/clsregistry.h"
#include "base/dialogs.h"
#include "base/windowstate.h"

namespace kv6 {

namespace {

bool readPrintCover()
{
    clsRegistry reg;
    reg.setClassKey(HKEY_CURRENT_USER);
    reg.setSectionKey(QStringLiteral("Software\\Korvane 6\\Reporter"));
    QString err;
    return reg.GetValueOrDefault(QStringLiteral("PrintCover"), QStringLiteral("-1"), err).toInt()
        != 0;
}

} // namespace

bool EmailScheduledReport(const QString &scheduleName)
{
    WaitCursor wait;
    const bool printCover = readPrintCover();
    Q_UNUSED(printCover);

    KVLogger log;
    log.StartLogging(ScheduleLogFileName);
    // Nothing may be shown: whatever a lower layer would ask the user goes to the log instead.
    SilentDialogs silent([&log](const MessageRequest &m) { log.WriteToLog(m.text, true, 0); });
    ScopedDialogProvider quiet(&silent);

    log.WriteToLog(QString(), true, 0);
    log.WriteToLog(QString(63, QLatin1Char('*')), true, 0);
    log.WriteToLog(QStringLiteral("Started scheduled report ") + scheduleName, true, 0);

    bool sent = false;
    clsRegistry key;
    key.setClassKey(HKEY_LOCAL_MACHINE);
    key.setSectionKey(QStringLiteral("Software\\Korvane 6\\Reporter\\Scheduling\\") + scheduleName);
    QString err;
    if (!key.KeyExists(err)) {
        log.WriteToLog(
            QStringLiteral("Failed to send report. Registry key does not exist."), true, 0);
    } else {
        // Loading, building and mailing the schedule's report are not part of this build yet.
        log.WriteToLog(QStringLiteral("Failed to send report. Building scheduled reports is not "
                                      "available in this version."),
            true, 0);
    }
    log.StopLogging();
    return sent;
}

} // namespace kv6
