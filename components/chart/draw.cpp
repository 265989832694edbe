#include "chart_p.h"

#include <QCoreApplication>
#include <QFontMetricsF>
#include <QGraphicsLayout>
#include <QGraphicsScene>
#include <QPainter>
#include <QtCharts/QBarCategoryAxis>
#include <QtCharts/QBarSeries>
#include <QtCharts/QBarSet>
#include <QtCharts/QCategoryAxis>
#include <QtCharts/QChart>
#include <QtCharts/QLegend>
#include <QtCharts/QLineSeries>
#include <QtCharts/QPieSeries>
#include <QtCharts/QPieSlice>
#include <QtCharts/QScatterSeries>
#include <QtCharts/QStackedBarSeries>

#include <cmath>
#include <memory>
#include <tuple>

namespace kv6::chart {

namespace {

// Calm, clearly distinct hues that survive greyscale printing in order of lightness.
const QList<QColor> &palette()
{
    static const QList<QColor> colours = {
        QColor(0x2F, 0x6D, 0xB5),
        QColor(0xE8, 0x83, 0x2F),
        QColor(0x3A, 0x9E, 0x6B),
        QColor(0xC7, 0x44, 0x3D),
        QColor(0x7A, 0x5C, 0xA8),
        QColor(0xD6, 0xA8, 0x25),
        QColor(0x2F, 0xA6, 0xB8),
        QColor(0xA5, 0x66, 0x7B),
        QColor(0x66, 0x7A, 0x8A),
        QColor(0x8F, 0xB5, 0x44),
    };
    return colours;
}

QColor colourAt(int index)
{
    return palette().at(index % palette().size());
}

const QColor TextColour(0x33, 0x33, 0x33);
const QColor AxisColour(0x99, 0x99, 0x99);
const QColor GridColour(0xE3, 0xE3, 0xE3);

// Fonts are sized in scene units so the text scales with the rest of the picture; a point size
// would be resolved again at each device's resolution.
QFont sceneFont(const QFont &reportFont, bool bold = false)
{
    QFont f(reportFont);
    f.setPixelSize(std::max(1, qRound(reportFont.pointSizeF() * SceneDpi / 72.0)));
    f.setBold(bold);
    return f;
}

Qt::Alignment dockAlignment(int code)
{
    switch (code) {
    case DockLeft:
        return Qt::AlignLeft;
    case DockTop:
        return Qt::AlignTop;
    case DockBottom:
        return Qt::AlignBottom;
    default:
        return Qt::AlignRight;
    }
}

// Qt turns labels clockwise; the control's angles count counter-clockwise.
int qtAngle(int degrees)
{
    return degrees == 90 ? -90 : degrees == 270 ? 90 : 0;
}

class Builder
{
public:
    // With `plotWidth` known (from a first layout) the X labels are thinned to fit it.
    Builder(const Chart &chart, QChart *qc, const QRectF &area, qreal plotWidth = 0,
        qreal extraBottom = 0)
        : c(chart)
        , qc(qc)
        , area(area)
        , plotWidth(plotWidth)
        , series(chart.seriesCount())
        , points(chart.pointCount())
        , font(sceneFont(chart.font()))
        , titleFont(sceneFont(chart.font(), true))
        , extraBottom(extraBottom)
    {
        if (chart.seriesLegendVisible())
            legendBox = &chart.seriesLegendBox();
        else if (chart.pointLegendVisible())
            legendBox = &chart.pointLegendBox();
    }

    void build()
    {
        styleChart();
        if (series > 0) {
            if (c.gallery() == PieGallery)
                buildPie();
            else if (c.gallery() == LinesGallery)
                buildLines();
            else
                buildBars();
        }
        if (extraBottom > 0) {
            QMargins m = qc->margins();
            m.setBottom(m.bottom() + int(std::ceil(extraBottom)));
            qc->setMargins(m);
        }
        styleLegend();
    }

    // How far upright category labels and the axis title below them run past the room the
    // layout left under the plot (0 when they fit or lie flat).
    qreal uprightOverflow() const
    {
        if (!upright())
            return 0;
        const qreal limit = area.bottom() - (qc->margins().bottom() - std::ceil(extraBottom));
        return uprightTitleTop() + uprightTitleHeight() - limit;
    }

    // More room under the plot for upright labels, on the chart as built: the same margins a
    // build with that extra room gives (the legend only adds to its side).
    void setExtraBottom(qreal extra)
    {
        QMargins m = qc->margins();
        m.setBottom(m.bottom() - int(std::ceil(extraBottom)) + int(std::ceil(extra)));
        qc->setMargins(m);
        extraBottom = extra;
    }

    void paintUprightTitle(QPainter *p) const
    {
        if (!upright() || c.xAxis().title().isEmpty())
            return;
        const QRectF plot = qc->plotArea();
        p->save();
        p->setFont(titleFont);
        p->setPen(TextColour);
        p->drawText(QRectF(plot.left(), uprightTitleTop(), plot.width(), uprightTitleHeight()),
            Qt::AlignHCenter | Qt::AlignTop, c.xAxis().title());
        p->restore();
    }

private:
    const Chart &c;
    QChart *qc;
    QRectF area;
    qreal plotWidth;
    int series;
    int points;
    QFont font;
    QFont titleFont;
    const LegendBox *legendBox = nullptr;

    struct Entry
    {
        QColor colour;
        QString text;
    };
    QList<Entry> entries;

    // A legend of points stands for colours only when each point has its own.
    bool colourByPoint() const
    {
        return series == 1 && (c.pointColors() || (legendBox && !c.seriesLegendVisible()));
    }

    QString pointName(int p) const
    {
        QString text = c.pointLegend(p);
        if (text.isEmpty())
            text = FormatCategoryLabel(c.xAxis().label(p), c.xAxis().labelFormat());
        return text.isEmpty() ? QString::number(p + 1) : text;
    }

    QString seriesName(int s) const
    {
        const QString text = c.seriesLegend(s);
        return text.isEmpty() ? QString::number(s + 1) : text;
    }

    double valueOr0(int s, int p) const
    {
        const double v = c.value(s, p);
        return std::isnan(v) ? 0 : v;
    }

    void styleChart()
    {
        qc->setTheme(QChart::ChartThemeLight);
        qc->setAnimationOptions(QChart::NoAnimation);
        qc->setBackgroundRoundness(0);
        qc->setBackgroundBrush(Qt::white);
        qc->setBackgroundPen(Qt::NoPen);
        qc->setDropShadowEnabled(false);
        // Room for the half of the top and last tick labels that stands out of the plot area.
        const int half = font.pixelSize() / 2;
        qc->setMargins(QMargins(6, half + 4, half + 6, 4));
        qc->layout()->setContentsMargins(0, 0, 0, 0);
    }

    void styleAxis(QAbstractAxis *axis, const Axis &from)
    {
        axis->setLabelsFont(font);
        axis->setLabelsColor(TextColour);
        axis->setTitleFont(titleFont);
        axis->setTitleBrush(TextColour);
        axis->setTitleText(from.title());
        axis->setTitleVisible(!from.title().isEmpty());
        axis->setLabelsAngle(qtAngle(from.labelAngle()));
        // Qt keeps an axis to two fifths of the chart and cuts upright labels to that ("Human
        // Reso…"). Upright category names are shortened here to what the chart allows, drawn
        // whole by Qt, and the plot gives them the room (see uprightOverflow); the title is
        // drawn under them here.
        if (&from == &c.xAxis() && from.labelAngle() != 0) {
            axis->setTruncateLabels(false);
            axis->setTitleVisible(false);
        }
        // Hidden labels keep their room: Qt elides the axis title when an axis has no labels.
        if (from.styleFlags() & AxisNoLabels)
            axis->setLabelsColor(Qt::transparent);
        axis->setLinePen(QPen(AxisColour, 1));
        axis->setGridLinePen(QPen(GridColour, 1));
        axis->setShadesVisible(false);
    }

    QCategoryAxis *valueAxis(const Axis &from, int intervals = 5)
    {
        const Scale s = from.scale(intervals);
        auto *axis = new QCategoryAxis;
        axis->setLabelsPosition(QCategoryAxis::AxisLabelsPositionOnValue);
        axis->setStartValue(s.minimum);
        axis->setRange(s.minimum, s.maximum);
        const int ticks = int(std::floor((s.maximum - s.minimum) / s.step + 1e-9));
        // The value axis reads as the tables print, thousands grouped from 1,000 on whatever the
        // step: it counts pages and money, never years.
        const int format = &from == &c.yAxis() && from.labelFormat() == GeneralFormat
            ? int(ThousandsFormat)
            : from.labelFormat();
        for (int i = 0; i <= ticks; ++i) {
            const double v = s.minimum + i * s.step;
            axis->append(FormatAxisValue(v, format, s.step), v);
        }
        styleAxis(axis, from);
        return axis;
    }

    QStringList categoryNames() const
    {
        QStringList names;
        for (int p = 0; p < points; ++p) {
            QString text = FormatCategoryLabel(c.xAxis().label(p), c.xAxis().labelFormat());
            if (text.isEmpty() && !legendBox)
                text = c.pointLegend(p);
            if (text.isEmpty())
                text = QString::number(p + 1);
            if (c.xAxis().labelAngle() != 0)
                text = QFontMetricsF(font).elidedText(text, Qt::ElideRight, uprightMax());
            // Axes keep one slot per distinct text; an invisible mark keeps repeats apart.
            while (names.contains(text))
                text += QChar(0x200B);
            names << text;
        }
        return names;
    }

    QAbstractAxis *categoryAxis()
    {
        xCategories = true;
        auto *axis = new QBarCategoryAxis;
        labelled = categoryNames();
        axis->append(labelled);
        styleAxis(axis, c.xAxis());
        axis->setGridLineVisible(false);
        return axis;
    }

    // Every `every`th point labelled, on an axis whose slots are that much wider: Qt cuts each
    // label to the room of one slot, so dropping labels alone would not help.
    QAbstractAxis *sparseCategoryAxis(int every)
    {
        xCategories = true;
        auto *axis = new QCategoryAxis;
        axis->setLabelsPosition(QCategoryAxis::AxisLabelsPositionOnValue);
        axis->setStartValue(-0.5);
        axis->setRange(-0.5, points - 0.5);
        const QStringList names = categoryNames();
        for (int p = 0; p < points; p += every) {
            axis->append(names[p], p);
            labelled << names[p];
        }
        styleAxis(axis, c.xAxis());
        axis->setGridLineVisible(false);
        return axis;
    }

    QAbstractAxis *fittedCategoryAxis()
    {
        const int every = plotWidth > 0 ? categoryEvery(plotWidth) : 1;
        return every == 1 ? categoryAxis() : sparseCategoryAxis(every);
    }

    // Room a label needs along the axis.
    qreal labelExtent(const QStringList &labels) const
    {
        const QFontMetricsF fm(font);
        qreal widest = 0;
        for (const QString &t : labels)
            widest = std::max(widest, fm.horizontalAdvance(t));
        return (c.xAxis().labelAngle() == 0 ? widest : fm.height()) + 1;
    }

    // Qt gives each label of an axis with n labels the axis width over n + 1, less its padding,
    // and cuts what does not fit. Crowded axes therefore get fewer labels, not shorter ones.
    static constexpr qreal LabelPadding = 5;

    bool fits(qreal width, int labels, qreal extent) const
    {
        return width / (labels + 1) - 2 * LabelPadding >= extent;
    }

    // The smallest step between labelled points that lets the labels fit.
    int categoryEvery(qreal width) const
    {
        const qreal extent = labelExtent(categoryNames());
        for (int every = 1; every < points; ++every)
            if (fits(width, (points - 1) / every + 1, extent))
                return every;
        return std::max(1, points);
    }

    // The most value intervals (up to five) whose labels fit.
    int valueIntervals(qreal width) const
    {
        for (int intervals = 5; intervals > 1; --intervals) {
            const Scale s = c.xAxis().scale(intervals);
            QStringList labels;
            for (double v = s.minimum; v <= s.maximum + s.step * 1e-9; v += s.step)
                labels << FormatAxisValue(v, c.xAxis().labelFormat(), s.step);
            if (fits(width, int(labels.size()), labelExtent(labels)))
                return intervals;
        }
        return 1;
    }

public:
    // Whether the X labels fit a plot of that width as first built.
    bool xLabelsFit(qreal width) const
    {
        if (!xAxisItem || (c.xAxis().styleFlags() & AxisNoLabels))
            return true;
        if (qobject_cast<QBarCategoryAxis *>(xAxisItem))
            return categoryEvery(width) == 1;
        return valueIntervals(width) == 5;
    }

private:
    QAbstractAxis *xAxisItem = nullptr;
    bool xCategories = false; // the X axis names points rather than measuring values
    QStringList labelled; // the category names the X axis shows
    qreal extraBottom = 0;

    bool upright() const
    {
        return xCategories && c.xAxis().labelAngle() != 0
            && !(c.xAxis().styleFlags() & AxisNoLabels);
    }
    // Upright names are cut to two fifths of the chart at most, so the plot keeps the rest.
    qreal uprightMax() const { return area.height() * 0.4; }
    qreal uprightTitleTop() const
    {
        const QFontMetricsF fm(font);
        qreal longest = 0;
        for (const QString &t : labelled)
            longest = std::max(longest, fm.horizontalAdvance(t));
        return qc->plotArea().bottom() + 3 * LabelPadding + std::min(longest, uprightMax());
    }
    qreal uprightTitleHeight() const
    {
        return c.xAxis().title().isEmpty() ? 0 : QFontMetricsF(titleFont).height();
    }

    void buildBars()
    {
        const bool byPoint = colourByPoint();
        QAbstractBarSeries *bars = nullptr;
        if (c.stacked() || byPoint)
            bars = new QStackedBarSeries;
        else
            bars = new QBarSeries;
        if (byPoint) {
            // One set per colour, empty at the other colours' points: stacked, each bar still
            // fills its whole slot, and a chart of hundreds of points stays a few sets.
            const int colours = std::min(points, int(palette().size()));
            for (int k = 0; k < colours; ++k) {
                auto *set = new QBarSet(colours == points ? pointName(k) : QString());
                for (int q = 0; q < points; ++q)
                    set->append(q % colours == k ? valueOr0(0, q) : 0.0);
                set->setColor(colourAt(k));
                set->setPen(Qt::NoPen);
                bars->append(set);
            }
            for (int p = 0; p < points; ++p)
                entries.append({ colourAt(p), pointName(p) });
        } else {
            for (int s = 0; s < series; ++s) {
                auto *set = new QBarSet(seriesName(s));
                for (int p = 0; p < points; ++p)
                    set->append(valueOr0(s, p));
                set->setColor(colourAt(s));
                set->setPen(Qt::NoPen);
                bars->append(set);
                if (c.seriesLegendVisible())
                    entries.append({ colourAt(s), seriesName(s) });
            }
        }
        bars->setBarWidth(c.barWidth() / 100.0);
        qc->addSeries(bars);
        attachAxes(bars, fittedCategoryAxis());
    }

    void buildLines()
    {
        const bool hasX = c.hasXValues();
        const bool byPoint = colourByPoint();
        QList<QAbstractSeries *> all;
        for (int s = 0; s < series; ++s) {
            auto *line = new QLineSeries;
            line->setName(seriesName(s));
            line->setPen(QPen(colourAt(s), 2));
            for (int p = 0; p < points; ++p) {
                const double y = c.value(s, p);
                const double x = hasX ? c.xValue(s, p) : p;
                if (!std::isnan(y) && !std::isnan(x))
                    line->append(x, y);
            }
            line->setPointsVisible(!byPoint && points <= 40);
            all << line;
            if (!byPoint && c.seriesLegendVisible())
                entries.append({ colourAt(s), seriesName(s) });
        }
        if (byPoint) {
            for (int p = 0; p < points; ++p) {
                const double y = c.value(0, p);
                const double x = hasX ? c.xValue(0, p) : p;
                if (std::isnan(y) || std::isnan(x))
                    continue;
                auto *dot = new QScatterSeries;
                dot->setName(pointName(p));
                dot->setColor(colourAt(p));
                dot->setBorderColor(Qt::white);
                dot->setMarkerSize(9);
                dot->append(x, y);
                all << dot;
                entries.append({ colourAt(p), pointName(p) });
            }
        }
        QAbstractAxis *xAxis = nullptr;
        if (hasX) {
            auto *values = valueAxis(c.xAxis(), plotWidth > 0 ? valueIntervals(plotWidth) : 5);
            // The last value label is centred on the plot's right edge.
            const QStringList labels = values->categoriesLabels();
            const int half
                = int(std::ceil(QFontMetricsF(font).horizontalAdvance(labels.last()) / 2));
            QMargins m = qc->margins();
            m.setRight(std::max(m.right(), half + 2));
            qc->setMargins(m);
            xAxis = values;
        } else {
            xAxis = fittedCategoryAxis();
        }
        for (auto *s : all)
            qc->addSeries(s);
        attachAxes(all, xAxis);
    }

    void buildPie()
    {
        qreal total = 0;
        const int pies = series;
        for (int s = 0; s < pies; ++s) {
            auto *pie = new QPieSeries;
            total = 0;
            for (int p = 0; p < points; ++p)
                total += std::max(0.0, valueOr0(s, p));
            for (int p = 0; p < points; ++p) {
                const double v = valueOr0(s, p);
                if (!(v > 0))
                    continue;
                const QString share = QStringLiteral("%1%").arg(qRound(100 * v / total));
                auto *slice = pie->append(
                    legendBox ? share : pointName(p) + QStringLiteral(" ") + share, v);
                slice->setColor(colourAt(p));
                slice->setBorderColor(Qt::white);
                slice->setBorderWidth(1);
                slice->setLabelFont(font);
                // Shares inside the slice when the legend names them; names outside otherwise.
                if (legendBox) {
                    slice->setLabelPosition(QPieSlice::LabelInsideHorizontal);
                    slice->setLabelColor(Qt::white);
                    slice->setLabelVisible(v / total >= 0.05);
                } else {
                    slice->setLabelPosition(QPieSlice::LabelOutside);
                    slice->setLabelColor(TextColour);
                    slice->setLabelArmLengthFactor(0.08);
                    slice->setLabelVisible(true);
                }
            }
            const qreal slot = 1.0 / pies;
            pie->setHorizontalPosition(slot * (s + 0.5));
            pie->setPieSize(
                legendBox ? 0.85 * std::min(1.0, slot * 1.6) : 0.62 * std::min(1.0, slot * 1.6));
            qc->addSeries(pie);
        }
        if (legendBox)
            for (int p = 0; p < points; ++p)
                if (valueOr0(0, p) > 0)
                    entries.append({ colourAt(p), pointName(p) });
    }

    void attachAxes(QAbstractSeries *s, QAbstractAxis *xAxis)
    {
        attachAxes(QList<QAbstractSeries *> { s }, xAxis);
    }

    void attachAxes(const QList<QAbstractSeries *> &all, QAbstractAxis *xAxis)
    {
        QAbstractAxis *yAxis = valueAxis(c.yAxis());
        xAxisItem = xAxis;
        qc->addAxis(xAxis, Qt::AlignBottom);
        qc->addAxis(yAxis, Qt::AlignLeft);
        for (auto *s : all) {
            s->attachAxis(xAxis);
            s->attachAxis(yAxis);
        }
    }

    // Qt's own legend frames the whole side it docks to and cannot be sized to its entries; this
    // one is laid out here, the chart's margin on that side makes room for it, and it is drawn
    // over the finished scene.
    void styleLegend()
    {
        qc->legend()->setVisible(false);
        if (!legendBox || entries.isEmpty())
            return;
        const QFontMetricsF fm(font);
        swatch = std::round(fm.height() * 0.7);
        gap = std::round(fm.height() * 0.4);
        line = std::ceil(fm.height() * 1.35);
        pad = legendBox->framed() ? std::round(fm.height() * 0.6) : 0;
        spacing = std::round(fm.height() * 1.1);
        dock = dockAlignment(legendBox->docking());

        const QMargins m = qc->margins();
        const qreal outer = 6;
        QSizeF size;
        if (dock == Qt::AlignLeft || dock == Qt::AlignRight) {
            // A side legend keeps at most two fifths of the width; longer texts are cut short.
            const qreal maxText
                = std::max<qreal>(fm.height(), area.width() * 0.4 - 2 * pad - swatch - gap);
            qreal widest = 0;
            for (Entry &e : entries) {
                e.text = fm.elidedText(e.text, Qt::ElideRight, maxText);
                widest = std::max(widest, fm.horizontalAdvance(e.text));
            }
            const int fit = std::max<int>(1, (area.height() - 2 * outer - 2 * pad) / line);
            if (entries.size() > fit) {
                entries = entries.mid(0, fit);
                entries.last().text = QString(QChar(0x2026));
            }
            size = QSizeF(
                2 * pad + swatch + gap + std::ceil(widest), 2 * pad + entries.size() * line);
        } else {
            // Rows as wide as the chart allows, each centred.
            const qreal maxWidth = area.width() - 2 * outer - 2 * pad;
            rows.clear();
            qreal rowWidth = 0;
            for (int i = 0; i < entries.size(); ++i) {
                Entry &e = entries[i];
                e.text = fm.elidedText(e.text, Qt::ElideRight, maxWidth - swatch - gap);
                const qreal w = swatch + gap + fm.horizontalAdvance(e.text);
                if (rows.isEmpty() || rowWidth + spacing + w > maxWidth) {
                    rows.append({ i, 0 });
                    rowWidth = w;
                } else {
                    rowWidth += spacing + w;
                }
                rows.last().second = rowWidth;
            }
            qreal widest = 0;
            for (const auto &r : rows)
                widest = std::max(widest, r.second);
            size = QSizeF(2 * pad + std::ceil(widest), 2 * pad + rows.size() * line);
        }
        QMargins grown = m;
        switch (dock) {
        case Qt::AlignLeft:
            box = QRectF(outer, area.center().y() - size.height() / 2, size.width(), size.height());
            grown.setLeft(m.left() + int(std::ceil(size.width())) + int(outer));
            break;
        case Qt::AlignTop:
            box = QRectF(area.center().x() - size.width() / 2, outer, size.width(), size.height());
            grown.setTop(m.top() + int(std::ceil(size.height())) + outer);
            break;
        case Qt::AlignBottom:
            box = QRectF(area.center().x() - size.width() / 2,
                area.bottom() - outer - size.height(), size.width(), size.height());
            grown.setBottom(m.bottom() + int(std::ceil(size.height())) + outer);
            break;
        default:
            box = QRectF(area.right() - outer - size.width(), area.center().y() - size.height() / 2,
                size.width(), size.height());
            grown.setRight(m.right() + int(std::ceil(size.width())) + int(outer));
            break;
        }
        qc->setMargins(grown);
    }

public:
    // Draws the legend in scene coordinates.
    void paintLegend(QPainter *p) const
    {
        if (!legendBox || entries.isEmpty())
            return;
        p->save();
        if (legendBox->framed()) {
            p->setPen(QPen(AxisColour, 1));
            p->setBrush(Qt::white);
            p->drawRect(box.adjusted(0.5, 0.5, -0.5, -0.5));
        }
        p->setFont(font);
        const QFontMetricsF fm(font);
        auto drawEntry = [&](const Entry &e, qreal x, qreal top) {
            const qreal mid = top + line / 2;
            p->setPen(Qt::NoPen);
            p->setBrush(e.colour);
            p->drawRect(QRectF(x, mid - swatch / 2, swatch, swatch));
            p->setPen(TextColour);
            p->drawText(QPointF(x + swatch + gap, mid + (fm.ascent() - fm.descent()) / 2), e.text);
            return swatch + gap + fm.horizontalAdvance(e.text);
        };
        if (dock == Qt::AlignLeft || dock == Qt::AlignRight) {
            for (int i = 0; i < entries.size(); ++i)
                drawEntry(entries[i], box.left() + pad, box.top() + pad + i * line);
        } else {
            for (int r = 0; r < rows.size(); ++r) {
                const int end = r + 1 < rows.size() ? rows[r + 1].first : int(entries.size());
                qreal x = box.center().x() - rows[r].second / 2;
                for (int i = rows[r].first; i < end; ++i)
                    x += drawEntry(entries[i], x, box.top() + pad + r * line) + spacing;
            }
        }
        p->restore();
    }

private:
    Qt::Alignment dock = Qt::AlignRight;
    QRectF box;
    // First entry and width of each row of a top or bottom legend.
    QList<QPair<int, qreal>> rows;
    qreal swatch = 8, gap = 4, line = 16, pad = 0, spacing = 12;
};

} // namespace

QColor PaletteColour(int index)
{
    const int n = int(palette().size());
    return palette().at(((index % n) + n) % n);
}

void RenderChart(const Chart &chart, QPainter *painter, const QRectF &target)
{
    const QRectF sceneRect(
        0, 0, chart.width() / TwipsPerSceneUnit, chart.height() / TwipsPerSceneUnit);
    // Without a view nothing delivers the chart's layout request.
    auto activate = [](QChart *qc) {
        QCoreApplication::sendPostedEvents(qc, QEvent::LayoutRequest);
        qc->layout()->activate();
    };
    auto lay = [&](QGraphicsScene &scene, qreal plotWidth) {
        scene.setSceneRect(sceneRect);
        auto *qc = new QChart;
        scene.addItem(qc);
        auto builder = std::make_unique<Builder>(chart, qc, sceneRect, plotWidth);
        builder->build();
        qc->setMinimumSize(0, 0);
        qc->setGeometry(sceneRect);
        activate(qc);
        return std::make_pair(qc, std::move(builder));
    };
    auto scene = std::make_unique<QGraphicsScene>();
    auto [qc, builder] = lay(*scene, 0);
    // Crowded X labels are known only once the plot has its width: lay out again with it.
    const qreal plotWidth = qc->plotArea().width();
    if (!builder->xLabelsFit(plotWidth)) {
        builder.reset();
        scene = std::make_unique<QGraphicsScene>();
        std::tie(qc, builder) = lay(*scene, plotWidth);
    }
    // Upright labels longer than the room below the plot: the plot gives up what they lack
    // (Qt's axis shrinks with the chart, so a pass or two more may be needed). Only the margin
    // changes, so the chart as built is laid out again rather than built anew.
    qreal extra = 0;
    for (int pass = 0; pass < 3; ++pass) {
        const qreal over = builder->uprightOverflow();
        if (over <= 0.5)
            break;
        extra += over;
        builder->setExtraBottom(extra);
        activate(qc);
    }

    painter->save();
    painter->setRenderHint(QPainter::Antialiasing);
    painter->setRenderHint(QPainter::TextAntialiasing);
    painter->setRenderHint(QPainter::SmoothPixmapTransform);
    scene->render(painter, target, sceneRect, Qt::IgnoreAspectRatio);
    painter->translate(target.topLeft());
    painter->scale(target.width() / sceneRect.width(), target.height() / sceneRect.height());
    builder->paintUprightTitle(painter);
    builder->paintLegend(painter);
    painter->restore();
}

} // namespace kv6::chart
