#pragma once

// The preview document: rendered pages kept as display lists in twips, so the same pages can be
// shown at any zoom, printed on any printer and written to PDF without laying them out again.
// Pages are numbered from 1 in every call.
//
//     PreviewDocument doc;
//     engine.render(doc);                       // or doc.load("report.rtt")
//     doc.append("next.rtt");                   // pages of another document after these
//     doc.drawOverlayText(3, 9000, 15400, "Page 1 of 8");
//     writePdf(doc, "/tmp/report.pdf", &error);
//
// Documents are saved in the engine's own ".rtt" format (see save()).

#include "engine/graphics.h"

#include <QList>
#include <QMarginsF>
#include <QPageSize>
#include <QSizeF>
#include <QString>

#include <memory>
#include <variant>

class QIODevice;
class QPainter;

namespace kv6::engine {

class PageStore;

// Text whose lines are already broken, so it reads the same on every device.
struct TextRun
{
    QRectF rect; // the box the lines are aligned in
    QRectF clip; // drawing stops at this box; empty means `rect`
    QString text; // lines separated by '\n'
    FontSpec font;
    QRgb color = qRgb(0, 0, 0);
    Qt::Alignment alignment = Qt::AlignLeft | Qt::AlignTop;
    // Every line was measured to fit the width of `rect` when laid out: drawing need not
    // measure it again to know it needs no clip. False when unknown, and once the text changes.
    bool fits = false;
};

struct LineItem
{
    QPointF from;
    QPointF to;
    QRgb color = qRgb(0, 0, 0);
    double width = 0; // twips; 0 is the thinnest line the device draws
    Qt::PenStyle style = Qt::SolidLine;
};

struct BoxItem
{
    QRectF rect;
    bool filled = false;
    QRgb fill = qRgb(255, 255, 255);
    Qt::PenStyle lineStyle = Qt::NoPen;
    QRgb lineColor = qRgb(0, 0, 0);
    double lineWidth = 0;
};

struct PictureItem
{
    QRectF rect;
    Picture picture;
    int scaleMode = PictureClip;
};

using DisplayItem = std::variant<TextRun, LineItem, BoxItem, PictureItem>;

// Twips in a page: A4 is 11906 x 16838, Letter 12240 x 15840.
QSizeF pageSizeTwips(const QPageSize &size, bool landscape = false);
// A4, or Letter where the system's territory uses it.
QPageSize defaultPageSize();

class PreviewDocument
{
public:
    struct Page
    {
        QSizeF size; // twips
        QList<DisplayItem> items;
        // Drawn after the items: additions made once the page was rendered (page numbers).
        QList<DisplayItem> overlay;
    };

    PreviewDocument();

    void clear();
    int pageCount() const { return int(m_pages.size()); }
    bool isEmpty() const { return m_pages.isEmpty(); }

    QString title() const { return m_title; }
    void setTitle(const QString &title) { m_title = title; }

    // The size new pages get, in twips.
    QSizeF pageSize() const { return m_pageSize; }
    void setPageSize(const QSizeF &twips) { m_pageSize = twips; }
    QMarginsF margins() const { return m_margins; }
    void setMargins(const QMarginsF &twips) { m_margins = twips; }

    // Font and colour of overlay text written with drawOverlayText.
    FontSpec font() const { return m_font; }
    void setFont(const FontSpec &font) { m_font = font; }
    QRgb textColor() const { return m_textColor; }
    void setTextColor(QRgb color) { m_textColor = color; }

    // Appends a page (of the document's page size when none is given); returns its number.
    int addPage(const QSizeF &size = {});
    // A packed page is unpacked for reading into one page kept aside: the reference holds until
    // the next read of another packed page. Taken for changing, it stays unpacked.
    const Page &page(int number) const;
    Page &page(int number);
    // The page's size in twips, without unpacking it.
    QSizeF sizeOfPage(int number) const { return m_pages.at(number - 1).size; }
    // Keeps a finished page compactly, a fraction of its display list's memory; it is unpacked
    // only to be drawn or read. Rendered and loaded documents keep all their pages so.
    void pack(int number);
    // Replaces `marker` in the texts of every page with `text` (a total known only once all
    // pages are made); packed pages take it as they are unpacked.
    void replaceText(const QString &marker, const QString &text);
    void addItem(int page, const DisplayItem &item);
    void addItem(int page, DisplayItem &&item);

    // Overlay drawing on a finished page.
    void addOverlay(int page, const DisplayItem &item);
    // One line of text in the document font and text colour, its top left at (x, y) twips.
    void drawOverlayText(int page, double x, double y, const QString &text);
    // Width of a line in the document font, in twips, for placing overlay text.
    double textWidth(const QString &text) const;

    // Draws the page scaled into `target` (device units of the painter). The background is
    // left as it is: the caller paints the paper.
    void paintPage(QPainter *painter, int page, const QRectF &target) const;
    // The page on white at a resolution, for previews and checks.
    QImage renderPage(int page, double dpi) const;

    // The ".rtt" file: a magic header, a format version and the pages in a QDataStream. Loading
    // replaces the pages and settings; appending adds the file's pages after the current ones
    // and keeps the settings. A truncated, damaged or foreign file changes nothing and fails.
    bool save(const QString &path, QString *error = nullptr) const;
    bool load(const QString &path, QString *error = nullptr);
    bool append(const QString &path, QString *error = nullptr);
    void append(const PreviewDocument &other);

    QByteArray toBytes() const;
    bool fromBytes(const QByteArray &bytes, QString *error = nullptr);
    // The same on a device, streamed: a long document is never held a second time as bytes.
    bool write(QIODevice *device) const;
    bool read(QIODevice *device, QString *error = nullptr);

    // Bytes the pages' display lists hold in memory, lists and strings and pictures included;
    // data items share (font names, a logo on every page) counts once.
    qint64 memoryEstimate() const;

private:
    QString m_title;
    QSizeF m_pageSize;
    QMarginsF m_margins;
    FontSpec m_font;
    QRgb m_textColor = qRgb(0, 0, 0);
    QList<Page> m_pages; // a packed page keeps only its size here
    QList<int> m_packedAs; // the page's number in the store, 0 while unpacked
    // Shared by copies until one of them packs or unpacks a page.
    std::shared_ptr<PageStore> m_store;
    mutable Page m_unpacked;
    mutable int m_unpackedAs = 0;

    PageStore &ownStore();
};

// Writes the document as PDF: one PDF page per page at its own size, text as text in embedded
// fonts, vector pictures as vectors. False, with the reason, when the file cannot be written; the
// file appears only when complete.
bool writePdf(const PreviewDocument &document, const QString &path, QString *error = nullptr);

// The same written page by page, so a long document need not be held whole: the pages of each
// document added follow those before. Nothing is at the path until finish() succeeds.
//
// Pages are painted on `threads` threads (0: one per core, the calling thread among them), each
// handed `runPages` consecutive pages at a time (0: a default) into a part file of its own; the
// parts are joined in page order when finished. One thread, or a document of no more than one
// run, is written by a single writer straight to the file.
class PdfStream
{
public:
    explicit PdfStream(int threads = 0, int runPages = 0);
    ~PdfStream();
    PdfStream(const PdfStream &) = delete;
    PdfStream &operator=(const PdfStream &) = delete;

    bool open(const QString &path, const QString &title, QString *error = nullptr);
    // Texts holding `marker` are drawn last, over their pages, with `marker` replaced by the
    // text finish() is given: pages that print a total known only at the end need not be held
    // back until then. False when pages go straight to the file (one thread): the caller then
    // holds them back itself.
    bool deferText(const QString &marker);
    bool add(const PreviewDocument &document, QString *error = nullptr);
    bool finish(QString *error = nullptr, const QString &deferredText = QString());

private:
    struct Private;
    int m_threads;
    int m_runPages;
    std::unique_ptr<Private> d;
};

} // namespace kv6::engine
