// The shipped definitions through the program's own report: loaded as the catalogue loads
// them, built with the analysis of the demo company, with and without groups, filters and
// estimated costs, and the finished tables held against the job table.

#include "demohistory.h"
#include "testscopes.h"

#include "base/dialogs.h"
#include "base/langstrings.h"
#include "dataaccess/enumerationtext.h"
#include "groups/analysis.h"
#include "groups/printers.h"
#include "report/report.h"
#include "report/reportcatalogue.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <gtest/gtest.h>
#include <QDir>

using namespace kv6test;
using kv6::clsAnalysis;
using kv6::clsReport;
using kv6::DataConnection;
using kv6::DataResult;
using kv6::RecordsetPtr;

namespace {

using JobKey = std::function<QString(const Job &)>;
using JobValue = std::function<double(const Job &)>;

// A figure of a report worked out from the jobs: per key (the report's key fields joined with
// "|"), the sum of a value over the jobs the report counts.
struct Figure
{
    QString report;
    QStringList keyFields; // empty: one total
    QString valueField; // "A+B" adds two fields
    JobKey key;
    JobValue value;
    std::function<bool(const Job &)> include = [](const Job &) { return true; };
};

int sizeBand(int pages)
{
    const int limits[] = { 1, 5, 10, 20, 50, 100 };
    for (int i = 0; i < 6; ++i)
        if (pages <= limits[i])
            return i + 1;
    return 7;
}

// At least one figure for every report.
QList<Figure> ReportFigures()
{
    const JobKey total = [](const Job &) { return QString(); };
    const JobKey user = [](const Job &j) { return j.userKey(); };
    const JobKey printer = [](const Job &j) { return j.printerKey(); };
    const JobKey model = [](const Job &j) { return j.model; };
    const JobValue pages = [](const Job &j) { return j.pages; };
    const JobValue bw = [](const Job &j) { return j.bwPages(); };
    const JobValue color = [](const Job &j) { return j.colorPages; };
    const JobValue one = [](const Job &) { return 1; };
    const JobValue cost = [](const Job &j) { return j.cost; };
    const JobValue sheets = [](const Job &j) { return j.sheets(); };
    const JobValue duplexPages = [](const Job &j) { return j.duplex ? j.pages : 0; };
    const auto colorJobs = [](const Job &j) { return j.colorPages > 0; };
    const auto bwJobs = [](const Job &j) { return j.pages > j.colorPages; };
    const QStringList none, byUser { "UserKey" }, byPrinter { "PrinterKey" }, byModel { "Model" };
    const QString summary = "Executive Summary", topColor = "Top Printers By Color Volume";

    return {
        { summary, none, "TotalPages", total, pages },
        { summary, none, "Jobs", total, one },
        { summary, none, "BWPages", total, bw },
        { summary, none, "ColorPages", total, color },
        { summary, none, "DuplexPages", total, duplexPages },
        { summary, none, "Sheets", total, sheets },
        { summary, none, "BWCost+ColorCost", total, cost },
        { "Average Pages Per Day", { "DayOfWeek" }, "TotalPages",
            [](const Job &j) { return QString::number(j.time.date().dayOfWeek()); }, pages },
        { "Average Pages Per Hour", { "HourOfDay" }, "TotalPages",
            [](const Job &j) { return QString::number(j.time.time().hour()); }, pages },
        { "Top 10 Printers List", byPrinter, "TotalPages", printer, pages },
        { "Top 10 Printers List", byPrinter, "Jobs", printer, one },
        { "Top 10 Users List", byUser, "TotalPages", user, pages },
        { "Top 10 Users List", byUser, "BWCost+ColorCost", user, cost },
        { "Top Printers By B&W Volume", byPrinter, "BWPages", printer, bw },
        { topColor, byPrinter, "ColorPages", printer, color, colorJobs },
        { topColor, byPrinter, "TotalPages", printer, pages, colorJobs },
        { "Top Users by BW Volume", byUser, "BWPages", user, bw },
        { "Top Users by Color Volume", byUser, "ColorPages", user, color, colorJobs },
        { "Top Users by Color Volume", byUser, "Jobs", user, one, colorJobs },
        { "Top Models By Total Volume", byModel, "TotalPages", model, pages },
        { "Printer Inventory", byPrinter, "Jobs", printer, one },
        { "Printer Inventory", byPrinter, "ColorPages", printer, color },
        { "Printer Model Inventory", byModel, "TotalPages", model, pages },
        { "Printer Averages", byPrinter, "TotalPages", printer, pages },
        { "User Averages", byUser, "Jobs", user, one },
        { "User Printing Breakdown", byUser, "Sheets", user, sheets },
        { "User Printing Breakdown", byUser, "SimplexPages", user,
            [](const Job &j) { return j.duplex ? 0 : j.pages; } },
        { "User Printing Breakdown", byUser, "ColorCost", user,
            [](const Job &j) { return j.pages ? j.cost * j.colorPages / j.pages : 0.0; } },
        { "User to Printer Model Breakdown", { "UserKey", "Model" }, "TotalPages",
            [](const Job &j) { return j.userKey() + '|' + j.model; }, pages },
        { "Printer to User Breakdown", { "PrinterKey", "UserKey" }, "Jobs",
            [](const Job &j) { return j.printerKey() + '|' + j.userKey(); }, one },
        { "Job Size to Printer Breakdown", { "PrinterKey", "SizeBand" }, "Jobs",
            [](const Job &j) { return j.printerKey() + '|' + QString::number(sizeBand(j.pages)); },
            one },
        { "Black and White Page Volumes Breakdown", byPrinter, "BWDuplexPages", printer,
            [](const Job &j) { return j.duplex ? j.bwPages() : 0; }, bwJobs },
        { "Black and White Page Volumes Breakdown", byPrinter, "BWJobs", printer, one, bwJobs },
        { "Color Page Volumes Breakdown", byPrinter, "ColorPages", printer, color, colorJobs },
        { "Color Page Volumes Breakdown", byPrinter, "ColorCost", printer,
            [](const Job &j) { return j.cost * j.colorPages / j.pages; }, colorJobs },
        { "Page Volumes Breakdown", byPrinter, "DuplexPages", printer, duplexPages },
        { "Model Volumes", byModel, "Sheets", model, sheets },
        { "Duplex Savings", byPrinter, "SheetsSaved", printer,
            [](const Job &j) { return j.pages - j.sheets(); } },
        { "Duplex Savings", byPrinter, "PossibleSavings", printer,
            [](const Job &j) {
                if (j.duplex || !j.duplexDevice || j.copies < 1 || j.pages / j.copies < 2)
                    return 0;
                return j.pages - j.copies * ((j.pages / j.copies + 1) / 2);
            } },
        { "Paper and Environmental Impact", none, "PaperKg", total,
            [](const Job &j) { return j.sheets() * 0.005; } },
        { "Paper and Environmental Impact", byPrinter, "Trees", printer,
            [](const Job &j) { return j.sheets() / 8333.0; } },
        { "Cost by Department", byUser, "BWCost+ColorCost", user, cost },
    };
}

QMap<QString, double> ExpectedFigures(const QList<Job> &jobs, const Figure &f)
{
    QMap<QString, double> expected;
    for (const Job &j : jobs)
        if (f.include(j))
            expected[f.key(j)] += f.value(j);
    return expected;
}

// The report's rows summed per key; `rowsPerKey` counts the rows of each key.
QMap<QString, double> ActualFigures(
    const kv6::Recordset &rs, const Figure &f, QMap<QString, int> *rowsPerKey = nullptr)
{
    QMap<QString, double> out;
    const QStringList parts = f.valueField.split(QLatin1Char('+'));
    for (int r = 0; r < rs.RecordCount(); ++r) {
        QStringList key;
        for (const QString &k : f.keyFields)
            key << Normalised(rs.ValueAt(r, rs.FieldIndex(k)));
        double v = 0;
        for (const QString &p : parts)
            v += rs.ValueAt(r, rs.FieldIndex(p)).toDouble();
        const QString joined = key.join(QLatin1Char('|'));
        out[joined] += v;
        if (rowsPerKey)
            ++(*rowsPerKey)[joined];
    }
    return out;
}

// Equal per key; a key the report lists with nothing in it may be missing from the jobs.
void ExpectFigures(const QMap<QString, double> &actual, const QMap<QString, double> &expected,
    const QString &what, bool allKeys = true)
{
    // Money a PostgreSQL report leaves as decimals arrives rounded to four places per row.
    const double tolerance = what.contains(QLatin1String("Cost")) ? 1e-2 : 1e-6;
    QSet<QString> keys(actual.keyBegin(), actual.keyEnd());
    if (allKeys)
        keys.unite(QSet<QString>(expected.keyBegin(), expected.keyEnd()));
    for (const QString &k : std::as_const(keys)) {
        const double a = actual.value(k), e = expected.value(k);
        // A report may list what printed nothing (an inventory), never what it does not know.
        EXPECT_TRUE(actual.contains(k) || e == 0) << s(what) << ": no row for " << s(k);
        EXPECT_NEAR(a, e, tolerance + 1e-9 * std::abs(e)) << s(what) << " for " << s(k);
    }
}

class ReportBuilds : public DemoHistoryTest
{
protected:
    ShippedLanguage language;
    kv6::SilentDialogs silent;
    kv6::ScopedDialogProvider quiet { &silent };
};

// What each definition carries and how its string numbers resolve is checked on the files
// (definitions_test.cpp) and by the report's own tests; here the staged folder holds the source
// files unchanged, and nothing else, and loads whole.
TEST_F(ReportBuilds, TheCatalogueLoadsEveryDefinitionInTheProgramsFolder)
{
    const QDir staged(stageDir() + QStringLiteral("/reporter/reports"));
    for (const Definition &d : std::as_const(*s_definitions)) {
        EXPECT_EQ(readFile(sourceDir() + QStringLiteral("/data/reports/") + d.file),
            readFile(staged.filePath(d.file)))
            << s(d.file) << " is missing or differs from its staged copy";
    }
    // The catalogue lists every *.rpt it finds: only definitions may go there, not the tests.
    EXPECT_FALSE(staged.exists(QStringLiteral("tests")));
    EXPECT_TRUE(staged.entryList({ QStringLiteral("*.md") }, QDir::Files).isEmpty());

    kv6::ReportCatalogue catalogue;
    kv6::CatalogueOptions options;
    options.folder = staged.path();
    options.reportFailures = false;
    catalogue.Load(options);
    for (const auto &failure : catalogue.Failures())
        ADD_FAILURE() << s(failure.fileName) << ": " << s(failure.error);
    ASSERT_EQ(catalogue.Reports().count(), s_definitions->size());
    // A small tree: a handful of top folders, averages nested under volumes.
    QSet<QString> top;
    for (const QString &tree : catalogue.TreePositions())
        top.insert(kv6::CatalogueFolders(tree).first().text);
    EXPECT_LE(top.size(), 8) << s(QStringList(top.begin(), top.end()).join(QLatin1Char(',')));
    EXPECT_TRUE(catalogue.TreePositions().contains(QStringLiteral("Volumes\\Averages")));
}

TEST_F(ReportBuilds, FinishedTablesHoldOneRowPerKeyWithTheJobTablesFigures)
{
    // Every report builds on both engines and has a figure held against the jobs; the engines'
    // rows are compared before building (queries_test.cpp), and building is the same code.
    QSet<QString> covered;
    for (const Figure &f : ReportFigures())
        covered.insert(f.report);
    for (const Definition &d : std::as_const(*s_definitions))
        EXPECT_TRUE(covered.contains(d.name())) << s(d.name()) << " has no figure checked";
    for (DataConnection *c : engines()) {
        auto analysis = analysisOf(*c);
        for (const Figure &f : ReportFigures()) {
            auto report = load(f.report, *c);
            const RecordsetPtr rs = build(*report, *analysis, *c);
            ASSERT_TRUE(rs);
            for (const QString &field : f.keyFields + f.valueField.split(QLatin1Char('+')))
                ASSERT_TRUE(rs->HasField(field)) << s(f.report) << ": " << s(field);
            const QString what = f.report + QLatin1Char(' ') + f.valueField + QStringLiteral(" on ")
                + engineName(*c);
            QMap<QString, int> rows;
            const QMap<QString, double> actual = ActualFigures(*rs, f, &rows);
            // A figure by the report's key must find each key on one row.
            for (auto it = rows.cbegin(); it != rows.cend() && !f.keyFields.isEmpty(); ++it)
                EXPECT_EQ(it.value(), 1) << s(what) << ": " << s(it.key()) << " is not combined";
            const QMap<QString, double> expected = ExpectedFigures(*s_jobs, f);
            const int limit = report->ResolvedRowLimit();
            // A top list keeps the leading keys only, each with its whole figure.
            ExpectFigures(actual, expected, what, limit < 0);
            if (limit >= 0) {
                EXPECT_EQ(rs->RecordCount(), std::min<qsizetype>(limit, expected.size()))
                    << s(what);
            }
        }
    }
}

TEST_F(ReportBuilds, TopListsKeepTheLeadingEntriesInOrderAndNumberThem)
{
    QMap<QString, double> userPages;
    for (const Job &j : std::as_const(*s_jobs))
        userPages[j.userKey()] += j.pages;
    QList<double> sorted = userPages.values();
    std::sort(sorted.begin(), sorted.end(), std::greater<>());
    for (DataConnection *c : engines()) {
        const RecordsetPtr rs = buildDefault(QStringLiteral("Top 10 Users List"), *c);
        ASSERT_TRUE(rs);
        ASSERT_EQ(rs->RecordCount(), 10);
        for (int r = 0; r < 10; ++r) {
            rs->SetAbsolutePosition(r + 1);
            EXPECT_EQ(rs->Value(QStringLiteral("Rank")).toInt(), r + 1);
            EXPECT_EQ(rs->Value(QStringLiteral("TotalPages")).toDouble(), sorted.at(r))
                << "place " << r + 1;
        }
    }
}

TEST_F(ReportBuilds, CountsOfUsersPrintersAndDaysAreDistinctValuesAndAveragesDivideByThem)
{
    QSet<QString> users, printers, dates;
    QMap<QString, QSet<QString>> weekdayDates, hourDates, printerDates, userDates, modelPrinters;
    QDateTime first, last;
    for (const Job &j : std::as_const(*s_jobs)) {
        users.insert(j.userKey());
        printers.insert(j.printerKey());
        dates.insert(j.day());
        weekdayDates[QString::number(j.time.date().dayOfWeek())].insert(j.day());
        hourDates[QString::number(j.time.time().hour())].insert(j.day());
        printerDates[j.printerKey()].insert(j.day());
        userDates[j.userKey()].insert(j.day());
        modelPrinters[j.model].insert(j.printerKey());
        if (!first.isValid() || j.time < first)
            first = j.time;
        if (!last.isValid() || j.time > last)
            last = j.time;
    }
    auto valueOf = [](const RecordsetPtr &rs, const QString &field) { return rs->Value(field); };
    for (DataConnection *c : engines()) {
        SCOPED_TRACE(s(engineName(*c)));
        RecordsetPtr rs = buildDefault(QStringLiteral("Executive Summary"), *c);
        ASSERT_TRUE(rs);
        // No key: everything folds into one row.
        ASSERT_EQ(rs->RecordCount(), 1);
        rs->MoveFirst();
        EXPECT_EQ(valueOf(rs, QStringLiteral("Users")).toInt(), users.size());
        EXPECT_EQ(valueOf(rs, QStringLiteral("Printers")).toInt(), printers.size());
        EXPECT_EQ(valueOf(rs, QStringLiteral("Jobs")).toInt(), s_jobs->size());
        EXPECT_EQ(valueOf(rs, QStringLiteral("FirstJob")).toDateTime(), first);
        EXPECT_EQ(valueOf(rs, QStringLiteral("LastJob")).toDateTime(), last);

        auto perKey = [&](const QString &report, const QString &key, const QString &count,
                          const QMap<QString, QSet<QString>> &expected) {
            const RecordsetPtr t = buildDefault(report, *c);
            ASSERT_TRUE(t);
            ASSERT_EQ(t->RecordCount(), expected.size()) << s(report);
            for (t->MoveFirst(); !t->Eof(); t->MoveNext())
                EXPECT_EQ(t->Value(count).toInt(), expected.value(Normalised(t->Value(key))).size())
                    << s(report) << " " << s(Normalised(t->Value(key)));
        };
        perKey(QStringLiteral("Average Pages Per Day"), QStringLiteral("DayOfWeek"),
            QStringLiteral("Days"), weekdayDates);
        perKey(QStringLiteral("Average Pages Per Hour"), QStringLiteral("HourOfDay"),
            QStringLiteral("ActiveDays"), hourDates);
        perKey(QStringLiteral("Printer Averages"), QStringLiteral("PrinterKey"),
            QStringLiteral("ActiveDays"), printerDates);
        perKey(QStringLiteral("User Averages"), QStringLiteral("UserKey"),
            QStringLiteral("ActiveDays"), userDates);
        perKey(QStringLiteral("Model Volumes"), QStringLiteral("Model"), QStringLiteral("Printers"),
            modelPrinters);

        // Weekdays in order, Monday first, each named and averaged over the days that printed;
        // an hour is averaged over every day that printed at all.
        rs = buildDefault(QStringLiteral("Average Pages Per Day"), *c);
        ASSERT_TRUE(rs);
        int previous = 0;
        for (rs->MoveFirst(); !rs->Eof(); rs->MoveNext()) {
            const int day = rs->Value(QStringLiteral("DayOfWeek")).toInt();
            EXPECT_GT(day, previous);
            previous = day;
            EXPECT_EQ(rs->Value(QStringLiteral("DayName")).toString(),
                QLocale(QLocale::English).dayName(day));
            EXPECT_NEAR(rs->Value(QStringLiteral("AvgPages")).toDouble(),
                rs->Value(QStringLiteral("TotalPages")).toDouble()
                    / rs->Value(QStringLiteral("Days")).toDouble(),
                1e-9);
        }
        rs = buildDefault(QStringLiteral("Average Pages Per Hour"), *c);
        ASSERT_TRUE(rs);
        for (rs->MoveFirst(); !rs->Eof(); rs->MoveNext()) {
            const int hour = rs->Value(QStringLiteral("HourOfDay")).toInt();
            EXPECT_EQ(rs->Value(QStringLiteral("HourLabel")).toString(),
                QStringLiteral("%1:00").arg(hour, 2, 10, QLatin1Char('0')));
            EXPECT_NEAR(rs->Value(QStringLiteral("AvgPages")).toDouble(),
                rs->Value(QStringLiteral("TotalPages")).toDouble() / dates.size(), 1e-9);
        }
    }
}

TEST_F(ReportBuilds, DepartmentsComeFromTheUserGroupsInTheDatabase)
{
    // The suite's department groups of the company's users, and who belongs to them.
    RecordsetPtr groups;
    ASSERT_FALSE(s_sqlite->ReportSQL(
        QStringLiteral("SELECT g.group_id, g.name, m.object_id FROM admin_groups g JOIN "
                       "admin_group_members m ON m.group_id = g.group_id WHERE g.object_type = "
                       "0 AND g.owner_id = 1 AND g.company_id = ?"),
        QVariantList { Company }, groups));
    QMap<QString, QString> departmentOf;
    QSet<int> ids;
    for (const QVariantList &row : Rows(*groups)) {
        ids.insert(row.at(0).toInt());
        departmentOf.insert(QStringLiteral("USR") + row.at(2).toString(), row.at(1).toString());
    }
    ASSERT_GE(ids.size(), 2);
    QMap<QString, double> cost, pages;
    QMap<QString, QSet<QString>> members;
    for (const Job &j : std::as_const(*s_jobs)) {
        const QString d = departmentOf.value(j.userKey());
        cost[d] += j.cost;
        pages[d] += j.pages;
        members[d].insert(j.userKey());
    }

    for (DataConnection *c : engines()) {
        SCOPED_TRACE(s(engineName(*c)));
        auto analysis = analysisOf(*c);
        kv6::clsSimpleGroups chosen, none;
        for (const int id : std::as_const(ids))
            chosen.Add(id);
        QString error;
        ASSERT_TRUE(analysis->ApplyGroupsFromDatabase(*c, chosen, none, &error)) << s(error);
        auto report = load(QStringLiteral("Cost by Department"), *c);
        const RecordsetPtr rs = build(*report, *analysis, *c);
        ASSERT_TRUE(rs);
        ASSERT_EQ(rs->RecordCount(), cost.size());
        for (rs->MoveFirst(); !rs->Eof(); rs->MoveNext()) {
            const QString d = rs->Value(QStringLiteral("GroupName")).toString();
            ASSERT_TRUE(cost.contains(d)) << s(d) << " is no department";
            EXPECT_NEAR(rs->Value(QStringLiteral("BWCost")).toDouble()
                    + rs->Value(QStringLiteral("ColorCost")).toDouble(),
                cost.value(d), 1e-3)
                << s(d);
            EXPECT_EQ(rs->Value(QStringLiteral("TotalPages")).toDouble(), pages.value(d)) << s(d);
            EXPECT_EQ(rs->Value(QStringLiteral("Users")).toInt(), members.value(d).size()) << s(d);
            EXPECT_TRUE(rs->Value(QStringLiteral("UserKey"))
                            .toString()
                            .startsWith(QStringLiteral("*GROUP*")));
        }
    }
}

TEST_F(ReportBuilds, EstimatedCostsPriceThePagesAtEachPrintersRates)
{
    QMap<QString, double> bw, color;
    for (const Job &j : std::as_const(*s_jobs)) {
        bw[j.printerKey()] += j.bwPages();
        color[j.printerKey()] += j.colorPages;
    }
    for (DataConnection *c : engines()) {
        SCOPED_TRACE(s(engineName(*c)));
        auto analysis = analysisOf(*c);
        // A rate per printer that tells them apart.
        QMap<QString, QPair<double, double>> rates;
        int n = 0;
        for (const QString &key : bw.keys()) {
            ++n;
            kv6::GroupItemPtr *item = analysis->PrinterManager()->Items().item(key);
            ASSERT_TRUE(item) << s(key);
            auto *printer = dynamic_cast<kv6::clsPrinter *>(item->get());
            ASSERT_TRUE(printer);
            rates[key] = { 0.01 * n, 0.1 * n };
            printer->setEstCost(kv6::Currency::fromDouble(rates[key].first));
            printer->setEstCostColor(kv6::Currency::fromDouble(rates[key].second));
        }
        for (const QString &name :
            { QStringLiteral("Top 10 Printers List"), QStringLiteral("Printer Inventory") }) {
            auto report = load(name, *c);
            report->SetUseEstCosts(true);
            const RecordsetPtr rs = build(*report, *analysis, *c);
            ASSERT_TRUE(rs);
            ASSERT_GT(rs->RecordCount(), 0);
            for (rs->MoveFirst(); !rs->Eof(); rs->MoveNext()) {
                const QString key = rs->Value(QStringLiteral("PrinterKey")).toString();
                if (!rates.contains(key))
                    continue;
                if (rs->HasField(QStringLiteral("BWCost"))) {
                    EXPECT_NEAR(rs->Value(QStringLiteral("BWCost")).toDouble(),
                        rates[key].first * bw[key], 1e-6)
                        << s(key);
                    EXPECT_NEAR(rs->Value(QStringLiteral("ColorCost")).toDouble(),
                        rates[key].second * color[key], 1e-6)
                        << s(key);
                } else {
                    EXPECT_NEAR(rs->Value(QStringLiteral("CostPerPage")).toDouble(),
                        rates[key].first, 1e-9);
                    EXPECT_NEAR(rs->Value(QStringLiteral("ColorCostPerPage")).toDouble(),
                        rates[key].second, 1e-9);
                }
            }
        }
    }
}

TEST_F(ReportBuilds, TheInventoryShowsConnectionsAndDeviceKindsAsText)
{
    QSet<QString> connections, kinds;
    for (const kv6::EnumerationEntry &e : kv6::BuiltInEnumerations()) {
        if (e.type == kv6::enumConnectionType)
            connections.insert(e.text);
        if (e.type == kv6::enumDeviceType)
            kinds.insert(e.text);
    }
    for (DataConnection *c : engines()) {
        const RecordsetPtr rs = buildDefault(QStringLiteral("Printer Inventory"), *c);
        ASSERT_TRUE(rs);
        for (rs->MoveFirst(); !rs->Eof(); rs->MoveNext()) {
            EXPECT_TRUE(
                connections.contains(rs->Value(QStringLiteral("ConnectionType")).toString()))
                << s(rs->Value(QStringLiteral("ConnectionType")).toString());
            EXPECT_TRUE(kinds.contains(rs->Value(QStringLiteral("DeviceType")).toString()))
                << s(rs->Value(QStringLiteral("DeviceType")).toString());
        }
    }
}

TEST_F(ReportBuilds, TheSharesSubReportWorksOutPercentagesOfTheFinishedTable)
{
    for (DataConnection *c : engines()) {
        SCOPED_TRACE(s(engineName(*c)));
        auto analysis = analysisOf(*c);
        auto report = load(QStringLiteral("Page Volumes Breakdown"), *c);
        const RecordsetPtr parent = build(*report, *analysis, *c);
        ASSERT_TRUE(parent);
        ASSERT_EQ(report->SubReports().count(), 1);
        const clsReport &sub = **report->SubReports().item(QStringLiteral("Page Volumes Shares"));
        const RecordsetPtr shares = sub.ReportData();
        ASSERT_TRUE(shares);
        ASSERT_NE(shares, parent);
        ASSERT_EQ(shares->RecordCount(), parent->RecordCount());

        QMap<QString, QVariantList> parentRows;
        double total = 0;
        for (parent->MoveFirst(); !parent->Eof(); parent->MoveNext()) {
            QVariantList row;
            for (int f = 0; f < parent->FieldCount(); ++f)
                row << parent->Value(f);
            parentRows.insert(parent->Value(QStringLiteral("PrinterKey")).toString(), row);
            total += parent->Value(QStringLiteral("TotalPages")).toDouble();
        }
        double sum = 0;
        for (shares->MoveFirst(); !shares->Eof(); shares->MoveNext()) {
            const QString key = shares->Value(QStringLiteral("PrinterKey")).toString();
            ASSERT_TRUE(parentRows.contains(key));
            // The parent's figures come across unchanged.
            for (int f = 0; f < parent->FieldCount(); ++f) {
                const QString name = parent->FieldAt(f).name;
                if (!name.endsWith(QLatin1String("Share"))) {
                    EXPECT_EQ(s(Normalised(shares->Value(f))), s(Normalised(parentRows[key].at(f))))
                        << s(key) << " " << s(name);
                }
            }
            const double pages = shares->Value(QStringLiteral("TotalPages")).toDouble();
            const double share = shares->Value(QStringLiteral("PageShare")).toDouble();
            EXPECT_NEAR(share, pages * 100 / total, 1e-9);
            EXPECT_NEAR(shares->Value(QStringLiteral("ColorShare")).toDouble(),
                shares->Value(QStringLiteral("ColorPages")).toDouble() * 100 / pages, 1e-9);
            sum += share;
        }
        EXPECT_NEAR(sum, 100, 1e-9);
    }
}

} // namespace
