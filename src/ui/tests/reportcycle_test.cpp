// The report cycle over the demo database: the picker, the wizard, preview tabs, printing and
// exporting, with the shipped catalogue.

#include "app/branding.h"
#include "base/startupvalues.h"
#include "dataaccess/dataconnection.h"
#include "dataaccess/datasettings.h"
#include "proposal/proposal.h"
#include "report/dateselector.h"
#include "report/runsettings.h"
#include "ui/ctldateselector.h"
#include "ui/progress.h"
#include "ui/proposaleditor.h"
#include "ui/reportwizard.h"
#include "ui/savereport.h"
#include "ui/schedulereport.h"
#include "ui/startreport.h"

#include "enginetest.h"
#include "previewtab_p.h"
#include "testscopes.h"
#include "toolrun.h"
#include "uitest.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPrinter>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QToolButton>
#include <QTreeWidget>

using namespace kv6;

namespace {

const QString TopUsers = QStringLiteral("Top 10 Users List");
const QString Volumes = QStringLiteral("Page Volumes Breakdown");

using WizardSetup = std::function<void(frmReportWizard *)>;
// Small reports, so that a proposal of them builds quickly.
const QStringList ProposalReports
    = { TopUsers, QStringLiteral("Printer Inventory"), QStringLiteral("Model Volumes") };

} // namespace

class Cycle : public kv6test::UiTest
{
protected:
    // Chooses a catalogue report in the wizard over all dates; `setup` changes more before Build.
    static void configure(frmReportWizard *wizard, const QString &name, const WizardSetup &setup)
    {
        ASSERT_TRUE(wizard->selectReport(name)) << name.toStdString();
        if (!wizard->dtpParameter.isEmpty())
            wizard->dtpParameter.at(0)->SetDates(clsDateSelector::AllDates, {}, {});
        if (setup)
            setup(wizard);
    }

    // "Create Report", "New Report", the report over all dates, Build (or Build and Save).
    void create(
        frmReporting &w, const QString &name, const WizardSetup &setup = {}, bool save = false)
    {
        whenModal<frmStartReport>([name, setup, save](frmStartReport *picker) {
            picker->selectEntry(QStringLiteral("keyNew"));
            whenModal<frmReportWizard>([name, setup, save](frmReportWizard *wizard) {
                configure(wizard, name, setup);
                if (!wizard->finish(save))
                    wizard->reject();
            });
            picker->openSelected();
            if (!picker->result())
                picker->reject();
        });
        w.RunCommand(QStringLiteral("ID_CreateReport"));
    }

    // "Create Report", "New Proposal": the small reports over all dates, Build.
    void createProposal(frmReporting &w)
    {
        whenModal<frmStartReport>([](frmStartReport *picker) {
            picker->selectEntry(QStringLiteral("keyProposal"));
            whenModal<frmProposal>([](frmProposal *editor) {
                editor->txtTitle->setText(QStringLiteral("Print review"));
                editor->cmdRemoveAll->click();
                for (QTreeWidgetItem *item :
                    editor->lsvReports[0]->findItems(QString(), Qt::MatchContains))
                    item->setSelected(
                        ProposalReports.contains(item->data(0, Qt::UserRole).toString()));
                editor->cmdAdd->click();
                editor->dteProposalRange->SetDates(clsDateSelector::AllDates, {}, {});
                editor->cmdBuild->click();
            });
            picker->openSelected();
        });
        w.RunCommand(QStringLiteral("ID_CreateReport"));
    }

    // The small reports in a proposal saved as "quarter.prp" without filters, over the range given.
    void saveProposal(const char *from = "2000-01-01", const char *to = "2099-12-31")
    {
        kv6test::writeFile(saved(QStringLiteral("quarter.prp")),
            QByteArray("2\r\nQuarterly\r\n\r\n\r\n\r\n\r\n") + from + "\r\n" + to
                + "\r\n 11 \r\n0\r\n-1\r\n0\r\n-1\r\n-1\r\n 2 \r\n-1 \r\n-1 \r\ntop_users.rpt\r\n"
                  "printer_inventory.rpt\r\nmodel_volumes.rpt\r\n");
    }

    ReportTab *tab(frmReporting &w) { return qobject_cast<ReportTab *>(w.tabs()->currentWidget()); }

    // Exports the current tab to `path`, answering the CSV question with `csv`.
    void exportTo(frmReporting &w, const QString &path, MsgAnswer csv = MsgAnswer::None)
    {
        dialogs.fileAnswers.append(path);
        if (csv != MsgAnswer::None)
            dialogs.messageAnswers.append(csv);
        if (csv == MsgAnswer::Yes)
            dialogs.messageAnswers.append(MsgAnswer::OK);
        w.RunCommand(QStringLiteral("ID_ExportReport"));
    }

    // Prints the current tab through the print dialog into a fresh PDF, on the printer's own
    // paper or on `paper`, the dialog answered with `accept`; whether a PDF was written.
    bool print(frmReporting &w, bool accept, std::optional<QPageSize::PageSizeId> paper = {})
    {
        const QString path = env.path(QStringLiteral("printed.pdf"));
        QFile::remove(path);
        dialogs.choosePrinter = [path, paper](QPrinter &printer) {
            printer.setOutputFormat(QPrinter::PdfFormat);
            printer.setOutputFileName(path);
            if (paper)
                printer.setPageSize(QPageSize(*paper));
        };
        dialogs.printerAnswers = { accept };
        w.RunCommand(QStringLiteral("ID_PrintReport"));
        return kv6test::readFile(path).startsWith("%PDF");
    }

    QString saved(const QString &name) const
    {
        return QDir(Startup().UserReportsFolder).filePath(name);
    }

    void SetUp() override
    {
        UiTest::SetUp();
        // After the fixture resolved the folders: the shipped catalogue.
        definitions.emplace(&StartupValues::DefinitionsFolder,
            kv6test::sourceDir() + QStringLiteral("/data/reports"));
    }

    kv6test::UsEnglishLocale locale;
    std::optional<kv6test::ScopedStartupValue<QString>> definitions;
};

TEST_F(Cycle, CreatePreviewExportAndDeleteAReportWithAChartAndOneWithASubReport)
{
    auto w = open();
    // This month holds no jobs of the demo: nothing to show, and no tab.
    dialogs.messageAnswers = { MsgAnswer::OK };
    create(*w, TopUsers, [](frmReportWizard *wizard) {
        wizard->dtpParameter.at(0)->SetDates(clsDateSelector::ThisMonth, {}, {});
    });
    EXPECT_EQ(takeMessages(), QStringList { GetLangString(244) });
    EXPECT_EQ(w->tabs()->count(), 2);

    // The key counts the tabs.
    create(*w, TopUsers,
        [](frmReportWizard *wizard) { wizard->txtParameter.at(0)->setText(QStringLiteral("5")); });
    ReportTab *top = tab(*w);
    ASSERT_TRUE(top) << takeMessages().join(QLatin1Char('\n')).toStdString();
    EXPECT_EQ(top->key(), QStringLiteral("REPT1"));
    EXPECT_EQ(top->report()->ReportData()->RecordCount(), 5);
    EXPECT_GE(top->document().pageCount(), 2) << "a cover page and the list";
    EXPECT_EQ(top->preview()->pageCount(), top->document().pageCount());
    top->cmdLast->click();
    EXPECT_EQ(top->preview()->currentPage(), top->document().pageCount());
    EXPECT_EQ(top->spnPage->value(), top->document().pageCount());
    top->cmdFirst->click();
    EXPECT_EQ(top->preview()->currentPage(), 1);
    EXPECT_FALSE(top->cmdPrevious->isEnabled());

    const QString folder = env.path(QStringLiteral("out"));
    QDir().mkpath(folder);
    exportTo(*w, folder + QStringLiteral("/top.pdf"));
    exportTo(*w, folder + QStringLiteral("/top.htm"));
    exportTo(*w, folder + QStringLiteral("/no.csv"), MsgAnswer::No);
    exportTo(*w, folder + QStringLiteral("/top.csv"), MsgAnswer::Yes);
    EXPECT_EQ(takeMessages(),
        QStringList({ GetLangString(253), GetLangString(253), GetLangString(249) }));
    EXPECT_TRUE(kv6test::readFile(folder + QStringLiteral("/top.pdf")).startsWith("%PDF"));
    EXPECT_TRUE(kv6test::readFile(folder + QStringLiteral("/top.htm")).contains("<html"));
    EXPECT_FALSE(QFile::exists(folder + QStringLiteral("/no.csv")));
    const QByteArray csv = kv6test::readFile(folder + QStringLiteral("/top.csv"));
    EXPECT_EQ(csv.count("\r\n"), 5) << "the rows, quoted as the CSV writer's own tests show";
    // A folder that cannot exist: a message, and nothing written.
    dialogs.messageAnswers = { MsgAnswer::OK };
    exportTo(*w, folder + QStringLiteral("/top.pdf/inside.pdf"));
    const QStringList failed = takeMessages();
    ASSERT_EQ(failed.size(), 1);
    EXPECT_TRUE(failed.at(0).startsWith(GetLangString(251, QString())))
        << failed.at(0).toStdString();

    // The sub-report and the charts come along into the tab (how they render is the catalogue's).
    create(*w, Volumes, [](frmReportWizard *wizard) {
        wizard->txtTitle->setText(QStringLiteral("Volumes & Shares"));
    });
    ReportTab *volumes = tab(*w);
    ASSERT_TRUE(volumes && volumes != top) << takeMessages().join(QLatin1Char('\n')).toStdString();
    EXPECT_EQ(volumes->key(), QStringLiteral("REPT2"));
    EXPECT_FALSE(volumes->report()->SubReports().isEmpty());
    EXPECT_TRUE(volumes->report()->HasCharts());

    // Closing asks; No keeps the tab.
    dialogs.messageAnswers = { MsgAnswer::No, MsgAnswer::Yes };
    w->RunCommand(QStringLiteral("ID_DeleteReport"));
    EXPECT_EQ(w->tabs()->count(), 4);
    w->tabs()->setCurrentWidget(top);
    w->RunCommand(QStringLiteral("ID_DeleteReport"));
    EXPECT_EQ(w->tabs()->count(), 3);
    EXPECT_EQ(takeMessages(), QStringList({ GetLangString(256), GetLangString(256) }));
    // A new tab after a closed one never repeats a key still in use.
    create(*w, TopUsers);
    ASSERT_TRUE(tab(*w));
    EXPECT_EQ(tab(*w)->key(), QStringLiteral("REPT3"));
}

TEST_F(Cycle, TabCaptionsPrintingSchedulingAndCancelling)
{
    auto w = open();
    // An "&" in the name is shown, not taken for an accelerator.
    const ReportPtr report = std::make_shared<clsReport>();
    ASSERT_TRUE(report->LoadDefinition(QStringLiteral("top_users.rpt")));
    report->SetCaption(QStringLiteral("Smith & Jones"));
    QString error;
    ReportRunSettings all;
    all.period = clsDateSelector::AllDates;
    ASSERT_TRUE(ApplyRunSettings(*report, all, error));
    ASSERT_FALSE(w->BuildAndShow(report));
    EXPECT_EQ(w->tabs()->tabText(2), QStringLiteral("Smith && Jones"));
    EXPECT_EQ(w->tabs()->currentWidget()->accessibleName(), QStringLiteral("Smith & Jones"));
    ReportTab *t = tab(*w);
    ASSERT_TRUE(t);

    // The paper the preview has: printed without laying out again.
    const QSizeF a4 = engine::pageSizeTwips(QPageSize(QPageSize::A4));
    ASSERT_LT(qAbs(t->document().page(2).size.width() - a4.width()), 40)
        << "the layout is on A4 here";
    const engine::PreviewDocument before = t->document();
    EXPECT_TRUE(print(*w, true));
    EXPECT_TRUE(t->document().page(2).items.isSharedWith(before.page(2).items))
        << "the same paper must not lay the report out again";
    // Other paper: laid out for it first.
    EXPECT_TRUE(print(*w, true, QPageSize::A5));
    const QSizeF a5 = engine::pageSizeTwips(QPageSize(QPageSize::A5));
    EXPECT_LT(qAbs(t->document().page(2).size.height() - a5.height()), 40);
    EXPECT_FALSE(print(*w, false)) << "a cancelled print dialog prints nothing";

    // Scheduling needs the suite's mail server, and then opens the schedule dialog.
    dialogs.messageAnswers = { MsgAnswer::OK };
    w->RunCommand(QStringLiteral("ID_ScheduleReport"));
    {
        const std::unique_ptr<DataConnection> c = connectDemo();
        ASSERT_TRUE(c);
        SuiteSettings settings;
        ASSERT_FALSE(DataSettings::GetSuiteSettings(*c, settings));
        settings.SetMailServer(QStringLiteral("mail.example.com"));
        ASSERT_FALSE(DataSettings::SaveSuiteSettings(*c, settings));
    }
    bool dialogShown = false;
    whenModal<frmScheduleReport>([&](frmScheduleReport *d) {
        dialogShown = d->txtName->text().isEmpty();
        d->cmdCancel->click();
    });
    w->RunCommand(QStringLiteral("ID_ScheduleReport"));
    EXPECT_TRUE(dialogShown);
    const QStringList schedule = takeMessages();
    ASSERT_EQ(schedule.size(), 1);
    EXPECT_EQ(schedule.at(0), GetLangString(278, Branding().ProductName()));

    // Cancel once the first page shows: the tab goes again.
    const int tabs = w->tabs()->count();
    bool lockedWhileBuilding = false;
    QMetaObject::Connection shown = QObject::connect(w->tabs(), &QTabWidget::currentChanged, [&] {
        // What could replace the analysis under the build waits.
        lockedWhileBuilding = !w->companySelector()->isEnabled() && !w->printerGrid()->isEnabled()
            && !w->command(QStringLiteral("ID_CreateReport"))->isEnabled();
        frmProgress::instance()->findChild<QPushButton *>(QStringLiteral("cmdCancel"))->click();
    });
    const ReportPtr again = std::make_shared<clsReport>();
    ASSERT_TRUE(again->LoadDefinition(QStringLiteral("printer_user_breakdown.rpt")));
    ASSERT_TRUE(ApplyRunSettings(*again, all, error));
    EXPECT_FALSE(w->BuildAndShow(again));
    QObject::disconnect(shown);
    EXPECT_TRUE(lockedWhileBuilding);
    EXPECT_EQ(w->tabs()->count(), tabs);
    EXPECT_TRUE(w->companySelector()->isEnabled());
    EXPECT_TRUE(takeMessages().isEmpty());
}

TEST_F(Cycle, WizardCataloguePagesAndValidation)
{
    auto w = open();
    frmReportWizard *wizard = w->picker()->wizard();
    ASSERT_TRUE(wizard->prepareBuild(nullptr, -1, false));
    // Reports of one folder share its node; the leaves carry pictures; folders select nothing.
    QList<QTreeWidgetItem *> topLists
        = wizard->treReports->findItems(QStringLiteral("Top Lists"), Qt::MatchExactly);
    ASSERT_EQ(topLists.size(), 1);
    EXPECT_GT(topLists.at(0)->childCount(), 3);
    EXPECT_FALSE(topLists.at(0)->child(0)->icon(0).isNull());
    wizard->treReports->setCurrentItem(topLists.at(0));
    EXPECT_FALSE(wizard->selectedReport());
    EXPECT_FALSE(wizard->cmdBuild->isEnabled());
    EXPECT_FALSE(wizard->cmdNext->isEnabled());
    EXPECT_FALSE(wizard->tabWizard->isTabVisible(frmReportWizard::PageUserGroups));

    configure(wizard, TopUsers, {});
    const ReportPtr report = wizard->selectedReport();
    ASSERT_TRUE(report);
    EXPECT_TRUE(wizard->txtDescription->toPlainText().startsWith(report->Description()));
    EXPECT_TRUE(wizard->cmdBuild->isEnabled());
    wizard->cmdNext->click();
    EXPECT_EQ(wizard->tabWizard->currentIndex(), int(frmReportWizard::PageOptions));
    EXPECT_FALSE(wizard->cmdNext->isEnabled());
    EXPECT_EQ(wizard->lblMinorHeading->text(), GetLangString(441));
    ASSERT_EQ(wizard->txtParameter.size(), 1);
    EXPECT_EQ(wizard->txtParameter.at(0)->text(), QStringLiteral("10"));
    for (QWidget *input : { static_cast<QWidget *>(wizard->txtParameter.at(0)),
             static_cast<QWidget *>(wizard->dtpParameter.at(0)),
             static_cast<QWidget *>(wizard->treReports), static_cast<QWidget *>(wizard->cmdBuild) })
        EXPECT_FALSE(input->accessibleName().isEmpty()) << input->objectName().toStdString();

    // Each refusal names its problem and leaves the wizard on the offending page.
    struct Case
    {
        const char *what;
        std::function<void()> spoil;
        QString message;
    };
    const Case cases[] = {
        { "a top-N out of range", [&] { wizard->txtParameter.at(0)->setText(QStringLiteral("0")); },
            GetLangString(426) },
        { "a range that ends before it starts",
            [&] {
                wizard->dtpParameter.at(0)->SetDates(
                    clsDateSelector::CustomRange, QDate(2026, 5, 2), QDate(2026, 5, 1));
            },
            GetLangString(426) },
        { "decimals that are no whole number",
            [&] { wizard->txtDecimals->setText(QStringLiteral("1.5")); }, GetLangString(427) },
    };
    for (const Case &c : cases) {
        configure(wizard, TopUsers, {});
        wizard->txtParameter.at(0)->setText(QStringLiteral("10"));
        wizard->txtDecimals->setText(QStringLiteral("2"));
        wizard->tabWizard->setCurrentIndex(frmReportWizard::PageReport);
        c.spoil();
        dialogs.messageAnswers = { MsgAnswer::OK };
        EXPECT_FALSE(wizard->finish(false)) << c.what;
        EXPECT_EQ(takeMessages(), QStringList { c.message }) << c.what;
        EXPECT_EQ(wizard->tabWizard->currentIndex(), int(frmReportWizard::PageOptions)) << c.what;
        EXPECT_FALSE(wizard->result()) << c.what;
    }

    // Changing the estimated costs asks once whether to keep it; Yes makes it the default.
    wizard->txtDecimals->setText(QStringLiteral("2"));
    wizard->dtpParameter.at(0)->SetDates(clsDateSelector::LastYear, {}, {});
    wizard->chkEstCosts->setChecked(true);
    wizard->cmbSorting->setCurrentIndex(wizard->cmbSorting->count() - 1);
    wizard->optSortDescending->setChecked(true);
    dialogs.messageAnswers = { MsgAnswer::Yes };
    // Build and Save, then Cancel in the save dialog: the wizard stays, settings kept.
    whenModal<frmSaveReport>([](frmSaveReport *save) { save->reject(); });
    EXPECT_FALSE(wizard->finish(true));
    EXPECT_EQ(takeMessages(), QStringList { GetLangString(429) });
    EXPECT_TRUE(wizard->chkEstCosts->isChecked());
    EXPECT_TRUE(report->UseEstCosts());
    EXPECT_TRUE(report->Sort().endsWith(QLatin1String(" DESC"))) << report->Sort().toStdString();
    EXPECT_EQ(report->Sort().section(QLatin1Char(' '), 0, 0),
        wizard->cmbSorting->currentData().toString());
    EXPECT_EQ((*report->Parameters()->item(QStringLiteral("DateRange")))->Value3().toInt(),
        int(clsDateSelector::LastYear));
    EXPECT_TRUE(wizard->finish(false)) << "asked once only";
    EXPECT_EQ(wizard->result(), report);
    EXPECT_TRUE(takeMessages().isEmpty());
    // The next showing starts from the remembered default.
    ASSERT_TRUE(wizard->prepareBuild(nullptr, -1, false));
    configure(wizard, QStringLiteral("User Averages"), {});
    EXPECT_TRUE(wizard->chkEstCosts->isChecked());

    // Simple mode: the group pages, and a selection without a group is refused.
    const std::unique_ptr<DataConnection> c = connectDemo();
    ASSERT_TRUE(c);
    ASSERT_TRUE(wizard->prepareBuild(c.get(), -1, true));
    EXPECT_TRUE(wizard->tabWizard->isTabVisible(frmReportWizard::PagePrinterGroups));
    EXPECT_FALSE(wizard->chkEstCosts->isVisibleTo(wizard));
    configure(wizard, TopUsers, {});
    EXPECT_TRUE(wizard->optUsersAll->isChecked());
    ASSERT_GT(wizard->lstUserGroups->count(), 0);
    wizard->cmdNext->click();
    wizard->cmdNext->click();
    EXPECT_EQ(wizard->tabWizard->currentIndex(), int(frmReportWizard::PageUserGroups));
    wizard->optUsersSelected->setChecked(true);
    wizard->tabWizard->setCurrentIndex(frmReportWizard::PageOptions);
    dialogs.messageAnswers = { MsgAnswer::OK };
    EXPECT_FALSE(wizard->finish(false));
    EXPECT_EQ(takeMessages(), QStringList { GetLangString(444) });
    EXPECT_EQ(wizard->tabWizard->currentIndex(), int(frmReportWizard::PageUserGroups));
    wizard->lstUserGroups->item(0)->setCheckState(Qt::Checked);
    EXPECT_TRUE(wizard->finish(false));
    EXPECT_EQ(wizard->result()->SimpleUserGroups().Count(), 1);
    EXPECT_FALSE(wizard->result()->UseEstCosts());
}

TEST_F(Cycle, PickerSavedReportsOpenEditRebuildAndDelete)
{
    auto w = open();
    frmStartReport *picker = w->picker();
    picker->prepare(nullptr, -1, false);
    ASSERT_EQ(picker->lsvReports->count(), 2) << "only the fixed entries";
    EXPECT_FALSE(picker->cmdEdit->isEnabled());
    EXPECT_FALSE(picker->cmdDelete->isEnabled());

    // Build and Save through the window: the tab, and the file in the saved reports (a plain
    // Build is the first test's).
    create(
        *w, TopUsers,
        [](frmReportWizard *wizard) {
            wizard->txtParameter.at(0)->setText(QStringLiteral("7"));
            whenModal<frmSaveReport>([](frmSaveReport *save) {
                save->txtName->setText(QStringLiteral("Seven users"));
                save->txtFileName->setText(QStringLiteral("Seven users"));
                save->txtDescription->setText(QStringLiteral("The busiest seven"));
                save->cmdSave->click();
            });
        },
        true);
    ASSERT_EQ(w->tabs()->count(), 3) << takeMessages().join(QLatin1Char('\n')).toStdString();
    ASSERT_TRUE(QFile::exists(saved(QStringLiteral("Seven users.rpt"))));

    // Saved files: a report, an old one without a version line, a proposal, a broken file and one
    // whose definition is gone.
    QByteArray old = kv6test::readFile(saved(QStringLiteral("Seven users.rpt")));
    old = old.mid(old.indexOf('\n') + 1).replace("Seven users", "Old style");
    kv6test::writeFile(saved(QStringLiteral("old.rpt")), old);
    kv6test::writeFile(saved(QStringLiteral("plan.prp")), "2\r\nA plan\r\nFor the board\r\n");
    kv6test::writeFile(saved(QStringLiteral("broken.rpt")), "3\r\ntop_users.rpt\r\nBroken\r\n");
    QByteArray gone = kv6test::readFile(saved(QStringLiteral("Seven users.rpt")));
    gone.replace("top_users.rpt", "removed.rpt").replace("Seven users", "Gone");
    kv6test::writeFile(saved(QStringLiteral("gone.rpt")), gone);
    picker->prepare(nullptr, -1, false);
    QStringList names;
    for (int i = 0; i < picker->lsvReports->count(); ++i)
        names << picker->lsvReports->item(i)->text();
    EXPECT_EQ(names.join(QLatin1Char('|')),
        QStringLiteral("New Report|New Proposal|Broken|Gone|Old style|A plan|Seven users"));
    ASSERT_TRUE(picker->selectEntry(QStringLiteral("plan.prp")));
    EXPECT_EQ(picker->lsvReports->currentItem()->toolTip(), QStringLiteral("For the board"));
    EXPECT_TRUE(picker->cmdDelete->isEnabled());

    // A file the loader refuses shows its message (which one is the saved-report tests').
    ASSERT_TRUE(picker->selectEntry(QStringLiteral("broken.rpt")));
    dialogs.messageAnswers = { MsgAnswer::OK };
    picker->openSelected();
    const QStringList refused = takeMessages();
    ASSERT_EQ(refused.size(), 1);
    EXPECT_TRUE(refused.at(0).startsWith(GetLangString(841, QString()).left(20)));
    EXPECT_FALSE(picker->result());
    ASSERT_TRUE(picker->selectEntry(QStringLiteral("old.rpt")));
    picker->openSelected();
    ASSERT_TRUE(picker->result());
    EXPECT_EQ(picker->result()->Caption(), QStringLiteral("Old style"));

    // Edit: the wizard opens on the options with the saved values; the rebuild follows the edit.
    picker->prepare(nullptr, -1, false);
    ASSERT_TRUE(picker->selectEntry(QStringLiteral("Seven users.rpt")));
    whenModal<frmReportWizard>([](frmReportWizard *wizard) {
        EXPECT_FALSE(wizard->tabWizard->isTabEnabled(frmReportWizard::PageReport));
        EXPECT_EQ(wizard->tabWizard->currentIndex(), int(frmReportWizard::PageOptions));
        EXPECT_EQ(wizard->cmdBuild->text(), GetLangString(438));
        EXPECT_FALSE(wizard->cmdBuildSave->isVisibleTo(wizard));
        ASSERT_EQ(wizard->txtParameter.size(), 1);
        EXPECT_EQ(wizard->txtParameter.at(0)->text(), QStringLiteral("7"));
        wizard->txtParameter.at(0)->setText(QStringLiteral("3"));
        if (!wizard->finish(false))
            wizard->reject();
    });
    picker->editSelected();
    const ReportPtr edited = picker->result();
    ASSERT_TRUE(edited);
    EXPECT_FALSE(w->BuildAndShow(edited));
    EXPECT_EQ(edited->ReportData()->RecordCount(), 3);

    // Delete: No keeps the file; a file gone meanwhile reports 659 and keeps the entry.
    picker->prepare(nullptr, -1, false);
    ASSERT_TRUE(picker->selectEntry(QStringLiteral("old.rpt")));
    dialogs.messageAnswers = { MsgAnswer::No, MsgAnswer::Yes };
    picker->deleteSelected();
    EXPECT_TRUE(QFile::exists(saved(QStringLiteral("old.rpt"))));
    picker->deleteSelected();
    EXPECT_FALSE(QFile::exists(saved(QStringLiteral("old.rpt"))));
    EXPECT_FALSE(picker->selectEntry(QStringLiteral("old.rpt")));
    ASSERT_TRUE(picker->selectEntry(QStringLiteral("gone.rpt")));
    QFile::remove(saved(QStringLiteral("gone.rpt")));
    dialogs.messageAnswers = { MsgAnswer::Yes, MsgAnswer::OK };
    picker->deleteSelected();
    const QStringList m = takeMessages();
    ASSERT_EQ(m.size(), 4);
    EXPECT_TRUE(m.at(3).startsWith(GetLangString(659, QString()))) << m.at(3).toStdString();
    EXPECT_TRUE(picker->selectEntry(QStringLiteral("gone.rpt")));
}

TEST_F(Cycle, SimpleModeRefusesReportsThatNeedEstimatedCosts)
{
    // A catalogue of one report whose costs are always estimated.
    const QString folder = env.path(QStringLiteral("forced"));
    QDir().mkpath(folder);
    QByteArray definition
        = kv6test::readFile(kv6test::sourceDir() + QStringLiteral("/data/reports/top_users.rpt"));
    ASSERT_TRUE(definition.contains("<Replace>7</Replace>"));
    definition.replace("<Replace>7</Replace>", "<Replace>6</Replace>");
    kv6test::writeFile(folder + QStringLiteral("/top_users.rpt"), definition);
    kv6test::ScopedStartupValue<QString> forced { &StartupValues::DefinitionsFolder, folder };
    clsReport report;
    ASSERT_TRUE(report.LoadDefinition(QStringLiteral("top_users.rpt")));
    ASSERT_TRUE(report.MustUseEstCosts());
    ASSERT_TRUE(report.SaveUserDefined(QStringLiteral("forced.rpt")).isEmpty());

    auto w = open(true);
    const std::unique_ptr<DataConnection> c = connectDemo();
    ASSERT_TRUE(c);
    frmReportWizard *wizard = w->picker()->wizard();
    ASSERT_TRUE(wizard->prepareBuild(c.get(), -1, true));
    EXPECT_EQ(wizard->treReports->topLevelItemCount(), 0) << "not listed in simple mode";
    ASSERT_TRUE(wizard->prepareBuild(c.get(), -1, false));
    EXPECT_GT(wizard->treReports->topLevelItemCount(), 0);
    configure(wizard, TopUsers, {});
    EXPECT_TRUE(wizard->chkEstCosts->isChecked());
    EXPECT_FALSE(wizard->chkEstCosts->isEnabled()) << "forced on and locked";

    frmStartReport *picker = w->picker();
    picker->prepare(c.get(), -1, true);
    ASSERT_TRUE(picker->selectEntry(QStringLiteral("forced.rpt")));
    dialogs.messageAnswers = { MsgAnswer::OK, MsgAnswer::OK };
    picker->openSelected();
    picker->editSelected();
    EXPECT_EQ(takeMessages(), QStringList({ GetLangString(657), GetLangString(660) }));
    EXPECT_FALSE(picker->result());
}

TEST_F(Cycle, AProposalBecomesOneNumberedDocumentPrintedExportedAndClosed)
{
    auto w = open();
    RememberTitleTexts({ {}, QStringLiteral("IT"), QStringLiteral("The board") });
    createProposal(*w);
    ReportTab *t = tab(*w);
    ASSERT_TRUE(t && t->proposal()) << takeMessages().join(QLatin1Char('\n')).toStdString();
    EXPECT_EQ(t->key(), QStringLiteral("PROP1"));
    EXPECT_EQ(w->tabs()->tabText(2), QStringLiteral("Print review"));
    ASSERT_EQ(t->proposal()->Reports().count(), 3);
    int pages = 0;
    for (const ReportPtr &r : t->proposal()->Reports())
        pages += r->PageCount();
    EXPECT_EQ(t->document().pageCount(), 2 + pages) << "a title page, the contents, the reports";

    // Exported as PDF through the proposal's own dialog (what the contents and the page numbers
    // say is the shared proposal render's, checked with it).
    const QString pdf = env.path(QStringLiteral("review.pdf"));
    dialogs.fileAnswers = { pdf };
    w->RunCommand(QStringLiteral("ID_ExportReport"));
    ASSERT_FALSE(dialogs.files.isEmpty());
    EXPECT_EQ(dialogs.files.last().caption + dialogs.files.last().filter,
        GetLangString(254) + GetLangString(255));
    const QString title = kv6test::pdfText(pdf, nullptr, 1);
    EXPECT_TRUE(
        title.contains(QStringLiteral("Print review")) && title.contains(GetLangString(750)))
        << "the title and the period by its name: " << title.toStdString();

    // Other paper lays the proposal out again for it.
    EXPECT_TRUE(print(*w, true, QPageSize::A5));
    const QSizeF a5 = engine::pageSizeTwips(QPageSize(QPageSize::A5));
    EXPECT_LT(qAbs(t->document().page(3).size.height() - a5.height()), 40);
    EXPECT_EQ(kv6test::buildLeftovers(), QString());
    dialogs.messageAnswers = { MsgAnswer::Yes };
    w->RunCommand(QStringLiteral("ID_DeleteReport"));
    EXPECT_EQ(w->tabs()->count(), 2);
}

TEST_F(Cycle, SavedProposalsOpenEditOrFailWithoutATabOrLeftovers)
{
    auto w = open(true);
    saveProposal();
    frmStartReport *picker = w->picker();
    picker->prepare(nullptr, -1, true);
    ASSERT_TRUE(picker->selectEntry(QStringLiteral("quarter.prp")));
    picker->openSelected();
    const std::shared_ptr<clsProposal> opened = picker->proposalResult();
    ASSERT_TRUE(opened);
    // Simple mode: the database's groups, with filters, for every report too.
    EXPECT_TRUE(!opened->UseGroups() && opened->UseFilters());
    EXPECT_TRUE((*opened->Reports().item(1))->UseFilters());
    whenModal<frmProposal>([](frmProposal *editor) {
        EXPECT_EQ(editor->windowTitle(), GetLangString(135));
        EXPECT_EQ(editor->lsvReports[1]->topLevelItemCount(), 3);
        editor->chkTitlePage->setChecked(false);
        editor->cmdBuild->click();
    });
    picker->editSelected();
    ASSERT_TRUE(picker->proposalResult());
    EXPECT_FALSE(picker->proposalResult()->CreateTitlePage());

    const int tabs = w->tabs()->count();
    const QString blocker = env.path(QStringLiteral("a-file"));
    kv6test::writeFile(blocker, "not a folder");
    struct Case
    {
        const char *what;
        QByteArray tmpdir;
        QString told; // the one message shown contains it; none when empty
        bool cancel = false;
        bool noData = false;
    };
    const Case cases[] = {
        { "a report without data", {}, GetLangString(825, TopUsers), false, true },
        { "cancelled after the second report", {}, {}, true },
        { "a temporary folder under a file", (blocker + QStringLiteral("/tmp")).toLocal8Bit(),
            QStringLiteral("temporary") },
    };
    for (const Case &c : cases) {
        if (c.noData)
            saveProposal("1990-01-01", "1990-01-31");
        frmProgressProposal *progress = w->proposalProgress();
        const QMetaObject::Connection hook = QObject::connect(
            progress->prgProgress[0], &QProgressBar::valueChanged, [&](int value) {
                if (c.cancel && value == 2 && progress->lblStatus[1]->text() == GetLangString(241))
                    progress->cmdCancel->click();
            });
        std::optional<kv6test::ScopedEnv> tmp;
        if (!c.tmpdir.isEmpty())
            tmp.emplace("TMPDIR", c.tmpdir);
        whenModal<frmStartReport>([](frmStartReport *p) {
            p->selectEntry(QStringLiteral("quarter.prp"));
            p->openSelected();
        });
        dialogs.messageAnswers = { MsgAnswer::OK };
        w->RunCommand(QStringLiteral("ID_CreateReport"));
        tmp.reset();
        QObject::disconnect(hook);
        if (c.noData)
            saveProposal();
        const QStringList m = takeMessages();
        EXPECT_EQ(m.size(), c.told.isEmpty() ? 0 : 1) << c.what;
        EXPECT_TRUE(m.value(0).contains(c.told)) << c.what << ": " << m.value(0).toStdString();
        EXPECT_EQ(w->tabs()->count(), tabs) << c.what;
        EXPECT_EQ(kv6test::buildLeftovers(), QString()) << c.what;
        EXPECT_TRUE(w->isEnabled()) << c.what;
    }
    dialogs.messageAnswers = { MsgAnswer::OK };
    EXPECT_FALSE(w->BuildAndShowProposal(std::make_shared<clsProposal>()));
    EXPECT_EQ(takeMessages(), QStringList { GetLangString(129) }) << "no report, nothing to show";
    EXPECT_EQ(w->tabs()->count(), tabs);
}
