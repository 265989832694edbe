// Times the default proposal (the 22 reports a new proposal starts with) written by kv6report as
// one PDF, against the sum of the same 22 reports written one by one by kv6report, in the same
// run over one year of a demo history; and the peak memory of each process, for half and all of
// the reports, against the largest single report's: memory follows the largest report, not the
// pages of the whole document.
//
//   bench_proposal [--jobs N[,N...]] [--pg URL] [--no-sqlite] [--keep DIR]
// Defaults: --jobs 1000000. --keep keeps the SQLite files in DIR and reuses them (shared with
// bench_kv6report). PostgreSQL runs when --pg or KV6_TEST_PG_URL names a server.

#include "proposal/proposal.h"
#include "report/report.h"

#include "benchdata.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <sys/resource.h>

#include <cstdio>

using namespace kv6;
using kv6bench::benchSources;
using kv6bench::die;
using kv6bench::dropBenchSchema;
using kv6bench::openBenchHistory;
using kv6bench::parseBenchOptions;
using kv6bench::seconds;

namespace {

const QDate from(2025, 7, 1);
const QDate to(2026, 6, 30);
const QString definitions = QStringLiteral(KV6_STAGE_DIR "/reporter/reports");

struct Run
{
    double seconds = 0;
    double cpu = 0; // user and system: what the machine's other load does not change
    double peakMB = 0;
};

// Runs kv6report through a copy of this program, which waits for it and prints the child's peak
// memory: a process's own figure is the only one that is not mixed with the runs before it.
Run kv6report(const QStringList &args)
{
    QProcess p;
    Run r;
    r.seconds = seconds([&]() {
        p.start(QCoreApplication::applicationFilePath(),
            QStringList { QStringLiteral("--measure") } + args);
        p.waitForFinished(-1);
    });
    if (p.exitCode() != 0)
        die(QStringLiteral("kv6report %1 failed: %2")
                .arg(args.join(QLatin1Char(' ')),
                    QString::fromLocal8Bit(p.readAllStandardError()).trimmed()));
    const QStringList figures
        = QString::fromLatin1(p.readAllStandardOutput()).split(QLatin1Char(' '));
    r.peakMB = figures.value(0).toDouble();
    r.cpu = figures.value(1).toDouble();
    return r;
}

int measure(const QStringList &args)
{
    QProcess p;
    p.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    p.start(QStringLiteral(KV6_STAGE_DIR "/bin/kv6report"), args);
    if (!p.waitForFinished(-1))
        return 1;
    rusage u {};
    getrusage(RUSAGE_CHILDREN, &u);
    const auto secs = [](const timeval &t) { return double(t.tv_sec) + double(t.tv_usec) / 1e6; };
    std::printf("%.1f %.3f\n", double(u.ru_maxrss) / 1024.0, secs(u.ru_utime) + secs(u.ru_stime));
    return p.exitCode();
}

// The definition file of each report of the default set, in order.
QStringList defaultSetFiles()
{
    QHash<QString, QString> files;
    for (const QString &f : QDir(definitions).entryList({ QStringLiteral("*.rpt") })) {
        clsReport r;
        if (r.LoadDefinition(definitions + QLatin1Char('/') + f, 1))
            files.insert(r.Name(), f);
    }
    QStringList out;
    for (const QString &name : DefaultAnalysisSet()) {
        if (!files.contains(name))
            die(QStringLiteral("the catalogue has no report \"%1\"").arg(name));
        out << files.value(name);
    }
    return out;
}

QString writeProposal(const QString &folder, const QStringList &files)
{
    clsProposal p;
    p.SetName(QStringLiteral("Bench"));
    p.SetTitle(QStringLiteral("Print Management Review"));
    p.SetPreparedFor(QStringLiteral("Management"));
    p.SetPreparedBy(QStringLiteral("IT"));
    p.SetDateSelectType(11);
    p.SetFromDate(from);
    p.SetToDate(to);
    for (const QString &f : files) {
        auto r = std::make_shared<clsReport>();
        if (!r->LoadDefinition(definitions + QLatin1Char('/') + f, 1))
            die(r->LastError());
        p.Reports().add(r, r->Name());
    }
    const QString path = folder + QStringLiteral("/bench-%1.prp").arg(files.size());
    QString error;
    if (!p.SaveUserDefined(path, error))
        die(error);
    return path;
}

int pdfPages(const QString &pdf)
{
    QProcess p;
    p.start(QStringLiteral("pdfinfo"), { pdf });
    p.waitForFinished(-1);
    const QString info = QString::fromUtf8(p.readAllStandardOutput());
    const qsizetype at = info.indexOf(QStringLiteral("Pages:"));
    return at < 0 ? -1 : info.mid(at + 6).section(QLatin1Char('\n'), 0, 0).trimmed().toInt();
}

void benchEngine(
    const QString &label, const DataSource &base, const QList<qint64> &sizes, const QString &folder)
{
    const QStringList files = defaultSetFiles();
    const QString all = writeProposal(folder, files);
    const QString half = writeProposal(folder, files.mid(0, files.size() / 2));
    std::printf("\n%s\n", qPrintable(label));
    for (const qint64 jobs : sizes) {
        DataSource s = base;
        std::unique_ptr<DataConnection> c
            = openBenchHistory(s, folder, QStringLiteral("proposal"), jobs, 40);
        c.reset();
        const QStringList db = { QStringLiteral("--quiet"), QStringLiteral("--db"), s.toUrl(true) };
        const QString out = folder + QStringLiteral("/bench-out.pdf");

        Run single;
        double singlePeak = 0;
        for (const QString &f : files) {
            const Run r = kv6report(db
                + QStringList { QStringLiteral("--report"), f, QStringLiteral("--from"),
                    from.toString(Qt::ISODate), QStringLiteral("--to"), to.toString(Qt::ISODate),
                    QStringLiteral("-o"), out });
            single.seconds += r.seconds;
            single.cpu += r.cpu;
            singlePeak = std::max(singlePeak, r.peakMB);
        }
        const Run halfRun = kv6report(
            db + QStringList { QStringLiteral("--proposal"), half, QStringLiteral("-o"), out });
        const int halfPages = pdfPages(out);
        const Run proposal = kv6report(
            db + QStringList { QStringLiteral("--proposal"), all, QStringLiteral("-o"), out });
        const int pages = pdfPages(out);
        QFile::remove(out);

        std::printf("%lld jobs, one year, every company, PDF\n", jobs);
        std::printf("  %-44s %8s %8s\n", "", "wall s", "CPU s");
        std::printf(
            "  %-44s %8.2f %8.2f\n", "sum of 22 single-report runs", single.seconds, single.cpu);
        std::printf(
            "  %-44s %8.2f %8.2f\n", "the 22-report proposal", proposal.seconds, proposal.cpu);
        std::printf("  %-44s %8.3f %8.3f   (target <= 1.10)\n", "ratio",
            proposal.seconds / single.seconds, proposal.cpu / single.cpu);
        std::printf("  %-44s %8.1f MB\n", "peak memory, largest single report", singlePeak);
        std::printf("  %-44s %8.1f MB   %d pages\n", "peak memory, proposal of the first 11",
            halfRun.peakMB, halfPages);
        std::printf("  %-44s %8.1f MB   %d pages\n", "peak memory, proposal of all 22",
            proposal.peakMB, pages);
        std::printf("  %-44s %8.3f   (1.0: flat in the pages)\n",
            "proposal peak / largest single-report peak", proposal.peakMB / singlePeak);
        dropBenchSchema(s);
    }
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    if (args.size() > 1 && args.at(1) == QLatin1String("--measure"))
        return measure(args.mid(2));
    kv6bench::BenchOptions o = parseBenchOptions(
        QStringLiteral(
            "usage: bench_proposal [--jobs N[,N...]] [--pg URL] [--no-sqlite] [--keep DIR]"),
        true, false);
    if (!args.contains(QStringLiteral("--jobs")))
        o.sizes = { 1000000 };
    QTemporaryDir temp;
    const QString folder = outputFolder(o, temp);
    std::printf(
        "The default proposal (22 reports) by kv6report against its 22 reports one by one\n");
    for (const auto &[label, source] : benchSources(o))
        benchEngine(label, source, o.sizes, folder);
    return 0;
}
