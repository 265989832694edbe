#include "base/startupvalues.h"
#include "report/dateselector.h"
#include "report/report.h"

#include "dataaccess/datasettings.h"

#include "deftest.h"

using namespace kv6;

namespace {

const QByteArray definitionText = R"(
<Name>UserPages</Name>
<DisplayName>Pages by user</DisplayName>
<Description>Every page of every user.</Description>
<Sort>TotalPages DESC</Sort>
<Parameters>
  <Parameter><Name>Company</Name><Type>1</Type><Display>0</Display></Parameter>
  <Parameter><Name>Range</Name><Type>2</Type></Parameter>
  <Parameter><Name>Top</Name><Type>3</Type><Default>10</Default></Parameter>
  <Parameter><Name>Note</Name><Type>4</Type></Parameter>
</Parameters>
)";

} // namespace

class SavedReport : public kv6test::DefinitionTest
{
protected:
    void SetUp() override
    {
        DefinitionTest::SetUp();
        write(QStringLiteral("users.rpt"), kv6test::definition(definitionText));
        QDir().mkpath(userFolder);
    }
    clsReportParameter &param(clsReport &r, const QString &name)
    {
        return **r.Parameters()->item(name);
    }
    QString savedPath(const QString &name) { return QDir(userFolder).filePath(name); }
    void writeSaved(const QString &name, const QByteArray &content)
    {
        kv6test::writeFile(savedPath(name), content);
    }

    QString userFolder = env.path(QStringLiteral("saved"));
    kv6test::ScopedStartupValue<QString> userReports { &StartupValues::UserReportsFolder,
        userFolder };
};

TEST_F(SavedReport, SettingsSurviveARoundTripAndTheFileIsLineForLine)
{
    clsReport report;
    ASSERT_TRUE(report.LoadDefinition(QStringLiteral("users.rpt"), 1));
    report.SetDisplayName(QStringLiteral("March for Sales"));
    report.SetTitle(QStringLiteral("Sales pages"));
    report.SetSubTitle(QStringLiteral("First quarter"));
    report.SetSort(QStringLiteral("UserName ASC"));
    report.SetUseFilters(false);
    report.SetUseEstCosts(true);
    report.SetNumDecimals(3);
    report.SimplePrinterGroups().Add(7);
    report.SimplePrinterGroups().Add(12);
    param(report, QStringLiteral("Range")).SetValue1(QDate(2024, 3, 1));
    param(report, QStringLiteral("Range")).SetValue2(QDate(2024, 3, 31));
    param(report, QStringLiteral("Range")).SetValue3(clsDateSelector::CustomRange);
    param(report, QStringLiteral("Top")).SetValue1(25);
    param(report, QStringLiteral("Note")).SetValue1(QStringLiteral("for the board"));
    ASSERT_EQ(report.SaveUserDefined(QStringLiteral("march.rpt")), QString());

    // The C locale's short date is M/d/yyyy here.
    EXPECT_EQ(kv6test::readFile(savedPath(QStringLiteral("march.rpt"))).toStdString(),
        std::string(
            "3\r\nusers.rpt\r\nMarch for Sales\r\nEvery page of every user.\r\n"
            "Sales pages\r\nFirst quarter\r\nUserName ASC\r\n0\r\n-1\r\n-1\r\n3\r\n7,12,\r\n"
            "-1\r\n3/1/2024\r\n3/31/2024\r\n11\r\n25\r\nfor the board\r\n"));

    clsReport back;
    QString message;
    ASSERT_TRUE(back.LoadUserDefined(42, QStringLiteral("march.rpt"), message))
        << message.toStdString();
    EXPECT_EQ(back.Caption(), QStringLiteral("March for Sales"));
    EXPECT_EQ(back.DisplayName(), QStringLiteral("Pages by user"));
    EXPECT_EQ(back.Title(), QStringLiteral("Sales pages"));
    EXPECT_EQ(back.Sort(), QStringLiteral("UserName ASC"));
    EXPECT_FALSE(back.UseFilters());
    EXPECT_TRUE(back.UseGroups());
    EXPECT_TRUE(back.UseEstCosts());
    EXPECT_EQ(back.NumDecimals(), 3);
    EXPECT_EQ(back.SimplePrinterGroups().Count(), 2);
    EXPECT_TRUE(back.SimplePrinterGroups().Contains(12));
    EXPECT_EQ(back.SimpleUserGroups().Count(), 0);
    EXPECT_EQ(param(back, QStringLiteral("Company")).Value1().toInt(), 42);
    EXPECT_EQ(param(back, QStringLiteral("Range")).Value1().toDate(), QDate(2024, 3, 1));
    EXPECT_EQ(param(back, QStringLiteral("Range")).Value2().toDate(), QDate(2024, 3, 31));
    EXPECT_EQ(param(back, QStringLiteral("Top")).Value1().toDouble(), 25.0);
    EXPECT_EQ(
        param(back, QStringLiteral("Note")).Value1().toString(), QStringLiteral("for the board"));
}

TEST_F(SavedReport, RelativePeriodsAreRecomputedOnEveryLoad)
{
    writeSaved(QStringLiteral("last.rpt"),
        "3\r\nusers.rpt\r\nLast month\r\n\r\n\r\n\r\n\r\n-1\r\n-1\r\n0\r\n2\r\n-1\r\n-1\r\n"
        "1/1/2001\r\n1/31/2001\r\n6\r\n10\r\n\r\n");
    clsReport report;
    QString message;
    ASSERT_TRUE(report.LoadUserDefined(1, QStringLiteral("last.rpt"), message));
    QDate from, to;
    clsDateSelector::CalculateDateFromType(clsDateSelector::LastMonth, from, to);
    EXPECT_EQ(param(report, QStringLiteral("Range")).Value1().toDate(), from);
    EXPECT_EQ(param(report, QStringLiteral("Range")).Value2().toDate(), to);
}

TEST_F(SavedReport, OlderVersionsReadWithDefaultsAndIsoDatesAreAccepted)
{
    // Version 1: no version line, no period type (every range is custom), no decimals (the
    // suite's default applies).
    writeSaved(QStringLiteral("v1.rpt"),
        "users.rpt\r\nOld one\r\nd\r\nt\r\ns\r\nUserName\r\n-1\r\n0\r\n0\r\n"
        "2023-05-01\r\n2023-05-31\r\n5\r\nnote\r\n");
    clsReport v1;
    QString message;
    ASSERT_TRUE(v1.LoadUserDefined(3, QStringLiteral("v1.rpt"), message)) << message.toStdString();
    EXPECT_EQ(v1.Caption(), QStringLiteral("Old one"));
    EXPECT_FALSE(v1.UseGroups());
    EXPECT_EQ(v1.NumDecimals(), DataSettings::DefaultDecimals());
    EXPECT_EQ(param(v1, QStringLiteral("Range")).Value1().toDate(), QDate(2023, 5, 1));
    EXPECT_EQ(param(v1, QStringLiteral("Range")).Value3().toInt(), clsDateSelector::CustomRange);
    EXPECT_EQ(param(v1, QStringLiteral("Top")).Value1().toDouble(), 5.0);

    // Version 2 (LF line ends, blanks around the version) keeps its stored custom range.
    writeSaved(QStringLiteral("v2.rpt"),
        " 2 \nusers.rpt\nTwo\n\n\n\n\n0\n-1\n0\n6/1/2023\n6/30/2023\n11\n3\nx\n");
    clsReport v2;
    ASSERT_TRUE(v2.LoadUserDefined(3, QStringLiteral("v2.rpt"), message)) << message.toStdString();
    EXPECT_FALSE(v2.UseFilters());
    EXPECT_EQ(param(v2, QStringLiteral("Range")).Value2().toDate(), QDate(2023, 6, 30));
}

TEST_F(SavedReport, BadFilesGiveTheirMessageAndChangeNothing)
{
    clsReport report;
    ASSERT_TRUE(report.LoadDefinition(QStringLiteral("users.rpt"), 1));
    report.SetTitle(QStringLiteral("untouched"));
    const struct
    {
        const char *file;
        QByteArray content; // empty: the file is not there
        QString says;
    } cases[] = {
        { "missing.rpt", {}, QStringLiteral("The saved report could not be opened:") },
        { "short.rpt", "3\r\nusers.rpt\r\nCut\r\n", QStringLiteral("ends before line 4") },
        // A version number far past any int (found by fuzzing) is a bad line, not a wrapped int.
        { "huge.rpt", "99999999999999999999999991\r\nusers.rpt\r\n", QStringLiteral("Line 1") },
        { "flags.rpt",
            "3\r\nusers.rpt\r\nA\r\n\r\n\r\n\r\n\r\nmaybe\r\n-1\r\n0\r\n2\r\n-1\r\n-1\r\n",
            QStringLiteral("Line 8") },
        { "gone.rpt", "3\r\nremoved.rpt\r\nA\r\n\r\n\r\n\r\n\r\n0\r\n-1\r\n0\r\n2\r\n-1\r\n-1\r\n",
            GetLangString(840) },
    };
    for (const auto &c : cases) {
        const QString file = QString::fromLatin1(c.file);
        if (!c.content.isEmpty())
            writeSaved(file, c.content);
        QString message;
        EXPECT_FALSE(report.LoadUserDefined(1, file, message)) << c.file;
        EXPECT_TRUE(message.contains(c.says)) << message.toStdString();
        EXPECT_EQ(report.Title(), QStringLiteral("untouched"));
    }

    // Saving where a file stands in for the folder reports the cause.
    writeSaved(QStringLiteral("blocker"), "x");
    const QString error = report.SaveUserDefined(savedPath(QStringLiteral("blocker/x.rpt")));
    EXPECT_TRUE(error.startsWith(QStringLiteral("The report could not be saved:")))
        << error.toStdString();
}
