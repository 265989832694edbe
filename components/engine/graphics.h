#pragma once

// Drawing pieces shared by the preview document and the report engine: fonts described apart
// from any device, pictures that stay vector when they were drawn as vector, and text measured
// in twips, so a page lays out the same on screen, on paper and in PDF.

#include <QColor>
#include <QFont>
#include <QImage>
#include <QPicture>
#include <QRectF>
#include <QString>
#include <QStringList>

#include <memory>

class QDataStream;
class QPainter;

namespace kv6::engine {

inline constexpr double TwipsPerInch = 1440.0;
inline constexpr double TwipsPerPoint = 20.0;

// Colours as the layouts and scripts write them: 0x00BBGGRR (red in the low byte).
QColor colorFromBgr(int bgr);
QRgb rgbFromBgr(int bgr);
int bgrFromColor(const QColor &color);
int bgrFromRgb(QRgb rgb);

struct FontSpec
{
    QString name = QStringLiteral("Arial");
    double size = 9.0; // points
    bool bold = false;
    bool italic = false;
    bool underline = false;
    bool strikeOut = false;
    // Kept for the host's sake; fontconfig picks glyphs by coverage, so Cyrillic needs no
    // character set to print.
    int charset = 0;

    // A point-sized font, for widgets and dialogs.
    QFont toQFont() const;
    static FontSpec fromQFont(const QFont &font);
    friend bool operator==(const FontSpec &, const FontSpec &) = default;
};

// The font sized in twips (20 per point) with hinting off: drawn into a painter whose unit is the
// twip, it measures the same whatever the device.
QFont twipsFont(const FontSpec &style);
double lineHeight(const FontSpec &style);
// Width of the widest line of the text, in twips.
double textWidth(const FontSpec &style, const QString &text);
// Breaks the text into the lines it occupies in a box `width` twips wide. Line ends in the text
// always break; without wordWrap (or without a width) nothing else does. `fits`, when given,
// says whether every line was measured whole and found to fit.
QStringList wrapText(
    const FontSpec &style, const QString &text, double width, bool wordWrap, bool *fits = nullptr);

// How a picture fills its box.
enum PictureScale : int {
    PictureClip = 0, // natural size at the top left, cut at the box
    PictureStretch = 1, // fills the box, proportions ignored
    PictureZoom = 2, // as large as fits keeping proportions, at the top left
    PictureFit = 10, // as large as fits keeping proportions, centred (charts)
};

// An image, or a vector drawing kept as one so charts stay sharp at any zoom and in PDF.
// Implicitly shared; a default-constructed picture is null.
class Picture
{
public:
    Picture() = default;
    static Picture fromImage(const QImage &image);
    // `frame` is the part of the drawing's coordinates that makes up the picture (its bounding
    // rectangle when empty); `sizeTwips` its natural size (the frame at 96 units per inch when
    // empty).
    static Picture fromVector(
        const QPicture &picture, const QRectF &frame = {}, const QSizeF &sizeTwips = {});
    // A QPicture file, or any image format Qt reads.
    static Picture load(const QString &path, QString *error = nullptr);

    bool isNull() const { return !d; }
    bool isVector() const;
    QSizeF sizeTwips() const;
    QImage image() const;
    QPicture vector() const;
    QRectF frame() const;

    // Where the picture lands inside `box` for a scaling mode (it may reach outside the box for
    // PictureClip, which the caller clips).
    QRectF placement(const QRectF &box, int scaleMode) const;
    void paint(QPainter *painter, const QRectF &box, int scaleMode) const;
    // A raster copy of the whole picture at the given pixel size.
    QImage toImage(const QSize &pixels) const;

    friend bool operator==(const Picture &a, const Picture &b) { return a.d == b.d; }

    void write(QDataStream &out) const;
    bool read(QDataStream &in);

private:
    struct Data;
    std::shared_ptr<const Data> d;
};

} // namespace kv6::engine
