#include "base/startupvalues.h"
#include "ui/savereport.h"

#include "base/dialogs.h"
#include "base/langstrings.h"
#include "report/report.h"

#include "testscopes.h"

#include <gtest/gtest.h>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

using namespace kv6;

namespace {

class Proposal : public infSavableProposal
{
public:
    QString Name() const override { return name; }
    void SetName(const QString &n) override { name = n; }
    QString Description() const override { return description; }
    void SetDescription(const QString &d) override { description = d; }
    QString SaveAs(const QString &fileName) override
    {
        savedAs << fileName;
        return refusal;
    }
    QString name = QStringLiteral("Quarterly review");
    QString description;
    QString refusal;
    QStringList savedAs;
};

class SaveDialog : public ::testing::Test
{
protected:
    void SetUp() override
    {
        const QString def = env.path(QStringLiteral("def.rpt"));
        kv6test::writeFile(def,
            "<R><KVReportInfo><Name>U</Name><DisplayName>Pages by user</DisplayName>"
            "<Description>All pages</Description></KVReportInfo></R>");
        ASSERT_TRUE(report.LoadDefinition(def, 1)) << report.LastError().toStdString();
    }
    void typeName(const QString &text)
    {
        dialog.txtName->clear();
        QTest::keyClicks(dialog.txtName, text);
    }

    kv6test::TempEnv env;
    kv6test::ShippedLanguage language;
    kv6test::ScopedStartupValue<QString> userReports { &StartupValues::UserReportsFolder,
        env.root() };
    ScriptedDialogs answers;
    ScopedDialogProvider scoped { &answers };
    clsReport report;
    frmSaveReport dialog;
};

} // namespace

TEST_F(SaveDialog, TheFileNameFollowsTheNameUntilEditedAndGetsItsExtension)
{
    dialog.prepare(report);
    EXPECT_EQ(dialog.windowTitle(), GetLangString(500));
    EXPECT_EQ(dialog.txtName->text(), QStringLiteral("Pages by user"));
    EXPECT_EQ(dialog.txtDescription->text(), QStringLiteral("All pages"));
    EXPECT_EQ(dialog.txtFileName->text(), QStringLiteral("Pages by user"));

    typeName(QStringLiteral("Q1: sales/north.v2"));
    EXPECT_EQ(dialog.txtFileName->text(), QStringLiteral("Q1_ sales_north_v2"));

    dialog.txtFileName->setText(QStringLiteral("mine.rpt"));
    QTest::mouseClick(dialog.cmdSave, Qt::LeftButton);
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_TRUE(QFile::exists(env.path(QStringLiteral("mine.rpt.rpt"))));
    EXPECT_EQ(report.DisplayName(), QStringLiteral("Q1: sales/north.v2"));
    EXPECT_TRUE(answers.messages.isEmpty());
}

TEST_F(SaveDialog, BlankNamesAreRefusedWithTheirMessageAndTheDialogStays)
{
    dialog.prepare(report);
    typeName(QStringLiteral("   "));
    answers.messageAnswers << MsgAnswer::OK << MsgAnswer::OK;
    QTest::mouseClick(dialog.cmdSave, Qt::LeftButton);
    ASSERT_EQ(answers.messages.size(), 1);
    EXPECT_EQ(answers.messages[0].text, GetLangString(506));
    EXPECT_NE(dialog.result(), QDialog::Accepted);

    typeName(QStringLiteral("Named"));
    dialog.txtFileName->setText(QStringLiteral("  "));
    QTest::mouseClick(dialog.cmdSave, Qt::LeftButton);
    ASSERT_EQ(answers.messages.size(), 2);
    EXPECT_EQ(answers.messages[1].text, GetLangString(507));
    EXPECT_NE(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(QDir(env.root()).entryList({ QStringLiteral("*.rpt") }), QStringList { "def.rpt" });
}

TEST_F(SaveDialog, ProposalsSaveAsPrpAndAFailedSaveKeepsTheDialogOpen)
{
    Proposal proposal;
    proposal.refusal = QStringLiteral("disk full");
    dialog.prepare(proposal);
    EXPECT_EQ(dialog.windowTitle(), GetLangString(508));
    answers.messageAnswers << MsgAnswer::OK;
    QTest::mouseClick(dialog.cmdSave, Qt::LeftButton);
    EXPECT_EQ(proposal.savedAs, QStringList { QStringLiteral("Quarterly review.prp") });
    ASSERT_EQ(answers.messages.size(), 1);
    EXPECT_EQ(answers.messages[0].text, QStringLiteral("disk full"));
    EXPECT_NE(dialog.result(), QDialog::Accepted);

    proposal.refusal.clear();
    QTest::keyClicks(dialog.txtDescription, QStringLiteral("for the board"));
    QTest::mouseClick(dialog.cmdSave, Qt::LeftButton);
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(proposal.description, QStringLiteral("for the board"));
}
