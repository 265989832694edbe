#pragma once

// The data behind Chart, shared by the model and the drawing.

#include "chart/chart.h"

#include <vector>

namespace kv6::chart {

// Values of one kind by series and point; NoValue marks a point never set.
struct ValueGrid
{
    bool open = false;
    int series = 0;
    int fixedPoints = OpenEnded;
    std::vector<std::vector<double>> rows;

    void dimension(int seriesCount, int pointCount);
    void clear();
    bool set(int s, int p, double v);
    double get(int s, int p) const;
    int points() const;
    bool anySet() const;
};

struct Chart::Private
{
    explicit Private(const Chart *owner)
        : xAxis(owner, true)
        , yAxis(owner, false)
    { }

    int gallery = BarGallery;
    bool stacked = false;
    bool pointColors = false;
    int barWidth = 80;
    QFont font;
    int charset = 0;
    int widthTwips = 5760;
    int heightTwips = 4320;

    ValueGrid values;
    ValueGrid xValues;
    QStringList pointLegends;
    QStringList seriesLegends;
    bool pointLegendOn = false;
    bool seriesLegendOn = false;
    LegendBox pointBox;
    LegendBox seriesBox;
    Axis xAxis;
    Axis yAxis;

    ValueGrid *grid(int kind);
    // The extent of the data an axis has to show: stacked bars add up per point.
    void valueRange(double &low, double &high) const;
    void xRange(double &low, double &high) const;
};

// Scene units per inch: the chart is laid out at this resolution of its size in twips.
inline constexpr double SceneDpi = 96.0;
inline constexpr double TwipsPerSceneUnit = 1440.0 / SceneDpi;

// Draws the chart's scene into the painter, scene rectangle (0, 0, w, h) mapped onto `target`.
void RenderChart(const Chart &chart, QPainter *painter, const QRectF &target);

} // namespace kv6::chart
