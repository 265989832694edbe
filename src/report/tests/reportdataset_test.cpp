#include "report/report.h"
#include "report/reportdataset.h"

#include "base/dialogs.h"
#include "base/langstrings.h"
#include "groups/analysis.h"
#include "groups/printers.h"

#include "deftest.h"
#include "enginetest.h"
#include "recordtable.h"
#include "testscopes.h"

using namespace kv6;

namespace {

// Per user and printer, so costs can be estimated per printer and then combined per user.
// The same query on both engines.
const QByteArray usersByPrinterSql
    = R"(SELECT 'USR' || u.user_id AS "UserKey", 'PRT' || p.printer_id AS "PrinterKey",
  COALESCE(u.display_name, u.user_name) AS "UserName", SUM(j.pages) AS "TotalPages",
  SUM(j.color_pages) AS "ColorPages", 0.0 AS "Cost", 0 AS "Printers"
  FROM print_jobs j JOIN users u ON u.user_id = j.user_id
  JOIN printers p ON p.printer_id = j.printer_id
  WHERE j.company_id = ? AND j.job_time &gt;= ? AND j.job_time &lt; ?
  GROUP BY u.user_id, u.display_name, u.user_name, p.printer_id)";

const QByteArray usersByPrinter = R"(
<Name>UserPages</Name>
<DisplayName>Pages by user</DisplayName>
<Sort>TotalPages DESC</Sort>
<AccessSQL>)"
    + usersByPrinterSql + "</AccessSQL>\n<SQLServerSQL>" + usersByPrinterSql + R"(</SQLServerSQL>
<Parameters>
  <Parameter><Name>Company</Name><Type>1</Type><Display>0</Display></Parameter>
  <Parameter><Name>Range</Name><Type>2</Type></Parameter>
</Parameters>
<GroupColumns>
  <Column><Field>UserKey</Field><Action>4</Action></Column>
  <Column><Field>UserName</Field><Replace>1</Replace></Column>
  <Column><Field>TotalPages</Field><Action>1</Action></Column>
  <Column><Field>ColorPages</Field><Action>1</Action></Column>
  <Column><Field>Cost</Field><Action>1</Action><Replace>7</Replace></Column>
  <Column><Field>Printers</Field><Action>5</Action><ActionParam>PrinterKey</ActionParam></Column>
</GroupColumns>
)";

struct Row
{
    QString user;
    qlonglong pages;
    double cost;
    int printers;
    bool operator==(const Row &) const = default;
};

std::ostream &operator<<(std::ostream &os, const Row &r)
{
    return os << r.user.toStdString() << "/" << r.pages << "/" << r.cost << "/" << r.printers;
}

std::vector<Row> rowsOf(const RecordsetPtr &rs)
{
    std::vector<Row> out;
    if (!rs)
        return out;
    const int user = rs->FieldIndex(QStringLiteral("UserName"));
    const int pages = rs->FieldIndex(QStringLiteral("TotalPages"));
    const int cost = rs->FieldIndex(QStringLiteral("Cost"));
    const int printers = rs->FieldIndex(QStringLiteral("Printers"));
    for (rs->MoveFirst(); !rs->Eof(); rs->MoveNext())
        out.push_back({ rs->Value(user).toString(), rs->Value(pages).toLongLong(),
            std::round(rs->Value(cost).toDouble() * 10000) / 10000, rs->Value(printers).toInt() });
    return out;
}

} // namespace

class DataSetBuild : public kv6test::SuiteTest
{
protected:
    void SetUp() override
    {
        SuiteTest::SetUp();
        if (IsSkipped() || HasFatalFailure())
            return;
        const QString insert = QStringLiteral(
            "INSERT INTO print_jobs (company_id, user_id, printer_id, job_time, pages, "
            "color_pages) VALUES (?, ?, ?, ?, ?, ?)");
        const QList<QVariantList> jobs = {
            { 1, 100, 10, "2024-02-29 23:59:59", 1000, 0 }, // the day before the range
            { 1, 100, 10, "2024-03-01 00:00:00", 10, 4 },
            { 1, 100, 11, "2024-03-15 12:30:00", 5, 0 },
            { 1, 101, 10, "2024-03-31 23:59:59", 7, 1 }, // the last second of the range
            { 1, 101, 10, "2024-04-01 00:00:00", 100, 0 }, // the day after
            { 2, 200, 20, "2024-03-10 09:00:00", 50, 0 }, // another company
        };
        for (const QVariantList &job : jobs) {
            const DataResult e = connection->Execute(insert, job);
            ASSERT_FALSE(e) << e->Description().toStdString();
        }
        analysis.setShowProgress(false);
        const DataResult e = analysis.InitializeDefault(*connection, 1);
        ASSERT_FALSE(e) << e->Description().toStdString();
        printer(QStringLiteral("PRT10"))->setEstCost(Currency::fromDouble(0.05));
        printer(QStringLiteral("PRT11"))->setEstCost(Currency::fromDouble(0.10));
    }
    clsPrinter *printer(const QString &key)
    {
        GroupItemPtr *item = analysis.PrinterManager()->Items().item(key);
        return item ? dynamic_cast<clsPrinter *>(item->get()) : nullptr;
    }

    // Loads a definition for this engine and sets company 1 and March 2024.
    void load(clsReport &report, const QByteArray &content)
    {
        const QString path = env.path(QStringLiteral("def.rpt"));
        kv6test::writeFile(path, kv6test::definition(content));
        ASSERT_TRUE(report.LoadDefinition(path, isSQLite() ? 1 : 2))
            << report.LastError().toStdString();
        ReportParametersPtr params = report.Parameters();
        if (ReportParameterPtr *company = params->item(QStringLiteral("Company")))
            (*company)->SetValue1(1);
        if (ReportParameterPtr *range = params->item(QStringLiteral("Range"))) {
            (*range)->SetValue1(QDate(2024, 3, 1));
            (*range)->SetValue2(QDate(2024, 3, 31));
        }
    }

    std::vector<Row> build(clsReport &report)
    {
        const DataResult e = report.BuildReportDataSet(&analysis, *connection);
        EXPECT_FALSE(e) << e->Description().toStdString();
        return rowsOf(report.ReportData());
    }

    kv6test::ShippedLanguage language;
    SilentDialogs silent;
    ScopedDialogProvider quiet { &silent };
    clsAnalysis analysis;
};
KV6_ENGINES(DataSetBuild);

TEST_P(DataSetBuild, TheRangeCoversItsLastDayAndCombinesPerUserWithCostsEstimatedWhenAsked)
{
    clsReport report;
    load(report, usersByPrinter);
    QStringList texts;
    QObject::connect(
        &report, &clsReport::UpdateProgress, [&](const QString &text, int, int) { texts << text; });
    // Ann printed on two printers: her rows combine. Printers are marked once over the whole
    // table, so Bob's only printer, which Ann used first, adds nothing to his count.
    EXPECT_EQ(build(report), (std::vector<Row> { { "Ann Smith", 15, 0, 2 }, { "bob", 7, 0, 0 } }));
    ASSERT_FALSE(texts.isEmpty());
    EXPECT_EQ(texts.first(), GetLangString(848));
    EXPECT_TRUE(texts.contains(GetLangString(843)));
    EXPECT_TRUE(texts.contains(GetLangString(847)));

    // Estimated costs, only when asked: Ann 10 pages at 0.05 and 5 at 0.10, Bob 7 at 0.05.
    report.SetUseEstCosts(true);
    EXPECT_EQ(
        build(report), (std::vector<Row> { { "Ann Smith", 15, 1.0, 2 }, { "bob", 7, 0.35, 0 } }));
}

TEST_P(DataSetBuild, GroupsMergeTheirMembersAndFiltersDropExcludedUsers)
{
    infGroupManager *users = analysis.UserManager();
    GroupItemPtr sales;
    ASSERT_TRUE(users->AddGroup(QStringLiteral("Sales"), &sales));
    ASSERT_TRUE(users->AddItemToGroup(sales->Key(), QStringLiteral("USR100")));
    ASSERT_TRUE(users->AddItemToGroup(sales->Key(), QStringLiteral("USR101")));

    clsReport report;
    load(report, usersByPrinter);
    EXPECT_EQ(build(report), (std::vector<Row> { { "Sales", 22, 0, 2 } }));
    report.ReportData()->MoveFirst();
    EXPECT_EQ(report.ReportData()->Value(QStringLiteral("UserKey")).toString(), sales->Key());

    report.SetUseGroups(false);
    EXPECT_EQ(build(report).size(), 2u);

    (*users->Items().item(QStringLiteral("USR101")))->setInclude(false);
    EXPECT_EQ(build(report), (std::vector<Row> { { "Ann Smith", 15, 0, 2 } }));
    // Filters apply before anything is counted, so the group holds only Ann's pages.
    report.SetUseGroups(true);
    EXPECT_EQ(build(report), (std::vector<Row> { { "Sales", 15, 0, 2 } }));
    report.SetUseFilters(false);
    EXPECT_EQ(build(report), (std::vector<Row> { { "Sales", 22, 0, 2 } }));
}

TEST_P(DataSetBuild, ScriptsReshapeTheTableAndTheirErrorsNameReportAndLine)
{
    QByteArray doubled = usersByPrinter;
    doubled.replace("<Sort>", R"(<Scripts>
Sub PreProcess(src, dst)
    src.MoveFirst
    Do While Not src.EOF
        src("TotalPages") = src("TotalPages") * 2
        src.MoveNext
    Loop
    Set dst = src
End Sub
</Scripts><Sort>)");
    clsReport report;
    load(report, doubled);
    EXPECT_EQ(build(report), (std::vector<Row> { { "Ann Smith", 30, 0, 2 }, { "bob", 14, 0, 0 } }));

    QByteArray failing = usersByPrinter;
    failing.replace("<Sort>", R"(<Scripts>Sub PreProcess(src, dst)
    Dim x
    x = src("NoSuchField")
End Sub</Scripts><Sort>)");
    clsReport broken;
    load(broken, failing);
    // The script's own error number.
    EXPECT_TRUE(kv6test::failsWith(broken.BuildReportDataSet(&analysis, *connection),
        kv6::adErrItemNotFound, { QStringLiteral("\"Pages by user\""), QStringLiteral("line 3") }));
}

TEST_P(DataSetBuild, SubReportsStartFromTheParentsTable)
{
    QByteArray withSubs = usersByPrinter;
    withSubs.append(R"(<SubReports>
  <SubReport><Name>Same</Name></SubReport>
  <SubReport><Name>Heavy</Name><Scripts>Sub PostProcess(src, dst)
    src.MoveFirst
    Do While Not src.EOF
        If src("TotalPages") &gt; 10 Then
            dst.AddNew
            dst("UserName") = src("UserName")
            dst("TotalPages") = src("TotalPages")
            dst.Update
        End If
        src.MoveNext
    Loop
End Sub</Scripts></SubReport>
</SubReports>)");
    clsReport report;
    load(report, withSubs);
    build(report);
    const clsReport &same = **report.SubReports().item(QStringLiteral("Same"));
    const clsReport &heavy = **report.SubReports().item(QStringLiteral("Heavy"));
    EXPECT_EQ(same.ReportData(), report.ReportData());
    const std::vector<Row> rows = rowsOf(heavy.ReportData());
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].user, QStringLiteral("Ann Smith"));
    EXPECT_EQ(rows[0].pages, 15);
}

TEST_P(DataSetBuild, AFailingQueryOrSortComesBackAsTheError)
{
    const struct
    {
        QByteArray from, to;
        int number;
    } cases[] = {
        { "FROM print_jobs j", "FROM no_such_table j", kv6::dataErrQuery },
        // A saved report or a command line may name a column the report lacks.
        { "<Sort>TotalPages DESC", "<Sort>Bogus DESC", kv6::adErrItemNotFound },
    };
    for (const auto &c : cases) {
        QByteArray bad = usersByPrinter;
        bad.replace(c.from, c.to);
        clsReport report;
        load(report, bad);
        const DataResult e = report.BuildReportDataSet(&analysis, *connection);
        ASSERT_TRUE(e) << c.to.constData();
        EXPECT_EQ(e->Number(), c.number) << e->Description().toStdString();
        EXPECT_FALSE(e->Description().isEmpty());
    }
}

// The steps after the query, over a hand-made table.
class DataSetSteps : public kv6test::DefinitionTest
{
protected:
    void loadColumns(const QByteArray &columns, const QByteArray &extra = {})
    {
        const QString path = write(QStringLiteral("steps.rpt"),
            kv6test::definition(
                "<Name>Steps</Name>" + extra + "<GroupColumns>" + columns + "</GroupColumns>"));
        ASSERT_TRUE(report.LoadDefinition(path, 1)) << report.LastError().toStdString();
    }
    ReportDataSetSettings settings(int rowLimit = -1, const QString &sort = {})
    {
        ReportDataSetSettings s;
        s.reportName = QStringLiteral("Steps");
        s.rowLimit = rowLimit;
        s.sort = sort;
        s.columns = &report.Columns();
        s.parameters = report.Parameters().get();
        return s;
    }
    // Rows N = 1..count (inserted in reverse), Printer "P" + (N mod 3), Pages N, Bucket 0.
    static RecordsetPtr table(int count)
    {
        QList<QVariantList> rows;
        for (int n = count; n >= 1; --n)
            rows.append(QVariantList { n, QStringLiteral("p%1").arg(n % 3), n, 0 });
        return kv6test::table(QStringLiteral("N Printer Pages Bucket"), rows);
    }
    // Every value with its type, row by row in the table's order.
    static QStringList cells(const RecordsetPtr &rs)
    {
        QStringList out;
        for (rs->MoveFirst(); !rs->Eof(); rs->MoveNext())
            for (int f = 0; f < rs->FieldCount(); ++f)
                out << QStringLiteral("%1:%2")
                           .arg(rs->Value(f).typeId())
                           .arg(rs->Value(f).toString());
        return out;
    }
    static QList<int> column(const RecordsetPtr &rs, const QString &name)
    {
        QList<int> out;
        for (rs->MoveFirst(); !rs->Eof(); rs->MoveNext())
            out << rs->Value(name).toInt();
        return out;
    }
    clsReport report;
};

TEST_F(DataSetSteps, ARowLimitKeepsTheFirstRowsInSortOrderAndBucketsNumberThem)
{
    loadColumns("<Column><Field>Bucket</Field><Action>7</Action><ActionParam>3</ActionParam>"
                "</Column>");
    ReportDataSetBuilder limited(settings(10, QStringLiteral("N ASC")), nullptr);
    RecordsetPtr rs = table(25);
    ASSERT_FALSE(limited.LimitAndNumber(rs));
    EXPECT_EQ(column(rs, QStringLiteral("N")), (QList<int> { 1, 2, 3, 4, 5, 6, 7, 8, 9, 10 }));
    EXPECT_EQ(column(rs, QStringLiteral("Bucket")), (QList<int> { 1, 1, 1, 2, 2, 2, 3, 3, 3, 4 }));

    // Without a limit every row is numbered in place.
    ReportDataSetBuilder unlimited(settings(-1, QStringLiteral("N DESC")), nullptr);
    const RecordsetPtr all = table(7);
    RecordsetPtr numbered = all;
    ASSERT_FALSE(unlimited.LimitAndNumber(numbered));
    EXPECT_EQ(numbered, all);
    EXPECT_EQ(column(all, QStringLiteral("Bucket")), (QList<int> { 1, 1, 1, 2, 2, 2, 3 }));

    // The bucket size may name a parameter.
    loadColumns("<Column><Field>Bucket</Field><Action>7</Action><ActionParam>Size</ActionParam>"
                "</Column>",
        "<Parameters><Parameter><Name>Size</Name><Type>3</Type></Parameter></Parameters>");
    (*report.Parameters()->item(QStringLiteral("Size")))->SetValue1(4);
    ReportDataSetBuilder builder(settings(-1, QStringLiteral("N")), nullptr);
    rs = table(6);
    ASSERT_FALSE(builder.LimitAndNumber(rs));
    EXPECT_EQ(column(rs, QStringLiteral("Bucket")), (QList<int> { 1, 1, 1, 1, 2, 2 }));
}

TEST_F(DataSetSteps, WithoutAKeyEveryRowFoldsIntoOneTotalsRow)
{
    loadColumns("<Column><Field>Pages</Field><Action>1</Action></Column>"
                "<Column><Field>Bucket</Field><Action>5</Action><ActionParam>Printer</ActionParam>"
                "</Column>"
                "<Column><Field>N</Field><Action>3</Action></Column>");
    ReportDataSetBuilder builder(settings(), nullptr);
    RecordsetPtr rs = table(10);
    ASSERT_FALSE(builder.MarkFirstOccurrences(rs));
    ASSERT_FALSE(builder.CombineRows(rs));
    ASSERT_EQ(rs->RecordCount(), 1);
    rs->MoveFirst();
    EXPECT_EQ(rs->Value(QStringLiteral("Pages")).toInt(), 55);
    EXPECT_EQ(rs->Value(QStringLiteral("Bucket")).toInt(), 3); // p0, p1, p2
    EXPECT_EQ(rs->Value(QStringLiteral("N")).toInt(), 10);
}

TEST_F(DataSetSteps, ALiteralStandsForEveryValueOnlyWhileGroupsAreUsed)
{
    loadColumns("<Column><Field>Printer</Field><Replace>All printers</Replace></Column>");
    for (const bool groups : { true, false }) {
        ReportDataSetSettings s = settings();
        s.useGroups = groups;
        ReportDataSetBuilder builder(s, nullptr);
        RecordsetPtr rs = table(3);
        ASSERT_FALSE(builder.FilterAndTransform(rs));
        QStringList printers;
        for (rs->MoveFirst(); !rs->Eof(); rs->MoveNext())
            printers << rs->Value(QStringLiteral("Printer")).toString();
        const QStringList expected = groups ? QStringList(3, QStringLiteral("All printers"))
                                            : QStringList { "p0", "p2", "p1" };
        EXPECT_EQ(printers, expected);
    }
}

TEST_F(DataSetSteps, KeysCompareWithoutRegardToCase)
{
    loadColumns("<Column><Field>Printer</Field><Action>4</Action></Column>"
                "<Column><Field>Pages</Field><Action>1</Action></Column>"
                "<Column><Field>N</Field><Action>2</Action></Column>");
    RecordsetPtr rs = table(0);
    rs->AppendRow({ 5, QStringLiteral("Front"), 3, 0 });
    rs->AppendRow({ 2, QStringLiteral("FRONT"), 4, 0 });
    rs->AppendRow({ 9, QStringLiteral("back"), 1, 0 });
    ReportDataSetBuilder builder(settings(), nullptr);
    ASSERT_FALSE(builder.CombineRows(rs));
    EXPECT_EQ(column(rs, QStringLiteral("Pages")), (QList<int> { 1, 7 }));
    EXPECT_EQ(column(rs, QStringLiteral("N")), (QList<int> { 9, 2 }));
    // A table without rows stays one.
    RecordsetPtr none = table(0);
    ASSERT_FALSE(builder.CombineRows(none));
    EXPECT_EQ(none->RecordCount(), 0);
}

TEST_F(DataSetSteps, FirstOccurrencesCountTextsWithoutRegardToCaseAndNumbersByValue)
{
    loadColumns("<Column><Field>Bucket</Field><Action>5</Action><ActionParam>Printer</ActionParam>"
                "</Column>"
                "<Column><Field>N</Field><Action>5</Action><ActionParam>Pages</ActionParam>"
                "</Column>");
    RecordsetPtr rs = table(0);
    for (const auto &[printer, pages] :
        { std::pair { "Front", qint64(3) }, { "back", 4 }, { "FRONT", 3 }, { "front", 10 } })
        rs->AppendRow({ 0, QString::fromLatin1(printer), QVariant(pages), 0 });
    rs->AppendRow({ 0, QVariant(), QVariant(3), 0 }); // a whole number of another width
    ReportDataSetBuilder builder(settings(), nullptr);
    ASSERT_FALSE(builder.MarkFirstOccurrences(rs));
    ASSERT_FALSE(builder.CombineRows(rs));
    EXPECT_EQ(column(rs, QStringLiteral("Bucket")), QList<int> { 3 }); // Null, back, front
    EXPECT_EQ(column(rs, QStringLiteral("N")), QList<int> { 3 }); // 3, 4, 10
}

TEST_F(DataSetSteps, ProcessingAtOnceEqualsTheStepsOneByOne)
{
    // A group's rows out of their days' order, keys and days alike but for case; each row's
    // Lead tells which row led its group, and real costs add up differently in another order.
    const auto rows = [] {
        return kv6test::table(QStringLiteral("User Day Lead Pages Days Cost"),
            { { "u1", "u1/c", "third", 3, 0, 0.3 }, { "u2", "u2/a", "alone", 5, 0, 0.1 },
                { "U1", "U1/B", "second", 2, 0, 0.2 }, { "u1", "u1/a", "first", 1, 0, 0.1 },
                { "u1", "u1/b", "later", 4, 0, 0.0 } });
    };
    for (const QByteArray cost : { "", "<Column><Field>Cost</Field><Action>1</Action></Column>" }) {
        loadColumns("<Column><Field>User</Field><Action>4</Action></Column>"
                    "<Column><Field>Pages</Field><Action>1</Action></Column>"
                    "<Column><Field>Days</Field><Action>5</Action><ActionParam>Day</ActionParam>"
                    "</Column>"
            + cost);
        ReportDataSetBuilder builder(settings(), nullptr);
        RecordsetPtr atOnce = rows(), byStep = rows();
        ASSERT_FALSE(builder.Process(atOnce));
        ASSERT_FALSE(builder.FilterAndTransform(byStep));
        ASSERT_FALSE(builder.MarkFirstOccurrences(byStep));
        ASSERT_FALSE(builder.CombineRows(byStep));
        ASSERT_FALSE(builder.LimitAndNumber(byStep));
        EXPECT_EQ(cells(atOnce), cells(byStep)) << cost.constData();
        EXPECT_EQ(column(atOnce, QStringLiteral("Days")), (QList<int> { 3, 1 }));
    }
}

// A query that read the company's totals may hand a row standing for several days, with their
// number: only then does a first occurrence keep a number above 1 (a second one, a zero or a
// one still becomes 0 or 1), by either path.
TEST_F(DataSetSteps, AFirstOccurrenceKeepsItsCountOnlyWhenTheQueryCounted)
{
    loadColumns("<Column><Field>User</Field><Action>4</Action></Column>"
                "<Column><Field>Days</Field><Action>5</Action><ActionParam>Day</ActionParam>"
                "</Column>");
    const auto rows = [] {
        return kv6test::table(QStringLiteral("User Day Days"),
            { { "u1", "u1/a", 5 }, { "u1", "U1/A", 5 }, { "u1", "u1/b", 1 }, { "u2", "u2/a", 0 },
                { "u3", "u3/a", 2.5 } });
    };
    for (const bool counted : { false, true }) {
        ReportDataSetSettings s = settings();
        s.countsFromQuery = counted;
        ReportDataSetBuilder builder(s, nullptr);
        RecordsetPtr atOnce = rows(), byStep = rows();
        ASSERT_FALSE(builder.Process(atOnce));
        ASSERT_FALSE(builder.MarkFirstOccurrences(byStep));
        ASSERT_FALSE(builder.CombineRows(byStep));
        const QList<int> expected = counted ? QList<int> { 6, 1, 1 } : QList<int> { 2, 1, 1 };
        EXPECT_EQ(column(atOnce, QStringLiteral("Days")), expected) << counted;
        EXPECT_EQ(column(byStep, QStringLiteral("Days")), expected) << counted;
    }
}

TEST_F(DataSetSteps, RowsInAnyOrderCombineAsWhenSortedByTheirKeys)
{
    // Rows in no order: users alike but for case, two keys, real costs that add up differently
    // in another order, or first occurrences of days that pick each group's leading row. ASCII
    // keys are grouped as the rows come; the same keys behind a non-ASCII letter are sorted
    // first. Both must give the same table.
    const auto rows = [](const QString &prefix) {
        QList<QVariantList> out;
        quint32 seed = 7;
        const auto next = [&seed](quint32 n) {
            seed = seed * 1103515245u + 12345u;
            return (seed >> 8) % n;
        };
        for (int i = 0; i < 3000; ++i) {
            QString user = QStringLiteral("user%1").arg(next(60));
            if (next(3) == 0)
                user = user.toUpper();
            // Days whose texts differ twice within their first eight characters, one way
            // then the other, and whose lengths differ.
            const QString day = QStringLiteral("2025-%1-%2").arg(next(6) + 1).arg(next(12) + 1);
            out.append({ prefix + user, int(next(7)), day, int(next(50)), next(1000) / 7.0,
                int(next(90)), 0, qint64(next(40)) });
        }
        return kv6test::table(
            QStringLiteral("User Printer Day Pages Cost Smallest Days DayNo"), out);
    };
    const QString accent = QStringLiteral("\u00e9");
    const QByteArray keys = "<Column><Field>User</Field><Action>4</Action></Column>"
                            "<Column><Field>Printer</Field><Action>4</Action></Column>"
                            "<Column><Field>Pages</Field><Action>1</Action></Column>"
                            "<Column><Field>Smallest</Field><Action>2</Action></Column>";
    // Days first met by their text, or by their number (whose leading row is the lowest by
    // value, not by text); the steps one by one sort by them.
    for (const char *days : { "", "Day", "DayNo" }) {
        loadColumns(keys
            + (*days ? QByteArray("<Column><Field>Days</Field><Action>5</Action><ActionParam>")
                        + days + "</ActionParam></Column>"
                     : "<Column><Field>Cost</Field><Action>1</Action></Column>"));
        ReportDataSetBuilder builder(settings(), nullptr);
        RecordsetPtr hashed = rows({}), sorted = rows(accent), stepped = rows({});
        ASSERT_FALSE(builder.Process(hashed));
        ASSERT_FALSE(builder.Process(sorted));
        ASSERT_FALSE(builder.MarkFirstOccurrences(stepped));
        ASSERT_FALSE(builder.CombineRows(stepped));
        EXPECT_EQ(cells(hashed), cells(sorted).replaceInStrings(accent, QString())) << days;
        EXPECT_EQ(cells(hashed), cells(stepped)) << days;
        EXPECT_GT(hashed->RecordCount(), 300);
    }
}

// The queries hand their rows over by day: rows already in the order of the compared column
// are marked where it changes, without a sort. They must come out as rows that a stable sort
// puts into that order: runs of one value in another order, real costs added in the same order.
TEST_F(DataSetSteps, RowsAlreadyInTheirDaysOrderMarkAsWhenSorted)
{
    const QDateTime midnight(QDate(2026, 3, 27), QTime(0, 0));
    const QList<QVariant> kinds[] = {
        { QStringLiteral("d01"), QStringLiteral("D01"), QStringLiteral("d02"),
            QStringLiteral("d10"), QStringLiteral("D10"), QStringLiteral("d11") },
        { 1, 1, 2, 10, 10, 11 },
        { midnight, midnight, midnight.addDays(1), midnight.addDays(3), midnight.addDays(3),
            midnight.addDays(4) },
    };
    loadColumns("<Column><Field>Weekday</Field><Action>4</Action></Column>"
                "<Column><Field>Days</Field><Action>5</Action><ActionParam>Day</ActionParam>"
                "</Column>"
                "<Column><Field>Cost</Field><Action>1</Action></Column>");
    for (const QList<QVariant> &days : kinds) {
        QList<QVariantList> inOrder;
        for (int i = 0; i < 60; ++i)
            inOrder.append({ i % 3, days.at(i / 10), 0, (i * 37 % 11) / 7.0 });
        // The runs of the last days first, the rows of each day kept in their order.
        QList<QVariantList> runs = inOrder;
        std::rotate(runs.begin(), runs.begin() + 30, runs.end());
        const QString names = QStringLiteral("Weekday Day Days Cost");
        RecordsetPtr marked = kv6test::table(names, inOrder), sorted = kv6test::table(names, runs);
        ReportDataSetBuilder builder(settings(), nullptr);
        ASSERT_FALSE(builder.Process(marked));
        ASSERT_FALSE(builder.Process(sorted));
        EXPECT_EQ(cells(marked), cells(sorted)) << days.first().toString().toStdString();
        // Four days, each counted under the weekday of its first row (0, 20, 30 and 50).
        EXPECT_EQ(column(marked, QStringLiteral("Days")), (QList<int> { 2, 0, 2 }));
    }
}

TEST(ReportQueryParameters, DateRangesPassTheDayAfterExceptInTheLastYear)
{
    ReportParameters params;
    EXPECT_FALSE(ReportQueryParameters(&params).isValid());
    const auto add
        = [&](const QString &name, int type, QVariant v1, QVariant v2 = {}, bool query = true) {
              auto p = std::make_shared<clsReportParameter>();
              p->SetName(name);
              p->SetParameterType(type);
              p->SetPassToQuery(query);
              p->SetValue1(v1);
              p->SetValue2(v2);
              params.add(p, name);
          };
    add(QStringLiteral("Company"), 1, 3);
    add(QStringLiteral("Leap"), 2, QDate(2024, 2, 1), QDate(2024, 2, 29));
    add(QStringLiteral("Hidden"), 3, 10, {}, false);
    add(QStringLiteral("All"), 2, QDate(1601, 1, 1), QDate(9999, 12, 31));
    add(QStringLiteral("Top"), 3, 5);
    EXPECT_EQ(ReportQueryParameters(&params).toList(),
        (QVariantList { 3, QStringLiteral("2024-02-01"), QStringLiteral("2024-03-01"),
            QStringLiteral("1601-01-01"), QStringLiteral("9999-12-31"), 5 }));
    EXPECT_EQ(ResolveRowLimit(QStringLiteral("Top"), &params), 5);
    EXPECT_EQ(ResolveRowLimit(QStringLiteral(" 12 "), &params), 12);
    EXPECT_EQ(ResolveRowLimit(QStringLiteral("Nowhere"), &params), -1);
}
