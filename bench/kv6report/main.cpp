// Times the kv6report command — a whole process: start, catalogue, query, the program's steps,
// layout and output — for three representative catalogue reports, against the same report's SQL
// run alone through the data-access library in the same run, over one year of one company.
//
//   bench_kv6report [--jobs N[,N...]] [--pg URL] [--no-sqlite] [--keep DIR] [--format pdf|csv]
// Defaults: --jobs 1000000,10000000 and PDF. --keep keeps the SQLite files in DIR and reuses
// them. PostgreSQL runs when --pg or KV6_TEST_PG_URL names a server.

#include "dataaccess/dataconnection.h"
#include "dataaccess/demodata.h"
#include "report/report.h"
#include "report/reportdataset.h"

#include "benchdata.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <functional>

using namespace kv6;
using kv6bench::BenchOptions;
using kv6bench::benchSources;
using kv6bench::best;
using kv6bench::check;
using kv6bench::demoOptions;
using kv6bench::die;
using kv6bench::dropBenchSchema;
using kv6bench::openBenchHistory;
using kv6bench::parseBenchOptions;
using kv6bench::seconds;

namespace {

const QDate from(2025, 7, 1);
const QDate to(2026, 6, 30);
const char *const reports[]
    = { "Top 10 Users List", "Average Pages Per Hour", "Printer to User Breakdown" };

// The report's query with the parameters the command passes.
void rawQuery(DataConnection &c, const QString &definitions, const QString &name, int type)
{
    static QHash<QString, QString> files;
    if (files.isEmpty()) {
        for (const QString &f : QDir(definitions).entryList({ QStringLiteral("*.rpt") })) {
            clsReport r;
            if (r.LoadDefinition(definitions + QLatin1Char('/') + f, type))
                files.insert(r.Name(), f);
        }
    }
    clsReport report;
    if (!report.LoadDefinition(definitions + QLatin1Char('/') + files.value(name), type))
        die(QStringLiteral("cannot load %1: %2").arg(name, report.LastError()));
    ReportParametersPtr params = report.Parameters();
    for (int i = 1; i <= params->count(); ++i) {
        clsReportParameter &p = **params->item(i);
        if (p.ParameterType() == clsReportParameter::CompanyId)
            p.SetValue1(2);
        else if (p.ParameterType() == clsReportParameter::DateRange) {
            p.SetValue1(from);
            p.SetValue2(to);
        } else
            p.SetValue1(p.Default());
    }
    RecordsetPtr t;
    check(c.ReportSQL(report.ReportSQL(), ReportQueryParameters(params.get()), t));
}

void runCommand(const DataSource &s, const QString &name, const QString &out)
{
    QProcess p;
    p.start(QStringLiteral(KV6_STAGE_DIR "/bin/kv6report"),
        { QStringLiteral("--quiet"), QStringLiteral("--db"), s.toUrl(true),
            QStringLiteral("--report"), name, QStringLiteral("--company"), QStringLiteral("2"),
            QStringLiteral("--from"), from.toString(Qt::ISODate), QStringLiteral("--to"),
            to.toString(Qt::ISODate), QStringLiteral("--est-costs"), QStringLiteral("-o"), out });
    if (!p.waitForFinished(-1) || p.exitCode() != 0)
        die(QStringLiteral("kv6report %1 failed: %2")
                .arg(name, QString::fromLocal8Bit(p.readAllStandardError()).trimmed()));
}

void benchEngine(const QString &label, const DataSource &base, const QList<qint64> &sizes,
    const QString &folder, const QString &format)
{
    const QString definitions = QStringLiteral(KV6_STAGE_DIR "/reporter/reports");
    std::printf(
        "\n%s\n%-52s %9s %9s %7s\n", qPrintable(label), "report", "command", "raw SQL", "ratio");
    for (const qint64 jobs : sizes) {
        DataSource s = base;
        std::unique_ptr<DataConnection> c
            = openBenchHistory(s, folder, QStringLiteral("kv6report"), jobs, 52);
        const double start = best([&]() {
            QProcess p;
            p.start(QStringLiteral(KV6_STAGE_DIR "/bin/kv6report"), { QStringLiteral("--help") });
            p.waitForFinished(-1);
        });
        for (const char *name : reports) {
            const QString out = folder + QStringLiteral("/bench-out.") + format;
            const double command = best([&]() { runCommand(s, QLatin1String(name), out); });
            const double raw = best(
                [&]() { rawQuery(*c, definitions, QLatin1String(name), s.isSQLite() ? 1 : 2); });
            std::printf("%-52s %9.3f %9.3f %7.2f\n",
                qPrintable(
                    QStringLiteral("%1 jobs, %2 (%3)").arg(jobs).arg(QLatin1String(name), format)),
                command, raw, command / raw);
            QFile::remove(out);
        }
        std::printf("%-52s %9.3f   (in every command figure)\n", "process start", start);
        c.reset();
        dropBenchSchema(s);
    }
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const BenchOptions o
        = parseBenchOptions(QStringLiteral("usage: bench_kv6report [--jobs N[,N...]] [--pg URL] "
                                           "[--no-sqlite] [--keep DIR] [--format pdf|csv]"),
            true, true);
    QTemporaryDir temp;
    const QString folder = outputFolder(o, temp);
    std::printf("kv6report for three catalogue reports (one company, one year) against each "
                "report's query alone\n");
    for (const auto &[label, source] : benchSources(o))
        benchEngine(label, source, o.sizes, folder, o.format);
    return 0;
}
