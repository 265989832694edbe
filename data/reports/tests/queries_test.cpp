// The definitions' SQL on real databases: both texts of every report must run with the
// program's parameters, give the same rows and name every field the definition relies on. The
// figures are held against the job table once built (builds_test.cpp).

#include "demohistory.h"
#include "enginetest.h"

#include <gtest/gtest.h>

using namespace kv6test;
using kv6::RecordsetPtr;

namespace {

class ReportQueries : public DemoHistoryTest
{
};

// Every report's rows for the company, the fields its definition names, and the keys the
// program filters and groups by, which name users and printers of that company only; and the
// same rows from both engines' texts, for the company and for all companies.
TEST_F(ReportQueries, EveryReportHasRowsKeysOfTheCompanyAndEveryFieldItNamesOnBothEngines)
{
    QSet<QString> users, printers;
    for (const QString &id : queryRows(*s_sqlite,
             QStringLiteral("SELECT user_id FROM users WHERE company_id = ?"), { Company }))
        users.insert(QStringLiteral("USR") + id);
    for (const QString &id : queryRows(*s_sqlite,
             QStringLiteral("SELECT printer_id FROM printers WHERE company_id = ?"), { Company }))
        printers.insert(QStringLiteral("PRT") + id);
    ASSERT_FALSE(users.isEmpty());

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

        const int userKey = one->FieldIndex(QStringLiteral("UserKey"));
        const int printerKey = one->FieldIndex(QStringLiteral("PrinterKey"));
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

        // All companies hold at least what one of them holds.
        const RecordsetPtr all = run(*s_sqlite, d, -1, &error);
        ASSERT_TRUE(all) << s(d.file) << ": " << s(error);
        EXPECT_GE(all->RecordCount(), one->RecordCount()) << s(d.file);

        for (const auto &[company, lite] : { std::pair { Company, one }, std::pair { -1, all } }) {
            const QString what = d.file + QStringLiteral(" for company %1").arg(company);
            const RecordsetPtr pg = s_pg ? run(*s_pg, d, company, &error) : nullptr;
            ASSERT_TRUE(pg || !s_pg) << s(what) << " on PostgreSQL: " << s(error);
            if (pg)
                ExpectSameRows(*lite, *pg, what);
        }
    }
    if (!s_pg)
        GTEST_SKIP() << "compared on SQLite only: " << *s_pgSkip;
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

TEST_F(ReportQueries, TheInventoryListsEveryDeviceOfTheCompany)
{
    QStringList expected;
    for (const QString &id : queryRows(*s_sqlite,
             QStringLiteral("SELECT printer_id FROM printers WHERE company_id = ?"), { Company }))
        expected << QStringLiteral("PRT") + id;
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

} // namespace
