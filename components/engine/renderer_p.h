#pragma once

// Private to the engine: the band formatter behind ReportEngine. It walks the rows in report
// order, runs the section scripts, evaluates the fields and hands every formatted section as a
// band to one BandSink, which makes pages of them or page-less flow (bandsink_p.h).

#include "bandgeometry_p.h"
#include "engine/reportengine.h"
#include "script/scriptengine.h"

#include <QHash>

#include <memory>
#include <vector>

namespace kv6::engine {

class BandSink;
class PageStore;

// Failures inside the renderer; turned into the render's error text at its entry points.
struct RenderFailure
{
    QString message;
};

// Stands for the page count until the last page is known; replaced in the finished pages.
extern const QString PagesMarker;

// "what, line l, column c: message".
QString scriptMessage(const script::ScriptError &e, const QString &what);
// Nulls first, numbers as numbers, text without case.
int compareForSort(const script::Variant &a, const script::Variant &b);

class Renderer
{
public:
    explicit Renderer(ReportEngine &engine, bool asSubreport = false);
    ~Renderer();
    Renderer(const Renderer &) = delete;
    Renderer &operator=(const Renderer &) = delete;

    // Report start, compiling, group order and aggregates; run once before either render.
    bool prepare();
    // Each page is packed once the next one begins, into the store when one is given (the
    // document then keeps empty pages); the number of pages ("Page 3 of 12") goes into the
    // texts as they are unpacked.
    bool renderPages(PreviewDocument &document, PageStore *store = nullptr);
    bool renderFlow(QList<FlowBand> &flow);

    QString error() const { return m_error; }
    // Page-less output counts the pages paper would have.
    int pageCount() const { return m_pageCount; }
    bool cancelled() const { return m_cancelled; }

    // For the script objects.
    script::Variant fieldValue(Field *field);
    void setFieldValue(Field *field, const script::Variant &value);
    bool lookup(const QString &name, script::Variant &value);
    bool assign(const QString &name, const script::Variant &value);
    ReportLayout &layout() { return m_engine.m_layout; }

    // For the band sinks.
    bool isSubreport() const { return m_subreport; }
    // Tells the host a page begins (the main report's pages only).
    void pageStarted(int page);
    bool inUse(int section) const;
    // False when the section prints nothing (not in use, or hidden by its script).
    bool formatSection(int section, Band &band);
    // The height of a group from the row at `start` (only its headers and first row unless
    // `wholeGroup`), as it would be formatted now. Measuring stops once past `limit`: a group
    // taller than a page is not kept together, and measuring it whole would lay it out twice.
    double measureGroup(int group, int start, bool wholeGroup, double limit);
    // Unwinds the render when the host asked to cancel.
    void checkCancel();

private:
    struct Aggregate
    {
        enum Kind { Sum, Count, CountAll, Avg, Min, Max } kind;
        QString inner;
        int level; // 0: the whole report; g: group g
        script::CompiledCode code;
        QHash<int, script::Variant> values; // by the group's first row
        bool computed = false;
    };

    void run(BandSink &sink);
    void prepareOrThrow();
    script::CompiledCode compiled(const QString &expression, int level, const QString &what);
    QString rewriteAggregates(const QString &expression, int level);
    void computeAggregate(Aggregate &a);
    script::Variant aggregateValue(int id);
    int aggregateLevel(int section) const;
    script::Variant evaluate(const script::CompiledCode &code, const QString &what);

    void setPosition(int pos);
    script::Variant dataValue(int column) const;
    int breakLevel(int pos) const { return m_breakLevel[size_t(pos)]; }
    int groupEnd(int group, int start) const;

    void layoutBand(int section, Band &band, bool measuring);
    QString displayText(Field *field, script::Variant &value);
    double measureSection(int section);
    void place(int section);
    // Where a failure happened: the file, the report, and the page and row when rendering.
    QString failure(const QString &message) const;
    bool runGuarded(BandSink &sink);
    void finishRender();

    ReportEngine &m_engine;
    bool m_subreport;
    script::Engine m_script;
    std::unique_ptr<script::HostScope> m_scope;
    QString m_error;
    bool m_prepared = false;
    bool m_ready = false; // prepared: group structure and aggregates in place
    bool m_cancelled = false;

    // Data: row order (indices into the record set) and group structure per position.
    RecordsetPtr m_data;
    QHash<QString, int> m_columns; // case-folded name -> column
    // Names scripts and fields look up, case-folded once each: the same few, row after row.
    QHash<QString, QString> m_foldedNames;
    std::vector<int> m_order;
    std::vector<int> m_breakLevel; // outermost group starting at the position; groups + 1: none
    std::vector<std::vector<int>> m_groupStartOf; // [group - 1][pos]
    int m_pos = -1;
    bool m_pageBand = false; // formatting a page header or footer

    QHash<QString, script::CompiledCode> m_code;
    QList<Aggregate> m_aggregates;
    QHash<QString, int> m_aggregateIds;
    QHash<const Field *, script::Variant> m_values;
    QHash<const Field *, script::Variant> m_overrides;
    struct Formatted
    {
        QString text, format;
        bool calculated;
        QString display;
        script::Variant value;
    };
    QHash<const Field *, Formatted> m_formatted; // the section being formatted
    std::vector<bool> m_hasFields; // by section, for the render under way
    QHash<const Field *, std::shared_ptr<script::HostObject>> m_fieldObjects;
    QHash<int, std::shared_ptr<script::HostObject>> m_sectionObjects;
    QHash<ReportEngine *, std::shared_ptr<Renderer>> m_subRenderers;

    // Output: where the bands of the render under way go.
    BandSink *m_sink = nullptr;
    bool m_paginate = true;
    int m_pageCount = 0;
};

} // namespace kv6::engine
