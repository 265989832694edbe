#include "demohistory.h"

#include "enginetest.h"
#include "groups/analysis.h"
#include "report/report.h"

#include <algorithm>
#include <cmath>

namespace kv6test {

using kv6::DataConnection;
using kv6::DataResult;
using kv6::RecordsetPtr;

namespace {

QString readJobs(DataConnection &c, QList<Job> &jobs)
{
    RecordsetPtr rs;
    // The period is applied here, on dates, rather than by comparing job times in SQL.
    const DataResult e = c.ReportSQL(
        QStringLiteral("SELECT j.user_id, j.printer_id, j.job_time, j.pages, j.color_pages, "
                       "j.copies, j.duplex, j.job_cost, p.manufacturer_model, p.duplex_device "
                       "FROM print_jobs j JOIN printers p ON p.printer_id = j.printer_id "
                       "WHERE j.company_id = ? AND j.job_status = 0"),
        QVariantList { Company }, rs);
    if (e)
        return e->Description();
    for (const QVariantList &row : Rows(*rs)) {
        Job j;
        j.time = row.at(2).toDateTime();
        if (j.time.date() < FirstDay || j.time.date() > LastDay)
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
        jobs.append(j);
    }
    return jobs.isEmpty() ? QStringLiteral("the demo history has no jobs in the period")
                          : QString();
}

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

} // namespace

void DemoHistoryTest::SetUpTestSuite()
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
    // Both engines get the same history: 6000 jobs over 90 days.
    const kv6::DemoOptions demo = demoOptions(6000, 90, 11);
    std::unique_ptr<DataConnection> c;
    *s_setupError = openWithDemo(lite, demo, c);
    s_sqlite = c.release();
    if (s_setupError->isEmpty()
        && makeTestSource(Engine::PostgreSQL, *s_env, *s_pgSource, *s_pgSkip)) {
        *s_setupError = openWithDemo(*s_pgSource, demo, c);
        s_pg = c.release();
    }
    if (s_setupError->isEmpty())
        *s_setupError = readJobs(*s_sqlite, *s_jobs);
}

void DemoHistoryTest::TearDownTestSuite()
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

void DemoHistoryTest::SetUp()
{
    ASSERT_TRUE(s_setupError->isEmpty()) << s(*s_setupError);
}

const Definition &DemoHistoryTest::definition(const QString &name)
{
    for (const Definition &d : std::as_const(*s_definitions))
        if (d.name() == name)
            return d;
    static const Definition none;
    return none;
}

QList<DataConnection *> DemoHistoryTest::engines()
{
    QList<DataConnection *> out { s_sqlite };
    if (s_pg)
        out << s_pg;
    return out;
}

QString DemoHistoryTest::engineName(const DataConnection &c)
{
    return isSQLite(c) ? QStringLiteral("SQLite") : QStringLiteral("PostgreSQL");
}

std::unique_ptr<kv6::clsAnalysis> DemoHistoryTest::analysisOf(DataConnection &c)
{
    auto analysis = std::make_unique<kv6::clsAnalysis>();
    analysis->setShowProgress(false);
    const DataResult e = analysis->InitializeDefault(c, Company);
    EXPECT_FALSE(e) << s(e->Description());
    return analysis;
}

std::unique_ptr<kv6::clsReport> DemoHistoryTest::load(const QString &name, const DataConnection &c)
{
    auto report = std::make_unique<kv6::clsReport>();
    const QString path = sourceDir() + QStringLiteral("/data/reports/") + definition(name).file;
    EXPECT_TRUE(report->LoadDefinition(path, isSQLite(c) ? 1 : 2))
        << s(name) << ": " << s(report->LastError());
    setWizardDefaults(*report);
    return report;
}

void DemoHistoryTest::setWizardDefaults(kv6::clsReport &report)
{
    for (const kv6::ReportParameterPtr &p : *report.Parameters()) {
        switch (p->ParameterType()) {
        case 1:
            p->SetValue1(Company);
            break;
        case 2:
            p->SetValue1(FirstDay);
            p->SetValue2(LastDay);
            p->SetValue3(11);
            break;
        default:
            p->SetValue1(p->Default());
            break;
        }
    }
}

RecordsetPtr DemoHistoryTest::build(
    kv6::clsReport &report, kv6::clsAnalysis &analysis, DataConnection &c)
{
    const DataResult e = report.BuildReportDataSet(&analysis, c);
    EXPECT_FALSE(e) << s(report.Name()) << " on " << s(engineName(c)) << ": "
                    << s(e ? e->Description() : QString());
    EXPECT_TRUE(report.ReportData());
    return report.ReportData();
}

RecordsetPtr DemoHistoryTest::buildDefault(const QString &name, DataConnection &c)
{
    auto analysis = analysisOf(c);
    auto report = load(name, c);
    return build(*report, *analysis, c);
}

RecordsetPtr DemoHistoryTest::run(
    DataConnection &c, const Definition &d, int company, QString *error)
{
    RecordsetPtr rs;
    if (DataResult e = c.ReportSQL(d.sql(isSQLite(c)),
            QueryParameters(d, company, FirstDay.toString(Qt::ISODate),
                LastDay.addDays(1).toString(Qt::ISODate)),
            rs)) {
        *error = e->Description();
        return nullptr;
    }
    return rs;
}

RecordsetPtr DemoHistoryTest::runOrFail(const QString &name)
{
    const Definition &d = definition(name);
    QString error;
    RecordsetPtr rs = d.info.isNull() ? nullptr : run(*s_sqlite, d, Company, &error);
    EXPECT_TRUE(rs) << s(name) << ": " << s(error);
    return rs;
}

void ExpectSameRows(const kv6::Recordset &lite, const kv6::Recordset &pg, const QString &what)
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
    auto keyed = [&](const kv6::Recordset &rs) {
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

} // namespace kv6test
