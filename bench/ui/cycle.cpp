// Times the window's report cycle against the headless road in the same run: from Build to the
// first preview page painted, and to the last page laid out, for two catalogue reports over one
// year of one company of a demo history; against kv6report writing the same report as PDF (a
// whole process), and against the same build and PDF render in this process.
//
//   bench_ui_cycle [--jobs N] [--keep DIR]     (default 1000000; --keep reuses the SQLite file)
//   KV6_BENCH_CPU=1 counts CPU time instead of the wall clock.

#include "benchdata.h"

#include "app/branding.h"
#include "app/startup.h"
#include "base/dialogs.h"
#include "base/langstrings.h"
#include "base/paths.h"
#include "base/startupvalues.h"
#include "dataaccess/dataconnection.h"
#include "engine/previewwidget.h"
#include "groups/analysis.h"
#include "render/reportoutput.h"
#include "report/reportcatalogue.h"
#include "report/runsettings.h"
#include "ui/mainwindow.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QTabWidget>
#include <QTemporaryDir>

#include <cstdio>

using namespace kv6;
using namespace kv6bench;

namespace {

const QDate From(2025, 7, 1);
const QDate To(2026, 6, 30);
constexpr int Company = 2;
const char *const Reports[] = { "Top 10 Users List", "Printer to User Breakdown" };

QString stage(const QString &relative)
{
    return QStringLiteral(KV6_STAGE_DIR "/") + relative;
}

ReportPtr configured(const ReportCatalogue &catalogue, const QString &name)
{
    const ReportPtr found = catalogue.Find(name);
    if (!found)
        die(QStringLiteral("no report ") + name);
    auto report = std::make_shared<clsReport>();
    if (!report->LoadDefinition(found->FileName()))
        die(report->LastError());
    ReportRunSettings settings;
    settings.companyId = Company;
    settings.from = From;
    settings.to = To;
    QString error;
    if (!ApplyRunSettings(*report, settings, error))
        die(error);
    report->SetUseEstCosts(true);
    return report;
}

void runCommand(const DataSource &s, const QString &name, const QString &out)
{
    QProcess p;
    p.start(stage(QStringLiteral("bin/kv6report")),
        { QStringLiteral("--quiet"), QStringLiteral("--db"), s.toUrl(true),
            QStringLiteral("--report"), name, QStringLiteral("--company"), QString::number(Company),
            QStringLiteral("--from"), From.toString(Qt::ISODate), QStringLiteral("--to"),
            To.toString(Qt::ISODate), QStringLiteral("--est-costs"), QStringLiteral("-o"), out });
    if (!p.waitForFinished(-1) || p.exitCode() != 0)
        die(QStringLiteral("kv6report %1 failed: %2")
                .arg(name, QString::fromLocal8Bit(p.readAllStandardError()).trimmed()));
}

// Wall-clock seconds; with KV6_BENCH_CPU set, this process's CPU seconds, and childCpu() adds
// the finished child processes' (kv6report), so the figures hold on a machine busy with other
// work.
const bool cpuTime = qEnvironmentVariableIsSet("KV6_BENCH_CPU");

double now()
{
    if (cpuTime) {
        timespec t {};
        clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
        return double(t.tv_sec) + double(t.tv_nsec) / 1e9;
    }
    static QElapsedTimer clock;
    if (!clock.isValid())
        clock.start();
    return double(clock.nsecsElapsed()) / 1e9;
}

double childCpu()
{
    if (!cpuTime)
        return 0;
    rusage u {};
    getrusage(RUSAGE_CHILDREN, &u);
    return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec)
        + double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

} // namespace

int main(int argc, char **argv)
{
    QTemporaryDir dir;
    for (const char *var :
        { "KV6_DOCUMENTS", "KV6_LOCAL_APPDATA", "KV6_COMMON_APPDATA", "XDG_CONFIG_HOME" })
        qputenv(var, (dir.path() + QLatin1Char('/') + QLatin1String(var)).toUtf8());
    qputenv("KV6_USER_REGISTRY", (dir.path() + QStringLiteral("/user.db")).toUtf8());
    qputenv("KV6_MACHINE_REGISTRY", (dir.path() + QStringLiteral("/machine.db")).toUtf8());
    SelectHeadlessPlatform();
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("bench_ui_cycle"));
    BenchOptions o = parseBenchOptions(
        QStringLiteral("usage: bench_ui_cycle [--jobs N] [--keep DIR]"), true, false);
    const qint64 jobs = o.sizes.value(0, 1000000);
    const QString folder = o.keep.isEmpty() ? dir.path() : o.keep;
    QDir().mkpath(folder);

    DataSource source;
    std::unique_ptr<DataConnection> c
        = openBenchHistory(source, folder, QStringLiteral("cycle"), jobs, 44);
    c.reset();
    qputenv("KV6_DATABASE", source.path.toUtf8());

    ResolveFolders();
    SetStartupValue(&StartupValues::DefinitionsFolder, stage(QStringLiteral("reporter/reports")));
    LoadLanguage(QStringLiteral("kv6reprt"));
    CreateBranding(CommonFolder());
    ResetReportBranding();
    SilentDialogs silent(
        [](const MessageRequest &m) { die(QStringLiteral("message: ") + m.text); });
    ScopedDialogProvider quiet(&silent);

    frmReporting w(false);
    w.resize(1200, 900);
    w.show();
    w.Start();
    // The company the reports are about, and no cover page, as kv6report runs them.
    const int entry = w.companySelector()->findData(Company);
    w.companySelector()->setCurrentIndex(entry);
    emit w.companySelector()->activated(entry);
    w.command(QStringLiteral("ID_CreateCoverPage"))->setChecked(false);
    w.RunCommand(QStringLiteral("ID_CreateCoverPage"));
    if (!w.analysis() || w.analysis()->CompanyId() != Company)
        die(QStringLiteral("the window did not change to the company"));

    ReportCatalogue catalogue;
    CatalogueOptions options;
    options.reportFailures = false;
    catalogue.Load(options);
    std::unique_ptr<DataConnection> reportConnection;
    QVariant version;
    check(OpenDataConnection(true, version, reportConnection));

    std::printf("%lld jobs, company %d, %s to %s\n", jobs, Company,
        qPrintable(From.toString(Qt::ISODate)), qPrintable(To.toString(Qt::ISODate)));
    std::printf("%-28s %11s %11s %11s %11s %7s %7s\n", "report", "1st page", "all pages",
        "in-process", "kv6report", "ratio", "pages");
    for (const char *name : Reports) {
        double firstPage = 0, clockStart = 0;
        int pages = 0;
        const QMetaObject::Connection shown
            = QObject::connect(w.tabs(), &QTabWidget::currentChanged, [&](int index) {
                  if (index < 2 || firstPage > 0)
                      return;
                  // Shown means painted: the page's pixels exist.
                  if (auto *preview = w.tabs()->widget(index)->findChild<engine::PreviewWidget *>())
                      preview->widget()->repaint();
                  firstPage = now() - clockStart;
              });
        const QString pdf = folder + QStringLiteral("/cycle-bench.pdf");
        // The three roads take turns, so a machine busy with other work slows each alike.
        double first = 1e300, all = 1e300, inProcess = 1e300, command = 1e300;
        for (int run = 0; run < 3; ++run) {
            while (w.tabs()->count() > 2)
                delete w.tabs()->widget(2);
            ReportPtr report = configured(catalogue, QLatin1String(name));
            firstPage = 0;
            clockStart = now();
            check(w.BuildAndShow(report));
            all = std::min(all, now() - clockStart);
            if (w.tabs()->count() != 3)
                die(QStringLiteral("no preview tab for ") + QLatin1String(name));
            first = std::min(first, firstPage);
            pages = report->PageCount();

            // The same build and PDF in this process, with the window's analysis.
            report = configured(catalogue, QLatin1String(name));
            double t = now();
            check(report->BuildReportDataSet(w.analysis(), *reportConnection));
            QString error;
            if (!RenderReportToFile(*report, pdf, OutputFormat::Pdf, RenderOptions(), &error))
                die(error);
            inProcess = std::min(inProcess, now() - t);

            t = now() + childCpu();
            runCommand(source, QLatin1String(name), pdf);
            command = std::min(command, now() + childCpu() - t);
        }
        QObject::disconnect(shown);
        std::printf("%-28s %11.3f %11.3f %11.3f %11.3f %7.2f %7d\n", name, first, all, inProcess,
            command, all / command, pages);
    }
    std::printf("(%s seconds; ratio: the window's Build to its last page, over kv6report to PDF)\n",
        cpuTime ? "CPU" : "wall-clock");
    std::printf("peak memory %.1f MB\n", peakMB());
    w.close();
    return 0;
}
