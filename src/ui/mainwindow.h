#pragma once

#include <QMainWindow>

namespace kv6 {

// The program's main window. Simple mode uses the database's administration groups; advanced mode
// lets the user group printers and users in the grids.
class frmMain : public QMainWindow
{
    Q_OBJECT
public:
    explicit frmMain(bool simpleMode, QWidget *parent = nullptr);
    bool isSimpleMode() const { return m_simple; }

private:
    bool m_simple;
};

// Show the main window without waiting for it.
void ShowSimple();
void ShowAdvanced();

} // namespace kv6
