#include "pagestore_p.h"

#include <cstring>

namespace kv6::engine {

namespace {

enum Kind : quint8 { KindText = 1, KindLine = 2, KindBox = 3, KindPicture = 4 };
enum TextFlags : quint8 { Floats = 1, ClipSame = 2, ClipOwn = 4, Fits = 8 };
// The length that stands for a null text, which a saved document tells from an empty one.
constexpr quint32 NullText = 0xFFFFFFFF;

// The bytes never leave the process, so they are written as the machine holds them.
template<typename T>
void put(QByteArray &out, T value)
{
    out.append(reinterpret_cast<const char *>(&value), sizeof(T));
}

void putRect(QByteArray &out, const QRectF &r, bool floats)
{
    const double v[4] = { r.x(), r.y(), r.width(), r.height() };
    for (double d : v) {
        if (floats)
            put(out, float(d));
        else
            put(out, d);
    }
}

// Twips are mostly whole or halves: four floats hold them exactly in half the room.
bool fitsFloats(const QRectF &r)
{
    for (double d : { r.x(), r.y(), r.width(), r.height() }) {
        if (double(float(d)) != d)
            return false;
    }
    return true;
}

} // namespace

class PackedReader
{
public:
    explicit PackedReader(const QByteArray &bytes)
        : m_p(bytes.constData())
        , m_end(bytes.constData() + bytes.size())
    { }
    bool atEnd() const { return m_p >= m_end; }
    template<typename T>
    T get()
    {
        T value {};
        if (m_end - m_p >= qsizetype(sizeof(T)))
            std::memcpy(&value, m_p, sizeof(T));
        m_p += sizeof(T);
        return value;
    }
    QRectF rect(bool floats)
    {
        double v[4];
        for (double &d : v)
            d = floats ? double(get<float>()) : get<double>();
        return QRectF(v[0], v[1], v[2], v[3]);
    }
    QPointF point()
    {
        const double x = get<double>();
        return QPointF(x, get<double>());
    }
    QString text()
    {
        QString s;
        textInto(s);
        return s;
    }
    // Into a string whose memory is reused when it is large enough and not shared.
    void textInto(QString &s)
    {
        const quint32 n = get<quint32>();
        const qsizetype bytes = qsizetype(n) * qsizetype(sizeof(QChar));
        if (n == NullText || m_end - m_p < bytes) {
            if (n != NullText)
                m_p = m_end;
            s = QString();
            return;
        }
        if (n == 0) {
            s = QString(reinterpret_cast<const QChar *>(m_p), 0); // empty, not null
            return;
        }
        s.resize(qsizetype(n));
        std::memcpy(s.data(), m_p, size_t(bytes));
        m_p += bytes;
    }

private:
    const char *m_p;
    const char *m_end;
};

quint16 PageStore::fontIndex(const FontSpec &font)
{
    // A report uses a handful of fonts, and runs in a row mostly share one.
    for (qsizetype i = m_fonts.size() - 1; i >= 0; --i) {
        if (m_fonts.at(i) == font)
            return quint16(i);
    }
    if (m_fonts.size() >= 0xFFFF)
        m_fonts.clear(); // never met in a report; kept from overflowing all the same
    m_fonts.append(font);
    return quint16(m_fonts.size() - 1);
}

void PageStore::pack(const QList<DisplayItem> &items, QByteArray &out)
{
    for (const DisplayItem &item : items) {
        if (const auto *t = std::get_if<TextRun>(&item)) {
            // Compared exactly: QRectF's own == is fuzzy.
            const bool same = t->clip.x() == t->rect.x() && t->clip.y() == t->rect.y()
                && t->clip.width() == t->rect.width() && t->clip.height() == t->rect.height();
            quint8 flags = same ? ClipSame : ClipOwn;
            const bool floats = fitsFloats(t->rect) && (!(flags & ClipOwn) || fitsFloats(t->clip));
            if (floats)
                flags |= Floats;
            if (t->fits)
                flags |= Fits;
            put(out, quint8(KindText));
            put(out, flags);
            put(out, fontIndex(t->font));
            put(out, quint32(t->color));
            put(out, quint32(t->alignment.toInt()));
            putRect(out, t->rect, floats);
            if (flags & ClipOwn)
                putRect(out, t->clip, floats);
            put(out, t->text.isNull() ? NullText : quint32(t->text.size()));
            out.append(reinterpret_cast<const char *>(t->text.constData()),
                t->text.size() * qsizetype(sizeof(QChar)));
        } else if (const auto *l = std::get_if<LineItem>(&item)) {
            put(out, quint8(KindLine));
            put(out, l->from.x());
            put(out, l->from.y());
            put(out, l->to.x());
            put(out, l->to.y());
            put(out, quint32(l->color));
            put(out, l->width);
            put(out, qint32(l->style));
        } else if (const auto *b = std::get_if<BoxItem>(&item)) {
            put(out, quint8(KindBox));
            putRect(out, b->rect, false);
            put(out, quint8(b->filled));
            put(out, quint32(b->fill));
            put(out, qint32(b->lineStyle));
            put(out, quint32(b->lineColor));
            put(out, b->lineWidth);
        } else if (const auto *p = std::get_if<PictureItem>(&item)) {
            // The same chart or logo on page after page is one shared picture.
            if (m_pictures.isEmpty() || !(m_pictures.last() == p->picture))
                m_pictures.append(p->picture);
            put(out, quint8(KindPicture));
            putRect(out, p->rect, false);
            put(out, qint32(p->scaleMode));
            put(out, quint32(m_pictures.size() - 1));
        }
    }
    out.squeeze();
}

const DisplayItem *PageStore::next(PackedReader &in, DisplayItem (&reused)[4]) const
{
    if (in.atEnd())
        return nullptr;
    switch (in.get<quint8>()) {
    case KindText: {
        TextRun &t = std::get<TextRun>(reused[0]);
        const quint8 flags = in.get<quint8>();
        t.font = m_fonts.value(in.get<quint16>());
        t.color = in.get<quint32>();
        t.alignment = Qt::Alignment::fromInt(int(in.get<quint32>()));
        t.rect = in.rect(flags & Floats);
        t.clip = (flags & ClipOwn) ? in.rect(flags & Floats) : t.rect;
        in.textInto(t.text);
        t.fits = flags & Fits;
        for (const auto &[marker, text] : m_replacements)
            if (t.text.contains(marker)) {
                t.text.replace(marker, text);
                t.fits = false;
            }
        return &reused[0];
    }
    case KindLine: {
        LineItem &l = std::get<LineItem>(reused[1]);
        l.from = in.point();
        l.to = in.point();
        l.color = in.get<quint32>();
        l.width = in.get<double>();
        l.style = Qt::PenStyle(in.get<qint32>());
        return &reused[1];
    }
    case KindBox: {
        BoxItem &b = std::get<BoxItem>(reused[2]);
        b.rect = in.rect(false);
        b.filled = in.get<quint8>() != 0;
        b.fill = in.get<quint32>();
        b.lineStyle = Qt::PenStyle(in.get<qint32>());
        b.lineColor = in.get<quint32>();
        b.lineWidth = in.get<double>();
        return &reused[2];
    }
    case KindPicture: {
        PictureItem &p = std::get<PictureItem>(reused[3]);
        p.rect = in.rect(false);
        p.scaleMode = in.get<qint32>();
        p.picture = m_pictures.value(qsizetype(in.get<quint32>()));
        return &reused[3];
    }
    default:
        return nullptr; // only what pack wrote is read here
    }
}

namespace {

void fillReused(DisplayItem (&reused)[4])
{
    reused[0] = TextRun();
    reused[1] = LineItem();
    reused[2] = BoxItem();
    reused[3] = PictureItem();
}

} // namespace

void PageStore::unpack(const QByteArray &bytes, QList<DisplayItem> &items) const
{
    PackedReader in(bytes);
    DisplayItem reused[4];
    fillReused(reused);
    while (const DisplayItem *item = next(in, reused)) {
        // The list keeps its own copy; the text's memory goes with it.
        items.append(*item);
        if (item == &reused[0])
            std::get<TextRun>(reused[0]).text = QString();
    }
}

void PageStore::visit(int number, const std::function<void(const DisplayItem &)> &visit) const
{
    const Packed &p = m_pages.at(number - 1);
    DisplayItem reused[4];
    fillReused(reused);
    for (const QByteArray *bytes : { &p.items, &p.overlay }) {
        PackedReader in(*bytes);
        while (const DisplayItem *item = next(in, reused))
            visit(*item);
    }
}

void PageStore::add(PreviewDocument::Page &page)
{
    if (takePages) {
        takePages(page);
        page.items = {};
        page.overlay = {};
        ++m_taken;
        return;
    }
    Packed p;
    p.size = page.size;
    pack(page.items, p.items);
    pack(page.overlay, p.overlay);
    page.items = {};
    page.overlay = {};
    m_pages.append(std::move(p));
}

PreviewDocument::Page PageStore::page(int number) const
{
    const Packed &p = m_pages.at(number - 1);
    PreviewDocument::Page out;
    out.size = p.size;
    unpack(p.items, out.items);
    unpack(p.overlay, out.overlay);
    return out;
}

qint64 PageStore::memoryEstimate() const
{
    // What one heap block costs beside its payload: the container's header and the allocator's.
    constexpr qint64 Block = 16 + 16;
    qint64 bytes = Block + m_pages.capacity() * qint64(sizeof(Packed));
    for (const Packed &p : m_pages)
        bytes += (p.items.capacity() > 0 ? Block + p.items.capacity() : 0)
            + (p.overlay.capacity() > 0 ? Block + p.overlay.capacity() : 0);
    for (const FontSpec &f : m_fonts)
        bytes += Block + f.name.capacity() * qint64(sizeof(QChar));
    for (const Picture &p : m_pictures) {
        if (p.isVector())
            bytes += Block + p.vector().size();
        else if (!p.isNull())
            bytes += Block + p.image().sizeInBytes();
    }
    return bytes;
}

void PageStore::replaceText(const QString &marker, const QString &text)
{
    m_replacements.append({ marker, text });
}

void PageStore::drop(int number)
{
    Packed &p = m_pages[number - 1];
    p.items = {};
    p.overlay = {};
}

} // namespace kv6::engine
