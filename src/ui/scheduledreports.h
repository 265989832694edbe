#pragma once

// The window listing this program's scheduled reports, with what each runs, how often, when it
// runs next and how its last run went; Edit, Run now and Unschedule act on the selected one.

#include <QDialog>

class QPushButton;
class QTreeWidget;

namespace kv6 {

class frmScheduledReports : public QDialog
{
    Q_OBJECT

public:
    explicit frmScheduledReports(QWidget *parent = nullptr);
    // Re-reads the schedules and their tasks.
    void Refresh();
    // The schedule name of the selected row; empty when none.
    QString selectedName() const;

    QTreeWidget *lsvSchedules = nullptr;
    QPushButton *cmdEdit = nullptr;
    QPushButton *cmdRunNow = nullptr;
    QPushButton *cmdUnschedule = nullptr;
    QPushButton *cmdClose = nullptr;

private:
    void updateButtons();
};

// Shows the window modally; 0 when it was closed.
int ShowScheduledReportsWindow();

} // namespace kv6
