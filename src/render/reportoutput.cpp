#include "render/reportoutput.h"

#include "app/fonts.h"
#include "chart/chart.h"
#include "render/pdfpatch.h"
#include "report/report.h"

namespace kv6 {

HeadlessRenderHost::HeadlessRenderHost(RenderOptions options)
    : m_options(std::move(options))
    , m_font(m_options.reportFont ? *m_options.reportFont : LoadFont(ReportFontKey, true))
    , m_chart(std::make_unique<chart::Chart>())
{ }

HeadlessRenderHost::~HeadlessRenderHost()
{
    ReportEnd();
}

void HeadlessRenderHost::ReportBegin(clsReport &report)
{
    m_report = &report;
    m_beginError.clear();
    m_eventError.clear();
    clsReportRender render;
    if (!render.PrepareToRender(
            report, m_engines, m_options.printCover, &m_beginError, m_options.databaseDescription))
        return;
    for (const auto &e : m_engines)
        e->setListener(this);
}

void HeadlessRenderHost::ReportEnd()
{
    m_report = nullptr;
    while (m_engines.size() > 1)
        m_engines.pop_back();
}

QString HeadlessRenderHost::ReportError() const
{
    return m_beginError.isEmpty() ? m_eventError : m_beginError;
}

clsReport *HeadlessRenderHost::reportFor(int engine) const
{
    if (!m_report || engine <= 0)
        return m_report;
    const ReportPtr *sub = m_report->SubReports().item(engine);
    return sub ? sub->get() : nullptr;
}

void HeadlessRenderHost::reportStart(int engine)
{
    if (!m_report || engine < 0 || size_t(engine) >= m_engines.size())
        return;
    clsReportRender().SetFormatting(
        *m_report, *m_engines[size_t(engine)], m_font, !m_options.renderingProposal);
}

void HeadlessRenderHost::pageStart(int engine, int page)
{
    if (!m_report || engine < 0 || size_t(engine) >= m_engines.size())
        return;
    engine::ReportEngine &e = *m_engines[size_t(engine)];
    if (!m_report->SectionToAlternate().isEmpty() && !(page == 1 && m_options.printCover)) {
        if (engine::Field *counter = e.Fields().item(QStringLiteral("ctlAlternate")))
            counter->text = QStringLiteral("0");
    }
    if (engine == 0 && m_options.progress && !m_options.progress(page))
        e.setCancel(true);
}

void HeadlessRenderHost::sectionFormat(int engine, int section)
{
    clsReport *report = reportFor(engine);
    if (!report || engine < 0 || size_t(engine) >= m_engines.size())
        return;
    QString error;
    if (!clsReportRender().RenderCharts(
            *report, *m_engines[size_t(engine)], *m_chart, section, m_font, &error)
        && m_eventError.isEmpty())
        m_eventError = error;
}

void HeadlessRenderHost::sectionFormatted(int engine, int section)
{
    if (engine != 0 || m_engines.empty())
        return;
    engine::FieldCollection &fields = m_engines.front()->Fields();
    const engine::Field *title = fields.item(QStringLiteral("lblTitle"));
    engine::Field *sub = fields.item(QStringLiteral("lblSubTitle"));
    if (title && sub && title->section == section) {
        sub->top = title->top;
        sub->height = title->height;
    }
}

bool HeadlessRenderHost::finish(bool ok, QString *error)
{
    if (ok && !m_eventError.isEmpty()) {
        if (error)
            *error = m_eventError;
        return false;
    }
    return ok;
}

bool HeadlessRenderHost::render(engine::PreviewDocument &document, QString *error)
{
    if (!m_beginError.isEmpty() || m_engines.empty()) {
        if (error)
            *error = m_beginError;
        return false;
    }
    const bool ok = m_engines.front()->render(document, error);
    if (m_report)
        m_report->SetPageCount(m_engines.front()->pageCount());
    return finish(ok, error);
}

bool HeadlessRenderHost::renderToFile(const QString &path, OutputFormat format, QString *error)
{
    if (!m_beginError.isEmpty() || m_engines.empty()) {
        if (error)
            *error = m_beginError;
        return false;
    }
    const bool ok = m_engines.front()->renderToFile(path, format, error);
    if (m_report)
        m_report->SetPageCount(m_engines.front()->pageCount());
    return finish(ok, error);
}

bool RenderReportToFile(clsReport &report, const QString &path, OutputFormat format,
    const RenderOptions &options, QString *error)
{
    HeadlessRenderHost host(options);
    host.ReportBegin(report);
    bool ok = false;
    switch (format) {
    case OutputFormat::Pdf:
        ok = host.renderToFile(path, format, error) && modPDFUtils::PatchPDFFile(path, error);
        break;
    case OutputFormat::Html:
    case OutputFormat::Text:
        ok = host.renderToFile(path, format, error);
        break;
    default:
        if (error)
            *error = QStringLiteral("This output is not made by rendering.");
        break;
    }
    host.ReportEnd();
    return ok;
}

} // namespace kv6
