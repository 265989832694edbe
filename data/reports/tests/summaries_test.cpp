// The catalogue reads the summary tables. Every report built from them must equal, row for row
// and figure for figure, the same report built from the job table (jobtable_queries.xml keeps
// those queries), on both engines, for jobs at the edges of days, ranges and DST changes and
// after the history changed under the triggers; and every query must reach its rows through an
// index.

#include "demohistory.h"

#include "base/langstrings.h"
#include "dataaccess/dataconnection.h"
#include "groups/analysis.h"
#include "groups/printers.h"
#include "report/report.h"
#include "report/reportparameter.h"

#include <gtest/gtest.h>
#include <QRegularExpression>
#include <QSqlError>
#include <QSqlQuery>

using namespace kv6test;
using kv6::DataConnection;
using kv6::RecordsetPtr;

namespace {

// The job-table query of a definition file on one engine.
QString jobTableQuery(const QString &file, bool sqlite)
{
    static const QDomDocument doc = [] {
        QDomDocument d;
        d.setContent(
            readFile(sourceDir() + QStringLiteral("/data/reports/tests/jobtable_queries.xml")));
        return d;
    }();
    for (QDomElement r = doc.documentElement().firstChildElement(QStringLiteral("Report"));
         !r.isNull(); r = r.nextSiblingElement(QStringLiteral("Report")))
        if (r.attribute(QStringLiteral("file")) == file)
            return r
                .firstChildElement(
                    sqlite ? QStringLiteral("AccessSQL") : QStringLiteral("SQLServerSQL"))
                .text()
                .trimmed();
    return {};
}

struct Period
{
    QDate first;
    QDate last;
};

// The program's period, one over the whole history that holds both DST changes of 2026, and
// ones that start and end inside months (whole months in between, or none) and so read the
// month summary and the edge days of the day summary together.
const Period periods[] = { { FirstDay, LastDay }, { QDate(2026, 3, 1), QDate(2026, 10, 31) },
    { QDate(2026, 3, 29), QDate(2026, 5, 1) }, { QDate(2026, 6, 2), QDate(2026, 6, 9) } };

void expectIdentical(const kv6::Recordset &a, const kv6::Recordset &b, const QString &what)
{
    ASSERT_EQ(a.FieldCount(), b.FieldCount()) << s(what);
    for (int f = 0; f < a.FieldCount(); ++f) {
        EXPECT_EQ(s(a.FieldAt(f).name), s(b.FieldAt(f).name)) << s(what);
        EXPECT_EQ(a.FieldAt(f).type, b.FieldAt(f).type) << s(what) << ": " << s(a.FieldAt(f).name);
    }
    ASSERT_EQ(a.RecordCount(), b.RecordCount()) << s(what);
    for (int r = 0; r < a.RecordCount(); ++r) {
        for (int f = 0; f < a.FieldCount(); ++f) {
            const QVariant x = a.ValueAt(r, f), y = b.ValueAt(r, f);
            const int t = a.FieldAt(f).type;
            // Reals summed per day and then per report differ from one sum in the last bits.
            if ((t == kv6::adDouble || t == kv6::adCurrency) && x.isValid() && y.isValid()) {
                ASSERT_NEAR(
                    x.toDouble(), y.toDouble(), 1e-9 * std::max(1.0, std::abs(x.toDouble())))
                    << s(what) << ": row " << r << ", " << s(a.FieldAt(f).name);
            } else {
                ASSERT_EQ(s(Normalised(x)), s(Normalised(y)))
                    << s(what) << ": row " << r << ", " << s(a.FieldAt(f).name);
            }
        }
    }
}

class SummaryReports : public DemoHistoryTest
{
protected:
    static RecordsetPtr buildFor(const Definition &d, DataConnection &c, kv6::clsAnalysis &analysis,
        const Period &period, bool fromJobs)
    {
        QDomDocument doc = d.document.cloneNode(true).toDocument();
        const QDomElement info
            = doc.documentElement().firstChildElement(QStringLiteral("KVReportInfo"));
        QDomElement sql = info.firstChildElement(
            isSQLite(c) ? QStringLiteral("AccessSQL") : QStringLiteral("SQLServerSQL"));
        const QString query = fromJobs ? jobTableQuery(d.file, isSQLite(c)) : sql.text();
        while (sql.hasChildNodes())
            sql.removeChild(sql.firstChild());
        // A query's row order is not defined (a server's hash aggregation follows its plan),
        // and fields that no column combines keep the first row's value; the same order on both
        // sides keeps those comparable. The first six fields identify a row in every report.
        sql.appendChild(doc.createTextNode(
            QStringLiteral("SELECT * FROM (%1) q ORDER BY 1, 2, 3, 4, 5, 6").arg(query)));
        kv6::clsReport report;
        EXPECT_TRUE(report.LoadDefinitionFromNode(info, isSQLite(c) ? 1 : 2))
            << s(d.file) << ": " << s(report.LastError());
        setWizardDefaults(report);
        // Rows one per user and printer on both sides: a company's totals keep the keys of the
        // query's own first row, not of the first in this order (the combining test compares
        // them in the query's order).
        report.SetCombineInDatabase(false);
        for (const kv6::ReportParameterPtr &p : *report.Parameters())
            if (p->ParameterType() == 2) {
                p->SetValue1(period.first);
                p->SetValue2(period.last);
            }
        return build(report, analysis, c);
    }

    static void expectEveryReportEqual(const char *when)
    {
        for (DataConnection *c : engines()) {
            auto analysis = analysisOf(*c);
            for (const Definition &d : std::as_const(*s_definitions)) {
                ASSERT_FALSE(jobTableQuery(d.file, isSQLite(*c)).isEmpty()) << s(d.file);
                for (const Period &p : periods) {
                    const QString what
                        = QStringLiteral("%1 on %2 from %3 %4")
                              .arg(d.file, engineName(*c), p.first.toString(Qt::ISODate),
                                  QLatin1String(when));
                    const RecordsetPtr summary = buildFor(d, *c, *analysis, p, false);
                    const RecordsetPtr jobs = buildFor(d, *c, *analysis, p, true);
                    ASSERT_TRUE(summary && jobs) << s(what);
                    EXPECT_GT(jobs->RecordCount(), 0) << s(what);
                    expectIdentical(*summary, *jobs, what);
                }
            }
        }
    }

    static void execEverywhere(const QString &sql)
    {
        for (DataConnection *c : engines()) {
            const kv6::DataResult e = c->Execute(sql);
            ASSERT_FALSE(e) << s(sql) << " on " << s(engineName(*c)) << ": " << s(e->Description());
        }
    }
};

TEST_F(SummaryReports, EveryReportFromTheSummariesEqualsTheReportFromTheJobTable)
{
    expectEveryReportEqual("as loaded");

    // Single jobs of the company at midnight and the last second of the period's edges (two
    // inside, two outside), on both DST change days of 2026 (an hour that does not exist, one
    // that occurs twice), and one that was not printed.
    const char *const times[] = { "2026-05-01 00:00:00", "2026-04-30 23:59:59",
        "2026-06-15 23:59:59", "2026-06-16 00:00:00", "2026-03-29 00:00:00", "2026-03-29 02:30:00",
        "2026-03-29 23:59:59", "2026-10-25 02:30:00", "2026-10-25 02:30:00" };
    int n = 0;
    for (const char *time : times) {
        ++n;
        execEverywhere(
            QStringLiteral("INSERT INTO print_jobs (company_id, user_id, printer_id, job_time, "
                           "pages, color_pages, copies, duplex, job_status, job_cost) SELECT 1, "
                           "(SELECT MIN(user_id) FROM users WHERE company_id = 1), (SELECT "
                           "MAX(printer_id) FROM printers WHERE company_id = 1), '%1', %2, %3, 1, "
                           "(%2 > 5), %4, %2 * 0.0125")
                .arg(QLatin1String(time))
                .arg(n * 13)
                .arg(n % 3)
                .arg(n == 7 ? 1 : 0));
    }
    expectEveryReportEqual("after single inserts");

    // Single changes: a job moved out of the period over midnight, to another printer, made the
    // largest of its day, stopped from counting; a day's largest job deleted.
    execEverywhere(QStringLiteral("UPDATE print_jobs SET job_time = '2026-06-16 00:00:00' WHERE "
                                  "job_id = (SELECT MIN(job_id) FROM print_jobs WHERE job_time "
                                  ">= '2026-06-15' AND company_id = 1)"));
    execEverywhere(QStringLiteral("UPDATE print_jobs SET printer_id = (SELECT MIN(printer_id) "
                                  "FROM printers WHERE company_id = 1) WHERE job_id = (SELECT "
                                  "MAX(job_id) FROM print_jobs WHERE company_id = 1)"));
    execEverywhere(QStringLiteral("UPDATE print_jobs SET pages = 4000, color_pages = 10 WHERE "
                                  "job_id = (SELECT MIN(job_id) + 17 FROM print_jobs)"));
    execEverywhere(QStringLiteral("UPDATE print_jobs SET job_status = 2 WHERE job_id = (SELECT "
                                  "MIN(job_id) + 29 FROM print_jobs)"));
    execEverywhere(QStringLiteral("DELETE FROM print_jobs WHERE job_id = (SELECT MIN(job_id) + "
                                  "17 FROM print_jobs)"));
    // And in bulk.
    execEverywhere(QStringLiteral("UPDATE print_jobs SET pages = pages + 2, copies = 2 WHERE "
                                  "job_id % 7 = 0"));
    execEverywhere(QStringLiteral("UPDATE print_jobs SET job_status = 1 WHERE job_id % 13 = 0"));
    execEverywhere(QStringLiteral("DELETE FROM print_jobs WHERE job_id % 19 = 0"));
    execEverywhere(QStringLiteral("INSERT INTO print_jobs (company_id, user_id, printer_id, "
                                  "job_time, pages, color_pages, copies, duplex, job_status, "
                                  "job_cost) SELECT company_id, user_id, printer_id, job_time, "
                                  "pages, color_pages, copies, duplex, job_status, job_cost FROM "
                                  "print_jobs WHERE job_id % 5 = 0"));
    expectEveryReportEqual("after updates and deletes");
}

// Departments as an administrator makes them: every third user and every fourth printer in one
// of two groups, every seventh user and fifth printer left out, a rate of its own per printer.
void shapeAnalysis(kv6::clsAnalysis &analysis)
{
    kv6::infGroupManager *const managers[] = { analysis.UserManager(), analysis.PrinterManager() };
    for (kv6::infGroupManager *m : managers) {
        kv6::GroupItemPtr groups[2];
        ASSERT_TRUE(m->AddGroup(QStringLiteral("North"), &groups[0]));
        ASSERT_TRUE(m->AddGroup(QStringLiteral("South"), &groups[1]));
        const bool printers = m == analysis.PrinterManager();
        kv6::GroupItems &items = m->Items();
        for (int i = 1; i <= items.count(); ++i) {
            const kv6::GroupItemPtr item = *items.item(items.keyAt(i));
            if (i % (printers ? 4 : 3) == 0) {
                ASSERT_TRUE(m->AddItemToGroup(groups[i % 2]->Key(), items.keyAt(i)));
            }
            if (i % (printers ? 5 : 7) == 0)
                item->setInclude(false);
            if (auto *p = dynamic_cast<kv6::clsPrinter *>(item.get())) {
                p->setEstCost(kv6::Currency::fromRaw(100 + 37 * (i % 4)));
                p->setEstCostColor(kv6::Currency::fromRaw(900 + 11 * i));
            }
        }
    }
}

// A database server filters and merges rows by the analysis before they cross; every report must
// come out exactly as when the program does all of it, with groups, filters and estimated
// costs on and off, and far fewer rows must cross.
TEST_F(SummaryReports, CombiningInTheDatabaseGivesTheTableTheProgramMakes)
{
    // The lowest user of a printer printed in colour only there: the black-and-white list of
    // that printer starts with another user.
    execEverywhere(QStringLiteral(
        "UPDATE print_jobs SET color_pages = pages WHERE printer_id = (SELECT MIN(printer_id) "
        "FROM print_jobs WHERE company_id = %1) AND user_id = (SELECT MIN(user_id) FROM print_jobs "
        "WHERE printer_id = (SELECT MIN(printer_id) FROM print_jobs WHERE company_id = %1))")
                       .arg(Company));
    // Every printer has some colour pages, so that the colour lists lose a printer left out.
    execEverywhere(QStringLiteral("UPDATE print_jobs SET color_pages = 1 WHERE job_id % 11 = 0 "
                                  "AND color_pages = 0 AND pages > 1"));
    // The lowest user also printed on the highest printer, and the highest user printed only in
    // the days after the period's last whole month: a company's totals must still count and
    // lead with the same users and printers.
    execEverywhere(QStringLiteral(
        "UPDATE print_jobs SET printer_id = (SELECT MAX(printer_id) FROM printers WHERE "
        "company_id = %1) WHERE job_id = (SELECT MAX(job_id) FROM print_jobs WHERE user_id = "
        "(SELECT MIN(user_id) FROM print_jobs WHERE company_id = %1))")
                       .arg(Company));
    execEverywhere(QStringLiteral("UPDATE print_jobs SET job_time = '%2 10:00:00' WHERE user_id = "
                                  "(SELECT MAX(user_id) FROM print_jobs WHERE company_id = %1)")
                       .arg(Company)
                       .arg(LastDay.addDays(-2).toString(Qt::ISODate)));
    // The lowest user's jobs of the period's whole month come on one of those days: the first
    // printer of the first user left in is found there alone.
    execEverywhere(
        QStringLiteral("UPDATE print_jobs SET job_time = '%2 09:00:00' WHERE user_id = "
                       "(SELECT MIN(user_id) FROM print_jobs WHERE company_id = %1) AND "
                       "job_time >= '%3' AND job_time < '%4'")
            .arg(Company)
            .arg(LastDay.addDays(-3).toString(Qt::ISODate), FirstDay.toString(Qt::ISODate),
                FirstDay.addMonths(1).toString(Qt::ISODate)));
    // Users and printers as shapeAnalysis leaves them out or in, lowest id first.
    QList<int> out[2], in[2];
    {
        auto analysis = analysisOf(*engines().first());
        shapeAnalysis(*analysis);
        const kv6::infGroupManager *const managers[]
            = { analysis->UserManager(), analysis->PrinterManager() };
        for (int kind = 0; kind < 2; ++kind) {
            const kv6::GroupItems &items = managers[kind]->Items();
            for (int i = 1; i <= items.count(); ++i)
                ((*items.item(items.keyAt(i)))->Include() ? in : out)[kind]
                    << items.keyAt(i).mid(3).toInt();
            std::sort(out[kind].begin(), out[kind].end());
            std::sort(in[kind].begin(), in[kind].end());
        }
    }
    const auto above = [](const QList<int> &ids, int id) {
        const auto at = std::find_if(ids.begin(), ids.end(), [&](int i) { return i > id; });
        return at == ids.end() ? -1 : *at;
    };
    ASSERT_GE(in[0].size(), 4);
    ASSERT_FALSE(out[0].isEmpty() || out[1].isEmpty());
    const int loUser = out[0].first(), loPrinter = out[1].first();
    const int sameModel = above(in[1], loPrinter);
    const int bwFromLeftOut = above(in[1], sameModel),
              colorFromLeftOut = above(in[1], bwFromLeftOut);
    ASSERT_GT(colorFromLeftOut, 0);
    const QString period
        = QStringLiteral("company_id = %1 AND job_time >= '%2' AND job_time < '%3'")
              .arg(Company)
              .arg(FirstDay.toString(Qt::ISODate))
              .arg(LastDay.addDays(1).toString(Qt::ISODate));
    const auto oneJobOf = [&](int user, const QString &after) {
        return QStringLiteral("(SELECT MIN(job_id) FROM print_jobs WHERE user_id = %1 AND %2 AND "
                              "job_time >= '%3')")
            .arg(user)
            .arg(period, after);
    };
    // A printer left out has the model of a printer left in above it, and a user printed on both.
    execEverywhere(QStringLiteral("UPDATE printers SET manufacturer_model = (SELECT "
                                  "manufacturer_model FROM printers WHERE printer_id = %1) WHERE "
                                  "printer_id = %2")
                       .arg(sameModel)
                       .arg(loPrinter));
    execEverywhere(QStringLiteral("UPDATE print_jobs SET printer_id = %1 WHERE job_id = %2")
                       .arg(loPrinter)
                       .arg(oneJobOf(in[0].at(1), QStringLiteral("2026-05-03"))));
    execEverywhere(QStringLiteral("UPDATE print_jobs SET printer_id = %1 WHERE job_id = %2")
                       .arg(sameModel)
                       .arg(oneJobOf(in[0].at(1), QStringLiteral("2026-05-20"))));
    // Printers left in whose black-and-white (colour) pages are all a left-out user's.
    for (const int printer : { bwFromLeftOut, colorFromLeftOut }) {
        const bool bw = printer == bwFromLeftOut;
        execEverywhere(QStringLiteral("UPDATE print_jobs SET printer_id = %1 WHERE job_id = %2")
                           .arg(printer)
                           .arg(oneJobOf(loUser, QLatin1String(bw ? "2026-05-05" : "2026-05-06"))));
        execEverywhere(
            QStringLiteral("UPDATE print_jobs SET color_pages = CASE WHEN user_id = %1 "
                           "THEN %2 ELSE %3 END WHERE printer_id = %4")
                .arg(loUser)
                .arg(QLatin1String(bw ? "0" : "pages"), QLatin1String(bw ? "pages" : "0"))
                .arg(printer));
    }
    // A printer left in that only a left-out user printed on (none of the above): not one of
    // the printers counted.
    const auto onlyLeftOut = std::find_if(in[1].begin(), in[1].end(), [&](int p) {
        return p != in[1].first() && p != in[1].last() && p != sameModel && p != bwFromLeftOut
            && p != colorFromLeftOut;
    });
    ASSERT_NE(onlyLeftOut, in[1].end());
    execEverywhere(QStringLiteral("UPDATE print_jobs SET user_id = %1 WHERE printer_id = %2 AND %3")
                       .arg(loUser)
                       .arg(*onlyLeftOut)
                       .arg(period));
    // A user left in who printed only on a printer left out, and one whose lowest printer of
    // every month is left out but who printed once on a printer left in.
    execEverywhere(QStringLiteral("UPDATE print_jobs SET printer_id = %1 WHERE user_id IN (%2, %3)")
                       .arg(loPrinter)
                       .arg(in[0].at(2))
                       .arg(in[0].at(3)));
    execEverywhere(QStringLiteral("UPDATE print_jobs SET printer_id = %1 WHERE job_id = %2")
                       .arg(sameModel)
                       .arg(oneJobOf(in[0].at(3), QStringLiteral("2026-05-12"))));
    // The period's first jobs are a left-out user's, its last ones on a left-out printer.
    execEverywhere(QStringLiteral("UPDATE print_jobs SET user_id = %1 WHERE %2 AND job_time = "
                                  "(SELECT MIN(job_time) FROM print_jobs WHERE %2)")
                       .arg(loUser)
                       .arg(period));
    execEverywhere(QStringLiteral("UPDATE print_jobs SET printer_id = %1 WHERE %2 AND job_time = "
                                  "(SELECT MAX(job_time) FROM print_jobs WHERE %2)")
                       .arg(loPrinter)
                       .arg(period));
    // The other company prints from the period's second day to its last but one: over every
    // company, the edge days are still the first company's.
    execEverywhere(QStringLiteral("DELETE FROM print_jobs WHERE company_id <> %1 AND "
                                  "(job_time < '%2' OR job_time >= '%3')")
                       .arg(Company)
                       .arg(FirstDay.addDays(1).toString(Qt::ISODate))
                       .arg(LastDay.toString(Qt::ISODate)));
    for (DataConnection *c : engines()) {
        auto analysis = analysisOf(*c);
        shapeAnalysis(*analysis);
        int smaller = 0, folded = 0;
        // Then users alone left out, which a query may leave out of each user's totals; then
        // printers alone, which a printer list may read from each printer's days; then most
        // users, whose rows a query may rather not look up one by one.
        for (const int round : { 0, 1, 2, 3 }) {
            if (round > 0) {
                analysis = analysisOf(*c);
                shapeAnalysis(*analysis);
                kv6::GroupItems &items
                    = (round == 1 ? analysis->PrinterManager() : analysis->UserManager())->Items();
                for (int i = 1; i <= items.count(); ++i)
                    (*items.item(items.keyAt(i)))->setInclude(round < 3 || i % 3 == 0);
            }
            for (const Definition &d : std::as_const(*s_definitions)) {
                // 8: over whole months only (no edge days to read); 8 alone: nothing used;
                // 16: every company; 32: from a day inside a month (to one inside another).
                for (const int use : round == 0 ? QList<int> { 7, 5, 3, 0, 8, 19, 35, 24, 48 }
                        : round == 2            ? QList<int> { 3, 11 }
                                                : QList<int> { 3 }) {
                    const QString what = QStringLiteral("%1 on %2, settings %3%4")
                                             .arg(d.file, engineName(*c))
                                             .arg(use)
                                             .arg(QLatin1String(round == 0 ? ""
                                                     : round == 1 ? ", users alone left out"
                                                     : round == 2 ? ", printers alone left out"
                                                                  : ", most users left out"));
                    int queried[2] = { 0, 0 };
                    RecordsetPtr built[2];
                    for (const bool inDatabase : { false, true }) {
                        kv6::clsReport report;
                        ASSERT_TRUE(report.LoadDefinitionFromNode(d.info, isSQLite(*c) ? 1 : 2));
                        setWizardDefaults(report);
                        for (const kv6::ReportParameterPtr &p : *report.Parameters()) {
                            if (p->ParameterType() == 1 && (use & 16))
                                p->SetValue1(-1);
                            if (p->ParameterType() == 2 && (use & 8)) {
                                p->SetValue1(periods[1].first);
                                p->SetValue2(periods[1].last);
                            }
                            if (p->ParameterType() == 2 && (use & 32))
                                p->SetValue1(FirstDay.addDays(-11));
                        }
                        report.SetUseGroups(use & 1);
                        report.SetUseFilters(use & 2);
                        report.SetUseEstCosts(use & 4);
                        report.SetCombineInDatabase(inDatabase);
                        // The filtering step counts the rows that crossed, in blocks of 50.
                        QObject::connect(&report, &kv6::clsReport::UpdateProgress,
                            [&](const QString &text, int, int maximum) {
                                if (text == kv6::GetLangString(843))
                                    queried[inDatabase] = std::max(queried[inDatabase], maximum);
                            });
                        built[inDatabase] = build(report, *analysis, *c);
                    }
                    ASSERT_TRUE(built[0] && built[1]) << s(what);
                    EXPECT_GT(built[0]->RecordCount(), 0) << s(what);
                    expectIdentical(*built[1], *built[0], what);
                    EXPECT_LE(queried[1], queried[0]) << s(what);
                    smaller += round == 0 && use == 7 && queried[1] < queried[0];
                    folded += round == 0 && use == 0 && queried[1] < queried[0];
                }
            }
        }
        // An embedded database is never asked to merge rows: it hands consecutive rows alike over
        // as one as they are read, the rows of anyone left out dropped first.
        EXPECT_GE(smaller, s_definitions->size() / 2) << s(engineName(*c));
        if (isSQLite(*c)) {
            EXPECT_GE(folded, 2);
        }
    }
}

// Each query's own plan: the summaries are searched by an index (their key leads with company
// and period), never scanned whole, and the job table is not read at all.
TEST_F(SummaryReports, EveryQuerySearchesTheSummariesByAnIndex)
{
    for (DataConnection *c : engines()) {
        const bool sqlite = isSQLite(*c);
        // On a database this small a server may well prefer reading a table whole; with that
        // discouraged it shows whether an index can serve the query at all.
        if (!sqlite) {
            ASSERT_FALSE(c->Execute(QStringLiteral("SET enable_seqscan = off")));
        }
        for (const Definition &d : std::as_const(*s_definitions)) {
            const QString sql = d.sql(sqlite);
            EXPECT_FALSE(sql.contains(QLatin1String("print_jobs"))) << s(d.file);
            for (const int company : { Company, -1 }) {
                const QVariantList params = QueryParameters(d, company,
                    FirstDay.toString(Qt::ISODate), LastDay.addDays(1).toString(Qt::ISODate));
                RecordsetPtr plan;
                QString explain;
                if (sqlite) {
                    ASSERT_FALSE(
                        c->ReportSQL(QStringLiteral("EXPLAIN QUERY PLAN ") + sql, params, plan))
                        << s(d.file);
                } else {
                    // A server prepares no EXPLAIN: the values go in as literals.
                    QString text = sql;
                    for (const QVariant &v : params) {
                        const qsizetype at = text.indexOf(QLatin1Char('?'));
                        ASSERT_GE(at, 0) << s(d.file);
                        text.replace(at, 1,
                            v.typeId() == QMetaType::QString
                                ? QLatin1Char('\'') + v.toString() + QLatin1Char('\'')
                                : v.toString());
                    }
                    QSqlQuery q(c->database());
                    ASSERT_TRUE(q.exec(QStringLiteral("EXPLAIN ") + text))
                        << s(d.file) << ": " << s(q.lastError().text());
                    while (q.next())
                        explain += q.value(0).toString() + QLatin1Char('\n');
                }
                for (const QVariantList &row : plan ? Rows(*plan) : QList<QVariantList>())
                    explain += row.last().toString() + QLatin1Char('\n');
                const QString what = d.file + QStringLiteral(" on ") + engineName(*c)
                    + QStringLiteral(" for company %1:\n").arg(company) + explain;
                if (sqlite) {
                    // Each summary the query names is searched by its key, never read whole.
                    static const QRegularExpression named(
                        QStringLiteral("print_(?:job_days|job_hours|job_months|company_hours|"
                                       "printer_days|user_months) (\\w+)"));
                    QStringList aliases;
                    for (const QRegularExpressionMatch &m : named.globalMatch(sql))
                        aliases << m.captured(1);
                    EXPECT_FALSE(aliases.isEmpty()) << s(what);
                    for (const QString &a : std::as_const(aliases)) {
                        EXPECT_TRUE(explain.contains(QStringLiteral("SEARCH %1 USING").arg(a)))
                            << s(a) << " in " << s(what);
                        EXPECT_FALSE(explain.contains(
                            QRegularExpression(QStringLiteral("^SCAN %1\\b").arg(a),
                                QRegularExpression::MultilineOption)))
                            << s(a) << " in " << s(what);
                    }
                } else {
                    EXPECT_TRUE(explain.contains(QLatin1String("Index Scan using print_"))
                        || explain.contains(QLatin1String("Index Only Scan using print_"))
                        || explain.contains(QLatin1String("Bitmap Index Scan on print_")))
                        << s(what);
                    EXPECT_FALSE(explain.contains(QLatin1String("Seq Scan on print_"))) << s(what);
                }
            }
        }
        if (!sqlite) {
            ASSERT_FALSE(c->Execute(QStringLiteral("RESET enable_seqscan")));
        }
    }
}

} // namespace
