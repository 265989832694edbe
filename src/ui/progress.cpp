#include "ui/progress.h"

#include "base/langstrings.h"
#include "captions_p.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>
#include <QWindow>

namespace kv6 {

namespace {
constexpr int IndeterminateSteps = 60;
constexpr int TimerMs = 100;

// The unattended run and cron have no display: the window then keeps its state but never shows.
bool canShow()
{
    return QGuiApplication::platformName() != QLatin1String("offscreen");
}
} // namespace

frmProgress::frmProgress(QWidget *parent)
    : QDialog(parent)
    , m_status(new QLabel(this))
    , m_bar(new QProgressBar(this))
    , m_cancel(new QPushButton(this))
{
    setObjectName(QStringLiteral("frmProgress"));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    setModal(false);
    m_status->setObjectName(QStringLiteral("lblStatus"));
    m_bar->setObjectName(QStringLiteral("prgProgress"));
    m_bar->setTextVisible(false);
    m_cancel->setObjectName(QStringLiteral("cmdCancel"));
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_bar);
    layout->addWidget(m_status);
    layout->addWidget(m_cancel, 0, Qt::AlignRight);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    setMinimumWidth(360);
    connect(m_cancel, &QPushButton::clicked, this, [this] {
        m_cancelled = true;
        pump();
    });
    connect(&m_timer, &QTimer::timeout, this, [this] {
        // The indeterminate bar runs round and round until the work ends.
        if (m_bar->value() >= m_bar->maximum())
            m_bar->setValue(m_bar->minimum());
        else
            Increment();
    });
}

frmProgress *frmProgress::instance()
{
    static QPointer<frmProgress> window;
    if (!window)
        window = new frmProgress;
    return window;
}

void frmProgress::pump()
{
    QCoreApplication::processEvents();
}

void frmProgress::layoutWindow()
{
    m_cancel->setText(GetLangString(1401));
    m_status->setVisible(m_showStatus);
    m_cancel->setVisible(m_showCancel);
    adjustSize();
}

void frmProgress::refreshStatus()
{
    if (m_timer.isActive()) {
        m_status->setText(GetLangString(1403));
        return;
    }
    if (m_bar->value() % m_interval == 0) {
        m_status->setText(GetLangString(
            1402, QString::number(m_bar->value()), QString::number(m_bar->maximum())));
    }
}

void frmProgress::startIndeterminate()
{
    m_bar->setRange(1, IndeterminateSteps);
    m_bar->setValue(1);
    m_timer.start(TimerMs);
}

void frmProgress::Initialize(const QString &caption, int maximum, QWidget *owner, bool showStatus,
    bool showCancel, int interval)
{
    m_cancelled = false;
    m_owner = owner;
    setWindowTitle(caption);
    m_bar->setAccessibleName(caption);
    m_timer.stop();
    if (maximum < 1) {
        startIndeterminate();
    } else {
        m_bar->setRange(1, qMax(2, maximum));
        m_bar->setValue(1);
    }
    m_showStatus = showStatus;
    m_showCancel = showCancel;
    m_interval = qMax(1, interval);
    layoutWindow();
    refreshStatus();
    if (canShow()) {
        if (m_owner)
            move(m_owner->geometry().center() - rect().center());
        show();
    }
    pump();
}

void frmProgress::Reset(
    const QString &caption, int maximum, int showStatus, int showCancel, int interval)
{
    if (!caption.isEmpty())
        setWindowTitle(caption);
    if (maximum == -1) {
        m_bar->setValue(m_bar->minimum());
    } else if (maximum > 0) {
        m_timer.stop();
        m_bar->setRange(1, qMax(2, maximum));
        m_bar->setValue(1);
    } else if (maximum == 0) {
        startIndeterminate();
    }
    if (showStatus >= 0)
        m_showStatus = showStatus != 0;
    if (showCancel >= 0)
        m_showCancel = showCancel != 0;
    if (interval > 0)
        m_interval = interval;
    layoutWindow();
    refreshStatus();
}

void frmProgress::Increment()
{
    if (m_bar->value() >= m_bar->maximum())
        return;
    m_bar->setValue(m_bar->value() + 1);
    refreshStatus();
    pump();
}

void frmProgress::SetToMax()
{
    m_bar->setValue(m_bar->maximum());
    refreshStatus();
}

int frmProgress::MaxValue() const
{
    return m_timer.isActive() ? 0 : m_bar->maximum();
}

int frmProgress::ProgressValue() const
{
    return m_bar->value();
}

void frmProgress::setProgressValue(int value)
{
    if (value < m_bar->minimum() || value > m_bar->maximum())
        return;
    m_bar->setValue(value);
}

void frmProgress::Shutdown()
{
    m_timer.stop();
    if (m_owner)
        m_owner->unsetCursor();
    m_owner = nullptr;
    hide();
}

QString frmProgress::statusText() const
{
    return m_status->text();
}

frmProgressProposal::frmProgressProposal(QWidget *parent)
    : QDialog(parent)
    , cmdCancel(new QPushButton(this))
{
    setObjectName(QStringLiteral("frmProgressProposal"));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    setModal(false);
    setWindowTitle(GetLangString(235));
    auto *layout = new QVBoxLayout(this);
    for (int i = 0; i < 2; ++i) {
        lblStatus[i] = new QLabel(this);
        lblStatus[i]->setObjectName(QStringLiteral("lblStatus%1").arg(i + 1));
        prgProgress[i] = new QProgressBar(this);
        prgProgress[i]->setObjectName(QStringLiteral("prgProgress%1").arg(i + 1));
        prgProgress[i]->setTextVisible(false);
        layout->addWidget(lblStatus[i]);
        layout->addWidget(prgProgress[i]);
    }
    cmdCancel->setObjectName(QStringLiteral("cmdCancel"));
    cmdCancel->setText(GetLangString(1401));
    SetAccessibleCaption(cmdCancel, cmdCancel->text());
    layout->addWidget(cmdCancel, 0, Qt::AlignRight);
    setMinimumWidth(420);
    connect(cmdCancel, &QPushButton::clicked, this, [this] {
        m_cancelled = true;
        QCoreApplication::processEvents();
    });
}

void frmProgressProposal::Initialize(int reportCount, QWidget *owner)
{
    m_cancelled = false;
    for (QLabel *l : lblStatus)
        l->clear();
    prgProgress[0]->setRange(0, qMax(1, reportCount));
    prgProgress[1]->setRange(0, 1);
    for (QProgressBar *b : prgProgress)
        b->setValue(0);
    m_owner = owner;
    if (m_owner) {
        m_owner->setEnabled(false);
        m_owner->setCursor(Qt::WaitCursor);
    }
    // Shown with the first progress: a proposal refused before any work never flashes it.
    m_showPending = canShow();
    QCoreApplication::processEvents();
}

void frmProgressProposal::appear()
{
    if (!m_showPending)
        return;
    m_showPending = false;
    show();
    // The owner cannot be the parent (disabling it would disable Cancel): stay over it.
    if (m_owner) {
        move(m_owner->geometry().center() - rect().center());
        if (windowHandle() && m_owner->window()->windowHandle())
            windowHandle()->setTransientParent(m_owner->window()->windowHandle());
    }
}

void frmProgressProposal::UpdateProgress(int level, const QString &text, int value, int maximum)
{
    if (level < 1 || level > 2)
        return;
    appear();
    QProgressBar *bar = prgProgress[level - 1];
    if (!text.isEmpty())
        lblStatus[level - 1]->setText(text);
    if (maximum > 0)
        bar->setMaximum(maximum);
    bar->setValue(value < 1 || value > bar->maximum() ? bar->minimum() : value);
    QCoreApplication::processEvents();
}

void frmProgressProposal::Increment(int level)
{
    if (level < 1 || level > 2)
        return;
    appear();
    QProgressBar *bar = prgProgress[level - 1];
    bar->setValue(bar->value() >= bar->maximum() ? bar->minimum() : bar->value() + 1);
    QCoreApplication::processEvents();
}

void frmProgressProposal::Shutdown()
{
    if (m_owner) {
        m_owner->setEnabled(true);
        m_owner->unsetCursor();
    }
    m_owner = nullptr;
    m_showPending = false;
    hide();
}

} // namespace kv6
