// kv6screens OUTPUT_FOLDER: starts the program's windows the way start-up does, over the
// configured database, and writes a PNG of the main window in both modes and of each dialog it
// opens, and the default proposal as the window exports it. For looking at the windows on a machine
// without a display (scripts/screenshots).

#include "app/startup.h"
#include "base/dialogs.h"
#include "base/langstrings.h"
#include "base/paths.h"
#include "base/startupvalues.h"
#include "dataaccess/dataconnection.h"
#include "engine/previewwidget.h"
#include "groups/analysis.h"
#include "proposal/proposal.h"
#include "report/dateselector.h"
#include "report/runsettings.h"
#include "ui/ctldateselector.h"
#include "ui/mainwindow.h"
#include "ui/progress.h"
#include "ui/proposaleditor.h"
#include "ui/reportwizard.h"
#include "ui/startreport.h"

#include <QAbstractItemModel>
#include <QApplication>
#include <QDir>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTimer>
#include <QTreeView>

#include <cstdio>

using namespace kv6;

namespace {

QString folder;

void save(QWidget *w, const QString &name)
{
    QCoreApplication::processEvents();
    const QString path = folder + QLatin1Char('/') + name + QStringLiteral(".png");
    if (!w || !w->grab().save(path))
        std::fprintf(stderr, "kv6screens: %s not written\n", qPrintable(path));
    else
        std::printf("%s\n", qPrintable(path));
}

// The next modal window is pictured and closed.
void shootModal(const QString &name)
{
    QTimer::singleShot(50, [name] {
        QWidget *w = QApplication::activeModalWidget();
        save(w, name);
        if (w)
            w->close();
    });
}

// The proposal editor's four pages and the proposal progress window part way.
void shootProposal(qint32 companyId)
{
    // This tool lives in bin/, beside the program folder that holds the catalogue.
    SetStartupValue(&StartupValues::DefinitionsFolder,
        QDir(ProgramFolder() + QStringLiteral("/../reporter/reports")).absolutePath());
    frmProposal editor;
    if (!editor.prepare(nullptr, nullptr, companyId, false))
        return;
    editor.show();
    for (int page = 1; page <= 4; ++page) {
        editor.showPage(page);
        save(&editor, QStringLiteral("dialog-proposal-page%1").arg(page));
    }
    editor.close();
    frmProgressProposal progress;
    progress.Initialize(22, nullptr);
    progress.UpdateProgress(1, QStringLiteral("Top 10 Users List"), 5, 22);
    progress.UpdateProgress(2, GetLangString(240), 0, 1);
    progress.show();
    save(&progress, QStringLiteral("dialog-proposal-progress"));
    progress.Shutdown();
}

// The default proposal from the editor in its preview tab (title page, contents, a report) and
// exported as PDF, as the window does it.
void shootProposalTab(frmReporting &w)
{
    frmProposal editor;
    if (!editor.prepare(nullptr, nullptr, w.analysis() ? w.analysis()->CompanyId() : -1, false))
        return;
    editor.txtTitle->setText(QStringLiteral("Printing Review"));
    editor.txtPreparedBy->setText(QStringLiteral("IT Services"));
    editor.txtPreparedFor->setText(QStringLiteral("The Management Board"));
    editor.dteProposalRange->SetDates(clsDateSelector::AllDates, {}, {});
    editor.cmdBuild->click();
    if (!editor.result() || w.BuildAndShowProposal(editor.result()))
        return;
    w.resize(1200, 900);
    auto *preview = w.tabs()->currentWidget()->findChild<engine::PreviewWidget *>();
    for (int page = 1; preview && page <= 3; ++page) {
        preview->setCurrentPage(page);
        save(&w, QStringLiteral("preview-proposal-%1").arg(page));
    }
    ScriptedDialogs answers;
    answers.fileAnswers = { folder + QStringLiteral("/proposal.pdf") };
    ScopedDialogProvider scripted(&answers);
    w.RunCommand(QStringLiteral("ID_ExportReport"));
    std::printf("%s/proposal.pdf\n", qPrintable(folder));
}

void expandFirstGroups(QTreeView *grid, int count)
{
    QAbstractItemModel *m = grid->model();
    for (int g = 0; g < m->rowCount() && count > 0; ++g) {
        if (m->rowCount(m->index(g, 0)) > 0
            && m->index(g, 1).data().toString() != QLatin1String("<INDIVIDUAL>")) {
            grid->expand(m->index(g, 0));
            if (--count == 0)
                grid->setCurrentIndex(m->index(0, 0, m->index(g, 0)));
        }
    }
}

void shootMenu(frmReporting &w, const char *name)
{
    auto *menu = w.findChild<QMenu *>(QLatin1String(name));
    if (!menu)
        return;
    menu->popup(w.mapToGlobal(QPoint(20, 30)));
    save(menu, QStringLiteral("menu-") + QString::fromLatin1(name).mid(3).toLower());
    menu->hide();
}

// Every page of the wizard for a report with a date range and a top-N size; in simple mode the
// group pages, with the database's groups, come too.
void shootWizard(frmReporting &w, bool simple)
{
    std::unique_ptr<DataConnection> connection;
    QVariant version;
    if (OpenDataConnection(false, version, connection))
        return;
    frmReportWizard *wizard = w.picker()->wizard();
    if (!wizard->prepareBuild(
            connection.get(), w.analysis() ? w.analysis()->CompanyId() : -1, simple))
        return;
    wizard->show();
    const QString mode = simple ? QStringLiteral("simple-") : QString();
    save(wizard, QStringLiteral("wizard-") + mode + QStringLiteral("1-catalogue"));
    wizard->selectReport(QStringLiteral("Top 10 Users List"));
    save(wizard, QStringLiteral("wizard-") + mode + QStringLiteral("1-chosen"));
    const char *pages[] = { "", "2-options", "3-user-groups", "4-printer-groups" };
    for (int page = 1; page < (simple ? 4 : 2); ++page) {
        wizard->tabWizard->setCurrentIndex(page);
        if (page == 2 && wizard->lstUserGroups->count() > 0) {
            wizard->optUsersSelected->setChecked(true);
            wizard->lstUserGroups->item(0)->setCheckState(Qt::Checked);
        }
        save(wizard, QStringLiteral("wizard-") + mode + QLatin1String(pages[page]));
    }
    wizard->hide();
}

// A catalogue report over every date, in its preview tab.
void shootPreview(frmReporting &w, const QString &file, const QString &name)
{
    auto report = std::make_shared<clsReport>();
    if (!report->LoadDefinition(file))
        return;
    ReportRunSettings all;
    all.period = clsDateSelector::AllDates;
    QString error;
    ApplyRunSettings(*report, all, error);
    if (w.BuildAndShow(report))
        return;
    w.resize(1200, 900);
    // The page after the cover, with the report's chart.
    if (auto *preview = w.tabs()->currentWidget()->findChild<engine::PreviewWidget *>())
        preview->setCurrentPage(2);
    save(&w, name);
}

// The tool lives in bin/, beside the program folder that holds the definitions.
void useProgramDefinitions()
{
    SetStartupValue(&StartupValues::DefinitionsFolder,
        QDir(ProgramFolder() + QStringLiteral("/../reporter/reports")).absolutePath());
}

class Targets : public StartupTargets
{
public:
    void ShowSimple() override
    {
        useProgramDefinitions();
        frmReporting w(true);
        w.show();
        w.Start();
        expandFirstGroups(w.printerGrid(), 1);
        save(&w, QStringLiteral("main-simple-printers"));
        shootMenu(w, "ID_SimpleGroups");
        shootWizard(w, true);
        w.close();
    }
    void ShowAdvanced() override
    {
        useProgramDefinitions();
        frmReporting w(false);
        w.show();
        w.Start();
        save(&w, QStringLiteral("main-advanced-start"));
        {
            SilentDialogs silent;
            ScopedDialogProvider quiet(&silent);
            w.RunCommand(QStringLiteral("ID_ImportGroupsfromAdministrator"));
        }
        expandFirstGroups(w.printerGrid(), 2);
        save(&w, QStringLiteral("main-advanced-printers"));
        w.tabs()->setCurrentIndex(1);
        expandFirstGroups(w.userGrid(), 1);
        save(&w, QStringLiteral("main-advanced-users"));
        for (const char *menu : { "ID_File", "ID_Groups", "ID_Reports", "ID_Tools", "ID_Help" })
            shootMenu(w, menu);

        w.tabs()->setCurrentIndex(0);
        QTreeView *grid = w.printerGrid();
        grid->selectionModel()->select(
            grid->currentIndex(), QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
        shootModal(QStringLiteral("dialog-group"));
        w.RunCommand(QStringLiteral("ID_CreateAddToGroup"));
        shootModal(QStringLiteral("dialog-edit-printers"));
        w.RunCommand(QStringLiteral("ID_EditPrinters"));
        shootModal(QStringLiteral("dialog-admin-groups"));
        w.RunCommand(QStringLiteral("ID_EditPrinterGroups"));
        shootModal(QStringLiteral("dialog-about"));
        w.RunCommand(QStringLiteral("ID_About"));
        clsReport saved;
        if (saved.LoadDefinition(QStringLiteral("top_users.rpt"))) {
            saved.SetDisplayName(QStringLiteral("Top users & their costs"));
            saved.SetDescription(QStringLiteral("The ten busiest users of last month"));
            saved.SaveUserDefined(QStringLiteral("top users.rpt"));
        }
        clsProposal board;
        board.SetName(QStringLiteral("Board pack"));
        board.SetDescription(QStringLiteral("Every report of the analysis, for the board"));
        QString error;
        board.SaveUserDefined(QStringLiteral("board pack.prp"), error);
        shootModal(QStringLiteral("dialog-picker"));
        w.RunCommand(QStringLiteral("ID_CreateReport"));
        shootWizard(w, false);
        shootPreview(w, QStringLiteral("top_users.rpt"), QStringLiteral("preview-top-users"));
        shootPreview(
            w, QStringLiteral("page_volumes_breakdown.rpt"), QStringLiteral("preview-volumes"));
        w.analysis()->setGroupsDirty(true);
        shootModal(QStringLiteral("dialog-unsaved-groups"));
        w.RunCommand(QStringLiteral("ID_LoadGroups"));
        w.analysis()->setGroupsDirty(false);
        shootModal(QStringLiteral("dialog-data-source"));
        w.RunCommand(QStringLiteral("ID_SetDatabase"));
        shootProposal(w.analysis() ? w.analysis()->CompanyId() : -1);
        shootProposalTab(w);
        w.close();
    }
    void EmailScheduledReport(const QString &) override { }
};

} // namespace

int main(int argc, char **argv)
{
    SelectHeadlessPlatform();
    QApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "Usage: kv6screens OUTPUT_FOLDER\n");
        return 2;
    }
    folder = QString::fromLocal8Bit(argv[1]);
    QDir().mkpath(folder);
    Targets targets;
    Main(QString(), targets);
    Main(QStringLiteral("/simple"), targets);
    return 0;
}
