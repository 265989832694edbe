#include "ui/mainwindow.h"

#include "app/branding.h"
#include "app/fonts.h"
#include "app/progress.h"
#include "base/clsregistry.h"
#include "base/dialogs.h"
#include "base/help.h"
#include "base/langstrings.h"
#include "base/localeinfo.h"
#include "base/paths.h"
#include "base/startupvalues.h"
#include "base/windowstate.h"
#include "captions_p.h"
#include "dataaccess/admingroupeditor.h"
#include "dataaccess/dataaccessglobal.h"
#include "dataaccess/dataconnection.h"
#include "dataaccess/datasettings.h"
#include "groupgridmodel_p.h"
#include "groups/analysis.h"
#include "render/reportoutput.h"
#include "ui/groupeditors.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QSet>
#include <QSocketNotifier>
#include <QSplashScreen>
#include <QStandardPaths>
#include <QStyle>
#include <QTabWidget>
#include <QThread>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QTreeView>

#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

namespace kv6 {

namespace {

const QString GroupsSource = QStringLiteral("GROUPS");

// Tool identifiers of what comes with a later version: the commands exist with their enabling
// rules and say plainly that they are not there yet.
const QStringList LaterCommands = { QStringLiteral("ID_ViewScheduledReports") };

// Typical content width of each column in average characters, so a fresh grid shows its
// values whole.
const int PrinterWidths[] = { 7, 26, 16, 26, 12, 12, 22, 30, 7, 7, 20 };
const int UserWidths[] = { 7, 26, 14, 20 };

QString lastUsedGroupFile()
{
    return Startup().GroupsFolder + QStringLiteral("/lastused.grp");
}

QVariant readSetting(const QString &key, const QString &name, const QVariant &fallback)
{
    clsRegistry reg;
    reg.setClassKey(HKEY_CURRENT_USER);
    reg.setSectionKey(key);
    QString err;
    return reg.GetValueOrDefault(name, fallback, err);
}

bool writeSetting(const QString &key, const QString &name, const QString &value)
{
    clsRegistry reg;
    reg.setClassKey(HKEY_CURRENT_USER);
    reg.setSectionKey(key);
    reg.setValueType(REG_SZ);
    QString err;
    return reg.SetCreateValue(name, value, false, err);
}

// Without a desktop theme (the offscreen platform, bare window managers) Qt looks for icons in
// its resources only; the freedesktop names then resolve from the theme Debian installs.
void useInstalledIconTheme()
{
    if (!QIcon::themeName().isEmpty() && QIcon::themeName() != QLatin1String("hicolor"))
        return;
    QStringList paths = QIcon::themeSearchPaths();
    const QStringList installed = QStandardPaths::locateAll(QStandardPaths::GenericDataLocation,
        QStringLiteral("icons"), QStandardPaths::LocateDirectory);
    for (const QString &dir : installed) {
        if (!paths.contains(dir))
            paths.append(dir);
    }
    QIcon::setThemeSearchPaths(paths);
    QIcon::setThemeName(QStringLiteral("Adwaita"));
}

} // namespace

struct frmReporting::Grid
{
    GridKind kind;
    QTreeView *view = nullptr;
    GroupGridModel *model = nullptr;
    clsGridState state;
    QString layoutKey;

    int visibleColumns() const
    {
        // The company's number, the key and the group number are for the program, not the user.
        return kind == GridKind::Printers ? int(GroupGridModel::pcCompanyId)
                                          : int(GroupGridModel::ucCompanyId);
    }
};

frmReporting::frmReporting(bool simpleMode, QWidget *parent)
    : QMainWindow(parent)
    , m_simple(simpleMode)
{
    setObjectName(QStringLiteral("frmReporting"));
    setWindowTitle(Branding().ProductName());
    setAccessibleName(windowTitle());
    setWindowIcon(QIcon(QPixmap::fromImage(Branding().ClientIcon(32, 32))));
    useInstalledIconTheme();
    setFont(Startup().InterfaceFont);
    resize(1200, 760);
    buildGrids();
    buildCommands();
    UpdateCommands();
}

frmReporting::~frmReporting()
{
    m_closing = true;
    // The models point into the analysis: they let go first.
    if (m_printers)
        m_printers->model->fill(nullptr);
    if (m_users)
        m_users->model->fill(nullptr);
}

QAction *frmReporting::addCommand(const QString &id, int caption, const char *themeIcon,
    int fallbackIcon, std::function<void()> handler)
{
    auto *action = new QAction(GetLangString(caption), this);
    action->setObjectName(id);
    action->setIcon(QIcon::fromTheme(
        QLatin1String(themeIcon), style()->standardIcon(QStyle::StandardPixmap(fallbackIcon))));
    action->setToolTip(PlainCaption(action->text()));
    connect(action, &QAction::triggered, this, [this, id] { RunCommand(id); });
    m_actions.insert(id, action);
    if (handler)
        m_handlers.insert(id, std::move(handler));
    return action;
}

void frmReporting::buildCommands()
{
    const auto cmd = [this](const char *id, int caption, const char *icon,
                         QStyle::StandardPixmap sp, std::function<void()> handler = {}) {
        return addCommand(QLatin1String(id), caption, icon, sp, std::move(handler));
    };
    cmd("ID_LoadGroups", 301, "document-open", QStyle::SP_DialogOpenButton, [this] {
        loadGroups();
    })->setShortcut(QKeySequence::Open);
    cmd("ID_SaveGroups", 302, "document-save", QStyle::SP_DialogSaveButton, [this] {
        saveGroups();
    })->setShortcut(QKeySequence::Save);
    cmd("ID_EditPrinters", 303, "document-properties", QStyle::SP_FileDialogDetailedView,
        [this] { editPrinters(); });
    // Not every platform names a quit key; Ctrl+Q is what Linux programs use.
    const QList<QKeySequence> quit = QKeySequence::keyBindings(QKeySequence::Quit);
    cmd("ID_Exit", 304, "application-exit", QStyle::SP_DialogCloseButton, [this] { close(); })
        ->setShortcuts(
            quit.isEmpty() ? QList<QKeySequence> { QKeySequence(Qt::CTRL | Qt::Key_Q) } : quit);
    cmd("ID_CreateAddToGroup", 321, "folder-new", QStyle::SP_FileDialogNewFolder,
        [this] { createAddToGroup(); });
    cmd("ID_DeleteGroup", 322, "edit-delete", QStyle::SP_TrashIcon, [this] { deleteGroup(); });
    cmd("ID_Include/ExcludeFromReport", 323, "emblem-default", QStyle::SP_DialogApplyButton,
        [this] { toggleInclude(); });
    cmd("ID_ImportGroupsfromAdministrator", 324, "insert-object", QStyle::SP_ArrowDown,
        [this] { importAdminGroups(); });
    cmd("ID_EditPrinterGroups", 325, "printer-printing", QStyle::SP_ComputerIcon,
        [this] { editAdminGroups(AdminObjectPrinter); });
    cmd("ID_EditUserGroups", 326, "system-users", QStyle::SP_DirHomeIcon,
        [this] { editAdminGroups(AdminObjectUser); });
    cmd("ID_CreateReport", 341, "document-new", QStyle::SP_FileIcon, [this] {
        createReport();
    })->setShortcut(QKeySequence::New);
    cmd("ID_DeleteReport", 342, "window-close", QStyle::SP_DialogDiscardButton,
        [this] { deleteReport(); });
    cmd("ID_PrintReport", 343, "document-print", QStyle::SP_FileDialogContentsView, [this] {
        printReport();
    })->setShortcut(QKeySequence::Print);
    cmd("ID_ExportReport", 344, "document-save-as", QStyle::SP_DriveFDIcon,
        [this] { exportReport(); });
    cmd("ID_ScheduleReport", 345, "appointment-new", QStyle::SP_BrowserReload,
        [this] { scheduleReport(); });
    cmd("ID_ViewScheduledReports", 346, "appointment-soon", QStyle::SP_FileDialogListView);
    QAction *cover = cmd("ID_CreateCoverPage", 347, "document-page-setup", QStyle::SP_FileIcon,
        [this] { m_printCover = command(QStringLiteral("ID_CreateCoverPage"))->isChecked(); });
    cover->setCheckable(true);
    cover->setChecked(m_printCover);
    cmd("ID_SetDatabase", 361, "network-wired", QStyle::SP_DriveHDIcon, [this] { setDatabase(); });
    cmd("ID_ChangeScreenFont", 362, "preferences-desktop-font", QStyle::SP_DesktopIcon,
        [this] { changeScreenFont(); });
    cmd("ID_ChangeReportFont", 363, "format-text-bold", QStyle::SP_FileDialogInfoView,
        [this] { changeReportFont(); });
    cmd("ID_SetReportLogo", 327, "insert-image", QStyle::SP_FileIcon, [this] { setReportLogo(); });
    cmd("ID_ResetLayout", 364, "view-refresh", QStyle::SP_BrowserReload, [this] {
        resetLayout(*m_printers);
        resetLayout(*m_users);
    });
    cmd("ID_Contents", 381, "help-contents", QStyle::SP_DialogHelpButton, [this] {
        ShowHelpTopic(0, this);
    })->setShortcut(QKeySequence::HelpContents);
    cmd("ID_About", 382, "help-about", QStyle::SP_MessageBoxInformation, [this] { about(); });
    for (const QString &id : LaterCommands)
        m_handlers.insert(id, [this, id] { notYetAvailable(id); });

    QMenuBar *bar = menuBar();
    bar->setObjectName(QStringLiteral("mnuMain"));
    const auto menu = [&](const char *id, int caption, const QList<const char *> &items) {
        QMenu *m = bar->addMenu(GetLangString(caption));
        m->setObjectName(QLatin1String(id));
        m->menuAction()->setObjectName(QLatin1String(id));
        SetAccessibleCaption(m, m->title());
        for (const char *item : items)
            m->addAction(command(QLatin1String(item)));
        m_menus.insert(QLatin1String(id), m);
    };
    menu("ID_File", 300, { "ID_LoadGroups", "ID_SaveGroups", "ID_EditPrinters", "ID_Exit" });
    menu("ID_Groups", 320,
        { "ID_CreateAddToGroup", "ID_DeleteGroup", "ID_Include/ExcludeFromReport",
            "ID_ImportGroupsfromAdministrator" });
    menu("ID_SimpleGroups", 320, { "ID_EditPrinterGroups", "ID_EditUserGroups" });
    menu("ID_Reports", 340,
        { "ID_CreateReport", "ID_DeleteReport", "ID_PrintReport", "ID_ExportReport",
            "ID_ScheduleReport", "ID_ViewScheduledReports", "ID_CreateCoverPage" });
    menu("ID_Tools", 360,
        { "ID_SetDatabase", "ID_ChangeScreenFont", "ID_ChangeReportFont", "ID_SetReportLogo",
            "ID_ResetLayout" });
    menu("ID_Help", 380, { "ID_Contents", "ID_About" });
    m_menus.value(QStringLiteral("ID_File"))->insertSeparator(command(QStringLiteral("ID_Exit")));

    auto *toolbar = addToolBar(QStringLiteral("tbrMain"));
    toolbar->setObjectName(QStringLiteral("tbrMain"));
    toolbar->setAccessibleName(windowTitle());
    toolbar->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    toolbar->setIconSize(QSize(24, 24));
    toolbar->setMovable(false);
    const QList<const char *> tools = { "ID_LoadGroups", "ID_SaveGroups", "ID_CreateAddToGroup",
        "ID_DeleteGroup", "ID_Include/ExcludeFromReport", "ID_EditPrinters", "ID_CreateReport",
        "ID_PrintReport", "ID_ExportReport", "ID_DeleteReport", "ID_ScheduleReport",
        "ID_ViewScheduledReports" };
    for (const char *id : tools) {
        QAction *a = command(QLatin1String(id));
        toolbar->addAction(a);
        SetAccessibleCaption(toolbar->widgetForAction(a), a->text());
        if (qstrcmp(id, "ID_EditPrinters") == 0)
            toolbar->addSeparator();
    }
    toolbar->addSeparator();
    auto *label = new QLabel(GetLangString(372), toolbar);
    label->setObjectName(QStringLiteral("lblCompany"));
    label->setContentsMargins(6, 0, 4, 0);
    SetAccessibleCaption(label, label->text());
    m_cmbCompany = new QComboBox(toolbar);
    m_cmbCompany->setObjectName(QStringLiteral("ID_Company"));
    m_cmbCompany->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    m_cmbCompany->setMinimumContentsLength(18);
    label->setBuddy(m_cmbCompany);
    SetAccessibleCaption(m_cmbCompany, label->text());
    toolbar->addWidget(label);
    toolbar->addWidget(m_cmbCompany)->setObjectName(QStringLiteral("ID_Company"));
    connect(m_cmbCompany, &QComboBox::activated, this, &frmReporting::companyChanged);

    // Wide enough for the whole toolbar, company selector included; a smaller screen gets the
    // toolbar's extension menu.
    resize(qMax(width(), toolbar->sizeHint().width() + 24), height());

    m_popup = new QMenu(this);
    m_popup->setObjectName(QStringLiteral("ID_PopupMenu"));
    for (const char *id : { "ID_CreateAddToGroup", "ID_DeleteGroup", "ID_Include/ExcludeFromReport",
             "ID_EditPrinters" })
        m_popup->addAction(command(QLatin1String(id)));
}

void frmReporting::buildGrids()
{
    m_tabReports = new QTabWidget(this);
    m_tabReports->setObjectName(QStringLiteral("tabReports"));
    m_tabReports->setDocumentMode(true);
    setCentralWidget(m_tabReports);
    const auto make = [this](GridKind kind, const char *name, int caption, const char *layout) {
        auto grid = std::make_unique<Grid>();
        grid->kind = kind;
        grid->layoutKey = ReporterKey + QLatin1String(layout);
        grid->view = new QTreeView(m_tabReports);
        grid->view->setObjectName(QLatin1String(name));
        SetAccessibleCaption(grid->view, GetLangString(caption));
        grid->model = new GroupGridModel(kind, grid->view);
        QTreeView *v = grid->view;
        v->setModel(grid->model);
        v->setUniformRowHeights(true);
        v->setAlternatingRowColors(true);
        v->setSelectionMode(QAbstractItemView::ExtendedSelection);
        v->setSelectionBehavior(QAbstractItemView::SelectRows);
        v->setExpandsOnDoubleClick(false);
        v->setEditTriggers(QAbstractItemView::EditKeyPressed | QAbstractItemView::SelectedClicked
            | QAbstractItemView::AnyKeyPressed);
        v->setContextMenuPolicy(Qt::CustomContextMenu);
        v->header()->setSectionsMovable(true);
        v->header()->setFirstSectionMovable(true);
        v->header()->setStretchLastSection(true);
        v->header()->setSortIndicator(-1, Qt::AscendingOrder);
        v->header()->setSortIndicatorShown(true);
        v->setSortingEnabled(true);
        grid->state.Initialize(v, qint16(grid->model->keyColumn()));
        resetLayout(*grid);
        m_tabReports->addTab(v, GetLangString(caption));
        Grid *g = grid.get();
        connect(v->header(), &QHeaderView::sortIndicatorChanged, this,
            [g](int section, Qt::SortOrder order) {
                g->state.SetSort(qint16(section), order == Qt::AscendingOrder ? 1 : 2);
            });
        connect(v->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &frmReporting::UpdateCommands);
        connect(v->selectionModel(), &QItemSelectionModel::currentChanged, this,
            &frmReporting::UpdateCommands);
        connect(grid->model, &GroupGridModel::edited, this, &frmReporting::UpdateCommands);
        connect(v, &QTreeView::doubleClicked, this, [this, g](const QModelIndex &index) {
            if (!(g->model->flags(index) & Qt::ItemIsEditable))
                RunCommand(QStringLiteral("ID_Include/ExcludeFromReport"));
        });
        connect(v, &QWidget::customContextMenuRequested, this,
            [this, g](const QPoint &pos) { showContextMenu(*g, pos); });
        return grid;
    };
    m_printers = make(GridKind::Printers, "grdPrinters", 370, "\\PrinterLayout");
    m_users = make(GridKind::Users, "grdUsers", 371, "\\UserLayout");
    m_grdPrinters = m_printers->view;
    m_grdUsers = m_users->view;
    m_tabReports->tabBar()->setAccessibleName(PlainCaption(GetLangString(340)));
    connect(m_tabReports, &QTabWidget::currentChanged, this, &frmReporting::UpdateCommands);
}

void frmReporting::Start()
{
    std::unique_ptr<QSplashScreen> splash;
    const QImage picture = Branding().SplashScreen(3);
    if (!picture.isNull()) {
        splash = std::make_unique<QSplashScreen>(QPixmap::fromImage(picture));
        splash->show();
    }
    const int firstText = m_simple ? 280 : 284;
    const auto step = [&](int n) {
        if (splash) {
            splash->showMessage(GetLangString(firstText + n), Qt::AlignBottom | Qt::AlignLeft);
            QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
        }
    };

    step(0);
    RestoreWindowState(ReporterKey, this);
    m_printCover
        = readSetting(ReporterKey, QStringLiteral("PrintCover"), QStringLiteral("-1")).toInt() != 0;
    command(QStringLiteral("ID_CreateCoverPage"))->setChecked(m_printCover);
    restoreLayout(*m_printers);
    restoreLayout(*m_users);

    step(1);
    QVariant version;
    DataResult e = OpenDataConnection(false, version, m_connection);
    if (!e)
        e = OpenDataConnection(true, version, m_reportConnection);
    if (e) {
        m_connection.reset();
        m_reportConnection.reset();
        MsgBox(GetLangString(214, e->Description()), MsgIcon::Exclamation);
    }

    step(2);
    fillCompanies();

    step(3);
    if (m_connection) {
        e = m_simple ? startDefaultAnalysis(m_cmbCompany->currentData().toInt())
                     : startAnalysis(QString(), 0);
        if (e)
            MsgBox(GetLangString(214, e->Description()), MsgIcon::Exclamation);
    }

    m_tabReports->setCurrentIndex(0);
    m_reportFont = LoadFont(ReportFontKey, true);
    showReportLogo();
    m_initialised = true;
    UpdateCommands();
    if (splash)
        splash->finish(this);
}

void frmReporting::fillCompanies()
{
    m_cmbCompany->clear();
    m_cmbCompany->addItem(GetLangString(259), -1);
    if (!m_connection)
        return;
    RecordsetPtr companies;
    if (DataSettings::GetCompanies(*m_connection, companies) || !companies)
        return;
    for (companies->MoveFirst(); !companies->Eof(); companies->MoveNext()) {
        const QVariant name = companies->Value(QStringLiteral("Name"));
        QString text = name.toString();
        if (name.isNull())
            text = GetLangString(260);
        else if (text.trimmed().isEmpty())
            text = GetLangString(261);
        m_cmbCompany->addItem(text, companies->Value(QStringLiteral("Id")).toInt());
    }
}

DataResult frmReporting::startDefaultAnalysis(qint32 companyId)
{
    if (!m_connection)
        return DataError(dataErrNotOpen, QString());
    auto analysis = std::make_unique<clsAnalysis>();
    if (DataResult e = analysis->InitializeDefault(*m_connection, companyId))
        return e;
    adoptAnalysis(std::move(analysis));
    return {};
}

DataResult frmReporting::startAnalysis(const QString &groupSource, qint32 companyId)
{
    if (m_simple)
        return startDefaultAnalysis(companyId);
    if (!m_connection)
        return DataError(dataErrNotOpen, QString());
    auto analysis = std::make_unique<clsAnalysis>();
    DataResult e;
    if (groupSource == GroupsSource) {
        e = analysis->InitializeFromAdminGroups(*m_connection, companyId);
    } else if (companyId != 0) {
        e = analysis->InitializeDefault(*m_connection, companyId);
    } else if (!groupSource.isEmpty()) {
        e = analysis->InitializeFromGroupFile(*m_connection, groupSource);
    } else {
        // No remembered groups (first start, or a file that no longer reads): all companies.
        e = analysis->InitializeFromGroupFile(*m_connection, lastUsedGroupFile());
        if (e) {
            analysis = std::make_unique<clsAnalysis>();
            e = analysis->InitializeDefault(*m_connection, -1);
        }
    }
    if (e)
        return e;
    adoptAnalysis(std::move(analysis));
    return {};
}

void frmReporting::adoptAnalysis(std::unique_ptr<clsAnalysis> analysis)
{
    const int entry = m_cmbCompany->findData(analysis->CompanyId());
    if (entry < 0 && m_connection) {
        // A company that is gone from the database: fall back to all companies.
        auto all = std::make_unique<clsAnalysis>();
        if (!all->InitializeDefault(*m_connection, -1))
            analysis = std::move(all);
    }
    // The grids point into the old analysis until they are refilled.
    std::unique_ptr<clsAnalysis> old = std::move(m_analysis);
    m_analysis = std::move(analysis);
    selectCompany(m_analysis->CompanyId());
    refillGrids();
}

void frmReporting::selectCompany(qint32 companyId)
{
    const int entry = m_cmbCompany->findData(companyId);
    m_cmbCompany->setCurrentIndex(entry < 0 ? 0 : entry);
}

void frmReporting::refillGrid(Grid &grid, bool keepState)
{
    infGroupManager *manager = nullptr;
    if (m_analysis)
        manager = grid.kind == GridKind::Printers ? m_analysis->PrinterManager()
                                                  : m_analysis->UserManager();
    if (keepState)
        grid.state.Save(clsGridState::CurrentRow(grid.view));
    grid.model->fill(manager);
    if (keepState)
        grid.state.Restore(true);
    // One group alone (everything ungrouped) is shown open: there is nothing else to see.
    if (grid.model->rowCount() == 1)
        grid.view->expand(grid.model->index(0, 0));
}

void frmReporting::refillGrids()
{
    IProgress *progress = SharedProgress();
    if (progress)
        progress->Initialize(GetLangString(230), 3, this, true);
    const auto step = [&](int caption, int value) {
        if (progress) {
            progress->Reset(GetLangString(caption), -1);
            progress->setProgressValue(value);
        }
    };
    step(231, 1);
    refillGrid(*m_printers);
    step(232, 2);
    refillGrid(*m_users);
    if (progress) {
        progress->SetToMax();
        progress->Shutdown();
    }
    UpdateCommands();
}

frmReporting::Grid *frmReporting::currentGrid()
{
    if (m_tabReports->currentIndex() == 0)
        return m_printers.get();
    if (m_tabReports->currentIndex() == 1)
        return m_users.get();
    return nullptr;
}

QModelIndexList frmReporting::selectedRows(Grid &grid) const
{
    // Straight from the selection's ranges: asking the selection model row by row costs a pass
    // over every range per row, which a select-all of a large outline makes quadratic.
    const QItemSelection selection = grid.view->selectionModel()->selection();
    QModelIndexList rows;
    QSet<QPair<const void *, int>> seen;
    for (const QItemSelectionRange &range : selection) {
        if (!range.isValid())
            continue;
        const QModelIndex first = range.topLeft();
        for (int r = range.top(); r <= range.bottom(); ++r) {
            const QModelIndex row = first.sibling(r, 0);
            if (!seen.contains({ row.internalPointer(), r })) {
                seen.insert({ row.internalPointer(), r });
                rows.append(row);
            }
        }
    }
    return rows;
}

int frmReporting::reportTabCount() const
{
    return qMax(0, m_tabReports->count() - 2);
}

void frmReporting::closeReportTabs()
{
    while (m_tabReports->count() > 2) {
        QWidget *tab = m_tabReports->widget(2);
        m_tabReports->removeTab(2);
        delete tab;
    }
}

void frmReporting::UpdateCommands()
{
    if (m_closing || m_actions.isEmpty())
        return;
    Grid *grid = currentGrid();
    const bool hasAnalysis = m_analysis != nullptr;
    bool groupFiles = grid && hasAnalysis;
    bool create = false, remove = false, include = false, printers = false;
    if (grid && hasAnalysis && grid->model->manager()) {
        infGroupManager *manager = grid->model->manager();
        const bool printerGrid = grid->kind == GridKind::Printers;
        const QModelIndexList rows = selectedRows(*grid);
        for (const QModelIndex &row : rows) {
            GroupItemPtr item, group;
            manager->GetItemAndGroup(grid->model->keyOf(row), &item, &group);
            if (item) {
                create = true;
                printers = printers || printerGrid;
                include = include || item->Number() == 1;
            } else if (group && group->Number() != 1) {
                remove = include = true;
            }
            if (create && remove && include && (printers || !printerGrid))
                break;
        }
    }
    if (m_simple)
        groupFiles = create = remove = include = printers = false;
    const auto enable
        = [this](const char *id, bool on) { command(QLatin1String(id))->setEnabled(on); };
    enable("ID_LoadGroups", groupFiles);
    enable("ID_SaveGroups", groupFiles);
    enable("ID_CreateAddToGroup", create);
    enable("ID_DeleteGroup", remove);
    enable("ID_Include/ExcludeFromReport", include);
    enable("ID_EditPrinters", printers);
    enable("ID_ImportGroupsfromAdministrator", !m_simple && m_connection);
    enable("ID_ResetLayout", !m_simple);
    enable("ID_EditPrinterGroups", m_connection != nullptr);
    enable("ID_EditUserGroups", m_connection != nullptr);
    enable("ID_SetReportLogo", m_connection != nullptr);
    enable("ID_CreateReport", !m_busy && (m_simple || hasAnalysis));
    const bool preview = !m_busy && hasAnalysis && m_tabReports->currentIndex() >= 2;
    for (const char *id :
        { "ID_ExportReport", "ID_PrintReport", "ID_DeleteReport", "ID_ScheduleReport" })
        enable(id, preview);
    m_menus.value(QStringLiteral("ID_Groups"))->menuAction()->setVisible(!m_simple);
    m_menus.value(QStringLiteral("ID_SimpleGroups"))->menuAction()->setVisible(m_simple);
    // A build holds the analysis: nothing may replace or edit it until the build is over.
    m_cmbCompany->setEnabled(m_connection != nullptr && !m_busy);
    m_grdPrinters->setEnabled(!m_busy);
    m_grdUsers->setEnabled(!m_busy);
}

void frmReporting::RunCommand(const QString &id)
{
    // A build or render lets events run; commands wait until it is over.
    if (m_busy)
        return;
    const auto handler = m_handlers.constFind(id);
    if (handler == m_handlers.cend()) {
        MsgBox(GetLangString(295, id), MsgIcon::Exclamation);
    } else {
        (*handler)();
    }
    UpdateCommands();
}

bool frmReporting::checkSaveGroups(bool closesReports)
{
    const bool reportsClose = closesReports && reportTabCount() > 0;
    if (!m_simple && m_analysis && m_analysis->GroupsDirty()) {
        QString text = GetLangString(204);
        if (reportsClose)
            text += QStringLiteral("\n\n") + GetLangString(205);
        const MsgAnswer answer = MsgBox(text, MsgIcon::Exclamation, MsgButtons::YesNoCancel);
        if (answer == MsgAnswer::Cancel)
            return false;
        if (answer == MsgAnswer::Yes) {
            FileRequest request;
            request.save = true;
            request.caption = GetLangString(207);
            request.folder = Startup().GroupsFolder;
            request.filter = GetLangString(208);
            request.defaultExtension = QStringLiteral("grp");
            const QString path = Dialogs().fileName(request);
            if (!path.isEmpty()) {
                QString error;
                m_analysis->SaveGroups(path, &error);
                if (!error.isEmpty())
                    MsgBox(GetLangString(378, error), MsgIcon::Exclamation);
            }
        }
        m_analysis->setGroupsDirty(false);
        return true;
    }
    if (reportsClose)
        return MsgBox(GetLangString(206), MsgIcon::Exclamation, MsgButtons::OKCancel)
            == MsgAnswer::OK;
    return true;
}

void frmReporting::companyChanged(int index)
{
    const qint32 companyId = m_cmbCompany->itemData(index).toInt();
    if (!m_analysis || companyId == m_analysis->CompanyId())
        return;
    if (!checkSaveGroups(true)) {
        selectCompany(m_analysis->CompanyId());
        return;
    }
    closeReportTabs();
    if (DataResult e = startDefaultAnalysis(companyId)) {
        MsgBox(GetLangString(214, e->Description()), MsgIcon::Exclamation);
        selectCompany(m_analysis->CompanyId());
    }
    UpdateCommands();
}

void frmReporting::loadGroups()
{
    if (!m_analysis || !checkSaveGroups(false))
        return;
    FileRequest request;
    request.caption = GetLangString(271);
    request.folder = Startup().GroupsFolder;
    request.filter = GetLangString(272);
    const QString path = Dialogs().fileName(request);
    if (path.isEmpty())
        return;
    qint32 companyId = 0;
    QString error;
    if (!clsAnalysis::GetGroupFileCompany(path, &companyId, &error)) {
        MsgBox(GetLangString(274), MsgIcon::Exclamation);
        return;
    }
    if (m_cmbCompany->findData(companyId) < 0) {
        MsgBox(GetLangString(270), MsgIcon::Exclamation);
        return;
    }
    if (companyId != m_analysis->CompanyId() && reportTabCount() > 0) {
        if (MsgBox(GetLangString(273), MsgIcon::Exclamation, MsgButtons::YesNo) != MsgAnswer::Yes)
            return;
        closeReportTabs();
    }
    if (DataResult e = startAnalysis(path, 0))
        MsgBox(
            GetLangString(274) + QStringLiteral("\n\n") + e->Description(), MsgIcon::Exclamation);
}

void frmReporting::saveGroups()
{
    if (!m_analysis)
        return;
    FileRequest request;
    request.save = true;
    request.caption = GetLangString(290);
    request.folder = Startup().GroupsFolder;
    request.filter = GetLangString(291);
    request.defaultExtension = QStringLiteral("grp");
    const QString path = Dialogs().fileName(request);
    if (path.isEmpty())
        return;
    QString error;
    m_analysis->SaveGroups(path, &error);
    if (!error.isEmpty())
        MsgBox(GetLangString(378, error), MsgIcon::Exclamation);
}

void frmReporting::createAddToGroup()
{
    Grid *grid = currentGrid();
    if (!grid) {
        MsgBox(GetLangString(264), MsgIcon::Critical);
        return;
    }
    infGroupManager *manager = grid->model->manager();
    QStringList keys;
    for (const QModelIndex &row : selectedRows(*grid)) {
        if (!grid->model->isGroupRow(row))
            keys.append(grid->model->keyOf(row));
    }
    if (keys.isEmpty() || !manager) {
        MsgBox(GetLangString(grid->kind == GridKind::Printers ? 262 : 263), MsgIcon::Exclamation);
        return;
    }
    if (!m_frmGroup)
        m_frmGroup = new frmGroup(this);
    if (m_frmGroup->AddItemsToGroup(*manager, keys))
        refillGrid(*grid);
}

void frmReporting::deleteGroup()
{
    Grid *grid = currentGrid();
    if (!grid) {
        MsgBox(GetLangString(269), MsgIcon::Critical);
        return;
    }
    infGroupManager *manager = grid->model->manager();
    const QModelIndex current = grid->view->currentIndex();
    const GroupItemPtr group
        = manager && current.isValid() ? manager->GetGroup(grid->model->keyOf(current)) : nullptr;
    if (!group)
        return;
    const bool printers = grid->kind == GridKind::Printers;
    if (group->Number() == 1) {
        MsgBox(GetLangString(printers ? 266 : 268), MsgIcon::Exclamation);
        return;
    }
    if (MsgBox(GetLangString(printers ? 265 : 267), MsgIcon::Exclamation, MsgButtons::YesNo)
        != MsgAnswer::Yes)
        return;
    manager->RemoveGroup(group->Key());
    refillGrid(*grid);
}

void frmReporting::toggleInclude()
{
    Grid *grid = currentGrid();
    infGroupManager *manager = grid ? grid->model->manager() : nullptr;
    if (!manager)
        return;
    const QModelIndexList rows = selectedRows(*grid);
    for (const QModelIndex &row : rows) {
        GroupItemPtr item, group;
        manager->GetItemAndGroup(grid->model->keyOf(row), &item, &group);
        if (item) {
            // A member of a real group follows its group.
            if (item->Number() == 1)
                item->setInclude(!item->Include());
        } else if (group && group->Number() != 1) {
            manager->SetGroupInclude(group, !group->Include());
        }
    }
    manager->setIsDirty(true);
    grid->model->rowsEdited(rows);
}

void frmReporting::editPrinters()
{
    Grid *grid = currentGrid();
    if (!grid || grid->kind != GridKind::Printers || !grid->model->manager())
        return;
    if (!m_frmEditPrinters)
        m_frmEditPrinters = new frmEditPrinters(this);
    int include = 2;
    Currency costBW, costColor;
    if (!m_frmEditPrinters->EditPrinters(include, costBW, costColor))
        return;
    const Currency unchanged = Currency::fromInt(-1);
    infGroupManager *manager = grid->model->manager();
    const QModelIndexList rows = selectedRows(*grid);
    for (const QModelIndex &row : rows) {
        GroupItemPtr item;
        manager->GetItemAndGroup(grid->model->keyOf(row), &item, nullptr);
        const PrinterPtr printer = AsPrinter(item);
        if (!printer)
            continue;
        if (include != 2)
            printer->setInclude(include == 1);
        if (costBW != unchanged)
            printer->setEstCost(costBW);
        if (costColor != unchanged)
            printer->setEstCostColor(costColor);
    }
    manager->setIsDirty(true);
    grid->model->rowsEdited(rows);
}

void frmReporting::importAdminGroups()
{
    if (!checkSaveGroups(false))
        return;
    if (DataResult e = startAnalysis(GroupsSource, m_cmbCompany->currentData().toInt()))
        MsgBox(GetLangString(294, e->Description()), MsgIcon::Exclamation);
    else
        MsgBox(GetLangString(293), MsgIcon::Exclamation);
}

void frmReporting::editAdminGroups(int kind)
{
    if (!m_connection)
        return;
    AdminGroupEditor editor(*m_connection, kind, m_cmbCompany->currentData().toInt(), this);
    editor.exec();
}

void frmReporting::setDatabase()
{
    if (!checkSaveGroups(true))
        return;
    if (!DataAccessGlobal::ShowDataSourceDialog(nullptr, this))
        return;
    // The user's choice now outranks a database named on start-up through the environment.
    qunsetenv("KV6_DATABASE");
    // The new source is stored; the window moves over only when it opens.
    std::unique_ptr<DataConnection> connection, reportConnection;
    QVariant version;
    DataResult e = OpenDataConnection(false, version, connection);
    if (!e)
        e = OpenDataConnection(true, version, reportConnection);
    if (e) {
        MsgBox(GetLangString(214, e->Description()), MsgIcon::Exclamation);
        return;
    }
    closeReportTabs();
    std::unique_ptr<clsAnalysis> old = std::move(m_analysis);
    refillGrids();
    old.reset();
    m_connection = std::move(connection);
    m_reportConnection = std::move(reportConnection);
    fillCompanies();
    e = m_simple ? startDefaultAnalysis(m_cmbCompany->currentData().toInt())
                 : startAnalysis(QString(), m_cmbCompany->currentData().toInt());
    if (e)
        MsgBox(GetLangString(214, e->Description()), MsgIcon::Exclamation);
}

void frmReporting::changeScreenFont()
{
    const std::optional<QFont> chosen = Dialogs().font(font(), PlainCaption(GetLangString(362)));
    if (!chosen)
        return;
    ApplyFont(this, *chosen);
    SaveFont(InterfaceFontKey, *chosen);
}

void frmReporting::changeReportFont()
{
    const std::optional<QFont> chosen
        = Dialogs().font(m_reportFont, PlainCaption(GetLangString(363)));
    if (!chosen)
        return;
    m_reportFont = *chosen;
    SaveFont(ReportFontKey, m_reportFont);
}

void frmReporting::setReportLogo()
{
    if (!m_connection)
        return;
    SuiteSettings settings;
    DataResult e = DataSettings::GetSuiteSettings(*m_connection, settings);
    if (!e) {
        FileRequest request;
        request.caption = GetLangString(275);
        request.filter = GetLangString(276);
        request.folder = SpecialFolderPath(CSIDL_PERSONAL);
        const QString path = Dialogs().fileName(request);
        if (path.isEmpty())
            return;
        QImage logo;
        if (!logo.load(path) || logo.isNull()) {
            e = DataError(dataErrInvalid, GetLangString(277));
        } else {
            settings.SetReportLogo(logo);
            e = DataSettings::SaveSuiteSettings(*m_connection, settings);
        }
    }
    if (e) {
        MsgBox(GetLangString(292, e->Description()), MsgIcon::Exclamation, MsgButtons::OK,
            Branding().ProductName());
        return;
    }
    if (settings.HasReportLogo())
        ApplyUserReportLogo(settings.ReportLogo());
    else
        ResetReportBranding();
    showReportLogo();
}

void frmReporting::showReportLogo()
{
    // Without a logo the command keeps its theme icon rather than going blank.
    if (!Startup().ReportLogoPicture.isNull())
        command(QStringLiteral("ID_SetReportLogo"))
            ->setIcon(QIcon(QPixmap::fromImage(Startup().ReportLogoPicture)));
}

void frmReporting::about()
{
    QString version = GetProductVersion();
    if (version.isEmpty())
        version = QStringLiteral(KV6_VERSION);
    const clsKV6Branding &brand = Branding();
    MsgBox(GetLangString(374, brand.ProductName(), version,
               brand.CompanyNameFull() + QLatin1Char('\n') + brand.CompanyURL()),
        MsgIcon::Information, MsgButtons::OK, PlainCaption(GetLangString(382)));
}

void frmReporting::notYetAvailable(const QString &id)
{
    MsgBox(GetLangString(373, PlainCaption(command(id)->text())), MsgIcon::Information);
}

void frmReporting::showContextMenu(Grid &grid, const QPoint &pos)
{
    if (m_simple)
        return;
    UpdateCommands();
    m_popup->popup(grid.view->viewport()->mapToGlobal(pos));
}

void frmReporting::resetLayout(Grid &grid)
{
    QHeaderView *header = grid.view->header();
    for (int c = 0; c < grid.model->columnCount(); ++c)
        header->moveSection(header->visualIndex(c), c);
    const QFontMetrics metrics(grid.view->font());
    const int columns = grid.visibleColumns();
    for (int c = 0; c < columns; ++c) {
        const int chars = grid.kind == GridKind::Printers ? PrinterWidths[c] : UserWidths[c];
        const QString caption = grid.model->headerData(c, Qt::Horizontal).toString();
        // The first column also holds the outline's branch and indentation.
        const int extra = c == 0 ? grid.view->indentation() + 24 : 0;
        header->resizeSection(c,
            qMax(metrics.horizontalAdvance(caption) + 28, metrics.averageCharWidth() * chars + 12)
                + extra);
    }
    for (int c = columns; c < grid.model->columnCount(); ++c)
        grid.view->setColumnHidden(c, true);
    grid.state.SetSort(-1, 1);
    header->setSortIndicator(-1, Qt::AscendingOrder);
    if (m_initialised)
        refillGrid(grid, false);
}

void frmReporting::saveLayout(const Grid &grid) const
{
    const QHeaderView *header = grid.view->header();
    for (int c = 0; c < grid.visibleColumns(); ++c) {
        writeSetting(grid.layoutKey, QStringLiteral("Index%1").arg(c),
            QString::number(header->visualIndex(c)));
        writeSetting(grid.layoutKey, QStringLiteral("Width%1").arg(c),
            QString::number(header->sectionSize(c)));
    }
}

void frmReporting::restoreLayout(Grid &grid)
{
    QHeaderView *header = grid.view->header();
    const int columns = grid.visibleColumns();
    QList<QPair<int, int>> positions; // (position, column)
    for (int c = 0; c < columns; ++c) {
        bool ok = false;
        const int position = readSetting(grid.layoutKey, QStringLiteral("Index%1").arg(c), {})
                                 .toString()
                                 .toInt(&ok);
        if (ok && position >= 0 && position < columns)
            positions.append({ position, c });
        const int width = readSetting(grid.layoutKey, QStringLiteral("Width%1").arg(c), {})
                              .toString()
                              .toInt(&ok);
        if (ok && width > 0)
            header->resizeSection(c, width);
    }
    // Placing from the leftmost position on keeps every earlier placement where it is.
    std::sort(positions.begin(), positions.end());
    for (const auto &[position, column] : positions)
        header->moveSection(header->visualIndex(column), position);
}

void frmReporting::SaveSettings()
{
    writeSetting(ReporterKey, QStringLiteral("PrintCover"),
        m_printCover ? QStringLiteral("-1") : QStringLiteral("0"));
    if (!m_initialised)
        return;
    if (!m_simple && m_analysis) {
        QString error;
        m_analysis->SaveGroups(lastUsedGroupFile(), &error);
        if (!error.isEmpty())
            MsgBox(GetLangString(378, error), MsgIcon::Exclamation);
    }
    SaveWindowState(ReporterKey, this);
    if (!m_simple) {
        saveLayout(*m_printers);
        saveLayout(*m_users);
    }
}

void frmReporting::closeEvent(QCloseEvent *event)
{
    // The render in progress owns the stack below this event; it stops first.
    if (m_busy) {
        event->ignore();
        return;
    }
    if (!m_closing) {
        SaveSettings();
        m_closing = true;
    }
    event->accept();
}

static void showMain(bool simple)
{
    InstallTerminationHandler();
    auto *w = new frmReporting(simple);
    w->setAttribute(Qt::WA_DeleteOnClose);
    w->show();
    w->Start();
}

void ShowSimple()
{
    showMain(true);
}
void ShowAdvanced()
{
    showMain(false);
}

namespace {
int terminationPipe[2] = { -1, -1 };

void onTerminationSignal(int)
{
    const char byte = 1;
    // Only async-signal-safe work here; the event loop does the rest.
    [[maybe_unused]] const ssize_t n = ::write(terminationPipe[0], &byte, 1);
}

void closeOnTermination()
{
    // Start-up lets events run before the event loop does; closing then would leave a loop
    // that nothing ends, so the request waits for the loop.
    if (QThread::currentThread()->loopLevel() == 0) {
        QTimer::singleShot(100, qApp, closeOnTermination);
        return;
    }
    for (QWidget *w : QApplication::topLevelWidgets()) {
        if (auto *main = qobject_cast<frmReporting *>(w))
            main->close();
    }
    QCoreApplication::exit(0);
}

} // namespace

void InstallTerminationHandler()
{
    if (terminationPipe[0] >= 0)
        return;
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, terminationPipe) != 0)
        return;
    auto *notifier = new QSocketNotifier(terminationPipe[1], QSocketNotifier::Read, qApp);
    QObject::connect(notifier, &QSocketNotifier::activated, qApp, [] {
        char byte = 0;
        [[maybe_unused]] const ssize_t n = ::read(terminationPipe[1], &byte, 1);
        closeOnTermination();
    });
    struct sigaction action = {};
    action.sa_handler = onTerminationSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);
}

} // namespace kv6
