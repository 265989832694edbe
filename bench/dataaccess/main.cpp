// Times the print-tracking database at report scale, each figure against a baseline measured in
// the same run:
//   - filling: the demo history of N jobs against the engine filling the same table with N
//     trivial rows by itself (a recursive CTE in SQLite, generate_series in PostgreSQL);
//   - reading: the aggregate every volume report rests on (pages by user of one company over one
//     month and over one year) through the library into a record set, against the same SQL run
//     by the engine's own shell (sqlite3, psql), whose figure includes starting that shell
//     (shown separately as "shell start").
//
//   bench_dataaccess [--jobs N[,N...]] [--pg URL] [--no-sqlite]
// Defaults: --jobs 1000000,10000000; PostgreSQL runs when --pg or KV6_TEST_PG_URL names a server
// (the bench works in a schema of its own there and drops it at the end).

#include "dataaccess/dataconnection.h"
#include "dataaccess/demodata.h"

#include "benchdata.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QSqlQuery>
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
using kv6bench::parseBenchOptions;
using kv6bench::seconds;

namespace {

// The report aggregate, with its parameters written in for the shells.
const char *const aggregateSql
    = "SELECT u.user_name, SUM(j.pages) AS pages, SUM(j.color_pages) AS color_pages, "
      "COUNT(*) AS jobs FROM print_jobs j JOIN users u ON u.user_id = j.user_id "
      "WHERE j.company_id = %1 AND j.job_time >= %2 AND j.job_time < %3 "
      "GROUP BY u.user_name ORDER BY u.user_name";

class Shell
{
public:
    explicit Shell(const DataSource &s)
        : m_source(s)
    { }

    // Runs SQL in the engine's shell; its output is read and dropped.
    void run(const QString &sql) const
    {
        QProcess p;
        QStringList args;
        if (m_source.isSQLite()) {
            args << m_source.path << sql;
            p.start(QStringLiteral("sqlite3"), args);
        } else {
            QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
            env.insert(QStringLiteral("PGPASSWORD"), m_source.password);
            env.insert(QStringLiteral("PGOPTIONS"),
                QStringLiteral("-c search_path=\"%1\"").arg(m_source.schema));
            p.setProcessEnvironment(env);
            args << QStringLiteral("-X") << QStringLiteral("-q") << QStringLiteral("-A")
                 << QStringLiteral("-t") << QStringLiteral("-v")
                 << QStringLiteral("ON_ERROR_STOP=1") << QStringLiteral("-h") << m_source.host
                 << QStringLiteral("-p") << QString::number(m_source.port) << QStringLiteral("-U")
                 << m_source.user << QStringLiteral("-d") << m_source.database
                 << QStringLiteral("-c") << sql;
            p.start(QStringLiteral("psql"), args);
        }
        if (!p.waitForFinished(-1) || p.exitCode() != 0)
            die(QStringLiteral("%1 failed: %2")
                    .arg(m_source.isSQLite() ? QStringLiteral("sqlite3") : QStringLiteral("psql"),
                        QString::fromLocal8Bit(p.readAllStandardError())));
        p.readAllStandardOutput();
    }

private:
    DataSource m_source;
};

qint64 storageSize(DataConnection &c)
{
    if (c.Source().isSQLite())
        return QFileInfo(c.Source().path).size();
    RecordsetPtr t;
    check(c.ReportSQL(QStringLiteral("SELECT SUM(pg_total_relation_size(c.oid)) FROM pg_class c "
                                     "JOIN pg_namespace n ON n.oid = c.relnamespace "
                                     "WHERE n.nspname = current_schema() AND c.relkind = 'r'"),
        QVariantList(), t));
    return t->ValueAt(0, 0).toLongLong();
}

void fillBaseline(DataConnection &c, qint64 jobs)
{
    // A scratch table shaped like print_jobs, filled by the engine itself.
    check(c.Execute(QStringLiteral("DROP TABLE IF EXISTS bench_fill")));
    check(c.Execute(
        QStringLiteral("CREATE TABLE bench_fill AS SELECT * FROM print_jobs WHERE 1 = 0")));
    const QString sql = c.Source().isSQLite()
        ? QStringLiteral(
            "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < %1) "
            "INSERT INTO bench_fill (job_id, company_id, user_id, printer_id, job_time, pages, "
            "color_pages, copies, duplex, job_status) SELECT i, 1, 1, 1, "
            "'2026-01-01 09:00:00', 1 + i % 7, 0, 1, 0, 0 FROM n")
        : QStringLiteral("INSERT INTO bench_fill (job_id, company_id, user_id, printer_id, "
                         "job_time, pages, color_pages, copies, duplex, job_status) SELECT i, 1, "
                         "1, 1, TIMESTAMP '2026-01-01 09:00:00', 1 + i % 7, 0, 1, false, 0 FROM "
                         "generate_series(1, %1) i");
    check(c.InTransaction([&]() { return c.Execute(sql.arg(jobs)); }));
    check(c.Execute(QStringLiteral("DROP TABLE bench_fill")));
}

void benchEngine(
    const QString &name, const DataSource &base, const QList<qint64> &sizes, const QString &folder)
{
    std::printf("\n%s\n", qPrintable(name));
    std::printf("%-34s %9s %9s %9s %10s\n", "step", "seconds", "baseline", "ratio", "MB / ratio*");
    for (const qint64 jobs : sizes) {
        DataSource s = base;
        if (s.isSQLite())
            s.path = folder + QStringLiteral("/bench-%1.db").arg(jobs);
        else
            s.schema
                = QStringLiteral("bench_%1_%2").arg(QCoreApplication::applicationPid()).arg(jobs);
        s.createIfMissing = true;
        std::unique_ptr<DataConnection> c;
        QVariant version;
        check(OpenDataConnection(s, true, version, c));

        DemoSummary summary;
        const double fill
            = seconds([&]() { check(GenerateDemoData(*c, demoOptions(jobs), &summary)); });
        const double size = double(storageSize(*c)) / 1048576.0;
        const double fillBase = seconds([&]() { fillBaseline(*c, jobs); });
        std::printf("%-34s %9.2f %9.2f %9.2f %10.1f\n",
            qPrintable(QStringLiteral("demo history, %1 jobs").arg(jobs)), fill, fillBase,
            fill / fillBase, size);

        // The reading figures matter on the large history; the small one only shows growth.
        const Shell shell(s);
        const double shellStart = best([&]() { shell.run(QStringLiteral("SELECT 1")); });
        struct Span
        {
            const char *label;
            QDate from;
            QDate to;
        };
        for (const Span &span :
            { Span { "pages by user, one month", QDate(2026, 3, 1), QDate(2026, 4, 1) },
                Span { "pages by user, one year", QDate(2025, 7, 1), QDate(2026, 7, 1) } }) {
            const QString from = span.from.toString(Qt::ISODate);
            const QString to = span.to.toString(Qt::ISODate);
            int rows = 0;
            const double lib = best([&]() {
                RecordsetPtr t;
                check(c->ReportSQL(
                    QString::fromLatin1(aggregateSql)
                        .arg(QStringLiteral("?"), QStringLiteral("?"), QStringLiteral("?")),
                    QVariantList { 2, from, to }, t));
                rows = int(t->RecordCount());
            });
            const QString literal
                = s.isSQLite() ? QStringLiteral("'%1'") : QStringLiteral("TIMESTAMP '%1'");
            const QString sql = QString::fromLatin1(aggregateSql)
                                    .arg(QStringLiteral("2"), literal.arg(from), literal.arg(to));
            const double cli = best([&]() { shell.run(sql); });
            std::printf("%-34s %9.3f %9.3f %9.2f %10.2f\n",
                qPrintable(QStringLiteral("%1 (%2 rows)").arg(QLatin1String(span.label)).arg(rows)),
                lib, cli, lib / cli, lib / std::max(cli - shellStart, 1e-4));
        }
        std::printf("%-34s %9.3f   (* ratio against the baseline less this)\n",
            "shell start (in the baseline)", shellStart);
        c.reset();
        dropBenchSchema(s);
    }
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const BenchOptions o = parseBenchOptions(
        QStringLiteral("usage: bench_dataaccess [--jobs N[,N...]] [--pg URL] [--no-sqlite]"), false,
        false);
    QTemporaryDir folder;
    std::printf("demo history: 4 companies of 40 printers and 400 users over 730 days; "
                "aggregates over company 2\n");
    for (const auto &[label, source] : benchSources(o)) {
        const QString baseline
            = source.isSQLite() ? QStringLiteral("sqlite3 shell") : QStringLiteral("psql");
        benchEngine(QStringLiteral("%1 (baseline of reading: %2)").arg(label, baseline), source,
            o.sizes, folder.path());
    }
    return 0;
}
