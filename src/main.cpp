#include "app/branding.h"
#include "app/startup.h"
#include "base/paths.h"
#include "dataaccess/dataaccessglobal.h"
#include "mainguard/mainguard.h"
#include "schedule/scheduledrun.h"
#include "ui/mainwindow.h"
#include "ui/progress.h"

#include <QApplication>

namespace {

// Qt cannot carry an exception through its event loop, so one that escapes a slot or an event
// handler is stopped here and ends the program the way the guard around main does.
class Application : public QApplication
{
public:
    using QApplication::QApplication;
    bool notify(QObject *receiver, QEvent *event) override
    {
        try {
            return QApplication::notify(receiver, event);
        } catch (...) {
            kv6::ReportUncaughtException("kv6reprt");
            QCoreApplication::exit(1);
            return false;
        }
    }
};

class Targets : public kv6::StartupTargets
{
public:
    void ShowSimple() override { kv6::ShowSimple(); }
    void ShowAdvanced() override { kv6::ShowAdvanced(); }
    void EmailScheduledReport(const QString &name) override { kv6::EmailScheduledReport(name); }
};
} // namespace

int main(int argc, char **argv)
{
    kv6::SelectHeadlessPlatform();
    Application app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("kv6reprt"));
    QApplication::setOrganizationName(QStringLiteral("Korvane 6"));
    return kv6::RunGuarded("kv6reprt", [] {
        // The data-access library shows the product name in its own windows.
        kv6::StartupHooks().append(
            [] { kv6::DataAccessGlobal::setProductName(kv6::Branding().ProductName()); });
        kv6::SetProgressProvider([]() -> kv6::IProgress * { return kv6::frmProgress::instance(); });
        Targets targets;
        kv6::Main(kv6::JoinedCommandLine(QApplication::arguments()), targets);
        // After an unattended run, or "/runreport" without a name, no window is left: end at once.
        if (QApplication::topLevelWidgets().isEmpty())
            return 0;
        return QApplication::exec();
    });
}
