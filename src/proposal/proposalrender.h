#pragma once

// A proposal as one document: an optional title page, an optional table of contents, then each
// report in turn, numbered through over the report pages. Each piece is rendered to a file of
// its own in a private temporary folder and appended; every file is deleted once appended, so
// the pages are held once, in the document being assembled.

#include "engine/previewdocument.h"
#include "engine/reportengine.h"
#include "render/reportoutput.h"
#include "render/reportrender.h"

#include <QFont>
#include <QString>

#include <functional>
#include <memory>

class QTemporaryDir;
class QWidget;

namespace kv6 {

class clsAnalysis;
class clsProposal;
class DataConnection;

// The proposal progress window; two lines and two bars (level 1 the reports, level 2 the
// steps of one). The headless road writes the lines to standard error instead.
class IProposalProgress
{
public:
    virtual ~IProposalProgress() = default;
    virtual bool Cancelled() const = 0;
    virtual void Initialize(int reportCount, QWidget *owner) = 0;
    // A non-empty text replaces the line; a maximum above 0 sets the bar's; a value outside
    // 1..maximum puts the bar at its minimum.
    virtual void UpdateProgress(int level, const QString &text, int value, int maximum) = 0;
    // One step; at the maximum the bar starts again.
    virtual void Increment(int level) = 0;
    virtual void Shutdown() = 0;
};

class clsProposalRender
{
public:
    clsProposalRender();
    ~clsProposalRender();
    clsProposalRender(const clsProposalRender &) = delete;
    clsProposalRender &operator=(const clsProposalRender &) = delete;

    // Keeps the host, the proposal, the host's engines (element 0 renders each report after the
    // host's ReportBegin) and the font, makes the temporary folder and renders the title page
    // when the proposal has one. Pieces are ".rtt" documents for FinalizeProposal, or HTML or
    // text for FinalizeProposalToFile. False with the reason when the folder cannot be made or
    // the title page does not render.
    bool BeginProposal(IReportRenderHost &host, clsProposal &proposal, EngineArray &engines,
        const QFont &reportFont, QString *error = nullptr,
        engine::OutputFormat pieces = engine::OutputFormat::Document);
    // Report `index` (1-based) of the proposal's Reports; sets its PageCount.
    bool RenderReport(int index, QString *error = nullptr);
    bool RenderAllReports(QString *error = nullptr);
    // Renders the contents, loads every piece into the document in order (the first replaces
    // what it held) and writes the page numbers over the report pages.
    bool FinalizeProposal(engine::PreviewDocument &document, QString *error = nullptr);
    // The same written straight to a PDF file, one piece in memory at a time.
    bool FinalizeProposalToPdf(const QString &path, QString *error = nullptr);
    // The same for HTML or text pieces: one file with every piece in order.
    bool FinalizeProposalToFile(const QString &path, QString *error = nullptr);

    // The folder the pieces are written to while the proposal renders; "" outside.
    QString TemporaryFolder() const;

private:
    QString piecePath(const QString &baseName) const;
    bool renderTitlePage(QString *error);
    bool renderContents(QString *error);
    QStringList pieces() const;
    void setNumberStyle(engine::PreviewDocument &document) const;
    static void numberPage(engine::PreviewDocument &document, int page, int number, int count);

    IReportRenderHost *m_host = nullptr;
    clsProposal *m_proposal = nullptr;
    EngineArray *m_engines = nullptr;
    QFont m_font;
    engine::OutputFormat m_format = engine::OutputFormat::Document;
    // The title page's and the contents' pages, which the page numbers pass over.
    int m_frontPages = 0;
    std::unique_ptr<QTemporaryDir> m_folder;
};

// How a proposal's build or render ended.
struct ProposalOutcome
{
    enum Result { Done, Cancelled, NoData, NoReports, Failed };
    Result result = Done;
    QString error; // for Failed, and the message every host shows for NoReports
    QString report; // the report's caption, for NoData and a report that failed
};

// Builds every report's data set in order, counting on the progress (texts 235 to 238); stops
// at the first report that fails or has no rows, and when the progress is cancelled. A proposal
// that lists no report (a saved file may) is refused before anything starts.
ProposalOutcome BuildProposalData(clsProposal &proposal, clsAnalysis *analysis,
    DataConnection &connection, IProposalProgress *progress);

// Renders the built proposal the way its hosts do (texts 239 to 241): the title page, each
// report unless cancelled, then, unless cancelled, the document `openDocument` gives (the new
// preview tab) is filled. Nothing is left in the temporary folder, whatever happens.
ProposalOutcome RenderProposal(clsProposal &proposal, IReportRenderHost &host, EngineArray &engines,
    const QFont &reportFont, IProposalProgress *progress,
    const std::function<engine::PreviewDocument *()> &openDocument);

// The road without a window (kv6report, the scheduled run): renders the built proposal with a
// headless host and writes it as PDF (patched for the code page), HTML or text.
ProposalOutcome RenderProposalToFile(clsProposal &proposal, const RenderOptions &options,
    IProposalProgress *progress, const QString &path, engine::OutputFormat format);

} // namespace kv6
