#pragma once

// One demo history written to a SQLite file and, when a server is configured, to PostgreSQL,
// shared by the tests of a suite; and the jobs of the reported period read back without any
// report SQL, for working out independently what the reports must show.

#include "catalogue.h"

#include "dataaccess/dataconnection.h"
#include "testenv.h"

#include <gtest/gtest.h>
#include <memory>
#include <QDateTime>

namespace kv6 {
class clsAnalysis;
class clsReport;
} // namespace kv6

namespace kv6test {

// The period the reports are run for: inside the demo history (April to June) at both ends.
inline const QDate FirstDay(2026, 5, 1);
inline const QDate LastDay(2026, 6, 15);
inline constexpr int Company = 1;

// One printed job of the company in the period.
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

class DemoHistoryTest : public ::testing::Test
{
public:
    static void SetUpTestSuite();
    static void TearDownTestSuite();

protected:
    void SetUp() override;

    static const Definition &definition(const QString &name);
    // The query of a definition with the program's parameters, on one engine.
    static kv6::RecordsetPtr run(
        kv6::DataConnection &c, const Definition &d, int company, QString *error);
    static kv6::RecordsetPtr runOrFail(const QString &name);
    static bool isSQLite(const kv6::DataConnection &c) { return &c == s_sqlite; }
    // SQLite, and PostgreSQL when a server is configured.
    static QList<kv6::DataConnection *> engines();
    static QString engineName(const kv6::DataConnection &c);

    // The analysis of the company as the main window starts it: every printer and user on its
    // own, all included.
    static std::unique_ptr<kv6::clsAnalysis> analysisOf(kv6::DataConnection &c);
    // A shipped definition loaded for the engine, with the company, the period and, for a
    // number, its default, as the wizard leaves them.
    static std::unique_ptr<kv6::clsReport> load(const QString &name, const kv6::DataConnection &c);
    // The parameters as load() leaves them.
    static void setWizardDefaults(kv6::clsReport &report);
    static kv6::RecordsetPtr build(
        kv6::clsReport &report, kv6::clsAnalysis &analysis, kv6::DataConnection &c);
    static kv6::RecordsetPtr buildDefault(const QString &name, kv6::DataConnection &c);

    static inline TempEnv *s_env = nullptr;
    static inline QList<Definition> *s_definitions = nullptr;
    static inline QString *s_setupError = nullptr;
    static inline std::string *s_pgSkip = nullptr;
    static inline kv6::DataSource *s_pgSource = nullptr;
    static inline kv6::DataConnection *s_sqlite = nullptr;
    static inline kv6::DataConnection *s_pg = nullptr;
    static inline QList<Job> *s_jobs = nullptr;
};

// Rows of two engines sorted by their exact columns; floating columns (money rounded to four
// decimals on one engine, reals summed in another order) must be near each other.
void ExpectSameRows(const kv6::Recordset &lite, const kv6::Recordset &pg, const QString &what);

} // namespace kv6test
