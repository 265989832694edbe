#pragma once

// The schedule dialog: a schedule's name, when it runs, and the mail that carries its result.
// Scheduling stores copies of the groups and the report in the schedule copies folder and asks
// the elevation helper to write the schedule's machine-wide values and create its task.

#include <QDialog>

class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QTimeEdit;

namespace kv6 {

class clsAnalysis;
class clsProposal;
class clsReport;

// Frequency item numbers.
inline constexpr int FrequencyDaily = 1;
inline constexpr int FrequencyWeekly = 2;
inline constexpr int FrequencyMonthly = 3;
inline constexpr int FrequencyQuarterly = 100;

class frmScheduleReport : public QDialog
{
    Q_OBJECT

public:
    explicit frmScheduleReport(QWidget *parent = nullptr);

    // Modal; true when a schedule was created or re-scheduled, or removed.
    static bool ScheduleReport(
        clsReport &report, clsAnalysis &analysis, bool simpleMode, QWidget *parent = nullptr);
    static bool ScheduleProposal(
        clsProposal &proposal, clsAnalysis &analysis, bool simpleMode, QWidget *parent = nullptr);
    static bool EditSchedule(const QString &name, QWidget *parent = nullptr);
    static bool UnscheduleReport(const QString &name);

    // The steps of the modal calls, for tests that drive the dialog themselves. prepareEdit is
    // false, with the message shown, when the schedule's task cannot be read.
    void prepareNew(clsReport &report, clsAnalysis &analysis, bool simpleMode);
    void prepareNew(clsProposal &proposal, clsAnalysis &analysis, bool simpleMode);
    bool prepareEdit(const QString &name);
    bool scheduled() const { return m_scheduled; }

    QLineEdit *txtName = nullptr;
    QComboBox *cmbFrequency = nullptr;
    QComboBox *cmbDay = nullptr;
    QLabel *lblOnDay = nullptr;
    QTimeEdit *dtpTime = nullptr;
    QLineEdit *txtFrom = nullptr;
    QLineEdit *txtTo = nullptr;
    QLineEdit *txtSubject = nullptr;
    QPlainTextEdit *txtMesg = nullptr;
    QPushButton *cmdSchedule = nullptr;
    QPushButton *cmdCancel = nullptr;
    QGroupBox *fraScheduling = nullptr;
    QGroupBox *fraEmail = nullptr;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    // A new schedule of the report or of the proposal (the other is null).
    static bool scheduleNew(clsReport *report, clsProposal *proposal, clsAnalysis &analysis,
        bool simpleMode, QWidget *parent);
    void prepareNew(
        clsReport *report, clsProposal *proposal, clsAnalysis &analysis, bool simpleMode);
    void fillFrequencies();
    void frequencyChanged();
    void schedule();
    bool validate();
    void removeTraces(const QString &name);

    clsReport *m_report = nullptr;
    clsProposal *m_proposal = nullptr;
    clsAnalysis *m_analysis = nullptr;
    bool m_simpleMode = false;
    bool m_edit = false;
    QString m_name;
    QString m_taskName;
    bool m_scheduled = false;
};

} // namespace kv6
