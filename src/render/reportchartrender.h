#pragma once

// Fills the chart control from one chart definition and the report's data set. The engine
// formats a chart's section once per occurrence, so one definition can make a run of charts:
// each fill takes the rows from the definition's bookmark up to the next change of its
// NewChartOn column and leaves the bookmark where the next chart starts.

#include <QFont>
#include <QPicture>
#include <QString>

namespace kv6 {

namespace chart {
class Chart;
}

class clsReportChart;
class Recordset;

class clsReportChartRender
{
public:
    enum LegendModes : int { NoLegend = 0, PointLegend = 1, SeriesLegend = 2 };

    // Sets the control's look from the definition: legend, font, chart type, axis titles and
    // label formats. An unsupported chart type or X label format is told to the user, and the
    // chart still counts as set up. Both objects must outlive PopulateChart.
    bool Initialize(chart::Chart &chart, clsReportChart &definition, const QFont &reportFont);

    // Loads the rows of one chart into the control, starting at the definition's bookmark (the
    // first row when it is null). At a change of the NewChartOn column it stops, keeps that row's
    // bookmark and the Y maximum shown in the definition, and the next call goes on from there.
    // False, with the reason, when a column the definition names is missing or a value is not a
    // number; Null values count as 0.
    bool PopulateChart(Recordset &rs, QString *error = nullptr);

    int LegendMode() const { return m_legendMode; }

private:
    chart::Chart *m_chart = nullptr;
    clsReportChart *m_definition = nullptr;
    int m_legendMode = NoLegend;
};

// The picture-scaling mode a layout field showing a chart picture is given: stretch to the field.
inline constexpr int ChartPictureScaling = 10;

// One chart for a layout field `widthTwips` by `heightTwips`: sets up and fills `chart` from the
// definition and the data set, then exports it as a vector picture through a temporary "pgf"
// file, which is removed again. Place the picture with chart::DrawPicture. False, with the
// reason, when the data could not be loaded or the picture written.
bool RenderChartPicture(chart::Chart &chart, clsReportChart &definition, const QFont &reportFont,
    Recordset &data, int widthTwips, int heightTwips, QPicture &picture, QString *error = nullptr);

} // namespace kv6
