#pragma once

// Turns a built report into a laid-out engine report: loads its layout and its sub-reports'
// layouts, binds the data, restyles the layout with the branding colours and the report font,
// localises labels, adds the optional cover page and places the charts. Holds no state between
// calls.

#include "engine/reportengine.h"

#include <QFont>
#include <QString>

#include <memory>
#include <vector>

namespace kv6 {

class clsReport;

namespace chart {
class Chart;
}

// Element 0 renders the report; higher elements its sub-reports, in SubReports order.
using EngineArray = std::vector<std::unique_ptr<engine::ReportEngine>>;

// The windows (and the unattended run) that show or export reports.
class IReportRenderHost
{
public:
    virtual ~IReportRenderHost() = default;
    virtual void ReportBegin(clsReport &report) = 0;
    virtual void ReportEnd() = 0;
    // Why the report begun last could not be laid out or rendered completely; "" when it could.
    virtual QString ReportError() const { return {}; }
};

class clsReportRender
{
public:
    // Loads and binds the layouts into `engines` (element 0 is created when missing). False with
    // the reason when a layout does not load.
    bool PrepareToRender(clsReport &report, EngineArray &engines, bool printCover,
        QString *error = nullptr, const QString &databaseDescription = {});
    // From the engine's report-start event.
    void SetFormatting(clsReport &report, engine::ReportEngine &engine, const QFont &reportFont,
        bool showPageNumbers);

    // From the engine's section-format event: draws each chart whose destination field lies in
    // that section. False with the reason when a chart's data could not be drawn.
    bool RenderCharts(clsReport &report, engine::ReportEngine &engine, chart::Chart &chart,
        int section, const QFont &reportFont, QString *error = nullptr);

    // The branding's main colour on fields named "clr...", the column-header shade, and the
    // report font's name (and its size where a field keeps the engine's default size).
    static void ApplyReportStyle(engine::ReportEngine &engine, const QFont &reportFont);
    // Numeric label texts become localised strings, except in fields whose names end in "Value";
    // fields holding sub-reports are followed.
    static void LocaliseLabels(engine::ReportEngine &engine);
    // Text extent in twips in the given font; false when it cannot be measured.
    static bool MeasureText(const QString &text, const engine::FontSpec &font, QSizeF &twips);

private:
    void prepareLayout(clsReport &report, engine::ReportEngine &engine);
    void addCoverPage(
        clsReport &report, engine::ReportEngine &engine, const QString &databaseDescription);
};

} // namespace kv6
