// Whole reports rendered the way the program's windows render them: a definition with its
// layout in one file, a data set built over a real SQLite database, the engine's pages read back.

#include "base/startupvalues.h"
#include "render/reportoutput.h"
#include "render/reportrender.h"

#include "app/branding.h"
#include "base/dialogs.h"
#include "base/langstrings.h"
#include "groups/analysis.h"
#include "report/report.h"

#include "documenttexts.h"
#include "enginetest.h"
#include "testscopes.h"
#include "toolrun.h"

#include <QFile>

using namespace kv6;
using engine::PreviewDocument;

namespace {

// Three users over a constant query, so the rows are known without a print history.
const char *const definitionHead = R"(<KVReport><KVReportInfo>
<Name>Pages</Name><DisplayName>Pages by user</DisplayName>
<Description>Every page of every user.</Description>
<SectionAlternate>Detail</SectionAlternate>
<AccessSQL>SELECT * FROM (SELECT 'ann' AS "UserName", 120 AS "Pages", 1.5 AS "Cost"
  UNION ALL SELECT 'bob', 80, 0.75 UNION ALL SELECT 'cyd', 40, 0.25) WHERE ? &lt; ?</AccessSQL>
<Parameters>
  <Parameter><Name>Range</Name><Label>Dates</Label><Type>2</Type></Parameter>
  <Parameter><Name>Top</Name><Label>Entries</Label><Type>3</Type><Query>0</Query></Parameter>
</Parameters>
<GroupColumns><Column><Field>UserName</Field><Action>4</Action></Column></GroupColumns>
)";

const char *const layout = R"(<Layouts><Report name="Pages" paper="A4" marginLeft="720"
  marginRight="720" marginTop="720" marginBottom="720">
  <Font name="Arial" size="9"/>
  <Section type="Header" height="0"/>
  <Section type="PageHeader" height="900">
    <Field name="lblTitle" text="Title" left="0" top="0" width="6000" height="400">
      <Font name="Arial" size="14" bold="1"/></Field>
    <Field name="lblSubTitle" text="Sub" left="6000" top="0" width="3000" height="300"/>
    <Rectangle name="rctColHeader" left="0" top="500" width="9000" height="300"/>
    <Field name="lblUser" text="880" left="0" top="500" width="3000" height="300"/>
    <Field name="lblUserValue" text="881" left="3000" top="500" width="3000" height="300"/>
    <Field name="clrRule" text="" left="0" top="850" width="9000" height="20"/>
  </Section>
  <Section type="Detail" height="300">
    <Field name="txtUser" text="=UserName" left="0" top="0" width="3000" height="300"/>
    <Field name="txtPages" text="=Pages" format="#,##0" align="6" left="3000" top="0" width="1500" height="300"/>
    <Field name="txtCost" text="=Cost" format="Currency" align="6" left="4500" top="0" width="1500" height="300"/>
    <Field name="txtKept" text="=Cost" format="$0.0" tag="fmt" align="6" left="6000" top="0" width="1500" height="300"/>
  </Section>
  <Section type="PageFooter" height="300">
    <Field name="lblFooterCompany" text="" left="0" top="0" width="4000" height="300"/>
    <Field name="lblFooterPages" text="=&quot;Page &quot; &amp; Page &amp; &quot; of &quot; &amp; Pages" left="6000" top="0" width="3000" height="300" align="6"/>
  </Section>
</Report></Layouts>)";

} // namespace

class RenderReport : public kv6test::SQLiteTest
{
protected:
    void SetUp() override
    {
        SQLiteTest::SetUp();
        openFresh();
        CreateBranding(env.path(QStringLiteral("no-branding")));
    }

    // Writes the definition (with extra definition elements) and builds its data set.
    void build(
        clsReport &report, const QByteArray &extra = {}, const QByteArray &layoutText = layout)
    {
        kv6test::writeFile(env.path(QStringLiteral("pages.rpt")),
            QByteArray(definitionHead) + extra + "</KVReportInfo>" + layoutText + "</KVReport>");
        ASSERT_TRUE(report.LoadDefinition(QStringLiteral("pages.rpt"), 1))
            << report.LastError().toStdString();
        clsReportParameter &range = **report.Parameters()->item(QStringLiteral("Range"));
        range.SetValue1(QDate(2024, 3, 1));
        range.SetValue2(QDate(2024, 3, 31));
        range.SetValue3(11);
        (*report.Parameters()->item(QStringLiteral("Top")))->SetValue1(10);
        const DataResult e = report.BuildReportDataSet(nullptr, *connection);
        ASSERT_FALSE(e) << e->Description().toStdString();
    }

    RenderOptions options()
    {
        RenderOptions o;
        o.reportFont = QFont(QStringLiteral("Liberation Sans"), 9);
        o.databaseDescription = QStringLiteral("test database");
        return o;
    }

    bool render(clsReport &report, PreviewDocument &doc, const RenderOptions &o)
    {
        HeadlessRenderHost host(o);
        host.ReportBegin(report);
        QString error;
        const bool ok = host.render(doc, &error);
        EXPECT_TRUE(ok) << error.toStdString();
        host.ReportEnd();
        return ok;
    }

    kv6test::ShippedLanguage language;
    kv6test::UsEnglishLocale locale;
    kv6test::ScopedStartupValue<QString> definitions { &StartupValues::DefinitionsFolder,
        env.root() };
};

TEST_F(RenderReport, TitlesSubtitlesShadingCurrencyLabelsAndTheCoverPageFollowTheReport)
{
    clsReport report;
    build(report);
    report.SetTitle(QStringLiteral("Pages %from to %to"));
    report.SetNumDecimals(3);
    PreviewDocument doc;
    ASSERT_TRUE(render(report, doc, options()));
    ASSERT_EQ(doc.pageCount(), 1);
    const QStringList page = kv6test::textsOf(doc, 1);
    EXPECT_TRUE(page.contains(QStringLiteral("Pages 3/1/2024 to 3/31/2024")))
        << page.join('|').toStdString();
    // No subtitle: it is hidden.
    EXPECT_FALSE(page.contains(QStringLiteral("Sub")));
    // Numeric labels are localised unless the name ends in "Value".
    EXPECT_TRUE(page.contains(GetLangString(880)));
    EXPECT_TRUE(page.contains(QStringLiteral("881")));
    // A currency format becomes FormatCurrency with the report's decimals; "fmt" keeps its own.
    EXPECT_TRUE(page.contains(QStringLiteral("$1.500"))) << page.join('|').toStdString();
    EXPECT_TRUE(page.contains(QStringLiteral("$1.5")));
    EXPECT_TRUE(page.contains(QStringLiteral("Page 1 of 1")));

    // A subtitle sits beside the title; alternate rows are shaded.
    report.SetTitle(QStringLiteral("Pages"));
    report.SetSubTitle(QStringLiteral("March"));
    doc = PreviewDocument();
    ASSERT_TRUE(render(report, doc, options()));
    QList<QRgb> fills;
    QRectF title, sub;
    for (const engine::DisplayItem &item : doc.page(1).items) {
        if (const auto *b = std::get_if<engine::BoxItem>(&item); b && b->filled)
            fills << b->fill;
        if (const auto *t = std::get_if<engine::TextRun>(&item)) {
            if (t->text == QLatin1String("Pages"))
                title = t->rect;
            if (t->text == QLatin1String(" - March"))
                sub = t->rect;
        }
    }
    // The header band, then the three detail rows: white, grey, white.
    EXPECT_EQ(fills.count(qRgb(240, 240, 240)), 1);
    ASSERT_FALSE(sub.isNull());
    ASSERT_FALSE(title.isNull());
    EXPECT_NEAR(sub.left(), title.right(), 1.0);
    EXPECT_LT(title.width(), 6000 / 2.0 + 1);

    // The cover page describes the report and its settings, and breaks after itself.
    report.SetUseEstCosts(true);
    RenderOptions o = options();
    o.printCover = true;
    doc = PreviewDocument();
    ASSERT_TRUE(render(report, doc, o));
    ASSERT_EQ(doc.pageCount(), 2);
    const QStringList cover = kv6test::textsOf(doc, 1);
    EXPECT_TRUE(cover.contains(QStringLiteral("Pages by user")));
    EXPECT_TRUE(cover.contains(QStringLiteral("Every page of every user.")));
    EXPECT_TRUE(cover.contains(QStringLiteral("test database")));
    EXPECT_TRUE(cover.contains(QStringLiteral("Dates:")));
    EXPECT_TRUE(
        cover.contains(QStringLiteral("3/1/2024 - 3/31/2024  (") + GetLangString(761) + ")"))
        << cover.join('|').toStdString();
    EXPECT_TRUE(cover.contains(QStringLiteral("Entries:")));
    EXPECT_TRUE(cover.contains(GetLangString(895)));
    EXPECT_FALSE(kv6test::textsOf(doc, 2).isEmpty());
}

TEST_F(RenderReport, EveryOutputIsWrittenWithTheRows)
{
    clsReport report;
    build(report);
    QString error;
    for (const auto &[name, format] :
        { std::pair { "out.pdf", OutputFormat::Pdf }, std::pair { "out.txt", OutputFormat::Text },
            std::pair { "out.htm", OutputFormat::Html } }) {
        const QString path = env.path(QLatin1String(name));
        ASSERT_TRUE(RenderReportToFile(report, path, format, options(), &error))
            << error.toStdString();
        const QString text
            = format == OutputFormat::Pdf ? kv6test::pdfText(path) : kv6test::readText(path);
        EXPECT_TRUE(text.contains(QStringLiteral("bob")) && text.contains(QStringLiteral("cyd")))
            << name << ": " << text.toStdString();
    }
    EXPECT_EQ(engine::outputFormatForPath(QStringLiteral("x.HTML")), OutputFormat::Html);
    EXPECT_EQ(engine::outputFormatForPath(QStringLiteral("x.doc")), OutputFormat::Unknown);

    // A definition whose layout is missing says so and writes nothing.
    clsReport broken;
    build(broken, {}, "<Layouts/>");
    EXPECT_FALSE(RenderReportToFile(
        broken, env.path(QStringLiteral("no.pdf")), OutputFormat::Pdf, options(), &error));
    EXPECT_TRUE(error.contains(QStringLiteral("no report \"Pages\""))) << error.toStdString();
    EXPECT_FALSE(QFile::exists(env.path(QStringLiteral("no.pdf"))));
}
