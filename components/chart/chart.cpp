#include "chart/chart.h"

#include "chart_p.h"

#include "base/textfile.h"

#include <QBuffer>
#include <QFile>
#include <QPainter>
#include <QRectF>
#include <QSaveFile>

#include <algorithm>
#include <cmath>

namespace kv6::chart {

void ValueGrid::dimension(int seriesCount, int pointCount)
{
    series = seriesCount;
    fixedPoints = pointCount;
    rows.assign(seriesCount, std::vector<double>(pointCount > 0 ? pointCount : 0, NoValue));
}

void ValueGrid::clear()
{
    open = false;
    series = 0;
    fixedPoints = OpenEnded;
    rows.clear();
}

bool ValueGrid::set(int s, int p, double v)
{
    if (!open || s < 0 || s >= series || p < 0)
        return false;
    auto &row = rows[s];
    if (fixedPoints >= 0 && p >= fixedPoints)
        return false;
    if (p >= int(row.size()))
        row.resize(p + 1, NoValue);
    row[p] = v;
    return true;
}

double ValueGrid::get(int s, int p) const
{
    if (s < 0 || s >= series || p < 0 || p >= int(rows[s].size()))
        return NoValue;
    return rows[s][p];
}

int ValueGrid::points() const
{
    if (fixedPoints >= 0)
        return fixedPoints;
    size_t n = 0;
    for (const auto &row : rows)
        n = std::max(n, row.size());
    return int(n);
}

bool ValueGrid::anySet() const
{
    for (const auto &row : rows)
        for (double v : row)
            if (!std::isnan(v))
                return true;
    return false;
}

ValueGrid *Chart::Private::grid(int kind)
{
    if (kind == ValuesData)
        return &values;
    if (kind == XValuesData)
        return &xValues;
    return nullptr;
}

void Chart::Private::valueRange(double &low, double &high) const
{
    low = 0;
    high = 0;
    const bool sums = gallery == BarGallery && stacked;
    const int n = values.points();
    for (int p = 0; p < n; ++p) {
        double up = 0, down = 0;
        for (int s = 0; s < values.series; ++s) {
            const double v = values.get(s, p);
            if (std::isnan(v))
                continue;
            if (sums) {
                (v > 0 ? up : down) += v;
            } else {
                up = std::max(up, v);
                down = std::min(down, v);
            }
        }
        high = std::max(high, up);
        low = std::min(low, down);
    }
}

void Chart::Private::xRange(double &low, double &high) const
{
    bool any = false;
    for (const auto &row : xValues.rows)
        for (double v : row) {
            if (std::isnan(v))
                continue;
            low = any ? std::min(low, v) : v;
            high = any ? std::max(high, v) : v;
            any = true;
        }
    if (!any) {
        low = 0;
        high = std::max(0, std::max(values.points(), xValues.points()) - 1);
    }
}

bool Axis::setLabelAngle(int degrees)
{
    if (degrees != 0 && degrees != 90 && degrees != 270)
        return false;
    m_angle = degrees;
    return true;
}

bool Axis::setLabelFormat(int code)
{
    if (code != GeneralFormat && code != ThousandsFormat && code != DateFormat)
        return false;
    m_format = code;
    return true;
}

void Axis::setLabel(int point, const QString &text)
{
    if (point < 0)
        return;
    while (m_labels.size() <= point)
        m_labels.append(QString());
    m_labels[point] = text;
}

Scale Axis::scale(int intervals) const
{
    double low = 0, high = 0;
    if (m_isX)
        m_chart->d->xRange(low, high);
    else
        m_chart->d->valueRange(low, high);
    Scale s = !m_auto && m_fixedMax > low ? FixedScale(low, m_fixedMax, intervals)
                                          : NiceScale(low, high, intervals);
    // A date axis ticks whole days at the finest.
    if (m_format == DateFormat && s.step < 1) {
        s.step = 1;
        s.minimum = std::floor(s.minimum);
        if (m_auto || !(m_fixedMax > low))
            s.maximum = std::max(std::ceil(s.maximum), s.minimum + 1);
    }
    return s;
}

Chart::Chart()
    : d(std::make_unique<Private>(this))
{
    d->font = QFont(QStringLiteral("Arial"));
    d->font.setPointSizeF(8);
}

Chart::~Chart() = default;

bool Chart::setGallery(int code)
{
    if (code != LinesGallery && code != BarGallery && code != PieGallery)
        return false;
    d->gallery = code;
    return true;
}

int Chart::gallery() const
{
    return d->gallery;
}
void Chart::setStacked(bool on)
{
    d->stacked = on;
}
bool Chart::stacked() const
{
    return d->stacked;
}
void Chart::setPointColors(bool on)
{
    d->pointColors = on;
}
bool Chart::pointColors() const
{
    return d->pointColors;
}
void Chart::setBarWidth(int percent)
{
    d->barWidth = std::clamp(percent, 1, 100);
}
int Chart::barWidth() const
{
    return d->barWidth;
}

void Chart::setFont(const QString &name, double pointSize, int charset)
{
    QFont f(name);
    f.setPointSizeF(pointSize > 0 ? pointSize : 8);
    d->font = f;
    d->charset = charset;
}

QFont Chart::font() const
{
    return d->font;
}
int Chart::charset() const
{
    return d->charset;
}

void Chart::setSize(int widthTwips, int heightTwips)
{
    // Below a quarter inch Qt Charts has no room for its own margins.
    d->widthTwips = std::max(widthTwips, 360);
    d->heightTwips = std::max(heightTwips, 360);
}

int Chart::width() const
{
    return d->widthTwips;
}
int Chart::height() const
{
    return d->heightTwips;
}

void Chart::clearData()
{
    d->values.clear();
    d->xValues.clear();
    d->pointLegends.clear();
    d->seriesLegends.clear();
    d->xAxis.clearLabels();
    d->yAxis.clearLabels();
}

bool Chart::openData(int kind, int seriesCount, int pointCount)
{
    ValueGrid *g = d->grid(kind);
    if (!g || seriesCount < 1 || pointCount < OpenEnded)
        return false;
    g->dimension(seriesCount, pointCount);
    g->open = true;
    return true;
}

bool Chart::closeData(int kind)
{
    ValueGrid *g = d->grid(kind);
    if (!g || !g->open)
        return false;
    g->open = false;
    return true;
}

bool Chart::isOpen(int kind) const
{
    ValueGrid *g = d->grid(kind);
    return g && g->open;
}

int Chart::seriesCount() const
{
    return d->values.series > 0 ? d->values.series : d->xValues.series;
}
int Chart::pointCount() const
{
    return std::max(d->values.points(), d->xValues.points());
}
bool Chart::hasXValues() const
{
    return d->xValues.anySet();
}
bool Chart::setValue(int series, int point, double value)
{
    return d->values.set(series, point, value);
}
double Chart::value(int series, int point) const
{
    return d->values.get(series, point);
}

bool Chart::setXValue(int series, int point, double value)
{
    return d->xValues.set(series, point, value);
}

double Chart::xValue(int series, int point) const
{
    return d->xValues.get(series, point);
}

static void setAt(QStringList &list, int index, const QString &text)
{
    if (index < 0)
        return;
    while (list.size() <= index)
        list.append(QString());
    list[index] = text;
}

void Chart::setPointLegend(int point, const QString &text)
{
    setAt(d->pointLegends, point, text);
}
QString Chart::pointLegend(int point) const
{
    return d->pointLegends.value(point);
}
void Chart::setSeriesLegend(int series, const QString &text)
{
    setAt(d->seriesLegends, series, text);
}
QString Chart::seriesLegend(int series) const
{
    return d->seriesLegends.value(series);
}
void Chart::setPointLegendVisible(bool on)
{
    d->pointLegendOn = on;
}
bool Chart::pointLegendVisible() const
{
    return d->pointLegendOn;
}
void Chart::setSeriesLegendVisible(bool on)
{
    d->seriesLegendOn = on;
}
bool Chart::seriesLegendVisible() const
{
    return d->seriesLegendOn;
}
LegendBox &Chart::pointLegendBox()
{
    return d->pointBox;
}
const LegendBox &Chart::pointLegendBox() const
{
    return d->pointBox;
}
LegendBox &Chart::seriesLegendBox()
{
    return d->seriesBox;
}
const LegendBox &Chart::seriesLegendBox() const
{
    return d->seriesBox;
}
Axis &Chart::xAxis()
{
    return d->xAxis;
}
const Axis &Chart::xAxis() const
{
    return d->xAxis;
}
Axis &Chart::yAxis()
{
    return d->yAxis;
}
const Axis &Chart::yAxis() const
{
    return d->yAxis;
}

void Chart::paint(QPainter *painter, const QRectF &target) const
{
    RenderChart(*this, painter, target);
}

static QSizeF sceneSize(const Chart &chart)
{
    return QSizeF(chart.width() / TwipsPerSceneUnit, chart.height() / TwipsPerSceneUnit);
}

QPicture Chart::picture() const
{
    const QSizeF size = sceneSize(*this);
    const QRect bounds(0, 0, qRound(size.width()), qRound(size.height()));
    QPicture pic;
    QPainter p(&pic);
    RenderChart(*this, &p, QRectF(bounds));
    p.end();
    pic.setBoundingRect(bounds);
    return pic;
}

QImage Chart::image(int dpi) const
{
    dpi = std::clamp(dpi, 24, 2400);
    const QSize px(qRound(width() * dpi / 1440.0), qRound(height() * dpi / 1440.0));
    QImage img(px, QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::white);
    {
        QPainter p(&img);
        RenderChart(*this, &p, QRectF(QPointF(0, 0), QSizeF(px)));
    }
    // Recorded only now: a resolution set before painting would also resize the fonts.
    const int dpm = qRound(dpi / 0.0254);
    img.setDotsPerMeterX(dpm);
    img.setDotsPerMeterY(dpm);
    return img;
}

void DrawPicture(QPainter *painter, const QPicture &picture, const QRectF &target)
{
    const QRect b = picture.boundingRect();
    if (b.isEmpty() || !painter->device())
        return;
    const QPaintDevice *device = painter->device();
    const double sx = target.width() / b.width() * picture.logicalDpiX() / device->logicalDpiX();
    const double sy = target.height() / b.height() * picture.logicalDpiY() / device->logicalDpiY();
    painter->save();
    painter->translate(target.topLeft());
    painter->scale(sx, sy);
    painter->drawPicture(-b.topLeft(), picture);
    painter->restore();
}

bool Chart::exportToFile(int format, const QString &path, QString *error) const
{
    auto fail = [&](const QString &why) {
        if (error)
            *error = why;
        return false;
    };
    if (format == PictureExport) {
        // Serialised first: QPicture::save does not report a write that failed.
        QBuffer bytes;
        bytes.open(QIODevice::WriteOnly);
        QPicture pic = picture();
        QSaveFile file(path);
        QString why;
        if (!pic.save(&bytes) || !file.open(QIODevice::WriteOnly)
            || !WriteAndCommit(file, bytes.data(), &why))
            return fail(QStringLiteral("Cannot write the picture file %1: %2")
                            .arg(path, why.isEmpty() ? file.errorString() : why));
        return true;
    }
    if (format == PngExport) {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly))
            return fail(file.errorString());
        if (!image(300).save(&file, "PNG"))
            return fail(QStringLiteral("Cannot write the image file %1.").arg(path));
        return true;
    }
    return fail(QStringLiteral("Export format %1 is not supported.").arg(format));
}

} // namespace kv6::chart
