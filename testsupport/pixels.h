#pragma once

// Looking at drawn images: pixels near a colour, where they are and how many.

#include <QColor>
#include <QImage>

#include <cstdlib>

namespace kv6test {

inline bool is(QRgb px, const QColor &c, int tolerance = 12)
{
    return std::abs(qRed(px) - c.red()) <= tolerance
        && std::abs(qGreen(px) - c.green()) <= tolerance
        && std::abs(qBlue(px) - c.blue()) <= tolerance;
}

// Bounding box of the pixels of a colour, optionally within a region.
inline QRect bounds(const QImage &img, const QColor &c, QRect region = {})
{
    if (region.isNull())
        region = img.rect();
    QRect box;
    for (int y = region.top(); y <= region.bottom(); ++y)
        for (int x = region.left(); x <= region.right(); ++x)
            if (is(img.pixel(x, y), c))
                box |= QRect(x, y, 1, 1);
    return box;
}

inline int count(const QImage &img, const QColor &c, QRect region = {})
{
    if (region.isNull())
        region = img.rect();
    int n = 0;
    for (int y = region.top(); y <= region.bottom(); ++y)
        for (int x = region.left(); x <= region.right(); ++x)
            n += is(img.pixel(x, y), c);
    return n;
}

} // namespace kv6test
