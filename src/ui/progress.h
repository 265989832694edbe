#pragma once

#include "app/progress.h"
#include "proposal/proposalrender.h"

#include <QDialog>
#include <QPointer>
#include <QTimer>

class QLabel;
class QProgressBar;
class QPushButton;

namespace kv6 {

// The one shared progress window: caption, bar, status line and an optional Cancel button. Each
// update lets pending events run, so the window stays responsive on the one GUI thread.
class frmProgress : public QDialog, public IProgress
{
    Q_OBJECT
public:
    explicit frmProgress(QWidget *parent = nullptr);

    void Initialize(const QString &caption, int maximum, QWidget *owner, bool showStatus,
        bool showCancel = false, int interval = 1) override;
    void Reset(const QString &caption, int maximum, int showStatus = -1, int showCancel = -1,
        int interval = 0) override;
    void Increment() override;
    void SetToMax() override;
    int MaxValue() const override;
    int ProgressValue() const override;
    void setProgressValue(int value) override;
    bool Cancelled() const override { return m_cancelled; }
    void Shutdown() override;

    QString statusText() const;
    bool indeterminate() const { return m_timer.isActive(); }

    // The program's one instance, created on first use.
    static frmProgress *instance();

private:
    void layoutWindow();
    void refreshStatus();
    void startIndeterminate();
    void pump();

    QLabel *m_status;
    QProgressBar *m_bar;
    QPushButton *m_cancel;
    QTimer m_timer;
    QPointer<QWidget> m_owner;
    bool m_cancelled = false;
    bool m_showStatus = true;
    bool m_showCancel = false;
    int m_interval = 1;
};

// The proposal's own progress window: line and bar 1 count the reports, line and bar 2 the steps
// of the one in hand. Its owner is disabled, with the busy pointer, while it shows.
class frmProgressProposal : public QDialog, public IProposalProgress
{
    Q_OBJECT
public:
    explicit frmProgressProposal(QWidget *parent = nullptr);

    bool Cancelled() const override { return m_cancelled; }
    void Initialize(int reportCount, QWidget *owner) override;
    void UpdateProgress(int level, const QString &text, int value, int maximum) override;
    void Increment(int level) override;
    void Shutdown() override;

    QLabel *lblStatus[2] = {};
    QProgressBar *prgProgress[2] = {};
    QPushButton *cmdCancel = nullptr;

private:
    void appear();

    QPointer<QWidget> m_owner;
    bool m_cancelled = false;
    bool m_showPending = false;
};

} // namespace kv6
