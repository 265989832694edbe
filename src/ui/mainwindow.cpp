#include "ui/mainwindow.h"
#include "base/startupvalues.h"

#include "app/branding.h"

namespace kv6 {

frmMain::frmMain(bool simpleMode, QWidget *parent)
    : QMainWindow(parent)
    , m_simple(simpleMode)
{
    setObjectName(QStringLiteral("frmMain"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(Branding().ProductName());
    setFont(Startup().InterfaceFont);
    resize(1000, 700);
}

static void showMain(bool simple)
{
    auto *w = new frmMain(simple);
    w->show();
}

void ShowSimple()
{
    showMain(true);
}
void ShowAdvanced()
{
    showMain(false);
}

} // namespace kv6
