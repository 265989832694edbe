#include "app/fonts.h"
#include "app/startup.h"
#include "base/langstrings.h"
#include "base/startupvalues.h"
#include "dataaccess/dataconnection.h"
#include "dataaccess/datasourcedialog.h"
#include "groups/analysis.h"
#include "ui/groupeditors.h"

#include "testscopes.h"
#include "uitest.h"

#include <csignal>

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QHeaderView>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QProcess>
#include <QRadioButton>
#include <QTabWidget>
#include <QTest>
#include <QThread>
#include <QToolBar>
#include <QTreeView>

using namespace kv6;

namespace {

const QString Ungrouped = QStringLiteral("*GROUP*1");
const QStringList GroupTools
    = { QStringLiteral("ID_CreateAddToGroup"), QStringLiteral("ID_DeleteGroup"),
          QStringLiteral("ID_Include/ExcludeFromReport"), QStringLiteral("ID_EditPrinters") };

QString lastUsed()
{
    return Startup().GroupsFolder + QStringLiteral("/lastused.grp");
}

// The include flags of the rows, as "1"/"0" joined.
QString included(QTreeView *grid, const QStringList &keys)
{
    QString out;
    for (const QString &key : keys)
        out += kv6test::UiTest::row(grid, key).data(Qt::CheckStateRole).toInt() == Qt::Checked
            ? QLatin1Char('1')
            : QLatin1Char('0');
    return out;
}

} // namespace

class Window : public kv6test::UiTest
{
protected:
    // Puts the items into a new group through the group dialog; the group's key.
    QString makeGroup(frmReporting &w, QTreeView *grid, const QString &name, QStringList keys)
    {
        select(grid, keys);
        whenModal<frmGroup>([name](frmGroup *d) {
            d->findChild<QLineEdit *>(QStringLiteral("txtNewName"))->setText(name);
            d->accept();
        });
        w.RunCommand(QStringLiteral("ID_CreateAddToGroup"));
        for (int g = 0; g < grid->model()->rowCount(); ++g) {
            if (grid->model()->index(g, 1).data().toString() == name)
                return grid->model()
                    ->index(g, ColumnOfKey(grid, grid == w.printerGrid() ? 12 : 5))
                    .data()
                    .toString();
        }
        return {};
    }
    // Adds the selected rows to an existing group (or ungroups them with "<INDIVIDUAL>").
    void addToGroup(frmReporting &w, const QString &name)
    {
        whenModal<frmGroup>([name](frmGroup *d) {
            d->findChild<QRadioButton *>(QStringLiteral("optExisting"))->setChecked(true);
            auto *list = d->findChild<QComboBox *>(QStringLiteral("cmbGroups"));
            list->setCurrentIndex(list->findText(name));
            d->accept();
        });
        w.RunCommand(QStringLiteral("ID_CreateAddToGroup"));
    }
};

TEST_F(Window, OpensWithEveryCommandCaptionedAndTheToolbarInOrder)
{
    auto w = open();
    ASSERT_TRUE(w->isInitialised());
    EXPECT_EQ(w->companySelector()->count(), 3) << "all companies, then the two of the database";
    EXPECT_EQ(w->companySelector()->currentData().toInt(), -1);
    // Without a last-used group file every printer and user is ungrouped.
    EXPECT_EQ(groupNames(w->printerGrid()), QStringList { UngroupedName });
    EXPECT_GT(members(w->printerGrid(), Ungrouped).size(), 16);
    EXPECT_EQ(members(w->userGrid(), Ungrouped).size(), 24);

    const auto *toolbar = w->findChild<QToolBar *>(QStringLiteral("tbrMain"));
    ASSERT_TRUE(toolbar);
    QStringList order;
    for (QAction *a : toolbar->actions()) {
        if (!a->isSeparator() && !a->objectName().isEmpty())
            order.append(a->objectName());
    }
    EXPECT_EQ(order.join(QLatin1Char(' ')),
        QStringLiteral("ID_LoadGroups ID_SaveGroups ID_CreateAddToGroup ID_DeleteGroup "
                       "ID_Include/ExcludeFromReport ID_EditPrinters ID_CreateReport "
                       "ID_PrintReport ID_ExportReport ID_DeleteReport ID_ScheduleReport "
                       "ID_ViewScheduledReports ID_Company"));
    QStringList menus;
    for (QAction *m : w->menuBar()->actions()) {
        menus.append(m->objectName());
        for (QAction *item : m->menu()->actions()) {
            if (item->isSeparator())
                continue;
            EXPECT_FALSE(item->icon().isNull()) << item->objectName().toStdString();
            EXPECT_FALSE(item->text().isEmpty());
            EXPECT_FALSE(item->text().at(0).isDigit()) << "a string number instead of its text";
        }
    }
    EXPECT_EQ(menus.join(QLatin1Char(' ')),
        QStringLiteral("ID_File ID_Groups ID_SimpleGroups ID_Reports ID_Tools ID_Help"));
    EXPECT_EQ(w->command(QStringLiteral("ID_LoadGroups"))->text(), GetLangString(301));
    EXPECT_EQ(w->command(QStringLiteral("ID_PrintReport"))->shortcut(),
        QKeySequence(QKeySequence::Print));
    EXPECT_TRUE(w->findChild<QMenu *>(QStringLiteral("ID_PopupMenu")));
}

TEST_F(Window, CommandsFollowTheSelectedRowsTabAndMode)
{
    auto w = open();
    QTreeView *printers = w->printerGrid();
    const QStringList keys = members(printers, Ungrouped);
    const QString group = makeGroup(*w, printers, QStringLiteral("Floor 1"), keys.mid(0, 2));
    ASSERT_FALSE(group.isEmpty());
    const QString user = members(w->userGrid(), Ungrouped).value(0);
    struct Case
    {
        const char *what;
        int tab;
        QStringList rows;
        const char *expected; // create, delete, include, edit printers
    };
    const Case cases[] = {
        { "the pseudo-group row", 0, { Ungrouped }, "0000" },
        { "an ungrouped printer", 0, { keys.at(2) }, "1011" },
        { "a real group row", 0, { group }, "0110" },
        { "a member of a real group", 0, { keys.at(0) }, "1001" },
        { "a group and an ungrouped printer", 0, { group, keys.at(3) }, "1111" },
        { "nothing", 0, {}, "0000" },
        { "an ungrouped user", 1, { user }, "1010" },
    };
    for (const Case &c : cases) {
        w->tabs()->setCurrentIndex(c.tab);
        QTreeView *grid = c.tab == 0 ? printers : w->userGrid();
        grid->selectionModel()->clearSelection();
        if (!c.rows.isEmpty())
            select(grid, c.rows);
        QString got;
        for (const QString &id : GroupTools)
            got += w->command(id)->isEnabled() ? QLatin1Char('1') : QLatin1Char('0');
        EXPECT_EQ(got, QLatin1String(c.expected)) << c.what;
        EXPECT_TRUE(w->command(QStringLiteral("ID_LoadGroups"))->isEnabled()) << c.what;
        EXPECT_FALSE(w->command(QStringLiteral("ID_PrintReport"))->isEnabled()) << c.what;
    }
    // A preview tab: the report commands, and no group files.
    w->tabs()->addTab(new QWidget, QStringLiteral("REPT1"));
    w->tabs()->setCurrentIndex(2);
    EXPECT_EQ(enabled(*w,
                  { QStringLiteral("ID_LoadGroups"), QStringLiteral("ID_PrintReport"),
                      QStringLiteral("ID_ExportReport"), QStringLiteral("ID_CreateAddToGroup") }),
        QStringLiteral("ID_LoadGroups:0 ID_PrintReport:1 ID_ExportReport:1 "
                       "ID_CreateAddToGroup:0"));
    dialogs.messageAnswers = { MsgAnswer::OK, MsgAnswer::OK };
    w->RunCommand(QStringLiteral("ID_CreateAddToGroup"));
    w->RunCommand(QStringLiteral("ID_NoSuchThing"));
    EXPECT_EQ(takeMessages(),
        QStringList({ GetLangString(264), GetLangString(295, QStringLiteral("ID_NoSuchThing")) }));
    // The scheduled reports are the helper's window; without a display it shows none and the
    // window goes on.
    const kv6test::ScopedEnv helper("KV6_ELEVATE_HELPER", kv6test::stagedHelper());
    w->RunCommand(QStringLiteral("ID_ViewScheduledReports"));
    EXPECT_EQ(takeMessages(), QStringList());
}

TEST_F(Window, SimpleModeHidesGroupCommandsAndWritesNoGroupFile)
{
    auto w = open(true);
    EXPECT_FALSE(w->findChild<QMenu *>(QStringLiteral("ID_Groups"))->menuAction()->isVisible());
    EXPECT_TRUE(
        w->findChild<QMenu *>(QStringLiteral("ID_SimpleGroups"))->menuAction()->isVisible());
    select(w->printerGrid(), { members(w->printerGrid(), Ungrouped).value(0) });
    EXPECT_EQ(enabled(*w,
                  { QStringLiteral("ID_LoadGroups"), QStringLiteral("ID_CreateAddToGroup"),
                      QStringLiteral("ID_EditPrinters"), QStringLiteral("ID_ResetLayout"),
                      QStringLiteral("ID_CreateReport") }),
        QStringLiteral("ID_LoadGroups:0 ID_CreateAddToGroup:0 ID_EditPrinters:0 "
                       "ID_ResetLayout:0 ID_CreateReport:1"));
    w->close();
    EXPECT_FALSE(QFile::exists(lastUsed()));
}

TEST_F(Window, IncludeExcludeTogglesGroupsWithTheirMembersAndUngroupedItems)
{
    auto w = open();
    QTreeView *grid = w->printerGrid();
    const QStringList keys = members(grid, Ungrouped);
    const QString group = makeGroup(*w, grid, QStringLiteral("Floor 2"), keys.mid(0, 2));
    const QStringList watched = { group, keys.at(0), keys.at(1), keys.at(2) };
    ASSERT_EQ(included(grid, watched), QStringLiteral("1111"));

    select(grid, { keys.at(0) }); // a member alone does not move
    w->RunCommand(QStringLiteral("ID_Include/ExcludeFromReport"));
    EXPECT_EQ(included(grid, watched), QStringLiteral("1111"));
    select(grid, { group, keys.at(2) });
    w->RunCommand(QStringLiteral("ID_Include/ExcludeFromReport"));
    EXPECT_EQ(included(grid, watched), QStringLiteral("0000"));
    EXPECT_TRUE(w->analysis()->GroupsDirty());

    // Ticking a printer group's box asks first; a user group's box does not.
    QAbstractItemModel *model = grid->model();
    dialogs.messageAnswers = { MsgAnswer::No, MsgAnswer::Yes };
    EXPECT_FALSE(model->setData(row(grid, group), Qt::Checked, Qt::CheckStateRole));
    EXPECT_EQ(included(grid, watched), QStringLiteral("0000"));
    EXPECT_TRUE(model->setData(row(grid, group), Qt::Checked, Qt::CheckStateRole));
    EXPECT_EQ(included(grid, watched), QStringLiteral("1110"));
    EXPECT_EQ(takeMessages(), QStringList({ GetLangString(297), GetLangString(297) }));
    EXPECT_FALSE(model->flags(row(grid, keys.at(0))) & Qt::ItemIsUserCheckable)
        << "a member follows its group";

    QTreeView *users = w->userGrid();
    const QStringList userKeys = members(users, Ungrouped);
    w->tabs()->setCurrentIndex(1);
    const QString team = makeGroup(*w, users, QStringLiteral("Sales"), userKeys.mid(0, 3));
    EXPECT_TRUE(users->model()->setData(row(users, team), Qt::Unchecked, Qt::CheckStateRole));
    EXPECT_EQ(included(users, { team, userKeys.at(0), userKeys.at(2), userKeys.at(3) }),
        QStringLiteral("0001"));
    EXPECT_TRUE(takeMessages().isEmpty());
}

TEST_F(Window, CostCellsAcceptAmountsAndRefuseTheRest)
{
    auto w = open();
    QTreeView *grid = w->printerGrid();
    QAbstractItemModel *model = grid->model();
    const QStringList keys = members(grid, Ungrouped);
    const QString printer = keys.at(0);
    const auto cost = [&](const QString &key, int column) {
        return row(grid, key).siblingAtColumn(column).data().toString();
    };
    const QString before = cost(printer, 4);
    EXPECT_EQ(before, QLocale::system().toCurrencyString(0.1, QString(), 2))
        << "a fresh printer's starting estimate in currency format";
    struct Case
    {
        const char *typed;
        bool accepted;
        double shown; // -1: the cell is empty
    };
    const Case cases[] = {
        { "0.25", true, 0.25 },
        { "abc", false, 0.25 },
        { "-2", false, 0.25 },
        { " 0.0125 ", true, 0.0125 },
        { "", true, -1 },
    };
    for (const Case &c : cases) {
        if (!c.accepted)
            dialogs.messageAnswers = { MsgAnswer::OK };
        EXPECT_EQ(
            model->setData(row(grid, printer).siblingAtColumn(4), QString::fromLatin1(c.typed)),
            c.accepted)
            << c.typed;
        EXPECT_EQ(takeMessages(), c.accepted ? QStringList() : QStringList { GetLangString(296) })
            << c.typed;
        const QString expected = c.shown < 0
            ? QString()
            : QLocale::system().toCurrencyString(c.shown, QString(), c.shown == 0.0125 ? 4 : 2);
        EXPECT_EQ(cost(printer, 4), expected) << c.typed;
    }
    // On a group row the amount goes to every member after a confirmation.
    const QString group = makeGroup(*w, grid, QStringLiteral("Copy room"), keys.mid(1, 2));
    dialogs.messageAnswers = { MsgAnswer::Yes };
    EXPECT_TRUE(model->setData(row(grid, group).siblingAtColumn(5), QStringLiteral("0.5")));
    const QString half = QLocale::system().toCurrencyString(0.5, QString(), 2);
    EXPECT_EQ(cost(keys.at(1), 5), half);
    EXPECT_EQ(cost(keys.at(2), 5), half);
    EXPECT_NE(cost(keys.at(3), 5), half);
    EXPECT_EQ(takeMessages(), QStringList { GetLangString(377) });
}

TEST_F(Window, GroupDialogCreatesAddsAndDeletesGroups)
{
    auto w = open();
    QTreeView *grid = w->printerGrid();
    const QStringList keys = members(grid, Ungrouped);
    const QString floor = makeGroup(*w, grid, QStringLiteral("Floor 3"), keys.mid(0, 2));
    EXPECT_EQ(members(grid, floor), keys.mid(0, 2));

    // A name like an existing one keeps the dialog open with the manager's message.
    select(grid, { keys.at(2) });
    dialogs.messageAnswers = { MsgAnswer::OK };
    whenModal<frmGroup>([&](frmGroup *d) {
        d->findChild<QLineEdit *>(QStringLiteral("txtNewName"))->setText(QStringLiteral("floor 3"));
        d->accept();
        EXPECT_TRUE(d->isVisible());
        d->findChild<QRadioButton *>(QStringLiteral("optExisting"))->setChecked(true);
        auto *list = d->findChild<QComboBox *>(QStringLiteral("cmbGroups"));
        list->setCurrentIndex(list->findText(QStringLiteral("Floor 3")));
        d->accept();
    });
    w->RunCommand(QStringLiteral("ID_CreateAddToGroup"));
    EXPECT_EQ(takeMessages(), QStringList { GetLangString(780, QStringLiteral("floor 3")) });
    EXPECT_EQ(members(grid, floor), keys.mid(0, 3));

    // "<INDIVIDUAL>" in the list ungroups.
    select(grid, { keys.at(0) });
    addToGroup(*w, UngroupedName);
    EXPECT_EQ(members(grid, floor), keys.mid(1, 2));

    dialogs.messageAnswers = { MsgAnswer::OK, MsgAnswer::No, MsgAnswer::Yes };
    select(grid, { Ungrouped });
    w->RunCommand(QStringLiteral("ID_DeleteGroup"));
    select(grid, { floor });
    w->RunCommand(QStringLiteral("ID_DeleteGroup"));
    EXPECT_TRUE(row(grid, floor).isValid()) << "answered No";
    w->RunCommand(QStringLiteral("ID_DeleteGroup"));
    EXPECT_FALSE(row(grid, floor).isValid());
    EXPECT_EQ(members(grid, Ungrouped).size(), keys.size());
    EXPECT_EQ(takeMessages(),
        QStringList({ GetLangString(266), GetLangString(265), GetLangString(265) }));
}

TEST_F(Window, GroupFileOfAnotherCompanyAsksOnlyWhenReportsAreOpen)
{
    const QString file = env.path(QStringLiteral("birch.grp"));
    {
        const std::unique_ptr<DataConnection> c = connectDemo();
        ASSERT_TRUE(c);
        clsAnalysis other;
        other.setShowProgress(false);
        ASSERT_FALSE(other.InitializeDefault(*c, 2));
        QString error;
        other.SaveGroups(file, &error);
        ASSERT_TRUE(error.isEmpty()) << error.toStdString();
    }
    auto w = open();
    w->tabs()->addTab(new QWidget, QStringLiteral("REPT1"));
    const clsAnalysis *before = w->analysis();
    dialogs.fileAnswers = { file };
    dialogs.messageAnswers = { MsgAnswer::No };
    w->RunCommand(QStringLiteral("ID_LoadGroups"));
    EXPECT_EQ(takeMessages(), QStringList { GetLangString(273) });
    EXPECT_EQ(w->analysis(), before);
    EXPECT_EQ(w->tabs()->count(), 3);

    dialogs.fileAnswers = { file };
    dialogs.messageAnswers = { MsgAnswer::Yes };
    w->RunCommand(QStringLiteral("ID_LoadGroups"));
    EXPECT_EQ(w->analysis()->CompanyId(), 2);
    EXPECT_EQ(w->companySelector()->currentData().toInt(), 2);
    EXPECT_EQ(w->tabs()->count(), 2);

    // Without report tabs it loads at once; a corrupt file says so and changes nothing.
    const QString broken = env.path(QStringLiteral("broken.grp"));
    kv6test::writeFile(broken, "\x01\x02 not a group file");
    takeMessages();
    const clsAnalysis *loaded = w->analysis();
    dialogs.fileAnswers = { broken };
    dialogs.messageAnswers = { MsgAnswer::OK };
    w->RunCommand(QStringLiteral("ID_LoadGroups"));
    EXPECT_EQ(takeMessages().size(), 1);
    EXPECT_EQ(w->analysis(), loaded);
}

TEST_F(Window, RefillKeepsSortExpandedGroupsAndTheCurrentRow)
{
    auto w = open();
    QTreeView *grid = w->printerGrid();
    const QStringList keys = members(grid, Ungrouped);
    const QString a = makeGroup(*w, grid, QStringLiteral("A floor"), keys.mid(0, 3));
    const QString b = makeGroup(*w, grid, QStringLiteral("B floor"), keys.mid(3, 3));
    grid->sortByColumn(1, Qt::DescendingOrder);
    grid->expand(row(grid, b));
    const QString c = makeGroup(*w, grid, QStringLiteral("C floor"), { keys.at(6) });
    EXPECT_FALSE(grid->isExpanded(row(grid, c))) << "a group that is new after the refill";
    EXPECT_TRUE(grid->isExpanded(row(grid, b)));

    // Adding the current printer to B refills the grid.
    select(grid, { keys.at(7) });
    addToGroup(*w, QStringLiteral("B floor"));
    EXPECT_EQ(groupNames(grid),
        QStringList({ QStringLiteral("C floor"), QStringLiteral("B floor"),
            QStringLiteral("A floor"), UngroupedName }))
        << "still descending by name";
    EXPECT_TRUE(grid->isExpanded(row(grid, b)));
    EXPECT_FALSE(grid->isExpanded(row(grid, a)));
    EXPECT_FALSE(grid->isExpanded(row(grid, c)));
    EXPECT_EQ(grid->currentIndex(), row(grid, keys.at(7))) << "the moved printer stays current";
    EXPECT_EQ(grid->currentIndex().parent(), row(grid, b));
}

TEST_F(Window, ClosingRemembersGroupsColumnsAndCoverFlagForTheNextStart)
{
    QString group;
    {
        auto w = open();
        QTreeView *grid = w->printerGrid();
        group = makeGroup(*w, grid, QStringLiteral("Floor 5"), members(grid, Ungrouped).mid(0, 2));
        grid->header()->moveSection(grid->header()->visualIndex(7), 1); // model next to include
        grid->header()->resizeSection(2, 211);
        w->userGrid()->header()->resizeSection(1, 333);
        w->command(QStringLiteral("ID_CreateCoverPage"))->trigger();
        EXPECT_FALSE(w->printCover());
        w->close();
    }
    EXPECT_TRUE(QFile::exists(lastUsed()));
    auto w = open();
    QTreeView *grid = w->printerGrid();
    EXPECT_EQ(members(grid, group).size(), 2);
    EXPECT_EQ(grid->header()->visualIndex(7), 1);
    EXPECT_EQ(grid->header()->sectionSize(2), 211);
    EXPECT_EQ(w->userGrid()->header()->sectionSize(1), 333);
    EXPECT_FALSE(w->command(QStringLiteral("ID_CreateCoverPage"))->isChecked());

    // Reset puts the columns back in their numbered order.
    w->RunCommand(QStringLiteral("ID_ResetLayout"));
    EXPECT_EQ(grid->header()->visualIndex(7), 7);
    EXPECT_EQ(members(grid, group).size(), 2);
}

TEST_F(Window, UnsavedGroupsAreOfferedBeforeTheCompanyChanges)
{
    auto w = open();
    QTreeView *grid = w->printerGrid();
    makeGroup(*w, grid, QStringLiteral("Floor 6"), members(grid, Ungrouped).mid(0, 1));
    ASSERT_TRUE(w->analysis()->GroupsDirty());
    QComboBox *companies = w->companySelector();
    dialogs.messageAnswers = { MsgAnswer::Cancel };
    companies->setCurrentIndex(1);
    emit companies->activated(1);
    EXPECT_EQ(takeMessages(), QStringList { GetLangString(204) });
    EXPECT_EQ(companies->currentData().toInt(), -1) << "cancel goes back to the analysis's company";

    const QString saved = env.path(QStringLiteral("floor6.grp"));
    dialogs.messageAnswers = { MsgAnswer::Yes };
    dialogs.fileAnswers = { saved };
    companies->setCurrentIndex(1);
    emit companies->activated(1);
    EXPECT_TRUE(QFile::exists(saved));
    EXPECT_EQ(w->analysis()->CompanyId(), companies->itemData(1).toInt());
    EXPECT_EQ(groupNames(grid), QStringList { UngroupedName });
}

TEST_F(Window, BadInputGivesItsMessageAndKeepsWhatWasThere)
{
    // An unreadable last-used group file: an analysis of all companies without groups.
    kv6test::writeFile(lastUsed(), "garbage\r\n");
    {
        auto w = open();
        EXPECT_EQ(w->analysis()->CompanyId(), -1);
        EXPECT_EQ(groupNames(w->printerGrid()), QStringList { UngroupedName });
        // A logo that is not a picture.
        const QString notPicture = env.path(QStringLiteral("logo.png"));
        kv6test::writeFile(notPicture, "not a picture");
        dialogs.fileAnswers = { notPicture };
        dialogs.messageAnswers = { MsgAnswer::OK };
        w->RunCommand(QStringLiteral("ID_SetReportLogo"));
        EXPECT_EQ(takeMessages(), QStringList { GetLangString(292, GetLangString(277)) });
        // A group file that cannot be written on closing is named, and the window still closes.
        ASSERT_TRUE(QFile::remove(lastUsed()));
        ASSERT_TRUE(QDir().mkpath(lastUsed()));
        dialogs.messageAnswers = { MsgAnswer::OK };
        w->close();
        const QStringList closing = takeMessages();
        ASSERT_EQ(closing.size(), 1);
        EXPECT_TRUE(closing.first().startsWith(GetLangString(378, QString()).trimmed()));
        ASSERT_TRUE(QDir().rmdir(lastUsed()));
    }
    // A database that is gone: the window opens without an analysis and says why.
    databaseUrl = env.path(QStringLiteral("gone.db"));
    dialogs.messageAnswers = { MsgAnswer::OK };
    auto w = open();
    const QStringList shown = takeMessages();
    ASSERT_EQ(shown.size(), 1);
    EXPECT_TRUE(shown.first().startsWith(GetLangString(214, QString()).trimmed()));
    EXPECT_EQ(w->analysis(), nullptr);
    EXPECT_EQ(enabled(*w,
                  { QStringLiteral("ID_LoadGroups"), QStringLiteral("ID_CreateReport"),
                      QStringLiteral("ID_SetDatabase") }),
        QStringLiteral("ID_LoadGroups:0 ID_CreateReport:0 ID_SetDatabase:1"));

    // Set Database: a file that is no database is refused with 214 and nothing changes; the
    // demo database then opens, fills both grids and lists its companies.
    const auto chooseDatabase = [&](const QString &path) {
        whenModal<DataSourceDialog>([path](DataSourceDialog *d) {
            d->findChild<QRadioButton *>(QStringLiteral("optSQLite"))->setChecked(true);
            d->findChild<QLineEdit *>(QStringLiteral("txtFile"))->setText(path);
            d->accept();
        });
        w->RunCommand(QStringLiteral("ID_SetDatabase"));
    };
    const QString notDatabase = env.path(QStringLiteral("notes.db"));
    kv6test::writeFile(notDatabase, "these are notes, not a database\n");
    dialogs.messageAnswers = { MsgAnswer::OK };
    chooseDatabase(notDatabase);
    const QStringList refused = takeMessages();
    ASSERT_EQ(refused.size(), 1);
    EXPECT_TRUE(refused.first().startsWith(GetLangString(214, QString()).trimmed()));
    EXPECT_EQ(w->analysis(), nullptr);

    chooseDatabase(databasePath);
    EXPECT_EQ(takeMessages(), QStringList());
    ASSERT_NE(w->analysis(), nullptr);
    EXPECT_TRUE(row(w->printerGrid(), QStringLiteral("PRT1")).isValid());
    EXPECT_GT(w->userGrid()->model()->rowCount(w->userGrid()->model()->index(0, 0)), 0);
    auto *companies = w->findChild<QComboBox *>(QStringLiteral("ID_Company"));
    EXPECT_EQ(companies->count(), 3) << "all companies and the demo's two";
    EXPECT_TRUE(w->findChild<QAction *>(QStringLiteral("ID_CreateReport"))->isEnabled());
    w->close();
}

TEST_F(Window, ToolsKeepTheirSettingsAndImportTheAdministrationGroups)
{
    auto w = open();
    dialogs.fontAnswers = { QFont(QStringLiteral("DejaVu Sans"), 11),
        QFont(QStringLiteral("Liberation Serif"), 9), std::nullopt };
    w->RunCommand(QStringLiteral("ID_ChangeScreenFont"));
    w->RunCommand(QStringLiteral("ID_ChangeReportFont"));
    w->RunCommand(QStringLiteral("ID_ChangeReportFont")); // cancelled: nothing changes
    EXPECT_EQ(LoadFont(InterfaceFontKey, false).family(), QStringLiteral("DejaVu Sans"));
    EXPECT_EQ(w->font().family(), QStringLiteral("DejaVu Sans"));
    EXPECT_EQ(LoadFont(ReportFontKey, true).family(), QStringLiteral("Liberation Serif"));
    EXPECT_EQ(w->reportFont().family(), QStringLiteral("Liberation Serif"));

    dialogs.messageAnswers = { MsgAnswer::OK };
    w->RunCommand(QStringLiteral("ID_ImportGroupsfromAdministrator"));
    EXPECT_EQ(takeMessages(), QStringList { GetLangString(293) });
    EXPECT_GT(groupNames(w->printerGrid()).size(), 2) << "the demo's floors and departments";
    EXPECT_GT(groupNames(w->userGrid()).size(), 2);
}

TEST_F(Window, TheProgramSavesWhatClosingSavesWhenTerminated)
{
    QProcess program;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("KV6_DATABASE"), databaseUrl);
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    program.setProcessEnvironment(environment);
    program.start(kv6test::stageDir() + QStringLiteral("/reporter/kv6reprt"), {});
    ASSERT_TRUE(program.waitForStarted());
    // Once the process catches SIGTERM the window is on its way; a signal that arrives while it
    // still starts waits for the event loop.
    const auto catchesSigterm = [&] {
        QFile status(QStringLiteral("/proc/%1/status").arg(program.processId()));
        if (!status.open(QIODevice::ReadOnly))
            return false;
        for (const QByteArray &line : status.readAll().split('\n')) {
            if (line.startsWith("SigCgt:"))
                return ((line.mid(7).trimmed().toULongLong(nullptr, 16) >> (SIGTERM - 1)) & 1) != 0;
        }
        return false;
    };
    QElapsedTimer waited;
    waited.start();
    while (!catchesSigterm() && waited.elapsed() < 60000)
        QThread::msleep(20);
    program.terminate();
    ASSERT_TRUE(program.waitForFinished(60000));
    EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(program.exitCode(), 0);
    EXPECT_TRUE(QFile::exists(lastUsed()));
}
