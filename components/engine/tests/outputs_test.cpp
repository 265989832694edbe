#include "engine/reportengine.h"

#include "jobrecords.h"
#include "recordtable.h"

#include <gtest/gtest.h>

#include <QRegularExpression>
#include <QTemporaryDir>

using namespace kv6::engine;
using kv6test::findText;
using Job = kv6test::JobRow;
using kv6test::jobs;
using kv6test::textsOf;

namespace {

const char *layoutXml = R"xml(<Layouts>
<Report name="Jobs" paper="A4" marginLeft="720" marginTop="720" marginRight="720" marginBottom="720">
  <Font name="Arial" size="10"/>
  <Group name="ByUser" groupBy="UserName"/>
  <Section type="PageHeader" height="700">
    <Field name="lblTitle" text="Print jobs by user" left="0" top="0" width="6000" height="400">
      <Font name="Arial" size="14" bold="1"/>
    </Field>
    <Picture name="picLogo" left="8000" top="0" width="1440" height="600" pictureScale="10"/>
    <Field name="lblPages" text="Pages" left="4000" top="420" width="1000" height="260" align="6"/>
    <Line name="linSeparate" x1="0" y1="690" x2="10466" y2="690" lineWidth="15" borderColor="8421504"/>
  </Section>
  <Section type="GroupHeader" group="1" height="300" backColor="15790320">
    <Field name="txtUser" text="=UserName" left="0" top="0" width="3000" height="300">
      <Font name="Arial" size="10" bold="1"/>
    </Field>
  </Section>
  <Section type="Detail" height="260">
    <Field name="txtPrinter" text="=Printer" left="300" top="0" width="3500" height="260"/>
    <Field name="txtPages" text="=Pages" left="4000" top="0" width="1000" height="260" align="6"/>
    <Field name="txtCost" text="=Cost" format="0.00" left="5500" top="0" width="1200" height="260" align="6"/>
  </Section>
  <Section type="GroupFooter" group="1" height="300">
    <Field name="txtUserPages" text="=Sum(Pages)" left="4000" top="0" width="1000" height="300" align="6"/>
  </Section>
  <Section type="Footer" height="400">
    <Field name="lblTotal" text="Total" left="0" top="60" width="2000" height="300"/>
    <Field name="txtTotal" text="=Sum(Pages)" left="4000" top="60" width="1000" height="300" align="6"/>
  </Section>
  <Section type="PageFooter" height="300">
    <Field name="lblFooterPages" text="=&quot;Page &quot; &amp; Page &amp; &quot; of &quot; &amp; Pages" left="6000" top="0" width="4466" height="300" align="6"/>
  </Section>
</Report>
<Report name="Printers" width="4000">
  <Font name="Arial" size="8"/>
  <Section type="Header" height="250"><Field name="lblHead" text="By printer" left="0" top="0" width="2000" height="250"/></Section>
  <Section type="Detail" height="250">
    <Field name="txtName" text="=Printer" left="0" top="0" width="2000" height="250"/>
    <Field name="txtSum" text="=Pages" left="2000" top="0" width="1000" height="250" align="6"/>
  </Section>
  <Section type="Footer" height="250"><Field name="txtAll" text="=Sum(Pages)" left="2000" top="0" width="1000" height="250" align="6"/></Section>
</Report>
</Layouts>)xml";

QList<Job> rows()
{
    return {
        { QStringLiteral("alice"), QStringLiteral("HP LaserJet 4050"), 10, 0.5 },
        { QStringLiteral("alice"), QStringLiteral("HP LaserJet 4050"), 20, 1.25 },
        { QStringLiteral("Иванов Пётр"), QStringLiteral("Принтер бухгалтерии"), 7, 0.35 },
        { QStringLiteral("Иванов Пётр"), QStringLiteral("Canon iR"), 113, 5.65 },
    };
}

void load(ReportEngine &engine, const QString &name = QStringLiteral("Jobs"))
{
    kv6test::loadLayout(engine, layoutXml, name);
    QImage logo(120, 50, QImage::Format_RGB32);
    logo.fill(qRgb(30, 90, 160));
    if (Field *pic = engine.Fields().item(QStringLiteral("picLogo")))
        pic->picture = Picture::fromImage(logo);
    engine.setRecordset(jobs(rows()));
}

// The first column each cell of a row starts in, by its text (rows here have no rowspans).
QHash<QString, int> cellColumns(const QString &html)
{
    QHash<QString, int> out;
    static const QRegularExpression tr(QStringLiteral("<tr[^>]*>(.*?)</tr>"));
    static const QRegularExpression td(QStringLiteral("<td([^>]*)>(.*?)</td>"));
    static const QRegularExpression span(QStringLiteral("colspan=\"(\\d+)\""));
    auto rowsIt = tr.globalMatch(html);
    while (rowsIt.hasNext()) {
        const QString row = rowsIt.next().captured(1);
        int col = 0;
        auto cells = td.globalMatch(row);
        while (cells.hasNext()) {
            const auto m = cells.next();
            const auto s = span.match(m.captured(1));
            if (!m.captured(2).isEmpty() && !out.contains(m.captured(2)))
                out.insert(m.captured(2), col);
            col += s.hasMatch() ? s.captured(1).toInt() : 1;
        }
    }
    return out;
}

class ReportOutput : public ::testing::Test
{
protected:
    void SetUp() override { load(engine); }

    QTemporaryDir dir;
    ReportEngine engine;
};

} // namespace

TEST_F(ReportOutput, DocumentFileHoldsWhatThePreviewShows)
{
    const QString path = dir.filePath(QStringLiteral("jobs.rtt"));
    QString error;
    ASSERT_TRUE(engine.renderToFile(path, OutputFormat::Document, &error)) << error.toStdString();
    PreviewDocument fromFile, direct;
    ASSERT_TRUE(fromFile.load(path, &error)) << error.toStdString();
    ASSERT_TRUE(engine.render(direct));
    ASSERT_EQ(fromFile.pageCount(), direct.pageCount());
    EXPECT_EQ(textsOf(fromFile, 1), textsOf(direct, 1));
    EXPECT_EQ(fromFile.renderPage(1, 30), direct.renderPage(1, 30));

    EXPECT_FALSE(engine.renderToFile(dir.filePath(QStringLiteral("x")), OutputFormat(3), &error));
    EXPECT_EQ(error, QStringLiteral("Unknown output format 3."));
}

TEST_F(ReportOutput, HtmlIsOneSelfContainedPageWithTables)
{
    engine.Sections(GroupHeaderSection(1))->forcePageBreak = BreakBefore;
    const QString path = dir.filePath(QStringLiteral("jobs.htm"));
    QString error;
    ASSERT_TRUE(engine.renderToFile(path, OutputFormat::Html, &error)) << error.toStdString();
    kv6test::keepOutput(path);
    const QString html = kv6test::readText(path);

    EXPECT_TRUE(html.startsWith(QStringLiteral("<!DOCTYPE html>")));
    EXPECT_TRUE(html.contains(QStringLiteral("<meta charset=\"utf-8\">")));
    EXPECT_TRUE(html.contains(QStringLiteral("<title>Jobs</title>")));
    EXPECT_TRUE(html.contains(QStringLiteral("@media print")));
    EXPECT_TRUE(html.contains(QStringLiteral("size: 595.30pt 841.90pt")));
    // Nothing outside the file: the logo is a data URI.
    EXPECT_TRUE(html.contains(QStringLiteral("src=\"data:image/png;base64,")));
    EXPECT_FALSE(html.contains(QStringLiteral("src=\"http")));
    EXPECT_FALSE(html.contains(QStringLiteral("src=\"file")));

    // The page header repeats on printed pages, the page footer closes the table.
    const QString head
        = html.section(QStringLiteral("<thead>"), 1).section(QStringLiteral("</thead>"), 0, 0);
    const QString foot
        = html.section(QStringLiteral("<tfoot>"), 1).section(QStringLiteral("</tfoot>"), 0, 0);
    EXPECT_TRUE(head.contains(QStringLiteral(">Print jobs by user<")));
    EXPECT_TRUE(head.contains(QStringLiteral("border-top:"))
        || html.contains(QStringLiteral("border-top:")));
    EXPECT_TRUE(foot.contains(QStringLiteral(">Page 1 of 1<")));
    EXPECT_TRUE(html.contains(QStringLiteral(">Иванов Пётр<")));
    EXPECT_TRUE(html.contains(QStringLiteral(">Принтер бухгалтерии<")));
    // The forced break before the second user's group.
    EXPECT_EQ(html.count(QStringLiteral("<tbody data-section=\"5\" class=\"break\"")), 1);
    // The group header's grey comes through as the cells' background.
    EXPECT_TRUE(html.contains(QStringLiteral("background: #f0f0f0")));
    // Text is escaped.
    EXPECT_FALSE(html.contains(QStringLiteral("<Page")));

    // Values, totals and the header label share one column.
    const QHash<QString, int> cols = cellColumns(html);
    ASSERT_TRUE(cols.contains(QStringLiteral("10")));
    EXPECT_EQ(cols.value(QStringLiteral("10")), cols.value(QStringLiteral("30")));
    EXPECT_EQ(cols.value(QStringLiteral("10")), cols.value(QStringLiteral("150")));
    EXPECT_EQ(cols.value(QStringLiteral("10")), cols.value(QStringLiteral("Pages")));
    EXPECT_NE(cols.value(QStringLiteral("10")), cols.value(QStringLiteral("alice")));
}

TEST_F(ReportOutput, TextLinesUpColumnsAndKeepsTheReportOrder)
{
    const QString path = dir.filePath(QStringLiteral("jobs.txt"));
    QString error;
    ASSERT_TRUE(engine.renderToFile(path, OutputFormat::Text, &error)) << error.toStdString();
    kv6test::keepOutput(path);
    const QStringList lines = kv6test::readText(path).split(u'\n');
    ASSERT_GE(lines.size(), 10);
    EXPECT_TRUE(lines.first().startsWith(QStringLiteral("Print jobs by user")));
    EXPECT_TRUE(lines.contains(QString(lines[2].size(), u'-'))) << "the separator line";
    for (const QString &l : lines)
        EXPECT_FALSE(l.endsWith(u' ')) << l.toStdString();

    // Where the last `needle` ends on the first line that holds `inLineWith`.
    auto endOf = [&](const QString &needle, const QString &inLineWith) {
        for (const QString &l : lines) {
            if (!l.contains(inLineWith))
                continue;
            const qsizetype at = l.lastIndexOf(needle);
            if (at >= 0)
                return int(at + needle.size());
        }
        return -1;
    };
    // Right-aligned numbers end in the same column on rows, group totals and the grand total.
    const int pagesEnd = endOf(QStringLiteral("Pages"), QStringLiteral("Pages"));
    ASSERT_GT(pagesEnd, 0);
    EXPECT_EQ(endOf(QStringLiteral("10"), QStringLiteral("HP LaserJet")), pagesEnd);
    EXPECT_EQ(endOf(QStringLiteral("113"), QStringLiteral("Canon")), pagesEnd);
    EXPECT_EQ(endOf(QStringLiteral("150"), QStringLiteral("Total")), pagesEnd);

    const QString all = lines.join(u'\n');
    EXPECT_LT(all.indexOf(QStringLiteral("alice")), all.indexOf(QStringLiteral("Иванов Пётр")));
    EXPECT_TRUE(all.contains(QStringLiteral("Принтер бухгалтерии")));
    EXPECT_TRUE(lines.at(lines.size() - 2).endsWith(QStringLiteral("Page 1 of 1")));
}

TEST_F(ReportOutput, PdfFileWrittenPageByPageReadsAsThePrintedPreview)
{
    QList<Job> many;
    for (int i = 0; i < 40; ++i)
        many += rows();
    engine.setRecordset(jobs(many));
    PreviewDocument doc;
    ASSERT_TRUE(engine.render(doc));
    ASSERT_GT(doc.pageCount(), 2);
    const QString printed = dir.filePath(QStringLiteral("printed.pdf"));
    const QString file = dir.filePath(QStringLiteral("file.pdf"));
    QString error;
    ASSERT_TRUE(writePdf(doc, printed, &error)) << error;
    ASSERT_TRUE(engine.renderToFile(file, OutputFormat::Pdf, &error)) << error;
    kv6test::keepOutput(file);
    EXPECT_EQ(engine.pageCount(), doc.pageCount());
    bool ok = false, ok2 = false;
    const QString want = kv6test::pdfText(printed, &ok), got = kv6test::pdfText(file, &ok2);
    ASSERT_TRUE(ok && ok2);
    EXPECT_EQ(got, want);
    for (const char *s : { "Print jobs by user", "Иванов Пётр", "Принтер бухгалтерии",
             "HP LaserJet 4050", "6000", "Page 1 of ", "Page 2 of " })
        EXPECT_TRUE(got.contains(QString::fromUtf8(s))) << s << "\n" << got.toStdString();
}

TEST_F(ReportOutput, SubreportsRenderInsideTheirFieldAndGrowIt)
{
    ReportEngine main, sub;
    load(main);
    load(sub, QStringLiteral("Printers"));
    sub.setIndex(1);
    sub.setRecordset(kv6test::table(QStringLiteral("Printer Pages"),
        { { QStringLiteral("Canon iR"), 113 }, { QStringLiteral("HP LaserJet 4050"), 30 } }));

    Section *header = main.Sections(SectionHeader);
    header->height = 600;
    header->canGrow = true;
    Field *holder = main.Fields().Add(QStringLiteral("subPrinters"), QString(), 500, 0, 4000, 300);
    holder->section = SectionHeader;
    holder->subreport = &sub;
    Field *below = main.Fields().Add(
        QStringLiteral("lblBelow"), QStringLiteral("After the summary"), 0, 300, 3000, 300);
    below->section = SectionHeader;

    kv6test::EventLog host;
    main.setListener(&host);
    sub.setListener(&host);

    PreviewDocument doc;
    QString error;
    ASSERT_TRUE(main.render(doc, &error)) << error.toStdString();
    const auto head = findText(doc, QStringLiteral("By printer"));
    ASSERT_EQ(head.page, 1);
    // The subreport starts at its field and stacks its sections: header, two rows, footer.
    EXPECT_EQ(head.rect.topLeft(), QPointF(720 + 500, 720 + 700));
    EXPECT_EQ(findText(doc, QStringLiteral("Canon iR")).rect.top(), 720 + 700 + 250);
    EXPECT_EQ(findText(doc, QStringLiteral("143")).rect.top(), 720 + 700 + 750);
    EXPECT_EQ(findText(doc, QStringLiteral("143")).rect.left(), 720 + 500 + 2000);
    // Four bands of 250 instead of 300: what lies below moves down by the difference.
    EXPECT_EQ(findText(doc, QStringLiteral("After the summary")).rect.top(), 720 + 700 + 300 + 700);
    // The subreport's events carry its index, and it starts no page of its own.
    EXPECT_EQ(host.events.filter(QRegularExpression(QStringLiteral("^(start|page) "))),
        QStringList({ "start 0", "page 0 1", "start 1" }));
    EXPECT_TRUE(host.events.contains(QStringLiteral("format 1 0")));
}
