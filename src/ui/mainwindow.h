#pragma once

#include "dataaccess/dataerror.h"
#include "render/reportrender.h"
#include "report/report.h"
#include "ui/gridstate.h"

#include <QAbstractItemModel>
#include <QFont>
#include <QHash>
#include <QMainWindow>

#include <functional>
#include <memory>

class QAction;
class QComboBox;
class QMenu;
class QTabWidget;
class QTreeView;

namespace kv6 {

class clsAnalysis;
class clsProposal;
class DataConnection;
class frmProgressProposal;
class GroupGridModel;
class HeadlessRenderHost;
class ReportTab;
class frmStartReport;
class frmGroup;
class frmEditPrinters;
class infGroupManager;
class IProposalProgress;
struct ProposalOutcome;

inline const QString ReporterKey = QStringLiteral("Software\\Korvane 6\\Reporter");

// The program's main window. Simple mode uses the database's administration groups; advanced mode
// lets the user group printers and users in the grids and keeps them in group files. Every command
// is a QAction named by its tool identifier ("ID_LoadGroups") and runs through RunCommand.
class frmReporting : public QMainWindow, public IReportRenderHost
{
    Q_OBJECT
public:
    explicit frmReporting(bool simpleMode, QWidget *parent = nullptr);
    ~frmReporting() override;

    bool isSimpleMode() const { return m_simple; }
    bool isInitialised() const { return m_initialised; }

    // The start-up sequence: settings, database, companies, the analysis, layouts. The window is
    // usable afterwards even when the database could not be opened.
    void Start();

    // The one command handler: every tool and menu item arrives here by identifier.
    void RunCommand(const QString &id);
    // Recomputes which commands are enabled; runs after every selection, tab and command.
    void UpdateCommands();

    QAction *command(const QString &id) const { return m_actions.value(id); }
    QTreeView *printerGrid() const { return m_grdPrinters; }
    QTreeView *userGrid() const { return m_grdUsers; }
    QTabWidget *tabs() const { return m_tabReports; }
    QComboBox *companySelector() const { return m_cmbCompany; }
    clsAnalysis *analysis() const { return m_analysis.get(); }
    const QFont &reportFont() const { return m_reportFont; }
    bool printCover() const { return m_printCover; }

    // Saves what closing saves: cover flag, last-used groups, window state and grid layouts.
    void SaveSettings();

    // The report cycle: builds a chosen report into a new preview tab. Null error when the
    // report is shown, when it had no data (the user was told) and when the user cancelled.
    DataResult BuildAndShow(const ReportPtr &report);
    // The same for a proposal: every report's data, then one document in a new "PROP" tab.
    // Null error also when a report had no data (the user was told which) and when cancelled.
    DataResult BuildAndShowProposal(const std::shared_ptr<clsProposal> &proposal);
    // The proposal progress window, created on first use.
    frmProgressProposal *proposalProgress();
    // The report picker, created on first use.
    frmStartReport *picker();
    // The report of the selected preview tab; null on a grid tab.
    ReportTab *currentReportTab() const;
    // As the engine renders: reports a page and says whether to go on.
    bool renderProgress(int page);

    void ReportBegin(clsReport &report) override;
    void ReportEnd() override;

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    struct Grid;

    void buildCommands();
    void buildGrids();
    QAction *addCommand(const QString &id, int caption, const char *themeIcon, int fallbackIcon,
        std::function<void()> handler);
    void fillCompanies();
    // Group source: "" (the last-used file), a file path, or "GROUPS"; company 0 means none.
    DataResult startAnalysis(const QString &groupSource, qint32 companyId);
    DataResult startDefaultAnalysis(qint32 companyId);
    void adoptAnalysis(std::unique_ptr<clsAnalysis> analysis);
    void selectCompany(qint32 companyId);
    void refillGrid(Grid &grid, bool keepState = true);
    void refillGrids();
    Grid *currentGrid();
    QModelIndexList selectedRows(Grid &grid) const;
    int reportTabCount() const;
    void closeReportTabs();
    // False when the user cancelled; told whether the command closes the open report tabs.
    bool checkSaveGroups(bool closesReports);
    void companyChanged(int index);
    void saveLayout(const Grid &grid) const;
    void restoreLayout(Grid &grid);
    void resetLayout(Grid &grid);
    void showContextMenu(Grid &grid, const QPoint &pos);

    void loadGroups();
    void saveGroups();
    void createAddToGroup();
    void deleteGroup();
    void toggleInclude();
    void editPrinters();
    void importAdminGroups();
    void editAdminGroups(int kind);
    void setDatabase();
    void changeScreenFont();
    void changeReportFont();
    void setReportLogo();
    void showReportLogo();
    void about();

    void createReport();
    void printReport();
    void exportReport();
    void deleteReport();
    void scheduleReport();
    // Renders the tab's report into a document, or into a file when `into` is null; false with
    // the reason, and false without one when the user cancelled. The progress window is open.
    bool renderTab(ReportTab &tab, engine::PreviewDocument *into, const QString &file,
        engine::OutputFormat format, int caption, QString *error);
    // Renders the tab's proposal, whose reports are built, into `into`.
    ProposalOutcome renderProposal(
        ReportTab &tab, engine::PreviewDocument &into, IProposalProgress &progress);
    void showTab(ReportTab *tab);
    QString nextReportKey(const QString &prefix) const;

    bool m_simple;
    bool m_initialised = false;
    bool m_printCover = true;
    bool m_closing = false;
    QFont m_reportFont;
    std::unique_ptr<DataConnection> m_connection;
    std::unique_ptr<DataConnection> m_reportConnection;
    std::unique_ptr<clsAnalysis> m_analysis;
    std::unique_ptr<Grid> m_printers;
    std::unique_ptr<Grid> m_users;
    QHash<QString, QAction *> m_actions;
    QHash<QString, std::function<void()>> m_handlers;
    QHash<QString, QMenu *> m_menus;
    QMenu *m_popup = nullptr;
    QTabWidget *m_tabReports = nullptr;
    QTreeView *m_grdPrinters = nullptr;
    QTreeView *m_grdUsers = nullptr;
    QComboBox *m_cmbCompany = nullptr;
    frmGroup *m_frmGroup = nullptr;
    frmEditPrinters *m_frmEditPrinters = nullptr;
    frmStartReport *m_frmStartReport = nullptr;
    frmProgressProposal *m_frmProgressProposal = nullptr;
    std::unique_ptr<HeadlessRenderHost> m_renderHost;
    // The tab being rendered, and whether a build or render is under way (commands wait).
    ReportTab *m_renderTab = nullptr;
    engine::PreviewDocument *m_renderTarget = nullptr;
    bool m_busy = false;
};

// Show the main window without waiting for it.
void ShowSimple();
void ShowAdvanced();

// Makes SIGTERM and SIGINT close the main windows the way the close box does, so what closing
// saves is saved, and then end the event loop. Showing the main window installs it; unattended
// runs keep the default, which ends the process at once.
void InstallTerminationHandler();

} // namespace kv6
