#include "chart_p.h"

#include <QCoreApplication>
#include <QFontMetricsF>
#include <QGraphicsLayout>
#include <QGraphicsScene>
#include <QPainter>
#include <QPainterPath>
#include <QtCharts/QChart>
#include <QtCharts/QLegend>
#include <QtCharts/QPieSeries>
#include <QtCharts/QPieSlice>

#include <cmath>
#include <memory>

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

struct Entry
{
    QColor colour;
    QString text;
};

// What every gallery reads from the chart alike.
class Look
{
public:
    Look(const Chart &chart, const QRectF &area)
        : c(chart)
        , area(area)
        , series(chart.seriesCount())
        , points(chart.pointCount())
        , font(sceneFont(chart.font()))
        , titleFont(sceneFont(chart.font(), true))
    {
        if (chart.seriesLegendVisible())
            legendBox = &chart.seriesLegendBox();
        else if (chart.pointLegendVisible())
            legendBox = &chart.pointLegendBox();
    }

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

    // The chart's own margins before axes and legend: room for the half of the top and last
    // tick labels that stands out of the plot area.
    QMargins margins() const
    {
        const int half = font.pixelSize() / 2;
        return QMargins(6, half + 4, half + 6, 4);
    }

    const Chart &c;
    QRectF area;
    int series;
    int points;
    QFont font;
    QFont titleFont;
    const LegendBox *legendBox = nullptr;
};

// The legend is sized to its entries (Qt's own frames the whole side it docks to): laid out
// here, given room by the chart's margin on its side, and drawn over the finished chart.
class Legend
{
public:
    Legend(const Look &look, QList<Entry> all)
        : look(look)
        , entries(std::move(all))
    {
        if (!look.legendBox || entries.isEmpty())
            return;
        const QFontMetricsF fm(look.font);
        const QRectF &area = look.area;
        swatch = std::round(fm.height() * 0.7);
        gap = std::round(fm.height() * 0.4);
        line = std::ceil(fm.height() * 1.35);
        pad = look.legendBox->framed() ? std::round(fm.height() * 0.6) : 0;
        spacing = std::round(fm.height() * 1.1);
        dock = dockAlignment(look.legendBox->docking());

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
            const int fit = std::max<int>(1, (area.height() - 2 * Outer - 2 * pad) / line);
            if (entries.size() > fit) {
                entries = entries.mid(0, fit);
                entries.last().text = QString(QChar(0x2026));
            }
            size = QSizeF(
                2 * pad + swatch + gap + std::ceil(widest), 2 * pad + entries.size() * line);
        } else {
            // Rows as wide as the chart allows, each centred.
            const qreal maxWidth = area.width() - 2 * Outer - 2 * pad;
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
        switch (dock) {
        case Qt::AlignLeft:
            box = QRectF(Outer, area.center().y() - size.height() / 2, size.width(), size.height());
            break;
        case Qt::AlignTop:
            box = QRectF(area.center().x() - size.width() / 2, Outer, size.width(), size.height());
            break;
        case Qt::AlignBottom:
            box = QRectF(area.center().x() - size.width() / 2,
                area.bottom() - Outer - size.height(), size.width(), size.height());
            break;
        default:
            box = QRectF(area.right() - Outer - size.width(), area.center().y() - size.height() / 2,
                size.width(), size.height());
            break;
        }
    }

    // The chart's margins with the legend's room added on its side.
    QMargins grow(QMargins m) const
    {
        if (box.isNull())
            return m;
        const int across = int(std::ceil(box.width())) + int(Outer);
        const int down = int(std::ceil(box.height())) + int(Outer);
        switch (dock) {
        case Qt::AlignLeft:
            m.setLeft(m.left() + across);
            break;
        case Qt::AlignTop:
            m.setTop(m.top() + down);
            break;
        case Qt::AlignBottom:
            m.setBottom(m.bottom() + down);
            break;
        default:
            m.setRight(m.right() + across);
            break;
        }
        return m;
    }

    // Draws the legend in scene coordinates.
    void paint(QPainter *p) const
    {
        if (box.isNull())
            return;
        p->save();
        if (look.legendBox->framed()) {
            p->setPen(QPen(AxisColour, 1));
            p->setBrush(Qt::white);
            p->drawRect(box.adjusted(0.5, 0.5, -0.5, -0.5));
        }
        p->setFont(look.font);
        const QFontMetricsF fm(look.font);
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
    static constexpr qreal Outer = 6;
    const Look &look;
    QList<Entry> entries;
    Qt::Alignment dock = Qt::AlignRight;
    QRectF box;
    // First entry and width of each row of a top or bottom legend.
    QList<QPair<int, qreal>> rows;
    qreal swatch = 8, gap = 4, line = 16, pad = 0, spacing = 12;
};

// Bar and line charts, drawn straight with the painter: a chart of a report page is a few dozen
// rectangles and texts, and a scene of graphics items to lay them out cost several times the
// drawing itself.
class AxesChart
{
public:
    explicit AxesChart(const Look &look)
        : look(look)
        , c(look.c)
        , fm(look.font)
        , tfm(look.titleFont)
        , legend(look, entries())
    {
        layOut();
    }

    void paint(QPainter *p) const
    {
        p->fillRect(look.area, Qt::white);
        p->save();
        p->setPen(QPen(GridColour, 1));
        for (const Tick &t : yTicks)
            p->drawLine(QPointF(plot.left(), t.at), QPointF(plot.right(), t.at));
        if (!xCategories)
            for (const Tick &t : xTicks)
                p->drawLine(QPointF(t.at, plot.top()), QPointF(t.at, plot.bottom()));
        p->setClipRect(plot.adjusted(-1, -1, 1, 1), Qt::IntersectClip);
        if (c.gallery() == LinesGallery)
            paintLines(p);
        else
            paintBars(p);
        p->restore();

        p->save();
        p->setPen(QPen(AxisColour, 1));
        p->drawLine(plot.bottomLeft(), plot.bottomRight());
        p->drawLine(plot.bottomLeft(), plot.topLeft());
        for (const Tick &t : yTicks)
            p->drawLine(QPointF(plot.left() - TickLength, t.at), QPointF(plot.left(), t.at));
        for (const Tick &t : xTicks)
            p->drawLine(QPointF(t.at, plot.bottom()), QPointF(t.at, plot.bottom() + TickLength));
        p->setPen(TextColour);
        p->setFont(look.font);
        const qreal middle = (fm.ascent() - fm.descent()) / 2;
        if (!(c.yAxis().styleFlags() & AxisNoLabels))
            for (const Tick &t : yTicks)
                p->drawText(
                    QPointF(plot.left() - TickLength - LabelPadding - t.width, t.at + middle),
                    t.text);
        if (!(c.xAxis().styleFlags() & AxisNoLabels)) {
            const qreal top = plot.bottom() + TickLength + LabelPadding;
            for (const Tick &t : xLabels) {
                if (angle == 0) {
                    p->drawText(QPointF(t.at - t.width / 2, top + fm.ascent()), t.text);
                    continue;
                }
                // Turned to read upwards (90) or downwards (270), the name starting at the axis.
                p->save();
                p->translate(t.at + (angle == 90 ? middle : -middle), top);
                p->rotate(angle == 90 ? -90 : 90);
                p->drawText(QPointF(angle == 90 ? -t.width : 0, 0), t.text);
                p->restore();
            }
        }
        p->setFont(look.titleFont);
        if (!c.xAxis().title().isEmpty()) {
            const QString title
                = tfm.elidedText(c.xAxis().title(), Qt::ElideRight, std::max(plot.width(), 1.0));
            p->drawText(QPointF(plot.center().x() - tfm.horizontalAdvance(title) / 2,
                            xTitleTop + tfm.ascent()),
                title);
        }
        if (!c.yAxis().title().isEmpty()) {
            const QString title
                = tfm.elidedText(c.yAxis().title(), Qt::ElideRight, std::max(plot.height(), 1.0));
            p->translate(inner.left() + tfm.ascent(), plot.center().y());
            p->rotate(-90);
            p->drawText(QPointF(-tfm.horizontalAdvance(title) / 2, 0), title);
        }
        p->restore();
        legend.paint(p);
    }

private:
    static constexpr qreal TickLength = 5;
    static constexpr qreal LabelPadding = 5;
    static constexpr qreal TitleGap = 4;

    struct Tick
    {
        qreal at; // scene position along the axis
        QString text;
        qreal width = 0;
    };

    const Look &look;
    const Chart &c;
    QFontMetricsF fm;
    QFontMetricsF tfm;
    Legend legend;
    QRectF inner; // inside the margins: the axes and the plot
    QRectF plot;
    Scale yScale;
    Scale xScale; // lines with X values
    bool xCategories = true;
    int angle = 0;
    QList<Tick> yTicks;
    QList<Tick> xTicks; // tick marks under the plot
    QList<Tick> xLabels;
    qreal xTitleTop = 0;

    bool byPoint() const { return look.colourByPoint(); }

    QList<Entry> entries() const
    {
        QList<Entry> out;
        if (!look.legendBox || look.series == 0)
            return out;
        if (byPoint()) {
            for (int p = 0; p < look.points; ++p)
                if (c.gallery() != LinesGallery || !std::isnan(c.value(0, p)))
                    out.append({ colourAt(p), look.pointName(p) });
        } else if (c.seriesLegendVisible()) {
            for (int s = 0; s < look.series; ++s)
                out.append({ colourAt(s), look.seriesName(s) });
        }
        return out;
    }

    static QList<Tick> valueTicks(const Scale &s, int format, const QFontMetricsF &fm)
    {
        QList<Tick> ticks;
        const int n = int(std::floor((s.maximum - s.minimum) / s.step + 1e-9));
        for (int i = 0; i <= std::min(n, 1000); ++i) {
            const QString text = FormatAxisValue(s.minimum + i * s.step, format, s.step);
            ticks.append({ s.minimum + i * s.step, text, fm.horizontalAdvance(text) });
        }
        return ticks;
    }

    static qreal widest(const QList<Tick> &ticks)
    {
        qreal w = 0;
        for (const Tick &t : ticks)
            w = std::max(w, t.width);
        return w;
    }

    QStringList categoryNames() const
    {
        QStringList names;
        for (int p = 0; p < look.points; ++p) {
            QString text = FormatCategoryLabel(c.xAxis().label(p), c.xAxis().labelFormat());
            if (text.isEmpty() && !look.legendBox)
                text = c.pointLegend(p);
            if (text.isEmpty())
                text = QString::number(p + 1);
            names << text;
        }
        return names;
    }

    void layOut()
    {
        const bool labelsShown = !(c.xAxis().styleFlags() & AxisNoLabels);
        xCategories = !(c.gallery() == LinesGallery && c.hasXValues());
        angle = xCategories && labelsShown ? c.xAxis().labelAngle() : 0;
        QMargins m = legend.grow(look.margins());

        // The value axis reads as the tables print, thousands grouped from 1,000 on whatever the
        // step: it counts pages and money, never years.
        yScale = c.yAxis().scale(5);
        const int yFormat = c.yAxis().labelFormat() == GeneralFormat ? int(ThousandsFormat)
                                                                     : c.yAxis().labelFormat();
        yTicks = valueTicks(yScale, yFormat, fm);

        if (!xCategories) {
            // The last value label is centred on the plot's right edge.
            xScale = c.xAxis().scale(5);
            xTicks = valueTicks(xScale, c.xAxis().labelFormat(), fm);
            if (!xTicks.isEmpty())
                m.setRight(std::max(m.right(), int(std::ceil(xTicks.last().width / 2)) + 2));
        }
        inner = look.area.marginsRemoved(QMarginsF(m));

        // Hidden labels keep their room, so charts side by side line up.
        qreal left = widest(yTicks) + LabelPadding + TickLength;
        if (!c.yAxis().title().isEmpty())
            left += tfm.height() + TitleGap;

        // Across first: which category names fit, and so how much room they need below.
        plot = QRectF(
            inner.left() + left, inner.top(), std::max(1.0, inner.width() - left), inner.height());
        if (xCategories)
            layOutCategories(categoryNames());
        else
            layOutXValues();
        qreal labelRoom = fm.height();
        if (angle != 0) {
            labelRoom = 0;
            for (const Tick &t : xLabels)
                labelRoom = std::max(labelRoom, t.width);
        }
        qreal below = TickLength + LabelPadding + labelRoom;
        if (!c.xAxis().title().isEmpty())
            below += TitleGap + tfm.height();
        plot.setHeight(std::max(1.0, inner.height() - below));
        xTitleTop = plot.bottom() + TickLength + LabelPadding + labelRoom + TitleGap;

        const qreal h = plot.height() / (yScale.maximum - yScale.minimum);
        for (Tick &t : yTicks)
            t.at = plot.bottom() - (t.at - yScale.minimum) * h;
    }

    // Crowded axes get fewer labels, not shorter ones: every `every`th point is named.
    void layOutCategories(QStringList names)
    {
        const int n = look.points;
        if (n == 0)
            return;
        // Upright names are cut to two fifths of the chart at most, so the plot keeps the rest.
        if (angle != 0)
            for (QString &name : names)
                name = fm.elidedText(name, Qt::ElideRight, look.area.height() * 0.4);
        const qreal slot = plot.width() / n;
        for (int p = 0; p <= n; ++p)
            xTicks.append({ plot.left() + slot * p, QString() });
        qreal extent = fm.height();
        if (angle == 0)
            for (const QString &name : names)
                extent = std::max(extent, fm.horizontalAdvance(name));
        int every = 1;
        while (every < n && every * slot < extent + LabelPadding)
            ++every;
        for (int p = 0; p < n; p += every) {
            // A lone label wider than the whole axis is cut to it.
            const QString text = angle == 0 && every * slot < extent + LabelPadding
                ? fm.elidedText(names[p], Qt::ElideRight, std::max(plot.width(), slot * every))
                : names[p];
            xLabels.append({ plot.left() + slot * (p + 0.5), text, fm.horizontalAdvance(text) });
        }
    }

    // The most intervals (up to five) whose labels do not run into each other.
    void layOutXValues()
    {
        for (int intervals = 5; intervals >= 1; --intervals) {
            xScale = c.xAxis().scale(intervals);
            xTicks = valueTicks(xScale, c.xAxis().labelFormat(), fm);
            const qreal apart = plot.width() / std::max<qsizetype>(1, xTicks.size() - 1);
            if (intervals == 1 || apart >= widest(xTicks) + LabelPadding)
                break;
        }
        for (Tick &t : xTicks)
            t.at = xAt(t.at);
        xLabels = xTicks;
    }

    qreal yAt(double v) const
    {
        return plot.bottom()
            - (v - yScale.minimum) / (yScale.maximum - yScale.minimum) * plot.height();
    }

    qreal xAt(double v) const
    {
        if (xCategories)
            return plot.left() + plot.width() * (v + 0.5) / std::max(1, look.points);
        return plot.left()
            + (v - xScale.minimum) / (xScale.maximum - xScale.minimum) * plot.width();
    }

    void paintBars(QPainter *p) const
    {
        const int n = look.points, series = look.series;
        if (n == 0 || series == 0)
            return;
        const qreal slot = plot.width() / n;
        const qreal fill = c.barWidth() / 100.0;
        const qreal base = yAt(std::clamp(0.0, yScale.minimum, yScale.maximum));
        auto bar = [&](qreal x, qreal width, qreal from, qreal to, const QColor &colour) {
            if (from == to)
                return;
            p->setBrush(colour);
            p->drawRect(
                QRectF(QPointF(x, std::min(from, to)), QPointF(x + width, std::max(from, to))));
        };
        p->setPen(Qt::NoPen);
        const bool pointColours = byPoint();
        for (int q = 0; q < n; ++q) {
            const qreal left = plot.left() + slot * q + slot * (1 - fill) / 2;
            if (pointColours) {
                bar(left, slot * fill, base, yAt(look.valueOr0(0, q)), colourAt(q));
            } else if (c.stacked()) {
                double up = 0, down = 0;
                for (int s = 0; s < series; ++s) {
                    const double v = look.valueOr0(s, q);
                    double &from = v >= 0 ? up : down;
                    bar(left, slot * fill, yAt(from), yAt(from + v), colourAt(s));
                    from += v;
                }
            } else {
                const qreal each = slot * fill / series;
                for (int s = 0; s < series; ++s)
                    bar(left + each * s, each, base, yAt(look.valueOr0(s, q)), colourAt(s));
            }
        }
    }

    void paintLines(QPainter *p) const
    {
        const bool hasX = c.hasXValues();
        const bool dots = byPoint();
        auto at = [&](int s, int q, QPointF &point) {
            const double y = c.value(s, q);
            const double x = hasX ? c.xValue(s, q) : q;
            point = QPointF(xAt(x), yAt(y));
            return !std::isnan(y) && !std::isnan(x);
        };
        for (int s = 0; s < look.series; ++s) {
            QPainterPath path;
            QList<QPointF> marks;
            for (int q = 0; q < look.points; ++q) {
                QPointF point;
                if (!at(s, q, point))
                    continue;
                if (path.elementCount() == 0)
                    path.moveTo(point);
                else
                    path.lineTo(point);
                marks.append(point);
            }
            p->setPen(QPen(colourAt(s), 2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
            p->setBrush(Qt::NoBrush);
            p->drawPath(path);
            if (!dots && look.points <= 40) {
                p->setPen(Qt::NoPen);
                p->setBrush(colourAt(s));
                for (const QPointF &m : marks)
                    p->drawEllipse(m, 3, 3);
            }
        }
        if (dots) {
            p->setPen(QPen(Qt::white, 1));
            for (int q = 0; q < look.points; ++q) {
                QPointF point;
                if (!at(0, q, point))
                    continue;
                p->setBrush(colourAt(q));
                p->drawEllipse(point, 4.5, 4.5);
            }
        }
    }
};

// Pies stay with Qt Charts: one per report page at most, and its slice labels place themselves.
class PieChart
{
public:
    explicit PieChart(const Look &look)
        : look(look)
    {
        scene.setSceneRect(look.area);
        qc = new QChart;
        scene.addItem(qc);
        qc->setTheme(QChart::ChartThemeLight);
        qc->setAnimationOptions(QChart::NoAnimation);
        qc->setBackgroundRoundness(0);
        qc->setBackgroundBrush(Qt::white);
        qc->setBackgroundPen(Qt::NoPen);
        qc->setDropShadowEnabled(false);
        qc->layout()->setContentsMargins(0, 0, 0, 0);
        qc->legend()->setVisible(false);
        QList<Entry> entries;
        if (look.series > 0)
            entries = build();
        legend = std::make_unique<Legend>(look, entries);
        qc->setMargins(legend->grow(look.margins()));
        qc->setMinimumSize(0, 0);
        qc->setGeometry(look.area);
        // Without a view nothing delivers the chart's layout request.
        QCoreApplication::sendPostedEvents(qc, QEvent::LayoutRequest);
        qc->layout()->activate();
    }

    void paint(QPainter *p)
    {
        scene.render(p, look.area, look.area, Qt::IgnoreAspectRatio);
        legend->paint(p);
    }

private:
    QList<Entry> build()
    {
        const bool named = look.legendBox != nullptr;
        const int pies = look.series;
        for (int s = 0; s < pies; ++s) {
            auto *pie = new QPieSeries;
            qreal total = 0;
            for (int p = 0; p < look.points; ++p)
                total += std::max(0.0, look.valueOr0(s, p));
            for (int p = 0; p < look.points; ++p) {
                const double v = look.valueOr0(s, p);
                if (!(v > 0))
                    continue;
                const QString share = QStringLiteral("%1%").arg(qRound(100 * v / total));
                auto *slice = pie->append(
                    named ? share : look.pointName(p) + QStringLiteral(" ") + share, v);
                slice->setColor(colourAt(p));
                slice->setBorderColor(Qt::white);
                slice->setBorderWidth(1);
                slice->setLabelFont(look.font);
                // Shares inside the slice when the legend names them; names outside otherwise.
                if (named) {
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
                named ? 0.85 * std::min(1.0, slot * 1.6) : 0.62 * std::min(1.0, slot * 1.6));
            qc->addSeries(pie);
        }
        QList<Entry> entries;
        if (named)
            for (int p = 0; p < look.points; ++p)
                if (look.valueOr0(0, p) > 0)
                    entries.append({ colourAt(p), look.pointName(p) });
        return entries;
    }

    const Look &look;
    QGraphicsScene scene;
    QChart *qc = nullptr;
    std::unique_ptr<Legend> legend;
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
    const Look look(chart, sceneRect);
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing);
    painter->setRenderHint(QPainter::TextAntialiasing);
    painter->setRenderHint(QPainter::SmoothPixmapTransform);
    painter->translate(target.topLeft());
    painter->scale(target.width() / sceneRect.width(), target.height() / sceneRect.height());
    if (chart.gallery() == PieGallery)
        PieChart(look).paint(painter);
    else
        AxesChart(look).paint(painter);
    painter->restore();
}

} // namespace kv6::chart
