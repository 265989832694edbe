#pragma once

// The chart control the report renderer drives. It holds a grid of values by series and point
// (with optional X values), the legend and axis texts, and the look chosen by numeric codes; it
// draws bars and lines straight with QPainter and pies with Qt Charts, into any painter, or exports
// it as a picture for a layout field.
//
// Codes the renderer passes:
//   gallery          1 lines, 2 bars (stacked when `setStacked(true)`), 5 pie
//   data kinds       1 Y values, 6 X values
//   legend docking   513 left, 515 right, 256 top, 258 bottom (the high byte picks the pair of
//                    edges, vertical 2 or horizontal 1; the low bits the near or far one); any
//                    other code docks right
//   label formats    0 general (as many decimals as the tick step needs), 4 thousands separated,
//                    7 dates (numbers read as day serials counted from 30 Dec 1899; texts that
//                    read as ISO dates are shown in the short date form)
//   export formats   3 a vector picture (QPicture file; QPainter::drawPicture replays it, so it
//                    stays sharp in PDF), 2 a PNG at 300 dpi
//
// Sizes are in twips (1440 per inch), the unit of the report layout. Drawing lays the chart out
// at 96 dots per inch of that size, so the picture's bounding rectangle is width/15 by
// height/15; fonts are set in those units, which keeps text in proportion however the picture is
// scaled afterwards. Place a loaded picture with DrawPicture below, not QPainter::drawPicture.
//
// The scale follows the data and the settings at once: nothing needs re-adjusting after a resize
// or a new maximum. Drawing needs a QApplication (the offscreen platform will do).

#include <QColor>
#include <QFont>
#include <QImage>
#include <QPicture>
#include <QString>
#include <QStringList>

#include <limits>
#include <memory>

class QPainter;
class QRectF;

namespace kv6::chart {

enum DataKind : int { ValuesData = 1, XValuesData = 6 };
// The point count for openData when points grow as they are set.
inline constexpr int OpenEnded = -1;
// What value() and xValue() return for a point that was never set. Such points are not drawn
// (a null in the data is the renderer's to turn into 0).
inline constexpr double NoValue = std::numeric_limits<double>::quiet_NaN();

enum Gallery : int { LinesGallery = 1, BarGallery = 2, PieGallery = 5 };
enum Docking : int { DockLeft = 513, DockRight = 515, DockTop = 256, DockBottom = 258 };
enum LabelFormat : int { GeneralFormat = 0, ThousandsFormat = 4, DateFormat = 7 };
enum ExportFormat : int { PngExport = 2, PictureExport = 3 };

// Axis style bit: the axis draws no tick labels (the renderer sets it when no column labels or
// places the points).
inline constexpr quint32 AxisNoLabels = 0x1;

class Chart;

// The value range and tick step an axis shows.
struct Scale
{
    double minimum = 0;
    double maximum = 1;
    double step = 0.2;
};

class Axis
{
public:
    Axis(const Axis &) = delete;
    Axis &operator=(const Axis &) = delete;

    void setTitle(const QString &text) { m_title = text; }
    QString title() const { return m_title; }

    // Degrees counter-clockwise: 0 horizontal, 90 reads upwards, 270 downwards. Other angles are
    // refused and the current one kept.
    bool setLabelAngle(int degrees);
    int labelAngle() const { return m_angle; }

    // One of the label format codes; unknown codes are refused.
    bool setLabelFormat(int code);
    int labelFormat() const { return m_format; }

    void setStyleFlags(quint32 flags) { m_style = flags; }
    quint32 styleFlags() const { return m_style; }

    // Texts under the points of the X axis (categories); empty ones fall back to the point's
    // legend text or its number.
    void setLabel(int point, const QString &text);
    QString label(int point) const { return m_labels.value(point); }
    int labelCount() const { return m_labels.size(); }
    void clearLabels() { m_labels.clear(); }

    // With automatic scaling the range follows the data as it is set (so maximum() read while
    // data is still coming in reports the scale for the values so far); otherwise it runs from
    // the data's minimum (0 for non-negative data) to the fixed maximum. A fixed maximum that is
    // not above that minimum falls back to automatic scaling.
    void setAutoScale(bool on) { m_auto = on; }
    bool autoScale() const { return m_auto; }
    void setMaximum(double value) { m_fixedMax = value; }
    double maximum() const { return scale().maximum; }
    double minimum() const { return scale().minimum; }
    // The scale drawn, with about `intervals` steps.
    Scale scale(int intervals = 5) const;

private:
    friend class Chart;
    Axis(const Chart *chart, bool isX)
        : m_chart(chart)
        , m_isX(isX)
    { }

    const Chart *m_chart;
    bool m_isX;
    QString m_title;
    int m_angle = 0;
    int m_format = GeneralFormat;
    quint32 m_style = 0;
    QStringList m_labels;
    bool m_auto = true;
    double m_fixedMax = 0;
};

// Where a legend sits and whether it is drawn in a frame.
class LegendBox
{
public:
    // One of the docking codes; any other code is kept as given and docks right.
    void setDocking(int code) { m_docking = code; }
    int docking() const { return m_docking; }
    void setFramed(bool on) { m_framed = on; }
    bool framed() const { return m_framed; }

private:
    int m_docking = DockRight;
    bool m_framed = false;
};

class Chart
{
public:
    Chart();
    ~Chart();
    Chart(const Chart &) = delete;
    Chart &operator=(const Chart &) = delete;

    // Gallery code; unknown codes are refused and the current gallery kept.
    bool setGallery(int code);
    int gallery() const;
    // Bars of the series on top of each other instead of side by side.
    void setStacked(bool on);
    bool stacked() const;
    // One colour per point instead of per series; honoured for bars when there is one series
    // (pies always colour their slices).
    void setPointColors(bool on);
    bool pointColors() const;
    // Share of each point's slot the bars fill, in percent (1-100).
    void setBarWidth(int percent);
    int barWidth() const;

    // The report font. The character set is the Windows code kept with report fonts; glyphs come
    // from fontconfig, which substitutes a covering font on its own.
    void setFont(const QString &name, double pointSize, int charset = 0);
    QFont font() const;
    int charset() const;

    void setSize(int widthTwips, int heightTwips);
    int width() const;
    int height() const;

    // Forgets values, X values, legend texts and axis labels; the look stays.
    void clearData();
    // Dimensions the values of one kind and clears them: `seriesCount` >= 1, `pointCount` >= 0
    // or OpenEnded. Values of a kind can only be set while it is open.
    bool openData(int kind, int seriesCount, int pointCount = OpenEnded);
    bool closeData(int kind);
    bool isOpen(int kind) const;

    int seriesCount() const;
    // Points of the longest series: the fixed count, or one past the highest point set.
    int pointCount() const;
    bool hasXValues() const;

    // False outside the open dimensions (or when the kind is not open).
    bool setValue(int series, int point, double value);
    double value(int series, int point) const;
    bool setXValue(int series, int point, double value);
    double xValue(int series, int point) const;

    void setPointLegend(int point, const QString &text);
    QString pointLegend(int point) const;
    void setSeriesLegend(int series, const QString &text);
    QString seriesLegend(int series) const;

    // Only one legend is drawn: the series legend when both are switched on.
    void setPointLegendVisible(bool on);
    bool pointLegendVisible() const;
    void setSeriesLegendVisible(bool on);
    bool seriesLegendVisible() const;
    LegendBox &pointLegendBox();
    const LegendBox &pointLegendBox() const;
    LegendBox &seriesLegendBox();
    const LegendBox &seriesLegendBox() const;

    Axis &xAxis();
    const Axis &xAxis() const;
    Axis &yAxis();
    const Axis &yAxis() const;

    // Draws the whole chart scaled into `target`.
    void paint(QPainter *painter, const QRectF &target) const;
    // The chart as vector drawing commands, bounding rectangle (0, 0, width/15, height/15).
    QPicture picture() const;
    // The chart rasterised at `dpi`, with that resolution recorded in the image.
    QImage image(int dpi = 300) const;
    // Writes the chart in an export format; false with the reason in `error` when it cannot.
    bool exportToFile(int format, const QString &path, QString *error = nullptr) const;

private:
    friend class Axis;
    struct Private;
    std::unique_ptr<Private> d;
};

// Draws a picture (as exported) scaled into `target` on any device. QPainter::drawPicture alone
// enlarges a picture by the device's resolution over the screen's (12.5 times in a 1200 dpi PDF);
// this undoes that, so the picture fills the target in the painter's own units.
void DrawPicture(QPainter *painter, const QPicture &picture, const QRectF &target);

// The colour of series (or point) `index`, repeating after ten.
QColor PaletteColour(int index);

// Tick ranges and label texts, shared by the drawing and open to tests.
Scale NiceScale(double low, double high, int intervals = 5);
Scale FixedScale(double low, double maximum, int intervals = 5);
QString FormatAxisValue(double value, int formatCode, double step);
QString FormatCategoryLabel(const QString &text, int formatCode);

} // namespace kv6::chart
