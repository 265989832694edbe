// The summary tables against the job table on both engines: after bulk loads (which rebuild the
// days they load), and after inserts, updates and deletes, one by one and in bulk, that the
// triggers carry.

#include "dataaccess/cupsimport.h"
#include "dataaccess/demodata.h"
#include "dataaccess/schema.h"
#include "dataaccess/summaries.h"
#include "enginetest.h"

using namespace kv6;
using kv6test::Engine;

namespace {

class Summaries : public kv6test::EngineTest
{
protected:
    QStringList rows(const QString &sql) { return kv6test::queryRows(*connection, sql); }

    // The summaries against figures worked out here from the jobs, by SQL of the test's own,
    // and against the library's check.
    void expectExact(const char *when)
    {
        SCOPED_TRACE(when);
        const QString hour = isSQLite()
            ? QStringLiteral("CAST(substr(job_time, 12, 2) AS INTEGER)")
            : QStringLiteral("CAST(EXTRACT(HOUR FROM job_time) AS INTEGER)");
        // The day and the month tables hold the same columns at their own grain.
        const struct
        {
            const char *table, *period, *sqlite, *server;
        } grains[] = {
            { "print_job_days", "job_day", "substr(job_time, 1, 10)", "CAST(job_time AS DATE)" },
            { "print_job_months", "job_month", "substr(job_time, 1, 8) || '01'",
                "CAST(date_trunc('month', job_time) AS DATE)" },
        };
        for (const auto &g : grains) {
            const QStringList fromJobs
                = rows(QStringLiteral(
                    "SELECT company_id, %1, user_id, printer_id, COUNT(*), SUM(pages), "
                    "SUM(color_pages), SUM(CASE WHEN duplex THEN pages ELSE 0 END), MIN(pages), "
                    "MAX(pages), MIN(job_time), MAX(job_time) FROM print_jobs WHERE job_status = "
                    "0 GROUP BY company_id, %1, user_id, printer_id ORDER BY 1, 2, 3, 4")
                           .arg(QLatin1String(isSQLite() ? g.sqlite : g.server)));
            // On SQLite an expression reads back typed by its values, as the job side's does.
            const QString typed = isSQLite() ? QStringLiteral("'' || ") : QString();
            const QStringList summary = rows(
                QStringLiteral("SELECT company_id, %1%2, user_id, printer_id, jobs, pages, "
                               "color_pages, duplex_pages, smallest_job, largest_job, %1first_job, "
                               "%1last_job FROM %3 ORDER BY 1, 2, 3, 4")
                    .arg(typed, QLatin1String(g.period), QLatin1String(g.table)));
            ASSERT_FALSE(fromJobs.isEmpty());
            EXPECT_EQ(summary, fromJobs) << g.table;
        }
        EXPECT_EQ(rows(QStringLiteral("SELECT %1, SUM(jobs), SUM(pages) FROM print_job_hours "
                                      "GROUP BY job_hour ORDER BY 1")
                           .arg(QStringLiteral("job_hour"))),
            rows(QStringLiteral("SELECT %1, COUNT(*), SUM(pages) FROM print_jobs WHERE "
                                "job_status = 0 GROUP BY %1 ORDER BY 1")
                     .arg(hour)));
        QStringList differences;
        ASSERT_FALSE(CheckSummaries(*connection, differences));
        EXPECT_TRUE(differences.isEmpty()) << differences.join(QLatin1Char('\n')).toStdString();
    }

    void exec(const QString &sql)
    {
        const DataResult e = connection->Execute(sql);
        ASSERT_FALSE(e) << sql.toStdString() << ": " << e->Description().toStdString();
    }

    QString insertJob(int id, const char *time, int pages, int color, bool duplex, int status = 0)
    {
        return QStringLiteral(
            "INSERT INTO print_jobs (job_id, company_id, user_id, printer_id, "
            "job_time, pages, color_pages, copies, duplex, job_status, job_cost) "
            "SELECT %1, company_id, MIN(user_id), (SELECT MIN(printer_id) FROM "
            "printers p WHERE p.company_id = u.company_id), '%2', %3, %4, 1, %5, "
            "%6, %3 * 0.0125 FROM users u WHERE company_id = 1 GROUP BY company_id")
            .arg(id)
            .arg(QLatin1String(time))
            .arg(pages)
            .arg(color)
            .arg(isSQLite() ? QString::number(int(duplex))
                            : QLatin1String(duplex ? "true" : "false"))
            .arg(status);
    }

    // Loads, changes of every kind and imports, each followed by the comparison.
    void changeEverything();
};
KV6_ENGINES(Summaries);

void Summaries::changeEverything()
{
    DemoOptions o;
    o.jobs = 3000;
    o.seed = 3;
    o.companies = 2;
    o.printers = 4;
    o.users = 12;
    o.days = 40;
    o.lastDay = QDate(2026, 4, 5); // spans the European and the American spring DST change
    ASSERT_FALSE(GenerateDemoData(*connection, o));
    expectExact("after the demo load");

    // One by one: midnight, the last second of a day, the hour that does not exist on the
    // European DST day, and the ones that occur twice in autumn; a job not printed.
    int id = 900000;
    for (const char *time : { "2026-03-29 00:00:00", "2026-03-29 02:30:00", "2026-03-29 23:59:59",
             "2026-03-08 02:15:00", "2026-10-25 02:30:00", "2026-10-25 02:30:00" })
        exec(insertJob(++id, time, 7, 3, true));
    exec(insertJob(++id, "2026-03-29 12:00:00", 500, 0, false, 2));
    expectExact("after single inserts");

    // Updates that move a job over midnight into the next month, to another printer and hour,
    // that make it the day's largest or smallest, that stop and start counting it; a delete of a
    // day's largest.
    exec(QStringLiteral(
        "UPDATE print_jobs SET job_time = '2026-04-01 00:00:00' WHERE job_id = 900003"));
    exec(QStringLiteral("UPDATE print_jobs SET printer_id = printer_id + 1, job_time = "
                        "'2026-03-29 05:00:00' WHERE job_id = 900002"));
    exec(QStringLiteral("UPDATE print_jobs SET pages = 900 WHERE job_id = 900001"));
    exec(QStringLiteral("UPDATE print_jobs SET pages = 0, color_pages = 0 WHERE job_id = 900004"));
    exec(QStringLiteral("UPDATE print_jobs SET job_status = 1 WHERE job_id = 900005"));
    exec(QStringLiteral("UPDATE print_jobs SET job_status = 0 WHERE job_id = 900007"));
    exec(QStringLiteral("DELETE FROM print_jobs WHERE job_id = 900001"));
    exec(QStringLiteral(
        "DELETE FROM print_jobs WHERE job_id = (SELECT MIN(job_id) FROM print_jobs)"));
    expectExact("after single updates and deletes");

    // In bulk: statements over many jobs and days.
    exec(QStringLiteral("UPDATE print_jobs SET pages = pages + 1, duplex = NOT duplex WHERE "
                        "job_id % 3 = 0"));
    exec(QStringLiteral("UPDATE print_jobs SET job_status = 3 WHERE job_id % 17 = 0"));
    exec(QStringLiteral("DELETE FROM print_jobs WHERE job_id % 11 = 0"));
    exec(
        QStringLiteral("INSERT INTO print_jobs (job_id, company_id, user_id, printer_id, job_time, "
                       "pages, color_pages, copies, duplex, job_status, job_cost) SELECT job_id "
                       "+ 1000000, company_id, user_id, printer_id, job_time, pages, "
                       "color_pages, copies, duplex, job_status, job_cost FROM print_jobs WHERE "
                       "job_id % 5 = 0 AND job_id < 900000"));
    expectExact("after bulk changes");
    // Many jobs of days their users had not printed on come in one statement and go in one: a
    // server runs the row triggers once the statement has changed every row.
    exec(QStringLiteral("INSERT INTO print_jobs (job_id, company_id, user_id, printer_id, "
                        "job_time, pages, color_pages, copies, duplex, job_status, job_cost) "
                        "SELECT job_id + 2000000, company_id, user_id, printer_id, "
                        "'2026-04-06 09:00:00', pages, color_pages, copies, duplex, 0, job_cost "
                        "FROM print_jobs WHERE job_id % 7 = 1 AND job_id < 900000"));
    expectExact("after new days in bulk");
    exec(QStringLiteral("DELETE FROM print_jobs WHERE job_id > 2000000"));
    expectExact("after new days went in bulk");

    // A second bulk load adds companies to a history that has jobs; the rows the first load
    // and the changes left stay exact.
    o.seed = 4;
    o.jobs = 500;
    o.companies = 1;
    ASSERT_FALSE(GenerateDemoData(*connection, o));
    expectExact("after a second load");

    // Imports add their jobs' figures at the end: a job beside an imported one of the same
    // printer, user and day joins its row, one over midnight in another zone opens a row, and a
    // file imported again adds nothing.
    const QString log = env.path(QStringLiteral("page_log"));
    for (const char *lines :
        { "lp9 zoe 1 [29/Mar/2026:23:59:59 +0000] total 5 - ws1 a.pdf a4 two-sided-long-edge\n"
          "lp9 zoe 2 [30/Mar/2026:00:30:00 +0100] total 2 - ws1 b.pdf a4 one-sided\n",
            "lp9 zoe 3 [29/Mar/2026:23:00:00 +0000] total 9 - ws1 c.pdf a4 one-sided\n"
            "lp9 zoe 1 [29/Mar/2026:23:59:59 +0000] total 5 - ws1 a.pdf a4 "
            "two-sided-long-edge\n" }) {
        kv6test::writeFile(log, lines);
        CupsImportSummary s;
        ASSERT_FALSE(ImportCupsPageLog(*connection, log, 1, s));
        EXPECT_EQ(s.jobs, 2 - s.alreadyImported);
    }
    expectExact("after imports");

    // A load adds its own jobs only, when another writer's job lies between their ids.
    exec(insertJob(990002, "2026-03-29 10:00:00", 4, 0, false));
    ASSERT_FALSE(connection->InTransaction([&]() -> DataResult {
        if (DataResult e = SuspendSummaries(*connection))
            return e;
        for (const int id : { 990001, 990003 })
            if (DataResult e
                = connection->Execute(insertJob(id, "2026-03-29 10:30:00", 6, 1, true)))
                return e;
        return ResumeSummariesAdding(*connection, { 990001, 990003 });
    }));
    expectExact("after a load around another writer's job");

    // A rebuild from scratch gives the rows the triggers kept: both equal the jobs' own.
    ASSERT_FALSE(RebuildSummaries(*connection));
    expectExact("after a rebuild");
}

TEST_P(Summaries, StayEqualToTheJobsThroughLoadsAndEveryKindOfChange)
{
    openFresh();
    changeEverything();
}

// A job table partitioned by month: made from an empty one only, the same changes kept exact,
// and months added later take their jobs out of the default partition.
TEST_P(Summaries, StayEqualOnAJobTablePartitionedByMonth)
{
    openFresh();
    const QDate march(2026, 3, 1), april(2026, 4, 30);
    if (isSQLite()) {
        EXPECT_TRUE(kv6test::failsWith(
            PartitionJobsByMonth(*connection, march, april), 0, { QStringLiteral("PostgreSQL") }));
        return;
    }
    ASSERT_FALSE(GenerateDemoData(*connection, kv6test::demoOptions(50, 5)));
    EXPECT_TRUE(kv6test::failsWith(
        PartitionJobsByMonth(*connection, march, april), 0, { QStringLiteral("holds jobs") }));
    exec(QStringLiteral("DELETE FROM print_jobs"));
    ASSERT_FALSE(PartitionJobsByMonth(*connection, march, march));
    ASSERT_NO_FATAL_FAILURE(changeEverything());
    // The demo loads dropped the indexes and made them again over every partition.
    EXPECT_EQ(rows(QStringLiteral("SELECT COUNT(*) FROM pg_indexes WHERE tablename = "
                                  "'print_jobs_2026_03' AND schemaname = current_schema()")),
        QStringList { QStringLiteral("6") });
    EXPECT_EQ(rows(QStringLiteral("SELECT COUNT(*) FROM pg_index x JOIN pg_class c ON c.oid = "
                                  "x.indexrelid WHERE NOT x.indisvalid AND c.relnamespace = "
                                  "current_schema()::regnamespace")),
        QStringList { QStringLiteral("0") });
    const QString outside = QStringLiteral("SELECT COUNT(*) FROM print_jobs_other WHERE job_time "
                                           ">= '2026-02-01' AND job_time < '2026-05-01'");
    ASSERT_NE(rows(outside), QStringList { QStringLiteral("0") });
    ASSERT_FALSE(PartitionJobsByMonth(*connection, QDate(2026, 2, 14), april));
    EXPECT_EQ(rows(outside), QStringList { QStringLiteral("0") });
    EXPECT_EQ(rows(QStringLiteral(
                  "SELECT COUNT(*) FROM pg_inherits WHERE inhparent = 'print_jobs'::regclass")),
        QStringList { QStringLiteral("4") });
    expectExact("after adding months");
}

// A table whose columns changed is made anew by the upgrade: what the older form held goes, and
// the jobs already there give the new one its figures. Columns added to a table's rows take
// theirs from the rows per user and printer.
TEST_P(Summaries, AnUpgradeMakesATableOfAnEarlierFormAnewFromTheJobs)
{
    openFresh();
    ASSERT_FALSE(GenerateDemoData(*connection, kv6test::demoOptions(300, 5)));
    // The users' months and the triggers as version 11 made them.
    for (const QString &statement : SummarySchemaStatements(isSQLite(), 11))
        exec(statement);
    exec(QStringLiteral("DROP INDEX IF EXISTS print_job_months_printers"));
    exec(QStringLiteral("UPDATE schema_info SET value = '11' WHERE name = 'SchemaVersion'"));
    connection.reset();
    openFresh();
    expectExact("after the upgrade from version 11");

    exec(QStringLiteral("DROP TABLE print_printer_days"));
    exec(QStringLiteral("CREATE TABLE print_printer_days (company_id INTEGER NOT NULL, job_day "
                        "DATE NOT NULL, printer_id INTEGER NOT NULL, jobs INTEGER NOT NULL, "
                        "first_user INTEGER NOT NULL, PRIMARY KEY (company_id, job_day, "
                        "printer_id))"));
    exec(QStringLiteral("INSERT INTO print_printer_days VALUES (1, '2020-01-01', 1, 5, 1)"));
    exec(QStringLiteral("DROP INDEX IF EXISTS print_job_months_printers"));
    exec(QStringLiteral("UPDATE schema_info SET value = '9' WHERE name = 'SchemaVersion'"));
    connection.reset();
    openFresh();
    expectExact("after the upgrade");
    exec(insertJob(900001, "2026-03-29 10:00:00", 7, 3, true));
    expectExact("after an insert");
}

TEST_P(Summaries, TheCheckNamesARowWrittenBehindTheTriggersBack)
{
    openFresh();
    DemoOptions o;
    o.jobs = 400;
    o.days = 10;
    o.lastDay = QDate(2026, 6, 30);
    ASSERT_FALSE(GenerateDemoData(*connection, o));
    // A figure changed, a row missing, a cost off: each named by its table and key.
    const struct
    {
        const char *plant, *row, *what;
    } plants[] = {
        { "UPDATE print_job_days SET largest_job = largest_job + 1 WHERE job_day = (SELECT "
          "MIN(job_day) FROM print_job_days) AND user_id = (SELECT MIN(user_id) FROM "
          "print_job_days WHERE job_day = (SELECT MIN(job_day) FROM print_job_days))",
            "print_job_days (company_id 1, job_day 2026-06-21", "largest_job " },
        { "DELETE FROM print_job_hours WHERE job_day = (SELECT MAX(job_day) FROM print_job_hours) "
          "AND job_hour = (SELECT MAX(job_hour) FROM print_job_hours WHERE job_day = (SELECT "
          "MAX(job_day) FROM print_job_hours))",
            "print_job_hours (company_id 1, job_day 2026-06-30", "jobs missing in the summary" },
        { "UPDATE print_job_months SET bw_cost = bw_cost + 1 WHERE user_id = (SELECT MIN(user_id) "
          "FROM print_job_months)",
            "print_job_months (company_id 1, job_month 2026-06-01", "bw_cost " },
    };
    for (const auto &p : plants)
        exec(QLatin1String(p.plant));
    QStringList differences;
    ASSERT_FALSE(CheckSummaries(*connection, differences));
    for (const auto &p : plants) {
        const QStringList found = differences.filter(QLatin1String(p.row));
        ASSERT_FALSE(found.isEmpty()) << p.row << "\n"
                                      << differences.join(QLatin1Char('\n')).toStdString();
        EXPECT_TRUE(found.first().contains(QLatin1String(p.what))) << found.first().toStdString();
    }

    // A server empties a table without touching its rows; the summaries go with it.
    if (!isSQLite()) {
        ASSERT_FALSE(RebuildSummaries(*connection));
        exec(QStringLiteral("TRUNCATE print_jobs"));
        EXPECT_TRUE(rows(QStringLiteral("SELECT job_day FROM print_job_days UNION ALL SELECT "
                                        "job_day FROM print_job_hours UNION ALL SELECT "
                                        "job_month FROM print_job_months"))
                        .isEmpty());
    }
}

} // namespace
