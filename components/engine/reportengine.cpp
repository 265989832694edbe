#include "engine/reportengine.h"

#include "base/textfile.h"

#include "exports_p.h"
#include "pagestore_p.h"
#include "renderer_p.h"

#include <QFileInfo>
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

bool ReportEngine::run(const std::function<bool(Renderer &)> &render, QString *error)
{
    m_cancel = false;
    m_cancelled = false;
    Renderer r(*this);
    const bool ok = render(r);
    m_pageCount = r.pageCount();
    m_cancelled = r.cancelled();
    if (!ok && error)
        *error = r.error();
    return ok;
}

bool ReportEngine::render(PreviewDocument &document, QString *error)
{
    return run([&](Renderer &r) { return r.renderPages(document); }, error);
}

// Pages are written once the total is known ("Page 3 of 12"); until then each finished page is
// held packed, a fraction of what the preview document holds.
bool ReportEngine::renderPdf(const QString &path, QString *error)
{
    PdfStream pdf;
    if (!pdf.open(path, m_layout.name, error))
        return false;
    PreviewDocument document;
    PageStore store;
    PreviewDocument page;
    page.addPage();
    // Painted on other threads, each page goes to them as soon as it is laid out, and the page
    // total is drawn over the pages at the end; otherwise the pages wait for the total.
    QString failed;
    if (pdf.deferText(PagesMarker)) {
        store.takePages = [&](PreviewDocument::Page &laid) {
            if (!failed.isEmpty())
                return;
            page.page(1) = std::move(laid);
            if (!pdf.add(page, &failed) && failed.isEmpty())
                failed = QStringLiteral("Cannot write the PDF file %1.").arg(path);
        };
    }
    if (!run([&](Renderer &r) { return r.renderPages(document, &store); }, error))
        return false;
    if (!failed.isEmpty()) {
        if (error)
            *error = failed;
        return false;
    }
    const int kept = store.takePages ? 0 : store.count();
    for (int p = 1; p <= kept; ++p) {
        page.page(1) = store.page(p);
        store.drop(p);
        if (!pdf.add(page, error))
            return false;
    }
    return pdf.finish(error, QString::number(store.count()));
}

OutputFormat outputFormatForPath(const QString &path)
{
    const QString suffix = QFileInfo(path).suffix().toLower();
    if (suffix == QLatin1String("pdf"))
        return OutputFormat::Pdf;
    if (suffix == QLatin1String("csv"))
        return OutputFormat::Csv;
    if (suffix == QLatin1String("htm") || suffix == QLatin1String("html"))
        return OutputFormat::Html;
    if (suffix == QLatin1String("txt"))
        return OutputFormat::Text;
    return OutputFormat::Unknown;
}

bool ReportEngine::renderToFile(const QString &path, OutputFormat format, QString *error)
{
    auto fail = [&](const QString &why) {
        if (error)
            *error = why;
        return false;
    };
    if (format == OutputFormat::Pdf)
        return renderPdf(path, error);
    if (format != OutputFormat::Document && format != OutputFormat::Html
        && format != OutputFormat::Text)
        return fail(QStringLiteral("Unknown output format %1.").arg(int(format)));
    // Opened before the work, so a path that cannot be written fails at once. The file takes
    // its place only when complete: a failed or cancelled render leaves what was there before.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return fail(QStringLiteral("Cannot write %1: %2").arg(path, file.errorString()));
    QByteArray bytes;
    if (format == OutputFormat::Document) {
        PreviewDocument doc;
        if (!render(doc, error))
            return false;
        // Streamed, so the pages are not held a second time as bytes.
        QString why;
        if (!doc.write(&file) || !CommitFile(file, &why))
            return fail(QStringLiteral("Cannot write %1: %2")
                            .arg(path, why.isEmpty() ? WriteFailure(file) : why));
        return true;
    } else {
        QList<FlowBand> flow;
        if (!run([&](Renderer &r) { return r.renderFlow(flow); }, error))
            return false;
        bytes = format == OutputFormat::Html ? flowToHtml(flow, m_layout)
                                             : flowToText(flow, m_layout).toUtf8();
    }
    QString why;
    if (!WriteAndCommit(file, bytes, &why))
        return fail(QStringLiteral("Cannot write %1: %2").arg(path, why));
    return true;
}

} // namespace kv6::engine
