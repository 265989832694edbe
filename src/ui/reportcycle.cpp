// The main window's report cycle: create a report or proposal through the picker, build it into
// a preview tab, then print, export, schedule or close it.

#include "app/branding.h"
#include "base/dialogs.h"
#include "base/langstrings.h"
#include "base/paths.h"
#include "base/validation.h"
#include "captions_p.h"
#include "dataaccess/dataconnection.h"
#include "dataaccess/datasettings.h"
#include "engine/printing.h"
#include "groups/analysis.h"
#include "previewtab_p.h"
#include "proposal/proposal.h"
#include "proposal/proposalrender.h"
#include "render/pdfpatch.h"
#include "render/reportoutput.h"
#include "report/reportcsv.h"
#include "ui/mainwindow.h"
#include "ui/progress.h"
#include "ui/schedulereport.h"
#include "ui/startreport.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QPrinter>
#include <QTabWidget>

namespace kv6 {

namespace {

// Paper differences below this are rounding between units, not another paper.
constexpr double PaperToleranceTwips = 40;

// The window is busy for the length of a build or render: commands wait, closing waits.
class BusyScope
{
public:
    BusyScope(frmReporting &window, bool &busy)
        : m_window(window)
        , m_busy(busy)
    {
        m_busy = true;
        m_window.UpdateCommands();
    }
    ~BusyScope()
    {
        m_busy = false;
        m_window.UpdateCommands();
    }
    BusyScope(const BusyScope &) = delete;
    BusyScope &operator=(const BusyScope &) = delete;

private:
    frmReporting &m_window;
    bool &m_busy;
};

// A printer with other paper lays the report out for that paper.
void applyPaper(HeadlessRenderHost &host, const ReportTab &tab)
{
    if (!tab.paper.isEmpty() && !host.engines().empty()) {
        engine::ReportLayout &layout = host.engines().front()->layout();
        layout.paperSize = tab.paper;
        layout.landscape = tab.landscape;
    }
}

// The window's host for a proposal: headless, with the paper of the tab's printer.
class PaperRenderHost : public HeadlessRenderHost
{
public:
    PaperRenderHost(const RenderOptions &options, const ReportTab &tab)
        : HeadlessRenderHost(options)
        , m_tab(tab)
    { }
    void ReportBegin(clsReport &report) override
    {
        HeadlessRenderHost::ReportBegin(report);
        applyPaper(*this, m_tab);
    }

private:
    const ReportTab &m_tab;
};

} // namespace

frmStartReport *frmReporting::picker()
{
    if (!m_frmStartReport)
        m_frmStartReport = new frmStartReport(this);
    return m_frmStartReport;
}

ReportTab *frmReporting::currentReportTab() const
{
    return qobject_cast<ReportTab *>(m_tabReports->currentWidget());
}

QString frmReporting::nextReportKey(const QString &prefix) const
{
    // One more than the preview tabs open; past a closed tab that number may still be taken.
    int n = reportTabCount() + 1;
    const auto taken = [this](const QString &key) {
        for (int i = 2; i < m_tabReports->count(); ++i) {
            if (m_tabReports->widget(i)->objectName() == key)
                return true;
        }
        return false;
    };
    while (taken(prefix + QString::number(n)))
        ++n;
    return prefix + QString::number(n);
}

void frmReporting::showTab(ReportTab *tab)
{
    if (m_tabReports->indexOf(tab) < 0) {
        // "&" would read as an accelerator.
        QString caption = tab->caption();
        caption.replace(QLatin1String("&"), QLatin1String("&&"));
        const int index = m_tabReports->addTab(tab, caption);
        m_tabReports->setTabToolTip(index, tab->caption());
        tab->setAccessibleName(tab->caption());
    }
    m_tabReports->setCurrentWidget(tab);
    tab->refresh();
    // Page keys and the wheel work at once.
    tab->vspReport->setFocus();
}

void frmReporting::createReport()
{
    if (!m_connection || !m_reportConnection) {
        MsgBox(GetLangString(289, GetLangString(214, QString())), MsgIcon::Exclamation);
        return;
    }
    const ReportChoice chosen = picker()->StartReport(
        m_connection.get(), m_analysis ? m_analysis->CompanyId() : -1, m_simple);
    if (!chosen.report && !chosen.proposal)
        return;
    if (m_simple && m_analysis) {
        QString error;
        const bool applied = chosen.proposal
            ? m_analysis->ApplyGroupsFromDatabase(*m_connection,
                chosen.proposal->SimpleUserGroups(), chosen.proposal->SimplePrinterGroups(), &error)
            : m_analysis->ApplyGroupsFromDatabase(*m_connection, chosen.report->SimpleUserGroups(),
                chosen.report->SimplePrinterGroups(), &error);
        refillGrids();
        if (!applied) {
            MsgBox(GetLangString(289, error), MsgIcon::Exclamation);
            return;
        }
    }
    if (DataResult e
        = chosen.proposal ? BuildAndShowProposal(chosen.proposal) : BuildAndShow(chosen.report))
        MsgBox(GetLangString(289, e->Description()), MsgIcon::Exclamation);
}

DataResult frmReporting::BuildAndShow(const ReportPtr &report)
{
    if (!report || !m_reportConnection)
        return DataError(dataErrNotOpen, GetLangString(214, QString()));
    BusyScope busy(*this, m_busy);
    frmProgress *progress = frmProgress::instance();
    progress->Initialize(GetLangString(242), 0, this, true, true);
    QApplication::setOverrideCursor(Qt::BusyCursor);
    const QMetaObject::Connection updates = connect(report.get(), &clsReport::UpdateProgress, this,
        [progress](const QString &, int position, int maximum) {
            if (maximum > 0) {
                if (progress->MaxValue() != maximum)
                    progress->Reset(QString(), maximum);
                progress->setProgressValue(position);
            }
            QCoreApplication::processEvents();
        });
    DataResult e = report->BuildReportDataSet(m_analysis.get(), *m_reportConnection);
    disconnect(updates);
    QApplication::restoreOverrideCursor();
    const auto end = [&](DataResult result) {
        progress->Shutdown();
        return result;
    };
    if (progress->Cancelled())
        return end({});
    if (e)
        return end(e);
    const RecordsetPtr data = report->ReportData();
    if (!data || data->RecordCount() == 0) {
        end({});
        MsgBox(GetLangString(244), MsgIcon::Exclamation);
        return {};
    }

    const QString key = nextReportKey(QStringLiteral("REPT"));
    report->SetKey(key);
    auto *tab = new ReportTab(report, key, m_tabReports);
    tab->hide();
    QString error;
    const bool ok = renderTab(*tab, &tab->document(), {}, OutputFormat::Unknown, 243, &error);
    if (!ok) {
        // Nothing of a failed or cancelled report stays behind.
        const int index = m_tabReports->indexOf(tab);
        if (index >= 0)
            m_tabReports->removeTab(index);
        delete tab;
        return end(progress->Cancelled() ? DataResult() : DataError(dataErrGeneral, error));
    }
    showTab(tab);
    return end({});
}

frmProgressProposal *frmReporting::proposalProgress()
{
    if (!m_frmProgressProposal) {
        // Not the window's child: disabling the window must leave its Cancel button working.
        auto *progress = new frmProgressProposal;
        connect(this, &QObject::destroyed, progress, [progress] { delete progress; });
        m_frmProgressProposal = progress;
    }
    return m_frmProgressProposal;
}

DataResult frmReporting::BuildAndShowProposal(const std::shared_ptr<clsProposal> &proposal)
{
    if (!proposal || !m_reportConnection)
        return DataError(dataErrNotOpen, GetLangString(214, QString()));
    BusyScope busy(*this, m_busy);
    frmProgressProposal *progress = proposalProgress();
    progress->Initialize(proposal->Reports().count(), this);
    const auto end = [progress](DataResult result) {
        progress->Shutdown();
        return result;
    };
    const ProposalOutcome built
        = BuildProposalData(*proposal, m_analysis.get(), *m_reportConnection, progress);
    switch (built.result) {
    case ProposalOutcome::Done:
        break;
    case ProposalOutcome::Cancelled:
        return end({});
    case ProposalOutcome::NoData:
        end({});
        MsgBox(GetLangString(825, built.report), MsgIcon::Exclamation);
        return {};
    case ProposalOutcome::NoReports:
        end({});
        MsgBox(built.error, MsgIcon::Exclamation);
        return {};
    case ProposalOutcome::Failed:
        return end(
            DataError(dataErrGeneral, QStringLiteral("%1: %2").arg(built.report, built.error)));
    }

    const QString key = nextReportKey(QStringLiteral("PROP"));
    proposal->SetKey(key);
    auto *tab = new ReportTab(proposal, key, m_tabReports);
    tab->hide();
    const ProposalOutcome drawn = renderProposal(*tab, tab->document(), *progress);
    if (drawn.result != ProposalOutcome::Done) {
        // Cancelled or failed: no tab.
        delete tab;
        if (drawn.result == ProposalOutcome::Cancelled)
            return end({});
        return end(DataError(dataErrGeneral,
            drawn.report.isEmpty() ? drawn.error
                                   : QStringLiteral("%1: %2").arg(drawn.report, drawn.error)));
    }
    showTab(tab);
    return end({});
}

ProposalOutcome frmReporting::renderProposal(
    ReportTab &tab, engine::PreviewDocument &into, IProposalProgress &progress)
{
    RenderOptions options;
    options.renderingProposal = true;
    options.reportFont = m_reportFont;
    if (m_reportConnection)
        options.databaseDescription = m_reportConnection->Description();
    // Cancel is seen between pages too, not only between reports.
    options.progress = [&progress](int) {
        QCoreApplication::processEvents();
        return !progress.Cancelled();
    };
    PaperRenderHost host(options, tab);
    tab.vspReport->setCursor(Qt::BusyCursor);
    const ProposalOutcome outcome = RenderProposal(
        *tab.proposal(), host, host.engines(), m_reportFont, &progress, [&into] { return &into; });
    tab.vspReport->unsetCursor();
    return outcome;
}

bool frmReporting::renderTab(ReportTab &tab, engine::PreviewDocument *into, const QString &file,
    engine::OutputFormat format, int caption, QString *error)
{
    frmProgress *progress = frmProgress::instance();
    progress->Reset(GetLangString(caption), 100);
    tab.vspReport->setCursor(Qt::BusyCursor);
    m_renderTab = &tab;
    m_renderTarget = into;
    ReportBegin(*tab.report());
    bool ok = false;
    if (!m_renderHost->beginError().isEmpty() && error)
        *error = m_renderHost->beginError();
    else if (into)
        ok = m_renderHost->render(*into, error);
    else
        ok = m_renderHost->renderToFile(file, format, error);
    progress->SetToMax();
    ReportEnd();
    m_renderTab = nullptr;
    m_renderTarget = nullptr;
    tab.vspReport->unsetCursor();
    return ok && !progress->Cancelled();
}

bool frmReporting::renderProgress(int page)
{
    frmProgress *progress = frmProgress::instance();
    if (progress->Cancelled())
        return false;
    if (progress->ProgressValue() >= progress->MaxValue())
        progress->Reset(QString(), -1);
    progress->Increment();
    // The first page is whole once the second begins: show it while the rest is laid out, and
    // let the page count grow as the pages come.
    if (m_renderTab && &m_renderTab->document() == m_renderTarget) {
        if (page == 2 && m_tabReports->indexOf(m_renderTab) < 0)
            showTab(m_renderTab);
        else if (page % 25 == 0 && m_tabReports->indexOf(m_renderTab) >= 0)
            m_renderTab->refresh();
    }
    return !progress->Cancelled();
}

void frmReporting::ReportBegin(clsReport &report)
{
    RenderOptions options;
    options.printCover = m_printCover;
    options.reportFont = m_reportFont;
    if (m_reportConnection)
        options.databaseDescription = m_reportConnection->Description();
    options.progress = [this](int page) { return renderProgress(page); };
    m_renderHost = std::make_unique<HeadlessRenderHost>(options);
    m_renderHost->ReportBegin(report);
    if (m_renderTab)
        applyPaper(*m_renderHost, *m_renderTab);
}

void frmReporting::ReportEnd()
{
    if (m_renderHost)
        m_renderHost->ReportEnd();
    m_renderHost.reset();
}

void frmReporting::printReport()
{
    ReportTab *tab = currentReportTab();
    if (!tab || tab->document().isEmpty())
        return;
    QPrinter printer(QPrinter::HighResolution);
    engine::preparePrinter(printer, tab->document());
    if (!Dialogs().printer(
            printer, PlainCaption(command(QStringLiteral("ID_PrintReport"))->text())))
        return;
    const QPageLayout chosen = printer.pageLayout();
    const QSizeF paper = engine::pageSizeTwips(chosen.pageSize());
    const bool landscape = chosen.orientation() == QPageLayout::Landscape;
    const QSizeF laidOut = tab->document().page(1).size;
    const bool laidOutLandscape = laidOut.width() > laidOut.height();
    const QSizeF laidOutPaper = laidOutLandscape ? laidOut.transposed() : laidOut;
    QString error;
    if (landscape != laidOutLandscape
        || qAbs(paper.width() - laidOutPaper.width()) > PaperToleranceTwips
        || qAbs(paper.height() - laidOutPaper.height()) > PaperToleranceTwips) {
        BusyScope busy(*this, m_busy);
        const QSizeF keptPaper = tab->paper;
        const bool keptLandscape = tab->landscape;
        tab->paper = paper;
        tab->landscape = landscape;
        // Into a new document: the preview keeps showing the old pages until the new are done.
        engine::PreviewDocument document;
        bool ok = false;
        bool cancelled = false;
        if (const std::shared_ptr<clsProposal> proposal = tab->proposal()) {
            frmProgressProposal *progress = proposalProgress();
            progress->Initialize(proposal->Reports().count(), this);
            const ProposalOutcome outcome = renderProposal(*tab, document, *progress);
            progress->Shutdown();
            ok = outcome.result == ProposalOutcome::Done;
            cancelled = outcome.result == ProposalOutcome::Cancelled;
            error = outcome.error;
        } else {
            frmProgress *progress = frmProgress::instance();
            progress->Initialize(GetLangString(257), 100, this, true, true);
            ok = renderTab(*tab, &document, {}, OutputFormat::Unknown, 258, &error);
            cancelled = progress->Cancelled();
            progress->Shutdown();
        }
        if (!ok) {
            tab->paper = keptPaper;
            tab->landscape = keptLandscape;
            if (!cancelled)
                MsgBox(GetLangString(245, error), MsgIcon::Exclamation);
            return;
        }
        tab->document() = std::move(document);
        tab->refresh();
    }
    if (!engine::printDocument(tab->document(), printer, tab->vspReport->currentPage(), &error))
        MsgBox(GetLangString(245, error), MsgIcon::Exclamation);
}

void frmReporting::exportReport()
{
    ReportTab *tab = currentReportTab();
    if (!tab)
        return;
    // A proposal is exported as PDF only.
    const bool proposal = tab->proposal() != nullptr;
    FileRequest request;
    request.save = true;
    request.caption = GetLangString(proposal ? 254 : 250);
    request.filter = GetLangString(proposal ? 255 : 252);
    request.folder = SpecialFolderPath(CSIDL_PERSONAL);
    request.fileName = MakeValidFileName(tab->caption(), QStringLiteral("_"));
    request.defaultExtension = QStringLiteral("pdf");
    QString path = Dialogs().fileName(request);
    if (path.isEmpty())
        return;
    OutputFormat format = engine::outputFormatForPath(path);
    if (proposal && format != OutputFormat::Pdf) {
        path += QStringLiteral(".pdf");
        format = OutputFormat::Pdf;
    }
    if (format == OutputFormat::Unknown) {
        path += QStringLiteral(".pdf");
        format = OutputFormat::Pdf;
    }
    if (format == OutputFormat::Csv
        && MsgBox(GetLangString(253), MsgIcon::Exclamation, MsgButtons::YesNo) != MsgAnswer::Yes)
        return;

    BusyScope busy(*this, m_busy);
    tab->vspReport->setCursor(Qt::BusyCursor);
    QString error;
    bool ok = false;
    bool cancelled = false;
    frmProgress *progress = frmProgress::instance();
    switch (format) {
    case OutputFormat::Csv: {
        const RecordsetPtr data = tab->report()->ReportData();
        progress->Initialize(GetLangString(248), data ? data->RecordCount() : 0, this, true, true);
        ok = WriteReportCsv(data, path, &error, [progress](int, int) {
            progress->Increment();
            return !progress->Cancelled();
        });
        cancelled = progress->Cancelled();
        progress->Shutdown();
        break;
    }
    case OutputFormat::Pdf:
        ok = engine::writePdf(tab->document(), path, &error)
            && modPDFUtils::PatchPDFFile(path, &error);
        break;
    default:
        progress->Initialize(GetLangString(243), 100, this, true, true);
        ok = renderTab(*tab, nullptr, path, format, 243, &error);
        cancelled = progress->Cancelled();
        progress->Shutdown();
        break;
    }
    tab->vspReport->unsetCursor();
    if (cancelled)
        return;
    if (!ok)
        MsgBox(GetLangString(251, error), MsgIcon::Exclamation);
    else if (format == OutputFormat::Csv)
        MsgBox(GetLangString(249), MsgIcon::Information);
}

void frmReporting::deleteReport()
{
    ReportTab *tab = currentReportTab();
    if (!tab)
        return;
    if (MsgBox(GetLangString(256), MsgIcon::Exclamation, MsgButtons::YesNo) != MsgAnswer::Yes)
        return;
    m_tabReports->removeTab(m_tabReports->indexOf(tab));
    delete tab;
}

void frmReporting::scheduleReport()
{
    if (!currentReportTab() || !m_connection || !m_analysis)
        return;
    SuiteSettings settings;
    if (DataResult e = DataSettings::GetSuiteSettings(*m_connection, settings)) {
        MsgBox(GetLangString(279, e->Description()), MsgIcon::Exclamation);
        return;
    }
    if (settings.DeliverySetting().trimmed().isEmpty()) {
        MsgBox(GetLangString(278, Branding().ProductName()), MsgIcon::Exclamation);
        return;
    }
    ReportTab *tab = currentReportTab();
    if (tab->proposal())
        frmScheduleReport::ScheduleProposal(*tab->proposal(), *m_analysis, m_simple, this);
    else
        frmScheduleReport::ScheduleReport(*tab->report(), *m_analysis, m_simple, this);
}

} // namespace kv6
