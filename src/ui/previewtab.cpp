#include "previewtab_p.h"

#include "base/langstrings.h"
#include "captions_p.h"
#include "proposal/proposal.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

namespace kv6 {

ReportTab::ReportTab(ReportPtr report, const QString &key, QWidget *parent)
    : QWidget(parent)
    , m_report(std::move(report))
    , m_key(key)
{
    build();
}

ReportTab::ReportTab(std::shared_ptr<clsProposal> proposal, const QString &key, QWidget *parent)
    : QWidget(parent)
    , m_proposal(std::move(proposal))
    , m_key(key)
{
    build();
}

QString ReportTab::caption() const
{
    if (m_report)
        return m_report->Caption();
    if (!m_proposal)
        return {};
    if (!m_proposal->Name().isEmpty())
        return m_proposal->Name();
    return m_proposal->Title().isEmpty() ? PlainCaption(GetLangString(656)) : m_proposal->Title();
}

void ReportTab::build()
{
    setObjectName(m_key);
    auto *bar = new QToolBar(this);
    bar->setObjectName(QStringLiteral("tbrPreview"));
    bar->setIconSize(QSize(18, 18));
    bar->setAccessibleName(caption());
    const auto tool = [bar](const char *name, int caption, const char *icon) {
        auto *b = new QToolButton(bar);
        b->setObjectName(QLatin1String(name));
        b->setIcon(QIcon::fromTheme(QLatin1String(icon)));
        b->setToolTip(GetLangString(caption));
        b->setAutoRaise(true);
        if (b->icon().isNull())
            b->setText(GetLangString(caption));
        SetAccessibleCaption(b, GetLangString(caption));
        bar->addWidget(b);
        return b;
    };
    vspReport = new engine::PreviewWidget(this);
    vspReport->setObjectName(QStringLiteral("vspReport"));
    vspReport->setDocument(&m_document);
    SetAccessibleCaption(vspReport, caption());

    cmdFirst = tool("cmdFirst", 1420, "go-first");
    cmdPrevious = tool("cmdPrevious", 1421, "go-previous");
    auto *pageLabel = new QLabel(GetLangString(1428), bar);
    pageLabel->setContentsMargins(6, 0, 4, 0);
    bar->addWidget(pageLabel);
    spnPage = new QSpinBox(bar);
    spnPage->setObjectName(QStringLiteral("spnPage"));
    spnPage->setRange(0, 0);
    spnPage->setKeyboardTracking(false);
    pageLabel->setBuddy(spnPage);
    SetAccessibleCaption(spnPage, pageLabel->text());
    bar->addWidget(spnPage);
    lblPages = new QLabel(bar);
    lblPages->setObjectName(QStringLiteral("lblPages"));
    lblPages->setContentsMargins(4, 0, 6, 0);
    bar->addWidget(lblPages);
    cmdNext = tool("cmdNext", 1422, "go-next");
    cmdLast = tool("cmdLast", 1423, "go-last");
    bar->addSeparator();
    cmdZoomOut = tool("cmdZoomOut", 1425, "zoom-out");
    cmdZoomIn = tool("cmdZoomIn", 1424, "zoom-in");
    cmdFitWidth = tool("cmdFitWidth", 1426, "zoom-fit-width");
    cmdFitPage = tool("cmdFitPage", 1427, "zoom-fit-best");
    // Zoom pictures differ little between themes: the words make them plain.
    for (QToolButton *b : { cmdZoomOut, cmdZoomIn, cmdFitWidth, cmdFitPage }) {
        b->setText(b->toolTip());
        b->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    }
    lblZoom = new QLabel(bar);
    lblZoom->setObjectName(QStringLiteral("lblZoom"));
    lblZoom->setContentsMargins(6, 0, 6, 0);
    bar->addWidget(lblZoom);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(bar);
    layout->addWidget(vspReport, 1);

    using engine::PreviewWidget;
    connect(cmdFirst, &QToolButton::clicked, vspReport, &PreviewWidget::firstPage);
    connect(cmdPrevious, &QToolButton::clicked, vspReport, &PreviewWidget::previousPage);
    connect(cmdNext, &QToolButton::clicked, vspReport, &PreviewWidget::nextPage);
    connect(cmdLast, &QToolButton::clicked, vspReport, &PreviewWidget::lastPage);
    connect(cmdZoomIn, &QToolButton::clicked, vspReport, &PreviewWidget::zoomIn);
    connect(cmdZoomOut, &QToolButton::clicked, vspReport, &PreviewWidget::zoomOut);
    connect(cmdFitWidth, &QToolButton::clicked, vspReport,
        [this] { vspReport->setZoomMode(PreviewWidget::ZoomMode::FitWidth); });
    connect(cmdFitPage, &QToolButton::clicked, vspReport,
        [this] { vspReport->setZoomMode(PreviewWidget::ZoomMode::FitPage); });
    connect(spnPage, &QSpinBox::valueChanged, vspReport, &PreviewWidget::setCurrentPage);
    connect(vspReport, &PreviewWidget::currentPageChanged, this, &ReportTab::showPosition);
    connect(vspReport, &PreviewWidget::zoomChanged, this, &ReportTab::showPosition);
    showPosition();
}

void ReportTab::refresh()
{
    vspReport->refresh();
    showPosition();
}

void ReportTab::showPosition()
{
    const int pages = vspReport->pageCount();
    const int current = vspReport->currentPage();
    {
        const QSignalBlocker block(spnPage);
        spnPage->setRange(pages > 0 ? 1 : 0, pages);
        spnPage->setValue(current);
    }
    lblPages->setText(GetLangString(1429, QString::number(pages)));
    lblZoom->setText(QStringLiteral("%1%").arg(qRound(vspReport->zoom() * 100)));
    cmdFirst->setEnabled(current > 1);
    cmdPrevious->setEnabled(current > 1);
    cmdNext->setEnabled(current < pages);
    cmdLast->setEnabled(current < pages);
}

} // namespace kv6
