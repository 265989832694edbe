// The definitions' SQL on real databases: both texts of every report must run with the
// program's parameters, give the same rows, name every field the definition relies on, and add
// up to what the job table holds.

#include "demohistory.h"

#include <gtest/gtest.h>

using namespace kv6test;
using kv6::RecordsetPtr;

namespace {

class ReportQueries : public DemoHistoryTest
{
};

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
            ExpectSameRows(*lite, *pg, what);
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

TEST_F(ReportQueries, FiguresAddUpToTheJobTable)
{
    QSet<QString> covered;
    for (const Figure &f : ReportFigures()) {
        const RecordsetPtr rs = runOrFail(f.report);
        ASSERT_TRUE(rs);
        for (const QString &field : f.keyFields + f.valueField.split(QLatin1Char('+')))
            ASSERT_TRUE(rs->HasField(field)) << s(f.report) << ": " << s(field);
        ExpectFigures(ActualFigures(*rs, f), ExpectedFigures(*s_jobs, f),
            f.report + QLatin1Char(' ') + f.valueField);
        covered.insert(f.report);
    }
    // The averages are checked on their own below.
    covered << QStringLiteral("Average Pages Per Day") << QStringLiteral("Average Pages Per Hour");
    for (const Definition &d : std::as_const(*s_definitions))
        EXPECT_TRUE(covered.contains(d.name())) << s(d.name()) << " has no figure checked";
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
    ExpectFigures(ActualFigures(*days, f), expected, QStringLiteral("pages per weekday"));
    const auto datesPerDay
        = DistinctPerKey(*days, QStringLiteral("DayOfWeek"), QStringLiteral("JobDate"));
    for (auto it = dayDates.cbegin(); it != dayDates.cend(); ++it) {
        EXPECT_EQ(datesPerDay.value(it.key()).size(), it.value().size())
            << "weekday " << s(it.key());
    }
    // A name per number, the same on every row.
    const auto names
        = DistinctPerKey(*days, QStringLiteral("DayOfWeek"), QStringLiteral("DayName"));
    EXPECT_EQ(names.value(QStringLiteral("1")), QSet<QString>({ QStringLiteral("Monday") }));
    EXPECT_EQ(names.value(QStringLiteral("7")), QSet<QString>({ QStringLiteral("Sunday") }));

    const RecordsetPtr hours = runOrFail(QStringLiteral("Average Pages Per Hour"));
    ASSERT_TRUE(hours);
    expected.clear();
    for (auto it = hourPages.cbegin(); it != hourPages.cend(); ++it)
        expected[it.key()] = it.value() / allDates.size();
    f.keyFields = QStringList { QStringLiteral("HourOfDay") };
    ExpectFigures(ActualFigures(*hours, f), expected, QStringLiteral("pages per hour"));
    const auto hourSlots
        = DistinctPerKey(*hours, QStringLiteral("HourOfDay"), QStringLiteral("DayHour"));
    for (auto it = hourDates.cbegin(); it != hourDates.cend(); ++it) {
        EXPECT_EQ(hourSlots.value(it.key()).size(), it.value().size()) << "hour " << s(it.key());
    }
    const auto labels
        = DistinctPerKey(*hours, QStringLiteral("HourOfDay"), QStringLiteral("HourLabel"));
    EXPECT_EQ(labels.value(QStringLiteral("9")), QSet<QString>({ QStringLiteral("09:00") }));

    // Active days: one distinct key per printer (user) and date.
    const RecordsetPtr printers = runOrFail(QStringLiteral("Printer Averages"));
    ASSERT_TRUE(printers);
    const auto pd
        = DistinctPerKey(*printers, QStringLiteral("PrinterKey"), QStringLiteral("PrinterDay"));
    for (auto it = printerDays.cbegin(); it != printerDays.cend(); ++it) {
        EXPECT_EQ(pd.value(it.key()).size(), it.value().size()) << s(it.key());
    }
    const RecordsetPtr users = runOrFail(QStringLiteral("User Averages"));
    ASSERT_TRUE(users);
    const auto ud = DistinctPerKey(*users, QStringLiteral("UserKey"), QStringLiteral("UserDay"));
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

} // namespace
