#pragma once

// Renders a built report the way the program's windows do, but without one: a rendering host
// for the unattended run and the kv6report command, and the file outputs by extension.

#include "engine/previewdocument.h"
#include "render/reportrender.h"

#include <QFont>
#include <QString>

#include <functional>
#include <memory>

namespace kv6 {

namespace chart {
class Chart;
}

using engine::OutputFormat;

struct RenderOptions
{
    bool printCover = false;
    // Page numbers are left to the proposal when one is rendered.
    bool renderingProposal = false;
    // Shown on the cover page.
    QString databaseDescription;
    // The report font; by default the user's chosen one.
    std::optional<QFont> reportFont;
    // Called as each page starts; returning false cancels the render.
    std::function<bool(int page)> progress;
};

// The rendering host without a window: holds the engines, forwards the engines' events to the
// report renderer, and unloads the sub-report engines at the end.
class HeadlessRenderHost : public IReportRenderHost, public engine::EngineListener
{
public:
    explicit HeadlessRenderHost(RenderOptions options);
    ~HeadlessRenderHost() override;

    void ReportBegin(clsReport &report) override;
    void ReportEnd() override;
    // The layout problem that made ReportBegin fail, if any.
    QString beginError() const { return m_beginError; }
    QString ReportError() const override;

    // Between ReportBegin and ReportEnd.
    bool render(engine::PreviewDocument &document, QString *error);
    bool renderToFile(const QString &path, OutputFormat format, QString *error);
    EngineArray &engines() { return m_engines; }

    void reportStart(int engine) override;
    void pageStart(int engine, int page) override;
    void sectionFormat(int engine, int section) override;
    void sectionFormatted(int engine, int section) override;

private:
    clsReport *reportFor(int engine) const;
    bool finish(bool ok, QString *error);

    RenderOptions m_options;
    QFont m_font;
    clsReport *m_report = nullptr;
    EngineArray m_engines;
    std::unique_ptr<chart::Chart> m_chart;
    QString m_beginError;
    QString m_eventError;
};

// Renders and writes the report (whose data set is built) as PDF (patched for its code page),
// HTML or text. CSV does not go through here (see WriteReportCsv).
bool RenderReportToFile(clsReport &report, const QString &path, OutputFormat format,
    const RenderOptions &options, QString *error = nullptr);

} // namespace kv6
