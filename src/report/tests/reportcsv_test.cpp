#include "report/reportcsv.h"

#include "vbcore/currency.h"

#include "recordtable.h"
#include "testenv.h"
#include "testlocale.h"

#include <gtest/gtest.h>
#include <QDateTime>
#include <QFile>
#include <QLocale>

using namespace kv6;

TEST(ReportCsv, NumbersGoBareAndEverythingElseIsQuotedWithoutAHeader)
{
    const kv6test::ScopedLocale us(QLocale(QLocale::English, QLocale::UnitedStates));
    RecordsetPtr rs = Recordset::Create();
    rs->AppendField(QStringLiteral("User"), adVarWChar, 50);
    rs->AppendField(QStringLiteral("Pages"), adInteger);
    rs->AppendField(QStringLiteral("Cost"), adCurrency);
    rs->AppendField(QStringLiteral("When"), adDBTimeStamp);
    rs->AppendField(QStringLiteral("Colour"), adBoolean);
    rs->AppendField(QStringLiteral("Share"), adDouble);
    rs->Open();
    rs->AppendRow({ QStringLiteral("Smith, Ann"), 12, 1.25,
        QDateTime(QDate(2024, 3, 1), QTime(0, 0)), true, 1e20 });
    rs->AppendRow(
        { QStringLiteral("say \"hi\""), QVariant(), 0.1 + 0.2, QVariant(), false, qQNaN() });
    rs->AppendRow({ QStringLiteral("042"), -3, QVariant::fromValue(Currency::fromRaw(15000)),
        QDateTime(QDate(2024, 3, 1), QTime(14, 5)), QVariant(), -qInf() });

    kv6test::TempEnv env;
    const QString path = env.path(QStringLiteral("out.csv"));
    QString error;
    ASSERT_TRUE(WriteReportCsv(rs, path, &error)) << error.toStdString();
    // Quotes inside values are not doubled; a number-like text reads as a number, a number that
    // is not finite does not.
    EXPECT_EQ(kv6test::readFile(path).toStdString(),
        "\"Smith, Ann\",12,1.25,\"3/1/2024\",\"True\",1e+20\r\n"
        "\"say \"hi\"\",\"\",0.3,\"\",\"False\",\"nan\"\r\n"
        "042,-3,1.5,\"3/1/2024 2:05:00 PM\",\"\",\"-inf\"\r\n");
}

TEST(ReportCsv, ACancelledOrFailedExportLeavesNoFile)
{
    QList<QVariantList> rows;
    for (int i = 0; i < 10; ++i)
        rows.append(QVariantList { i });
    const RecordsetPtr rs = kv6test::table(QStringLiteral("N"), rows);
    kv6test::TempEnv env;
    const QString path = env.path(QStringLiteral("out.csv"));
    QString error;
    int seen = 0;
    EXPECT_FALSE(WriteReportCsv(rs, path, &error, [&](int record, int records) {
        EXPECT_EQ(records, 10);
        seen = record;
        return record < 4;
    }));
    EXPECT_EQ(seen, 4);
    EXPECT_FALSE(QFile::exists(path));
    EXPECT_FALSE(WriteReportCsv(rs, env.path(QStringLiteral("no/such/dir/out.csv")), &error));
    EXPECT_FALSE(error.isEmpty());
}
