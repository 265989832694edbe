#include "engine/graphics.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QDataStream>
#include <QFile>
#include <QFontMetricsF>
#include <QHash>
#include <QImageReader>
#include <QPainter>
#include <QTextLayout>

#include <cmath>
#include <memory>
#include <vector>

namespace kv6::engine {

QColor colorFromBgr(int bgr)
{
    return QColor(bgr & 0xFF, (bgr >> 8) & 0xFF, (bgr >> 16) & 0xFF);
}

QRgb rgbFromBgr(int bgr)
{
    return qRgb(bgr & 0xFF, (bgr >> 8) & 0xFF, (bgr >> 16) & 0xFF);
}

int bgrFromColor(const QColor &color)
{
    return color.red() | (color.green() << 8) | (color.blue() << 16);
}

int bgrFromRgb(QRgb rgb)
{
    return qRed(rgb) | (qGreen(rgb) << 8) | (qBlue(rgb) << 16);
}

QFont FontSpec::toQFont() const
{
    QFont f(name);
    f.setPointSizeF(size > 0 ? size : 9.0);
    f.setBold(bold);
    f.setItalic(italic);
    f.setUnderline(underline);
    f.setStrikeOut(strikeOut);
    return f;
}

FontSpec FontSpec::fromQFont(const QFont &font)
{
    FontSpec s;
    s.name = font.family();
    if (font.pointSizeF() > 0)
        s.size = font.pointSizeF();
    s.bold = font.bold();
    s.italic = font.italic();
    s.underline = font.underline();
    s.strikeOut = font.strikeOut();
    return s;
}

QFont twipsFont(const FontSpec &style)
{
    QFont f(style.name);
    f.setPixelSize(
        std::max(1, int(std::lround((style.size > 0 ? style.size : 9.0) * TwipsPerPoint))));
    f.setBold(style.bold);
    f.setItalic(style.italic);
    f.setUnderline(style.underline);
    f.setStrikeOut(style.strikeOut);
    f.setHintingPreference(QFont::PreferNoHinting);
    return f;
}

namespace {

// Rendering measures the same few fonts and, row after row, many of the same strings (printer
// names, small numbers): building metrics and shaping text are the costly parts, so both are
// kept per font, and per thread, as Qt keeps its font engines: PDF pages are painted on several.
struct FontMetrics
{
    FontSpec font;
    std::unique_ptr<QFontMetricsF> metrics;
    QHash<QString, double> widths;
};

std::vector<std::unique_ptr<FontMetrics>> &metricsCache()
{
    thread_local std::vector<std::unique_ptr<FontMetrics>> cache;
    return cache;
}

// Metrics belong to the application's font engines, so the main thread's go when the
// application does; other threads' go when their thread ends.
void dropMetrics()
{
    metricsCache().clear();
}

// Underline and strike-out change no measure.
bool sameMeasure(const FontSpec &a, const FontSpec &b)
{
    return a.size == b.size && a.bold == b.bold && a.italic == b.italic && a.name == b.name;
}

FontMetrics &metricsFor(const FontSpec &style)
{
    static const bool registered = [] {
        qAddPostRoutine(dropMetrics);
        return true;
    }();
    Q_UNUSED(registered);
    auto &cache = metricsCache();
    for (size_t i = 0; i < cache.size(); ++i) {
        if (sameMeasure(cache[i]->font, style)) {
            // The last one asked for is first next time.
            if (i > 0)
                std::swap(cache[0], cache[i]);
            return *cache[0];
        }
    }
    if (cache.size() >= 64)
        cache.pop_back();
    auto m = std::make_unique<FontMetrics>();
    m->font = style;
    m->metrics = std::make_unique<QFontMetricsF>(twipsFont(style));
    cache.insert(cache.begin(), std::move(m));
    return *cache[0];
}

double advance(FontMetrics &m, const QString &line)
{
    if (auto it = m.widths.constFind(line); it != m.widths.cend())
        return *it;
    // Long texts are seldom met again; a full cache starts afresh.
    const double w = m.metrics->horizontalAdvance(line);
    if (line.size() <= 64) {
        if (m.widths.size() >= 8192)
            m.widths.clear();
        m.widths.insert(line, w);
    }
    return w;
}

QStringList splitLines(const QString &text)
{
    if (!text.contains(u'\n') && !text.contains(u'\r'))
        return { text };
    QString t = text;
    t.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    t.replace(u'\r', u'\n');
    return t.split(u'\n');
}

QString chopTrailingBlanks(QString s)
{
    qsizetype n = s.size();
    while (n > 0 && s.at(n - 1).isSpace())
        --n;
    s.truncate(n);
    return s;
}

} // namespace

double lineHeight(const FontSpec &style)
{
    return metricsFor(style).metrics->lineSpacing();
}

double textWidth(const FontSpec &style, const QString &text)
{
    FontMetrics &m = metricsFor(style);
    if (!text.contains(u'\n') && !text.contains(u'\r'))
        return advance(m, text);
    double w = 0;
    for (const QString &line : splitLines(text))
        w = std::max(w, advance(m, line));
    return w;
}

QStringList wrapText(
    const FontSpec &style, const QString &text, double width, bool wordWrap, bool *fits)
{
    const QStringList paragraphs = splitLines(text);
    if (fits)
        *fits = false;
    if (!wordWrap || width <= 0)
        return paragraphs;
    FontMetrics &m = metricsFor(style);
    QStringList out;
    QFont font;
    bool haveFont = false;
    // Known to fit only when every line was measured whole, as drawing would measure it.
    bool allFit = true;
    for (const QString &para : paragraphs) {
        if (advance(m, para) <= width) {
            out << para;
            continue;
        }
        allFit = false;
        if (!haveFont) {
            font = twipsFont(style);
            haveFont = true;
        }
        QTextLayout layout(para, font);
        QTextOption option;
        option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
        layout.setTextOption(option);
        layout.beginLayout();
        for (;;) {
            QTextLine line = layout.createLine();
            if (!line.isValid())
                break;
            line.setLineWidth(width);
            out << chopTrailingBlanks(para.mid(line.textStart(), line.textLength()));
        }
        layout.endLayout();
    }
    if (fits)
        *fits = allFit;
    return out;
}

// ---- Picture

struct Picture::Data
{
    QImage image;
    QPicture vector;
    bool isVector = false;
    QRectF frame;
    QSizeF size; // twips
};

Picture Picture::fromImage(const QImage &image)
{
    if (image.isNull())
        return {};
    auto d = std::make_shared<Data>();
    d->image = image;
    d->frame = QRectF(QPointF(0, 0), QSizeF(image.size()));
    // Images without a resolution are taken at 96 dpi, the screen's.
    // Resolutions are stored per metre, so 96 dpi reads back as 96.01; whole dots per inch
    // keep sizes in whole twips.
    auto dpi = [](int dotsPerMeter) {
        return dotsPerMeter > 0 ? std::max(1.0, std::round(dotsPerMeter * 0.0254)) : 96.0;
    };
    d->size = QSizeF(image.width() / dpi(image.dotsPerMeterX()) * TwipsPerInch,
        image.height() / dpi(image.dotsPerMeterY()) * TwipsPerInch);
    Picture p;
    p.d = std::move(d);
    return p;
}

Picture Picture::fromVector(const QPicture &picture, const QRectF &frame, const QSizeF &sizeTwips)
{
    if (picture.isNull())
        return {};
    auto d = std::make_shared<Data>();
    d->vector = picture;
    d->isVector = true;
    d->frame = frame.isEmpty() ? QRectF(picture.boundingRect()) : frame;
    if (d->frame.isEmpty())
        return {};
    d->size = sizeTwips.isEmpty() ? d->frame.size() * (TwipsPerInch / 96.0) : sizeTwips;
    Picture p;
    p.d = std::move(d);
    return p;
}

Picture Picture::load(const QString &path, QString *error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        if (error)
            *error = QStringLiteral("Cannot open the picture %1: %2").arg(path, file.errorString());
        return {};
    }
    if (file.peek(4) == QByteArray("QPIC")) {
        QPicture pic;
        if (pic.load(&file)) {
            Picture p = fromVector(pic);
            if (!p.isNull())
                return p;
        }
    } else {
        QImageReader reader(&file);
        const QImage img = reader.read();
        if (!img.isNull())
            return fromImage(img);
    }
    if (error)
        *error = QStringLiteral("The file %1 is not a picture.").arg(path);
    return {};
}

bool Picture::isVector() const
{
    return d && d->isVector;
}

QSizeF Picture::sizeTwips() const
{
    return d ? d->size : QSizeF();
}

QImage Picture::image() const
{
    return d ? d->image : QImage();
}

QPicture Picture::vector() const
{
    return d ? d->vector : QPicture();
}

QRectF Picture::frame() const
{
    return d ? d->frame : QRectF();
}

QRectF Picture::placement(const QRectF &box, int scaleMode) const
{
    if (!d)
        return {};
    switch (scaleMode) {
    case PictureStretch:
        return box;
    case PictureZoom:
    case PictureFit: {
        QSizeF s = d->size;
        s.scale(box.size(), Qt::KeepAspectRatio);
        if (scaleMode == PictureZoom)
            return QRectF(box.topLeft(), s);
        return QRectF(box.left() + (box.width() - s.width()) / 2,
            box.top() + (box.height() - s.height()) / 2, s.width(), s.height());
    }
    default:
        return QRectF(box.topLeft(), d->size);
    }
}

void Picture::paint(QPainter *painter, const QRectF &box, int scaleMode) const
{
    if (!d)
        return;
    const QRectF target = placement(box, scaleMode);
    if (target.isEmpty())
        return;
    painter->save();
    if (scaleMode == PictureClip)
        painter->setClipRect(box, Qt::IntersectClip);
    if (d->isVector) {
        // Played from a copy of its bytes: playing, and even asking a picture its resolution,
        // moves a read position in its data, which pages painted on several threads share.
        QPicture own;
        own.setData(d->vector.data(), d->vector.size());
        painter->translate(target.topLeft());
        painter->scale(target.width() / d->frame.width(), target.height() / d->frame.height());
        painter->translate(-d->frame.topLeft());
        // Playing a QPicture scales by the device's resolution over the picture's own; undo
        // it, since the transform above already maps the picture onto the box.
        if (const QPaintDevice *dev = painter->device()) {
            if (dev->logicalDpiX() > 0 && dev->logicalDpiY() > 0)
                painter->scale(double(own.logicalDpiX()) / dev->logicalDpiX(),
                    double(own.logicalDpiY()) / dev->logicalDpiY());
        }
        painter->drawPicture(QPointF(0, 0), own);
    } else {
        painter->setRenderHint(QPainter::SmoothPixmapTransform);
        painter->drawImage(target, d->image);
    }
    painter->restore();
}

QImage Picture::toImage(const QSize &pixels) const
{
    if (!d || pixels.isEmpty())
        return {};
    if (!d->isVector && d->image.size() == pixels)
        return d->image;
    QImage img(pixels, QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::transparent);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    paint(&p, QRectF(QPointF(0, 0), QSizeF(pixels)), PictureStretch);
    p.end();
    return img;
}

void Picture::write(QDataStream &out) const
{
    if (!d) {
        out << quint8(0);
        return;
    }
    if (d->isVector) {
        out << quint8(2);
        out << QByteArray(d->vector.data(), d->vector.size()) << d->frame << d->size;
        return;
    }
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    d->image.save(&buffer, "PNG");
    out << quint8(1) << png << d->size;
}

bool Picture::read(QDataStream &in)
{
    quint8 kind = 0;
    in >> kind;
    d.reset();
    if (kind == 0)
        return in.status() == QDataStream::Ok;
    QByteArray bytes;
    QRectF frame;
    QSizeF size;
    if (kind == 1) {
        in >> bytes >> size;
        if (in.status() != QDataStream::Ok)
            return false;
        QImage img;
        if (!img.loadFromData(bytes, "PNG"))
            return false;
        Picture p = fromImage(img);
        auto data = std::make_shared<Data>(*p.d);
        data->size = size;
        d = std::move(data);
        return true;
    }
    if (kind == 2) {
        in >> bytes >> frame >> size;
        if (in.status() != QDataStream::Ok || bytes.isEmpty() || frame.isEmpty())
            return false;
        QPicture pic;
        pic.setData(bytes.constData(), uint(bytes.size()));
        *this = fromVector(pic, frame, size);
        return d != nullptr;
    }
    return false;
}

} // namespace kv6::engine
