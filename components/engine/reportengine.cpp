#include "engine/reportengine.h"

#include "renderer_p.h"

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

bool ReportEngine::renderToFile(const QString &path, int format, QString *error)
{
    auto fail = [&](const QString &why) {
        if (error)
            *error = why;
        return false;
    };
    if (format != RenderDocument && format != RenderHtml && format != RenderText)
        return fail(QStringLiteral("Unknown output format %1.").arg(format));
    // Opened before the work, so a path that cannot be written fails at once. The file takes
    // its place only when complete: a failed or cancelled render leaves what was there before.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return fail(QStringLiteral("Cannot write %1: %2").arg(path, file.errorString()));
    QByteArray bytes;
    if (format == RenderDocument) {
        PreviewDocument doc;
        if (!render(doc, error))
            return false;
        bytes = doc.toBytes();
    } else {
        m_cancel = false;
        m_cancelled = false;
        Renderer r(*this);
        QList<FlowBand> flow;
        const bool ok = r.renderFlow(flow);
        m_pageCount = r.pageCount();
        m_cancelled = r.cancelled();
        if (!ok)
            return fail(r.error());
        bytes = format == RenderHtml ? flowToHtml(flow, m_layout)
                                     : flowToText(flow, m_layout).toUtf8();
    }
    if (file.write(bytes) != bytes.size() || !file.commit())
        return fail(QStringLiteral("Cannot write %1: %2").arg(path, file.errorString()));
    return true;
}

} // namespace kv6::engine
