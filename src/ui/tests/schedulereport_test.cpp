// The schedule dialog and the scheduled-reports window on the offscreen platform, scheduling
// through the staged elevation helper into temporary registry, task and cron folders.

#include "app/branding.h"
#include "base/clsregistry.h"
#include "base/dialogs.h"
#include "base/langstrings.h"
#include "base/startupvalues.h"
#include "deftest.h"
#include "groups/analysis.h"
#include "proposal/proposal.h"
#include "report/report.h"
#include "schedule/scheduledrun.h"
#include "taskstore/taskstore.h"
#include "ui/scheduledreports.h"
#include "ui/schedulereport.h"

#include "testscopes.h"

#include <gtest/gtest.h>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QTimeEdit>
#include <QTreeWidget>

using namespace kv6;

namespace {

class ScheduleDialog : public ::testing::Test
{
protected:
    ScheduleDialog() { QDir().mkpath(copies.path()); }

    void SetUp() override
    {
        report = kv6test::catalogueReport(QStringLiteral("Top 10 Users List"));
        ASSERT_TRUE(report);
    }

    // Fills the dialog and presses Schedule.
    void fill(frmScheduleReport &d, const QString &name, int frequency, int day,
        const QString &from = QStringLiteral("Finance <finance@example.com>"),
        const QString &to = QStringLiteral("boss@example.com, ann@example.org"),
        const QString &subject = QStringLiteral("Top users"))
    {
        d.txtName->setText(name);
        d.cmbFrequency->setCurrentIndex(d.cmbFrequency->findData(frequency));
        if (day >= 0)
            d.cmbDay->setCurrentIndex(day);
        d.dtpTime->setTime(QTime(7, 0));
        d.txtFrom->setText(from);
        d.txtTo->setText(to);
        d.txtSubject->setText(subject);
        d.txtMesg->setPlainText(QStringLiteral("  Hello,\nthe figures.  "));
        QTest::mouseClick(d.cmdSchedule, Qt::LeftButton);
    }
    bool scheduleNew(const QString &name, int frequency, int day)
    {
        frmScheduleReport d;
        d.prepareNew(*report, analysis, true);
        fill(d, name, frequency, day);
        return d.scheduled();
    }
    static QVariant value(const QString &name, const QString &valueName)
    {
        return kv6test::storedValue(ScheduleKeyPath(name), valueName);
    }
    taskstore::TriggerPtr trigger(const QString &name)
    {
        schedule.Refresh();
        const taskstore::TaskPtr t = schedule.Job(ScheduledReportName(name));
        return t ? t->Triggers().Item(1) : nullptr;
    }

    kv6test::TempEnv env;
    kv6test::ScopedEnv helper { "KV6_ELEVATE_HELPER", kv6test::stagedHelper() };
    kv6test::ShippedLanguage language;
    kv6test::UsEnglishLocale locale;
    QDir copies { env.path(QStringLiteral("copies")) };
    kv6test::ScopedStartupValue<QString> copiesFolder { &StartupValues::ScheduleCopiesFolder,
        copies.path() };
    kv6test::ScopedStartupValue<QString> definitions { &StartupValues::DefinitionsFolder,
        kv6test::stageDir() + QStringLiteral("/reporter/reports") };
    ScriptedDialogs answers;
    ScopedDialogProvider scoped { &answers };
    ReportPtr report;
    clsAnalysis analysis;
    taskstore::Schedule schedule;
};

TEST_F(ScheduleDialog, EachFieldIsCheckedInTurnAndARefusalLeavesNoTraces)
{
    struct Case
    {
        QString name, from, to, subject;
        int message;
    };
    const QString ok = QStringLiteral("a@example.com");
    const QList<Case> cases = {
        { QStringLiteral("   "), ok, ok, ok, 622 },
        { QStringLiteral("S"), QStringLiteral("a @example.com"), ok, ok, 623 },
        { QStringLiteral("S"), ok, QStringLiteral("b@example.com, nobody"), ok, 624 },
        { QStringLiteral("S"), ok, ok, QStringLiteral("  "), 625 },
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.message);
        frmScheduleReport d;
        d.prepareNew(*report, analysis, false);
        answers.messageAnswers << MsgAnswer::OK;
        fill(d, c.name, FrequencyDaily, -1, c.from, c.to, c.subject);
        ASSERT_EQ(answers.messages.size(), 1);
        EXPECT_EQ(answers.messages.takeFirst().text, GetLangString(c.message));
        EXPECT_FALSE(d.scheduled());
        EXPECT_EQ(d.txtSubject->text(), c.subject.trimmed());
    }
    EXPECT_EQ(copies.entryList(QDir::Files), QStringList());

    // A schedule the helper refuses leaves no copies and no key either.
    qputenv("KV6_CRON_DIR", env.path(QStringLiteral("no/such/cron.d")).toLocal8Bit());
    answers.messageAnswers << MsgAnswer::OK;
    EXPECT_FALSE(scheduleNew(QStringLiteral("Refused"), FrequencyDaily, -1));
    ASSERT_EQ(answers.messages.size(), 1);
    EXPECT_EQ(answers.messages[0].text, GetLangString(629));
    EXPECT_EQ(copies.entryList(QDir::Files), QStringList());
    EXPECT_FALSE(value(QStringLiteral("Refused"), QStringLiteral("From")).isValid());
}

TEST_F(ScheduleDialog, ANewScheduleOrProposalStoresItsCopiesValuesAndTaskUnderItsSafeName)
{
    ASSERT_TRUE(scheduleNew(QStringLiteral("  Sales: Q1/2009 "), FrequencyWeekly, 3))
        << answers.messages.value(0).text.toStdString();
    const QString safe = QStringLiteral("Sales_ Q1_2009");
    EXPECT_EQ(copies.entryList(QDir::Files, QDir::Name),
        QStringList(
            { QStringLiteral("grpSales_ Q1_2009.sch"), QStringLiteral("rptSales_ Q1_2009.sch") }));
    // The copy does not become the analysis's group file.
    EXPECT_EQ(analysis.GroupFile(), QString());
    EXPECT_EQ(value(safe, QStringLiteral("From")),
        QVariant(QStringLiteral("Finance <finance@example.com>")));
    EXPECT_EQ(
        value(safe, QStringLiteral("Mesg")), QVariant(QStringLiteral("Hello,\nthe figures.")));
    EXPECT_EQ(value(safe, QStringLiteral("ReportPath")),
        QVariant(copies.filePath(QStringLiteral("rptSales_ Q1_2009.sch"))));
    EXPECT_EQ(value(safe, QStringLiteral("SimpleMode")), QVariant(-1));
    EXPECT_EQ(value(safe, QStringLiteral("Proposal")), QVariant(0));
    schedule.Refresh();
    const taskstore::TaskPtr task
        = schedule.Job(QStringLiteral("Korvane 6 Report - Sales_ Q1_2009"));
    ASSERT_TRUE(task);
    EXPECT_EQ(task->CommandLine(), QStringLiteral("/runreport \"Sales_ Q1_2009\""));
    EXPECT_EQ(task->Triggers().Item(1)->WeeklyDaysOfTheWeek(), 8) << "Wednesday";

    // Edited: the fields come back, the name stays, and only the mail values are rewritten.
    frmScheduleReport edit;
    ASSERT_TRUE(edit.prepareEdit(safe));
    EXPECT_TRUE(edit.txtName->isReadOnly());
    EXPECT_EQ(edit.cmbFrequency->currentData(), QVariant(FrequencyWeekly));
    EXPECT_EQ(edit.cmbDay->currentIndex(), 3);
    EXPECT_EQ(edit.dtpTime->time(), QTime(7, 0));
    EXPECT_EQ(edit.txtTo->text(), QStringLiteral("boss@example.com, ann@example.org"));
    edit.txtSubject->setText(QStringLiteral("New subject"));
    edit.cmbFrequency->setCurrentIndex(edit.cmbFrequency->findData(FrequencyDaily));
    QTest::mouseClick(edit.cmdSchedule, Qt::LeftButton);
    ASSERT_TRUE(edit.scheduled());
    EXPECT_EQ(value(safe, QStringLiteral("Subject")), QVariant(QStringLiteral("New subject")));
    EXPECT_EQ(trigger(safe)->TriggerType(), taskstore::triggerDaily);

    // A proposal is scheduled from a proposal copy of its own.
    clsProposal proposal;
    proposal.SetName(QStringLiteral("Board pack"));
    proposal.Reports().add(report, report->Name());
    frmScheduleReport d;
    d.prepareNew(proposal, analysis, false);
    fill(d, QStringLiteral("Board pack"), FrequencyMonthly, 0);
    ASSERT_TRUE(d.scheduled()) << answers.messages.value(0).text.toStdString();
    EXPECT_EQ(value(QStringLiteral("Board pack"), QStringLiteral("Proposal")), QVariant(1));
    EXPECT_EQ(value(QStringLiteral("Board pack"), QStringLiteral("ReportPath")),
        QVariant(copies.filePath(QStringLiteral("prpBoard pack.sch"))));
    EXPECT_TRUE(copies.exists(QStringLiteral("prpBoard pack.sch")));
}

TEST_F(ScheduleDialog, FrequenciesReadBackAsChosen)
{
    ASSERT_TRUE(scheduleNew(QStringLiteral("Quarter"), FrequencyQuarterly, -1));
    ASSERT_TRUE(scheduleNew(QStringLiteral("Month end"), FrequencyMonthly, 30));
    EXPECT_EQ(trigger(QStringLiteral("Quarter"))->MonthlyDateMonths(), 585);
    EXPECT_EQ(trigger(QStringLiteral("Month end"))->MonthlyDateDay(), 1073741824);
    EXPECT_EQ(trigger(QStringLiteral("Month end"))->MonthlyDateMonths(), 4095);
    frmScheduleReport quarter;
    ASSERT_TRUE(quarter.prepareEdit(QStringLiteral("Quarter")));
    EXPECT_EQ(quarter.cmbFrequency->currentData(), QVariant(FrequencyQuarterly));
    EXPECT_FALSE(quarter.cmbDay->isVisibleTo(&quarter));
    frmScheduleReport month;
    ASSERT_TRUE(month.prepareEdit(QStringLiteral("Month end")));
    EXPECT_EQ(month.cmbFrequency->currentData(), QVariant(FrequencyMonthly));
    EXPECT_EQ(month.cmbDay->currentText(), QStringLiteral("31"));

    month.cmbFrequency->setCurrentIndex(month.cmbFrequency->findData(FrequencyWeekly));
    EXPECT_EQ(month.cmbDay->count(), 7);
    EXPECT_EQ(month.cmbDay->itemText(0), QStringLiteral("Sunday"));
    EXPECT_TRUE(month.cmbDay->isVisibleTo(&month));

    answers.messageAnswers << MsgAnswer::OK;
    frmScheduleReport missing;
    EXPECT_FALSE(missing.prepareEdit(QStringLiteral("Nothing")));
    EXPECT_EQ(answers.messages.value(0).text, GetLangString(616));
}

TEST_F(ScheduleDialog, TheWindowListsSchedulesAndUnschedulesTheSelectedOne)
{
    ASSERT_TRUE(scheduleNew(QStringLiteral("First"), FrequencyDaily, -1));
    ASSERT_TRUE(scheduleNew(QStringLiteral("Second"), FrequencyWeekly, 1));
    frmScheduledReports window;
    ASSERT_EQ(window.lsvSchedules->topLevelItemCount(), 2);
    EXPECT_FALSE(window.cmdUnschedule->isEnabled());
    const QTreeWidgetItem *second = window.lsvSchedules->topLevelItem(1);
    EXPECT_EQ(second->text(0), QStringLiteral("Second"));
    EXPECT_EQ(second->text(1), QStringLiteral("Report rptSecond.sch"));
    EXPECT_FALSE(second->text(2).isEmpty());
    EXPECT_NE(second->text(3), QStringLiteral("-")) << "a weekly task runs again";
    for (QWidget *w : window.findChildren<QWidget *>()) {
        if (qobject_cast<QPushButton *>(w) || qobject_cast<QTreeWidget *>(w)) {
            EXPECT_FALSE(w->accessibleName().isEmpty()) << w->objectName().toStdString();
        }
    }

    window.lsvSchedules->setCurrentItem(window.lsvSchedules->topLevelItem(0));
    answers.messageAnswers << MsgAnswer::Yes << MsgAnswer::OK;
    QTest::mouseClick(window.cmdUnschedule, Qt::LeftButton);
    ASSERT_EQ(answers.messages.size(), 2);
    EXPECT_EQ(answers.messages[0].text, GetLangString(613));
    EXPECT_EQ(answers.messages[1].text, GetLangString(614));
    ASSERT_EQ(window.lsvSchedules->topLevelItemCount(), 1);
    EXPECT_EQ(window.lsvSchedules->topLevelItem(0)->text(0), QStringLiteral("Second"));
    EXPECT_FALSE(trigger(QStringLiteral("First")));

    frmScheduleReport d;
    for (QWidget *w : d.findChildren<QWidget *>()) {
        if (!qobject_cast<QLabel *>(w) && !w->objectName().isEmpty()
            && !w->objectName().startsWith(QLatin1String("qt_"))) {
            EXPECT_FALSE(w->accessibleName().isEmpty()) << w->objectName().toStdString();
        }
    }
}

} // namespace
