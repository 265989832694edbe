#pragma once

// The banded report engine: lays a layout (layout.h) out over the rows of a record set.
//
//     ReportEngine engine;
//     engine.load(DefinitionsFolder + "/" + fileName, reportName, &error);
//     data->MoveFirst();
//     engine.setRecordset(data);
//     engine.setListener(&host);                 // report start, pages, section formats
//     engine.render(document, &error);  // or renderToFile(path, OutputFormat::Html, &error)
//     int pages = engine.pageCount();
//
// Sections print in the usual order: report header, for each row the headers of the groups
// that start there, the detail, the footers of the groups that end there, then the report
// footer; page headers and footers on every page. Expressions and section scripts run in the
// script engine; names resolve to the row's data fields, the layout's fields and sections, Page
// and Pages, and aggregates (Sum, Count, Avg, Min, Max) are computed over the group before the
// pages are laid out. A failing expression or script stops the render; the error names the
// layout file, the report, the page and data row reached, the field or section, and the line and
// column in its script.

#include "engine/layout.h"
#include "engine/previewdocument.h"
#include "recordset/recordset.h"

#include <QString>

#include <functional>

namespace kv6::engine {

class Renderer;

// What an engine tells its host while it renders; every call carries the engine's index (0 for
// the main report, higher for subreports).
class EngineListener
{
public:
    virtual ~EngineListener() = default;
    // Once, before anything is evaluated: the host may still change the layout.
    virtual void reportStart(int engine) { Q_UNUSED(engine); }
    // A page begins (before its page header). Page-less output (HTML, text) tells of a page
    // wherever paper would begin one, so progress and cancelling work the same there.
    virtual void pageStart(int engine, int page)
    {
        Q_UNUSED(engine);
        Q_UNUSED(page);
    }
    // Before a section is formatted (its script has not run yet) and after its values are
    // evaluated (before it is measured and placed).
    virtual void sectionFormat(int engine, int section)
    {
        Q_UNUSED(engine);
        Q_UNUSED(section);
    }
    virtual void sectionFormatted(int engine, int section)
    {
        Q_UNUSED(engine);
        Q_UNUSED(section);
    }
};

// Every output the program makes of a report. The engine writes Document, Html and Text itself
// (renderToFile; their numbers are its file-output codes); a PDF is written by renderToFile too,
// or from a rendered preview document (writePdf), and CSV is the data set's own, with no engine
// in it.
enum class OutputFormat : int {
    Unknown = -1,
    Document = 0, // the preview document's ".rtt" file
    Html = 1, // one self-contained HTML page
    Text = 5, // plain text, columns aligned
    Pdf = 100,
    Csv = 101,
};

// ".pdf", ".csv", ".htm"/".html", ".txt", compared without regard to case; anything else (".rtt"
// too: documents are saved from the preview) is Unknown.
OutputFormat outputFormatForPath(const QString &path);

class ReportEngine
{
public:
    ReportEngine();
    ~ReportEngine();
    ReportEngine(const ReportEngine &) = delete;
    ReportEngine &operator=(const ReportEngine &) = delete;

    // Position in the host's engine array; reported with every event.
    int index() const { return m_index; }
    void setIndex(int index) { m_index = index; }

    bool load(const QString &path, const QString &reportName, QString *error = nullptr);
    ReportLayout &layout() { return m_layout; }
    const ReportLayout &layout() const { return m_layout; }
    void setLayout(const ReportLayout &layout) { m_layout = layout; }

    FieldCollection &Fields() { return m_layout.fields; }
    Section *Sections(int index) { return m_layout.section(index); }
    double width() const { return m_layout.layoutWidth(); }
    FontSpec font() const { return m_layout.font; }
    void setFont(const FontSpec &font) { m_layout.font = font; }

    // The rows to lay out, from the first; the engine moves its cursor while rendering.
    void setRecordset(RecordsetPtr data) { m_data = std::move(data); }
    RecordsetPtr recordset() const { return m_data; }

    void setListener(EngineListener *listener) { m_listener = listener; }
    EngineListener *listener() const { return m_listener; }

    // Set (typically from the page event) to stop rendering; cleared when a render starts.
    void setCancel(bool cancel) { m_cancel = cancel; }
    bool cancel() const { return m_cancel; }
    bool wasCancelled() const { return m_cancelled; }

    // After rendering: the number of the last page (for page-less output, of the pages paper
    // would have).
    int pageCount() const { return m_pageCount; }

    // Replaces the document's pages with the report's. False with the reason on an error, and
    // when cancelled (the pages made so far stay).
    bool render(PreviewDocument &document, QString *error = nullptr);
    // Document, Html, Text or Pdf. A path that cannot be written fails before rendering; the file
    // appears only when complete, so a failed or cancelled render leaves no part of one and keeps
    // what was at the path before.
    bool renderToFile(const QString &path, OutputFormat format, QString *error = nullptr);

private:
    friend class Renderer;

    // One render, into pages or flow: the cancel flag clears first, and the page count and
    // whether it was cancelled stay after it.
    bool run(const std::function<bool(Renderer &)> &render, QString *error);
    bool renderPdf(const QString &path, QString *error);

    ReportLayout m_layout;
    RecordsetPtr m_data;
    EngineListener *m_listener = nullptr;
    int m_index = 0;
    bool m_cancel = false;
    bool m_cancelled = false;
    int m_pageCount = 0;
};

} // namespace kv6::engine
