#pragma once

// The modal wizard in which a report is chosen from the catalogue and set up: parameters, titles,
// decimals, sort order, filters, groups and estimated costs, and in simple mode the administration
// groups it covers. One instance is reused; each BuildReport or EditReport starts afresh.

#include "report/report.h"
#include "report/reportcatalogue.h"

#include <QDialog>
#include <QList>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QGridLayout;
class QLabel;
class QLineEdit;
class QListWidget;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;
class QTabWidget;
class QTreeWidget;
class QTreeWidgetItem;

namespace kv6 {

class DataConnection;
class ctlDateSelector;

class frmReportWizard : public QDialog
{
    Q_OBJECT
public:
    enum Page { PageReport = 0, PageOptions = 1, PageUserGroups = 2, PagePrinterGroups = 3 };

    explicit frmReportWizard(QWidget *parent = nullptr);
    ~frmReportWizard() override;

    // Modal; the configured report, or null when cancelled or the groups could not be read.
    ReportPtr BuildReport(DataConnection *connection, qint32 companyId, bool simpleMode);
    ReportPtr EditReport(
        DataConnection *connection, ReportPtr report, qint32 companyId, bool simpleMode);

    // The steps of the modal calls, for tests and screenshots. False when the wizard cannot
    // be shown (the message has been given).
    bool prepareBuild(DataConnection *connection, qint32 companyId, bool simpleMode);
    bool prepareEdit(
        DataConnection *connection, ReportPtr report, qint32 companyId, bool simpleMode);
    // Selects a catalogue report by its name or displayed name; false when it is not listed.
    bool selectReport(const QString &name);
    ReportPtr selectedReport() const { return m_selected; }
    // What Build (or Build and Save) does; true when the wizard closed with a result.
    bool finish(bool save);
    ReportPtr result() const { return m_result; }
    const ReportCatalogue &catalogue() const { return m_catalogue; }

    QLabel *lblMajorHeading = nullptr;
    QLabel *lblMinorHeading = nullptr;
    QTabWidget *tabWizard = nullptr;
    QTreeWidget *treReports = nullptr;
    QPlainTextEdit *txtDescription = nullptr;
    QLineEdit *txtTitle = nullptr;
    QLineEdit *txtSubTitle = nullptr;
    QLineEdit *txtDecimals = nullptr;
    QGroupBox *fraParameters = nullptr;
    QList<QLabel *> lblParamLabel;
    QList<QLineEdit *> txtParameter;
    QList<ctlDateSelector *> dtpParameter;
    QLabel *lblSorting = nullptr;
    QComboBox *cmbSorting = nullptr;
    QRadioButton *optSortAscending = nullptr;
    QRadioButton *optSortDescending = nullptr;
    QCheckBox *chkFilter = nullptr;
    QCheckBox *chkGroup = nullptr;
    QCheckBox *chkEstCosts = nullptr;
    QRadioButton *optUsersAll = nullptr;
    QRadioButton *optUsersSelected = nullptr;
    QListWidget *lstUserGroups = nullptr;
    QRadioButton *optPrintersAll = nullptr;
    QRadioButton *optPrintersSelected = nullptr;
    QListWidget *lstPrinterGroups = nullptr;
    QPushButton *cmdBack = nullptr;
    QPushButton *cmdNext = nullptr;
    QPushButton *cmdBuild = nullptr;
    QPushButton *cmdBuildSave = nullptr;
    QPushButton *cmdCancel = nullptr;

private:
    // Shows the prepared wizard modally; the report it built, or null.
    ReportPtr showPrepared();
    struct ParamInput
    {
        int index; // in the report's parameters
        QWidget *input;
    };

    QWidget *buildReportPage();
    QWidget *buildOptionsPage();
    QWidget *buildGroupPage(Page page);
    bool start(DataConnection *connection, qint32 companyId, bool simpleMode, bool edit);
    void loadCatalogue();
    bool fillGroupLists(int failureMessage);
    void treeSelectionChanged();
    void showReport(const ReportPtr &report);
    void clearParameters();
    void buildParameters(clsReport &report);
    void loadOptions(clsReport &report);
    void updateStates();
    int lastPage() const;
    void move(int step);
    bool validateAndApply();
    // Shows the message, opens the page holding the input and puts the focus on it.
    void failOn(QWidget *input, int message, bool critical);

    DataConnection *m_connection = nullptr;
    qint32 m_companyId = -1;
    bool m_simple = false;
    bool m_edit = false;
    bool m_estCostDefault = false;
    bool m_estCostForced = false;
    ReportCatalogue m_catalogue;
    ReportPtr m_selected;
    ReportPtr m_result;
    QList<ParamInput> m_inputs;
    QGridLayout *m_paramGrid = nullptr;
    QList<QLabel *> m_captions;
};

} // namespace kv6
