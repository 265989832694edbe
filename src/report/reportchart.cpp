#include "report/reportchart.h"

#include "base/langstrings.h"
#include "base/xmltext.h"
#include "recordset/recordset.h"
#include "report/definitiontext.h"
#include "vbcore/currency.h"
#include "vbcore/vbdate.h"
#include "vbcore/vbdatetext.h"
#include "vbcore/vbdecimal.h"

#include <QDateTime>
#include <QLocale>

namespace kv6 {

namespace {

QString withLocaleNumber(QString text)
{
    const QLocale locale;
    text.replace(QLatin1Char('.'), locale.decimalPoint());
    if (text.startsWith(QLatin1Char('-')))
        text.replace(0, 1, locale.negativeSign());
    return text;
}

// The row's value of a legend field; Null when the field or the row is not there, so a
// definition naming a column the query lacks shows an empty legend instead of failing a render.
QVariant fieldValue(Recordset &rs, const QString &field)
{
    if (field.isEmpty() || !rs.HasField(field) || rs.Eof() || rs.Bof())
        return {};
    try {
        return rs.Value(field);
    } catch (const RecordsetError &) {
        return {};
    }
}

} // namespace

std::optional<double> VbValueNumber(const QVariant &value)
{
    if (!value.isValid() || value.isNull())
        return 0.0;
    if (value.metaType() == QMetaType::fromType<Currency>())
        return value.value<Currency>().toDouble();
    switch (value.typeId()) {
    case QMetaType::QString:
        return TextToNumber(value.toString());
    case QMetaType::Bool:
        return value.toBool() ? -1.0 : 0.0;
    case QMetaType::QDateTime:
        return VbDateToDouble(value.toDateTime());
    case QMetaType::QDate:
        return VbDateToDouble(value.toDate());
    default:
        break;
    }
    bool ok = false;
    const double d = value.toDouble(&ok);
    return ok ? std::optional<double>(d) : std::nullopt;
}

QString VbValueText(const QVariant &value)
{
    if (!value.isValid() || value.isNull())
        return {};
    if (value.metaType() == QMetaType::fromType<Currency>())
        return withLocaleNumber(value.value<Currency>().toString());
    switch (value.typeId()) {
    case QMetaType::QString:
        return value.toString();
    case QMetaType::Bool:
        return value.toBool() ? QStringLiteral("True") : QStringLiteral("False");
    case QMetaType::Double:
    case QMetaType::Float: {
        QString text = QString::number(value.toDouble(), 'g', 15);
        text.replace(QLatin1Char('e'), QLatin1Char('E'));
        return withLocaleNumber(text);
    }
    case QMetaType::QDate:
        return QLocale().toString(value.toDate(), ShortDateFormat());
    case QMetaType::QDateTime: {
        const QDateTime dt = value.toDateTime();
        const QString time = dt.time().toString(QStringLiteral("HH:mm:ss"));
        if (dt.date() == VbZeroDay() && dt.time() != QTime(0, 0))
            return time;
        const QString date = QLocale().toString(dt.date(), ShortDateFormat());
        return dt.time() == QTime(0, 0) ? date : date + QLatin1Char(' ') + time;
    }
    default:
        return withLocaleNumber(value.toString());
    }
}

QString VbFormatFixed(const QVariant &value, int minDecimals, int maxDecimals)
{
    const auto number = VbValueNumber(value);
    if (!number)
        return value.toString();
    // On the decimal digits, as every Format rounds, so a label shows what a field shows.
    QString text = VbDecimal::fromDouble(*number).fixed(maxDecimals);
    if (maxDecimals > minDecimals) {
        const int point = int(text.indexOf(QLatin1Char('.')));
        int keep = int(text.size());
        while (keep > point + 1 + minDecimals && text.at(keep - 1) == QLatin1Char('0'))
            --keep;
        if (keep == point + 1)
            keep = point;
        text.truncate(keep);
    }
    return withLocaleNumber(text);
}

bool clsReportChart::GetSeriesInfo(int index, QString &name, QString &xField, QString &yField) const
{
    if (index < 1 || index > ManualSeriesCount())
        return false;
    const Series &series = m_manualSeries.at(index - 1);
    name = series.label.trimmed();
    xField = series.xField;
    yField = series.yField;
    return true;
}

QString clsReportChart::FormatLabel(Recordset &rs) const
{
    if (m_legendLabel.isEmpty())
        return m_legendFields.isEmpty() ? QString()
                                        : VbValueText(fieldValue(rs, m_legendFields.first()));
    QString result;
    int next = 0;
    const auto nextValue = [&]() {
        const QString field = next < m_legendFields.size() ? m_legendFields.at(next) : QString();
        ++next;
        return fieldValue(rs, field);
    };
    for (qsizetype i = 0; i < m_legendLabel.size(); ++i) {
        const QChar c = m_legendLabel.at(i);
        if (c != QLatin1Char('%')) {
            result += c;
            continue;
        }
        if (++i >= m_legendLabel.size())
            break;
        const QChar directive = m_legendLabel.at(i);
        if (directive == QLatin1Char('s'))
            result += VbValueText(nextValue());
        else if (directive == QLatin1Char('d'))
            result += VbFormatFixed(nextValue(), 0, 0);
        else if (directive == QLatin1Char('m'))
            result += VbFormatFixed(nextValue(), 2, 3);
        else
            result += directive;
    }
    return result;
}

bool clsReportChart::Load(const QDomNode &node, QString *error)
{
    DefinitionReader in(node, QStringLiteral("chart"));
    clsReportChart chart;
    chart.m_destField = in.text(QStringLiteral("DestField"));
    if (!chart.m_destField.isEmpty())
        in.setWhat(QStringLiteral("chart \"%1\"").arg(chart.m_destField));
    chart.m_legendPosition = in.int16(QStringLiteral("LegendPosition"), QStringLiteral("1"));
    chart.m_legendOrientation = in.int16(QStringLiteral("LegendOrientation"), QStringLiteral("1"));
    chart.m_chartType = in.int16(QStringLiteral("Type"), QString());
    chart.m_xFieldData = in.text(QStringLiteral("XField"));
    chart.m_xFieldLabel = in.text(QStringLiteral("XFieldLabel"));
    // Axis titles are replaced even by an empty string: a number is never a title.
    chart.m_xAxisLabel = in.localised(QStringLiteral("XAxisLabel"));
    chart.m_yFieldData = in.text(QStringLiteral("YField"));
    chart.m_yAxisLabel = in.localised(QStringLiteral("YAxisLabel"));
    chart.m_yAxisKeepScale = in.boolean(QStringLiteral("YAxisKeepScale"), QStringLiteral("0"));
    chart.m_pointLabel = in.text(QStringLiteral("PointLabel"));
    chart.m_newSeriesOn = in.text(QStringLiteral("NewSeriesOn"));
    chart.m_newChartOn = in.text(QStringLiteral("NewChartOn"));
    chart.m_yAxisLabelFormat = in.int16(QStringLiteral("YAxisLabelFormat"), QStringLiteral("0"));
    chart.m_xFieldLabelOrientation
        = in.int16(QStringLiteral("XFieldLabelOrientation"), QStringLiteral("0"));
    chart.m_xFieldLabelAutoFormat
        = in.int16(QStringLiteral("XFieldLabelAutoFormat"), QStringLiteral("0"));

    const QDomElement legend = node.firstChildElement(QStringLiteral("LegendLabel"));
    if (!legend.isNull()) {
        QString format = GetChildText(legend, QStringLiteral("Format"), QString());
        // A numeric template names a string; one that is missing keeps the number as text.
        const auto id = TextToNumber(format);
        if (id && *id > 0) {
            const QString localised = LocalisedText(format);
            if (!localised.isEmpty())
                format = localised;
        }
        chart.m_legendLabel = format;
        for (QDomElement f = legend.firstChildElement(QStringLiteral("Field")); !f.isNull();
             f = f.nextSiblingElement(QStringLiteral("Field")))
            chart.m_legendFields.append(f.text().trimmed());
    }

    const QDomElement manual = node.firstChildElement(QStringLiteral("ManualSeries"));
    for (QDomElement s = manual.firstChildElement(QStringLiteral("Series")); !s.isNull();
         s = s.nextSiblingElement(QStringLiteral("Series"))) {
        chart.m_manualSeries.append({ LocalisedText(GetChildText(s, QStringLiteral("Label"), {})),
            GetChildText(s, QStringLiteral("XField"), {}),
            GetChildText(s, QStringLiteral("YField"), {}) });
    }
    // Manual series replace the data-driven ones.
    if (!chart.m_manualSeries.isEmpty())
        chart.m_newSeriesOn.clear();

    if (!in.ok()) {
        if (error)
            *error = in.error();
        return false;
    }
    *this = chart;
    return true;
}

} // namespace kv6
