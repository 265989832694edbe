// Times building a report's data set — "pages and cost by user, grouped by department" over one
// company and one year — against the same query run alone through the same connection in the
// same run. The difference is what the program adds after the database: filters, department
// groups, estimated costs per printer, combining, sorting.
//
//   bench_report [--jobs N[,N...]] [--pg URL] [--no-sqlite] [--keep DIR]
// Defaults: --jobs 1000000,10000000. --keep keeps the SQLite files in DIR and reuses them on the
// next run. PostgreSQL runs when --pg or KV6_TEST_PG_URL names a server (in a schema of its own,
// dropped at the end).

#include "base/langstrings.h"
#include "dataaccess/dataconnection.h"
#include "dataaccess/datasettings.h"
#include "dataaccess/demodata.h"
#include "groups/analysis.h"
#include "groups/printers.h"
#include "report/report.h"
#include "report/reportdataset.h"

#include "benchdata.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
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
using kv6bench::peakMB;
using kv6bench::seconds;

namespace {

const char *const sql = R"(SELECT 'USR' || u.user_id AS "UserKey",
  'PRT' || p.printer_id AS "PrinterKey", COALESCE(u.display_name, u.user_name) AS "UserName",
  SUM(j.pages) AS "TotalPages", SUM(j.color_pages) AS "ColorPages", COUNT(*) AS "Jobs",
  0.0 AS "Cost" FROM print_jobs j JOIN users u ON u.user_id = j.user_id
  JOIN printers p ON p.printer_id = j.printer_id
  WHERE j.company_id = ? AND j.job_time &gt;= ? AND j.job_time &lt; ?
  GROUP BY u.user_id, u.display_name, u.user_name, p.printer_id)";

QByteArray definition()
{
    return QByteArray(R"(<KVReport><KVReportInfo><Name>CostByDepartment</Name>
<DisplayName>Pages and cost by department</DisplayName><Sort>Cost DESC</Sort>
<AccessSQL>)")
        + sql + "</AccessSQL><SQLServerSQL>" + sql + R"(</SQLServerSQL>
<Parameters><Parameter><Name>Company</Name><Type>1</Type></Parameter>
<Parameter><Name>Range</Name><Type>2</Type></Parameter></Parameters>
<GroupColumns>
<Column><Field>UserKey</Field><Action>4</Action></Column>
<Column><Field>UserName</Field><Replace>1</Replace></Column>
<Column><Field>TotalPages</Field><Action>1</Action></Column>
<Column><Field>ColorPages</Field><Action>1</Action></Column>
<Column><Field>Jobs</Field><Action>1</Action></Column>
<Column><Field>Cost</Field><Action>1</Action><Replace>8</Replace></Column>
</GroupColumns></KVReportInfo></KVReport>)";
}

// Twelve departments, users dealt out in turn; printers get rates of their own.
void makeDepartments(clsAnalysis &analysis)
{
    infGroupManager *users = analysis.UserManager();
    QList<GroupItemPtr> departments;
    for (int d = 1; d <= 12; ++d) {
        GroupItemPtr g;
        if (!users->AddGroup(QStringLiteral("Department %1").arg(d), &g))
            die(QStringLiteral("cannot add a department"));
        departments << g;
    }
    int n = 0;
    for (const GroupItemPtr &user : users->Items())
        users->AddItemToGroup(departments[n++ % departments.size()]->Key(), user->Key());
    int p = 0;
    for (const GroupItemPtr &item : analysis.PrinterManager()->Items()) {
        if (auto *printer = dynamic_cast<clsPrinter *>(item.get()))
            printer->setEstCost(Currency::fromRaw(100 + 25 * (p++ % 8)));
    }
}

void benchEngine(const QString &name, const DataSource &base, const QList<qint64> &sizes,
    const QString &folder, const QString &definitionPath)
{
    std::printf("\n%s\n", qPrintable(name));
    // "steps" times the program's own work alone (on a copy of the query's table): on a busy
    // machine the query's own variation can exceed it, so both ratios are shown.
    std::printf("%-44s %9s %9s %7s %9s %7s %9s\n", "step", "whole", "query", "ratio", "steps",
        "ratio", "peak MB");
    for (const qint64 jobs : sizes) {
        DataSource s = base;
        std::unique_ptr<DataConnection> c
            = openBenchHistory(s, folder, QStringLiteral("report"), jobs, 44);

        clsAnalysis analysis;
        analysis.setShowProgress(false);
        check(analysis.InitializeDefault(*c, 2));
        makeDepartments(analysis);
        clsReport report;
        if (!report.LoadDefinition(definitionPath, s.isSQLite() ? 1 : 2))
            die(report.LastError());
        report.SetUseEstCosts(true);
        ReportParametersPtr params = report.Parameters();
        (*params->item(QStringLiteral("Company")))->SetValue1(2);
        clsReportParameter &range = **params->item(QStringLiteral("Range"));

        struct Span
        {
            const char *label;
            QDate from;
            QDate to;
        };
        for (const Span &span : { Span { "one month", QDate(2026, 3, 1), QDate(2026, 3, 31) },
                 Span { "one year", QDate(2025, 7, 1), QDate(2026, 6, 30) } }) {
            range.SetValue1(span.from);
            range.SetValue2(span.to);
            int queryRows = 0;
            RecordsetPtr raw;
            const double query = best([&]() {
                check(c->ReportSQL(report.ReportSQL(), ReportQueryParameters(params.get()), raw));
                queryRows = raw->RecordCount();
            });
            // The program's own steps on their own, over copies of the query's table.
            ReportDataSetSettings settings;
            settings.sort = report.Sort();
            settings.columns = &report.Columns();
            settings.parameters = params.get();
            settings.useEstCosts = true;
            ReportDataSetBuilder builder(settings, &analysis);
            const double steps = best([&]() {
                RecordsetPtr t = raw->Copy();
                check(builder.Process(t));
            });
            int rows = 0;
            const double whole = best([&]() {
                check(report.BuildReportDataSet(&analysis, *c));
                rows = report.ReportData()->RecordCount();
            });
            std::printf("%-44s %9.3f %9.3f %7.2f %9.3f %7.2f %9.0f\n",
                qPrintable(QStringLiteral("%1 jobs, %2 (%3 rows -> %4)")
                               .arg(jobs)
                               .arg(QLatin1String(span.label))
                               .arg(queryRows)
                               .arg(rows)),
                whole, query, whole / query, steps, steps / query, peakMB());
        }
        c.reset();
        dropBenchSchema(s);
    }
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const BenchOptions o = parseBenchOptions(
        QStringLiteral(
            "usage: bench_report [--jobs N[,N...]] [--pg URL] [--no-sqlite] [--keep DIR]"),
        true, false);
    QTemporaryDir temp;
    const QString folder = outputFolder(o, temp);
    const QString definitionPath = temp.filePath(QStringLiteral("cost-by-department.rpt"));
    QFile f(definitionPath);
    if (!f.open(QIODevice::WriteOnly) || f.write(definition()) < 0)
        die(QStringLiteral("cannot write %1").arg(definitionPath));
    f.close();
    std::printf("pages and cost by user, grouped by department: the whole data-set build against "
                "its query alone\n");
    for (const auto &[label, source] : benchSources(o))
        benchEngine(label, source, o.sizes, folder, definitionPath);
    return 0;
}
