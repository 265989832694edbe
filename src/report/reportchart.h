#pragma once

// One chart of a report definition: which data-set columns give the points, where the data
// break into series and into further charts, and how axes and legend are labelled. Rendering
// keeps two values here between calls: the bookmark where the next chart's rows begin and the
// Y maximum learned from the first chart.

#include "vbcore/keyedcollection.h"

#include <QDomNode>
#include <QList>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <memory>
#include <optional>

namespace kv6 {

class Recordset;

class clsReportChart
{
public:
    // Null: the next chart starts at the first row.
    QVariant Bookmark() const { return m_bookmark; }
    void SetBookmark(const QVariant &bookmark) { m_bookmark = bookmark; }
    qint16 LegendPosition() const { return m_legendPosition; }
    qint16 LegendOrientation() const { return m_legendOrientation; }
    // 1 to 4; how each draws is the chart renderer's matter.
    qint16 ChartType() const { return m_chartType; }
    QString XFieldData() const { return m_xFieldData; }
    QString XFieldLabel() const { return m_xFieldLabel; }
    QString XAxisLabel() const { return m_xAxisLabel; }
    QString YFieldData() const { return m_yFieldData; }
    QString YAxisLabel() const { return m_yAxisLabel; }
    bool YAxisKeepScale() const { return m_yAxisKeepScale; }
    double YAxisMaxScale() const { return m_yAxisMaxScale; }
    void SetYAxisMaxScale(double value) { m_yAxisMaxScale = value; }
    QString PointLabel() const { return m_pointLabel; }
    QString NewSeriesOn() const { return m_newSeriesOn; }
    QString NewChartOn() const { return m_newChartOn; }
    // The legend template; its directives take the legend fields in order.
    QString LegendLabel() const { return m_legendLabel; }
    const QStringList &LegendFields() const { return m_legendFields; }
    QString DestField() const { return m_destField; }
    qint16 YAxisLabelFormat() const { return m_yAxisLabelFormat; }
    qint16 XFieldLabelOrientation() const { return m_xFieldLabelOrientation; }
    qint16 XFieldLabelAutoFormat() const { return m_xFieldLabelAutoFormat; }

    int ManualSeriesCount() const { return int(m_manualSeries.size()); }
    // Series `index` (1-based). Outside 1..ManualSeriesCount the outputs stay as they were and
    // the result is false.
    bool GetSeriesInfo(int index, QString &name, QString &xField, QString &yField) const;

    // The legend text for the record set's current row. The template is copied, except that
    // "%" makes the next character a directive: "s" the next legend field as text, "d" as a
    // whole number, "m" with two or three decimals (Null gives "", 0, 0.00); any other character
    // after "%" is copied and takes no field. Without a template: the first legend field.
    QString FormatLabel(Recordset &rs) const;

    // Reads a chart element. A missing or non-numeric Type, or another numeric or Boolean
    // element that does not convert, is an error: nothing changes and `error` says why.
    bool Load(const QDomNode &node, QString *error = nullptr);

private:
    struct Series
    {
        QString label;
        QString xField;
        QString yField;
    };

    QVariant m_bookmark;
    qint16 m_legendPosition = 1;
    qint16 m_legendOrientation = 1;
    qint16 m_chartType = 0;
    QString m_xFieldData;
    QString m_xFieldLabel;
    QString m_xAxisLabel;
    QString m_yFieldData;
    QString m_yAxisLabel;
    bool m_yAxisKeepScale = false;
    double m_yAxisMaxScale = 0;
    QString m_pointLabel;
    QString m_newSeriesOn;
    QString m_newChartOn;
    QString m_legendLabel;
    QStringList m_legendFields;
    QString m_destField;
    qint16 m_yAxisLabelFormat = 0;
    qint16 m_xFieldLabelOrientation = 0;
    qint16 m_xFieldLabelAutoFormat = 0;
    QList<Series> m_manualSeries;
};

using ReportChartPtr = std::shared_ptr<clsReportChart>;
using ReportCharts = KeyedCollection<ReportChartPtr>;

// VB's text of a value (CStr): "" for Null, locale decimal separator, the short date.
QString VbValueText(const QVariant &value);
// VB's number of a value (CDbl): 0 for Null, Booleans -1/0, dates as day serials, texts read as
// numbers; nothing when the value does not convert.
std::optional<double> VbValueNumber(const QVariant &value);
// VB's Format of a number with `minDecimals` fixed and up to `maxDecimals` shown ("0" is 0/0,
// "0.00#" is 2/3); halves round away from zero. Text that is not a number comes back as it is.
QString VbFormatFixed(const QVariant &value, int minDecimals, int maxDecimals);

} // namespace kv6
