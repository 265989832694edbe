#include "app/branding.h"
#include "app/paths.h"
#include "app/startup.h"
#include "dataaccess/dataaccessglobal.h"
#include "schedule/scheduledrun.h"
#include "ui/mainwindow.h"

#include <QApplication>

namespace {
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
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("kv6reprt"));
    QApplication::setOrganizationName(QStringLiteral("Korvane 6"));

    // The data-access library shows the product name in its own windows.
    kv6::StartupHooks().append(
        [] { kv6::DataAccessGlobal::setProductName(kv6::Branding().ProductName()); });
    Targets targets;
    kv6::Main(kv6::JoinedCommandLine(QApplication::arguments()), targets);
    // After an unattended run, or "/runreport" without a name, no window is left: end at once.
    if (QApplication::topLevelWidgets().isEmpty())
        return 0;
    return QApplication::exec();
}
