#include "exports_p.h"

#include <QBuffer>
#include <QFontMetricsF>
#include <QLocale>
#include <QMap>

#include <algorithm>
#include <cmath>

// HTML and plain text from the bands of a page-less render. Both place every band's items on a
// grid of the x positions the layout uses, so columns line up across bands.

namespace kv6::engine {

namespace {

// Sorted positions with near neighbours (closer than `tolerance`) merged into the first.
QList<double> mergedEdges(QList<double> edges, double tolerance)
{
    std::sort(edges.begin(), edges.end());
    QList<double> out;
    for (double e : edges) {
        if (out.isEmpty() || e - out.last() >= tolerance)
            out.append(e);
    }
    return out;
}

// Index of the edge nearest to x.
int edgeIndex(const QList<double> &edges, double x)
{
    int best = 0;
    for (int i = 1; i < edges.size(); ++i) {
        if (std::fabs(edges[i] - x) < std::fabs(edges[best] - x))
            best = i;
    }
    return best;
}

QString cssColor(QRgb c)
{
    return QStringLiteral("#%1").arg(c & 0xFFFFFF, 6, 16, QLatin1Char('0'));
}

QString pt(double twips)
{
    return QString::number(twips / TwipsPerPoint, 'f', 2) + QStringLiteral("pt");
}

QString escape(const QString &s)
{
    return s.toHtmlEscaped();
}

struct Cell
{
    int row = 0, col = 0, rowSpan = 1, colSpan = 1;
    QString html;
    QString style;
    bool isText = false;
};

class HtmlWriter
{
public:
    explicit HtmlWriter(const ReportLayout &layout)
        : m_layout(layout)
    { }

    QByteArray write(const QList<FlowBand> &flow)
    {
        const double width = m_layout.layoutWidth();
        QList<double> xs { 0, width };
        for (const FlowBand &fb : flow) {
            for (const DisplayItem &item : fb.band.items) {
                if (std::get_if<BoxItem>(&item))
                    continue; // backgrounds follow the cells, they make none
                const QRectF b = itemBounds(item);
                xs << std::clamp(b.left(), 0.0, width) << std::clamp(b.right(), 0.0, width);
            }
        }
        m_cols = mergedEdges(xs, 30);
        if (m_cols.size() < 2)
            m_cols = { 0, std::max(width, 1.0) };

        QString head, body, foot;
        for (const FlowBand &fb : flow) {
            const QString rows = bandRows(fb.band);
            if (rows.isEmpty())
                continue;
            QString attrs;
            if (fb.breakBefore)
                attrs += QStringLiteral(" class=\"break\"");
            if (fb.band.keepTogether)
                attrs += QStringLiteral(" style=\"break-inside: avoid\"");
            const QString section = QStringLiteral("<tbody data-section=\"%1\"%2>\n%3</tbody>\n")
                                        .arg(fb.band.section)
                                        .arg(attrs, rows);
            if (fb.role == BandRole::PageHeader)
                head += rows;
            else if (fb.role == BandRole::PageFooter)
                foot += rows;
            else
                body += section;
        }

        QString colgroup = QStringLiteral("<colgroup>");
        for (int i = 0; i + 1 < m_cols.size(); ++i)
            colgroup
                += QStringLiteral("<col style=\"width:%1\">").arg(pt(m_cols[i + 1] - m_cols[i]));
        colgroup += QStringLiteral("</colgroup>\n");

        const QSizeF page = m_layout.pageSize();
        const QMarginsF m = m_layout.margins;
        QString css;
        css += QStringLiteral("body { margin: 2em; background: #fff; }\n");
        css += QStringLiteral("table.report { border-collapse: collapse; table-layout: fixed; "
                              "width: %1; }\n")
                   .arg(pt(width));
        css += QStringLiteral(
            "table.report td { padding: 0; overflow: hidden; white-space: nowrap; "
            "vertical-align: top; }\n");
        css += QStringLiteral("table.report img { display: block; }\n");
        css += QStringLiteral(
            "@media print {\n  body { margin: 0; }\n  @page { size: %1 %2; margin: "
            "%3 %4 %5 %6; }\n  thead { display: table-header-group; }\n  tfoot "
            "{ display: table-footer-group; }\n  tbody.break { break-before: "
            "page; }\n}\n")
                   .arg(pt(page.width()), pt(page.height()), pt(m.top()), pt(m.right()),
                       pt(m.bottom()), pt(m.left()));
        for (auto it = m_classes.cbegin(); it != m_classes.cend(); ++it)
            css += QStringLiteral(".%1 { %2 }\n").arg(it.value(), it.key());

        QString html = QStringLiteral("<!DOCTYPE html>\n<html lang=\"%1\">\n<head>\n<meta "
                                      "charset=\"utf-8\">\n<title>%2</title>\n<style>\n%3</style>\n"
                                      "</head>\n<body>\n<table class=\"report\">\n")
                           .arg(QLocale::system().bcp47Name(), escape(m_layout.name), css);
        html += colgroup;
        if (!head.isEmpty())
            html += QStringLiteral("<thead>\n") + head + QStringLiteral("</thead>\n");
        html += body;
        if (!foot.isEmpty())
            html += QStringLiteral("<tfoot>\n") + foot + QStringLiteral("</tfoot>\n");
        html += QStringLiteral("</table>\n</body>\n</html>\n");
        return html.toUtf8();
    }

private:
    QString styleClass(const QString &style)
    {
        auto it = m_classes.constFind(style);
        if (it != m_classes.cend())
            return *it;
        const QString name = QStringLiteral("s%1").arg(m_classes.size());
        m_classes.insert(style, name);
        return name;
    }

    QString textStyle(const TextRun &t)
    {
        QString s = QStringLiteral("font-family: '%1', sans-serif; font-size: %2pt; color: %3;")
                        .arg(t.font.name, QString::number(t.font.size), cssColor(t.color));
        if (t.font.bold)
            s += QStringLiteral(" font-weight: bold;");
        if (t.font.italic)
            s += QStringLiteral(" font-style: italic;");
        if (t.font.underline || t.font.strikeOut)
            s += QStringLiteral(" text-decoration: %1;")
                     .arg(t.font.underline ? QStringLiteral("underline")
                                           : QStringLiteral("line-through"));
        if (t.alignment & Qt::AlignRight)
            s += QStringLiteral(" text-align: right;");
        else if (t.alignment & Qt::AlignHCenter)
            s += QStringLiteral(" text-align: center;");
        if (t.alignment & Qt::AlignVCenter)
            s += QStringLiteral(" vertical-align: middle;");
        else if (t.alignment & Qt::AlignBottom)
            s += QStringLiteral(" vertical-align: bottom;");
        return s;
    }

    static QString pictureHtml(const PictureItem &p)
    {
        const QRectF at = p.picture.placement(p.rect, p.scaleMode);
        // Twice the screen's resolution keeps charts crisp on high-density screens and paper.
        const QSize px(std::max(1, int(std::lround(at.width() / 15.0 * 2))),
            std::max(1, int(std::lround(at.height() / 15.0 * 2))));
        QByteArray png;
        QBuffer buffer(&png);
        buffer.open(QIODevice::WriteOnly);
        p.picture.toImage(px).save(&buffer, "PNG");
        return QStringLiteral("<img alt=\"\" src=\"data:image/png;base64,%1\" style=\"width:%2; "
                              "height:%3\">")
            .arg(QString::fromLatin1(png.toBase64()), pt(at.width()), pt(at.height()));
    }

    QString bandRows(const Band &band)
    {
        const double h = band.height;
        QList<double> ys { 0, h };
        for (const DisplayItem &item : band.items) {
            QRectF b = itemBounds(item).intersected(QRectF(-1e9, 0, 2e9, h));
            if (const auto *l = std::get_if<LineItem>(&item)) {
                if (l->from.y() != l->to.y())
                    continue;
                b = QRectF(0, l->from.y(), 1, std::max(15.0, l->width));
            }
            if (std::get_if<BoxItem>(&item))
                continue;
            ys << std::clamp(b.top(), 0.0, h) << std::clamp(b.bottom(), 0.0, h);
        }
        QList<double> rows = mergedEdges(ys, 15);
        if (rows.size() < 2)
            return {};
        const int nRows = int(rows.size()) - 1, nCols = int(m_cols.size()) - 1;
        std::vector<int> owner(size_t(nRows * nCols), -1);
        QList<Cell> cells;

        auto spanOf = [&](const QRectF &r, Cell &c) {
            c.col = std::min(edgeIndex(m_cols, r.left()), nCols - 1);
            const int c2 = std::max(edgeIndex(m_cols, r.right()), c.col + 1);
            c.colSpan = std::min(c2, nCols) - c.col;
            c.row = std::min(edgeIndex(rows, r.top()), nRows - 1);
            const int r2 = std::max(edgeIndex(rows, r.bottom()), c.row + 1);
            c.rowSpan = std::min(r2, nRows) - c.row;
        };
        auto claim = [&](const Cell &c) -> int { // index of a cell already there, or -1
            for (int r = c.row; r < c.row + c.rowSpan; ++r) {
                for (int k = c.col; k < c.col + c.colSpan; ++k) {
                    if (owner[size_t(r * nCols + k)] >= 0)
                        return owner[size_t(r * nCols + k)];
                }
            }
            const int id = int(cells.size());
            for (int r = c.row; r < c.row + c.rowSpan; ++r) {
                for (int k = c.col; k < c.col + c.colSpan; ++k)
                    owner[size_t(r * nCols + k)] = id;
            }
            cells.append(c);
            return -1;
        };

        for (const DisplayItem &item : band.items) {
            Cell c;
            if (const auto *t = std::get_if<TextRun>(&item)) {
                if (t->text.isEmpty())
                    continue;
                QRectF r = itemBounds(item).intersected(QRectF(-1e9, 0, 2e9, h));
                if (r.isEmpty())
                    continue;
                spanOf(r, c);
                QStringList lines = t->text.split(u'\n');
                for (QString &l : lines)
                    l = escape(l);
                c.html = lines.join(QStringLiteral("<br>"));
                c.style = textStyle(*t);
                c.isText = true;
                if (const int other = claim(c); other >= 0 && cells[other].isText)
                    cells[other].html += QStringLiteral(" ") + c.html; // overlapping labels
            } else if (const auto *p = std::get_if<PictureItem>(&item)) {
                spanOf(p->rect, c);
                c.html = pictureHtml(*p);
                claim(c);
            } else if (const auto *l = std::get_if<LineItem>(&item)) {
                if (l->from.y() != l->to.y())
                    continue;
                spanOf(QRectF(std::min(l->from.x(), l->to.x()), l->from.y(),
                           std::fabs(l->to.x() - l->from.x()), std::max(15.0, l->width)),
                    c);
                c.rowSpan = 1;
                c.style = QStringLiteral("border-top: %1 %2 %3;")
                              .arg(pt(std::max(l->width, 10.0)),
                                  l->style == Qt::DashLine      ? QStringLiteral("dashed")
                                      : l->style == Qt::DotLine ? QStringLiteral("dotted")
                                                                : QStringLiteral("solid"),
                                  cssColor(l->color));
                claim(c);
            }
        }

        // Backgrounds: the last filled box under a cell's middle; outlines on the cell they frame.
        auto background = [&](double x, double y) -> QString {
            QString color;
            for (const DisplayItem &item : band.items) {
                if (const auto *b = std::get_if<BoxItem>(&item);
                    b && b->filled && b->rect.contains(x, y))
                    color = cssColor(b->fill);
            }
            return color;
        };
        auto cellRect = [&](const Cell &c) {
            return QRectF(m_cols[c.col], rows[c.row], m_cols[c.col + c.colSpan] - m_cols[c.col],
                rows[c.row + c.rowSpan] - rows[c.row]);
        };
        for (Cell &c : cells) {
            const QRectF r = cellRect(c);
            const QString bg = background(r.center().x(), r.center().y());
            if (!bg.isEmpty())
                c.style += QStringLiteral(" background: %1;").arg(bg);
            for (const DisplayItem &item : band.items) {
                const auto *b = std::get_if<BoxItem>(&item);
                if (!b || b->lineStyle == Qt::NoPen)
                    continue;
                Cell frame;
                spanOf(b->rect, frame);
                if (frame.row == c.row && frame.col == c.col && frame.rowSpan == c.rowSpan
                    && frame.colSpan == c.colSpan)
                    c.style += QStringLiteral(" border: %1 solid %2;")
                                   .arg(pt(std::max(b->lineWidth, 10.0)), cssColor(b->lineColor));
            }
        }

        QString out;
        for (int r = 0; r < nRows; ++r) {
            out += QStringLiteral("<tr style=\"height:%1\">").arg(pt(rows[r + 1] - rows[r]));
            int k = 0;
            while (k < nCols) {
                const int id = owner[size_t(r * nCols + k)];
                if (id < 0) {
                    int run = 1;
                    while (k + run < nCols && owner[size_t(r * nCols + k + run)] < 0)
                        ++run;
                    const QString bg = background(
                        (m_cols[k] + m_cols[k + run]) / 2, (rows[r] + rows[r + 1]) / 2);
                    out += QStringLiteral("<td%1%2></td>")
                               .arg(
                                   run > 1 ? QStringLiteral(" colspan=\"%1\"").arg(run) : QString(),
                                   bg.isEmpty()
                                       ? QString()
                                       : QStringLiteral(" style=\"background: %1\"").arg(bg));
                    k += run;
                    continue;
                }
                const Cell &c = cells[id];
                if (c.row == r && c.col == k) {
                    QString attrs;
                    if (c.colSpan > 1)
                        attrs += QStringLiteral(" colspan=\"%1\"").arg(c.colSpan);
                    if (c.rowSpan > 1)
                        attrs += QStringLiteral(" rowspan=\"%1\"").arg(c.rowSpan);
                    if (!c.style.isEmpty())
                        attrs += QStringLiteral(" class=\"%1\"").arg(styleClass(c.style.trimmed()));
                    out += QStringLiteral("<td%1>%2</td>").arg(attrs, c.html);
                }
                k += c.colSpan;
            }
            out += QStringLiteral("</tr>\n");
        }
        return out;
    }

    const ReportLayout &m_layout;
    QList<double> m_cols;
    QMap<QString, QString> m_classes;
};

} // namespace

QByteArray flowToHtml(const QList<FlowBand> &flow, const ReportLayout &layout)
{
    return HtmlWriter(layout).write(flow);
}

QString flowToText(const QList<FlowBand> &flow, const ReportLayout &layout)
{
    // One character per average character width of the report's font, so a field's text fits
    // the columns its box spans.
    const double cw = std::max(1.0, QFontMetricsF(twipsFont(layout.font)).averageCharWidth());
    auto col = [&](double x) { return std::max(0, int(std::lround(x / cw))); };

    QStringList out;
    for (const FlowBand &fb : flow) {
        struct Piece
        {
            double y;
            int start;
            int width;
            QString text;
            Qt::Alignment align;
            bool rule;
        };
        QList<Piece> pieces;
        for (const DisplayItem &item : fb.band.items) {
            if (const auto *t = std::get_if<TextRun>(&item)) {
                const QRectF vis = itemBounds(item);
                const double lh = lineHeight(t->font);
                const QStringList lines = t->text.split(u'\n');
                for (int i = 0; i < lines.size(); ++i) {
                    const double y = t->rect.top() + i * lh;
                    if (y + lh / 2 < vis.top() || y + lh / 2 > vis.bottom() || lines[i].isEmpty())
                        continue;
                    pieces.append({ y, col(t->rect.left()), std::max(1, col(t->rect.width())),
                        lines[i], t->alignment, false });
                }
            } else if (const auto *l = std::get_if<LineItem>(&item)) {
                if (l->from.y() != l->to.y())
                    continue;
                const double x1 = std::min(l->from.x(), l->to.x());
                const double x2 = std::max(l->from.x(), l->to.x());
                pieces.append({ l->from.y(), col(x1), std::max(1, col(x2) - col(x1)), QString(),
                    Qt::AlignLeft, true });
            }
        }
        std::stable_sort(pieces.begin(), pieces.end(), [](const Piece &a, const Piece &b) {
            return a.y < b.y || (a.y == b.y && a.start < b.start);
        });
        // Pieces within half a line of each other share a text row.
        const double tolerance = lineHeight(layout.font) / 2;
        QList<QList<Piece>> rows;
        QList<double> rowY;
        for (const Piece &p : pieces) {
            if (!rows.isEmpty() && !p.rule && !rows.last().first().rule
                && p.y - rowY.last() < tolerance)
                rows.last().append(p);
            else {
                rows.append({ p });
                rowY.append(p.y);
            }
        }
        for (QList<Piece> &row : rows) {
            std::stable_sort(row.begin(), row.end(),
                [](const Piece &a, const Piece &b) { return a.start < b.start; });
            QString line;
            for (const Piece &p : row) {
                QString text = p.rule ? QString(p.width, u'-') : p.text;
                int start = p.start;
                if (text.size() < p.width) {
                    if (p.align & Qt::AlignRight)
                        start += p.width - int(text.size());
                    else if (p.align & Qt::AlignHCenter)
                        start += (p.width - int(text.size())) / 2;
                }
                // Never over what is already written: text moves right instead.
                if (line.size() > start)
                    start = int(line.size()) + (line.isEmpty() ? 0 : 1);
                line = line.leftJustified(start, u' ') + text;
            }
            while (!line.isEmpty() && line.back().isSpace())
                line.chop(1);
            out << line;
        }
    }
    return out.join(u'\n') + u'\n';
}

} // namespace kv6::engine
