// The definitions' SQL on real databases: a demo history on a SQLite file and the same history
// on PostgreSQL. Both texts of every report must run with the program's parameters, give the
// same rows, name every field the definition relies on, and add up to what the job table holds.

#include "catalogue.h"

#include "dataaccess/demodata.h"
#include "enginetest.h"
#include "script/scriptengine.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <gtest/gtest.h>

using namespace kv6test;
using kv6::DataConnection;
using kv6::DataResult;
using kv6::RecordsetPtr;

namespace {

std::string s(const QString &text)
{
    return text.toStdString();
}

// The period the reports are run for: inside the demo history (April to June) at both ends.
const QString FirstDay = QStringLiteral("2026-05-01");
const QString DayAfterLast = QStringLiteral("2026-06-16");
constexpr int Company = 1;

kv6::DemoOptions demoOptions()
{
    kv6::DemoOptions o;
    o.jobs = 6000;
    o.seed = 11;
    o.companies = 2;
    o.printers = 8;
    o.users = 30;
    o.days = 90;
    o.lastDay = QDate(2026, 6, 30);
    return o;
}

// One printed job of the selected company in the period, read without any report SQL.
struct Job
{
    int user = 0;
    int printer = 0;
    QDateTime time;
    int pages = 0;
    int colorPages = 0;
    int copies = 1;
    bool duplex = false;
    double cost = 0;
    QString model;
    bool duplexDevice = false;

    int bwPages() const { return pages - colorPages; }
    int sheets() const
    {
        return duplex && copies > 0 ? copies * ((pages / copies + 1) / 2) : pages;
    }
    QString userKey() const { return QStringLiteral("USR") + QString::number(user); }
    QString printerKey() const { return QStringLiteral("PRT") + QString::number(printer); }
    QString day() const { return time.date().toString(Qt::ISODate); }
};

class ReportQueries : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        s_env = new TempEnv;
        s_definitions = new QList<Definition>(LoadShippedDefinitions());
        s_setupError = new QString;
        s_pgSkip = new std::string;
        s_pgSource = new kv6::DataSource;
        s_jobs = new QList<Job>;
        std::string unused;
        kv6::DataSource lite;
        makeTestSource(Engine::SQLite, *s_env, lite, unused);
        *s_setupError = open(lite, s_sqlite);
        if (s_setupError->isEmpty()
            && makeTestSource(Engine::PostgreSQL, *s_env, *s_pgSource, *s_pgSkip))
            *s_setupError = open(*s_pgSource, s_pg);
        if (s_setupError->isEmpty())
            *s_setupError = readJobs();
    }
    static void TearDownTestSuite()
    {
        delete s_sqlite;
        s_sqlite = nullptr;
        if (s_pg) {
            delete s_pg;
            s_pg = nullptr;
            dropTestSource(*s_pgSource);
        }
        delete s_pgSource;
        delete s_pgSkip;
        delete s_setupError;
        delete s_jobs;
        delete s_definitions;
        delete s_env;
    }

    static QString open(const kv6::DataSource &source, DataConnection *&connection)
    {
        QVariant version;
        std::unique_ptr<DataConnection> c;
        if (DataResult e = kv6::OpenDataConnection(source, true, version, c))
            return e->Description();
        if (DataResult e = kv6::GenerateDemoData(*c, demoOptions()))
            return e->Description();
        connection = c.release();
        return {};
    }

    static QString readJobs()
    {
        RecordsetPtr rs;
        // The period is applied here, on dates, rather than by comparing job times in SQL.
        const DataResult e = s_sqlite->ReportSQL(
            QStringLiteral("SELECT j.user_id, j.printer_id, j.job_time, j.pages, j.color_pages, "
                           "j.copies, j.duplex, j.job_cost, p.manufacturer_model, "
                           "p.duplex_device FROM print_jobs j JOIN printers p ON "
                           "p.printer_id = j.printer_id WHERE j.company_id = ? AND "
                           "j.job_status = 0"),
            QVariantList { Company }, rs);
        if (e)
            return e->Description();
        const QDate first = QDate::fromString(FirstDay, Qt::ISODate);
        const QDate after = QDate::fromString(DayAfterLast, Qt::ISODate);
        for (const QVariantList &row : Rows(*rs)) {
            Job j;
            j.time = row.at(2).toDateTime();
            if (j.time.date() < first || j.time.date() >= after)
                continue;
            j.user = row.at(0).toInt();
            j.printer = row.at(1).toInt();
            j.pages = row.at(3).toInt();
            j.colorPages = row.at(4).toInt();
            j.copies = row.at(5).toInt();
            j.duplex = row.at(6).toBool();
            j.cost = row.at(7).toDouble();
            j.model = row.at(8).toString();
            j.duplexDevice = row.at(9).toBool();
            s_jobs->append(j);
        }
        return s_jobs->isEmpty() ? QStringLiteral("the demo history has no jobs in the period")
                                 : QString();
    }

    void SetUp() override { ASSERT_TRUE(s_setupError->isEmpty()) << s(*s_setupError); }

    static const Definition &definition(const QString &name)
    {
        for (const Definition &d : std::as_const(*s_definitions))
            if (d.name() == name)
                return d;
        static const Definition none;
        return none;
    }

    static RecordsetPtr run(DataConnection &c, const Definition &d, int company, QString *error)
    {
        RecordsetPtr rs;
        const bool sqlite = &c == s_sqlite;
        if (DataResult e
            = c.ReportSQL(d.sql(sqlite), QueryParameters(d, company, FirstDay, DayAfterLast), rs)) {
            *error = e->Description();
            return nullptr;
        }
        return rs;
    }

    static RecordsetPtr runOrFail(const QString &name)
    {
        const Definition &d = definition(name);
        QString error;
        RecordsetPtr rs = d.info.isNull() ? nullptr : run(*s_sqlite, d, Company, &error);
        EXPECT_TRUE(rs) << s(name) << ": " << s(error);
        return rs;
    }

    static inline TempEnv *s_env = nullptr;
    static inline QList<Definition> *s_definitions = nullptr;
    static inline QString *s_setupError = nullptr;
    static inline std::string *s_pgSkip = nullptr;
    static inline kv6::DataSource *s_pgSource = nullptr;
    static inline DataConnection *s_sqlite = nullptr;
    static inline DataConnection *s_pg = nullptr;
    static inline QList<Job> *s_jobs = nullptr;
};

bool floatingColumn(const kv6::Recordset &a, const kv6::Recordset &b, int field)
{
    for (const kv6::Recordset *rs : { &a, &b }) {
        const int t = rs->FieldAt(field).type;
        if (t == kv6::adDouble || t == kv6::adCurrency || t == kv6::adSingle)
            return true;
    }
    return false;
}

bool allNull(const kv6::Recordset &rs, int field)
{
    for (int r = 0; r < rs.RecordCount(); ++r)
        if (rs.ValueAt(r, field).isValid())
            return false;
    return true;
}

// Rows sorted by their exact columns; the floating ones are compared afterwards, near enough
// for engines that round money to four decimals and sum reals in another order.
void expectSameRows(const kv6::Recordset &lite, const kv6::Recordset &pg, const QString &what)
{
    ASSERT_EQ(lite.FieldCount(), pg.FieldCount()) << s(what);
    QList<bool> floating;
    for (int f = 0; f < lite.FieldCount(); ++f) {
        EXPECT_EQ(lite.FieldAt(f).name, pg.FieldAt(f).name) << s(what);
        floating << floatingColumn(lite, pg, f);
        if (!allNull(lite, f) && !allNull(pg, f)) {
            EXPECT_EQ(s(TypeFamily(lite.FieldAt(f).type)), s(TypeFamily(pg.FieldAt(f).type)))
                << s(what) << ": field " << s(lite.FieldAt(f).name);
        }
    }
    ASSERT_EQ(lite.RecordCount(), pg.RecordCount()) << s(what);
    auto keyed = [&floating](const kv6::Recordset &rs) {
        QList<QPair<QString, QVariantList>> rows;
        for (const QVariantList &row : Rows(rs)) {
            QStringList key;
            for (int f = 0; f < row.size(); ++f)
                if (!floating.at(f))
                    key << Normalised(row.at(f));
            rows.append({ key.join(QChar(0x1f)), row });
        }
        std::stable_sort(rows.begin(), rows.end(),
            [](const auto &x, const auto &y) { return x.first < y.first; });
        return rows;
    };
    const auto a = keyed(lite);
    const auto b = keyed(pg);
    for (int r = 0; r < a.size(); ++r) {
        ASSERT_EQ(s(a.at(r).first), s(b.at(r).first)) << s(what) << ": row " << r;
        for (int f = 0; f < lite.FieldCount(); ++f) {
            if (!floating.at(f))
                continue;
            const QVariant x = a.at(r).second.at(f), y = b.at(r).second.at(f);
            ASSERT_EQ(x.isValid(), y.isValid()) << s(what) << ": " << s(lite.FieldAt(f).name);
            EXPECT_NEAR(x.toDouble(), y.toDouble(), 1e-3 + 1e-9 * std::abs(x.toDouble()))
                << s(what) << ": " << s(lite.FieldAt(f).name) << " in row " << s(a.at(r).first);
        }
    }
}

TEST_F(ReportQueries, EveryReportRunsOnBothEnginesWithTheSameRows)
{
    if (!s_pg)
        GTEST_SKIP() << *s_pgSkip;
    for (const Definition &d : std::as_const(*s_definitions)) {
        for (const int company : { Company, -1 }) {
            const QString what = d.file + QStringLiteral(" for company %1").arg(company);
            QString error;
            const RecordsetPtr lite = run(*s_sqlite, d, company, &error);
            ASSERT_TRUE(lite) << s(what) << " on SQLite: " << s(error);
            const RecordsetPtr pg = run(*s_pg, d, company, &error);
            ASSERT_TRUE(pg) << s(what) << " on PostgreSQL: " << s(error);
            expectSameRows(*lite, *pg, what);
        }
    }
}

TEST_F(ReportQueries, EveryReportHasRowsAndEveryFieldItNames)
{
    for (const Definition &d : std::as_const(*s_definitions)) {
        QString error;
        const RecordsetPtr one = run(*s_sqlite, d, Company, &error);
        ASSERT_TRUE(one) << s(d.file) << ": " << s(error);
        EXPECT_GT(one->RecordCount(), 0) << s(d.file) << " is empty over the demo history";
        QSet<QString> names;
        for (const kv6::FieldInfo &f : one->Fields()) {
            EXPECT_FALSE(names.contains(f.name.toLower()))
                << s(d.file) << ": " << s(f.name) << " twice";
            names.insert(f.name.toLower());
        }
        // A sub-report's script receives a copy of its parent's structure.
        QList<Definition> parts { d };
        for (const QDomElement &sub : d.subReports())
            parts << DefinitionFromElement(d.file, sub);
        for (const Definition &part : std::as_const(parts))
            for (const QString &field : ReferencedFields(part)) {
                EXPECT_TRUE(names.contains(field.toLower()))
                    << s(d.file) << " / " << s(part.name()) << " names the field " << s(field)
                    << ", which its query does not return";
            }

        // All companies hold at least what one of them holds.
        const RecordsetPtr all = run(*s_sqlite, d, -1, &error);
        ASSERT_TRUE(all) << s(d.file) << ": " << s(error);
        EXPECT_GE(all->RecordCount(), one->RecordCount()) << s(d.file);
    }
}

TEST_F(ReportQueries, KeysNameUsersAndPrintersOfTheSelectedCompany)
{
    QSet<QString> users, printers;
    RecordsetPtr rs;
    ASSERT_FALSE(
        s_sqlite->ReportSQL(QStringLiteral("SELECT user_id FROM users WHERE company_id = ?"),
            QVariantList { Company }, rs));
    for (const QVariantList &row : Rows(*rs))
        users.insert(QStringLiteral("USR") + row.at(0).toString());
    ASSERT_FALSE(
        s_sqlite->ReportSQL(QStringLiteral("SELECT printer_id FROM printers WHERE company_id = ?"),
            QVariantList { Company }, rs));
    for (const QVariantList &row : Rows(*rs))
        printers.insert(QStringLiteral("PRT") + row.at(0).toString());
    ASSERT_FALSE(users.isEmpty());

    for (const Definition &d : std::as_const(*s_definitions)) {
        QString error;
        const RecordsetPtr one = run(*s_sqlite, d, Company, &error);
        ASSERT_TRUE(one) << s(error);
        const int userKey = one->FieldIndex(QStringLiteral("UserKey"));
        const int printerKey = one->FieldIndex(QStringLiteral("PrinterKey"));
        // The program filters and groups through these two fields only.
        EXPECT_TRUE(userKey >= 0 || printerKey >= 0) << s(d.file) << " cannot be filtered";
        for (int r = 0; r < one->RecordCount(); ++r) {
            if (userKey >= 0) {
                ASSERT_TRUE(users.contains(one->ValueAt(r, userKey).toString()))
                    << s(d.file) << ": " << s(one->ValueAt(r, userKey).toString());
            }
            if (printerKey >= 0) {
                ASSERT_TRUE(printers.contains(one->ValueAt(r, printerKey).toString()))
                    << s(d.file) << ": " << s(one->ValueAt(r, printerKey).toString());
            }
        }
    }
}

// ---- figures against the job table --------------------------------------------------------

using JobKey = std::function<QString(const Job &)>;
using JobValue = std::function<double(const Job &)>;

struct Figure
{
    QString report;
    QStringList keyFields; // empty: one total
    QString valueField; // "A+B" sums two fields
    JobKey key;
    JobValue value;
    std::function<bool(const Job &)> include = [](const Job &) { return true; };
};

QMap<QString, double> actualFigures(const kv6::Recordset &rs, const Figure &f)
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
        out[key.join(QLatin1Char('|'))] += v;
    }
    return out;
}

void expectFigures(
    const QMap<QString, double> &actual, const QMap<QString, double> &expected, const QString &what)
{
    QSet<QString> keys(actual.keyBegin(), actual.keyEnd());
    keys.unite(QSet<QString>(expected.keyBegin(), expected.keyEnd()));
    for (const QString &k : std::as_const(keys)) {
        const double a = actual.value(k), e = expected.value(k);
        // A report may list what printed nothing (an inventory), never what it does not know.
        EXPECT_TRUE(actual.contains(k) || e == 0) << s(what) << ": no row for " << s(k);
        EXPECT_NEAR(a, e, 1e-6 + 1e-9 * std::abs(e)) << s(what) << " for " << s(k);
    }
}

int sizeBand(int pages)
{
    const int limits[] = { 1, 5, 10, 20, 50, 100 };
    for (int i = 0; i < 6; ++i)
        if (pages <= limits[i])
            return i + 1;
    return 7;
}

TEST_F(ReportQueries, FiguresAddUpToTheJobTable)
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
    const auto colorJobs = [](const Job &j) { return j.colorPages > 0; };
    const auto bwJobs = [](const Job &j) { return j.pages > j.colorPages; };
    const QStringList none;
    const QStringList byUser { QStringLiteral("UserKey") };
    const QStringList byPrinter { QStringLiteral("PrinterKey") };
    const QStringList byModel { QStringLiteral("Model") };

    const QList<Figure> figures = {
        { QStringLiteral("Executive Summary"), none, QStringLiteral("TotalPages"), total, pages },
        { QStringLiteral("Executive Summary"), none, QStringLiteral("Jobs"), total, one },
        { QStringLiteral("Executive Summary"), none, QStringLiteral("BWPages"), total, bw },
        { QStringLiteral("Executive Summary"), none, QStringLiteral("ColorPages"), total, color },
        { QStringLiteral("Executive Summary"), none, QStringLiteral("DuplexPages"), total,
            [](const Job &j) { return j.duplex ? j.pages : 0; } },
        { QStringLiteral("Executive Summary"), none, QStringLiteral("Sheets"), total, sheets },
        { QStringLiteral("Executive Summary"), none, QStringLiteral("BWCost+ColorCost"), total,
            cost },
        { QStringLiteral("Top 10 Printers List"), byPrinter, QStringLiteral("TotalPages"), printer,
            pages },
        { QStringLiteral("Top 10 Printers List"), byPrinter, QStringLiteral("Jobs"), printer, one },
        { QStringLiteral("Top 10 Users List"), byUser, QStringLiteral("TotalPages"), user, pages },
        { QStringLiteral("Top 10 Users List"), byUser, QStringLiteral("BWCost+ColorCost"), user,
            cost },
        { QStringLiteral("Top Printers By B&W Volume"), byPrinter, QStringLiteral("BWPages"),
            printer, bw },
        { QStringLiteral("Top Printers By Color Volume"), byPrinter, QStringLiteral("ColorPages"),
            printer, color, colorJobs },
        { QStringLiteral("Top Printers By Color Volume"), byPrinter, QStringLiteral("TotalPages"),
            printer, pages, colorJobs },
        { QStringLiteral("Top Users by BW Volume"), byUser, QStringLiteral("BWPages"), user, bw },
        { QStringLiteral("Top Users by Color Volume"), byUser, QStringLiteral("ColorPages"), user,
            color, colorJobs },
        { QStringLiteral("Top Users by Color Volume"), byUser, QStringLiteral("Jobs"), user, one,
            colorJobs },
        { QStringLiteral("Top Models By Total Volume"), byModel, QStringLiteral("TotalPages"),
            model, pages },
        { QStringLiteral("Printer Inventory"), byPrinter, QStringLiteral("Jobs"), printer, one },
        { QStringLiteral("Printer Inventory"), byPrinter, QStringLiteral("ColorPages"), printer,
            color },
        { QStringLiteral("Printer Model Inventory"), byModel, QStringLiteral("TotalPages"), model,
            pages },
        { QStringLiteral("Printer Averages"), byPrinter, QStringLiteral("TotalPages"), printer,
            pages },
        { QStringLiteral("User Averages"), byUser, QStringLiteral("Jobs"), user, one },
        { QStringLiteral("User Printing Breakdown"), byUser, QStringLiteral("Sheets"), user,
            sheets },
        { QStringLiteral("User Printing Breakdown"), byUser, QStringLiteral("SimplexPages"), user,
            [](const Job &j) { return j.duplex ? 0 : j.pages; } },
        { QStringLiteral("User Printing Breakdown"), byUser, QStringLiteral("ColorCost"), user,
            [](const Job &j) { return j.pages ? j.cost * j.colorPages / j.pages : 0.0; } },
        { QStringLiteral("User to Printer Model Breakdown"),
            { QStringLiteral("UserKey"), QStringLiteral("Model") }, QStringLiteral("TotalPages"),
            [](const Job &j) { return j.userKey() + QLatin1Char('|') + j.model; }, pages },
        { QStringLiteral("Printer to User Breakdown"),
            { QStringLiteral("PrinterKey"), QStringLiteral("UserKey") }, QStringLiteral("Jobs"),
            [](const Job &j) { return j.printerKey() + QLatin1Char('|') + j.userKey(); }, one },
        { QStringLiteral("Job Size to Printer Breakdown"),
            { QStringLiteral("PrinterKey"), QStringLiteral("SizeBand") }, QStringLiteral("Jobs"),
            [](const Job &j) {
                return j.printerKey() + QLatin1Char('|') + QString::number(sizeBand(j.pages));
            },
            one },
        { QStringLiteral("Black and White Page Volumes Breakdown"), byPrinter,
            QStringLiteral("BWDuplexPages"), printer,
            [](const Job &j) { return j.duplex ? j.bwPages() : 0; }, bwJobs },
        { QStringLiteral("Black and White Page Volumes Breakdown"), byPrinter,
            QStringLiteral("BWJobs"), printer, one, bwJobs },
        { QStringLiteral("Color Page Volumes Breakdown"), byPrinter, QStringLiteral("ColorPages"),
            printer, color, colorJobs },
        { QStringLiteral("Color Page Volumes Breakdown"), byPrinter, QStringLiteral("ColorCost"),
            printer, [](const Job &j) { return j.cost * j.colorPages / j.pages; }, colorJobs },
        { QStringLiteral("Page Volumes Breakdown"), byPrinter, QStringLiteral("DuplexPages"),
            printer, [](const Job &j) { return j.duplex ? j.pages : 0; } },
        { QStringLiteral("Model Volumes"), byModel, QStringLiteral("Sheets"), model, sheets },
        { QStringLiteral("Duplex Savings"), byPrinter, QStringLiteral("SheetsSaved"), printer,
            [](const Job &j) { return j.pages - j.sheets(); } },
        { QStringLiteral("Duplex Savings"), byPrinter, QStringLiteral("PossibleSavings"), printer,
            [](const Job &j) {
                if (j.duplex || !j.duplexDevice || j.copies < 1 || j.pages / j.copies < 2)
                    return 0;
                return j.pages - j.copies * ((j.pages / j.copies + 1) / 2);
            } },
        { QStringLiteral("Paper and Environmental Impact"), none, QStringLiteral("PaperKg"), total,
            [](const Job &j) { return j.sheets() * 0.005; } },
        { QStringLiteral("Paper and Environmental Impact"), byPrinter, QStringLiteral("Trees"),
            printer, [](const Job &j) { return j.sheets() / 8333.0; } },
        { QStringLiteral("Cost by Department"), byUser, QStringLiteral("BWCost+ColorCost"), user,
            cost },
    };

    QSet<QString> covered;
    for (const Figure &f : figures) {
        const RecordsetPtr rs = runOrFail(f.report);
        ASSERT_TRUE(rs);
        for (const QString &field : f.keyFields + f.valueField.split(QLatin1Char('+'))) {
            ASSERT_TRUE(rs->HasField(field)) << s(f.report) << ": " << s(field);
        }
        QMap<QString, double> expected;
        for (const Job &j : std::as_const(*s_jobs))
            if (f.include(j))
                expected[f.key(j)] += f.value(j);
        expectFigures(actualFigures(*rs, f), expected, f.report + QLatin1Char(' ') + f.valueField);
        covered.insert(f.report);
    }
    // The averages are checked on their own below.
    covered << QStringLiteral("Average Pages Per Day") << QStringLiteral("Average Pages Per Hour");
    for (const Definition &d : std::as_const(*s_definitions)) {
        EXPECT_TRUE(covered.contains(d.name())) << s(d.name()) << " has no figure checked";
    }
}

TEST_F(ReportQueries, SharesOfAllPagesAddUpToAHundred)
{
    const QList<QPair<QString, QString>> shares = {
        { QStringLiteral("Top 10 Printers List"), QStringLiteral("PageShare") },
        { QStringLiteral("Top 10 Users List"), QStringLiteral("PageShare") },
        { QStringLiteral("Top Printers By B&W Volume"), QStringLiteral("BWShare") },
        { QStringLiteral("Top Printers By Color Volume"), QStringLiteral("ColorShare") },
        { QStringLiteral("Top Users by BW Volume"), QStringLiteral("BWShare") },
        { QStringLiteral("Top Users by Color Volume"), QStringLiteral("ColorShare") },
        { QStringLiteral("Top Models By Total Volume"), QStringLiteral("PageShare") },
        { QStringLiteral("Black and White Page Volumes Breakdown"), QStringLiteral("BWShare") },
        { QStringLiteral("Color Page Volumes Breakdown"), QStringLiteral("ColorShare") },
    };
    for (const auto &[report, field] : shares) {
        const RecordsetPtr rs = runOrFail(report);
        ASSERT_TRUE(rs);
        double sum = 0;
        for (int r = 0; r < rs->RecordCount(); ++r)
            sum += rs->ValueAt(r, rs->FieldIndex(field)).toDouble();
        EXPECT_NEAR(sum, 100.0, 1e-6) << s(report) << ": " << s(field);
    }
}

// Per key, the values of one field and the set of distinct values of another.
QMap<QString, QSet<QString>> distinctPerKey(
    const kv6::Recordset &rs, const QString &keyField, const QString &distinctField)
{
    QMap<QString, QSet<QString>> out;
    for (int r = 0; r < rs.RecordCount(); ++r)
        out[Normalised(rs.ValueAt(r, rs.FieldIndex(keyField)))].insert(
            Normalised(rs.ValueAt(r, rs.FieldIndex(distinctField))));
    return out;
}

TEST_F(ReportQueries, AveragesDivideByTheDaysThatPrinted)
{
    // Day of the week, Monday first: the average is the weekday's pages over the number of
    // those weekdays with any printing; the days are counted by first occurrence of the date.
    QMap<QString, double> dayPages;
    QMap<QString, QSet<QString>> dayDates;
    QMap<QString, double> hourPages;
    QMap<QString, QSet<QString>> hourDates;
    QSet<QString> allDates;
    QMap<QString, QSet<QString>> printerDays, userDays;
    for (const Job &j : std::as_const(*s_jobs)) {
        const QString dow = QString::number(j.time.date().dayOfWeek());
        dayPages[dow] += j.pages;
        dayDates[dow].insert(j.day());
        const QString hour = QString::number(j.time.time().hour());
        hourPages[hour] += j.pages;
        hourDates[hour].insert(j.day());
        allDates.insert(j.day());
        printerDays[j.printerKey()].insert(j.day());
        userDays[j.userKey()].insert(j.day());
    }

    const RecordsetPtr days = runOrFail(QStringLiteral("Average Pages Per Day"));
    ASSERT_TRUE(days);
    QMap<QString, double> expected;
    for (auto it = dayPages.cbegin(); it != dayPages.cend(); ++it)
        expected[it.key()] = it.value() / dayDates.value(it.key()).size();
    Figure f { {}, { QStringLiteral("DayOfWeek") }, QStringLiteral("AvgPages"), {}, {} };
    expectFigures(actualFigures(*days, f), expected, QStringLiteral("pages per weekday"));
    const auto datesPerDay
        = distinctPerKey(*days, QStringLiteral("DayOfWeek"), QStringLiteral("JobDate"));
    for (auto it = dayDates.cbegin(); it != dayDates.cend(); ++it) {
        EXPECT_EQ(datesPerDay.value(it.key()).size(), it.value().size())
            << "weekday " << s(it.key());
    }
    // A name per number, the same on every row.
    const auto names
        = distinctPerKey(*days, QStringLiteral("DayOfWeek"), QStringLiteral("DayName"));
    EXPECT_EQ(names.value(QStringLiteral("1")), QSet<QString>({ QStringLiteral("Monday") }));
    EXPECT_EQ(names.value(QStringLiteral("7")), QSet<QString>({ QStringLiteral("Sunday") }));

    const RecordsetPtr hours = runOrFail(QStringLiteral("Average Pages Per Hour"));
    ASSERT_TRUE(hours);
    expected.clear();
    for (auto it = hourPages.cbegin(); it != hourPages.cend(); ++it)
        expected[it.key()] = it.value() / allDates.size();
    f.keyFields = QStringList { QStringLiteral("HourOfDay") };
    expectFigures(actualFigures(*hours, f), expected, QStringLiteral("pages per hour"));
    const auto hourSlots
        = distinctPerKey(*hours, QStringLiteral("HourOfDay"), QStringLiteral("DayHour"));
    for (auto it = hourDates.cbegin(); it != hourDates.cend(); ++it) {
        EXPECT_EQ(hourSlots.value(it.key()).size(), it.value().size()) << "hour " << s(it.key());
    }
    const auto labels
        = distinctPerKey(*hours, QStringLiteral("HourOfDay"), QStringLiteral("HourLabel"));
    EXPECT_EQ(labels.value(QStringLiteral("9")), QSet<QString>({ QStringLiteral("09:00") }));

    // Active days: one distinct key per printer (user) and date.
    const RecordsetPtr printers = runOrFail(QStringLiteral("Printer Averages"));
    ASSERT_TRUE(printers);
    const auto pd
        = distinctPerKey(*printers, QStringLiteral("PrinterKey"), QStringLiteral("PrinterDay"));
    for (auto it = printerDays.cbegin(); it != printerDays.cend(); ++it) {
        EXPECT_EQ(pd.value(it.key()).size(), it.value().size()) << s(it.key());
    }
    const RecordsetPtr users = runOrFail(QStringLiteral("User Averages"));
    ASSERT_TRUE(users);
    const auto ud = distinctPerKey(*users, QStringLiteral("UserKey"), QStringLiteral("UserDay"));
    for (auto it = userDays.cbegin(); it != userDays.cend(); ++it) {
        EXPECT_EQ(ud.value(it.key()).size(), it.value().size()) << s(it.key());
    }
}

TEST_F(ReportQueries, TheInventoryListsEveryDeviceOfTheCompany)
{
    RecordsetPtr devices;
    ASSERT_FALSE(s_sqlite->ReportSQL(QStringLiteral("SELECT printer_id FROM printers WHERE "
                                                    "company_id = ? ORDER BY printer_id"),
        QVariantList { Company }, devices));
    QStringList expected;
    for (const QVariantList &row : Rows(*devices))
        expected << QStringLiteral("PRT") + row.at(0).toString();
    for (const QString &name :
        { QStringLiteral("Printer Inventory"), QStringLiteral("Printer Model Inventory") }) {
        const RecordsetPtr rs = runOrFail(name);
        ASSERT_TRUE(rs);
        QStringList keys;
        for (int r = 0; r < rs->RecordCount(); ++r)
            keys << rs->ValueAt(r, rs->FieldIndex(QStringLiteral("PrinterKey"))).toString();
        keys.sort();
        expected.sort();
        EXPECT_EQ(keys, expected) << s(name);
    }
}

// The record-set members definition scripts use, over the program's record set.
class RecordsetObject : public kv6::script::HostObject
{
public:
    explicit RecordsetObject(RecordsetPtr rs)
        : m_rs(std::move(rs))
    { }
    QString typeName() const override { return QStringLiteral("Recordset"); }
    kv6::script::Variant get(
        const QString &member, const QList<kv6::script::Variant> &args) override
    {
        using kv6::script::Variant;
        const QString m = member.toLower();
        try {
            if (m.isEmpty() && args.size() == 1)
                return Variant::fromQVariant(m_rs->Value(args.at(0).toString()));
            if (m == QLatin1String("eof"))
                return Variant::boolean(m_rs->Eof());
            if (m == QLatin1String("bof"))
                return Variant::boolean(m_rs->Bof());
            if (m == QLatin1String("recordcount"))
                return Variant::longValue(m_rs->RecordCount());
            if (m == QLatin1String("movefirst"))
                m_rs->MoveFirst();
            else if (m == QLatin1String("movenext"))
                m_rs->MoveNext();
            else if (m == QLatin1String("addnew"))
                m_rs->AddNew();
            else if (m == QLatin1String("update"))
                m_rs->Update();
            else
                kv6::script::raise(438);
        } catch (const kv6::RecordsetError &e) {
            kv6::script::raise(3265, QString::fromUtf8(e.what()));
        }
        return {};
    }
    void put(const QString &member, const QList<kv6::script::Variant> &args,
        const kv6::script::Variant &value) override
    {
        if (!member.isEmpty() || args.size() != 1)
            kv6::script::raise(438);
        try {
            m_rs->SetValue(args.at(0).toString(), value.toQVariant());
        } catch (const kv6::RecordsetError &e) {
            kv6::script::raise(3265, QString::fromUtf8(e.what()));
        }
    }

private:
    RecordsetPtr m_rs;
};

TEST_F(ReportQueries, TheSharesSubReportWorksOutPercentagesOfItsParentsTable)
{
    const Definition &d = definition(QStringLiteral("Page Volumes Breakdown"));
    ASSERT_EQ(d.subReports().size(), 1);
    const Definition sub = DefinitionFromElement(d.file, d.subReports().first());
    const RecordsetPtr parent = runOrFail(d.name());
    ASSERT_TRUE(parent);
    RecordsetPtr copy = parent->CloneStructure();

    kv6::script::Engine engine;
    kv6::script::Variant src
        = kv6::script::Variant::object(std::make_shared<RecordsetObject>(parent));
    kv6::script::Variant dst
        = kv6::script::Variant::object(std::make_shared<RecordsetObject>(copy));
    try {
        engine.compile(sub.text(QStringLiteral("Scripts")));
        engine.call(QStringLiteral("PostProcess"), { &src, &dst });
    } catch (const kv6::script::ScriptError &e) {
        FAIL() << "line " << e.line() << ", column " << e.column() << ": " << s(e.message());
    }

    ASSERT_EQ(copy->RecordCount(), parent->RecordCount());
    double total = 0;
    for (int r = 0; r < parent->RecordCount(); ++r)
        total += parent->ValueAt(r, parent->FieldIndex(QStringLiteral("TotalPages"))).toDouble();
    double shares = 0;
    for (int r = 0; r < copy->RecordCount(); ++r) {
        // Every field the parent delivered comes across unchanged, in the parent's order.
        for (int f = 0; f < parent->FieldCount(); ++f) {
            const QString name = parent->FieldAt(f).name;
            if (name == QLatin1String("PageShare") || name == QLatin1String("ColorShare"))
                continue;
            ASSERT_EQ(s(Normalised(copy->ValueAt(r, f))), s(Normalised(parent->ValueAt(r, f))))
                << "row " << r << ", " << s(name);
        }
        const double pages
            = copy->ValueAt(r, copy->FieldIndex(QStringLiteral("TotalPages"))).toDouble();
        const double colour
            = copy->ValueAt(r, copy->FieldIndex(QStringLiteral("ColorPages"))).toDouble();
        const double share
            = copy->ValueAt(r, copy->FieldIndex(QStringLiteral("PageShare"))).toDouble();
        EXPECT_NEAR(share, pages * 100 / total, 1e-9);
        EXPECT_NEAR(copy->ValueAt(r, copy->FieldIndex(QStringLiteral("ColorShare"))).toDouble(),
            pages > 0 ? colour * 100 / pages : 0, 1e-9);
        shares += share;
    }
    EXPECT_NEAR(shares, 100, 1e-9);
}

} // namespace
