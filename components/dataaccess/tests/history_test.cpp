// Demo history, CUPS page-log import and the database summary, on both engines.

#include "dataaccess/cupsimport.h"
#include "dataaccess/databaseinfo.h"
#include "dataaccess/demodata.h"
#include "dataaccess/schema.h"
#include "enginetest.h"

#include <QDateTime>
#include <QTimeZone>

using namespace kv6;
using kv6test::Engine;

namespace {

// The one value of an aggregate query, as text.
QString scalar(DataConnection &c, const QString &sql, const QVariantList &params = {})
{
    return kv6test::queryRows(c, sql, params).value(0);
}

qint64 count(DataConnection &c, const QString &table)
{
    return scalar(c, QStringLiteral("SELECT COUNT(*) FROM ") + table).toLongLong();
}

// What a history amounts to, for comparing two of them.
QString fingerprint(DataConnection &c)
{
    QStringList parts;
    for (const QString &sql : {
             QStringLiteral("SELECT COUNT(*) FROM print_jobs"),
             QStringLiteral("SELECT SUM(pages) FROM print_jobs"),
             QStringLiteral("SELECT SUM(color_pages) FROM print_jobs"),
             QStringLiteral("SELECT SUM(user_id * pages) FROM print_jobs"),
             QStringLiteral("SELECT SUM(printer_id * copies) FROM print_jobs"),
             QStringLiteral("SELECT MIN(job_time) FROM print_jobs"),
             QStringLiteral("SELECT MAX(job_time) FROM print_jobs"),
             QStringLiteral("SELECT COUNT(*) FROM admin_group_members"),
         })
        parts << scalar(c, sql).left(19);
    return parts.join(QLatin1Char('|'));
}

DemoOptions smallDemo()
{
    return kv6test::demoOptions(20000, 120, 7);
}

// Three jobs on two printers: per-page lines with a total line, per-page lines without one (a
// job name with blanks and no later fields), and a one-line job; two malformed lines.
const QByteArray pageLog
    = "laser1 ann 17 [01/Mar/2026:09:00:00 +0100] 1 2 - ws1 "
      "report.pdf iso_a4_210x297mm two-sided-long-edge\n"
      "laser1 ann 17 [01/Mar/2026:09:00:05 +0100] 2 2 - ws1 "
      "report.pdf iso_a4_210x297mm two-sided-long-edge\n"
      "laser1 ann 17 [01/Mar/2026:09:00:09 +0100] total 4 - ws1 "
      "report.pdf iso_a4_210x297mm two-sided-long-edge\n"
      "\n"
      "colour2 bob 3 [01/Mar/2026:23:30:00 -0500] 1 1 - ws2 My Holiday Photos\n"
      "colour2 bob 3 [01/Mar/2026:23:30:02 -0500] 2 1 - ws2 My Holiday Photos\n"
      "colour2 bob 3 [01/Mar/2026:23:30:04 -0500] 3 1 - ws2 My Holiday Photos\n"
      "this line is not from cups\n"
      "laser1 ann x [01/Mar/2026:09:10:00 +0100] 1 1\n"
      "laser1 carol 18 [02/Mar/2026:10:00:00 +0100] total 1 - ws3 memo.txt "
      "na_letter_8.5x11in one-sided\n";

} // namespace

class HistoryTest : public kv6test::EngineTest
{
};
KV6_ENGINES(HistoryTest);

TEST_P(HistoryTest, DemoHistoryIsDeterministicAndMatchesItsSummary)
{
    openFresh();
    DemoSummary s;
    ASSERT_FALSE(GenerateDemoData(*connection, smallDemo(), &s));
    EXPECT_EQ(s.companies, 2);
    EXPECT_EQ(s.printers, 16);
    EXPECT_EQ(s.devices, 2); // one per five printers, at least one a company
    EXPECT_EQ(s.users, 60);
    EXPECT_EQ(s.jobs, 20000);
    EXPECT_EQ(s.lastDay, QDate(2026, 6, 30));
    EXPECT_EQ(s.firstDay, QDate(2026, 6, 30).addDays(-119));

    DatabaseInfo info;
    ASSERT_FALSE(ReadDatabaseInfo(*connection, info));
    EXPECT_EQ(std::tuple(info.companies, info.printers, info.devices, info.users, info.groups,
                  info.memberships, info.jobs, info.pages),
        std::tuple(2, s.printers, s.devices, s.users, s.groups, s.memberships, s.jobs, s.pages));
    EXPECT_GE(info.firstJob, s.firstDay.toString(Qt::ISODate));
    EXPECT_LT(info.lastJob, s.lastDay.addDays(1).toString(Qt::ISODate));
    EXPECT_EQ(info.schemaVersion, CurrentSchemaVersion);
    EXPECT_EQ(info.fileSize >= 0, isSQLite());
    const QString first = fingerprint(*connection);

    // The same options give the same history on another database; another seed does not.
    connection.reset();
    kv6test::dropTestSource(source);
    kv6test::TempEnv env2;
    std::string skip;
    ASSERT_TRUE(kv6test::makeTestSource(GetParam(), env2, source, skip));
    openFresh();
    ASSERT_FALSE(GenerateDemoData(*connection, smallDemo(), nullptr));
    EXPECT_EQ(fingerprint(*connection), first);

    // A history ending today stops at the present moment.
    DemoOptions other = smallDemo();
    other.seed = 8;
    other.lastDay = QDate();
    other.days = 2;
    DemoSummary s2;
    ASSERT_FALSE(GenerateDemoData(*connection, other, &s2));
    ASSERT_FALSE(ReadDatabaseInfo(*connection, info));
    EXPECT_LE(
        info.lastJob, QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")));
    // A second run adds companies after the existing ones.
    EXPECT_EQ(count(*connection, QStringLiteral("companies")), 4);
    EXPECT_EQ(scalar(*connection,
                  QStringLiteral("SELECT MIN(company_id) FROM companies "
                                 "WHERE company_id > 2"))
                  .toInt(),
        3);
    EXPECT_NE(s2.pages, s.pages);
}

TEST_P(HistoryTest, DemoHistoryLooksLikeAnOffice)
{
    openFresh();
    DemoSummary s;
    ASSERT_FALSE(GenerateDemoData(*connection, smallDemo(), &s));
    DataConnection &c = *connection;

    // What an office never does: colour on a mono device, duplex on a simplex one, more colour
    // than pages, a job outside its user's company, a group member outside the group's company.
    for (const char *sql : {
             "SELECT COUNT(*) FROM print_jobs j JOIN printers p ON p.printer_id = j.printer_id "
             "WHERE j.color_pages > 0 AND NOT p.color_device",
             "SELECT COUNT(*) FROM print_jobs j JOIN printers p ON p.printer_id = j.printer_id "
             "WHERE j.duplex AND NOT p.duplex_device",
             "SELECT COUNT(*) FROM print_jobs WHERE color_pages > pages OR pages < 1",
             "SELECT COUNT(*) FROM print_jobs j JOIN users u ON u.user_id = j.user_id "
             "WHERE u.company_id <> j.company_id",
             "SELECT COUNT(*) FROM admin_group_members m JOIN admin_groups g ON g.group_id = "
             "m.group_id WHERE (g.object_type = 1 AND NOT EXISTS (SELECT 1 FROM printers p WHERE "
             "p.printer_id = m.object_id AND p.company_id = g.company_id)) OR (g.object_type = 0 "
             "AND NOT EXISTS (SELECT 1 FROM users u WHERE u.user_id = m.object_id AND "
             "u.company_id = g.company_id))",
         })
        EXPECT_EQ(scalar(c, QString::fromLatin1(sql)), QStringLiteral("0")) << sql;
    // What it does: colour and duplex at all, groups by floor (owner 0) and department (owner 1).
    for (const char *sql : {
             "SELECT SUM(color_pages) FROM print_jobs",
             "SELECT COUNT(*) FROM print_jobs WHERE duplex",
             "SELECT COUNT(*) FROM admin_groups WHERE owner_id = 0",
             "SELECT COUNT(*) FROM admin_groups WHERE owner_id = 1",
         })
        EXPECT_GT(scalar(c, QString::fromLatin1(sql)).toLongLong(), 0) << sql;

    // Office hours and weekdays carry most of the work.
    const QString hour = isSQLite() ? QStringLiteral("CAST(strftime('%H', job_time) AS INTEGER)")
                                    : QStringLiteral("EXTRACT(HOUR FROM job_time)");
    const qint64 office = scalar(
        c, QStringLiteral("SELECT COUNT(*) FROM print_jobs WHERE %1 BETWEEN 8 AND 17").arg(hour))
                              .toLongLong();
    EXPECT_GT(office, s.jobs * 3 / 4);
    const QString dow = isSQLite() ? QStringLiteral("CAST(strftime('%w', job_time) AS INTEGER)")
                                   : QStringLiteral("EXTRACT(DOW FROM job_time)");
    const qint64 weekend
        = scalar(c, QStringLiteral("SELECT COUNT(*) FROM print_jobs WHERE %1 IN (0, 6)").arg(dow))
              .toLongLong();
    int weekendDays = 0;
    for (QDate d = s.firstDay; d <= s.lastDay; d = d.addDays(1))
        weekendDays += d.dayOfWeek() >= 6 ? 1 : 0;
    const int weekdays = int(s.firstDay.daysTo(s.lastDay)) + 1 - weekendDays;
    // Per day, a weekend day sees under a third of a weekday's jobs.
    EXPECT_LT(3 * weekend * weekdays, (s.jobs - weekend) * weekendDays);

    // Long tail: the largest job is far above the median-ish typical job.
    EXPECT_GT(scalar(c, QStringLiteral("SELECT MAX(pages) FROM print_jobs")).toInt(),
        20
            * scalar(c, QStringLiteral("SELECT MIN(pages) FROM print_jobs WHERE pages > 1"))
                  .toInt());
}

TEST_P(HistoryTest, CupsImportJoinsLinesIntoJobsOnce)
{
    openFresh();
    const QString log = env.path(QStringLiteral("page_log"));
    kv6test::writeFile(log, pageLog);

    CupsImportSummary s;
    ASSERT_FALSE(ImportCupsPageLog(*connection, log, 0, s));
    EXPECT_EQ(s.jobs, 3);
    EXPECT_EQ(s.pages, 4 + 3 + 1);
    EXPECT_EQ(s.printers, 2);
    EXPECT_EQ(s.users, 3);
    EXPECT_EQ(s.skippedLines, 2);
    ASSERT_EQ(s.problems.size(), 2);
    EXPECT_EQ(s.problems[0].line, 8);
    EXPECT_EQ(s.problems[1].line, 9);
    EXPECT_TRUE(s.problems[1].reason.contains(QLatin1String("\"x\"")))
        << s.problems[1].reason.toStdString();
    EXPECT_EQ(count(*connection, QStringLiteral("companies")), 1);

    // ann: the total line wins over the sum of page lines; two-sided A4. bob: no total line, so
    // the page lines add up; a name with blanks and no media.
    const QString jobs = QStringLiteral(
        "SELECT %1 FROM print_jobs j JOIN printers p ON p.printer_id = j.printer_id "
        "JOIN users u ON u.user_id = j.user_id ORDER BY u.user_name");
    EXPECT_EQ(kv6test::queryRows(*connection,
                  jobs.arg(QStringLiteral("p.name, u.user_name, j.pages, j.copies, j.duplex, "
                                          "j.paper_size, j.document_name, j.computer"))),
        QStringList({ "laser1|ann|4|2|true|A4|report.pdf|ws1",
            "colour2|bob|3|1|false||My Holiday Photos|ws2",
            "laser1|carol|1|1|false|Letter|memo.txt|ws3" }));
    // The time is the first line's, in local office time.
    RecordsetPtr t;
    ASSERT_FALSE(connection->ReportSQL(jobs.arg(QStringLiteral("j.job_time")), {}, t));
    const QDateTime bobTime(QDate(2026, 3, 1), QTime(23, 30), QTimeZone(-5 * 3600));
    EXPECT_EQ(t->ValueAt(1, 0).toDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")),
        bobTime.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")));

    // The same file again adds nothing and says so.
    CupsImportSummary again;
    ASSERT_FALSE(ImportCupsPageLog(*connection, log, 0, again));
    EXPECT_EQ(again.jobs, 0);
    EXPECT_EQ(again.alreadyImported, 3);
    EXPECT_EQ(again.printers, 0);
    EXPECT_EQ(count(*connection, QStringLiteral("print_jobs")), 3);
}

TEST_P(HistoryTest, FailedImportsAndCancelledLoadsWriteNothing)
{
    openFresh();
    kv6test::addSampleSuite(*connection);
    const QString log = env.path(QStringLiteral("page_log"));
    kv6test::writeFile(log, pageLog);
    CupsImportSummary s;

    // Two companies: the import must be told which.
    EXPECT_TRUE(kv6test::failsWith(ImportCupsPageLog(*connection, log, 0, s), dataErrInvalid));
    EXPECT_TRUE(kv6test::failsWith(
        ImportCupsPageLog(*connection, log, 99, s), dataErrNotFound, { QStringLiteral("99") }));
    EXPECT_TRUE(kv6test::failsWith(
        ImportCupsPageLog(*connection, env.path(QStringLiteral("missing_log")), 2, s), 0,
        { QStringLiteral("missing_log") }));

    // A cancel while writing rolls back the printers and users created on the way.
    const qint64 printers = count(*connection, QStringLiteral("printers"));
    EXPECT_TRUE(kv6test::failsWith(ImportCupsPageLog(*connection, log, 2, s,
                                       [](qint64 done, qint64 total) { return done < total; }),
        dataErrCancelled));
    EXPECT_EQ(count(*connection, QStringLiteral("print_jobs")), 0);
    EXPECT_EQ(count(*connection, QStringLiteral("printers")), printers);
    EXPECT_EQ(s.jobs, 0);
    // So does a cancelled demo load, companies and groups included.
    qint64 calls = 0;
    EXPECT_TRUE(kv6test::failsWith(
        GenerateDemoData(*connection, smallDemo(), nullptr,
            [&](qint64 done, qint64 total) { return ++calls < 3 && done < total; }),
        dataErrCancelled));
    EXPECT_EQ(count(*connection, QStringLiteral("print_jobs")), 0);
    EXPECT_EQ(count(*connection, QStringLiteral("printers")), printers);
    EXPECT_EQ(count(*connection, QStringLiteral("companies")), 2);
    EXPECT_EQ(count(*connection, QStringLiteral("admin_groups")), 0);

    // Into the named company, next to its existing printers.
    ASSERT_FALSE(ImportCupsPageLog(*connection, log, 2, s));
    EXPECT_EQ(s.companyId, 2);
    EXPECT_EQ(scalar(*connection,
                  QStringLiteral("SELECT COUNT(*) FROM print_jobs WHERE company_id = ?"), { 2 })
                  .toInt(),
        3);
}

TEST(CupsPageLine, ParsesTheFieldsCupsWrites)
{
    CupsPageLine l;
    QString reason;
    ASSERT_TRUE(ParseCupsPageLine(QStringLiteral("HP_4 \"jo smith\" 1042 [28/Feb/2024:17:59:59 "
                                                 "+0530] total 12 acct host9 \"a b.pdf\" "
                                                 "iso_a3_297x420mm one-sided"),
        l, reason))
        << reason.toStdString();
    EXPECT_EQ(l.printer, QStringLiteral("HP_4"));
    EXPECT_EQ(l.user, QStringLiteral("jo smith"));
    EXPECT_EQ(l.jobId, 1042);
    EXPECT_TRUE(l.total);
    EXPECT_EQ(l.count, 12);
    EXPECT_EQ(l.time.toUTC(), QDateTime(QDate(2024, 2, 28), QTime(12, 29, 59), QTimeZone::utc()));
    EXPECT_EQ(l.billing, QStringLiteral("acct"));
    EXPECT_EQ(l.jobName, QStringLiteral("a b.pdf"));
    EXPECT_EQ(PaperSizeFromMedia(l.media), QStringLiteral("A3"));
    EXPECT_EQ(l.sides, QStringLiteral("one-sided"));

    for (const char *bad : {
             "p u 1 [31/Feb/2024:10:00:00 +0000] 1 1", // no such day
             "p u 1 [01/Foo/2024:10:00:00 +0000] 1 1",
             "p u 1 [01/Jan/2024:10:00:00 +0000] one 1",
             "p u 1 [01/Jan/2024:10:00:00 +0000] 1 -2",
             "p u -1 [01/Jan/2024:10:00:00 +0000] 1 1",
             "p u 1 [01/Jan/2024:10:00:00 +0000]",
         }) {
        EXPECT_FALSE(ParseCupsPageLine(QString::fromLatin1(bad), l, reason)) << bad;
        EXPECT_FALSE(reason.isEmpty());
    }
    EXPECT_EQ(PaperSizeFromMedia(QStringLiteral("-")), QString());
    EXPECT_EQ(
        PaperSizeFromMedia(QStringLiteral("na_legal_8.5x14in,tray-2")), QStringLiteral("Legal"));
    EXPECT_EQ(
        PaperSizeFromMedia(QStringLiteral("custom_99x99mm")), QStringLiteral("custom_99x99mm"));
}

TEST(DemoRandom, SeedsGiveFixedSequences)
{
    DemoRandom a(42), b(42), c(43);
    bool differs = false;
    for (int i = 0; i < 100; ++i) {
        const quint64 x = a.next();
        EXPECT_EQ(x, b.next());
        differs = differs || x != c.next();
    }
    EXPECT_TRUE(differs);
    DemoRandom r(1);
    int hits = 0;
    for (int i = 0; i < 10000; ++i) {
        const int v = r.between(3, 5);
        ASSERT_TRUE(v >= 3 && v <= 5);
        hits += r.chance(2500) ? 1 : 0;
    }
    EXPECT_NEAR(hits, 2500, 200);
}
