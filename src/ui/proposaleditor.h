#pragma once

// The four-page editor of a proposal: title-page texts, the reports and their order, the shared
// date range and options, and in simple mode the administration groups it covers.

#include "report/report.h"

#include <QDialog>

#include <memory>

class QCheckBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QRadioButton;
class QTabWidget;
class QTreeWidget;

namespace kv6 {

class clsProposal;
class ctlDateSelector;
class DataConnection;

class frmProposal : public QDialog
{
    Q_OBJECT

public:
    explicit frmProposal(QWidget *parent = nullptr);
    ~frmProposal() override;

    // Modal. A new proposal with the default analysis set and the remembered texts, or nothing
    // when cancelled. The connection gives the administration groups in simple mode.
    std::shared_ptr<clsProposal> BuildProposal(
        DataConnection *connection, qint32 companyId, bool simpleMode);
    // Modal; the same proposal, edited, or nothing when cancelled.
    std::shared_ptr<clsProposal> EditProposal(DataConnection *connection,
        std::shared_ptr<clsProposal> proposal, qint32 companyId, bool simpleMode);

    // The steps of the modal calls, for tests: fill the pages (false when the catalogue could
    // not be loaded, after telling the user), then Build.
    bool prepare(DataConnection *connection, std::shared_ptr<clsProposal> proposal,
        qint32 companyId, bool simpleMode);
    std::shared_ptr<clsProposal> result() const { return m_result; }
    void showPage(int page);

    QTabWidget *tabWizard = nullptr;
    QPushButton *cmdBack = nullptr;
    QPushButton *cmdNext = nullptr;
    QPushButton *cmdBuild = nullptr;
    QPushButton *cmdBuildSave = nullptr;
    QPushButton *cmdCancel = nullptr;
    QLabel *lblMajorHeading = nullptr;
    QLabel *lblMinorHeading = nullptr;
    // 0 the catalogue, 1 the proposal's reports in order; item data: the report Name.
    QTreeWidget *lsvReports[2] = {};
    // 0 up, 1 down.
    QPushButton *cmdMoveReport[2] = {};
    QPushButton *cmdAdd = nullptr;
    QPushButton *cmdAddAll = nullptr;
    QPushButton *cmdRemove = nullptr;
    QPushButton *cmdRemoveAll = nullptr;
    QLineEdit *txtTitle = nullptr;
    QLineEdit *txtPreparedBy = nullptr;
    QLineEdit *txtPreparedFor = nullptr;
    QLineEdit *txtDecimals = nullptr;
    ctlDateSelector *dteProposalRange = nullptr;
    QCheckBox *chkTitlePage = nullptr;
    QCheckBox *chkContents = nullptr;
    QCheckBox *chkFilter = nullptr;
    QCheckBox *chkGroup = nullptr;
    QCheckBox *chkEstCosts = nullptr;
    QRadioButton *optUsersAll = nullptr;
    QRadioButton *optUsersSelected = nullptr;
    QListWidget *lstUserGroups = nullptr;
    QRadioButton *optPrintersAll = nullptr;
    QRadioButton *optPrintersSelected = nullptr;
    QListWidget *lstPrinterGroups = nullptr;

private:
    bool loadCatalogue();
    void moveEntry(int to, const QString &name);
    void moveSelected(int from, bool all);
    void moveReport(int step);
    void updateButtons();
    void fillGroups(DataConnection *connection);
    bool validate();
    void build(bool save);

    std::shared_ptr<clsProposal> m_proposal;
    std::shared_ptr<clsProposal> m_result;
    // Every report the lists show, keyed by Name; the lists hold the order.
    ReportList m_catalogue;
    qint32 m_companyId = -1;
    bool m_simpleMode = false;
    bool m_estCostsDefault = false;
};

} // namespace kv6
