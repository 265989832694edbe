#pragma once

// The on-screen preview of a document: pages one under another on a grey desk, zoomed by a
// factor (1.0 shows a page at its real size on the screen) or fitted to the window's width or to
// a whole page, with page navigation. The document is not owned; call refresh() when it changes.

#include "engine/previewdocument.h"

#include <QScrollArea>

namespace kv6::engine {

class PreviewCanvas;

class PreviewWidget : public QScrollArea
{
    Q_OBJECT

public:
    enum class ZoomMode { Fixed, FitWidth, FitPage };

    explicit PreviewWidget(QWidget *parent = nullptr);
    ~PreviewWidget() override;

    void setDocument(const PreviewDocument *document);
    const PreviewDocument *document() const { return m_document; }
    // Lays the pages out again after the document changed.
    void refresh();

    int pageCount() const;
    int currentPage() const { return m_current; }
    void setCurrentPage(int page);
    void firstPage() { setCurrentPage(1); }
    void previousPage() { setCurrentPage(m_current - 1); }
    void nextPage() { setCurrentPage(m_current + 1); }
    void lastPage() { setCurrentPage(pageCount()); }

    double zoom() const { return m_zoom; }
    void setZoom(double zoom); // also switches to ZoomMode::Fixed
    void zoomIn() { setZoom(m_zoom * 1.25); }
    void zoomOut() { setZoom(m_zoom / 1.25); }
    ZoomMode zoomMode() const { return m_mode; }
    void setZoomMode(ZoomMode mode);

    // Where a page is drawn, in the coordinates of the scrolled canvas.
    QRect pageRect(int page) const;

signals:
    void currentPageChanged(int page);
    void zoomChanged(double zoom);

protected:
    void resizeEvent(QResizeEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void wheelEvent(QWheelEvent *event) override;

private:
    friend class PreviewCanvas;
    static constexpr int Gap = 16;

    double pixelsPerTwip() const;
    void relayout();
    void applyFit();
    void updateCurrentFromScroll();

    const PreviewDocument *m_document = nullptr;
    PreviewCanvas *m_canvas;
    QList<QRect> m_pageRects;
    double m_zoom = 1.0;
    ZoomMode m_mode = ZoomMode::FitWidth;
    int m_current = 0;
};

} // namespace kv6::engine
