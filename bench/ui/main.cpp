// Times the main window over a large analysis against the analysis load alone, measured in the
// same run: start-up to a usable window with both grids filled, a refill after adding 100
// printers to a group, and toggling a group of 1,000 users.
//
//   bench_ui [printers users groups]     (default 5000 50000 500)

#include "benchsupport.h"

#include "app/branding.h"
#include "app/startup.h"
#include "base/dialogs.h"
#include "base/langstrings.h"
#include "base/paths.h"
#include "base/startupvalues.h"
#include "dataaccess/dataconnection.h"
#include "dataaccess/demodata.h"
#include "groups/analysis.h"
#include "ui/groupeditors.h"
#include "ui/mainwindow.h"

#include <QApplication>
#include <QComboBox>
#include <QRadioButton>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTimer>
#include <QTreeView>

using namespace kv6;
using namespace kv6bench;

namespace {

// Every location the program writes to, inside the bench's own folder.
void pointHomeAt(const QString &root)
{
    for (const char *var :
        { "KV6_DOCUMENTS", "KV6_LOCAL_APPDATA", "KV6_COMMON_APPDATA", "XDG_CONFIG_HOME" })
        qputenv(var, (root + QLatin1Char('/') + QLatin1String(var)).toUtf8());
    qputenv("KV6_USER_REGISTRY", (root + QStringLiteral("/user.db")).toUtf8());
    qputenv("KV6_MACHINE_REGISTRY", (root + QStringLiteral("/machine.db")).toUtf8());
}

// Printers and users of one company in groups: a tenth of the groups hold printers, the rest
// users; the first user group has 1,000 members, the others share the rest. Saved as the
// last-used group file, so the window starts with them.
void makeData(const QString &db, int printers, int users, int groups)
{
    DataSource source;
    source.path = db;
    source.createIfMissing = true;
    QVariant version;
    std::unique_ptr<DataConnection> c;
    check(OpenDataConnection(source, true, version, c));
    DemoOptions o;
    o.jobs = 1000;
    o.companies = 1;
    o.printers = printers * 5 / 6; // one device comes with every five printers
    o.users = users;
    o.lastDay = QDate(2026, 6, 30);
    check(GenerateDemoData(*c, o));

    clsAnalysis a;
    a.setShowProgress(false);
    check(a.InitializeDefault(*c, -1));
    const int printerGroups = std::max(1, groups / 10);
    const auto fill = [](infGroupManager &m, int count, const QString &prefix, int firstSize) {
        QStringList keys;
        for (int g = 0; g < count; ++g) {
            GroupItemPtr group;
            m.AddGroup(prefix + QString::number(g + 1), &group);
            keys.append(group->Key());
        }
        int i = 0;
        QStringList items;
        for (const GroupItemPtr &item : m.Items())
            items.append(item->Key());
        for (const QString &item : std::as_const(items)) {
            const int g = i < firstSize ? 0 : 1 + (i - firstSize) % std::max(1, count - 1);
            m.AddItemToGroup(keys.at(std::min(g, count - 1)), item);
            ++i;
        }
    };
    fill(*a.PrinterManager(), printerGroups, QStringLiteral("Floor "), 0);
    fill(*a.UserManager(), groups - printerGroups, QStringLiteral("Department "), 1000);
    QString error;
    a.SaveGroups(Startup().GroupsFolder + QStringLiteral("/lastused.grp"), &error);
    if (!error.isEmpty())
        die(error);
    std::printf("%d printers, %d users, %d groups (%d printer groups)\n",
        a.PrinterManager()->Items().count(), a.UserManager()->Items().count(),
        a.PrinterManager()->Groups().count() + a.UserManager()->Groups().count() - 2,
        printerGroups);
}

QModelIndex groupRow(QTreeView *grid, const QString &name)
{
    for (int g = 0; g < grid->model()->rowCount(); ++g) {
        if (grid->model()->index(g, 1).data().toString() == name)
            return grid->model()->index(g, 0);
    }
    die(QStringLiteral("no group ") + name);
}

} // namespace

int main(int argc, char **argv)
{
    QTemporaryDir dir;
    pointHomeAt(dir.path());
    qputenv("KV6_DATABASE", (dir.path() + QStringLiteral("/bench.db")).toUtf8());
    SelectHeadlessPlatform();
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("bench_ui"));
    const int printers = argc > 1 ? atoi(argv[1]) : 5000;
    const int users = argc > 2 ? atoi(argv[2]) : 50000;
    const int groups = argc > 3 ? atoi(argv[3]) : 500;

    LoadLanguage(QStringLiteral("kv6reprt"));
    ResolveFolders();
    CreateBranding(CommonFolder());
    SilentDialogs silent(
        [](const MessageRequest &m) { die(QStringLiteral("message: ") + m.text); });
    ScopedDialogProvider quiet(&silent);
    makeData(dir.path() + QStringLiteral("/bench.db"), printers, users, groups);

    // Baseline: the analysis the window starts from, loaded alone.
    std::unique_ptr<DataConnection> c;
    QVariant version;
    check(OpenDataConnection(false, version, c));
    const double load = best([&] {
        clsAnalysis a;
        a.setShowProgress(false);
        check(a.InitializeFromGroupFile(
            *c, Startup().GroupsFolder + QStringLiteral("/lastused.grp")));
    });

    std::unique_ptr<frmReporting> w;
    const double start = best([&] {
        w.reset();
        w = std::make_unique<frmReporting>(false);
        w->show();
        w->Start();
        // Usable: the first paint of both grids is done.
        w->printerGrid()->grab();
        w->userGrid()->grab();
    });
    if (!w->analysis() || w->analysis()->PrinterManager()->Groups().count() < 2)
        die(QStringLiteral("the window did not load the groups"));

    // 100 printers of the second floor into the first, through the group dialog.
    QTreeView *grid = w->printerGrid();
    const QModelIndex from = groupRow(grid, QStringLiteral("Floor 2"));
    QItemSelection chosen(grid->model()->index(0, 0, from), grid->model()->index(99, 0, from));
    grid->selectionModel()->select(
        chosen, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    QTimer::singleShot(0, [] {
        auto *d = qobject_cast<frmGroup *>(QApplication::activeModalWidget());
        if (!d)
            die(QStringLiteral("the group dialog did not open"));
        d->findChild<QRadioButton *>(QStringLiteral("optExisting"))->setChecked(true);
        auto *list = d->findChild<QComboBox *>(QStringLiteral("cmbGroups"));
        list->setCurrentIndex(list->findText(QStringLiteral("Floor 1")));
        d->accept();
    });
    const double refill = seconds([&] { w->RunCommand(QStringLiteral("ID_CreateAddToGroup")); });
    if (grid->model()->rowCount(groupRow(grid, QStringLiteral("Floor 1"))) < 100)
        die(QStringLiteral("the printers did not move"));

    // A group of 1,000 users in and out of the reports, and every user row selected.
    w->tabs()->setCurrentIndex(1);
    QTreeView *usersGrid = w->userGrid();
    usersGrid->selectionModel()->select(groupRow(usersGrid, QStringLiteral("Department 1")),
        QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    const double toggle
        = best([&] { w->RunCommand(QStringLiteral("ID_Include/ExcludeFromReport")); });
    const double sort = best([&] { usersGrid->sortByColumn(1, Qt::DescendingOrder); });
    usersGrid->expandAll();
    const double selectAll = seconds([&] { usersGrid->selectAll(); });
    const double close = seconds([&] { w->close(); });

    std::printf("analysis load alone (baseline)        %8.3f s\n", load);
    std::printf(
        "start-up to usable window, both grids %8.3f s   %5.2f x baseline\n", start, start / load);
    std::printf("add 100 printers to a group + refill  %8.3f s   %5.2f x baseline\n", refill,
        refill / load);
    std::printf("toggle a group of 1,000 users         %8.3f s   %5.2f x baseline\n", toggle,
        toggle / load);
    std::printf(
        "sort the user grid by name            %8.3f s   %5.2f x baseline\n", sort, sort / load);
    std::printf("select every user row (expanded)      %8.3f s   %5.2f x baseline\n", selectAll,
        selectAll / load);
    std::printf(
        "close (groups, layouts saved)         %8.3f s   %5.2f x baseline\n", close, close / load);
    std::printf("peak memory                           %8.1f MB\n", peakMB());
    return 0;
}
