#include "engine/previewwidget.h"

#include <QHash>
#include <QKeyEvent>
#include <QPainter>
#include <QPaintEvent>
#include <QPixmap>
#include <QScrollBar>
#include <QWheelEvent>

namespace kv6::engine {

// The scrolled surface. Drawn pages are kept as pixmaps for the current zoom, so scrolling
// does not replay display lists.
class PreviewCanvas : public QWidget
{
public:
    explicit PreviewCanvas(PreviewWidget *owner)
        : QWidget(owner)
        , m_owner(owner)
    {
        setAttribute(Qt::WA_OpaquePaintEvent);
    }

    void forget() { m_cache.clear(); }

protected:
    void paintEvent(QPaintEvent *event) override
    {
        QPainter p(this);
        p.fillRect(event->rect(), QColor(0x80, 0x80, 0x80));
        const PreviewDocument *doc = m_owner->m_document;
        if (!doc)
            return;
        const double dpr = devicePixelRatioF();
        for (int i = 0; i < m_owner->m_pageRects.size(); ++i) {
            const QRect r = m_owner->m_pageRects[i];
            if (!r.adjusted(0, 0, 4, 4).intersects(event->rect()))
                continue;
            p.fillRect(r.translated(3, 3), QColor(0x40, 0x40, 0x40));
            auto it = m_cache.find(i);
            if (it == m_cache.end()) {
                if (m_cache.size() > 12)
                    m_cache.clear();
                QPixmap pix(r.size() * dpr);
                pix.setDevicePixelRatio(dpr);
                pix.fill(Qt::white);
                QPainter pp(&pix);
                pp.setRenderHint(QPainter::Antialiasing);
                pp.setRenderHint(QPainter::TextAntialiasing);
                pp.setRenderHint(QPainter::SmoothPixmapTransform);
                doc->paintPage(&pp, i + 1, QRectF(QPointF(0, 0), QSizeF(r.size())));
                pp.end();
                it = m_cache.insert(i, pix);
            }
            p.drawPixmap(r.topLeft(), *it);
        }
    }

private:
    PreviewWidget *m_owner;
    QHash<int, QPixmap> m_cache;
};

PreviewWidget::PreviewWidget(QWidget *parent)
    : QScrollArea(parent)
    , m_canvas(new PreviewCanvas(this))
{
    setWidget(m_canvas);
    setWidgetResizable(false);
    setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    setFocusPolicy(Qt::StrongFocus);
    setBackgroundRole(QPalette::Dark);
    connect(verticalScrollBar(), &QScrollBar::valueChanged, this,
        [this] { updateCurrentFromScroll(); });
}

PreviewWidget::~PreviewWidget() = default;

void PreviewWidget::setDocument(const PreviewDocument *document)
{
    m_document = document;
    m_current = 0;
    refresh();
}

int PreviewWidget::pageCount() const
{
    return m_document ? m_document->pageCount() : 0;
}

void PreviewWidget::refresh()
{
    applyFit();
    relayout();
    if (m_current > pageCount() || (m_current == 0 && pageCount() > 0)) {
        m_current = pageCount() > 0 ? 1 : 0;
        emit currentPageChanged(m_current);
    }
}

double PreviewWidget::pixelsPerTwip() const
{
    return m_zoom * logicalDpiX() / TwipsPerInch;
}

void PreviewWidget::relayout()
{
    m_pageRects.clear();
    m_canvas->forget();
    const double k = pixelsPerTwip();
    int width = 0, y = Gap;
    for (int p = 1; p <= pageCount(); ++p) {
        const QSizeF s = m_document->sizeOfPage(p);
        const QSize px(std::max(1, int(std::lround(s.width() * k))),
            std::max(1, int(std::lround(s.height() * k))));
        m_pageRects.append(QRect(QPoint(0, y), px));
        width = std::max(width, px.width());
        y += px.height() + Gap;
    }
    const int canvasWidth = width + 2 * Gap;
    for (QRect &r : m_pageRects)
        r.moveLeft((canvasWidth - r.width()) / 2);
    m_canvas->resize(std::max(canvasWidth, 1), std::max(y, 1));
    m_canvas->update();
}

void PreviewWidget::applyFit()
{
    if (m_mode == ZoomMode::Fixed || !m_document || m_document->isEmpty())
        return;
    // Fitted to the widest and tallest pages, so a landscape page among portrait ones needs
    // no sideways scrolling.
    QSizeF page;
    for (int p = 1; p <= m_document->pageCount(); ++p)
        page = page.expandedTo(m_document->sizeOfPage(p));
    const double perTwip = logicalDpiX() / TwipsPerInch;
    // The viewport narrows when the fit brings a scroll bar; the resize that follows fits again.
    const double availW = viewport()->width() - 2 * Gap;
    const double availH = viewport()->height() - 2 * Gap;
    double z = availW / (page.width() * perTwip);
    if (m_mode == ZoomMode::FitPage)
        z = std::min(z, availH / (page.height() * perTwip));
    z = std::clamp(z, 0.05, 16.0);
    if (std::abs(z - m_zoom) > 1e-9) {
        m_zoom = z;
        emit zoomChanged(m_zoom);
    }
}

void PreviewWidget::setZoom(double zoom)
{
    zoom = std::clamp(zoom, 0.05, 16.0);
    m_mode = ZoomMode::Fixed;
    if (std::abs(zoom - m_zoom) < 1e-9)
        return;
    const int page = m_current;
    m_zoom = zoom;
    relayout();
    if (page > 0)
        setCurrentPage(page);
    emit zoomChanged(m_zoom);
}

void PreviewWidget::setZoomMode(ZoomMode mode)
{
    m_mode = mode;
    const int page = m_current;
    applyFit();
    relayout();
    if (page > 0)
        setCurrentPage(page);
}

QRect PreviewWidget::pageRect(int page) const
{
    return page >= 1 && page <= m_pageRects.size() ? m_pageRects[page - 1] : QRect();
}

void PreviewWidget::setCurrentPage(int page)
{
    if (pageCount() == 0)
        return;
    page = std::clamp(page, 1, pageCount());
    verticalScrollBar()->setValue(m_pageRects[page - 1].top() - Gap);
    if (page != m_current) {
        m_current = page;
        emit currentPageChanged(page);
    }
}

void PreviewWidget::updateCurrentFromScroll()
{
    if (m_pageRects.isEmpty())
        return;
    // The page that holds the line a third of the way down the window.
    const int y = verticalScrollBar()->value() + viewport()->height() / 3;
    int page = 1;
    for (int i = 0; i < m_pageRects.size(); ++i) {
        if (m_pageRects[i].top() - Gap <= y)
            page = i + 1;
    }
    if (page != m_current) {
        m_current = page;
        emit currentPageChanged(page);
    }
}

void PreviewWidget::resizeEvent(QResizeEvent *event)
{
    QScrollArea::resizeEvent(event);
    if (m_mode != ZoomMode::Fixed) {
        const int page = m_current;
        const double before = m_zoom;
        applyFit();
        if (before != m_zoom) {
            relayout();
            if (page > 0)
                setCurrentPage(page);
        }
    }
}

void PreviewWidget::keyPressEvent(QKeyEvent *event)
{
    const bool ctrl = event->modifiers() & Qt::ControlModifier;
    switch (event->key()) {
    case Qt::Key_Home:
        if (ctrl) {
            firstPage();
            return;
        }
        break;
    case Qt::Key_End:
        if (ctrl) {
            lastPage();
            return;
        }
        break;
    case Qt::Key_PageDown:
        if (ctrl) {
            nextPage();
            return;
        }
        break;
    case Qt::Key_PageUp:
        if (ctrl) {
            previousPage();
            return;
        }
        break;
    case Qt::Key_Plus:
    case Qt::Key_Equal:
        if (ctrl) {
            zoomIn();
            return;
        }
        break;
    case Qt::Key_Minus:
        if (ctrl) {
            zoomOut();
            return;
        }
        break;
    default:
        break;
    }
    QScrollArea::keyPressEvent(event);
}

void PreviewWidget::wheelEvent(QWheelEvent *event)
{
    if (event->modifiers() & Qt::ControlModifier) {
        if (event->angleDelta().y() > 0)
            zoomIn();
        else if (event->angleDelta().y() < 0)
            zoomOut();
        event->accept();
        return;
    }
    QScrollArea::wheelEvent(event);
}

} // namespace kv6::engine
