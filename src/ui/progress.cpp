#include "ui/progress.h"

#include "base/langstrings.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

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

} // namespace kv6
