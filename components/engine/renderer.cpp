#include "renderer_p.h"

#include "engine/vbformat.h"
#include "script/hostobject.h"

#include <QScopeGuard>

#include <algorithm>
#include <cmath>

namespace kv6::engine {

using script::Variant;
using script::VarType;

namespace {

// Stands for the page count until the last page is known; replaced in the finished pages.
const QString PagesMarker = QString(QChar(0xE000));

// Failures inside the renderer; turned into the render's error text at its entry points.
struct RenderFailure
{
    QString message;
};

// Unwinds a render whose cancel flag was set.
struct Cancelled
{
};

QString scriptMessage(const script::ScriptError &e, const QString &what)
{
    QString where = what;
    if (e.line() > 0)
        where += QStringLiteral(", line %1, column %2").arg(e.line()).arg(e.column());
    return QStringLiteral("%1: %2").arg(where, e.message());
}

bool isWhite(int bgr)
{
    return (bgr & 0xFFFFFF) == 0xFFFFFF;
}

// A literal field's value as scripts see it: numeric text is a number, so `ctlAlternate = 0`
// compares as a number.
Variant literalValue(const QString &text)
{
    double d = 0;
    if (!text.trimmed().isEmpty() && Variant::parseNumber(text, &d)) {
        if (d == std::trunc(d) && std::fabs(d) < 2147483647.0)
            return Variant::longValue(qint32(d));
        return Variant::dbl(d);
    }
    return Variant::string(text);
}

bool sameKey(const Variant &a, const Variant &b)
{
    if (a.isNull() || b.isNull() || a.isEmpty() || b.isEmpty())
        return (a.isNull() || a.isEmpty()) == (b.isNull() || b.isEmpty());
    if (a.isString() && b.isString())
        return a.stringValue() == b.stringValue();
    if (a.isNumeric() && b.isNumeric())
        return a.toDouble() == b.toDouble();
    return a.toString() == b.toString();
}

int compareForSort(const Variant &a, const Variant &b)
{
    const bool an = a.isNull() || a.isEmpty(), bn = b.isNull() || b.isEmpty();
    if (an || bn)
        return an == bn ? 0 : (an ? -1 : 1);
    if (a.isNumeric() && b.isNumeric() && !a.isString() && !b.isString()) {
        const double x = a.toDouble(), y = b.toDouble();
        return x < y ? -1 : (x > y ? 1 : 0);
    }
    return a.toString().compare(b.toString(), Qt::CaseInsensitive);
}

QString sectionLabel(const ReportLayout &layout, int section)
{
    const Section *s = layout.section(section);
    return QStringLiteral("section %1").arg(s ? s->name : QString::number(section));
}

// ---- script objects

class FieldObject : public script::HostObject
{
public:
    FieldObject(Renderer *r, Field *f)
        : m_r(r)
        , m_f(f)
    { }
    QString typeName() const override { return QStringLiteral("Field"); }

    Variant get(const QString &member, const QList<Variant> &args) override
    {
        Q_UNUSED(args);
        const QString m = member.toLower();
        Field &f = *m_f;
        if (m.isEmpty() || m == u"value")
            return m_r->fieldValue(m_f);
        if (m == u"text")
            return Variant::string(f.text);
        if (m == u"name")
            return Variant::string(f.name);
        if (m == u"visible")
            return Variant::boolean(f.visible);
        if (m == u"left")
            return Variant::dbl(f.left);
        if (m == u"top")
            return Variant::dbl(f.top);
        if (m == u"width")
            return Variant::dbl(f.width);
        if (m == u"height")
            return Variant::dbl(f.height);
        if (m == u"forecolor")
            return Variant::longValue(f.foreColor);
        if (m == u"backcolor")
            return Variant::longValue(f.backColor);
        if (m == u"backstyle")
            return Variant::integer(f.backOpaque ? 1 : 0);
        if (m == u"bordercolor")
            return Variant::longValue(f.borderColor);
        if (m == u"borderstyle")
            return Variant::integer(f.borderStyle);
        if (m == u"linewidth")
            return Variant::dbl(f.lineWidth);
        if (m == u"format")
            return Variant::string(f.format);
        if (m == u"align")
            return Variant::integer(f.align);
        if (m == u"tag")
            return Variant::string(f.tag);
        if (m == u"calculated")
            return Variant::boolean(f.calculated);
        if (m == u"cangrow")
            return Variant::boolean(f.canGrow);
        if (m == u"canshrink")
            return Variant::boolean(f.canShrink);
        if (m == u"wordwrap")
            return Variant::boolean(f.wordWrap);
        if (m == u"section")
            return Variant::integer(f.section);
        if (m == u"fontname")
            return Variant::string(f.font.name);
        if (m == u"fontsize")
            return Variant::dbl(f.font.size);
        if (m == u"fontbold")
            return Variant::boolean(f.font.bold);
        if (m == u"fontitalic")
            return Variant::boolean(f.font.italic);
        if (m == u"fontunderline")
            return Variant::boolean(f.font.underline);
        script::raise(438);
    }

    void put(const QString &member, const QList<Variant> &args, const Variant &v) override
    {
        Q_UNUSED(args);
        const QString m = member.toLower();
        Field &f = *m_f;
        if (m.isEmpty() || m == u"value")
            m_r->setFieldValue(m_f, v);
        else if (m == u"text")
            f.text = v.toString();
        else if (m == u"visible")
            f.visible = v.toBool();
        else if (m == u"left")
            f.left = v.toDouble();
        else if (m == u"top")
            f.top = v.toDouble();
        else if (m == u"width")
            f.width = v.toDouble();
        else if (m == u"height")
            f.height = v.toDouble();
        else if (m == u"forecolor")
            f.foreColor = v.toLong();
        else if (m == u"backcolor")
            f.backColor = v.toLong();
        else if (m == u"backstyle")
            f.backOpaque = v.toLong() != 0;
        else if (m == u"bordercolor")
            f.borderColor = v.toLong();
        else if (m == u"borderstyle")
            f.borderStyle = v.toLong();
        else if (m == u"linewidth")
            f.lineWidth = v.toDouble();
        else if (m == u"format")
            f.format = v.toString();
        else if (m == u"align")
            f.align = v.toLong();
        else if (m == u"tag")
            f.tag = v.toString();
        else if (m == u"calculated")
            f.calculated = v.toBool();
        else if (m == u"cangrow")
            f.canGrow = v.toBool();
        else if (m == u"canshrink")
            f.canShrink = v.toBool();
        else if (m == u"wordwrap")
            f.wordWrap = v.toBool();
        else if (m == u"fontname")
            f.font.name = v.toString();
        else if (m == u"fontsize")
            f.font.size = v.toDouble();
        else if (m == u"fontbold")
            f.font.bold = v.toBool();
        else if (m == u"fontitalic")
            f.font.italic = v.toBool();
        else if (m == u"fontunderline")
            f.font.underline = v.toBool();
        else
            script::raise(438);
    }

private:
    Renderer *m_r;
    Field *m_f;
};

class SectionObject : public script::HostObject
{
public:
    SectionObject(Renderer *r, int index)
        : m_r(r)
        , m_index(index)
    { }
    QString typeName() const override { return QStringLiteral("Section"); }

    Variant get(const QString &member, const QList<Variant> &args) override
    {
        Q_UNUSED(args);
        const Section &s = *m_r->layout().section(m_index);
        const QString m = member.toLower();
        if (m == u"visible")
            return Variant::boolean(s.visible);
        if (m == u"height")
            return Variant::dbl(s.height);
        if (m == u"backcolor")
            return Variant::longValue(s.backColor);
        if (m == u"cangrow")
            return Variant::boolean(s.canGrow);
        if (m == u"canshrink")
            return Variant::boolean(s.canShrink);
        if (m == u"forcepagebreak")
            return Variant::integer(s.forcePageBreak);
        if (m == u"keeptogether")
            return Variant::boolean(s.keepTogether);
        if (m == u"name" || m.isEmpty())
            return Variant::string(s.name);
        script::raise(438);
    }

    void put(const QString &member, const QList<Variant> &args, const Variant &v) override
    {
        Q_UNUSED(args);
        Section &s = *m_r->layout().section(m_index);
        const QString m = member.toLower();
        if (m == u"visible")
            s.visible = v.toBool();
        else if (m == u"height")
            s.height = v.toDouble();
        else if (m == u"backcolor")
            s.backColor = v.toLong();
        else if (m == u"cangrow")
            s.canGrow = v.toBool();
        else if (m == u"canshrink")
            s.canShrink = v.toBool();
        else if (m == u"forcepagebreak")
            s.forcePageBreak = std::clamp(int(v.toLong()), 0, 3);
        else if (m == u"keeptogether")
            s.keepTogether = v.toBool();
        else
            script::raise(438);
    }

private:
    Renderer *m_r;
    int m_index;
};

class Scope : public script::HostScope
{
public:
    explicit Scope(Renderer *r)
        : m_r(r)
    { }
    bool lookup(const QString &name, Variant &value) override { return m_r->lookup(name, value); }
    bool assign(const QString &name, const Variant &value) override
    {
        return m_r->assign(name, value);
    }

private:
    Renderer *m_r;
};

// ---- item geometry

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

} // namespace

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

// ---- Renderer

Renderer::Renderer(ReportEngine &engine, bool asSubreport)
    : m_engine(engine)
    , m_subreport(asSubreport)
    , m_scope(std::make_unique<Scope>(this))
{ }

Renderer::~Renderer() = default;

bool Renderer::prepare()
{
    if (m_prepared)
        return m_error.isEmpty();
    m_prepared = true;
    try {
        prepareOrThrow();
    } catch (const RenderFailure &f) {
        m_error = failure(f.message);
        return false;
    } catch (const std::exception &e) {
        m_error = failure(QString::fromUtf8(e.what()));
        return false;
    }
    return true;
}

QString Renderer::failure(const QString &message) const
{
    const ReportLayout &L = m_engine.m_layout;
    QStringList parts;
    if (!L.fileName.isEmpty())
        parts << L.fileName;
    parts << QStringLiteral("report \"%1\"").arg(L.name);
    if (m_ready && m_paginate && m_page > 0)
        parts << QStringLiteral("page %1").arg(m_page);
    if (m_pos >= 0 && m_pos < int(m_order.size()))
        parts << QStringLiteral("row %1").arg(m_order[size_t(m_pos)] + 1);
    return parts.join(QStringLiteral(", ")) + QStringLiteral(", ") + message;
}

void Renderer::prepareOrThrow()
{
    if (EngineListener *l = m_engine.m_listener)
        l->reportStart(m_engine.m_index);

    m_script.addFunction(QStringLiteral("IIf"), 3, 3, [](const QList<Variant> &a) {
        const Variant &c = a[0];
        return (!c.isNull() && !c.isEmpty() && c.toBool()) ? a[1] : a[2];
    });
    m_script.addFunction(QStringLiteral("Format"), 1, 4, [](const QList<Variant> &a) {
        return Variant::string(vbFormat(a[0], a.size() > 1 ? a[1].toString() : QString()));
    });
    ReportLayout &L = layout();
    if (!L.script.trimmed().isEmpty()) {
        try {
            m_script.compile(L.script);
            m_script.run();
        } catch (const script::ScriptError &e) {
            throw RenderFailure { scriptMessage(e, QStringLiteral("report script")) };
        }
    }

    // Data and its order.
    m_data = m_engine.m_data;
    const int rows = m_data ? m_data->RecordCount() : 0;
    if (m_data) {
        for (int c = 0; c < m_data->FieldCount(); ++c)
            m_columns.insert(m_data->FieldAt(c).name.toCaseFolded(), c);
    }
    m_order.resize(size_t(rows));
    for (int i = 0; i < rows; ++i)
        m_order[size_t(i)] = i;

    const int groups = L.groupCount();
    std::vector<script::CompiledCode> groupBy(static_cast<size_t>(groups));
    for (int g = 1; g <= groups; ++g)
        groupBy[size_t(g - 1)] = compiled(L.group(g).groupBy, 0,
            QStringLiteral("group %1")
                .arg(L.group(g).name.isEmpty() ? QString::number(g) : L.group(g).name));
    // Keys by position; while sorting, positions are still the data's own order.
    auto keysAt = [&](int g) {
        std::vector<Variant> keys(static_cast<size_t>(rows));
        for (int p = 0; p < rows; ++p) {
            m_pos = p;
            keys[size_t(p)]
                = evaluate(groupBy[size_t(g - 1)], QStringLiteral("group %1").arg(L.group(g).name));
        }
        m_pos = -1;
        return keys;
    };

    bool anySorted = false;
    for (int g = 1; g <= groups; ++g)
        anySorted = anySorted || L.group(g).sort != 0;
    if (anySorted) {
        std::vector<std::vector<Variant>> sortKeys;
        std::vector<int> directions;
        for (int g = 1; g <= groups; ++g) {
            if (L.group(g).sort == 0)
                continue;
            sortKeys.push_back(keysAt(g));
            directions.push_back(L.group(g).sort == 2 ? -1 : 1);
        }
        std::stable_sort(m_order.begin(), m_order.end(), [&](int a, int b) {
            for (size_t k = 0; k < sortKeys.size(); ++k) {
                const int c = compareForSort(sortKeys[k][size_t(a)], sortKeys[k][size_t(b)]);
                if (c != 0)
                    return c * directions[k] < 0;
            }
            return false;
        });
    }

    m_breakLevel.assign(size_t(rows), groups + 1);
    m_groupStartOf.assign(size_t(groups), std::vector<int>(size_t(rows), 0));
    if (rows > 0)
        m_breakLevel[0] = 1;
    for (int g = 1; g <= groups; ++g) {
        const std::vector<Variant> keys = keysAt(g); // by position, in the final order
        for (int p = 1; p < rows; ++p) {
            if (m_breakLevel[size_t(p)] > g && !sameKey(keys[size_t(p)], keys[size_t(p - 1)]))
                m_breakLevel[size_t(p)] = g;
        }
    }
    for (int g = 1; g <= groups; ++g) {
        int start = 0;
        for (int p = 0; p < rows; ++p) {
            if (m_breakLevel[size_t(p)] <= g)
                start = p;
            m_groupStartOf[size_t(g - 1)][size_t(p)] = start;
        }
    }

    // Compile every expression and script now, so a mistake fails before any page is made.
    for (Field *f : L.fields.all()) {
        if (f->isExpression())
            compiled(f->expression(), aggregateLevel(f->section),
                QStringLiteral("field %1").arg(f->name));
    }
    for (int s = 0; s < L.sectionCount(); ++s) {
        const QString &text = L.section(s)->onFormat;
        if (text.trimmed().isEmpty())
            continue;
        try {
            m_code.insert(QStringLiteral("S|") + text, m_script.compileStatements(text));
        } catch (const script::ScriptError &e) {
            throw RenderFailure { scriptMessage(
                e, sectionLabel(L, s) + QStringLiteral(" script")) };
        }
    }
    for (Aggregate &a : m_aggregates)
        computeAggregate(a);
    m_ready = true;
}

script::CompiledCode Renderer::compiled(const QString &expression, int level, const QString &what)
{
    const QString key = QString::number(level) + u'|' + expression;
    auto it = m_code.constFind(key);
    if (it != m_code.cend())
        return *it;
    try {
        const script::CompiledCode code
            = m_script.compileExpression(rewriteAggregates(expression, level));
        m_code.insert(key, code);
        return code;
    } catch (const script::ScriptError &e) {
        throw RenderFailure { scriptMessage(e, what) };
    }
}

// Aggregate calls become names of values computed over the rows beforehand: "Sum(Pages) * 2"
// reads "[~agg0] * 2".
QString Renderer::rewriteAggregates(const QString &expression, int level)
{
    static const QHash<QString, Aggregate::Kind> kinds = {
        { QStringLiteral("sum"), Aggregate::Sum },
        { QStringLiteral("count"), Aggregate::Count },
        { QStringLiteral("avg"), Aggregate::Avg },
        { QStringLiteral("min"), Aggregate::Min },
        { QStringLiteral("max"), Aggregate::Max },
    };
    const QString &s = expression;
    QString out;
    qsizetype i = 0;
    const qsizetype n = s.size();
    auto skipString = [&](qsizetype j) { // j at the opening quote; returns past the closing one
        ++j;
        while (j < n) {
            if (s[j] == u'"') {
                if (j + 1 < n && s[j + 1] == u'"') {
                    j += 2;
                    continue;
                }
                return j + 1;
            }
            ++j;
        }
        return n;
    };
    while (i < n) {
        const QChar c = s[i];
        if (c == u'"') {
            const qsizetype j = skipString(i);
            out += s.mid(i, j - i);
            i = j;
            continue;
        }
        if (c == u'[') {
            const qsizetype j = s.indexOf(u']', i);
            const qsizetype stop = j < 0 ? n : j + 1;
            out += s.mid(i, stop - i);
            i = stop;
            continue;
        }
        if (!(c.isLetter() || c == u'_')) {
            out += c;
            ++i;
            continue;
        }
        qsizetype j = i;
        while (j < n && (s[j].isLetterOrNumber() || s[j] == u'_'))
            ++j;
        const QString word = s.mid(i, j - i);
        qsizetype k = j;
        while (k < n && s[k].isSpace())
            ++k;
        qsizetype prev = i - 1;
        while (prev >= 0 && s[prev].isSpace())
            --prev;
        const auto kind = kinds.constFind(word.toLower());
        if (kind == kinds.cend() || k >= n || s[k] != u'(' || (prev >= 0 && s[prev] == u'.')) {
            out += word;
            i = j;
            continue;
        }
        // Find the matching parenthesis.
        int depth = 0;
        qsizetype e = k;
        for (; e < n; ++e) {
            if (s[e] == u'"') {
                e = skipString(e) - 1;
                continue;
            }
            if (s[e] == u'(')
                ++depth;
            else if (s[e] == u')' && --depth == 0)
                break;
        }
        if (e >= n) { // unbalanced: leave it to the compiler to report
            out += s.mid(i);
            break;
        }
        QString inner = s.mid(k + 1, e - k - 1).trimmed();
        Aggregate::Kind kd = *kind;
        if (kd == Aggregate::Count && (inner == u"*" || inner.isEmpty()))
            kd = Aggregate::CountAll;
        const QString id = QString::number(int(kd)) + u'|' + QString::number(level) + u'|' + inner;
        int index = m_aggregateIds.value(id, -1);
        if (index < 0) {
            Aggregate a { kd, inner, level, {}, {}, false };
            if (kd != Aggregate::CountAll) {
                try {
                    a.code = m_script.compileExpression(inner);
                } catch (const script::ScriptError &err) {
                    throw RenderFailure { scriptMessage(
                        err, QStringLiteral("%1(%2)").arg(word, inner)) };
                }
            }
            index = int(m_aggregates.size());
            m_aggregates.append(std::move(a));
            m_aggregateIds.insert(id, index);
            // One met while rendering (a script gave a field new text) is computed at once.
            if (m_ready)
                computeAggregate(m_aggregates.last());
        }
        out += QStringLiteral("[~agg%1]").arg(index);
        i = e + 1;
    }
    return out;
}

void Renderer::computeAggregate(Aggregate &a)
{
    if (a.computed)
        return;
    a.computed = true;
    const int saved = m_pos;
    const int rows = int(m_order.size());
    struct Acc
    {
        qint64 count = 0;
        bool allCurrency = true, allInteger = true, any = false;
        Currency cur;
        qint64 integer = 0;
        double dbl = 0;
        Variant best;
    };
    QHash<int, Acc> acc;
    acc.insert(0, Acc());
    const QString what = QStringLiteral("aggregate over %1").arg(a.inner);
    for (int p = 0; p < rows; ++p) {
        m_pos = p;
        const int key = a.level == 0 ? 0 : m_groupStartOf[size_t(a.level - 1)][size_t(p)];
        Acc &x = acc[key];
        if (a.kind == Aggregate::CountAll) {
            ++x.count;
            continue;
        }
        const Variant v = evaluate(a.code, what);
        if (v.isNull() || v.isEmpty())
            continue;
        ++x.count;
        if (a.kind == Aggregate::Count)
            continue;
        if (a.kind == Aggregate::Min || a.kind == Aggregate::Max) {
            const int c = x.any ? compareForSort(v, x.best) : 0;
            if (!x.any || (a.kind == Aggregate::Min ? c < 0 : c > 0))
                x.best = v;
            x.any = true;
            continue;
        }
        double d = 0;
        try {
            d = v.toDouble();
        } catch (const script::RuntimeError &) {
            throw RenderFailure { QStringLiteral("%1: the value \"%2\" is not a number")
                                      .arg(what, v.isString() ? v.stringValue() : QString()) };
        }
        x.any = true;
        x.dbl += d;
        if (v.type() == VarType::Currency) {
            bool ok = true;
            x.cur = x.cur.add(v.currencyValue(), &ok);
            x.allCurrency = x.allCurrency && ok;
        } else {
            x.allCurrency = false;
        }
        if (v.type() == VarType::Integer || v.type() == VarType::Long || v.type() == VarType::Byte)
            x.integer += v.intValue();
        else
            x.allInteger = false;
    }
    m_pos = saved;
    for (auto it = acc.cbegin(); it != acc.cend(); ++it) {
        const Acc &x = *it;
        Variant v = Variant::null();
        switch (a.kind) {
        case Aggregate::Count:
        case Aggregate::CountAll:
            v = Variant::longValue(qint32(x.count));
            break;
        case Aggregate::Sum:
            if (!x.any)
                break;
            if (x.allCurrency)
                v = Variant::currency(x.cur);
            else if (x.allInteger && x.integer >= INT32_MIN && x.integer <= INT32_MAX)
                v = Variant::longValue(qint32(x.integer));
            else
                v = Variant::dbl(x.dbl);
            break;
        case Aggregate::Avg:
            if (x.count > 0 && x.any)
                v = Variant::dbl(x.dbl / double(x.count));
            break;
        case Aggregate::Min:
        case Aggregate::Max:
            if (x.any)
                v = x.best;
            break;
        }
        a.values.insert(it.key(), v);
    }
}

Variant Renderer::aggregateValue(int id)
{
    if (id < 0 || id >= m_aggregates.size())
        return Variant::null();
    Aggregate &a = m_aggregates[id];
    computeAggregate(a);
    int key = 0;
    if (a.level > 0) {
        if (m_pos < 0)
            return a.kind == Aggregate::Count || a.kind == Aggregate::CountAll
                ? Variant::longValue(0)
                : Variant::null();
        key = m_groupStartOf[size_t(a.level - 1)][size_t(m_pos)];
    }
    return a.values.value(key,
        a.kind == Aggregate::Count || a.kind == Aggregate::CountAll ? Variant::longValue(0)
                                                                    : Variant::null());
}

int Renderer::aggregateLevel(int section) const
{
    if (section >= SectionFirstGroup)
        return (section - SectionFirstGroup) / 2 + 1;
    if (section == SectionDetail)
        return m_engine.m_layout.groupCount();
    return 0;
}

Variant Renderer::evaluate(const script::CompiledCode &code, const QString &what)
{
    try {
        return m_script.evaluate(code, m_scope.get());
    } catch (const script::ScriptError &e) {
        throw RenderFailure { scriptMessage(e, what) };
    }
}

// ---- names

Variant Renderer::dataValue(int column) const
{
    if (m_pos < 0 || m_pos >= int(m_order.size()))
        return Variant::null();
    const QVariant v = m_data->ValueAt(m_order[size_t(m_pos)], column);
    return v.isValid() ? Variant::fromQVariant(v) : Variant::null();
}

bool Renderer::lookup(const QString &name, Variant &value)
{
    if (name.startsWith(QStringLiteral("~agg"))) {
        value = aggregateValue(name.mid(4).toInt());
        return true;
    }
    const QString key = name.toCaseFolded();
    // In page headers and footers Page and Pages are the page counters even when the data has
    // fields of those names ("Pages" printed is common); elsewhere the data comes first.
    if (m_pageBand && (key == u"page" || key == u"pages")) {
        value = key == u"page" || !m_paginate ? Variant::longValue(std::max(1, m_page))
                                              : Variant::string(PagesMarker);
        return true;
    }
    if (auto it = m_columns.constFind(key); it != m_columns.cend()) {
        value = dataValue(*it);
        return true;
    }
    ReportLayout &L = layout();
    if (Field *f = L.fields.item(name)) {
        auto &obj = m_fieldObjects[f];
        if (!obj)
            obj = std::make_shared<FieldObject>(this, f);
        value = Variant::object(obj);
        return true;
    }
    if (const int s = L.sectionIndex(name); s >= 0) {
        auto &obj = m_sectionObjects[s];
        if (!obj)
            obj = std::make_shared<SectionObject>(this, s);
        value = Variant::object(obj);
        return true;
    }
    if (key == u"page") {
        value = Variant::longValue(std::max(1, m_page));
        return true;
    }
    if (key == u"pages") {
        value = m_paginate ? Variant::string(PagesMarker) : Variant::longValue(std::max(1, m_page));
        return true;
    }
    return false;
}

bool Renderer::assign(const QString &name, const Variant &value)
{
    if (Field *f = layout().fields.item(name)) {
        setFieldValue(f, value);
        return true;
    }
    return false;
}

Variant Renderer::fieldValue(Field *field)
{
    // A literal's value is always its text, which the host may change between events.
    if (!field->isExpression())
        return literalValue(field->text);
    if (auto it = m_overrides.constFind(field); it != m_overrides.cend())
        return *it;
    return m_values.value(field);
}

// A literal field takes the value as its text; an expression keeps its text and shows the value
// until its section has been placed.
void Renderer::setFieldValue(Field *field, const Variant &value)
{
    if (field->isExpression()) {
        m_overrides.insert(field, value);
        return;
    }
    field->text = value.isNull() ? QString() : value.toString();
}

// ---- positions

void Renderer::setPosition(int pos)
{
    m_pos = pos;
    if (m_data && m_data->IsOpen() && pos >= 0 && pos < int(m_order.size()))
        m_data->SetAbsolutePosition(m_order[size_t(pos)] + 1);
}

int Renderer::groupEnd(int group, int start) const
{
    const int rows = int(m_order.size());
    for (int p = start + 1; p < rows; ++p) {
        if (breakLevel(p) <= group)
            return p;
    }
    return rows;
}

// ---- sections

bool Renderer::inUse(int section) const
{
    const ReportLayout &L = m_engine.m_layout;
    const Section *s = L.section(section);
    if (!s)
        return false;
    if (s->height > 0 || !s->onFormat.trimmed().isEmpty())
        return true;
    return size_t(section) < m_hasFields.size() && m_hasFields[size_t(section)];
}

QString Renderer::displayText(Field *f, Variant &value)
{
    // Formatting evaluated the field already; placing it reuses that unless the host changed it
    // in between.
    if (auto it = m_formatted.constFind(f); it != m_formatted.cend() && it->text == f->text
        && it->format == f->format && it->calculated == f->calculated) {
        value = it->value;
        return it->display;
    }
    if (!f->isExpression()) {
        value = literalValue(f->text);
        return f->text;
    }
    if (auto it = m_overrides.constFind(f); it != m_overrides.cend())
        value = *it;
    else
        value = evaluate(compiled(f->expression(), aggregateLevel(f->section),
                             QStringLiteral("field %1").arg(f->name)),
            QStringLiteral("field %1").arg(f->name));
    if (value.isObject())
        value = value.objectValue() ? value.objectValue()->get(QString(), {}) : Variant();
    return vbFormat(value, f->format);
}

bool Renderer::formatSection(int section, Band &band)
{
    if (!inUse(section))
        return false;
    const bool savedPageBand = m_pageBand;
    m_pageBand = section == SectionPageHeader || section == SectionPageFooter;
    const auto restore = qScopeGuard([&] { m_pageBand = savedPageBand; });
    ReportLayout &L = layout();
    EngineListener *listener = m_engine.m_listener;
    if (listener)
        listener->sectionFormat(m_engine.m_index, section);
    const QString script = L.section(section)->onFormat;
    if (!script.trimmed().isEmpty()) {
        const QString key = QStringLiteral("S|") + script;
        script::CompiledCode code = m_code.value(key);
        try {
            if (code.isNull()) {
                code = m_script.compileStatements(script);
                m_code.insert(key, code);
            }
            m_script.execute(code, m_scope.get());
        } catch (const script::ScriptError &e) {
            throw RenderFailure { scriptMessage(
                e, sectionLabel(L, section) + QStringLiteral(" script")) };
        }
    }
    // Values first, so the host sees them in the second event.
    m_formatted.clear();
    for (Field *f : L.sectionFields(section)) {
        if (f->kind != FieldKind::Text)
            continue;
        Variant v;
        const QString display = displayText(f, v);
        m_values.insert(f, v);
        m_formatted.insert(f, Formatted { f->text, f->format, f->calculated, display, v });
    }
    if (listener)
        listener->sectionFormatted(m_engine.m_index, section);
    const bool visible = L.section(section)->visible;
    if (visible)
        layoutBand(section, band, false);
    m_formatted.clear();
    m_overrides.clear();
    return visible;
}

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
        bool numeric = false;
        double height = 0; // final
        double shift = 0;
        QList<DisplayItem> sub; // subreport items, relative to the field
    };
    QList<Placed> placed;
    for (Field *f : L.sectionFields(section)) {
        if (!f->visible)
            continue;
        Placed p { f, {}, {}, false, f->height, 0, {} };
        if (f->kind == FieldKind::Text) {
            Variant v;
            p.text = displayText(f, v);
            m_values.insert(f, v);
            p.numeric = v.isNumeric() && !v.isString() && v.type() != VarType::Boolean;
            p.lines = p.text.isEmpty() ? QStringList()
                                       : wrapText(f->font, p.text, f->width, f->wordWrap);
            const double needed = double(p.lines.size()) * lineHeight(f->font);
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
            if (f.backOpaque) {
                BoxItem b;
                b.rect = r;
                b.filled = true;
                b.fill = rgbFromBgr(f.backColor);
                band.items.append(b);
            }
            if (!f.picture.isNull())
                band.items.append(PictureItem { r, f.picture, f.pictureScale });
            border();
            break;
        case FieldKind::Text: {
            if (f.backOpaque) {
                BoxItem b;
                b.rect = r;
                b.filled = true;
                b.fill = rgbFromBgr(f.backColor);
                band.items.append(b);
            }
            if (!f.picture.isNull())
                band.items.append(PictureItem { r, f.picture, f.pictureScale });
            for (DisplayItem item : p.sub) {
                translateItem(item, f.left, f.top + p.shift);
                band.items.append(std::move(item));
            }
            if (!p.lines.isEmpty()) {
                TextRun t;
                t.rect = r;
                t.clip = s.canGrow ? r : r.intersected(bandRect);
                t.text = p.lines.join(u'\n');
                t.font = f.font;
                t.color = rgbFromBgr(f.foreColor);
                t.alignment = qtAlignment(f.align, p.numeric);
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

double Renderer::measureGroup(int group, int start, bool wholeGroup)
{
    const int saved = m_pos;
    const int groups = layout().groupCount();
    const int end = wholeGroup ? groupEnd(group, start) : start + 1;
    double total = 0;
    for (int p = start; p < end; ++p) {
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
    if (wholeGroup) {
        m_pos = end - 1;
        total += measureSection(GroupFooterSection(group));
    }
    m_pos = saved;
    return total;
}

// ---- pages

void Renderer::newPage()
{
    const ReportLayout &L = layout();
    ++m_page;
    if (m_paginate)
        m_doc->addPage(m_pageSize);
    if (EngineListener *l = m_engine.m_listener; l && !m_subreport)
        l->pageStart(m_engine.m_index, m_page);
    m_y = L.margins.top();
    m_bodyEmpty = true;
    const bool first = m_page == 1;
    if (!m_subreport && (!first || L.pageHeaderOnFirstPage)) {
        Band b;
        if (formatSection(SectionPageHeader, b)) {
            if (m_paginate)
                emitBand(b, m_y);
            else
                m_flow->append(FlowBand { b, BandRole::PageHeader, false });
            m_y += b.height;
        }
    }
    m_bodyTop = m_y;
    m_footerReserve = 0;
    if (!m_subreport && (!first || L.pageFooterOnFirstPage) && inUse(SectionPageFooter)
        && L.section(SectionPageFooter)->visible)
        m_footerReserve = L.section(SectionPageFooter)->height;
    m_bodyBottom = m_pageSize.height() - L.margins.bottom() - m_footerReserve;
    if (!m_paginate) {
        m_flowBody = L.pageSize().height() - L.margins.bottom() - m_footerReserve - m_bodyTop;
        m_flowUsed = 0;
        m_flowPages = 1;
    }
}

void Renderer::finishPage()
{
    const ReportLayout &L = layout();
    const bool first = m_page == 1;
    if (m_subreport || (first && !L.pageFooterOnFirstPage))
        return;
    Band b;
    if (!formatSection(SectionPageFooter, b))
        return;
    if (!m_paginate) {
        m_flow->append(FlowBand { b, BandRole::PageFooter, false });
        return;
    }
    // The footer keeps the height reserved for it when the page began.
    const double top = m_pageSize.height() - L.margins.bottom() - m_footerReserve;
    emitBand(sliceBand(b, 0, std::max(m_footerReserve, 0.0)), top);
}

void Renderer::breakPage()
{
    finishPage();
    checkCancel();
    newPage();
}

void Renderer::emitBand(const Band &band, double y)
{
    const double x = layout().margins.left();
    for (DisplayItem item : band.items) {
        translateItem(item, x, y);
        m_doc->addItem(m_page, item);
    }
}

void Renderer::placeBand(Band band)
{
    if (!m_paginate) {
        // As on paper, a break before the first thing on the page is none.
        const bool breakBefore = ((band.pageBreak & BreakBefore) || m_pendingBreak) && !m_bodyEmpty;
        m_pendingBreak = band.pageBreak & BreakAfter;
        m_bodyEmpty = false;
        const double height = band.height;
        m_flow->append(FlowBand { std::move(band), BandRole::Body, breakBefore });
        countFlowPages(height, breakBefore);
        return;
    }
    if (((band.pageBreak & BreakBefore) || m_pendingBreak) && !m_bodyEmpty)
        breakPage();
    m_pendingBreak = false;

    const double eps = 0.5;
    double avail = m_bodyBottom - m_y;
    if (band.height > avail + eps && band.keepTogether && !m_bodyEmpty
        && band.height <= m_bodyBottom - m_bodyTop + eps) {
        breakPage();
        avail = m_bodyBottom - m_y;
    }
    Band rest = std::move(band);
    const int breakCode = rest.pageBreak;
    for (int guard = 0; guard < 100000; ++guard) {
        avail = m_bodyBottom - m_y;
        if (rest.height <= avail + eps) {
            emitBand(rest, m_y);
            m_y += rest.height;
            break;
        }
        double cut = chooseCut(rest, avail);
        if (cut <= eps) {
            if (!m_bodyEmpty) {
                breakPage();
                continue;
            }
            if (avail <= eps) { // the page has no room at all: put it there and move on
                emitBand(rest, m_y);
                m_y += rest.height;
                break;
            }
            cut = avail; // nothing fits even on an empty page: cut where the page ends
        }
        emitBand(sliceBand(rest, 0, cut), m_y);
        m_y += cut;
        rest = sliceBand(rest, cut, rest.height);
        m_bodyEmpty = false;
        breakPage();
        if (m_cancelled)
            return;
    }
    m_bodyEmpty = false;
    m_pendingBreak = breakCode & BreakAfter;
}

void Renderer::place(int section)
{
    // Breaks the layout asks for happen before formatting, so the section's script and events
    // already see the new page.
    const Section *s = layout().section(section);
    if (m_paginate && !m_bodyEmpty && s && s->visible && inUse(section)
        && ((s->forcePageBreak & BreakBefore) || m_pendingBreak)) {
        breakPage();
        m_pendingBreak = false;
    }
    Band b;
    if (formatSection(section, b)) {
        // A section that has to move to the next page is formatted again there, so what its
        // script decides per page (alternating rows restart on every page) holds.
        const double eps = 0.5;
        if (m_paginate && b.keepTogether && !m_bodyEmpty && !m_pendingBreak
            && !(b.pageBreak & BreakBefore) && b.height > m_bodyBottom - m_y + eps
            && b.height <= m_bodyBottom - m_bodyTop + eps) {
            breakPage();
            Band again;
            if (!formatSection(section, again)) {
                checkCancel();
                return;
            }
            b = std::move(again);
        }
        placeBand(std::move(b));
    }
    checkCancel();
}

// Page-less output has no pages, but the host hears of one wherever paper would begin one: its
// progress moves on, and a cancel it asks for there is seen.
void Renderer::countFlowPages(double height, bool breakBefore)
{
    if (m_subreport)
        return;
    const double eps = 0.5;
    auto turn = [&] {
        ++m_flowPages;
        if (EngineListener *l = m_engine.m_listener)
            l->pageStart(m_engine.m_index, m_flowPages);
        checkCancel();
    };
    if (m_flowUsed > 0 && (breakBefore || m_flowUsed + height > m_flowBody + eps)) {
        m_flowUsed = 0;
        turn();
    }
    m_flowUsed += height;
    // A band taller than a page runs on over the pages it fills.
    while (m_flowBody > eps && m_flowUsed > m_flowBody + eps) {
        m_flowUsed -= m_flowBody;
        turn();
    }
}

void Renderer::checkCancel()
{
    if (m_engine.m_cancel) {
        m_cancelled = true;
        throw Cancelled {};
    }
}

void Renderer::run(bool paginate)
{
    ReportLayout &L = layout();
    m_paginate = paginate;
    m_page = 0;
    m_pos = -1;
    m_pendingBreak = false;
    m_values.clear();
    m_overrides.clear();
    m_pageSize = m_paginate ? L.pageSize() : QSizeF(L.pageSize().width(), 1e12);
    m_hasFields.assign(size_t(L.sectionCount()), false);
    for (const Field *f : L.fields.all()) {
        if (f->section >= 0 && f->section < L.sectionCount())
            m_hasFields[size_t(f->section)] = true;
    }
    newPage();
    place(SectionHeader);
    const int rows = int(m_order.size());
    const int groups = L.groupCount();
    for (int pos = 0; pos < rows; ++pos) {
        const int level = breakLevel(pos);
        if (pos > 0) {
            setPosition(pos - 1);
            for (int g = groups; g >= level; --g)
                place(GroupFooterSection(g));
        }
        setPosition(pos);
        for (int g = level; g <= groups; ++g) {
            const int keep = L.group(g).keepTogether;
            if (m_paginate && keep != 0 && !m_bodyEmpty && inUse(GroupHeaderSection(g))) {
                const double need = measureGroup(g, pos, keep == 1);
                if (need > m_bodyBottom - m_y && need <= m_bodyBottom - m_bodyTop)
                    breakPage();
            }
            place(GroupHeaderSection(g));
        }
        place(SectionDetail);
    }
    if (rows > 0) {
        setPosition(rows - 1);
        for (int g = groups; g >= 1; --g)
            place(GroupFooterSection(g));
    }
    place(SectionFooter);
    finishPage();
}

bool Renderer::renderPages(PreviewDocument &document)
{
    if (!prepare())
        return false;
    m_doc = &document;
    m_flow = nullptr;
    const ReportLayout &L = layout();
    document.clear();
    document.setTitle(L.name);
    document.setPageSize(L.pageSize());
    document.setMargins(L.margins);
    document.setFont(L.font);
    const bool ok = runGuarded(true);
    // The page count is known now.
    const QString total = QString::number(m_page);
    for (int p = 1; p <= document.pageCount(); ++p) {
        for (DisplayItem &item : document.page(p).items) {
            if (auto *t = std::get_if<TextRun>(&item); t && t->text.contains(PagesMarker))
                t->text.replace(PagesMarker, total);
        }
    }
    finishRender();
    return ok;
}

// Runs the layout, turning every way it can stop into the error text the caller reports.
bool Renderer::runGuarded(bool paged)
{
    try {
        run(paged);
        return true;
    } catch (const RenderFailure &f) {
        m_error = failure(f.message);
    } catch (const Cancelled &) {
        m_error = QStringLiteral("Rendering was cancelled.");
    } catch (const std::exception &e) {
        m_error = failure(QString::fromUtf8(e.what()));
    }
    return false;
}

// The host's cursor goes back to the first row however the render ended.
void Renderer::finishRender()
{
    if (m_data && !m_subreport && m_data->RecordCount() > 0)
        m_data->MoveFirst();
}

bool Renderer::renderFlow(QList<FlowBand> &flow)
{
    if (!prepare())
        return false;
    m_doc = nullptr;
    m_flow = &flow;
    const bool ok = runGuarded(false);
    finishRender();
    return ok;
}

} // namespace kv6::engine
