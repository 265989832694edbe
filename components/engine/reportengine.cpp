#include "engine/reportengine.h"

#include "engine/renderer_p.h"

#include <QSaveFile>

namespace kv6::engine {

ReportEngine::ReportEngine() = default;
ReportEngine::~ReportEngine() = default;

bool ReportEngine::load(const QString &path, const QString &reportName, QString *error)
{
    ReportLayout layout;
    if (!loadLayout(path, reportName, layout, error))
        return false;
    m_layout = std::move(layout);
    return true;
}

bool ReportEngine::render(PreviewDocument &document, QString *error)
{
    m_cancel = false;
    m_cancelled = false;
    Renderer r(*this);
    const bool ok = r.renderPages(document);
    m_pageCount = r.pageCount();
    m_cancelled = r.cancelled();
    if (!ok && error)
        *error = r.error();
    return ok;
}

namespace {

bool writeFile(const QString &path, const QByteArray &bytes, QString *error)
{
    QSaveFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(bytes) < 0 || !f.commit()) {
        if (error)
            *error = QStringLiteral("Cannot write %1: %2").arg(path, f.errorString());
        return false;
    }
    return true;
}

} // namespace

bool ReportEngine::renderToFile(const QString &path, int format, QString *error)
{
    if (format == RenderDocument) {
        PreviewDocument doc;
        return render(doc, error) && doc.save(path, error);
    }
    if (format != RenderHtml && format != RenderText) {
        if (error)
            *error = QStringLiteral("Unknown output format %1.").arg(format);
        return false;
    }
    m_cancel = false;
    m_cancelled = false;
    Renderer r(*this);
    QList<FlowBand> flow;
    const bool ok = r.renderFlow(flow);
    m_pageCount = r.pageCount();
    m_cancelled = r.cancelled();
    if (!ok) {
        if (error)
            *error = r.error();
        return false;
    }
    const QByteArray bytes
        = format == RenderHtml ? flowToHtml(flow, m_layout) : flowToText(flow, m_layout).toUtf8();
    return writeFile(path, bytes, error);
}

} // namespace kv6::engine
