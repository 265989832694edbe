#pragma once

// The dialog that starts a report: a new one through the wizard, or one of the user's saved
// reports, opened as it is or edited first. Saved files can be deleted here too.

#include "report/report.h"

#include <QDialog>

class QListWidget;
class QListWidgetItem;
class QPushButton;

namespace kv6 {

class DataConnection;
class frmReportWizard;

class frmStartReport : public QDialog
{
    Q_OBJECT
public:
    explicit frmStartReport(QWidget *parent = nullptr);
    ~frmStartReport() override;

    // Modal; the report to build, or null when nothing was chosen.
    ReportPtr StartReport(DataConnection *connection, qint32 companyId, bool simpleMode);

    // The steps of the modal call, for tests and screenshots: fill, then act on the selection.
    void prepare(DataConnection *connection, qint32 companyId, bool simpleMode);
    void fill();
    // Selects the entry with this key ("keyNew", "keyProposal" or a file name); false when absent.
    bool selectEntry(const QString &key);
    void openSelected();
    void editSelected();
    void deleteSelected();
    ReportPtr result() const { return m_result; }
    frmReportWizard *wizard();

    QListWidget *lsvReports = nullptr;
    QPushButton *cmdOK = nullptr;
    QPushButton *cmdEdit = nullptr;
    QPushButton *cmdDelete = nullptr;
    QPushButton *cmdCancel = nullptr;

private:
    QString selectedKey() const;
    void selectionChanged();
    // A saved report loaded and checked for the mode; null after telling the user why not.
    ReportPtr loadSaved(const QString &fileName, int refusal);
    void proposalsNotYet();

    DataConnection *m_connection = nullptr;
    qint32 m_companyId = -1;
    bool m_simple = false;
    ReportPtr m_result;
    frmReportWizard *m_wizard = nullptr;
};

} // namespace kv6
