#include "engine/layout.h"
#include "engine/previewdocument.h"
#include "testenv.h"

#include <gtest/gtest.h>

#include <QPainter>
#include <QTemporaryDir>

#include <tuple>

using namespace kv6::engine;

namespace {

const char *twoReports = R"xml(<?xml version="1.0" encoding="UTF-8"?>
<Layouts version="1">
  <Report name="First" paper="Letter"><Section type="Detail" height="100"/></Report>
  <Report name="Pages by User" paper="A4" orientation="landscape" width="14000"
          marginLeft="500" marginTop="600" marginRight="700" marginBottom="800"
          pageHeaderOnFirstPage="0">
    <Font name="Tahoma" size="8" charset="204"/>
    <Script><![CDATA[Function Half(x)
  Half = x / 2
End Function]]></Script>
    <Group name="ByCompany" groupBy="Company" keepTogether="1"/>
    <Group name="ByUser" groupBy="UserName" sort="2" keepTogether="2"/>
    <Section type="Header" height="1440" forcePageBreak="2" canGrow="1">
      <Field name="lblTitle" text="Pages by user" left="0" top="0" width="6000" height="400"
             foreColor="&amp;H000000FF&amp;" align="4">
        <Font name="Arial" size="14" bold="1"/>
      </Field>
      <Line name="linSeparate" x1="0" y1="500" x2="14000" y2="500" lineWidth="20" color="8421504"/>
      <Rectangle name="rctColHeader" left="0" top="600" width="14000" height="300"
                 backColor="13816530" backStyle="1"/>
    </Section>
    <Section index="7" height="300" backColor="15790320"/>
    <Section type="GroupFooter" group="2" name="UserFooter" height="250" keepTogether="0">
      <Field name="txtTotal" left="100" top="0" width="1500" height="250" format="#,##0"
             calculated="true" canGrow="yes" wordWrap="0">
        <Text>Sum(Pages)</Text>
      </Field>
    </Section>
    <Section type="Detail" height="260">
      <Script><![CDATA[If Pages > 100 Then txtPages.ForeColor = 255]]></Script>
      <Field name="txtPages" text="=Pages" left="4000" top="0" width="1500" height="260" align="9"
             tag="fmt" visible="-1"/>
      <Picture name="picLogo" left="0" top="0" width="720" height="260" pictureScale="10"/>
    </Section>
  </Report>
</Layouts>
)xml";

bool loadSample(ReportLayout &r, QString *error = nullptr, const char *name = "pages BY user")
{
    return loadLayoutXml(QByteArray(twoReports), QString::fromLatin1(name), r, error);
}

} // namespace

TEST(Layout, ReadsReportsSectionsGroupsAndFields)
{
    ReportLayout r;
    QString error;
    ASSERT_TRUE(loadSample(r, &error)) << error.toStdString();
    EXPECT_EQ(r.name, QStringLiteral("Pages by User"));
    EXPECT_EQ(r.pageSize(), QSizeF(16838, 11906)); // A4 turned
    EXPECT_EQ(r.margins, QMarginsF(500, 600, 700, 800));
    EXPECT_EQ(r.layoutWidth(), 14000);
    EXPECT_FALSE(r.pageHeaderOnFirstPage);
    EXPECT_TRUE(r.pageFooterOnFirstPage);
    EXPECT_EQ(r.font.name, QStringLiteral("Tahoma"));
    EXPECT_EQ(r.font.charset, 204);
    EXPECT_TRUE(r.script.contains(QStringLiteral("Half = x / 2")));

    ASSERT_EQ(r.groupCount(), 2);
    EXPECT_EQ(r.group(2).groupBy, QStringLiteral("UserName"));
    EXPECT_EQ(r.group(2).sort, 2);
    EXPECT_EQ(r.group(1).keepTogether, 1);
    ASSERT_EQ(r.sectionCount(), 9);
    EXPECT_EQ(r.section(1)->forcePageBreak, BreakAfter);
    EXPECT_TRUE(r.section(1)->canGrow);
    // Index 7 is group 2's header; the footer was found by type and renamed.
    EXPECT_EQ(r.section(GroupHeaderSection(2))->backColor, 15790320);
    EXPECT_EQ(r.section(QStringLiteral("GroupHeader2")), r.section(7));
    EXPECT_EQ(r.sectionIndex(QStringLiteral("userfooter")), GroupFooterSection(2));
    EXPECT_FALSE(r.section(8)->keepTogether);
    EXPECT_TRUE(
        r.section(QStringLiteral("Detail"))->onFormat.contains(QStringLiteral("ForeColor = 255")));
    EXPECT_EQ(r.section(42), nullptr);

    ASSERT_EQ(r.fields.count(), 6);
    const Field *title = r.fields.item(QStringLiteral("LBLTITLE"));
    ASSERT_NE(title, nullptr);
    EXPECT_EQ(title, r.fields.item(1));
    EXPECT_EQ(title->foreColor, 255);
    EXPECT_EQ(title->font.name, QStringLiteral("Arial"));
    EXPECT_TRUE(title->font.bold);
    EXPECT_EQ(title->section, SectionHeader);
    EXPECT_EQ(qtAlignment(title->align), Qt::AlignHCenter | Qt::AlignVCenter);

    const Field *line = r.fields.item(QStringLiteral("linSeparate"));
    EXPECT_EQ(line->kind, FieldKind::Line);
    EXPECT_EQ(line->width, 14000);
    EXPECT_EQ(line->height, 0);
    EXPECT_EQ(line->borderColor, 8421504);
    EXPECT_EQ(line->borderStyle, 1);
    const Field *rect = r.fields.item(QStringLiteral("rctColHeader"));
    EXPECT_EQ(rect->kind, FieldKind::Rectangle);
    EXPECT_TRUE(rect->backOpaque);

    const Field *total = r.fields.item(QStringLiteral("txtTotal"));
    EXPECT_EQ(total->text, QStringLiteral("Sum(Pages)"));
    EXPECT_TRUE(total->isExpression());
    EXPECT_TRUE(total->canGrow);
    EXPECT_FALSE(total->wordWrap);
    EXPECT_EQ(total->section, GroupFooterSection(2));
    // Fields without a font of their own take the report's.
    EXPECT_EQ(total->font.name, QStringLiteral("Tahoma"));

    const Field *pages = r.fields.item(QStringLiteral("txtPages"));
    EXPECT_TRUE(pages->isExpression());
    EXPECT_EQ(pages->expression(), QStringLiteral("Pages"));
    EXPECT_EQ(qtAlignment(pages->align, true), Qt::AlignRight | Qt::AlignTop);
    EXPECT_EQ(qtAlignment(pages->align, false), Qt::AlignLeft | Qt::AlignTop);
    EXPECT_EQ(pages->tag, QStringLiteral("fmt"));
    EXPECT_EQ(r.fields.item(QStringLiteral("picLogo"))->pictureScale, PictureFit);
    EXPECT_EQ(r.sectionFields(SectionDetail).size(), 2);

    ReportLayout first;
    ASSERT_TRUE(loadSample(first, &error, "First"));
    EXPECT_EQ(first.pageSize(), QSizeF(12240, 15840));
    EXPECT_EQ(first.layoutWidth(), 12240 - 2 * 1440);
}

TEST(Layout, ErrorsNameTheFileLineAndWhatIsWrong)
{
    QTemporaryDir dir;
    auto write = [&](const QByteArray &xml) {
        const QString path = dir.filePath(QStringLiteral("bad.xml"));
        kv6test::writeFile(path, xml);
        return path;
    };
    ReportLayout r;
    r.name = QStringLiteral("untouched");
    QString error;

    struct Case
    {
        QByteArray xml;
        QString expected;
    };
    const QList<Case> cases = {
        { "<Layouts>\n<Report name=\"R\">\n<Section type=\"Detail\"", "line 3" },
        { "<Reports><Report name=\"R\"/></Reports>", "with no <Layouts>" },
        { "<Layouts><Report name=\"Other\"/></Layouts>", "There is no report \"R\"" },
        { "<Layouts>\n<Report name=\"R\">\n<Section type=\"Detail\" "
          "height=\"tall\"/></Report></Layouts>",
            "line 3: height of <Section> is not a number: \"tall\"" },
        { "<Layouts><Report name=\"R\"><Section type=\"Detail\" "
          "height=\"inf\"/></Report></Layouts>",
            "height of <Section> is not a number: \"inf\"" },
        { "<Layouts><Report name=\"R\"><Section type=\"Detail\"><Field name=\"f\" "
          "borderStyle=\"1e102\"/></Section></Report></Layouts>",
            "borderStyle of Field \"f\" is out of range: \"1e102\"" },
        { "<Layouts><Report name=\"R\">\n<Section type=\"GroupHeader\" "
          "group=\"2\"/></Report></Layouts>",
            "section 7 does not exist (the report has 0 groups)" },
        { "<Layouts><Report name=\"R\"><Section type=\"Detail\">\n<Field name=\"a\"/>\n<Field "
          "name=\"A\"/></Section></Report></Layouts>",
            "line 3: the field name \"A\" is used twice" },
        { "<Layouts><Report name=\"R\"><Section type=\"Detail\"><Field name=\"c\" "
          "foreColor=\"red\"/></Section></Report></Layouts>",
            "foreColor of Field \"c\" is not a colour" },
        { "<Layouts><Report name=\"R\"><Section type=\"Detail\"><Field name=\"c\" "
          "align=\"12\"/></Section></Report></Layouts>",
            "align of Field \"c\" is not 0 to 9" },
        { "<Layouts><Report name=\"R\" paper=\"A9000\"/></Layouts>", "unknown paper \"A9000\"" },
        { "<Layouts><Report name=\"R\"><Section type=\"Middle\"/></Report></Layouts>",
            "unknown section type \"Middle\"" },
        { "<Layouts><Report name=\"R\"><Section type=\"Detail\"><Picture name=\"p\" "
          "picture=\"nothere.png\"/></Section></Report></Layouts>",
            "nothere.png" },
        { "<Layouts><Report name=\"R\"><Group name=\"g\"/></Report></Layouts>",
            "group \"g\" has no groupBy" },
    };
    for (const Case &c : cases) {
        const QString path = write(c.xml);
        EXPECT_FALSE(loadLayout(path, QStringLiteral("R"), r, &error)) << c.xml.constData();
        EXPECT_TRUE(error.contains(c.expected))
            << "expected \"" << c.expected.toStdString() << "\" in: " << error.toStdString();
        EXPECT_TRUE(error.contains(path) || c.expected.startsWith(u"There")) << error.toStdString();
    }
    EXPECT_EQ(r.name, QStringLiteral("untouched"));
    EXPECT_FALSE(
        loadLayout(dir.filePath(QStringLiteral("none.xml")), QStringLiteral("R"), r, &error));
    EXPECT_TRUE(error.contains(QStringLiteral("none.xml")));
}

TEST(Layout, PicturesLoadBesideTheFileAndListsNameTheReports)
{
    QTemporaryDir dir;
    QImage img(30, 10, QImage::Format_RGB32);
    img.fill(qRgb(1, 2, 3));
    ASSERT_TRUE(img.save(dir.filePath(QStringLiteral("logo.png"))));
    const QString file = dir.filePath(QStringLiteral("l.xml"));
    kv6test::writeFile(file,
        "<Layouts><Report name=\"A\"><Section type=\"Header\"><Picture name=\"picLogo\" "
        "picture=\"logo.png\" left=\"0\" top=\"0\" width=\"450\" height=\"150\"/></Section>"
        "</Report><Report name=\"B\"/></Layouts>");
    EXPECT_EQ(layoutReportNames(file), QStringList({ "A", "B" }));
    ReportLayout r;
    QString error;
    // Also when the folder and the name were joined with a backslash.
    const QString windowsStyle = dir.path() + QStringLiteral("\\l.xml");
    ASSERT_TRUE(loadLayout(windowsStyle, QStringLiteral("a"), r, &error)) << error.toStdString();
    const Picture pic = r.fields.item(QStringLiteral("picLogo"))->picture;
    ASSERT_FALSE(pic.isNull());
    EXPECT_EQ(pic.image().pixel(5, 5), qRgb(1, 2, 3));
    EXPECT_EQ(pic.sizeTwips(), QSizeF(450, 150)); // 96 dpi: 15 twips a pixel
}

TEST(Layout, WritesWhatItReads)
{
    ReportLayout r;
    ASSERT_TRUE(loadSample(r));
    QImage img(4, 4, QImage::Format_RGB32);
    img.fill(qRgb(9, 8, 7));
    r.fields.item(QStringLiteral("picLogo"))->picture = Picture::fromImage(img);
    QPicture vector;
    {
        QPainter p(&vector);
        p.fillRect(QRect(0, 0, 20, 20), Qt::red);
    }
    Field chart;
    chart.name = QStringLiteral("picChart");
    chart.kind = FieldKind::Picture;
    chart.picture = Picture::fromVector(vector, QRectF(0, 0, 20, 20));
    chart.section = SectionFooter;
    chart.font = r.font;
    ASSERT_NE(r.fields.add(chart), nullptr);

    ReportLayout first;
    ASSERT_TRUE(loadSample(first, nullptr, "First"));
    const QByteArray xml = layoutsToXml({ first, r });
    ReportLayout back;
    QString error;
    ASSERT_TRUE(loadLayoutXml(xml, QStringLiteral("Pages by User"), back, &error))
        << error.toStdString() << xml.constData();

    EXPECT_EQ(back.pageSize(), r.pageSize());
    EXPECT_EQ(back.margins, r.margins);
    EXPECT_EQ(back.font, r.font);
    EXPECT_EQ(back.script, r.script);
    EXPECT_EQ(back.pageHeaderOnFirstPage, r.pageHeaderOnFirstPage);
    ASSERT_EQ(back.groupCount(), 2);
    EXPECT_EQ(back.group(2).sort, 2);
    // Everything the file holds of a section or a field comes back.
    const auto section = [](const Section &s) {
        return std::tuple(s.name, s.visible, s.height, s.canGrow, s.canShrink, s.forcePageBreak,
            s.backColor, s.keepTogether, s.onFormat);
    };
    const auto field = [](const Field &f) {
        return std::tuple(f.name, f.kind, f.text, f.left, f.top, f.width, f.height, f.foreColor,
            f.backColor, f.backOpaque, f.borderStyle, f.borderColor, f.lineWidth, f.visible,
            f.format, f.align, f.tag, f.calculated, f.font, f.picture.isNull(), f.pictureScale,
            f.canGrow, f.canShrink, f.wordWrap, f.section, f.subreportName);
    };
    ASSERT_EQ(back.sectionCount(), r.sectionCount());
    for (int i = 0; i < r.sectionCount(); ++i)
        EXPECT_EQ(section(*back.section(i)), section(*r.section(i))) << i;
    ASSERT_EQ(back.fields.count(), r.fields.count());
    for (int i = 1; i <= r.fields.count(); ++i) {
        const Field &a = *r.fields.item(i);
        ASSERT_NE(back.fields.item(a.name), nullptr) << a.name.toStdString();
        EXPECT_EQ(field(*back.fields.item(a.name)), field(a)) << a.name.toStdString();
    }
    EXPECT_EQ(
        back.fields.item(QStringLiteral("picLogo"))->picture.image().pixel(1, 1), qRgb(9, 8, 7));
    const Picture v = back.fields.item(QStringLiteral("picChart"))->picture;
    EXPECT_TRUE(v.isVector());
    EXPECT_EQ(v.frame(), QRectF(0, 0, 20, 20));
}

TEST(Layout, FieldsAddByNameOnceAndCopiesAreDeep)
{
    ReportLayout r;
    Field *a = r.fields.Add(QStringLiteral("ctlAlternate"), QStringLiteral("0"), 0, 0, 0, 0);
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(a->section, SectionDetail);
    EXPECT_FALSE(a->isExpression());
    EXPECT_EQ(r.fields.Add(QStringLiteral("CTLALTERNATE"), QString(), 0, 0, 0, 0), nullptr);
    for (int i = 0; i < 50; ++i)
        r.fields.Add(QStringLiteral("f%1").arg(i), QString(), i, 0, 10, 10);
    // Earlier fields keep their address however many follow.
    EXPECT_EQ(r.fields.item(QStringLiteral("ctlalternate")), a);
    EXPECT_EQ(r.fields.item(51)->name, QStringLiteral("f49"));
    EXPECT_EQ(r.fields.item(52), nullptr);
    EXPECT_EQ(r.fields.item(0), nullptr);

    ReportLayout copy = r;
    copy.fields.item(QStringLiteral("ctlAlternate"))->text = QStringLiteral("1");
    copy.section(SectionDetail)->backColor = 255;
    EXPECT_EQ(a->text, QStringLiteral("0"));
    EXPECT_EQ(r.section(SectionDetail)->backColor, 0xFFFFFF);
    EXPECT_TRUE(r.fields.remove(QStringLiteral("f0")));
    EXPECT_EQ(r.fields.count(), 50);
    EXPECT_EQ(copy.fields.count(), 51);

    const int g = r.addGroup(Group { QStringLiteral("g"), QStringLiteral("X"), 0, 0 });
    EXPECT_EQ(g, 1);
    EXPECT_EQ(r.section(GroupFooterSection(1))->name, QStringLiteral("GroupFooter1"));
}
