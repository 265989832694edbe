#pragma once

// The busy pointer and the remembered state of top-level windows.

#include <QString>

class QWidget;

namespace kv6 {

// The busy mouse pointer for the life of the object; the previous one comes back after.
class WaitCursor
{
public:
    WaitCursor();
    ~WaitCursor();
    WaitCursor(const WaitCursor &) = delete;
    WaitCursor &operator=(const WaitCursor &) = delete;

private:
    bool m_set = false;
};

// "LastWindowState" (0 normal, 1 minimised, 2 maximised) under the given per-user key. A stored
// minimised state restores as normal.
void RestoreWindowState(const QString &registryKey, QWidget *window);
void SaveWindowState(const QString &registryKey, QWidget *window);
int WindowStateCode(const QWidget *window);

} // namespace kv6
