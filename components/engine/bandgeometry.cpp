#include "bandgeometry_p.h"

#include "renderer_p.h"

#include <algorithm>
#include <cmath>

namespace kv6::engine {

using script::Variant;
using script::VarType;

namespace {

bool isWhite(int bgr)
{
    return (bgr & 0xFFFFFF) == 0xFFFFFF;
}

QRectF visibleRect(const TextRun &t)
{
    return t.clip.isEmpty() ? t.rect : t.clip.intersected(t.rect);
}

// The part of an item between y = from and y = to, moved up by `from`. False when nothing of
// it is there.
bool sliceItem(const DisplayItem &item, double from, double to, DisplayItem &out)
{
    const QRectF b = itemBounds(item);
    if (b.bottom() <= from || b.top() >= to) {
        // Zero-height items (horizontal lines) belong where they lie.
        if (!(b.height() == 0 && b.top() >= from && b.top() < to))
            return false;
    }
    out = item;
    if (auto *t = std::get_if<TextRun>(&out)) {
        const QRectF band(
            t->rect.left() - TwipsPerInch, from, t->rect.width() + 2 * TwipsPerInch, to - from);
        t->clip = visibleRect(*t).intersected(band);
        if (t->clip.isEmpty())
            return false;
    } else if (auto *l = std::get_if<LineItem>(&out)) {
        if (l->from.y() != l->to.y()) {
            // Keep the segment inside the slice.
            auto at = [&](double y) {
                const double k = (y - l->from.y()) / (l->to.y() - l->from.y());
                return QPointF(l->from.x() + k * (l->to.x() - l->from.x()), y);
            };
            const double y1 = std::clamp(l->from.y(), from, to);
            const double y2 = std::clamp(l->to.y(), from, to);
            l->from = at(y1);
            l->to = at(y2);
        }
    } else if (auto *bx = std::get_if<BoxItem>(&out)) {
        bx->rect = bx->rect.intersected(QRectF(bx->rect.left(), from, bx->rect.width(), to - from));
        if (bx->rect.isEmpty())
            return false;
    } else if (std::get_if<PictureItem>(&out)) {
        // Pictures are not cut: one belongs to the slice its top lies in.
        if (b.top() < from || b.top() >= to)
            return false;
    }
    translateItem(out, 0, -from);
    return true;
}

} // namespace

// Where to cut a band so that no line of text and no picture is cut through: at most `avail`.
double chooseCut(const Band &band, double avail)
{
    double c = avail;
    for (int round = 0; round < 16; ++round) {
        bool changed = false;
        for (const DisplayItem &item : band.items) {
            if (const auto *t = std::get_if<TextRun>(&item)) {
                const QRectF r = visibleRect(*t);
                if (!(r.top() < c - 0.5 && r.bottom() > c + 0.5) || t->text.isEmpty())
                    continue;
                const double lh = lineHeight(t->font);
                const double lines = double(t->text.count(u'\n') + 1);
                double y0 = t->rect.top();
                if (t->alignment & Qt::AlignVCenter)
                    y0 += (t->rect.height() - lh * lines) / 2;
                else if (t->alignment & Qt::AlignBottom)
                    y0 += t->rect.height() - lh * lines;
                const double k = std::floor((c - y0) / lh + 1e-6);
                const double cut = std::max(r.top(), y0 + std::max(0.0, k) * lh);
                if (cut < c - 0.5) {
                    c = cut;
                    changed = true;
                }
            } else if (const auto *p = std::get_if<PictureItem>(&item)) {
                if (p->rect.top() > 0.5 && p->rect.top() < c - 0.5 && p->rect.bottom() > c + 0.5) {
                    c = p->rect.top();
                    changed = true;
                }
            }
        }
        if (!changed)
            break;
    }
    return c;
}

Band sliceBand(const Band &band, double from, double to)
{
    Band out = band;
    out.items.clear();
    out.height = to - from;
    for (const DisplayItem &item : band.items) {
        DisplayItem part;
        if (sliceItem(item, from, to, part))
            out.items.append(std::move(part));
    }
    return out;
}

QRectF itemBounds(const DisplayItem &item)
{
    if (const auto *t = std::get_if<TextRun>(&item))
        return visibleRect(*t);
    if (const auto *l = std::get_if<LineItem>(&item))
        return QRectF(l->from, l->to).normalized();
    if (const auto *b = std::get_if<BoxItem>(&item))
        return b->rect;
    if (const auto *p = std::get_if<PictureItem>(&item))
        return p->rect;
    return {};
}

void translateItem(DisplayItem &item, double dx, double dy)
{
    if (auto *t = std::get_if<TextRun>(&item)) {
        t->rect.translate(dx, dy);
        if (!t->clip.isEmpty())
            t->clip.translate(dx, dy);
    } else if (auto *l = std::get_if<LineItem>(&item)) {
        l->from += QPointF(dx, dy);
        l->to += QPointF(dx, dy);
    } else if (auto *b = std::get_if<BoxItem>(&item)) {
        b->rect.translate(dx, dy);
    } else if (auto *p = std::get_if<PictureItem>(&item)) {
        p->rect.translate(dx, dy);
    }
}

// ---- a section's fields in its band

void Renderer::layoutBand(int section, Band &band, bool measuring)
{
    ReportLayout &L = layout();
    const Section &s = *L.section(section);
    const double width = L.layoutWidth();
    band = Band();
    band.section = section;
    band.pageBreak = s.forcePageBreak;
    band.keepTogether = s.keepTogether;

    struct Placed
    {
        Field *f;
        QString text;
        QStringList lines;
        FontSpec font; // the field's, or smaller for a number too wide for it
        bool numeric = false;
        bool fits = false; // every line measured to fit the field's width
        double height = 0; // final
        double shift = 0;
        QList<DisplayItem> sub; // subreport items, relative to the field
    };
    QList<Placed> placed;
    for (Field *f : L.sectionFields(section)) {
        if (!f->visible)
            continue;
        Placed p { f, {}, {}, f->font, false, false, f->height, 0, {} };
        if (f->kind == FieldKind::Text) {
            Variant v;
            p.text = displayText(f, v);
            m_values.insert(f, v);
            p.numeric = v.isNumeric() && !v.isString() && v.type() != VarType::Boolean;
            p.lines = p.text.isEmpty() ? QStringList()
                                       : wrapText(p.font, p.text, f->width, f->wordWrap, &p.fits);
            // A number broken over lines, or cut at its box, reads as another number (a total
            // of millions in a column sized for thousands): it is drawn smaller instead, down to
            // two thirds of its size, and wraps only beyond that. Money comes formatted as text;
            // a right-aligned text in a box with room for one line is taken as a figure too.
            const auto figure = [&] {
                return p.numeric
                    || (f->align >= AlignRightTop && f->align <= AlignRightBottom && !f->canGrow
                        && f->height < 2 * lineHeight(p.font));
            };
            if (!p.fits && f->wordWrap && f->width > 0 && !p.text.isEmpty()
                && !p.text.contains(u'\n') && figure()) {
                const double least = p.font.size * 2 / 3;
                // Widths are near enough proportional to the size; the last tenth of a point is
                // found by measuring.
                p.font.size = std::max(
                    std::floor(p.font.size * f->width / textWidth(p.font, p.text) * 10) / 10,
                    least);
                while (p.font.size - 0.1 >= least && textWidth(p.font, p.text) > f->width)
                    p.font.size -= 0.1;
                p.lines = wrapText(p.font, p.text, f->width, f->wordWrap, &p.fits);
            }
            const double needed = double(p.lines.size()) * lineHeight(p.font);
            if (f->canGrow && needed > p.height)
                p.height = needed;
            if (f->canShrink && p.text.isEmpty())
                p.height = 0;
            if (f->subreport && !measuring) {
                ReportEngine *sub = f->subreport;
                auto &r = m_subRenderers[sub];
                if (!r) {
                    r = std::make_shared<Renderer>(*sub, true);
                    if (!r->prepare())
                        throw RenderFailure {
                            QStringLiteral("subreport in field %1: %2").arg(f->name, r->error())
                        };
                }
                QList<FlowBand> flow;
                if (!r->renderFlow(flow))
                    throw RenderFailure {
                        QStringLiteral("subreport in field %1: %2").arg(f->name, r->error())
                    };
                double y = 0;
                for (const FlowBand &fb : flow) {
                    for (DisplayItem item : fb.band.items) {
                        translateItem(item, 0, y);
                        p.sub.append(std::move(item));
                    }
                    y += fb.band.height;
                }
                p.height = std::max(p.height, y);
            }
        }
        placed.append(std::move(p));
    }

    // A field that grows pushes down the fields that start below it.
    std::vector<size_t> byTop(size_t(placed.size()));
    for (size_t i = 0; i < byTop.size(); ++i)
        byTop[i] = i;
    std::stable_sort(byTop.begin(), byTop.end(),
        [&](size_t a, size_t b) { return placed[a].f->top < placed[b].f->top; });
    for (size_t i : byTop) {
        Placed &p = placed[i];
        bool any = false;
        double shift = 0;
        for (size_t j : byTop) {
            const Placed &q = placed[j];
            if (&q == &p || q.f->top + q.f->height > p.f->top + 0.5 || q.f->top >= p.f->top)
                continue;
            const double s2 = q.shift + (q.height - q.f->height);
            shift = any ? std::max(shift, s2) : s2;
            any = true;
        }
        p.shift = any ? shift : 0;
    }

    double designBottom = 0, grownBottom = 0;
    for (const Placed &p : placed) {
        designBottom = std::max(designBottom, p.f->top + p.f->height);
        grownBottom = std::max(grownBottom, p.f->top + p.shift + p.height);
    }
    double height = s.height;
    const double growth = placed.isEmpty() ? 0 : grownBottom - designBottom;
    if (s.canGrow && growth > 0)
        height += growth;
    if (s.canShrink && growth < 0)
        height += growth;
    band.height = std::max(0.0, height);
    if (measuring)
        return;

    if (!isWhite(s.backColor)) {
        BoxItem b;
        b.rect = QRectF(0, 0, width, band.height);
        b.filled = true;
        b.fill = rgbFromBgr(s.backColor);
        band.items.append(b);
    }
    const QRectF bandRect(-TwipsPerInch, 0, width + 2 * TwipsPerInch, band.height);
    for (const Placed &p : placed) {
        const Field &f = *p.f;
        const QRectF r(f.left, f.top + p.shift, f.width, p.height);
        auto border = [&] {
            if (f.borderStyle == 0)
                return;
            BoxItem b;
            b.rect = r;
            b.lineStyle = penStyle(f.borderStyle);
            b.lineColor = rgbFromBgr(f.borderColor);
            b.lineWidth = f.lineWidth;
            band.items.append(b);
        };
        auto backgroundAndPicture = [&] {
            if (f.backOpaque) {
                BoxItem b;
                b.rect = r;
                b.filled = true;
                b.fill = rgbFromBgr(f.backColor);
                band.items.append(b);
            }
            if (!f.picture.isNull())
                band.items.append(PictureItem { r, f.picture, f.pictureScale });
        };
        switch (f.kind) {
        case FieldKind::Line: {
            if (f.borderStyle == 0)
                break;
            LineItem l;
            l.from = QPointF(f.left, f.top + p.shift);
            l.to = QPointF(f.left + f.width, f.top + p.shift + f.height);
            l.color = rgbFromBgr(f.borderColor);
            l.width = f.lineWidth;
            l.style = penStyle(f.borderStyle);
            band.items.append(l);
            break;
        }
        case FieldKind::Rectangle: {
            BoxItem b;
            b.rect = r;
            b.filled = f.backOpaque;
            b.fill = rgbFromBgr(f.backColor);
            b.lineStyle = penStyle(f.borderStyle);
            b.lineColor = rgbFromBgr(f.borderColor);
            b.lineWidth = f.lineWidth;
            band.items.append(b);
            break;
        }
        case FieldKind::Picture:
            backgroundAndPicture();
            border();
            break;
        case FieldKind::Text: {
            backgroundAndPicture();
            for (DisplayItem item : p.sub) {
                translateItem(item, f.left, f.top + p.shift);
                band.items.append(std::move(item));
            }
            if (!p.lines.isEmpty()) {
                TextRun t;
                t.rect = r;
                t.clip = s.canGrow ? r : r.intersected(bandRect);
                t.text = p.lines.join(u'\n');
                t.font = p.font;
                t.color = rgbFromBgr(f.foreColor);
                t.alignment = qtAlignment(f.align, p.numeric);
                t.fits = p.fits;
                if (!t.clip.isEmpty())
                    band.items.append(t);
            }
            border();
            break;
        }
        }
    }
}

double Renderer::measureSection(int section)
{
    if (!inUse(section) || !layout().section(section)->visible)
        return 0;
    Band b;
    layoutBand(section, b, true);
    return b.height;
}

double Renderer::measureGroup(int group, int start, bool wholeGroup, double limit)
{
    const int saved = m_pos;
    const int groups = layout().groupCount();
    const int end = wholeGroup ? groupEnd(group, start) : start + 1;
    double total = 0;
    for (int p = start; p < end && total <= limit; ++p) {
        m_pos = p;
        for (int g = group; g <= groups; ++g) {
            if (p == start ? g >= group : breakLevel(p) <= g)
                total += measureSection(GroupHeaderSection(g));
        }
        total += measureSection(SectionDetail);
        if (!wholeGroup)
            break;
        const bool last = p + 1 >= int(m_order.size());
        for (int g = groups; g > group; --g) {
            if (last || breakLevel(p + 1) <= g)
                total += measureSection(GroupFooterSection(g));
        }
    }
    if (wholeGroup && total <= limit) {
        m_pos = end - 1;
        total += measureSection(GroupFooterSection(group));
    }
    m_pos = saved;
    return total;
}

} // namespace kv6::engine
