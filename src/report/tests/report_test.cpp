#include "dataaccess/datasettings.h"
#include "dataaccess/datasource.h"
#include "report/report.h"
#include "vbcore/vbdate.h"

#include "deftest.h"

using namespace kv6;

namespace {

const QByteArray fullReport = R"(
<Name> UserPages </Name>
<DisplayName>5001</DisplayName>
<Description>5002</Description>
<UsageHint>Pick a short range for large offices.</UsageHint>
<TreePosition>5003</TreePosition>
<Sort>Pages DESC</Sort>
<SectionAlternate>Detail</SectionAlternate>
<CanUseGroups>0</CanUseGroups>
<SubReportField>fldSub</SubReportField>
<Scripts>Sub PreProcess(a, b)
End Sub</Scripts>
<RowLimit>TopN</RowLimit>
<AccessSQL>SELECT 1 AS Engine</AccessSQL>
<SQLServerSQL>SELECT 2 AS Engine</SQLServerSQL>
<Parameters>
  <Parameter><Name>Company</Name><Type>1</Type><Display>0</Display></Parameter>
  <Parameter><Name>Range</Name><Label>5004</Label><Type>2</Type><Required>True</Required>
    <Default>5</Default></Parameter>
  <Parameter><Name>TopN</Name><Label> Top </Label><Type>3</Type><Required>1</Required>
    <Default>10</Default><Query>0</Query><Min>1</Min><Max>many</Max></Parameter>
  <Parameter><Name>Note</Name><Type>4</Type><Default>hello</Default><Min>1</Min></Parameter>
</Parameters>
<GroupColumns>
  <Column><Field>UserName</Field><Replace>1</Replace><Sortable>-1</Sortable>
    <SortName> User name </SortName></Column>
  <Column><Field>Pages</Field><Action>1</Action><ReplaceColor>True</ReplaceColor></Column>
  <Column><Field>Cost</Field><Action>7</Action><ActionParam>Bucket</ActionParam>
    <Replace>7</Replace><ReplaceParam>Pages</ReplaceParam><EnumeratedType>12</EnumeratedType>
  </Column>
  <Column><Field>Host</Field><Replace>(several)</Replace></Column>
</GroupColumns>
)";

class Report : public kv6test::DefinitionTest
{
protected:
    void SetUp() override
    {
        DefinitionTest::SetUp();
        savedType = DataSettings::DatabaseType();
    }
    void TearDown() override { DataSettings::SetDatabaseType(savedType); }
    // Loads report content written to a file named after the test.
    bool loadContent(clsReport &report, const QByteArray &content, int type = 1)
    {
        write(QStringLiteral("r.rpt"), kv6test::definition(content));
        return report.LoadDefinition(QStringLiteral("r.rpt"), type);
    }

    int savedType = 1;
};

} // namespace

TEST_F(Report, EveryElementOfADefinitionIsRead)
{
    clsReport report;
    write(QStringLiteral("users.rpt"), kv6test::definition(fullReport, "AnyRoot"));
    ASSERT_TRUE(report.LoadDefinition(QStringLiteral("users.rpt"), 1))
        << qPrintable(report.LastError());
    EXPECT_EQ(report.FileName(), QStringLiteral("users.rpt"));
    EXPECT_EQ(report.Name(), QStringLiteral("UserPages"));
    EXPECT_EQ(report.DisplayName(), QStringLiteral("Pages by user"));
    EXPECT_EQ(report.Title(), QStringLiteral("Pages by user"));
    EXPECT_EQ(report.Description(), QStringLiteral("Counts every page a user printed."));
    EXPECT_EQ(report.UsageHint(), QStringLiteral("Pick a short range for large offices."));
    EXPECT_EQ(report.TreePosition(), QStringLiteral("Users\\Volumes"));
    EXPECT_EQ(report.Sort(), QStringLiteral("Pages DESC"));
    EXPECT_EQ(report.SectionToAlternate(), QStringLiteral("Detail"));
    EXPECT_FALSE(report.CanUseGroups());
    EXPECT_EQ(report.SubReportField(), QStringLiteral("fldSub"));
    EXPECT_TRUE(report.ScriptText().startsWith(QStringLiteral("Sub PreProcess")));
    EXPECT_EQ(report.RowLimit(), QVariant(QStringLiteral("TopN")));
    EXPECT_EQ(report.ReportSQL(), QStringLiteral("SELECT 1 AS Engine"));

    const ReportParameters &params = *report.Parameters();
    ASSERT_EQ(params.count(), 4);
    EXPECT_EQ(params.keyAt(1), QStringLiteral("Company"));
    const clsReportParameter &company = **params.item(1);
    EXPECT_EQ(company.ParameterType(), 1);
    EXPECT_FALSE(company.Display());
    EXPECT_TRUE(company.PassToQuery());
    EXPECT_FALSE(company.Required());
    const clsReportParameter &range = **params.item(QStringLiteral("range"));
    EXPECT_EQ(range.Label(), QStringLiteral("From"));
    EXPECT_TRUE(range.Required());
    EXPECT_EQ(range.Default(), QVariant(QStringLiteral("5")));
    const clsReportParameter &top = **params.item(QStringLiteral("TopN"));
    EXPECT_EQ(top.Label(), QStringLiteral("Top"));
    EXPECT_FALSE(top.PassToQuery());
    EXPECT_TRUE(top.Display());
    // The type is set before the default, so a number parameter keeps only numeric text.
    EXPECT_EQ(top.Default(), QVariant(QStringLiteral("10")));
    EXPECT_EQ(top.Min().toDouble(), 1.0);
    EXPECT_TRUE(top.Max().isNull());
    const clsReportParameter &note = **params.item(QStringLiteral("Note"));
    EXPECT_EQ(note.Default(), QVariant(QStringLiteral("hello")));
    EXPECT_TRUE(note.Min().isNull()); // bounds are read for numbers only

    const ReportCols &cols = report.Columns();
    ASSERT_EQ(cols.count(), 4);
    const clsReportCol &user = **cols.item(QStringLiteral("UserName"));
    EXPECT_EQ(user.Replace(), QVariant(1.0));
    EXPECT_TRUE(user.Sortable());
    EXPECT_EQ(user.SortName(), QStringLiteral("User name"));
    EXPECT_EQ(user.Action(), 0);
    EXPECT_EQ(user.EnumeratedType(), -1);
    EXPECT_FALSE(user.ReplaceColor());
    const clsReportCol &pages = **cols.item(QStringLiteral("Pages"));
    EXPECT_EQ(pages.Action(), clsReportCol::ActionSum);
    EXPECT_TRUE(pages.ReplaceColor());
    EXPECT_FALSE(pages.Sortable());
    EXPECT_EQ(pages.Replace().typeId(), QMetaType::Double);
    EXPECT_TRUE(pages.ReplaceIs(clsReportCol::ReplaceNone));
    const clsReportCol &cost = **cols.item(QStringLiteral("Cost"));
    EXPECT_EQ(cost.Action(), clsReportCol::ActionBucket);
    EXPECT_EQ(cost.ActionParam(), QStringLiteral("Bucket"));
    EXPECT_EQ(cost.ReplaceParam(), QStringLiteral("Pages"));
    EXPECT_EQ(cost.EnumeratedType(), 12);
    // A literal replacement stays text.
    const clsReportCol &host = **cols.item(QStringLiteral("Host"));
    EXPECT_EQ(host.Replace(), QVariant(QStringLiteral("(several)")));
    EXPECT_FALSE(host.ReplaceIs(0));
    EXPECT_FALSE(report.MustUseEstCosts()); // 7 uses estimates only when asked
}

TEST_F(Report, TheQueryFollowsTheDatabaseType)
{
    const QByteArray content = "<AccessSQL>lite</AccessSQL><SQLServerSQL>server</SQLServerSQL>";
    clsReport report;
    ASSERT_TRUE(loadContent(report, content, DatabaseTypeSQLite));
    EXPECT_EQ(report.ReportSQL(), QStringLiteral("lite"));
    ASSERT_TRUE(loadContent(report, content, DatabaseTypePostgreSQL));
    EXPECT_EQ(report.ReportSQL(), QStringLiteral("server"));
    // Without a type, the database in use decides; every type but 1 takes the server's query.
    DataSettings::SetDatabaseType(DatabaseTypeSQLite);
    ASSERT_TRUE(report.LoadDefinition(QStringLiteral("r.rpt")));
    EXPECT_EQ(report.ReportSQL(), QStringLiteral("lite"));
    DataSettings::SetDatabaseType(7);
    ASSERT_TRUE(report.LoadDefinition(QStringLiteral("r.rpt")));
    EXPECT_EQ(report.ReportSQL(), QStringLiteral("server"));
}

// The defaults of what a definition leaves out are those fullReport does not set either.
TEST_F(Report, CaptionFallsBackToTheDisplayNameWhileBlank)
{
    clsReport report;
    ASSERT_TRUE(loadContent(report,
        "<DisplayName>Top 10 costs</DisplayName>"
        "<Parameters><Parameter><Name>P</Name><Type>3</Type></Parameter></Parameters>"));
    // A display name that is not a number stays as written.
    EXPECT_EQ(report.Caption(), QStringLiteral("Top 10 costs"));
    EXPECT_TRUE(report.CanUseGroups());
    EXPECT_EQ(report.RowLimit(), QVariant(QStringLiteral("-1")));
    EXPECT_TRUE(report.ReportSQL().isEmpty());
    EXPECT_TRUE((*report.Parameters()->item(1))->Default().isNull());
    report.SetCaption(QStringLiteral("  March costs "));
    EXPECT_EQ(report.Caption(), QStringLiteral("March costs"));
    report.SetCaption(QStringLiteral("   "));
    EXPECT_EQ(report.Caption(), QStringLiteral("Top 10 costs"));
    report.SetDisplayName(QStringLiteral("Renamed"));
    EXPECT_EQ(report.Caption(), QStringLiteral("Renamed"));
    report.SetTitle(QStringLiteral("  T "));
    report.SetKey(QStringLiteral(" REPT3 "));
    EXPECT_EQ(report.Title(), QStringLiteral("T"));
    EXPECT_EQ(report.Key(), QStringLiteral("REPT3"));
}

TEST_F(Report, ChartsComeFromReportChartOrElseFromCharts)
{
    clsReport report;
    ASSERT_TRUE(loadContent(report,
        "<ReportChart><Type>3</Type><DestField>single</DestField></ReportChart>"
        "<Charts><Chart><Type>1</Type></Chart><Chart><Type>2</Type></Chart></Charts>"));
    ASSERT_EQ(report.Charts().count(), 1);
    EXPECT_EQ((*report.Charts().item(1))->DestField(), QStringLiteral("single"));
    EXPECT_TRUE(report.HasCharts());

    ASSERT_TRUE(loadContent(report,
        "<Charts><Chart><Type>1</Type><DestField>a</DestField></Chart>"
        "<Chart><Type>2</Type><DestField>b</DestField></Chart></Charts>"));
    ASSERT_EQ(report.Charts().count(), 2);
    EXPECT_EQ((*report.Charts().item(2))->DestField(), QStringLiteral("b"));

    ASSERT_TRUE(loadContent(report, "<Charts/>"));
    EXPECT_FALSE(report.HasCharts());

    // InitializeCharts rewinds every chart at every depth and keeps the scales they learned.
    ASSERT_TRUE(loadContent(report,
        "<ReportChart><Type>1</Type></ReportChart>"
        "<SubReports><SubReport><Name>S</Name><Charts><Chart><Type>2</Type></Chart></Charts>"
        "<SubReports><SubReport><Name>T</Name><ReportChart><Type>3</Type></ReportChart>"
        "</SubReport></SubReports></SubReport></SubReports>"));
    const ReportPtr s = *report.SubReports().item(1);
    const ReportPtr t = *s->SubReports().item(1);
    const ReportChartPtr charts[]
        = { *report.Charts().item(1), *s->Charts().item(1), *t->Charts().item(1) };
    for (const ReportChartPtr &c : charts) {
        c->SetBookmark(5);
        c->SetYAxisMaxScale(120);
    }
    report.InitializeCharts();
    for (const ReportChartPtr &c : charts) {
        EXPECT_TRUE(c->Bookmark().isNull());
        EXPECT_EQ(c->YAxisMaxScale(), 120.0);
    }
}

TEST_F(Report, SubReportsShareTheParentsParametersAndLendItTheirCharts)
{
    clsReport report;
    ASSERT_TRUE(loadContent(report,
        "<Name>Top</Name>"
        "<Parameters><Parameter><Name>Range</Name><Type>2</Type></Parameter></Parameters>"
        "<SubReports><SubReport><Name>Middle</Name><AccessSQL>mid</AccessSQL>"
        "  <Parameters><Parameter><Name>Own</Name><Type>4</Type></Parameter></Parameters>"
        "  <GroupColumns><Column><Field>C</Field><Replace>8</Replace></Column></GroupColumns>"
        "  <SubReports><SubReport><Name>Deep</Name>"
        "    <ReportChart><Type>1</Type></ReportChart></SubReport></SubReports>"
        "</SubReport><SubReport><Name>Plain</Name></SubReport></SubReports>"));
    ASSERT_EQ(report.SubReports().count(), 2);
    const ReportPtr middle = *report.SubReports().item(QStringLiteral("Middle"));
    ASSERT_TRUE(middle);
    EXPECT_EQ(middle->ReportSQL(), QStringLiteral("mid"));
    ASSERT_EQ(middle->SubReports().count(), 1);
    const ReportPtr deep = *middle->SubReports().item(QStringLiteral("Deep"));
    // A chart two levels down still marks every report above it.
    EXPECT_TRUE(deep->HasCharts());
    EXPECT_TRUE(middle->HasCharts());
    EXPECT_TRUE(report.HasCharts());
    EXPECT_FALSE((*report.SubReports().item(QStringLiteral("Plain")))->HasCharts());
    // Sub-reports' own estimated-cost columns do not force the parent's.
    EXPECT_TRUE(middle->MustUseEstCosts());
    EXPECT_FALSE(report.MustUseEstCosts());

    // One collection at every depth: the sub-report's own declaration is gone.
    EXPECT_EQ(middle->Parameters(), report.Parameters());
    EXPECT_EQ(deep->Parameters(), report.Parameters());
    EXPECT_FALSE(middle->Parameters()->exists(QStringLiteral("Own")));
    (*report.Parameters()->item(QStringLiteral("Range")))->SetValue1(QDate(2024, 1, 1));
    EXPECT_EQ((*deep->Parameters()->item(1))->Value1(), QVariant(QDate(2024, 1, 1)));

    auto replaced = std::make_shared<ReportParameters>();
    report.SetParameters(replaced);
    EXPECT_EQ(deep->Parameters(), replaced);
}

TEST_F(Report, AFailedLoadChangesNothingAndSaysWhy)
{
    struct Case
    {
        const char *why;
        QByteArray content;
        const char *errorMentions;
    };
    const Case cases[] = {
        { "parameter without Type",
            "<Parameters><Parameter><Name>P</Name></Parameter></Parameters>", "Type" },
        { "parameter Type not a number",
            "<Parameters><Parameter><Name>P</Name><Type>date</Type></Parameter></Parameters>",
            "date" },
        { "parameter Boolean that does not convert",
            "<Parameters><Parameter><Name>P</Name><Type>2</Type><Required>maybe</Required>"
            "</Parameter></Parameters>",
            "maybe" },
        { "two parameters differing only in case",
            "<Parameters><Parameter><Name>From</Name><Type>2</Type></Parameter>"
            "<Parameter><Name>FROM</Name><Type>2</Type></Parameter></Parameters>",
            "FROM" },
        { "chart without Type", "<Charts><Chart><Type>1</Type></Chart><Chart/></Charts>", "Type" },
        { "chart in a sub-report without Type",
            "<SubReports><SubReport><Name>S</Name><ReportChart><Type>x</Type></ReportChart>"
            "</SubReport></SubReports>",
            "sub-report" },
        { "report Boolean that does not convert", "<CanUseGroups>perhaps</CanUseGroups>",
            "CanUseGroups" },
        { "column Action not a number",
            "<GroupColumns><Column><Field>F</Field><Action>sum</Action></Column></GroupColumns>",
            "sum" },
        { "column EnumeratedType beyond 16 bits",
            "<GroupColumns><Column><Field>F</Field><EnumeratedType>40000</EnumeratedType>"
            "</Column></GroupColumns>",
            "40000" },
        { "two columns with one field",
            "<GroupColumns><Column><Field>F</Field></Column><Column><Field>F</Field></Column>"
            "</GroupColumns>",
            "columns" },
        { "two sub-reports with one name",
            "<SubReports><SubReport><Name>S</Name></SubReport><SubReport><Name>S</Name>"
            "</SubReport></SubReports>",
            "sub-reports" },
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.why);
        clsReport report;
        ASSERT_TRUE(loadContent(report, fullReport));
        const ReportParametersPtr params = report.Parameters();
        report.SetTitle(QStringLiteral("Mine"));
        report.SetUseGroups(false);

        write(QStringLiteral("bad.rpt"), kv6test::definition("<Name>Bad</Name>" + c.content));
        EXPECT_FALSE(report.LoadDefinition(QStringLiteral("bad.rpt"), 1));
        EXPECT_TRUE(report.LastError().contains(QLatin1String(c.errorMentions)))
            << qPrintable(report.LastError());
        EXPECT_EQ(report.Name(), QStringLiteral("UserPages"));
        EXPECT_EQ(report.FileName(), QStringLiteral("r.rpt"));
        EXPECT_EQ(report.Parameters(), params);
        EXPECT_EQ(report.Parameters()->count(), 4);
        EXPECT_EQ(report.Columns().count(), 4);
        EXPECT_EQ(report.Title(), QStringLiteral("Mine"));
        EXPECT_FALSE(report.UseGroups());
        EXPECT_EQ(report.ReportSQL(), QStringLiteral("SELECT 1 AS Engine"));
    }
}

TEST_F(Report, FilesThatDoNotParseOrLackTheReportElementFail)
{
    clsReport report;
    ASSERT_TRUE(loadContent(report, "<Name>Good</Name>"));

    write(QStringLiteral("broken.rpt"), "<KVReport>\n<KVReportInfo><Name>X</Name>\n</KVReport>");
    EXPECT_FALSE(report.LoadDefinition(QStringLiteral("broken.rpt")));
    EXPECT_TRUE(report.LastError().contains(QStringLiteral("broken.rpt")));
    EXPECT_TRUE(report.LastError().contains(QStringLiteral("line 3")))
        << qPrintable(report.LastError());

    write(QStringLiteral("other.rpt"),
        "<KVReport><ReportInfo><Name>X</Name></ReportInfo></KVReport>");
    EXPECT_FALSE(report.LoadDefinition(QStringLiteral("other.rpt")));
    EXPECT_TRUE(report.LastError().contains(QStringLiteral("KVReportInfo")));
    // Element names are case-sensitive.
    write(QStringLiteral("case.rpt"),
        "<KVReport><kvreportinfo><Name>X</Name></kvreportinfo></KVReport>");
    EXPECT_FALSE(report.LoadDefinition(QStringLiteral("case.rpt")));

    EXPECT_FALSE(report.LoadDefinition(QStringLiteral("absent.rpt")));
    EXPECT_FALSE(report.LoadDefinitionFromNode(QDomNode()));
    EXPECT_EQ(report.Name(), QStringLiteral("Good"));
    EXPECT_EQ(report.FileName(), QStringLiteral("r.rpt"));
}

TEST_F(Report, ANameWithAPathSeparatorBypassesTheDefinitionsFolder)
{
    write(QStringLiteral("same.rpt"), kv6test::definition("<Name>InFolder</Name>"));
    const QString elsewhere = env.path(QStringLiteral("elsewhere"));
    const QString other = elsewhere + QStringLiteral("/sub/same.rpt");
    kv6test::writeFile(other, kv6test::definition("<Name>Elsewhere</Name>"));

    clsReport report;
    ASSERT_TRUE(report.LoadDefinition(QStringLiteral("same.rpt")));
    EXPECT_EQ(report.Name(), QStringLiteral("InFolder"));
    ASSERT_TRUE(report.LoadDefinition(other));
    EXPECT_EQ(report.Name(), QStringLiteral("Elsewhere"));
    EXPECT_EQ(report.FileName(), other);

    // A Windows-style relative name is a path too: it resolves from the working folder, never
    // from the definitions folder.
    write(QStringLiteral("sub_same.rpt"), kv6test::definition("<Name>Wrong</Name>"));
    const QString saved = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(elsewhere));
    EXPECT_TRUE(report.LoadDefinition(QStringLiteral("sub\\same.rpt")));
    QDir::setCurrent(saved);
    EXPECT_EQ(report.Name(), QStringLiteral("Elsewhere"));
    EXPECT_EQ(report.FileName(), QStringLiteral("sub\\same.rpt"));
    ASSERT_TRUE(QDir::setCurrent(folder));
    EXPECT_FALSE(report.LoadDefinition(QStringLiteral("sub\\same.rpt")));
    QDir::setCurrent(saved);
}

TEST_F(Report, AFileInTheWindowsCodePageStillLoads)
{
    // "Café" in Windows-1252 under a UTF-8 declaration, as editors on Windows leave it.
    write(
        QStringLiteral("cp.rpt"), kv6test::definition("<DisplayName>Caf\xe9 costs</DisplayName>"));
    clsReport report;
    ASSERT_TRUE(report.LoadDefinition(QStringLiteral("cp.rpt"))) << qPrintable(report.LastError());
    EXPECT_EQ(report.DisplayName(), QString::fromUtf8("Café costs"));
}

TEST_F(Report, TheDateRangeComesFromTheFirstQueriedRangeParameter)
{
    clsReport report;
    QDateTime from = QDateTime::currentDateTime(), to = from;
    report.GetDateRange(from, to);
    EXPECT_TRUE(IsVbZeroDate(from));
    EXPECT_TRUE(IsVbZeroDate(to));

    ASSERT_TRUE(loadContent(report,
        "<Parameters>"
        "<Parameter><Name>Shown</Name><Type>2</Type><Query>0</Query></Parameter>"
        "<Parameter><Name>N</Name><Type>3</Type></Parameter>"
        "<Parameter><Name>Used</Name><Type>2</Type></Parameter>"
        "<Parameter><Name>Later</Name><Type>2</Type></Parameter>"
        "</Parameters>"));
    const ReportParameters &p = *report.Parameters();
    (*p.item(QStringLiteral("Shown")))->SetValue1(QDate(2020, 1, 1));
    (*p.item(QStringLiteral("Used")))->SetValue1(QDate(2024, 2, 1));
    (*p.item(QStringLiteral("Used")))->SetValue2(QDateTime(QDate(2024, 2, 29), QTime(0, 0)));
    (*p.item(QStringLiteral("Later")))->SetValue1(QDate(2025, 1, 1));
    report.GetDateRange(from, to);
    EXPECT_EQ(from, QDateTime(QDate(2024, 2, 1), QTime(0, 0)));
    EXPECT_EQ(to, QDateTime(QDate(2024, 2, 29), QTime(0, 0)));

    // Unset values read as the zero date.
    (*p.item(QStringLiteral("Used")))->SetValue1(QVariant());
    report.GetDateRange(from, to);
    EXPECT_TRUE(IsVbZeroDate(from));
}

TEST_F(Report, EstimatedCostsAreForcedOnlyByTheAlwaysCodes)
{
    struct Case
    {
        QByteArray replace;
        bool forced;
    };
    const Case cases[] = { { "6", true }, { "8", true }, { "8.0", true }, { "5", false },
        { "7", false }, { "Six", false }, { "0", false } };
    for (const Case &c : cases) {
        clsReport report;
        ASSERT_TRUE(loadContent(report,
            "<GroupColumns><Column><Field>A</Field></Column><Column><Field>B</Field><Replace>"
                + c.replace + "</Replace></Column></GroupColumns>"));
        EXPECT_EQ(report.MustUseEstCosts(), c.forced) << c.replace.constData();
    }
}
