// The proposal editor and the proposal progress window driven as a user drives them, on the
// offscreen platform, over the shipped catalogue and the demo database of the window tests.

#include "ui/progress.h"
#include "ui/proposaleditor.h"
#include "ui/savereport.h"

#include "base/clsregistry.h"
#include "base/langstrings.h"
#include "base/startupvalues.h"
#include "dataaccess/dataconnection.h"
#include "proposal/proposal.h"
#include "ui/ctldateselector.h"

#include "captions_p.h"
#include "testscopes.h"
#include "uitest.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTreeWidget>

using namespace kv6;

namespace {

QStringList names(const QTreeWidget *list)
{
    QStringList out;
    for (int i = 0; i < list->topLevelItemCount(); ++i)
        out << list->topLevelItem(i)->data(0, Qt::UserRole).toString();
    return out;
}

void selectRows(QTreeWidget *list, const QList<int> &rows)
{
    list->clearSelection();
    for (int r : rows)
        list->topLevelItem(r)->setSelected(true);
}

} // namespace

class ProposalEditor : public kv6test::UiTest
{
protected:
    void SetUp() override
    {
        UiTest::SetUp();
        // After the start-up folders, which the base fixture resolves.
        QDir().mkpath(saved);
        SetStartupValue(&StartupValues::UserReportsFolder, saved);
        SetStartupValue(&StartupValues::DefinitionsFolder,
            kv6test::sourceDir() + QStringLiteral("/data/reports"));
    }
    // A new proposal's editor with the texts a title page needs.
    void prepareNew(frmProposal &f, bool simple = false, DataConnection *c = nullptr)
    {
        ASSERT_TRUE(f.prepare(c, nullptr, 1, simple));
        f.txtTitle->setText(QStringLiteral("Review"));
        f.txtPreparedBy->setText(QStringLiteral("IT"));
        f.txtPreparedFor->setText(QStringLiteral("Board"));
    }
    // The message numbers shown since the last call.
    QList<int> shown()
    {
        QList<int> ids;
        for (const QString &text : takeMessages()) {
            for (int id : { 125, 126, 127, 128, 129, 130, 444 }) {
                if (text == GetLangString(id))
                    ids << id;
            }
        }
        return ids;
    }

    QString saved = env.path(QStringLiteral("saved"));
};

TEST_F(ProposalEditor, ANewProposalOffersTheDefaultSetAndTheRememberedTexts)
{
    RememberTitleTexts(
        { QStringLiteral("Last title"), QStringLiteral("Last by"), QStringLiteral("Last for") });
    frmProposal f;
    ASSERT_TRUE(f.prepare(nullptr, nullptr, 1, false));
    EXPECT_EQ(names(f.lsvReports[1]), DefaultAnalysisSet());
    EXPECT_EQ(f.lsvReports[0]->topLevelItemCount(), 3); // the catalogue's other reports
    // Executive Summary draws a chart and shows its kind; Printer Inventory shows a page.
    const auto picture
        = [&](int row) { return f.lsvReports[1]->topLevelItem(row)->icon(0).pixmap(20).toImage(); };
    EXPECT_FALSE(picture(1).isNull());
    EXPECT_NE(picture(0), picture(1));
    EXPECT_EQ(f.txtTitle->text(), QStringLiteral("Last title"));
    EXPECT_EQ(f.txtPreparedFor->text(), QStringLiteral("Last for"));
    EXPECT_TRUE(f.chkTitlePage->isChecked() && f.chkContents->isChecked());
    EXPECT_EQ(f.windowTitle(), GetLangString(133));
    EXPECT_FALSE(f.cmdBuildSave->isHidden());
    EXPECT_EQ(f.lblMinorHeading->text(), GetLangString(139));
    EXPECT_FALSE(f.cmdBack->isEnabled());
    f.cmdNext->click();
    f.cmdNext->click();
    f.cmdNext->click();
    EXPECT_EQ(f.tabWizard->currentIndex(), 3);
    EXPECT_EQ(f.lblMinorHeading->text(), GetLangString(141));
    EXPECT_FALSE(f.cmdNext->isEnabled());
    // Every control is named for screen readers by its caption.
    EXPECT_EQ(f.chkEstCosts->accessibleName(), PlainCaption(GetLangString(120)));
}

TEST_F(ProposalEditor, ValidationStopsAtTheFirstProblemOnItsPage)
{
    struct Case
    {
        const char *what;
        std::function<void(frmProposal &)> change;
        int message; // 0: builds
        int page;
    };
    const QList<Case> cases = {
        { "no title", [](frmProposal &f) { f.txtTitle->setText(QStringLiteral("  ")); }, 125, 1 },
        { "no author", [](frmProposal &f) { f.txtPreparedBy->clear(); }, 126, 1 },
        { "no audience", [](frmProposal &f) { f.txtPreparedFor->clear(); }, 127, 1 },
        { "no texts without a title page",
            [](frmProposal &f) {
                f.chkTitlePage->setChecked(false);
                f.txtTitle->clear();
                f.txtPreparedBy->clear();
            },
            0, 0 },
        { "1 decimal", [](frmProposal &f) { f.txtDecimals->setText(QStringLiteral("1")); }, 128,
            3 },
        { "5 decimals", [](frmProposal &f) { f.txtDecimals->setText(QStringLiteral("5")); }, 128,
            3 },
        { "2 decimals", [](frmProposal &f) { f.txtDecimals->setText(QStringLiteral("2")); }, 0, 0 },
        { "4 decimals", [](frmProposal &f) { f.txtDecimals->setText(QStringLiteral("4")); }, 0, 0 },
        { "no reports", [](frmProposal &f) { f.cmdRemoveAll->click(); }, 129, 2 },
    };
    for (const Case &c : cases) {
        frmProposal f;
        prepareNew(f);
        c.change(f);
        if (c.message)
            dialogs.messageAnswers << MsgAnswer::OK;
        f.cmdBuild->click();
        EXPECT_EQ(shown(), c.message ? QList<int> { c.message } : QList<int> {}) << c.what;
        EXPECT_EQ(f.result() != nullptr, c.message == 0) << c.what;
        if (c.message) {
            EXPECT_EQ(f.tabWizard->currentIndex() + 1, c.page) << c.what;
        }
    }
}

TEST_F(ProposalEditor, MovingReportsSetsTheOrderTheProposalIsBuiltIn)
{
    frmProposal f;
    prepareNew(f);
    f.cmdRemoveAll->click();
    EXPECT_EQ(f.lsvReports[1]->topLevelItemCount(), 0);
    selectRows(f.lsvReports[0], { 3, 1 });
    const QStringList picked = { names(f.lsvReports[0])[1], names(f.lsvReports[0])[3] };
    f.cmdAdd->click();
    selectRows(f.lsvReports[0], { 0 });
    const QString third = names(f.lsvReports[0])[0];
    f.cmdAdd->click();
    EXPECT_EQ(names(f.lsvReports[1]), picked + QStringList { third });

    selectRows(f.lsvReports[1], { 0 });
    EXPECT_FALSE(f.cmdMoveReport[0]->isEnabled());
    EXPECT_TRUE(f.cmdMoveReport[1]->isEnabled());
    f.cmdMoveReport[1]->click();
    f.cmdMoveReport[1]->click();
    EXPECT_EQ(names(f.lsvReports[1]), QStringList({ picked[1], third, picked[0] }));
    EXPECT_FALSE(f.cmdMoveReport[1]->isEnabled());
    selectRows(f.lsvReports[1], { 0, 1 });
    EXPECT_FALSE(f.cmdMoveReport[0]->isEnabled() || f.cmdMoveReport[1]->isEnabled());

    f.chkGroup->setChecked(true);
    f.cmdBuild->click();
    const std::shared_ptr<clsProposal> p = f.result();
    ASSERT_TRUE(p);
    QStringList built;
    for (const ReportPtr &r : p->Reports()) {
        built << r->Name();
        EXPECT_EQ(r->UseGroups(), r->CanUseGroups());
        EXPECT_EQ(r->NumDecimals(), p->NumDecimals());
    }
    EXPECT_EQ(built, names(f.lsvReports[1]));
    EXPECT_EQ(RememberedTitleTexts().title, QStringLiteral("Review"));
}

TEST_F(ProposalEditor, EditingShowsTheProposalAndLeavesOutReportsGoneFromTheCatalogue)
{
    const QString gone = env.path(QStringLiteral("gone.rpt"));
    kv6test::writeFile(gone,
        "<KVReport><KVReportInfo><Name>Gone</Name><DisplayName>Gone</DisplayName>"
        "</KVReportInfo></KVReport>");
    auto p = std::make_shared<clsProposal>();
    p->SetTitle(QStringLiteral("Old"));
    p->SetNumDecimals(3);
    p->SetUseFilters(false);
    for (const QString &file :
        { QStringLiteral("model_volumes.rpt"), gone, QStringLiteral("top_users.rpt") }) {
        auto r = std::make_shared<clsReport>();
        ASSERT_TRUE(r->LoadDefinition(file, 1));
        p->Reports().add(r, r->Name());
    }
    frmProposal f;
    ASSERT_TRUE(f.prepare(nullptr, p, 1, false));
    EXPECT_EQ(names(f.lsvReports[1]),
        QStringList({ QStringLiteral("Model Volumes"), QStringLiteral("Top 10 Users List") }));
    EXPECT_EQ(f.txtDecimals->text(), QStringLiteral("3"));
    EXPECT_FALSE(f.chkFilter->isChecked());
    EXPECT_EQ(f.windowTitle(), GetLangString(135));
    EXPECT_EQ(f.cmdBuild->text(), GetLangString(137));
    EXPECT_TRUE(f.cmdBuildSave->isHidden());
}

TEST_F(ProposalEditor, BuildAndSaveAsksAboutTheCostDefaultAndWritesTheFile)
{
    frmProposal f;
    prepareNew(f);
    f.chkEstCosts->setChecked(true);
    dialogs.messageAnswers << MsgAnswer::Yes;
    whenModal<frmSaveReport>([](frmSaveReport *d) {
        d->txtName->setText(QStringLiteral("Board pack"));
        d->txtFileName->setText(QStringLiteral("board"));
        d->cmdSave->click();
    });
    f.cmdBuildSave->click();
    EXPECT_EQ(shown(), QList<int> { 130 });
    ASSERT_TRUE(f.result());
    EXPECT_EQ(kv6test::storedValue(QStringLiteral("Software\\Korvane 6\\Reporter"),
                  QStringLiteral("UseEstCost"), HKEY_CURRENT_USER)
                  .toInt(),
        -1);

    clsProposal back;
    QString error;
    ASSERT_TRUE(back.LoadUserDefined(1, QStringLiteral("board.prp"), error)) << error.toStdString();
    EXPECT_EQ(back.Name(), QStringLiteral("Board pack"));
    EXPECT_TRUE(back.UseEstCosts());
    EXPECT_EQ(back.Reports().count(), 22);
}

TEST_F(ProposalEditor, SimpleModeOffersTheAdministrationGroups)
{
    const std::unique_ptr<DataConnection> c = connectDemo();
    ASSERT_TRUE(c);
    frmProposal f;
    prepareNew(f, true, c.get());
    EXPECT_FALSE(f.chkGroup->isEnabled() || f.chkEstCosts->isEnabled());
    ASSERT_GT(f.lstPrinterGroups->count(), 0);
    EXPECT_TRUE(f.optPrintersAll->isChecked());
    f.optPrintersSelected->setChecked(true);
    dialogs.messageAnswers << MsgAnswer::OK;
    f.cmdBuild->click();
    EXPECT_EQ(shown(), QList<int> { 444 });
    EXPECT_EQ(f.tabWizard->currentIndex(), 3);
    f.lstPrinterGroups->item(0)->setSelected(true);
    f.cmdBuild->click();
    ASSERT_TRUE(f.result());
    EXPECT_EQ(f.result()->SimplePrinterGroups().GroupAtIndex(1),
        f.lstPrinterGroups->item(0)->data(Qt::UserRole).toInt());
    EXPECT_EQ(f.result()->SimpleUserGroups().Count(), 0);
}

TEST_F(ProposalEditor, TheProgressWindowKeepsItsBarsInRangeAndHoldsItsOwner)
{
    QWidget owner;
    frmProgressProposal p;
    p.Initialize(3, &owner);
    EXPECT_FALSE(owner.isEnabled());
    p.UpdateProgress(1, QStringLiteral("first"), 2, 0);
    EXPECT_EQ(p.prgProgress[0]->value(), 2);
    p.UpdateProgress(1, QString(), 4, 0); // above the maximum
    EXPECT_EQ(p.prgProgress[0]->value(), 0);
    EXPECT_EQ(p.lblStatus[0]->text(), QStringLiteral("first"));
    p.UpdateProgress(2, QStringLiteral("step"), 1, 1);
    p.Increment(2); // at the maximum: back to the start
    EXPECT_EQ(p.prgProgress[1]->value(), 0);
    EXPECT_FALSE(p.Cancelled());
    p.cmdCancel->click();
    EXPECT_TRUE(p.Cancelled());
    p.Shutdown();
    EXPECT_TRUE(owner.isEnabled());
}
