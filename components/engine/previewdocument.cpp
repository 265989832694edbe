#include "engine/previewdocument.h"

#include "pagestore_p.h"

#include "base/textfile.h"

#include <QBuffer>
#include <QDataStream>
#include <QFile>
#include <QLocale>
#include <QPaintEngine>
#include <QPainter>
#include <QSaveFile>
#include <QSet>

#include <cmath>
#include <memory>

namespace kv6::engine {

QSizeF pageSizeTwips(const QPageSize &size, bool landscape)
{
    if (!size.isValid())
        return {};
    // From the size's own units: ISO sizes are whole millimetres, which points would round.
    const QSizeF def = size.definitionSize();
    double perUnit = TwipsPerPoint;
    switch (size.definitionUnits()) {
    case QPageSize::Millimeter:
        perUnit = TwipsPerInch / 25.4;
        break;
    case QPageSize::Inch:
        perUnit = TwipsPerInch;
        break;
    case QPageSize::Cicero:
        perUnit = TwipsPerPoint * 12 * 1.066978;
        break;
    case QPageSize::Didot:
        perUnit = TwipsPerPoint * 1.066978;
        break;
    case QPageSize::Pica:
        perUnit = TwipsPerPoint * 12;
        break;
    default:
        break;
    }
    QSizeF tw(std::round(def.width() * perUnit), std::round(def.height() * perUnit));
    if (landscape)
        tw.transpose();
    return tw;
}

QPageSize defaultPageSize()
{
    // The territories whose offices buy Letter paper.
    switch (QLocale::system().territory()) {
    case QLocale::UnitedStates:
    case QLocale::Canada:
    case QLocale::Mexico:
    case QLocale::Philippines:
    case QLocale::Chile:
    case QLocale::Colombia:
    case QLocale::Venezuela:
    case QLocale::PuertoRico:
    case QLocale::Guatemala:
    case QLocale::CostaRica:
    case QLocale::Panama:
    case QLocale::DominicanRepublic:
    case QLocale::ElSalvador:
    case QLocale::Nicaragua:
        return QPageSize(QPageSize::Letter);
    default:
        return QPageSize(QPageSize::A4);
    }
}

PreviewDocument::PreviewDocument()
    : m_pageSize(pageSizeTwips(defaultPageSize()))
    , m_margins(720, 720, 720, 720)
{ }

void PreviewDocument::clear()
{
    m_pages.clear();
    m_packedAs.clear();
    m_store.reset();
    m_unpacked = {};
    m_unpackedAs = 0;
}

int PreviewDocument::addPage(const QSizeF &size)
{
    Page p;
    p.size = size.isEmpty() ? m_pageSize : size;
    // Pages of a report are much alike: the next is given the room the last one took, once,
    // instead of growing item by item.
    if (m_store)
        p.items.reserve(m_store->lastItemCount);
    m_pages.append(std::move(p));
    m_packedAs.append(0);
    return int(m_pages.size());
}

PageStore &PreviewDocument::ownStore()
{
    if (!m_store)
        m_store = std::make_shared<PageStore>();
    else if (m_store.use_count() > 1)
        m_store = std::make_shared<PageStore>(*m_store);
    return *m_store;
}

const PreviewDocument::Page &PreviewDocument::page(int number) const
{
    const int packed = m_packedAs.at(number - 1);
    if (packed == 0)
        return m_pages.at(number - 1);
    // Packed pages are never changed in the store, only added: its number names the contents.
    if (m_unpackedAs != packed) {
        m_unpacked = m_store->page(packed);
        m_unpackedAs = packed;
    }
    return m_unpacked;
}

PreviewDocument::Page &PreviewDocument::page(int number)
{
    int &packed = m_packedAs[number - 1];
    if (packed != 0) {
        PageStore &store = ownStore();
        m_pages[number - 1] = store.page(packed);
        store.drop(packed);
        if (m_unpackedAs == packed) {
            m_unpacked = {};
            m_unpackedAs = 0;
        }
        packed = 0;
    }
    return m_pages[number - 1];
}

void PreviewDocument::pack(int number)
{
    if (m_packedAs.at(number - 1) != 0)
        return;
    PageStore &store = ownStore();
    Page &page = m_pages[number - 1];
    store.lastItemCount = int(page.items.size());
    store.add(page);
    m_packedAs[number - 1] = store.count();
}

void PreviewDocument::replaceText(const QString &marker, const QString &text)
{
    for (int n = 0; n < m_pages.size(); ++n) {
        if (m_packedAs.at(n) != 0)
            continue;
        for (QList<DisplayItem> *items : { &m_pages[n].items, &m_pages[n].overlay })
            for (DisplayItem &item : *items)
                if (auto *t = std::get_if<TextRun>(&item); t && t->text.contains(marker)) {
                    t->text.replace(marker, text);
                    t->fits = false;
                }
    }
    if (m_store) {
        ownStore().replaceText(marker, text);
        m_unpacked = {};
        m_unpackedAs = 0;
    }
}

void PreviewDocument::addItem(int page, const DisplayItem &item)
{
    this->page(page).items.append(item);
}

void PreviewDocument::addItem(int page, DisplayItem &&item)
{
    this->page(page).items.append(std::move(item));
}

void PreviewDocument::addOverlay(int page, const DisplayItem &item)
{
    // Finished pages get their numbers this way: one that was packed stays so.
    const bool packed = m_packedAs.at(page - 1) != 0;
    this->page(page).overlay.append(item);
    if (packed)
        pack(page);
}

void PreviewDocument::drawOverlayText(int page, double x, double y, const QString &text)
{
    TextRun t;
    t.font = m_font;
    t.color = m_textColor;
    t.text = text;
    t.rect = QRectF(x, y, textWidth(text) + 1, lineHeight(m_font));
    // Overlay text is placed by its caller; a clip would only cut glyph overhangs.
    t.clip = t.rect.adjusted(-TwipsPerInch, -TwipsPerInch, TwipsPerInch, TwipsPerInch);
    addOverlay(page, t);
}

double PreviewDocument::textWidth(const QString &text) const
{
    return engine::textWidth(m_font, text);
}

// ---- painting

namespace {

// What the painter was last given while painting one page: setting a font or pen costs a
// lookup on screen and a state change in PDF and print output, and most items share both.
struct PaintState
{
    bool haveFont = false;
    FontSpec font;
    bool haveColor = false;
    QRgb color = 0;
};

// How one page is painted. A PDF writer given a scaled painter writes a matrix with every piece
// of text; text is cheaper there drawn in the device's own units, in a font of the same size.
struct PageMapping
{
    QTransform twips; // twips to device units
    QTransform device; // what the painter had before the page
    bool textInDevice = false;
    bool inDevice = false; // which of the two the painter has now
    double sx = 1, sy = 1;
    QPointF origin;
    double dpi = 72;

    void useTwips(QPainter *p)
    {
        if (inDevice) {
            p->setTransform(twips);
            inDevice = false;
        }
    }
    void useDevice(QPainter *p)
    {
        if (!inDevice) {
            p->setTransform(device);
            inDevice = true;
        }
    }
    QRectF map(const QRectF &r) const
    {
        return QRectF(
            origin.x() + r.left() * sx, origin.y() + r.top() * sy, r.width() * sx, r.height() * sy);
    }
};

void paintText(QPainter *p, const TextRun &t, PaintState &state, PageMapping &m)
{
    if (t.text.isEmpty())
        return;
    if (m.textInDevice)
        m.useDevice(p);
    if (!state.haveFont || !(state.font == t.font)) {
        QFont f = twipsFont(t.font);
        if (m.textInDevice)
            f.setPointSizeF(f.pixelSize() * m.sy * 72.0 / m.dpi);
        p->setFont(f);
        state.font = t.font;
        state.haveFont = true;
    }
    if (!state.haveColor || state.color != t.color) {
        p->setPen(QColor(t.color));
        state.color = t.color;
        state.haveColor = true;
    }
    // Most runs are one line: no list for them.
    const QStringList lines = t.text.contains(u'\n') ? t.text.split(u'\n') : QStringList { t.text };
    const double lh = lineHeight(t.font);
    const double total = lh * double(lines.size());
    double y = t.rect.top();
    if (t.alignment & Qt::AlignVCenter)
        y += (t.rect.height() - total) / 2;
    else if (t.alignment & Qt::AlignBottom)
        y += t.rect.height() - total;

    // A clip is a path intersection per item in PDF and print output; text that lies inside its
    // box needs none.
    const QRectF clip = t.clip.isEmpty() ? t.rect : t.clip;
    const double eps = 0.5;
    bool inside = y >= clip.top() - eps && y + total <= clip.bottom() + eps
        && t.rect.left() >= clip.left() - eps && t.rect.right() <= clip.right() + eps;
    for (qsizetype i = 0; inside && !t.fits && i < lines.size(); ++i)
        inside = textWidth(t.font, lines[i]) <= t.rect.width() + eps;
    if (!inside) {
        p->save();
        p->setClipRect(m.textInDevice ? m.map(clip) : clip, Qt::IntersectClip);
    }
    const int flags = int(t.alignment & Qt::AlignHorizontal_Mask) | Qt::AlignTop
        | Qt::TextSingleLine | Qt::TextDontClip;
    for (const QString &line : lines) {
        const QRectF box(t.rect.left(), y, t.rect.width(), lh);
        p->drawText(m.textInDevice ? m.map(box) : box, flags, line);
        y += lh;
    }
    if (!inside)
        p->restore();
}

void paintItem(QPainter *p, const DisplayItem &item, PaintState &state, PageMapping &m)
{
    if (const auto *t = std::get_if<TextRun>(&item)) {
        paintText(p, *t, state, m);
        return;
    }
    m.useTwips(p);
    // Lines and boxes set their own pen; a vector picture may leave any state behind.
    state = PaintState();
    if (const auto *l = std::get_if<LineItem>(&item)) {
        QPen pen(QColor(l->color), l->width, l->style, Qt::FlatCap);
        pen.setCosmetic(l->width <= 0);
        p->setPen(pen);
        p->drawLine(l->from, l->to);
    } else if (const auto *b = std::get_if<BoxItem>(&item)) {
        if (b->lineStyle == Qt::NoPen) {
            p->setPen(Qt::NoPen);
        } else {
            QPen pen(
                QColor(b->lineColor), b->lineWidth, b->lineStyle, Qt::SquareCap, Qt::MiterJoin);
            pen.setCosmetic(b->lineWidth <= 0);
            p->setPen(pen);
        }
        p->setBrush(b->filled ? QBrush(QColor(b->fill)) : QBrush(Qt::NoBrush));
        p->drawRect(b->rect);
    } else if (const auto *pic = std::get_if<PictureItem>(&item)) {
        pic->picture.paint(p, pic->rect, pic->scaleMode);
    }
}

} // namespace

void PreviewDocument::paintPage(QPainter *painter, int page, const QRectF &target) const
{
    const QSizeF size = sizeOfPage(page);
    if (size.isEmpty() || target.isEmpty())
        return;
    painter->save();
    PageMapping m;
    m.device = painter->transform();
    m.sx = target.width() / size.width();
    m.sy = target.height() / size.height();
    m.origin = target.topLeft();
    m.dpi = painter->device()->logicalDpiY();
    m.textInDevice = painter->paintEngine() && painter->paintEngine()->type() == QPaintEngine::Pdf
        && m.device.type() <= QTransform::TxTranslate && m.sx > 0 && m.sy > 0;
    painter->translate(target.topLeft());
    painter->scale(m.sx, m.sy);
    m.twips = painter->transform();
    painter->setClipRect(QRectF(QPointF(0, 0), size), Qt::IntersectClip);
    PaintState state;
    const auto paint = [&](const DisplayItem &item) { paintItem(painter, item, state, m); };
    // A packed page is drawn straight from its packed form: the preview paints pages in any
    // order, often again, and a PDF writes each once.
    const int packed = m_packedAs.at(page - 1);
    if (packed != 0 && packed != m_unpackedAs) {
        m_store->visit(packed, paint);
    } else {
        const Page &pg = this->page(page);
        for (const DisplayItem &item : pg.items)
            paint(item);
        for (const DisplayItem &item : pg.overlay)
            paint(item);
    }
    painter->restore();
}

QImage PreviewDocument::renderPage(int page, double dpi) const
{
    const QSizeF tw = sizeOfPage(page);
    const QSize px(std::max(1, int(std::lround(tw.width() * dpi / TwipsPerInch))),
        std::max(1, int(std::lround(tw.height() * dpi / TwipsPerInch))));
    QImage img(px, QImage::Format_RGB32);
    img.fill(Qt::white);
    img.setDotsPerMeterX(int(std::lround(dpi / 0.0254)));
    img.setDotsPerMeterY(int(std::lround(dpi / 0.0254)));
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    paintPage(&p, page, QRectF(QPointF(0, 0), QSizeF(px)));
    p.end();
    return img;
}

// ---- the ".rtt" format

namespace {

const QByteArray rttMagic("\x89KV6RTT\r\n\x1a\n", 11);
constexpr quint16 rttVersion = 1;
constexpr quint32 rttEndMark = 0x4B36454E; // "K6EN"

enum ItemKind : quint8 { KindText = 1, KindLine = 2, KindBox = 3, KindPicture = 4 };

void writeFont(QDataStream &out, const FontSpec &f)
{
    const quint8 flags
        = (f.bold ? 1 : 0) | (f.italic ? 2 : 0) | (f.underline ? 4 : 0) | (f.strikeOut ? 8 : 0);
    out << f.name << f.size << flags << qint32(f.charset);
}

void readFont(QDataStream &in, FontSpec &f)
{
    quint8 flags = 0;
    qint32 charset = 0;
    in >> f.name >> f.size >> flags >> charset;
    f.bold = flags & 1;
    f.italic = flags & 2;
    f.underline = flags & 4;
    f.strikeOut = flags & 8;
    f.charset = charset;
}

void writeItem(QDataStream &out, const DisplayItem &item)
{
    if (const auto *t = std::get_if<TextRun>(&item)) {
        out << quint8(KindText) << t->rect << t->clip << t->text;
        writeFont(out, t->font);
        out << quint32(t->color) << qint32(t->alignment);
    } else if (const auto *l = std::get_if<LineItem>(&item)) {
        out << quint8(KindLine) << l->from << l->to << quint32(l->color) << l->width
            << qint32(l->style);
    } else if (const auto *b = std::get_if<BoxItem>(&item)) {
        out << quint8(KindBox) << b->rect << quint8(b->filled) << quint32(b->fill)
            << qint32(b->lineStyle) << quint32(b->lineColor) << b->lineWidth;
    } else if (const auto *p = std::get_if<PictureItem>(&item)) {
        out << quint8(KindPicture) << p->rect << qint32(p->scaleMode);
        p->picture.write(out);
    }
}

bool validPen(qint32 style)
{
    return style >= Qt::NoPen && style <= Qt::DashDotDotLine;
}

bool readItem(QDataStream &in, DisplayItem &item)
{
    quint8 kind = 0;
    in >> kind;
    quint32 c1 = 0, c2 = 0;
    qint32 i1 = 0;
    switch (kind) {
    case KindText: {
        TextRun t;
        in >> t.rect >> t.clip >> t.text;
        readFont(in, t.font);
        in >> c1 >> i1;
        t.color = c1;
        t.alignment = Qt::Alignment(i1);
        item = std::move(t);
        break;
    }
    case KindLine: {
        LineItem l;
        in >> l.from >> l.to >> c1 >> l.width >> i1;
        if (!validPen(i1))
            return false;
        l.color = c1;
        l.style = Qt::PenStyle(i1);
        item = l;
        break;
    }
    case KindBox: {
        BoxItem b;
        quint8 filled = 0;
        in >> b.rect >> filled >> c1 >> i1 >> c2 >> b.lineWidth;
        if (!validPen(i1))
            return false;
        b.filled = filled != 0;
        b.fill = c1;
        b.lineStyle = Qt::PenStyle(i1);
        b.lineColor = c2;
        item = b;
        break;
    }
    case KindPicture: {
        PictureItem p;
        in >> p.rect >> i1;
        p.scaleMode = i1;
        if (!p.picture.read(in))
            return false;
        item = std::move(p);
        break;
    }
    default:
        return false;
    }
    return in.status() == QDataStream::Ok;
}

bool readItems(QDataStream &in, QList<DisplayItem> &items)
{
    quint32 count = 0;
    in >> count;
    // Every item takes more than a byte, so a count beyond what is left is damage, not a
    // reason to reserve gigabytes.
    if (in.status() != QDataStream::Ok || count > quint32(in.device()->bytesAvailable()))
        return false;
    items.reserve(count);
    for (quint32 i = 0; i < count; ++i) {
        DisplayItem item;
        if (!readItem(in, item))
            return false;
        items.append(std::move(item));
    }
    return true;
}

void writeItems(QDataStream &out, const QList<DisplayItem> &items)
{
    out << quint32(items.size());
    for (const DisplayItem &item : items)
        writeItem(out, item);
}

} // namespace

bool PreviewDocument::write(QIODevice *device) const
{
    if (device->write(rttMagic) != rttMagic.size())
        return false;
    QDataStream out(device);
    out.setVersion(QDataStream::Qt_6_0);
    out << rttVersion << m_title << m_pageSize << m_margins;
    writeFont(out, m_font);
    out << quint32(m_textColor) << quint32(m_pages.size());
    for (int n = 1; n <= pageCount(); ++n) {
        const Page &p = page(n);
        out << p.size;
        writeItems(out, p.items);
        writeItems(out, p.overlay);
    }
    out << rttEndMark;
    return out.status() == QDataStream::Ok;
}

QByteArray PreviewDocument::toBytes() const
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    write(&buffer);
    return bytes;
}

bool PreviewDocument::read(QIODevice *device, QString *error)
{
    auto fail = [error](const QString &why) {
        if (error)
            *error = why;
        return false;
    };
    if (device->read(rttMagic.size()) != rttMagic)
        return fail(QStringLiteral("The file is not a report document."));
    QDataStream in(device);
    in.setVersion(QDataStream::Qt_6_0);
    quint16 version = 0;
    in >> version;
    if (in.status() != QDataStream::Ok)
        return fail(QStringLiteral("The report document is truncated."));
    if (version > rttVersion)
        return fail(
            QStringLiteral("The report document was written in a newer format (%1).").arg(version));

    PreviewDocument doc;
    quint32 color = 0, pages = 0;
    in >> doc.m_title >> doc.m_pageSize >> doc.m_margins;
    readFont(in, doc.m_font);
    in >> color >> pages;
    doc.m_textColor = color;
    const QString damaged = QStringLiteral("The report document is truncated or damaged.");
    if (in.status() != QDataStream::Ok || pages > quint32(device->bytesAvailable()))
        return fail(damaged);
    for (quint32 i = 0; i < pages; ++i) {
        Page p;
        in >> p.size;
        if (in.status() != QDataStream::Ok || !readItems(in, p.items) || !readItems(in, p.overlay))
            return fail(damaged);
        doc.m_pages.append(std::move(p));
        doc.m_packedAs.append(0);
        doc.pack(doc.pageCount());
    }
    quint32 end = 0;
    in >> end;
    if (in.status() != QDataStream::Ok || end != rttEndMark)
        return fail(damaged);
    *this = std::move(doc);
    return true;
}

bool PreviewDocument::fromBytes(const QByteArray &bytes, QString *error)
{
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    return read(&buffer, error);
}

bool PreviewDocument::save(const QString &path, QString *error) const
{
    // Streamed to the file, so a long document is never held a second time as bytes.
    QSaveFile file(path);
    QString why;
    if (!file.open(QIODevice::WriteOnly) || !write(&file) || !CommitFile(file, &why)) {
        if (error)
            *error = QStringLiteral("Cannot write %1: %2")
                         .arg(path, why.isEmpty() ? WriteFailure(file) : why);
        return false;
    }
    return true;
}

namespace {

bool readFile(const QString &path, PreviewDocument &document, QString *error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        if (error)
            *error = QStringLiteral("Cannot open %1: %2").arg(path, file.errorString());
        return false;
    }
    return document.read(&file, error);
}

} // namespace

bool PreviewDocument::load(const QString &path, QString *error)
{
    return readFile(path, *this, error);
}

bool PreviewDocument::append(const QString &path, QString *error)
{
    PreviewDocument other;
    if (!readFile(path, other, error))
        return false;
    append(other);
    return true;
}

void PreviewDocument::append(const PreviewDocument &other)
{
    for (int n = 1; n <= other.pageCount(); ++n) {
        m_pages.append(other.page(n));
        m_packedAs.append(0);
        if (other.m_packedAs.at(n - 1) != 0)
            pack(pageCount());
    }
}

namespace {

// What one heap block costs beside its payload: the container's header and the allocator's.
constexpr qint64 BlockOverhead = 16 + 16;

class MemoryCount
{
public:
    qint64 bytes = 0;

    void string(const QString &s)
    {
        // Literals live in the program; shared copies are counted where first met.
        if (s.capacity() == 0 || !once(s.constData()))
            return;
        bytes += BlockOverhead + (s.capacity() + 1) * qint64(sizeof(QChar));
    }

    void items(const QList<DisplayItem> &list)
    {
        if (list.capacity() > 0)
            bytes += BlockOverhead + list.capacity() * qint64(sizeof(DisplayItem));
        for (const DisplayItem &item : list) {
            if (const auto *t = std::get_if<TextRun>(&item)) {
                string(t->text);
                string(t->font.name);
            } else if (const auto *p = std::get_if<PictureItem>(&item)) {
                picture(p->picture);
            }
        }
    }

private:
    void picture(const Picture &p)
    {
        if (p.isNull())
            return;
        if (p.isVector()) {
            const QPicture v = p.vector();
            if (once(v.data()))
                bytes += BlockOverhead + v.size();
        } else {
            const QImage image = p.image();
            if (!m_images.contains(image.cacheKey())) {
                m_images.insert(image.cacheKey());
                bytes += BlockOverhead + image.sizeInBytes();
            }
        }
    }

    bool once(const void *key)
    {
        if (m_seen.contains(key))
            return false;
        m_seen.insert(key);
        return true;
    }

    QSet<const void *> m_seen;
    QSet<qint64> m_images;
};

} // namespace

qint64 PreviewDocument::memoryEstimate() const
{
    MemoryCount count;
    count.bytes = sizeof(PreviewDocument);
    count.string(m_title);
    count.string(m_font.name);
    if (m_pages.capacity() > 0)
        count.bytes += BlockOverhead + m_pages.capacity() * qint64(sizeof(Page));
    for (const Page &page : m_pages) {
        count.items(page.items);
        count.items(page.overlay);
    }
    if (m_packedAs.capacity() > 0)
        count.bytes += BlockOverhead + m_packedAs.capacity() * qint64(sizeof(int));
    if (m_store)
        count.bytes += m_store->memoryEstimate();
    count.items(m_unpacked.items);
    count.items(m_unpacked.overlay);
    return count.bytes;
}

} // namespace kv6::engine
