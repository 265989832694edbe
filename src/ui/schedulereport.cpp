#include "ui/schedulereport.h"

#include "app/branding.h"
#include "base/clsregistry.h"
#include "base/dialogs.h"
#include "base/langstrings.h"
#include "base/startupvalues.h"
#include "base/validation.h"
#include "base/windowstate.h"
#include "captions_p.h"
#include "groups/analysis.h"
#include "proposal/proposal.h"
#include "report/report.h"
#include "schedule/elevate.h"
#include "schedule/scheduledrun.h"
#include "taskstore/taskstore.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QEvent>
#include <QFile>
#include <QFormLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimeEdit>
#include <QTimer>
#include <QVBoxLayout>

namespace kv6 {

namespace {

QLabel *caption(QWidget *parent, int index, int stringId)
{
    auto *l = new QLabel(GetLangString(stringId), parent);
    l->setObjectName(QStringLiteral("lblCaption_%1").arg(index));
    return l;
}

QString copyPath(const char *kind, const QString &name)
{
    return Startup().ScheduleCopiesFolder + QLatin1Char('/') + QLatin1String(kind) + name
        + QStringLiteral(".sch");
}

void warn(int stringId, MsgIcon icon = MsgIcon::Exclamation)
{
    MsgBox(GetLangString(stringId), icon, MsgButtons::OK, Branding().ProductName());
}

} // namespace

frmScheduleReport::frmScheduleReport(QWidget *parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("frmScheduleReport"));
    setWindowTitle(GetLangString(600));

    fraScheduling = NameControl(new QGroupBox(this), "fraScheduling", GetLangString(608));
    fraScheduling->setTitle(GetLangString(608));
    txtName = NameControl(new QLineEdit(fraScheduling), "txtName", GetLangString(612));
    cmbFrequency = NameControl(new QComboBox(fraScheduling), "cmbFrequency", GetLangString(611));
    lblOnDay = new QLabel(GetLangString(610), fraScheduling);
    lblOnDay->setObjectName(QStringLiteral("lblOnDay"));
    cmbDay = NameControl(new QComboBox(fraScheduling), "cmbDay", GetLangString(610));
    dtpTime = NameControl(new QTimeEdit(fraScheduling), "dtpTime", GetLangString(609));
    dtpTime->setDisplayFormat(QStringLiteral("HH:mm"));
    dtpTime->setTime(QTime(0, 0));
    auto *scheduling = new QFormLayout(fraScheduling);
    scheduling->addRow(caption(fraScheduling, 0, 612), txtName);
    scheduling->addRow(caption(fraScheduling, 1, 611), cmbFrequency);
    scheduling->addRow(lblOnDay, cmbDay);
    scheduling->addRow(caption(fraScheduling, 2, 609), dtpTime);

    fraEmail = NameControl(new QGroupBox(this), "fraEmail", GetLangString(603));
    fraEmail->setTitle(GetLangString(603));
    txtFrom = NameControl(new QLineEdit(fraEmail), "txtFrom", GetLangString(607));
    txtTo = NameControl(new QLineEdit(fraEmail), "txtTo", GetLangString(606));
    txtSubject = NameControl(new QLineEdit(fraEmail), "txtSubject", GetLangString(605));
    txtMesg = NameControl(new QPlainTextEdit(fraEmail), "txtMesg", GetLangString(604));
    auto *mail = new QFormLayout(fraEmail);
    mail->addRow(caption(fraEmail, 3, 607), txtFrom);
    mail->addRow(caption(fraEmail, 4, 606), txtTo);
    mail->addRow(caption(fraEmail, 5, 605), txtSubject);
    mail->addRow(caption(fraEmail, 6, 604), txtMesg);
    txtFrom->setMinimumWidth(320);

    auto *buttons = new QDialogButtonBox(this);
    cmdSchedule = buttons->addButton(GetLangString(602), QDialogButtonBox::AcceptRole);
    cmdSchedule->setObjectName(QStringLiteral("cmdSchedule"));
    SetAccessibleCaption(cmdSchedule, GetLangString(602));
    cmdSchedule->setDefault(true);
    cmdCancel = buttons->addButton(GetLangString(601), QDialogButtonBox::RejectRole);
    cmdCancel->setObjectName(QStringLiteral("cmdCancel"));
    SetAccessibleCaption(cmdCancel, GetLangString(601));

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(fraScheduling);
    layout->addWidget(fraEmail);
    layout->addWidget(buttons);

    for (QLineEdit *edit : { txtName, txtFrom, txtTo, txtSubject })
        edit->installEventFilter(this);
    connect(
        cmbFrequency, &QComboBox::currentIndexChanged, this, &frmScheduleReport::frequencyChanged);
    connect(cmdSchedule, &QPushButton::clicked, this, &frmScheduleReport::schedule);
    connect(cmdCancel, &QPushButton::clicked, this, &QDialog::reject);
    fillFrequencies();
}

bool frmScheduleReport::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::FocusIn) {
        if (auto *edit = qobject_cast<QLineEdit *>(watched))
            QTimer::singleShot(0, edit, &QLineEdit::selectAll);
    }
    return QDialog::eventFilter(watched, event);
}

void frmScheduleReport::fillFrequencies()
{
    const QSignalBlocker block(cmbFrequency);
    cmbFrequency->clear();
    cmbFrequency->addItem(GetLangString(618), FrequencyDaily);
    cmbFrequency->addItem(GetLangString(619), FrequencyWeekly);
    cmbFrequency->addItem(GetLangString(620), FrequencyMonthly);
    cmbFrequency->addItem(GetLangString(621), FrequencyQuarterly);
    cmbFrequency->setCurrentIndex(2);
    frequencyChanged();
}

void frmScheduleReport::frequencyChanged()
{
    if (cmbFrequency->currentIndex() < 0)
        return;
    const int item = cmbFrequency->currentData().toInt();
    cmbDay->clear();
    if (item == FrequencyWeekly) {
        // Sunday first, as the day mask counts.
        for (int i = 0; i < 7; ++i)
            cmbDay->addItem(QLocale().dayName(i == 0 ? 7 : i, QLocale::LongFormat));
    } else if (item != FrequencyDaily) {
        for (int day = 1; day <= 31; ++day)
            cmbDay->addItem(QString::number(day));
    }
    cmbDay->setCurrentIndex(item == FrequencyDaily ? -1 : 0);
    const bool shown = item == FrequencyWeekly || item == FrequencyMonthly;
    lblOnDay->setVisible(shown);
    cmbDay->setVisible(shown);
}

void frmScheduleReport::prepareNew(clsProposal &proposal, clsAnalysis &analysis, bool simpleMode)
{
    prepareNew(nullptr, &proposal, analysis, simpleMode);
}

void frmScheduleReport::prepareNew(clsReport &report, clsAnalysis &analysis, bool simpleMode)
{
    prepareNew(&report, nullptr, analysis, simpleMode);
}

void frmScheduleReport::prepareNew(
    clsReport *report, clsProposal *proposal, clsAnalysis &analysis, bool simpleMode)
{
    m_report = report;
    m_proposal = proposal;
    m_analysis = &analysis;
    m_simpleMode = simpleMode;
    m_edit = false;
}

bool frmScheduleReport::prepareEdit(const QString &name)
{
    m_edit = true;
    m_name = name;
    m_taskName = ScheduledReportName(name);
    txtName->setText(name);
    txtName->setReadOnly(true);
    fillFrequencies();
    clsRegistry key;
    key.setClassKey(HKEY_LOCAL_MACHINE);
    key.setSectionKey(ScheduleKeyPath(name));
    QString err;
    const auto text = [&](const char *value) {
        return key.GetValueOrDefault(QLatin1String(value), QString(), err).toString();
    };
    txtFrom->setText(text("From"));
    txtTo->setText(text("To"));
    txtSubject->setText(text("Subject"));
    txtMesg->setPlainText(text("Mesg"));

    // The job files can be read whether the daemon runs or not.
    taskstore::Schedule schedule;
    schedule.Refresh();
    const taskstore::TaskPtr task = schedule.Job(m_taskName);
    const taskstore::TriggerPtr trigger = task ? task->Triggers().Item(1) : nullptr;
    if (!trigger) {
        warn(616);
        return false;
    }
    const int type = trigger->TriggerType();
    int item = type;
    if (type == taskstore::triggerMonthlyDate)
        item = (trigger->MonthlyDateMonths().value_or(0) & 2) ? FrequencyMonthly
                                                              : FrequencyQuarterly;
    const int index = cmbFrequency->findData(item);
    if (index >= 0)
        cmbFrequency->setCurrentIndex(index);
    const std::optional<qint32> days = type == taskstore::triggerWeekly
        ? trigger->WeeklyDaysOfTheWeek()
        : type == taskstore::triggerMonthlyDate ? trigger->MonthlyDateDay()
                                                : std::nullopt;
    for (int i = 0; days && i < cmbDay->count(); ++i) {
        if (*days & (1 << i)) {
            cmbDay->setCurrentIndex(i);
            break;
        }
    }
    dtpTime->setTime(trigger->StartTime());
    return true;
}

bool frmScheduleReport::validate()
{
    const auto trimmed = [](QLineEdit *edit) {
        edit->setText(edit->text().trimmed());
        return edit->text();
    };
    struct Check
    {
        QLineEdit *edit;
        std::function<bool(const QString &)> valid;
        int message;
    };
    const Check checks[] = {
        { txtName, [](const QString &t) { return !t.isEmpty(); }, 622 },
        { txtFrom, IsValidEmail, 623 },
        { txtTo, IsValidEmailList, 624 },
        { txtSubject, [](const QString &t) { return !t.isEmpty(); }, 625 },
    };
    for (const Check &c : checks) {
        if (!c.valid(trimmed(c.edit))) {
            warn(c.message);
            c.edit->setFocus();
            return false;
        }
    }
    txtMesg->setPlainText(txtMesg->toPlainText().trimmed());
    return true;
}

void frmScheduleReport::removeTraces(const QString &name)
{
    QFile::remove(copyPath("grp", name));
    QFile::remove(copyPath(m_proposal ? "prp" : "rpt", name));
    // The helper removes a key it made for a task it could not create; this catches the rest
    // where this process may write the machine store itself.
    if (!KVElevate().UseElevation())
        KVElevateEntries::DeleteKey(ScheduleKeyPath(name));
}

void frmScheduleReport::schedule()
{
    if (!validate())
        return;
    const QString name = m_edit ? m_name : MakeValidFileName(txtName->text(), QStringLiteral("_"));
    const QString key = ScheduleKeyPath(name);
    WaitCursor wait;
    if (!m_edit) {
        const bool showProgress = m_analysis->ShowProgress();
        m_analysis->setShowProgress(false);
        QString error;
        m_analysis->SaveGroupsCopy(copyPath("grp", name), &error);
        m_analysis->setShowProgress(showProgress);
        if (error.isEmpty() && m_proposal) {
            if (!m_proposal->SaveUserDefined(copyPath("prp", name), error) && error.isEmpty())
                error = copyPath("prp", name);
        } else if (error.isEmpty()) {
            error = m_report->SaveUserDefined(copyPath("rpt", name));
        }
        if (!error.isEmpty()) {
            MsgBox(error, MsgIcon::Exclamation, MsgButtons::OK, Branding().ProductName());
            removeTraces(name);
            return;
        }
    }
    KVElevateEntries entries;
    entries.Add(key, QStringLiteral("From"), REG_SZ, txtFrom->text());
    entries.Add(key, QStringLiteral("To"), REG_SZ, txtTo->text());
    entries.Add(key, QStringLiteral("Subject"), REG_SZ, txtSubject->text());
    entries.Add(key, QStringLiteral("Mesg"), REG_SZ, txtMesg->toPlainText());
    if (!m_edit) {
        entries.Add(key, QStringLiteral("GroupPath"), REG_SZ, copyPath("grp", name));
        entries.Add(
            key, QStringLiteral("ReportPath"), REG_SZ, copyPath(m_proposal ? "prp" : "rpt", name));
        entries.Add(key, QStringLiteral("SimpleMode"), REG_DWORD, m_simpleMode ? -1 : 0);
        entries.Add(key, QStringLiteral("Company"), REG_DWORD, m_analysis->CompanyId());
        entries.Add(key, QStringLiteral("Proposal"), REG_DWORD, m_proposal ? 1 : 0);
    }
    KVElevateSchedule task = KVElevateSchedule::ForSchedule(name);
    task.StartTime = dtpTime->time();
    const int item = cmbFrequency->currentData().toInt();
    task.TriggerType = item == FrequencyQuarterly ? int(taskstore::triggerMonthlyDate) : item;
    task.Quarterly = item == FrequencyQuarterly;
    task.Day = cmbDay->currentIndex() >= 0 ? qint32(1u << cmbDay->currentIndex()) : 0;

    const int result = KVElevate().ScheduleTask(task, entries, -1);
    if (result == 0) {
        m_scheduled = true;
        accept();
        return;
    }
    warn(result == 1 ? 626 : 629);
    if (!m_edit)
        removeTraces(name);
}

bool frmScheduleReport::ScheduleReport(
    clsReport &report, clsAnalysis &analysis, bool simpleMode, QWidget *parent)
{
    return scheduleNew(&report, nullptr, analysis, simpleMode, parent);
}

bool frmScheduleReport::ScheduleProposal(
    clsProposal &proposal, clsAnalysis &analysis, bool simpleMode, QWidget *parent)
{
    return scheduleNew(nullptr, &proposal, analysis, simpleMode, parent);
}

bool frmScheduleReport::scheduleNew(clsReport *report, clsProposal *proposal, clsAnalysis &analysis,
    bool simpleMode, QWidget *parent)
{
    std::unique_ptr<frmScheduleReport> dialog;
    {
        WaitCursor wait;
        dialog = std::make_unique<frmScheduleReport>(parent);
        dialog->prepareNew(report, proposal, analysis, simpleMode);
    }
    dialog->exec();
    return dialog->scheduled();
}

bool frmScheduleReport::EditSchedule(const QString &name, QWidget *parent)
{
    frmScheduleReport dialog(parent);
    if (!dialog.prepareEdit(name))
        return false;
    dialog.exec();
    return dialog.scheduled();
}

bool frmScheduleReport::UnscheduleReport(const QString &name)
{
    if (MsgBox(
            GetLangString(613), MsgIcon::Exclamation, MsgButtons::YesNo, Branding().ProductName())
        != MsgAnswer::Yes)
        return false;
    if (KVElevate().UnscheduleTask(ScheduledReportName(name), ScheduleKeyPath(name)) != 0) {
        warn(615);
        return false;
    }
    warn(614);
    return true;
}

} // namespace kv6
