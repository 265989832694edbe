#pragma once

// The dialog that starts a report or a proposal: a new one through the wizard or the proposal
// editor, or one of the user's saved files, opened as it is or edited first. Saved files can be
// deleted here too.

#include "report/report.h"

#include <QDialog>

#include <memory>

class QListWidget;
class QListWidgetItem;
class QPushButton;

namespace kv6 {

class clsProposal;
class DataConnection;
class frmProposal;
class frmReportWizard;

// What the picker chose: a report, a proposal, or neither.
struct ReportChoice
{
    ReportPtr report;
    std::shared_ptr<clsProposal> proposal;
};

class frmStartReport : public QDialog
{
    Q_OBJECT
public:
    explicit frmStartReport(QWidget *parent = nullptr);
    ~frmStartReport() override;

    // Modal; the report or proposal to build, neither when nothing was chosen.
    ReportChoice StartReport(DataConnection *connection, qint32 companyId, bool simpleMode);

    // The steps of the modal call, for tests and screenshots: fill, then act on the selection.
    void prepare(DataConnection *connection, qint32 companyId, bool simpleMode);
    void fill();
    // Selects the entry with this key ("keyNew", "keyProposal" or a file name); false when absent.
    bool selectEntry(const QString &key);
    void openSelected();
    void editSelected();
    void deleteSelected();
    ReportPtr result() const { return m_result; }
    std::shared_ptr<clsProposal> proposalResult() const { return m_proposal; }
    frmReportWizard *wizard();
    frmProposal *proposalEditor();

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
    // A saved proposal loaded and, in simple mode, set to the database's groups and filters;
    // null after showing why it could not be loaded.
    std::shared_ptr<clsProposal> loadSavedProposal(const QString &fileName);

    DataConnection *m_connection = nullptr;
    qint32 m_companyId = -1;
    bool m_simple = false;
    ReportPtr m_result;
    std::shared_ptr<clsProposal> m_proposal;
    frmReportWizard *m_wizard = nullptr;
    frmProposal *m_proposalEditor = nullptr;
};

} // namespace kv6
