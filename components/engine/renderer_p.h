#pragma once

// Private to the engine: the band formatter and paginator behind ReportEngine, and the exports
// that work on its bands.

#include "engine/reportengine.h"
#include "script/scriptengine.h"

#include <QHash>

#include <memory>
#include <vector>

namespace kv6::engine {

// One formatted section: what it draws, x from the layout's left edge, y from its top.
struct Band
{
    int section = -1;
    double height = 0;
    int pageBreak = BreakNone;
    bool keepTogether = true;
    QList<DisplayItem> items;
};

enum class BandRole { Body, PageHeader, PageFooter };

// A band in page-less output (HTML, text): every band in order, with the page breaks the
// layout asked for.
struct FlowBand
{
    Band band;
    BandRole role = BandRole::Body;
    bool breakBefore = false;
};

QRectF itemBounds(const DisplayItem &item);
void translateItem(DisplayItem &item, double dx, double dy);

class Renderer
{
public:
    explicit Renderer(ReportEngine &engine, bool asSubreport = false);
    ~Renderer();
    Renderer(const Renderer &) = delete;
    Renderer &operator=(const Renderer &) = delete;

    // Report start, compiling, group order and aggregates; run once before either render.
    bool prepare();
    bool renderPages(PreviewDocument &document);
    bool renderFlow(QList<FlowBand> &flow);

    QString error() const { return m_error; }
    // Page-less output counts the pages paper would have.
    int pageCount() const { return m_paginate ? m_page : m_flowPages; }
    bool cancelled() const { return m_cancelled; }

    // For the script objects.
    script::Variant fieldValue(Field *field);
    void setFieldValue(Field *field, const script::Variant &value);
    bool lookup(const QString &name, script::Variant &value);
    bool assign(const QString &name, const script::Variant &value);
    ReportLayout &layout() { return m_engine.m_layout; }

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

    void run(bool paginate);
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

    bool inUse(int section) const;
    bool formatSection(int section, Band &band);
    void layoutBand(int section, Band &band, bool measuring);
    QString displayText(Field *field, script::Variant &value);
    double measureSection(int section);
    double measureGroup(int group, int start, bool wholeGroup);

    void newPage();
    void repeatGroupHeaders();
    void finishPage();
    void breakPage();
    void placeBand(Band band);
    void emitBand(const Band &band, double y);
    void place(int section);
    void checkCancel();
    void countFlowPages(double height, bool breakBefore);
    // Where a failure happened: the file, the report, and the page and row when rendering.
    QString failure(const QString &message) const;
    bool runGuarded(bool paged);
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

    // Output.
    bool m_paginate = true;
    PreviewDocument *m_doc = nullptr;
    QList<FlowBand> *m_flow = nullptr;
    QSizeF m_pageSize;
    int m_page = 0;
    double m_y = 0;
    double m_bodyTop = 0;
    double m_bodyBottom = 0;
    double m_footerReserve = 0;
    bool m_bodyEmpty = true;
    bool m_pendingBreak = false;
    // Groups whose rows run on at the next page break (their headers are repeated there).
    int m_openGroups = 0;
    // Page-less output: the body a page would hold, how much of it is used, pages begun.
    double m_flowBody = 0;
    double m_flowUsed = 0;
    int m_flowPages = 0;
};

// Exports of page-less output.
QByteArray flowToHtml(const QList<FlowBand> &flow, const ReportLayout &layout);
QString flowToText(const QList<FlowBand> &flow, const ReportLayout &layout);

} // namespace kv6::engine
