#include "render/reportchartrender.h"

#include "app/branding.h"
#include "base/dialogs.h"
#include "base/paths.h"
#include "base/textfile.h"
#include "chart/chart.h"
#include "recordset/recordset.h"
#include "report/reportchart.h"

#include <QFile>

namespace kv6 {

namespace {

using namespace kv6::chart;

// The X axis style every chart starts from; the no-labels bit is added when nothing labels the
// points.
constexpr quint32 XAxisStyle = 0xE03828;

int legendDocking(int legendPosition)
{
    switch (legendPosition) {
    case 0:
        return DockLeft;
    case 1:
        return DockRight;
    case 2:
        return DockTop;
    case 3:
        return DockBottom;
    default:
        return -1;
    }
}

// A column the definition names, as an index into the record set; -1 for no column.
struct Column
{
    QString name;
    int index = -1;
    bool used() const { return index >= 0; }
};

struct SeriesColumns
{
    QString label;
    Column x;
    Column y;
};

// Break and series columns compare by their text, Null reading as "".
QString textAt(Recordset &rs, int row, const Column &column)
{
    return VbValueText(rs.ValueAt(row, column.index));
}

QString currentText(Recordset &rs, const Column &column)
{
    return VbValueText(rs.Value(column.index));
}

int currentRow(Recordset &rs)
{
    return rs.Eof() ? rs.RecordCount() : rs.AbsolutePosition() - 1;
}

// Counts series with the exact (case-sensitive) comparison, while filling starts a series only
// when the text differs regardless of case: the count may exceed what is filled, never fall short.
int dataSeriesCount(Recordset &rs, int first, const Column &series, const Column &chartBreak)
{
    int count = 1;
    for (int row = first + 1; row < rs.RecordCount(); ++row) {
        if (chartBreak.used() && textAt(rs, row, chartBreak) != textAt(rs, row - 1, chartBreak))
            break;
        if (textAt(rs, row, series) != textAt(rs, row - 1, series))
            ++count;
    }
    return count;
}

struct ChartColumns
{
    Column x;
    Column y;
    Column xLabel;
    Column series;
    Column chartBreak;
    QList<SeriesColumns> manual;
};

// Resolves every column the fill reads, so a definition naming a column the query lacks fails
// before the control is touched.
bool resolveColumns(
    const clsReportChart &def, const Recordset &rs, ChartColumns &columns, QString *error)
{
    const auto resolve = [&](const QString &name, Column &column) {
        column.name = name;
        column.index = name.isEmpty() ? -1 : rs.FieldIndex(name);
        if (name.isEmpty() || column.index >= 0)
            return true;
        if (error)
            *error = QStringLiteral("The chart's column \"%1\" is not in the report's data.")
                         .arg(name);
        return false;
    };
    if (!resolve(def.XFieldData(), columns.x) || !resolve(def.YFieldData(), columns.y)
        || !resolve(def.XFieldLabel(), columns.xLabel)
        || !resolve(def.NewSeriesOn(), columns.series)
        || !resolve(def.NewChartOn(), columns.chartBreak))
        return false;
    for (int i = 1; i <= def.ManualSeriesCount(); ++i) {
        SeriesColumns m;
        QString xName, yName;
        def.GetSeriesInfo(i, m.label, xName, yName);
        if (!resolve(xName, m.x) || !resolve(yName, m.y))
            return false;
        columns.manual.append(m);
    }
    return true;
}

bool fillChart(Chart &chart, clsReportChart &def, int legendMode, Recordset &rs,
    const ChartColumns &columns, QString *error)
{
    const int type = def.ChartType();
    const Column &x = columns.x;
    const Column &y = columns.y;
    const Column &xLabel = columns.xLabel;
    const Column &series = columns.series;
    const Column &chartBreak = columns.chartBreak;
    const QList<SeriesColumns> &manual = columns.manual;
    const int manualCount = int(manual.size());

    if (def.Bookmark().isNull())
        rs.MoveFirst();
    else
        rs.SetBookmark(def.Bookmark());

    int seriesTotal = 1;
    if (manualCount > 0)
        seriesTotal = manualCount;
    else if (series.used())
        seriesTotal = dataSeriesCount(rs, currentRow(rs), series, chartBreak);

    chart.clearData();
    Axis &yAxis = chart.yAxis();
    if (!def.YAxisKeepScale() || def.YAxisMaxScale() == 0) {
        yAxis.setAutoScale(true);
    } else {
        yAxis.setAutoScale(false);
        yAxis.setMaximum(def.YAxisMaxScale());
    }

    const bool withX = x.used() || manualCount > 0;
    chart.openData(ValuesData, seriesTotal, OpenEnded);
    if (withX)
        chart.openData(XValuesData, seriesTotal, OpenEnded);

    const auto close = [&] {
        chart.closeData(ValuesData);
        if (withX)
            chart.closeData(XValuesData);
    };
    // A value that is not a number is a definition fault the host reports; Null plots as 0.
    const auto number = [&](const Column &column, double &out) {
        const auto n = VbValueNumber(rs.Value(column.index));
        if (!n) {
            if (error)
                *error
                    = QStringLiteral("The chart's column \"%1\" holds \"%2\", not a number.")
                          .arg(column.name, ExcerptForMessage(rs.Value(column.index).toString()));
            return false;
        }
        out = *n;
        return true;
    };
    const auto addPoint = [&](int s, int p, const Column &xc, const Column &yc) {
        double v = 0;
        if (xc.used()) {
            if (!number(xc, v))
                return false;
            chart.setXValue(s, p, v);
        }
        if (yc.used()) {
            if (!number(yc, v))
                return false;
            chart.setValue(s, p, v);
        }
        return true;
    };

    int s = 0;
    int p = 0;
    QString seriesValue;
    QString chartValue;
    while (!rs.Eof()) {
        if (chartBreak.used())
            chartValue = currentText(rs, chartBreak);
        bool ok = true;
        if (series.used()) {
            const QString value = currentText(rs, series);
            if (seriesValue.isEmpty() || seriesValue.compare(value, Qt::CaseInsensitive) != 0) {
                // Pies and single bars have one series: their points only move along.
                if (!seriesValue.isEmpty() && type != 1 && type != 3)
                    ++s;
                seriesValue = value;
                if (legendMode == clsReportChartRender::SeriesLegend)
                    chart.setSeriesLegend(s, def.FormatLabel(rs));
            }
            ok = addPoint(s, p, x, y);
        } else if (manual.isEmpty()) {
            ok = addPoint(s, p, x, y);
            if (legendMode == clsReportChartRender::PointLegend)
                chart.setPointLegend(p, def.FormatLabel(rs));
        }
        for (int i = 0; ok && i < manual.size(); ++i) {
            ok = addPoint(i, p, manual.at(i).x, manual.at(i).y);
            chart.setSeriesLegend(i, manual.at(i).label);
        }
        if (!ok) {
            close();
            return false;
        }
        if (xLabel.used())
            chart.xAxis().setLabel(p, currentText(rs, xLabel));
        ++p;
        rs.MoveNext();
        if (chartBreak.used() && !rs.Eof() && currentText(rs, chartBreak) != chartValue) {
            def.SetBookmark(rs.Bookmark());
            def.SetYAxisMaxScale(yAxis.maximum());
            break;
        }
    }
    close();
    return true;
}

} // namespace

bool clsReportChartRender::Initialize(
    chart::Chart &chart, clsReportChart &definition, const QFont &reportFont)
{
    m_chart = &chart;
    m_definition = &definition;
    const clsReportChart &def = definition;
    const bool manual = def.ManualSeriesCount() > 0;

    if (def.LegendLabel().isEmpty() && !manual)
        m_legendMode = NoLegend;
    else if (manual || !def.NewSeriesOn().isEmpty())
        m_legendMode = SeriesLegend;
    else
        m_legendMode = PointLegend;

    // A QFont carries no Windows character set; fontconfig finds covering glyphs by itself.
    chart.setFont(reportFont.family(), reportFont.pointSizeF(), 0);

    Axis &x = chart.xAxis();
    Axis &y = chart.yAxis();
    quint32 xStyle = XAxisStyle;
    chart.setPointLegendVisible(false);
    chart.setSeriesLegendVisible(false);
    if (m_legendMode != NoLegend) {
        const bool points = m_legendMode == PointLegend;
        if (points)
            chart.setPointLegendVisible(true);
        else
            chart.setSeriesLegendVisible(true);
        LegendBox &box = points ? chart.pointLegendBox() : chart.seriesLegendBox();
        box.setFramed(true);
        const int docking = legendDocking(def.LegendPosition());
        if (docking >= 0)
            box.setDocking(docking);
    }

    const int type = def.ChartType();
    switch (type) {
    case 1:
        chart.setGallery(BarGallery);
        chart.setStacked(false);
        chart.setBarWidth(85);
        // A single series of bars tells its points apart by colour.
        chart.setPointColors(!manual && def.NewSeriesOn().isEmpty());
        break;
    case 2:
        chart.setGallery(LinesGallery);
        chart.setStacked(false);
        chart.setPointColors(false);
        break;
    case 3:
        chart.setGallery(PieGallery);
        chart.setStacked(false);
        chart.setPointColors(false);
        break;
    case 4:
        chart.setGallery(BarGallery);
        chart.setStacked(true);
        chart.setBarWidth(80);
        chart.setPointColors(false);
        break;
    default:
        MsgBox(QStringLiteral("Chart type ") + QString::number(type)
                + QStringLiteral(" not supported."),
            MsgIcon::Exclamation);
        break;
    }

    x.setTitle(def.XAxisLabel());
    if (!def.XFieldData().isEmpty() || !def.XFieldLabel().isEmpty())
        x.setLabelAngle(def.XFieldLabel().isEmpty() ? 0 : 90);
    else
        xStyle |= AxisNoLabels;
    x.setStyleFlags(xStyle);

    switch (def.XFieldLabelAutoFormat()) {
    case 0:
        x.setLabelFormat(GeneralFormat);
        break;
    case 1:
        x.setLabelFormat(DateFormat);
        break;
    default:
        MsgBox(QStringLiteral("Not yet implemented!"), MsgIcon::Critical, MsgButtons::OK,
            Branding().ProductName());
        break;
    }

    switch (def.XFieldLabelOrientation()) {
    case 1:
        x.setLabelAngle(0);
        break;
    case 2:
        x.setLabelAngle(90);
        break;
    case 3:
        x.setLabelAngle(270);
        break;
    default:
        break;
    }

    y.setTitle(def.YAxisLabel());
    y.setLabelFormat(def.YAxisLabelFormat() == 7 ? ThousandsFormat : GeneralFormat);
    return true;
}

bool clsReportChartRender::PopulateChart(Recordset &rs, QString *error)
{
    if (!m_chart || !m_definition) {
        if (error)
            *error = QStringLiteral("The chart was not initialised.");
        return false;
    }
    ChartColumns columns;
    if (!resolveColumns(*m_definition, rs, columns, error))
        return false;
    // The record set reports cursor faults by exception; here they become the failed fill.
    try {
        return fillChart(*m_chart, *m_definition, m_legendMode, rs, columns, error);
    } catch (const RecordsetError &e) {
        m_chart->closeData(ValuesData);
        m_chart->closeData(XValuesData);
        if (error)
            *error = QString::fromStdString(e.what());
        return false;
    }
}

bool RenderChartPicture(chart::Chart &chart, clsReportChart &definition, const QFont &reportFont,
    Recordset &data, int widthTwips, int heightTwips, QPicture &picture, QString *error)
{
    clsReportChartRender render;
    if (!render.Initialize(chart, definition, reportFont) || !render.PopulateChart(data, error))
        return false;
    chart.setSize(widthTwips, heightTwips);
    const QString path = TempFileName(QStringLiteral("pgf"));
    QString why;
    const bool exported = chart.exportToFile(PictureExport, path, &why);
    QPicture loaded;
    const bool read = exported && loaded.load(path);
    QFile::remove(path);
    if (!exported || !read) {
        if (error)
            *error = exported ? QStringLiteral("The chart picture %1 could not be read.").arg(path)
                              : why;
        return false;
    }
    picture = loaded;
    return true;
}

} // namespace kv6
