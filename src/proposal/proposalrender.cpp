#include "proposal/proposalrender.h"

#include "app/branding.h"
#include "app/fonts.h"
#include "base/langstrings.h"
#include "base/paths.h"
#include "base/startupvalues.h"
#include "base/textfile.h"
#include "groups/analysis.h"
#include "proposal/proposal.h"
#include "recordset/recordset.h"
#include "render/pdfpatch.h"
#include "render/reportoutput.h"
#include "report/dateselector.h"
#include "report/report.h"
#include "report/savedfile.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QRegularExpression>
#include <QSaveFile>
#include <QTemporaryDir>

namespace kv6 {

using engine::OutputFormat;
using engine::PreviewDocument;
using engine::ReportEngine;

namespace {

constexpr int TextFieldSize = 256;
// Page numbers: half-inch margins, and the line sits where the reports' footers put their own
// page number (120 twips into a 400-twip footer).
constexpr double NumberMargin = 720;
constexpr double NumberAboveMargin = 280;

QString extension(OutputFormat format)
{
    switch (format) {
    case OutputFormat::Html:
        return QStringLiteral(".htm");
    case OutputFormat::Text:
        return QStringLiteral(".txt");
    default:
        return QStringLiteral(".rtt");
    }
}

QString layoutPath(const QString &fileName)
{
    return Startup().DefinitionsFolder + QLatin1Char('/') + fileName;
}

// The period the proposal covers, as its title page shows it.
QString periodText(const clsProposal &p)
{
    // All dates span the calendar's ends; its name reads better than those.
    if (p.DateSelectType() == clsDateSelector::AllDates)
        return clsDateSelector::SearchTypeDescription(clsDateSelector::AllDates);
    if (!p.FromDate().isValid() || !p.ToDate().isValid())
        return {};
    return SavedDateText(p.FromDate()) + QStringLiteral(" \u2013 ") + SavedDateText(p.ToDate());
}

// The logo without its transparent border, so that it sits in the middle where the title page
// centres it.
QImage trimmed(const QImage &image)
{
    if (image.isNull() || !image.hasAlphaChannel())
        return image;
    const QImage argb = image.convertToFormat(QImage::Format_ARGB32);
    QRect used;
    for (int y = 0; y < argb.height(); ++y) {
        const auto *line = reinterpret_cast<const QRgb *>(argb.constScanLine(y));
        for (int x = 0; x < argb.width(); ++x) {
            if (qAlpha(line[x]) != 0)
                used |= QRect(x, y, 1, 1);
        }
    }
    return used.isEmpty() ? image : argb.copy(used);
}

bool fail(QString *error, const QString &text)
{
    if (error)
        *error = text;
    return false;
}

// Loads a piece into the document (the first replaces what it held) and deletes its file.
bool takePiece(PreviewDocument &document, const QString &path, bool first, QString *error)
{
    const bool ok = first ? document.load(path, error) : document.append(path, error);
    QFile::remove(path);
    return ok;
}

// The body of one HTML piece with its style classes renamed apart from the other pieces'.
struct HtmlPiece
{
    QString style;
    QString body;
};

HtmlPiece htmlPiece(const QString &html, int n)
{
    const auto between = [&](const QString &open, const QString &close) {
        const qsizetype a = html.indexOf(open);
        const qsizetype b = html.lastIndexOf(close);
        return a < 0 || b < a ? QString() : html.mid(a + open.size(), b - a - open.size());
    };
    const QString prefix = QStringLiteral("p%1").arg(n);
    HtmlPiece piece { between(QStringLiteral("<style>"), QStringLiteral("</style>")),
        between(QStringLiteral("<body>"), QStringLiteral("</body>")) };
    static const QRegularExpression styleClass(
        QStringLiteral("^\\.s(\\d+) \\{"), QRegularExpression::MultilineOption);
    static const QRegularExpression usedClass(QStringLiteral("class=\"s(\\d+)\""));
    piece.style.replace(styleClass, QStringLiteral(".%1s\\1 {").arg(prefix));
    piece.style.replace(QStringLiteral("table.report"), QStringLiteral("table.%1").arg(prefix));
    piece.body.replace(usedClass, QStringLiteral("class=\"%1s\\1\"").arg(prefix));
    piece.body.replace(QStringLiteral("<table class=\"report\">"),
        QStringLiteral("<table class=\"%1\">").arg(prefix));
    return piece;
}

// Dots that run from after the text to the end of the field: exactly as many as fit, so that
// nothing hidden lies under the page number when the text is copied out of the PDF.
QString leader(const QString &text, const engine::FontSpec &font, double width)
{
    QSizeF used, dot;
    if (!clsReportRender::MeasureText(text + QStringLiteral("  "), font, used)
        || !clsReportRender::MeasureText(QStringLiteral(" ."), font, dot))
        return {};
    // MeasureText adds 60 twips of air to every width.
    const double step = dot.width() - 60;
    const int n = step > 0 ? int((width - used.width() - 60) / step) : 0;
    return n > 0 ? QStringLiteral(" .").repeated(n) : QString();
}

} // namespace

clsProposalRender::clsProposalRender() = default;
clsProposalRender::~clsProposalRender() = default;

QString clsProposalRender::TemporaryFolder() const
{
    return m_folder ? m_folder->path() + QLatin1Char('/') : QString();
}

QString clsProposalRender::piecePath(const QString &baseName) const
{
    return TemporaryFolder() + baseName + extension(m_format);
}

bool clsProposalRender::BeginProposal(IReportRenderHost &host, clsProposal &proposal,
    EngineArray &engines, const QFont &reportFont, QString *error, OutputFormat pieces)
{
    m_host = &host;
    m_proposal = &proposal;
    m_engines = &engines;
    m_font = reportFont;
    m_format = pieces;
    m_frontPages = 0;
    // A folder of its own, so two proposals rendering at once (a scheduled run beside the
    // window) never take each other's pieces.
    // Qt names no temporary folder when the one the system names does not exist.
    if (TempFolder().isEmpty())
        return fail(error,
            QStringLiteral("The system's temporary folder does not exist, so the proposal's "
                           "pieces cannot be laid out."));
    m_folder = std::make_unique<QTemporaryDir>(TempFolder() + QStringLiteral("kv6prp-XXXXXX"));
    if (!m_folder->isValid()) {
        const QString why = m_folder->errorString();
        m_folder.reset();
        return fail(error,
            QStringLiteral("No temporary folder can be made in %1: %2")
                .arg(QDir::toNativeSeparators(TempFolder()), why));
    }
    if (proposal.CreateTitlePage())
        return renderTitlePage(error);
    return true;
}

bool clsProposalRender::renderTitlePage(QString *error)
{
    auto data = Recordset::Create();
    for (const char *name : { "ProposalTitle", "PreparedFor", "PreparedBy", "ProposalPeriod" })
        data->AppendField(QLatin1String(name), adVarWChar, TextFieldSize);
    data->Open();
    data->AppendRow({ m_proposal->Title(), m_proposal->PreparedFor(), m_proposal->PreparedBy(),
        periodText(*m_proposal) });
    data->MoveFirst();

    ReportEngine engine;
    if (!engine.load(
            layoutPath(QStringLiteral("titlepage.prp")), QStringLiteral("Title Page"), error))
        return false;
    engine.setRecordset(data);
    clsReportRender::ApplyReportStyle(engine, m_font);
    clsReportRender::LocaliseLabels(engine);
    if (engine::Field *logo = engine.Fields().item(QStringLiteral("picLogo")))
        logo->picture = engine::Picture::fromImage(trimmed(Startup().ReportLogoPicture));
    const bool ok = engine.renderToFile(piecePath(QStringLiteral("KV6prpTitle")), m_format, error);
    m_frontPages = engine.pageCount();
    data->Close();
    return ok;
}

bool clsProposalRender::RenderReport(int index, QString *error)
{
    if (!m_proposal || !m_folder)
        return fail(error, QStringLiteral("The proposal has not begun."));
    const ReportPtr *report = m_proposal->Reports().item(index);
    if (!report)
        return fail(error, QStringLiteral("The proposal has no report %1.").arg(index));
    clsReport &r = **report;
    r.SetNumDecimals(m_proposal->NumDecimals());
    m_host->ReportBegin(r);
    bool ok = false;
    if (const QString why = m_host->ReportError(); !why.isEmpty() || m_engines->empty()) {
        fail(error, why);
    } else {
        ReportEngine &engine = *m_engines->front();
        ok = engine.renderToFile(
            piecePath(QStringLiteral("KV6prpReport%1").arg(index)), m_format, error);
        r.SetPageCount(engine.pageCount());
        if (ok && !m_host->ReportError().isEmpty())
            ok = fail(error, m_host->ReportError());
    }
    m_host->ReportEnd();
    return ok;
}

bool clsProposalRender::RenderAllReports(QString *error)
{
    for (int i = 1; m_proposal && i <= m_proposal->Reports().count(); ++i) {
        if (!RenderReport(i, error))
            return false;
    }
    return true;
}

bool clsProposalRender::renderContents(QString *error)
{
    ReportEngine engine;
    if (!engine.load(layoutPath(QStringLiteral("tbcontents.prp")),
            QStringLiteral("Proposal Contents"), error))
        return false;
    if (engine::Field *title = engine.Fields().item(QStringLiteral("clrTitle"))) {
        title->text = GetLangString(824);
        title->calculated = false;
    }
    clsReportRender::ApplyReportStyle(engine, m_font);
    clsReportRender::LocaliseLabels(engine);
    if (engine::Field *logo = engine.Fields().item(QStringLiteral("picLogo")))
        logo->picture = engine::Picture::fromImage(Startup().ReportLogoPicture);

    auto data = Recordset::Create();
    data->AppendField(QStringLiteral("ProposalReportName"), adVarWChar, TextFieldSize);
    data->AppendField(QStringLiteral("PageStart"), adInteger);
    data->AppendField(QStringLiteral("Leader"), adVarWChar, TextFieldSize);
    data->Open();
    const engine::Field *name = engine.Fields().item(QStringLiteral("txtReportName"));
    int start = 1;
    for (const ReportPtr &report : m_proposal->Reports()) {
        data->AppendRow({ report->DisplayName(), start,
            name ? leader(report->DisplayName(), name->font, name->width) : QString() });
        start += report->PageCount();
    }
    data->MoveFirst();
    engine.setRecordset(data);
    const bool ok
        = engine.renderToFile(piecePath(QStringLiteral("KV6prpContents")), m_format, error);
    m_frontPages += engine.pageCount();
    data->Close();
    return ok;
}

QStringList clsProposalRender::pieces() const
{
    QStringList paths;
    paths << piecePath(QStringLiteral("KV6prpTitle"))
          << piecePath(QStringLiteral("KV6prpContents"));
    for (int i = 1; i <= m_proposal->Reports().count(); ++i)
        paths << piecePath(QStringLiteral("KV6prpReport%1").arg(i));
    QStringList present;
    for (const QString &p : std::as_const(paths)) {
        if (QFile::exists(p))
            present << p;
    }
    return present;
}

void clsProposalRender::setNumberStyle(PreviewDocument &document) const
{
    document.setFont(engine::FontSpec::fromQFont(m_font));
    document.setTextColor(engine::rgbFromBgr(int(Branding().ReportColorMain())));
    document.setMargins(QMarginsF(NumberMargin, NumberMargin, NumberMargin, NumberMargin));
}

void clsProposalRender::numberPage(PreviewDocument &document, int page, int number, int count)
{
    const QString text = GetLangString(821, QString::number(number), QString::number(count));
    const QSizeF size = document.sizeOfPage(page);
    const double x = size.width() - document.margins().right() - document.textWidth(text);
    const double y = size.height() - document.margins().bottom() - NumberAboveMargin;
    document.drawOverlayText(page, x, y, text);
}

bool clsProposalRender::FinalizeProposal(PreviewDocument &document, QString *error)
{
    if (!m_proposal || !m_folder)
        return fail(error, QStringLiteral("The proposal has not begun."));
    if (m_proposal->CreateTableContents() && !renderContents(error))
        return false;
    bool first = true;
    for (const QString &path : pieces()) {
        if (!takePiece(document, path, first, error))
            return false;
        first = false;
    }
    setNumberStyle(document);
    const int last = document.pageCount();
    for (int p = m_frontPages + 1; p <= last; ++p)
        numberPage(document, p, p - m_frontPages, last - m_frontPages);
    return true;
}

bool clsProposalRender::FinalizeProposalToPdf(const QString &path, QString *error)
{
    if (!m_proposal || !m_folder)
        return fail(error, QStringLiteral("The proposal has not begun."));
    if (m_proposal->CreateTableContents() && !renderContents(error))
        return false;
    int count = 0;
    for (const ReportPtr &report : m_proposal->Reports())
        count += report->PageCount();
    engine::PdfStream pdf;
    if (!pdf.open(path, m_proposal->Title(), error))
        return false;
    // One piece in memory at a time: the pages before it are in the file already.
    int before = 0;
    for (const QString &piecePath : pieces()) {
        PreviewDocument piece;
        if (!takePiece(piece, piecePath, true, error))
            return false;
        setNumberStyle(piece);
        for (int p = 1; p <= piece.pageCount(); ++p) {
            if (before + p > m_frontPages)
                numberPage(piece, p, before + p - m_frontPages, count);
        }
        before += piece.pageCount();
        if (!pdf.add(piece, error))
            return false;
    }
    return pdf.finish(error);
}

bool clsProposalRender::FinalizeProposalToFile(const QString &path, QString *error)
{
    if (!m_proposal || !m_folder)
        return fail(error, QStringLiteral("The proposal has not begun."));
    if (m_proposal->CreateTableContents() && !renderContents(error))
        return false;
    QString out;
    QString styles;
    int n = 0;
    for (const QString &piecePath : pieces()) {
        QString text;
        const bool read = ReadTextFile(piecePath, &text, error);
        QFile::remove(piecePath);
        if (!read)
            return false;
        if (m_format == OutputFormat::Html) {
            const HtmlPiece piece = htmlPiece(text, ++n);
            styles += piece.style;
            out += QStringLiteral("<section class=\"piece\">\n%1</section>\n").arg(piece.body);
        } else {
            // A form feed starts each piece on a new sheet when the text is printed.
            out += (out.isEmpty() ? QString() : QStringLiteral("\f\n")) + text;
        }
    }
    if (m_format == OutputFormat::Html) {
        out = QStringLiteral("<!DOCTYPE html>\n<html>\n<head>\n<meta charset=\"utf-8\">\n<title>"
                             "%1</title>\n<style>\n%2section.piece + section.piece { "
                             "break-before: page; margin-top: 3em; }\n</style>\n</head>\n<body>\n"
                             "%3</body>\n</html>\n")
                  .arg(m_proposal->Title().toHtmlEscaped(), styles, out);
    }
    QSaveFile file(path);
    QString why;
    if (!file.open(QIODevice::WriteOnly) || !WriteAndCommit(file, out.toUtf8(), &why))
        return fail(error,
            QStringLiteral("Cannot write %1: %2")
                .arg(QDir::toNativeSeparators(path), why.isEmpty() ? file.errorString() : why));
    return true;
}

ProposalOutcome BuildProposalData(clsProposal &proposal, clsAnalysis *analysis,
    DataConnection &connection, IProposalProgress *progress)
{
    ProposalOutcome outcome;
    const int count = proposal.Reports().count();
    if (count == 0) {
        outcome.result = ProposalOutcome::NoReports;
        outcome.error = GetLangString(129);
        return outcome;
    }
    if (progress)
        progress->UpdateProgress(1, GetLangString(236), 0, count);
    for (int i = 1; i <= count; ++i) {
        if (progress && progress->Cancelled()) {
            outcome.result = ProposalOutcome::Cancelled;
            return outcome;
        }
        clsReport &report = **proposal.Reports().item(i);
        if (progress) {
            progress->UpdateProgress(1, report.Caption(), i, count);
            progress->UpdateProgress(2, GetLangString(237), 0, 1);
        }
        QMetaObject::Connection relay;
        if (progress) {
            relay = QObject::connect(&report, &clsReport::UpdateProgress,
                [progress](const QString &text, int position, int maximum) {
                    Q_UNUSED(text);
                    progress->UpdateProgress(2, GetLangString(238), position, maximum);
                });
        }
        const DataResult e = report.BuildReportDataSet(analysis, connection);
        QObject::disconnect(relay);
        outcome.report = report.Caption();
        if (e) {
            outcome.result = ProposalOutcome::Failed;
            outcome.error = e->Description();
            return outcome;
        }
        const RecordsetPtr data = report.ReportData();
        if (!data || data->RecordCount() == 0) {
            outcome.result = ProposalOutcome::NoData;
            return outcome;
        }
    }
    outcome.report.clear();
    return outcome;
}

namespace {

// The host order shared by every road: begin (the title page), each report unless cancelled,
// then `finish` unless cancelled. The temporary folder goes with `render` on every way out.
ProposalOutcome renderInOrder(clsProposal &proposal, IReportRenderHost &host, EngineArray &engines,
    const QFont &reportFont, IProposalProgress *progress, OutputFormat pieces,
    const std::function<bool(clsProposalRender &, QString *)> &finish)
{
    ProposalOutcome outcome;
    const auto failed = [&](const QString &error, const QString &report = {}) {
        outcome.result = ProposalOutcome::Failed;
        outcome.error = error;
        outcome.report = report;
        return outcome;
    };
    const auto cancelled = [&] {
        outcome.result = ProposalOutcome::Cancelled;
        return outcome;
    };
    const int count = proposal.Reports().count();
    if (progress)
        progress->UpdateProgress(1, GetLangString(239), 0, count);
    clsProposalRender render;
    QString error;
    if (!render.BeginProposal(host, proposal, engines, reportFont, &error, pieces))
        return failed(error);
    for (int i = 1; i <= count; ++i) {
        if (progress && progress->Cancelled())
            return cancelled();
        clsReport &report = **proposal.Reports().item(i);
        if (progress)
            progress->UpdateProgress(2, GetLangString(240), 0, 1);
        if (!render.RenderReport(i, &error)) {
            if (progress && progress->Cancelled())
                return cancelled();
            return failed(error, report.Caption());
        }
        if (progress) {
            progress->UpdateProgress(2, GetLangString(241), 1, 1);
            progress->UpdateProgress(1, report.Caption(), i, count);
        }
    }
    if (progress && progress->Cancelled())
        return cancelled();
    if (!finish(render, &error))
        return failed(error);
    return outcome;
}

} // namespace

ProposalOutcome RenderProposal(clsProposal &proposal, IReportRenderHost &host, EngineArray &engines,
    const QFont &reportFont, IProposalProgress *progress,
    const std::function<PreviewDocument *()> &openDocument)
{
    return renderInOrder(proposal, host, engines, reportFont, progress, OutputFormat::Document,
        [&](clsProposalRender &render, QString *error) {
            PreviewDocument *document = openDocument ? openDocument() : nullptr;
            if (!document)
                return fail(
                    error, QStringLiteral("There is no document to lay the proposal out in."));
            return render.FinalizeProposal(*document, error);
        });
}

ProposalOutcome RenderProposalToFile(clsProposal &proposal, const RenderOptions &options,
    IProposalProgress *progress, const QString &path, OutputFormat format)
{
    RenderOptions o = options;
    o.renderingProposal = true;
    HeadlessRenderHost host(o);
    const QFont font = o.reportFont ? *o.reportFont : LoadFont(ReportFontKey, true);
    if (format == OutputFormat::Html || format == OutputFormat::Text)
        return renderInOrder(proposal, host, host.engines(), font, progress, format,
            [&](clsProposalRender &render, QString *error) {
                return render.FinalizeProposalToFile(path, error);
            });
    if (format != OutputFormat::Pdf) {
        ProposalOutcome outcome;
        outcome.result = ProposalOutcome::Failed;
        outcome.error = QStringLiteral("A proposal is written as PDF, HTML or text.");
        return outcome;
    }
    return renderInOrder(proposal, host, host.engines(), font, progress, OutputFormat::Document,
        [&](clsProposalRender &render, QString *error) {
            return render.FinalizeProposalToPdf(path, error)
                && modPDFUtils::PatchPDFFile(path, error);
        });
}

} // namespace kv6
