#include "base/windowstate.h"

#include "base/clsregistry.h"

#include <QCursor>
#include <QGuiApplication>
#include <QWidget>

namespace kv6 {

WaitCursor::WaitCursor()
{
    // Only a GUI application has a pointer to change.
    if (qobject_cast<QGuiApplication *>(QCoreApplication::instance())) {
        QGuiApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
        m_set = true;
    }
}

WaitCursor::~WaitCursor()
{
    if (m_set)
        QGuiApplication::restoreOverrideCursor();
}

int WindowStateCode(const QWidget *window)
{
    if (window->isMinimized())
        return 1;
    if (window->isMaximized())
        return 2;
    return 0;
}

void RestoreWindowState(const QString &registryKey, QWidget *window)
{
    clsRegistry reg;
    reg.setClassKey(HKEY_CURRENT_USER);
    reg.setSectionKey(registryKey);
    QString err;
    int state = reg.GetValueOrDefault(QStringLiteral("LastWindowState"), 0, err).toInt();
    if (state == 1)
        state = 0;
    window->setWindowState(state == 2 ? Qt::WindowMaximized : Qt::WindowNoState);
}

void SaveWindowState(const QString &registryKey, QWidget *window)
{
    clsRegistry reg;
    reg.setClassKey(HKEY_CURRENT_USER);
    reg.setSectionKey(registryKey);
    reg.setValueType(REG_DWORD);
    QString err;
    reg.SetCreateValue(QStringLiteral("LastWindowState"), WindowStateCode(window), false, err);
}

} // namespace kv6
