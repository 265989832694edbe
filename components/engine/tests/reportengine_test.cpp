#include "engine/reportengine.h"

#include "jobrecords.h"

#include <gtest/gtest.h>

using namespace kv6::engine;
using kv6test::findText;
using Job = kv6test::JobRow;
using kv6test::jobs;
using kv6test::jobsLayout;
using kv6test::manyJobs;
using kv6test::texts;
using kv6test::textsOf;

namespace {

QList<Job> sampleJobs()
{
    return {
        { QStringLiteral("alice"), QStringLiteral("HP 4050"), 10, 0.5 },
        { QStringLiteral("alice"), QStringLiteral("HP 4050"), 20, 1.25 },
        { QStringLiteral("bob"), QStringLiteral("Canon"), 5, 0.1 },
        { QStringLiteral("carol"), QStringLiteral("Canon"), 1, 0.01 },
        { QStringLiteral("carol"), QStringLiteral("Xerox"), 2, 0.02 },
        { QStringLiteral("carol"), QStringLiteral("Xerox"), 3, 0.03 },
    };
}

void loadJobs(ReportEngine &engine, const QList<Job> &rows = sampleJobs())
{
    kv6test::loadLayout(engine, jobsLayout, QStringLiteral("Jobs"));
    engine.setRecordset(jobs(rows));
}

// An engine and the document it renders into; a render that fails fails the test, saying why.
class RenderJobs : public ::testing::Test
{
protected:
    void render()
    {
        QString error;
        ASSERT_TRUE(engine.render(doc, &error)) << error.toStdString();
    }

    ReportEngine engine;
    PreviewDocument doc;
};

} // namespace

TEST_F(RenderJobs, GroupsTotalsAndAggregatesOverTheirGroup)
{
    loadJobs(engine);
    ASSERT_NO_FATAL_FAILURE(render());
    ASSERT_EQ(engine.pageCount(), 1);
    ASSERT_EQ(doc.pageCount(), 1);

    // The page header; each user's header and rows, then the user's totals; the report footer;
    // the page footer.
    const QList<QStringList> sections = {
        { "Print jobs" },
        { "alice", "HP 4050", "10", "0.50", "HP 4050", "20", "1.25" },
        { "30", "2 jobs", "15.0", "10-20" },
        { "bob", "Canon", "5", "0.10" },
        { "5", "1 jobs", "5.0", "5-5" },
        { "carol", "Canon", "1", "0.01", "Xerox", "2", "0.02", "Xerox", "3", "0.03" },
        { "6", "3 jobs", "2.0", "1-3" },
        { "41", "1.91", "41%" },
        { "Page 1 of 1" },
    };
    QStringList local;
    for (const QStringList &section : sections) {
        for (const QString &e : section)
            local << kv6test::localNumber(e);
    }
    EXPECT_EQ(textsOf(doc, 1), local);
}

TEST_F(RenderJobs, ItemsSitWhereTheLayoutPutsThem)
{
    loadJobs(engine);
    ASSERT_NO_FATAL_FAILURE(render());
    EXPECT_EQ(doc.pageSize(), QSizeF(12240, 15840));
    EXPECT_EQ(doc.margins(), QMarginsF(720, 720, 720, 720));

    // Page header at the top margin; alice's header after it; her rows after that.
    EXPECT_EQ(findText(doc, QStringLiteral("Print jobs")).rect, QRectF(720, 720, 5000, 400));
    EXPECT_EQ(findText(doc, QStringLiteral("alice")).rect, QRectF(720, 1120, 3000, 300));
    EXPECT_EQ(findText(doc, QStringLiteral("10")).rect, QRectF(720 + 4000, 1420, 1000, 300));
    EXPECT_EQ(findText(doc, QStringLiteral("20")).rect.top(), 1720);
    EXPECT_EQ(findText(doc, QStringLiteral("30")).rect.top(), 2020); // her footer
    EXPECT_EQ(findText(doc, QStringLiteral("bob")).rect.top(), 2320);
    EXPECT_EQ(findText(doc, QStringLiteral("10")).run.alignment, Qt::AlignRight | Qt::AlignTop);
    // The page footer sits on the bottom margin.
    EXPECT_EQ(findText(doc, QStringLiteral("Page 1 of 1")).rect.top(), 15840 - 720 - 300);
}

TEST_F(RenderJobs, PagesBreakWhenFullAndNumberThemselves)
{
    loadJobs(engine, manyJobs(100));
    engine.layout().continuedCaption = QStringLiteral("(cont.)");
    ASSERT_NO_FATAL_FAILURE(render());
    // 13700 twips of body (15840 - 1440 margins - 400 header - 300 footer) hold 45 rows of 300;
    // every page also holds the group header, repeated on the pages its rows continue to.
    const QList<kv6test::PlacedText> all = texts(doc);
    ASSERT_EQ(engine.pageCount(), 3);
    ASSERT_EQ(doc.pageCount(), 3);
    QList<int> rowsPerPage(4, 0);
    for (const auto &t : all) {
        if (t.text.startsWith(u'P') && t.text.size() <= 4) // printer names P0..P99
            ++rowsPerPage[t.page];
    }
    EXPECT_EQ(rowsPerPage[1], 44);
    EXPECT_EQ(rowsPerPage[2], 44);
    EXPECT_EQ(rowsPerPage[3], 12);
    for (int p = 1; p <= 3; ++p) {
        const QStringList onPage = textsOf(doc, p);
        EXPECT_EQ(onPage.first(), QStringLiteral("Print jobs")) << p;
        const QStringList top
            = { QStringLiteral("dave"), p == 1 ? QStringLiteral("P0") : QStringLiteral("(cont.)") };
        EXPECT_EQ(onPage.mid(1, 2), top) << p;
        EXPECT_EQ(onPage.last(), QStringLiteral("Page %1 of 3").arg(p));
        for (const auto &t : all) {
            if (t.page == p && t.text != QStringLiteral("Page %1 of 3").arg(p)) {
                EXPECT_LE(t.rect.bottom(), 15840 - 720 - 300) << t.text.toStdString();
            }
        }
    }
    // The second page's first row follows its page header and the repeated group header.
    EXPECT_EQ(findText(doc, QStringLiteral("P44")).page, 2);
    EXPECT_EQ(findText(doc, QStringLiteral("P44")).rect.top(), 720 + 400 + 300);
    // Totals over all hundred rows: 1 + 2 + ... + 100.
    EXPECT_EQ(findText(doc, QStringLiteral("5050")).page, 3);
}

TEST_F(RenderJobs, ForcedBreaksBeforeGroupsAndAfterACoverPage)
{
    loadJobs(engine);
    engine.Sections(GroupHeaderSection(1))->forcePageBreak = BreakBefore;
    Section *header = engine.Sections(SectionHeader);
    header->height = 1000;
    header->forcePageBreak = BreakAfter;
    Field *cover
        = engine.Fields().Add(QStringLiteral("lblCover"), QStringLiteral("Cover"), 0, 0, 4000, 400);
    ASSERT_NE(cover, nullptr);
    cover->section = SectionHeader;
    engine.layout().pageHeaderOnFirstPage = false;

    ASSERT_NO_FATAL_FAILURE(render());
    ASSERT_EQ(doc.pageCount(), 4);
    EXPECT_EQ(textsOf(doc, 1), QStringList({ "Cover", "Page 1 of 4" }));
    EXPECT_EQ(textsOf(doc, 2).mid(0, 2), QStringList({ "Print jobs", "alice" }));
    EXPECT_EQ(textsOf(doc, 3).mid(0, 2), QStringList({ "Print jobs", "bob" }));
    EXPECT_EQ(textsOf(doc, 4).mid(0, 2), QStringList({ "Print jobs", "carol" }));
    EXPECT_EQ(findText(doc, QStringLiteral("Cover")).rect.top(), 720);
    // The report footer follows the last group on its page.
    EXPECT_EQ(findText(doc, QStringLiteral("41")).page, 4);
}

TEST_F(RenderJobs, CanGrowFieldsPushLaterFieldsDown)
{
    const char *xml
        = R"xml(<Layouts><Report name="R" paper="Letter" marginLeft="720" marginTop="720" marginRight="720" marginBottom="720">
      <Font name="Arial" size="10"/>
      <Section type="Detail" height="600" canGrow="1">
        <Field name="txtPrinter" text="=Printer" left="0" top="0" width="2000" height="300" canGrow="1"/>
        <Field name="txtPages" text="=Pages" left="3000" top="0" width="1000" height="300"/>
        <Field name="txtUser" text="=UserName" left="0" top="300" width="2000" height="300"/>
      </Section>
      <Section type="Footer" height="300">
        <Field name="txtFixed" text="=Printer" left="0" top="0" width="2000" height="300"/>
        <Field name="txtOneLine" text="A caption that runs far past its box" left="5000" top="0" width="1000" height="300" wordWrap="0"/>
      </Section>
      <Section type="PageFooter" height="600">
        <Field name="txtBigSum" text="=Sum(Pages) * 1000000000" format="#,##0" align="6" left="0" top="0" width="1000" height="300"/>
        <Field name="txtMoney" text="$1,702,665.02" align="6" left="2000" top="0" width="1000" height="300"/>
        <Field name="txtCaption" text="Total pages" align="8" left="4000" top="0" width="600" height="600"/>
      </Section>
    </Report></Layouts>)xml";
    ASSERT_NO_FATAL_FAILURE(kv6test::loadLayout(engine, xml));
    const QString longName
        = QStringLiteral("Accounting department colour laser printer on the third floor");
    engine.setRecordset(jobs({ { QStringLiteral("u1"), longName, 1, 0 },
        { QStringLiteral("u2"), QStringLiteral("short"), 2, 0 } }));
    ASSERT_NO_FATAL_FAILURE(render());

    FontSpec font;
    font.name = QStringLiteral("Arial");
    font.size = 10;
    const double lh = lineHeight(font);
    const QStringList lines = wrapText(font, longName, 2000, true);
    ASSERT_GE(lines.size(), 3);
    const auto grown = findText(doc, lines.join(u'\n'));
    ASSERT_EQ(grown.page, 1);
    EXPECT_DOUBLE_EQ(grown.rect.height(), lines.size() * lh);
    const double growth = lines.size() * lh - 300;
    // The field beside it stays, the one below moves down by the growth, and so does the next row.
    EXPECT_EQ(findText(doc, QStringLiteral("1")).rect.top(), 720);
    EXPECT_DOUBLE_EQ(findText(doc, QStringLiteral("u1")).rect.top(), 720 + 300 + growth);
    EXPECT_DOUBLE_EQ(findText(doc, QStringLiteral("short")).rect.top(), 720 + 600 + growth);
    // Without canGrow the text keeps its box and is cut at it.
    const auto fixed = findText(doc, QStringLiteral("short"));
    EXPECT_EQ(fixed.rect.height(), 300);
    for (const auto &t : texts(doc)) {
        if (t.rect.top() > findText(doc, QStringLiteral("u2")).rect.top()
            && t.text.startsWith(u'A')) {
            EXPECT_EQ(t.rect.height(), 300); // the footer's copy of the long name
            EXPECT_LE(t.run.clip.height(), 300);
        }
    }
    // A line that does not wrap is cut at its box's right edge: no ink right of it.
    const auto oneLine = findText(doc, QStringLiteral("A caption that runs far past its box"));
    ASSERT_EQ(oneLine.page, 1);
    const QImage page = doc.renderPage(oneLine.page, 72);
    int inside = 0, outside = 0;
    for (int y = int(oneLine.rect.top() / 20); y < int(oneLine.rect.bottom() / 20); ++y)
        for (int x = int(oneLine.rect.left() / 20); x < page.width(); ++x)
            if (QColor(page.pixel(x, y)).lightness() < 128)
                ++(x <= int(oneLine.rect.right() / 20) ? inside : outside);
    EXPECT_GT(inside, 0);
    EXPECT_EQ(outside, 0);
    // A figure too wide for its box stays whole on one line, smaller; money comes as text, and a
    // right-aligned text in a one-line box is taken for a figure. A caption with room for two
    // lines still wraps.
    for (const QString &figure :
        { QStringLiteral("3,000,000,000"), QStringLiteral("$1,702,665.02") }) {
        const auto whole = findText(doc, figure);
        ASSERT_EQ(whole.page, 1) << figure.toStdString();
        EXPECT_LT(whole.run.font.size, 10);
        EXPECT_GE(whole.run.font.size, 10.0 * 2 / 3);
        EXPECT_LE(textWidth(whole.run.font, figure), 1000);
    }
    EXPECT_EQ(findText(doc, QStringLiteral("Total\npages")).run.font.size, 10);
}

TEST_F(RenderJobs, FormatStringsApplyToCalculatedValues)
{
    const char *xml = R"xml(<Layouts><Report name="R">
      <Section type="Detail" height="300">
        <Field name="a" text="=Cost" format="Currency" left="0" top="0" width="1500" height="300"/>
        <Field name="b" text="=JobDate" format="yyyy-mm-dd hh:nn" left="1500" top="0" width="2000" height="300"/>
        <Field name="c" text="=Pages / 8" format="0%" left="3500" top="0" width="1000" height="300"/>
        <Field name="d" text="=IIf(Pages &gt; 5, &quot;big&quot;, &quot;small&quot;)" left="4500" top="0" width="1000" height="300"/>
        <Field name="e" text="=Format(Pages * 1000, &quot;#,##0&quot;)" left="5500" top="0" width="1000" height="300"/>
        <Field name="f" text="#,##0" format="0.00" left="6500" top="0" width="1000" height="300"/>
      </Section></Report></Layouts>)xml";
    ASSERT_NO_FATAL_FAILURE(kv6test::loadLayout(engine, xml));
    engine.setRecordset(jobs({ { QStringLiteral("zoë"), QStringLiteral("p"), 6, 1234.5 } }));
    ASSERT_NO_FATAL_FAILURE(render());
    const QStringList got = textsOf(doc, 1);
    ASSERT_EQ(got.size(), 6);
    EXPECT_EQ(
        got[0], QLocale::system().toCurrencyString(1234.5, QLocale::system().currencySymbol(), 2));
    EXPECT_EQ(got[1], QStringLiteral("2024-03-01 09:30"));
    EXPECT_EQ(got[2], QStringLiteral("75%"));
    EXPECT_EQ(got[3], QStringLiteral("big"));
    EXPECT_EQ(
        got[4], QStringLiteral("6") + QLocale::system().groupSeparator() + QStringLiteral("000"));
    EXPECT_EQ(got[5], QStringLiteral("#,##0")); // a literal is shown as written
}

namespace {

// The alternating-rows script a host appends to the detail section, and the hidden counter.
void addAlternation(ReportEngine &engine)
{
    Field *counter
        = engine.Fields().Add(QStringLiteral("ctlAlternate"), QStringLiteral("0"), 0, 0, 0, 0);
    ASSERT_NE(counter, nullptr);
    counter->visible = false;
    counter->section = engine.layout().sectionIndex(QStringLiteral("Header"));
    Section *detail = engine.layout().section(QStringLiteral("Detail"));
    detail->onFormat += QStringLiteral("\r\n")
        + QStringList { "If (ctlAlternate = 0) Then", "[Detail].BackColor = 16777215",
              "ctlAlternate = 1", "Else", "[Detail].BackColor = 15790320", "ctlAlternate = 0",
              "End If" }
              .join(QStringLiteral("\r\n"));
}

// Whether the detail row whose printer text is `printer` has the grey background behind it.
bool greyRow(const PreviewDocument &doc, const QString &printer)
{
    const auto t = findText(doc, printer);
    for (const auto &item : doc.page(t.page).items) {
        const auto *b = std::get_if<BoxItem>(&item);
        if (b && b->filled && b->rect.contains(t.rect.center()))
            return b->fill == qRgb(240, 240, 240);
    }
    return false;
}

} // namespace

TEST_F(RenderJobs, SectionScriptsAlternateRowsAndRestartOnEveryPage)
{
    loadJobs(engine, manyJobs(60));
    addAlternation(engine);
    kv6test::EventLog host;
    // The host puts the counter back on every page, as the program's page event does.
    host.onPage = [&](int) {
        engine.Fields().item(QStringLiteral("ctlAlternate"))->text = QStringLiteral("0");
    };
    engine.setListener(&host);
    ASSERT_NO_FATAL_FAILURE(render());
    ASSERT_EQ(doc.pageCount(), 2);
    kv6test::keepPdf(doc, QStringLiteral("alternate"));
    for (int i = 0; i < 44; ++i)
        EXPECT_EQ(greyRow(doc, QStringLiteral("P%1").arg(i)), i % 2 == 1) << i;
    // Page 2 starts white again, however the last row of page 1 ended.
    EXPECT_EQ(findText(doc, QStringLiteral("P44")).page, 2);
    for (int i = 44; i < 60; ++i)
        EXPECT_EQ(greyRow(doc, QStringLiteral("P%1").arg(i)), (i - 44) % 2 == 1) << i;
}

TEST_F(RenderJobs, ScriptsReachFieldsSectionsAndTheReportScript)
{
    loadJobs(engine);
    engine.layout().script = QStringLiteral("Function Twice(x)\r\n Twice = x * 2\r\nEnd Function");
    Section *detail = engine.Sections(SectionDetail);
    detail->onFormat = QStringLiteral(
        "If Pages >= 20 Then\r\n txtPages.ForeColor = 255\r\n txtCost.Visible = False\r\n"
        "Else\r\n txtPages.ForeColor = 0\r\n txtCost.Visible = True\r\nEnd If\r\n"
        "If UserName = \"bob\" Then txtPrinter = \"(\" & Printer & \")\"");
    engine.Fields().item(QStringLiteral("txtUserAvg"))->text = QStringLiteral("=Twice(Sum(Pages))");
    ASSERT_NO_FATAL_FAILURE(render());
    EXPECT_EQ(findText(doc, QStringLiteral("20")).run.color, qRgb(255, 0, 0));
    EXPECT_EQ(findText(doc, QStringLiteral("10")).run.color, qRgb(0, 0, 0));
    EXPECT_EQ(findText(doc, kv6test::localNumber("1.25")).page, 0); // hidden on the 20-page row
    EXPECT_EQ(findText(doc, kv6test::localNumber("0.50")).page, 1);
    // An expression field shows the value a script gives it for that row only.
    EXPECT_EQ(findText(doc, QStringLiteral("(Canon)")).page, 1);
    EXPECT_EQ(findText(doc, QStringLiteral("Xerox")).page, 1);
    EXPECT_EQ(findText(doc, kv6test::localNumber("60.0")).page, 1); // Twice(30)
}

TEST_F(RenderJobs, EventsComeInOrderWithTheEngineIndex)
{
    loadJobs(engine,
        { { QStringLiteral("a"), QStringLiteral("p"), 1, 0 },
            { QStringLiteral("a"), QStringLiteral("q"), 2, 0 } });
    engine.setIndex(3);
    kv6test::EventLog host;
    engine.setListener(&host);
    ASSERT_NO_FATAL_FAILURE(render());
    auto both = [](int s) {
        return QStringList { QStringLiteral("format 3 %1").arg(s),
            QStringLiteral("formatted 3 %1").arg(s) };
    };
    QStringList expected { "start 3", "page 3 1" };
    expected << both(SectionPageHeader) << both(GroupHeaderSection(1)) << both(SectionDetail)
             << both(SectionDetail) << both(GroupFooterSection(1)) << both(SectionFooter)
             << both(SectionPageFooter);
    // The report header has nothing in it, so it is not formatted.
    EXPECT_EQ(host.events, expected);
}

TEST_F(RenderJobs, TheHostMayChangeTheLayoutAtReportStart)
{
    class Host : public EngineListener
    {
    public:
        ReportEngine *engine;
        int sectionWithTitle = -1;
        double titleHeight = 0;
        void reportStart(int) override
        {
            // As the program does for currency fields: the text becomes an expression.
            Field *f = engine->Fields().item(QStringLiteral("txtCost"));
            f->text = QStringLiteral("\"$\" & (") + f->text.mid(1) + QStringLiteral(") * 2");
            f->format.clear();
            f->calculated = true;
        }
        void sectionFormatted(int, int section) override
        {
            Field *title = engine->Fields().item(QStringLiteral("lblTitle"));
            if (title->section == section)
                titleHeight = title->height;
        }
    } host;
    loadJobs(engine);
    host.engine = &engine;
    engine.setListener(&host);
    ASSERT_NO_FATAL_FAILURE(render());
    EXPECT_EQ(findText(doc, QStringLiteral("$") + kv6test::localNumber("2.5")).page, 1);
    EXPECT_EQ(host.titleHeight, 400);
}

TEST_F(RenderJobs, MistakesInExpressionsAndScriptsNameWhereTheyAre)
{
    struct Case
    {
        QString field, fieldText, script, expected;
    };
    const QList<Case> cases = {
        { "txtPages", "=Pages +* 2", "", "field txtPages, line 1" },
        { "txtPages", "=Pages & Left(\"x\")", "", "field txtPages" }, // wrong argument count
        { "", "", "If Then", "section Detail script" },
        { "txtUser", "=Sum(Pages", "", "field txtUser" },
        { "", "", "txtPages.NoSuchThing = 1", "section Detail script" },
    };
    for (const Case &c : cases) {
        ReportEngine engine;
        loadJobs(engine);
        if (!c.field.isEmpty())
            engine.Fields().item(c.field)->text = c.fieldText;
        engine.Sections(SectionDetail)->onFormat = c.script;
        PreviewDocument doc;
        QString error;
        EXPECT_FALSE(engine.render(doc, &error))
            << c.fieldText.toStdString() << c.script.toStdString();
        EXPECT_TRUE(error.contains(c.expected)) << error.toStdString();
    }
}

TEST_F(RenderJobs, EmptyDataPrintsHeadersAndFootersOnce)
{
    loadJobs(engine, {});
    ASSERT_NO_FATAL_FAILURE(render());
    EXPECT_EQ(engine.pageCount(), 1);
    // Sum of nothing is Null (shown empty); the report footer still prints.
    EXPECT_EQ(textsOf(doc, 1), QStringList({ "Print jobs", "Page 1 of 1" }));

    engine.Fields().item(QStringLiteral("txtTotalPages"))->text
        = QStringLiteral("=Count(*) & \" rows\"");
    ASSERT_TRUE(engine.render(doc));
    EXPECT_EQ(textsOf(doc, 1), QStringList({ "Print jobs", "0 rows", "Page 1 of 1" }));

    engine.setRecordset(nullptr);
    ASSERT_TRUE(engine.render(doc));
    EXPECT_EQ(engine.pageCount(), 1);
}

TEST_F(RenderJobs, GroupsSortAndKeepTheirHeaderWithTheFirstRow)
{
    // Unsorted data: the group sorts it, keeping row order within each user.
    QList<Job> rows
        = { { "m", "m1", 1, 0 }, { "a", "a1", 2, 0 }, { "m", "m2", 3, 0 }, { "a", "a2", 4, 0 } };
    loadJobs(engine, rows);
    engine.layout().group(1).sort = 1;
    ASSERT_NO_FATAL_FAILURE(render());
    const QStringList got = textsOf(doc, 1);
    EXPECT_LT(got.indexOf(QStringLiteral("a2")), got.indexOf(QStringLiteral("m1")));
    EXPECT_LT(got.indexOf(QStringLiteral("a1")), got.indexOf(QStringLiteral("a2")));
    EXPECT_LT(got.indexOf(QStringLiteral("m1")), got.indexOf(QStringLiteral("m2")));
    EXPECT_TRUE(got.contains(QStringLiteral("6"))); // a's total
    engine.layout().group(1).sort = 2;
    ASSERT_TRUE(engine.render(doc));
    EXPECT_LT(textsOf(doc, 1).indexOf(QStringLiteral("m2")),
        textsOf(doc, 1).indexOf(QStringLiteral("a1")));

    // 43 rows of one user, then another user: the second group header (with its footer before
    // it) would land on the last line of page 1 without its first row.
    QList<Job> fill = manyJobs(42, QStringLiteral("first"));
    fill.append({ QStringLiteral("second"), QStringLiteral("S0"), 1, 0 });
    fill.append({ QStringLiteral("second"), QStringLiteral("S1"), 1, 0 });
    ReportEngine keep;
    loadJobs(keep, fill);
    ASSERT_TRUE(keep.render(doc));
    EXPECT_EQ(findText(doc, QStringLiteral("second")).page, 1);
    EXPECT_EQ(findText(doc, QStringLiteral("S0")).page, 2);
    keep.layout().group(1).keepTogether = 2;
    ASSERT_TRUE(keep.render(doc));
    EXPECT_EQ(findText(doc, QStringLiteral("second")).page, 2);
    EXPECT_EQ(findText(doc, QStringLiteral("S0")).page, 2);
    EXPECT_EQ(findText(doc, QStringLiteral("second")).rect.top(), 720 + 400);
}

TEST_F(RenderJobs, TallSectionsSplitBetweenLinesWhenAllowed)
{
    loadJobs(engine, { { QStringLiteral("u"), QString(), 1, 0 } });
    Field *printer = engine.Fields().item(QStringLiteral("txtPrinter"));
    printer->canGrow = true;
    engine.Sections(SectionDetail)->canGrow = true;
    engine.Sections(SectionDetail)->keepTogether = false;
    QStringList many;
    for (int i = 0; i < 80; ++i)
        many << QStringLiteral("line %1").arg(i);
    printer->text
        = QStringLiteral("=\"") + many.join(QStringLiteral("\" & Chr(13) & Chr(10) & \"")) + u'"';
    ASSERT_NO_FATAL_FAILURE(render());
    ASSERT_EQ(doc.pageCount(), 2);
    kv6test::keepPdf(doc, QStringLiteral("split"));
    // The same text run goes on both pages, each clipped to whole lines within the body.
    QList<kv6test::PlacedText> parts;
    for (const auto &t : texts(doc)) {
        if (t.text.startsWith(QStringLiteral("line 0")))
            parts.append(t);
    }
    ASSERT_EQ(parts.size(), 2);
    FontSpec f;
    f.size = 9;
    const double lh = lineHeight(f);
    const QRectF first = parts[0].run.clip, second = parts[1].run.clip;
    EXPECT_LE(first.bottom(), 15840 - 720 - 300 + 0.5);
    const double linesOnFirst = (first.bottom() - parts[0].rect.top()) / lh;
    EXPECT_NEAR(linesOnFirst, std::round(linesOnFirst), 1e-6); // cut between lines
    EXPECT_EQ(second.top(), 720 + 400 + 300) << "below the user's header, repeated";
    // Page 2 continues with the next line at its body's top.
    EXPECT_NEAR(parts[1].rect.top() + linesOnFirst * lh, second.top(), 1e-6);
}

TEST_F(RenderJobs, WholeGroupsMoveToTheNextPageWhenTheyFitThere)
{
    // 30 rows of the first user leave 13700 - 9600 = 4100 twips; the second user's group needs
    // 300 + 20 * 300 + 300.
    QList<Job> rows = manyJobs(30, QStringLiteral("first"));
    for (int i = 0; i < 20; ++i)
        rows.append({ QStringLiteral("second"), QStringLiteral("S%1").arg(i), 1, 0 });
    loadJobs(engine, rows);
    ASSERT_NO_FATAL_FAILURE(render());
    EXPECT_EQ(findText(doc, QStringLiteral("second")).page, 1);
    engine.layout().group(1).keepTogether = 1;
    ASSERT_TRUE(engine.render(doc));
    EXPECT_EQ(findText(doc, QStringLiteral("second")).page, 2);
    EXPECT_EQ(findText(doc, QStringLiteral("S19")).page, 2);
    // A group too long for any page starts where it is.
    rows = manyJobs(30, QStringLiteral("first"));
    for (int i = 0; i < 60; ++i)
        rows.append({ QStringLiteral("second"), QStringLiteral("S%1").arg(i), 1, 0 });
    engine.setRecordset(jobs(rows));
    ASSERT_TRUE(engine.render(doc));
    EXPECT_EQ(findText(doc, QStringLiteral("second")).page, 1);
}

TEST_F(RenderJobs, LinesBoxesPicturesAndBordersBecomeTheirItems)
{
    const char *xml
        = R"xml(<Layouts><Report name="R" paper="Letter" marginLeft="1000" marginTop="500" marginRight="1000" marginBottom="500">
      <Section type="Header" height="2000" backColor="255">
        <Line name="lin" x1="0" y1="100" x2="5000" y2="100" lineWidth="30" borderColor="65280" borderStyle="2"/>
        <Rectangle name="rct" left="100" top="200" width="3000" height="400" backColor="16711680" backStyle="1" borderStyle="0"/>
        <Picture name="pic" left="4000" top="200" width="1440" height="720" pictureScale="1"/>
        <Field name="boxed" text="framed" left="100" top="800" width="2000" height="300" borderStyle="1" borderColor="255" lineWidth="20" backStyle="1" backColor="65535"/>
        <Field name="hidden" text="not shown" left="100" top="1200" width="2000" height="300" visible="0"/>
      </Section></Report></Layouts>)xml";
    ASSERT_NO_FATAL_FAILURE(kv6test::loadLayout(engine, xml));
    QImage img(10, 10, QImage::Format_RGB32);
    img.fill(Qt::green);
    engine.Fields().item(QStringLiteral("pic"))->picture = Picture::fromImage(img);
    ASSERT_NO_FATAL_FAILURE(render());
    const QList<DisplayItem> &items = doc.page(1).items;
    ASSERT_EQ(items.size(), 7);
    const auto &back = std::get<BoxItem>(items[0]); // the section's colour, under everything
    EXPECT_EQ(back.rect, QRectF(1000, 500, 12240 - 2000, 2000));
    EXPECT_EQ(back.fill, qRgb(255, 0, 0));
    const auto &line = std::get<LineItem>(items[1]);
    EXPECT_EQ(line.from, QPointF(1000, 600));
    EXPECT_EQ(line.to, QPointF(6000, 600));
    EXPECT_EQ(line.width, 30);
    EXPECT_EQ(line.color, qRgb(0, 255, 0));
    EXPECT_EQ(line.style, Qt::DashLine);
    const auto &rect = std::get<BoxItem>(items[2]);
    EXPECT_EQ(rect.rect, QRectF(1100, 700, 3000, 400));
    EXPECT_TRUE(rect.filled);
    EXPECT_EQ(rect.fill, qRgb(0, 0, 255));
    EXPECT_EQ(rect.lineStyle, Qt::NoPen);
    const auto &pic = std::get<PictureItem>(items[3]);
    EXPECT_EQ(pic.rect, QRectF(5000, 700, 1440, 720));
    EXPECT_EQ(pic.scaleMode, PictureStretch);
    // A framed field: its back colour, its text, then its border on top.
    EXPECT_EQ(std::get<BoxItem>(items[4]).fill, qRgb(255, 255, 0));
    EXPECT_EQ(std::get<TextRun>(items[5]).text, QStringLiteral("framed"));
    const auto &frame = std::get<BoxItem>(items[6]);
    EXPECT_FALSE(frame.filled);
    EXPECT_EQ(frame.lineStyle, Qt::SolidLine);
    EXPECT_EQ(frame.lineWidth, 20);
    EXPECT_EQ(frame.rect, QRectF(1100, 1300, 2000, 300));
}
