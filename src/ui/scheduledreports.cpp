#include "ui/scheduledreports.h"

#include "app/branding.h"
#include "base/clsregistry.h"
#include "base/dialogs.h"
#include "captions_p.h"
#include "schedule/elevate.h"
#include "schedule/scheduledrun.h"
#include "taskstore/taskstore.h"
#include "ui/schedulereport.h"
#include "vbcore/vbdate.h"

#include <QDialogButtonBox>
#include <QFileInfo>
#include <QHeaderView>
#include <QLocale>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace kv6 {

namespace {

QPushButton *button(QDialogButtonBox *box, const char *name, const QString &caption)
{
    return NameControl(box->addButton(caption, QDialogButtonBox::ActionRole), name, caption);
}

QString when(const QDateTime &time)
{
    return IsVbZeroDate(time) || !time.isValid() ? QStringLiteral("-")
                                                 : QLocale().toString(time, QLocale::ShortFormat);
}

} // namespace

frmScheduledReports::frmScheduledReports(QWidget *parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("frmScheduledReports"));
    setWindowTitle(tr("Scheduled Reports"));
    lsvSchedules = new QTreeWidget(this);
    lsvSchedules->setObjectName(QStringLiteral("lsvSchedules"));
    SetAccessibleCaption(lsvSchedules, windowTitle());
    lsvSchedules->setRootIsDecorated(false);
    lsvSchedules->setHeaderLabels(
        { tr("Name"), tr("Runs"), tr("Frequency"), tr("Next run"), tr("Last run"), tr("Result") });
    lsvSchedules->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    lsvSchedules->setMinimumSize(720, 240);

    auto *buttons = new QDialogButtonBox(this);
    cmdEdit = button(buttons, "cmdEdit", tr("&Edit..."));
    cmdRunNow = button(buttons, "cmdRunNow", tr("&Run now"));
    cmdUnschedule = button(buttons, "cmdUnschedule", tr("&Unschedule"));
    cmdClose = buttons->addButton(QDialogButtonBox::Close);
    cmdClose->setObjectName(QStringLiteral("cmdClose"));
    SetAccessibleCaption(cmdClose, cmdClose->text());

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(lsvSchedules);
    layout->addWidget(buttons);

    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(lsvSchedules, &QTreeWidget::itemSelectionChanged, this,
        &frmScheduledReports::updateButtons);
    connect(cmdEdit, &QPushButton::clicked, this, [this] {
        if (frmScheduleReport::EditSchedule(selectedName(), this))
            Refresh();
    });
    connect(cmdRunNow, &QPushButton::clicked, this, [this] {
        if (KVElevate().RunTask(ScheduledReportName(selectedName())) != 0)
            MsgBox(tr("The scheduled report could not be started."), MsgIcon::Exclamation);
        Refresh();
    });
    connect(cmdUnschedule, &QPushButton::clicked, this, [this] {
        if (frmScheduleReport::UnscheduleReport(selectedName()))
            Refresh();
    });
    Refresh();
}

void frmScheduledReports::Refresh()
{
    lsvSchedules->clear();
    const QStringList names = ScheduleNames();
    QString err;
    taskstore::Schedule schedule;
    schedule.Refresh();
    for (const QString &name : std::as_const(names)) {
        clsRegistry key;
        key.setClassKey(HKEY_LOCAL_MACHINE);
        key.setSectionKey(ScheduleKeyPath(name));
        const bool proposal
            = key.GetValueOrDefault(QStringLiteral("Proposal"), 0, err).toInt() != 0;
        const QString copy
            = key.GetValueOrDefault(QStringLiteral("ReportPath"), QString(), err).toString();
        QStringList columns = { name,
            (proposal ? tr("Proposal %1") : tr("Report %1")).arg(QFileInfo(copy).fileName()) };
        const taskstore::TaskPtr task = schedule.Job(ScheduledReportName(name));
        const taskstore::TriggerPtr trigger = task ? task->Triggers().Item(1) : nullptr;
        if (!task) {
            columns << tr("(no task)") << QString() << QString() << QString();
        } else {
            const bool ran = !IsVbZeroDate(task->LastRunTime());
            columns << (trigger ? trigger->Text() : QString()) << when(task->NextRunTime())
                    << when(task->LastRunTime())
                    << (ran ? tr("exit code %1").arg(task->ExitCode()) : QString());
        }
        auto *item = new QTreeWidgetItem(lsvSchedules, columns);
        item->setData(0, Qt::UserRole, name);
    }
    updateButtons();
}

QString frmScheduledReports::selectedName() const
{
    const QTreeWidgetItem *item = lsvSchedules->currentItem();
    return item && item->isSelected() ? item->data(0, Qt::UserRole).toString() : QString();
}

void frmScheduledReports::updateButtons()
{
    const bool any = !selectedName().isEmpty();
    for (QPushButton *b : { cmdEdit, cmdRunNow, cmdUnschedule })
        b->setEnabled(any);
}

int ShowScheduledReportsWindow()
{
    frmScheduledReports window;
    window.exec();
    return 0;
}

} // namespace kv6
