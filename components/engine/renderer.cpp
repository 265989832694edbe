#include "renderer_p.h"

#include "bandsink_p.h"
#include "engine/vbformat.h"
#include "hostobjects_p.h"
#include "pagestore_p.h"

#include <QScopeGuard>

#include <algorithm>
#include <cmath>

namespace kv6::engine {

using script::Variant;
using script::VarType;

const QString PagesMarker = QString(QChar(0xE000));

namespace {

// Unwinds a render whose cancel flag was set.
struct Cancelled
{
};

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

QString sectionLabel(const ReportLayout &layout, int section)
{
    const Section *s = layout.section(section);
    return QStringLiteral("section %1").arg(s ? s->name : QString::number(section));
}

} // namespace

QString scriptMessage(const script::ScriptError &e, const QString &what)
{
    QString where = what;
    if (e.line() > 0)
        where += QStringLiteral(", line %1, column %2").arg(e.line()).arg(e.column());
    return QStringLiteral("%1: %2").arg(where, e.message());
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

// ---- Renderer

Renderer::Renderer(ReportEngine &engine, bool asSubreport)
    : m_engine(engine)
    , m_subreport(asSubreport)
    , m_scope(makeScope(this))
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
    if (m_ready && m_sink && m_sink->paged() && m_sink->page() > 0)
        parts << QStringLiteral("page %1").arg(m_sink->page());
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
    auto folded = m_foldedNames.constFind(name);
    if (folded == m_foldedNames.cend())
        folded = m_foldedNames.insert(name, name.toCaseFolded());
    const QString key = *folded;
    const int page = m_sink ? m_sink->page() : 0;
    // In page headers and footers Page and Pages are the page counters even when the data has
    // fields of those names ("Pages" printed is common); elsewhere the data comes first.
    if (m_pageBand && (key == u"page" || key == u"pages")) {
        value = key == u"page" || !m_paginate ? Variant::longValue(std::max(1, page))
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
            obj = makeFieldObject(this, f);
        value = Variant::object(obj);
        return true;
    }
    if (const int s = L.sectionIndex(name); s >= 0) {
        auto &obj = m_sectionObjects[s];
        if (!obj)
            obj = makeSectionObject(this, s);
        value = Variant::object(obj);
        return true;
    }
    if (key == u"page") {
        value = Variant::longValue(std::max(1, page));
        return true;
    }
    if (key == u"pages") {
        value = m_paginate ? Variant::string(PagesMarker) : Variant::longValue(std::max(1, page));
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

// ---- the band stream

void Renderer::pageStarted(int page)
{
    if (EngineListener *l = m_engine.m_listener; l && !m_subreport)
        l->pageStart(m_engine.m_index, page);
}

void Renderer::place(int section)
{
    m_sink->beforeSection(section);
    Band b;
    if (formatSection(section, b)) {
        if (m_sink->moveToNextPage(b)) {
            Band again;
            if (!formatSection(section, again)) {
                checkCancel();
                return;
            }
            b = std::move(again);
        }
        m_sink->body(std::move(b));
    }
    checkCancel();
}

void Renderer::checkCancel()
{
    if (m_engine.m_cancel) {
        m_cancelled = true;
        throw Cancelled {};
    }
}

void Renderer::run(BandSink &sink)
{
    ReportLayout &L = layout();
    m_sink = &sink;
    m_paginate = sink.paged();
    m_pos = -1;
    m_values.clear();
    m_overrides.clear();
    m_hasFields.assign(size_t(L.sectionCount()), false);
    for (const Field *f : L.fields.all()) {
        if (f->section >= 0 && f->section < L.sectionCount())
            m_hasFields[size_t(f->section)] = true;
    }
    sink.setOpenGroups(0);
    sink.begin();
    place(SectionHeader);
    const int rows = int(m_order.size());
    const int groups = L.groupCount();
    for (int pos = 0; pos < rows; ++pos) {
        const int level = breakLevel(pos);
        if (pos > 0) {
            setPosition(pos - 1);
            for (int g = groups; g >= level; --g) {
                sink.setOpenGroups(g);
                place(GroupFooterSection(g));
            }
        }
        setPosition(pos);
        for (int g = level; g <= groups; ++g) {
            sink.setOpenGroups(g - 1);
            if (const int keep = L.group(g).keepTogether; keep != 0)
                sink.keepGroup(g, pos, keep == 1);
            place(GroupHeaderSection(g));
        }
        sink.setOpenGroups(groups);
        place(SectionDetail);
    }
    if (rows > 0) {
        setPosition(rows - 1);
        for (int g = groups; g >= 1; --g) {
            sink.setOpenGroups(g);
            place(GroupFooterSection(g));
        }
    }
    sink.setOpenGroups(0);
    place(SectionFooter);
    sink.end();
}

bool Renderer::renderPages(PreviewDocument &document, PageStore *store)
{
    if (!prepare())
        return false;
    const ReportLayout &L = layout();
    document.clear();
    document.setTitle(L.name);
    document.setPageSize(L.pageSize());
    document.setMargins(L.margins);
    document.setFont(L.font);
    PageSink pages(*this, document, store);
    const bool ok = runGuarded(pages);
    // The page count is known now.
    const QString total = QString::number(pages.page());
    for (int p = store ? store->count() + 1 : 1; p <= document.pageCount(); ++p) {
        if (store)
            store->add(document.page(p));
        else
            document.pack(p);
    }
    if (store)
        store->replaceText(PagesMarker, total);
    else
        document.replaceText(PagesMarker, total);
    finishRender();
    return ok;
}

bool Renderer::renderFlow(QList<FlowBand> &flow)
{
    if (!prepare())
        return false;
    FlowSink sink(*this, flow);
    const bool ok = runGuarded(sink);
    finishRender();
    return ok;
}

// Runs the layout, turning every way it can stop into the error text the caller reports.
bool Renderer::runGuarded(BandSink &sink)
{
    bool ok = false;
    try {
        run(sink);
        ok = true;
    } catch (const RenderFailure &f) {
        m_error = failure(f.message);
    } catch (const Cancelled &) {
        m_error = QStringLiteral("Rendering was cancelled.");
    } catch (const std::exception &e) {
        m_error = failure(QString::fromUtf8(e.what()));
    }
    m_pageCount = sink.pageCount();
    m_sink = nullptr;
    return ok;
}

// The host's cursor goes back to the first row however the render ended.
void Renderer::finishRender()
{
    if (m_data && !m_subreport && m_data->RecordCount() > 0)
        m_data->MoveFirst();
}

} // namespace kv6::engine
