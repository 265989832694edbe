// Chart definitions loaded from their XML, filled from real record sets into the real chart
// control; the results are read back from the control's model, and the placing helper's picture
// is drawn and looked at.

#include "render/reportchartrender.h"

#include "base/dialogs.h"
#include "base/paths.h"
#include "chart/chart.h"
#include "engine/vbformat.h"
#include "pixels.h"
#include "recordset/recordset.h"
#include "recordtable.h"
#include "report/reportchart.h"
#include "script/scriptengine.h"
#include "testenv.h"
#include "testlocale.h"

#include <QDir>
#include <QDomDocument>
#include <QImage>
#include <QLocale>
#include <QPainter>

#include <gtest/gtest.h>

#include <cmath>

using namespace kv6;
using kv6::chart::Chart;

namespace {

using kv6test::table;

const QVariant Null;

// The Y values of one series as the control holds them; NaN marks a point never set.
QList<double> values(const Chart &c, int series)
{
    QList<double> out;
    for (int p = 0; p < c.pointCount(); ++p)
        out.append(c.value(series, p));
    return out;
}

bool unset(double v)
{
    return std::isnan(v);
}

// Chart pictures the placing helper left in the temporary folder.
QStringList leftovers()
{
    return QDir(TempFolder()).entryList({ QStringLiteral("pgf*") }, QDir::Files);
}

class ChartRender : public ::testing::Test
{
protected:
    void TearDown() override { EXPECT_EQ(dialogs.unexpected, 0); }

    // A chart definition from the children of its element.
    clsReportChart &define(const QString &children)
    {
        QDomDocument doc;
        EXPECT_TRUE(
            doc.setContent(QStringLiteral("<Chart>") + children + QStringLiteral("</Chart>")));
        QString error;
        EXPECT_TRUE(definition.Load(doc.documentElement(), &error)) << qPrintable(error);
        return definition;
    }

    // One render of the chart's section: set up, then fill from the rows.
    bool render(Recordset &rs, QString *error = nullptr)
    {
        clsReportChartRender r;
        if (!r.Initialize(control, definition, font))
            return false;
        legendMode = r.LegendMode();
        return r.PopulateChart(rs, error);
    }

    kv6test::ScopedLocale cLocale { QLocale::c() };
    kv6test::TempEnv env;
    ScriptedDialogs dialogs;
    ScopedDialogProvider guard { &dialogs };
    clsReportChart definition;
    Chart control;
    QFont font { QStringLiteral("Liberation Sans"), 9 };
    int legendMode = -1;
};

} // namespace

TEST_F(ChartRender, EachChartBreakStartsTheNextChartWhereTheLastOneStopped)
{
    define(QStringLiteral("<Type>1</Type><YField>Pages</YField><NewChartOn>Printer</NewChartOn>"
                          "<XFieldLabel>User</XFieldLabel>"));
    auto rs = table("Printer User Pages",
        { { "A", "ann", 10 }, { "A", "bob", 20 }, { "B", "ann", 30 }, { "B", "carol", 40 } });
    rs->SetAbsolutePosition(3);
    const QVariant thirdRow = rs->Bookmark();
    rs->MoveLast(); // wherever the host left the cursor, a chart starts at its bookmark

    ASSERT_TRUE(render(*rs));
    EXPECT_EQ(control.seriesCount(), 1);
    EXPECT_EQ(values(control, 0), (QList<double> { 10, 20 }));
    EXPECT_EQ(control.xAxis().label(0), QStringLiteral("ann"));
    EXPECT_EQ(control.xAxis().label(1), QStringLiteral("bob"));
    EXPECT_EQ(definition.Bookmark(), thirdRow);
    const double firstMax = control.yAxis().maximum();
    EXPECT_GE(firstMax, 20.0);
    EXPECT_EQ(definition.YAxisMaxScale(), firstMax);

    // The second occurrence of the section: only B's rows, labels of the first chart gone.
    ASSERT_TRUE(render(*rs));
    EXPECT_EQ(values(control, 0), (QList<double> { 30, 40 }));
    EXPECT_EQ(control.xAxis().labelCount(), 2);
    EXPECT_EQ(control.xAxis().label(1), QStringLiteral("carol"));
    // The last chart runs to the end of the data and leaves the bookmark alone.
    EXPECT_EQ(definition.Bookmark(), thirdRow);
    EXPECT_EQ(definition.YAxisMaxScale(), firstMax);

    // Rendering the report again resets the bookmark: back to A.
    definition.SetBookmark(QVariant());
    ASSERT_TRUE(render(*rs));
    EXPECT_EQ(values(control, 0), (QList<double> { 10, 20 }));
}

TEST_F(ChartRender, BreaksFollowTheSortedOrderAndCompareCaseExactly)
{
    define(QStringLiteral("<Type>2</Type><YField>Pages</YField><NewChartOn>Printer</NewChartOn>"));
    auto rs = table("Printer Pages", { { "b", 3 }, { "a", 1 }, { "A", 2 }, { Null, 9 } });
    rs->SetSort(QStringLiteral("Pages"));
    // Sorted: a(1), A(2), b(3), Null(9); "a" and "A" are different charts.
    QList<QList<double>> charts;
    for (int i = 0; i < 4; ++i) {
        ASSERT_TRUE(render(*rs));
        charts.append(values(control, 0));
    }
    EXPECT_EQ(charts, (QList<QList<double>> { { 1 }, { 2 }, { 3 }, { 9 } }));
}

TEST_F(ChartRender, SeriesAreCountedExactlyButStartedOnlyWhenTheTextDiffersInAnyCase)
{
    define(QStringLiteral("<Type>2</Type><YField>Pages</YField><NewSeriesOn>Printer</NewSeriesOn>"
                          "<LegendLabel><Format>%s printer</Format><Field>Printer</Field>"
                          "</LegendLabel>"));
    auto rs = table("Printer Pages", { { "x", 1 }, { "X", 2 }, { "y", 3 } });
    ASSERT_TRUE(render(*rs));
    EXPECT_EQ(legendMode, clsReportChartRender::SeriesLegend);
    EXPECT_EQ(control.seriesCount(), 3);
    const QList<double> first = values(control, 0), second = values(control, 1);
    EXPECT_EQ(first.mid(0, 2), (QList<double> { 1, 2 }));
    EXPECT_TRUE(unset(first.at(2)));
    EXPECT_TRUE(unset(second.at(0)) && unset(second.at(1)));
    EXPECT_EQ(second.at(2), 3.0);
    for (double v : values(control, 2))
        EXPECT_TRUE(unset(v));
    EXPECT_EQ(control.seriesLegend(0), QStringLiteral("x printer"));
    EXPECT_EQ(control.seriesLegend(1), QStringLiteral("y printer"));
    EXPECT_TRUE(control.seriesLegendVisible());
    EXPECT_FALSE(control.pointLegendVisible());
}

TEST_F(ChartRender, TheSeriesCountStopsAtTheChartBreak)
{
    define(QStringLiteral("<Type>4</Type><YField>Pages</YField><NewSeriesOn>User</NewSeriesOn>"
                          "<NewChartOn>Printer</NewChartOn>"));
    auto rs = table("Printer User Pages",
        { { "P1", "ann", 1 }, { "P1", "bob", 2 }, { "P2", "carol", 3 }, { "P2", "dan", 4 },
            { "P2", "eve", 5 } });
    ASSERT_TRUE(render(*rs));
    EXPECT_EQ(control.seriesCount(), 2);
    EXPECT_EQ(control.value(1, 1), 2.0);
    ASSERT_TRUE(render(*rs));
    EXPECT_EQ(control.seriesCount(), 3);
    // Stacked bars move on to a new series and a new point at each user.
    EXPECT_EQ(control.value(0, 0), 3.0);
    EXPECT_EQ(control.value(1, 1), 4.0);
    EXPECT_EQ(control.value(2, 2), 5.0);
}

TEST_F(ChartRender, SingleBarsAndPiesKeepEveryPointInTheFirstSeries)
{
    for (const int type : { 1, 3 }) {
        SCOPED_TRACE(type);
        define(QStringLiteral("<Type>%1</Type><YField>Pages</YField><NewSeriesOn>User</NewSeriesOn>"
                              "<LegendLabel><Format>%s</Format><Field>User</Field></LegendLabel>")
                   .arg(type));
        auto rs = table("User Pages", { { "ann", 1.5 }, { "bob", 2.5 }, { "carol", 3.5 } });
        ASSERT_TRUE(render(*rs));
        EXPECT_EQ(control.seriesCount(), 3);
        EXPECT_EQ(values(control, 0), (QList<double> { 1.5, 2.5, 3.5 }));
        EXPECT_TRUE(unset(control.value(1, 1)));
        // The one series is named after the last group it took in.
        EXPECT_EQ(control.seriesLegend(0), QStringLiteral("carol"));
    }
}

TEST_F(ChartRender, NullsPlotAsZeroAndColumnsThatCannotBeReadFailTheFill)
{
    define(QStringLiteral("<Type>2</Type><XField>Day</XField><YField>Pages</YField>"));
    auto rs = table("Day Pages", { { 1.0, Null }, { Null, 7 }, { 3.0, "12.5" } });
    ASSERT_TRUE(render(*rs));
    EXPECT_EQ(values(control, 0), (QList<double> { 0, 7, 12.5 }));
    EXPECT_EQ(control.xValue(0, 0), 1.0);
    EXPECT_EQ(control.xValue(0, 1), 0.0);
    EXPECT_TRUE(control.hasXValues());

    QString error;
    auto words = table("Day Pages", { { 1.0, "many" } });
    EXPECT_FALSE(render(*words, &error));
    EXPECT_TRUE(error.contains(QStringLiteral("many"))) << qPrintable(error);
    EXPECT_FALSE(control.isOpen(chart::ValuesData));
    EXPECT_FALSE(control.isOpen(chart::XValuesData));

    define(QStringLiteral("<Type>2</Type><YField>Pages</YField><NewChartOn>Printer</NewChartOn>"));
    EXPECT_FALSE(render(*rs, &error));
    EXPECT_TRUE(error.contains(QStringLiteral("Printer"))) << qPrintable(error);

    // A bookmark the data set never handed out (another data set's) is refused, not followed.
    define(QStringLiteral("<Type>2</Type><YField>Pages</YField>"));
    definition.SetBookmark(999);
    EXPECT_FALSE(render(*rs, &error));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_FALSE(control.isOpen(chart::ValuesData));
}

TEST_F(ChartRender, LegendModesAndTheirTexts)
{
    const auto rows = [] {
        return table("User Pages Cost", { { "ann", 12, 1.5 }, { "bob", Null, Null } });
    };
    // No template: no legend at all, even with legend fields.
    define(QStringLiteral("<Type>1</Type><YField>Pages</YField>"
                          "<LegendLabel><Field>User</Field></LegendLabel>"));
    auto rs = rows();
    ASSERT_TRUE(render(*rs));
    EXPECT_EQ(legendMode, clsReportChartRender::NoLegend);
    EXPECT_FALSE(control.pointLegendVisible());
    EXPECT_FALSE(control.seriesLegendVisible());
    EXPECT_TRUE(control.pointLegend(0).isEmpty());

    // A template without series: one text per point from its own row.
    define(QStringLiteral("<Type>1</Type><YField>Pages</YField><LegendPosition>3</LegendPosition>"
                          "<LegendLabel><Format>%s: %d pages, %m</Format><Field>User</Field>"
                          "<Field>Pages</Field><Field>Cost</Field></LegendLabel>"));
    rs = rows();
    ASSERT_TRUE(render(*rs));
    EXPECT_EQ(legendMode, clsReportChartRender::PointLegend);
    EXPECT_TRUE(control.pointLegendVisible());
    EXPECT_FALSE(control.seriesLegendVisible());
    EXPECT_EQ(control.pointLegend(0), QStringLiteral("ann: 12 pages, 1.50"));
    EXPECT_EQ(control.pointLegend(1), QStringLiteral("bob: 0 pages, 0.00"));
    EXPECT_EQ(control.pointLegendBox().docking(), chart::DockBottom);
    EXPECT_TRUE(control.pointLegendBox().framed());
    // A shorter chart in the same control keeps no texts of the one before.
    auto one = table("User Pages Cost", { { "dan", 3, 0.25 } });
    ASSERT_TRUE(render(*one));
    EXPECT_EQ(control.pointCount(), 1);
    EXPECT_EQ(control.pointLegend(0), QStringLiteral("dan: 3 pages, 0.25"));
    EXPECT_TRUE(control.pointLegend(1).isEmpty());

    // Every legend position docks where it says, the control reused as the report reuses it.
    const QList<QPair<int, int>> docking { { 0, chart::DockLeft }, { 1, chart::DockRight },
        { 2, chart::DockTop }, { 3, chart::DockBottom } };
    for (const auto &[position, code] : docking) {
        define(QStringLiteral("<Type>1</Type><YField>Pages</YField><NewSeriesOn>User</NewSeriesOn>"
                              "<LegendPosition>%1</LegendPosition><LegendLabel><Format>%s</Format>"
                              "<Field>User</Field></LegendLabel>")
                   .arg(position));
        rs = rows();
        ASSERT_TRUE(render(*rs));
        EXPECT_EQ(control.seriesLegendBox().docking(), code) << position;
    }
}

TEST_F(ChartRender, ManualSeriesTakeTheirOwnColumnsAndLabels)
{
    define(QStringLiteral(
        "<Type>1</Type><NewSeriesOn>Day</NewSeriesOn><ManualSeries>"
        "<Series><Label> Colour </Label><XField>Day</XField><YField>Colour</YField></Series>"
        "<Series><Label>Mono</Label><XField>Day</XField><YField>Mono</YField></Series>"
        "</ManualSeries><XFieldLabel>Name</XFieldLabel>"));
    auto rs = table("Day Name Colour Mono", { { 1, "Mon", 5, 50 }, { 2, "Tue", Null, 60 } });
    ASSERT_TRUE(render(*rs));
    EXPECT_EQ(legendMode, clsReportChartRender::SeriesLegend);
    EXPECT_EQ(control.seriesCount(), 2);
    EXPECT_EQ(values(control, 0), (QList<double> { 5, 0 }));
    EXPECT_EQ(values(control, 1), (QList<double> { 50, 60 }));
    EXPECT_EQ(control.xValue(1, 1), 2.0);
    EXPECT_EQ(control.seriesLegend(0), QStringLiteral("Colour"));
    EXPECT_EQ(control.seriesLegend(1), QStringLiteral("Mono"));
    EXPECT_EQ(control.xAxis().label(1), QStringLiteral("Tue"));
    // Several series are told apart by series colour, not point colour.
    EXPECT_FALSE(control.pointColors());

    define(QStringLiteral("<Type>1</Type><ManualSeries><Series><Label>Colour</Label>"
                          "<YField>Toner</YField></Series></ManualSeries>"));
    QString error;
    EXPECT_FALSE(render(*rs, &error));
    EXPECT_TRUE(error.contains(QStringLiteral("Toner"))) << qPrintable(error);
}

TEST_F(ChartRender, KeptScaleReusesTheFirstChartsMaximumWhileAFreeScaleFollowsEachChart)
{
    const auto rows = [] {
        return table("Printer Pages", { { "A", 40 }, { "B", 900 }, { "C", 5 } });
    };
    for (const bool keep : { true, false }) {
        SCOPED_TRACE(keep);
        define(QStringLiteral("<Type>1</Type><YField>Pages</YField><NewChartOn>Printer</NewChartOn>"
                              "<YAxisKeepScale>%1</YAxisKeepScale>")
                   .arg(keep ? 1 : 0));
        auto rs = rows();
        ASSERT_TRUE(render(*rs));
        EXPECT_TRUE(control.yAxis().autoScale());
        const double first = control.yAxis().maximum();
        EXPECT_LT(first, 900.0);
        ASSERT_TRUE(render(*rs));
        EXPECT_EQ(control.yAxis().autoScale(), !keep);
        if (keep)
            EXPECT_EQ(control.yAxis().maximum(), first); // the 900 bar is clipped
        else
            EXPECT_GE(control.yAxis().maximum(), 900.0);
        // The learned maximum is the one shown by the chart that ended at the break.
        EXPECT_EQ(definition.YAxisMaxScale(), control.yAxis().maximum());
        ASSERT_TRUE(render(*rs));
        EXPECT_EQ(control.yAxis().autoScale(), !keep);
    }
}

TEST_F(ChartRender, ChartTypesAndAxisSettingsAndTheUnsupportedOnesTold)
{
    struct Case
    {
        int type;
        int gallery;
        bool stacked;
        bool pointColors;
    };
    const Case cases[]
        = { { 1, chart::BarGallery, false, true }, { 2, chart::LinesGallery, false, false },
              { 3, chart::PieGallery, false, false }, { 4, chart::BarGallery, true, false } };
    // One control for all, so a setting left over from the type before would show.
    for (const Case &c : cases) {
        SCOPED_TRACE(c.type);
        define(QStringLiteral("<Type>%1</Type><YField>Pages</YField>").arg(c.type));
        clsReportChartRender r;
        ASSERT_TRUE(r.Initialize(control, definition, font));
        EXPECT_EQ(control.gallery(), c.gallery);
        EXPECT_EQ(control.stacked(), c.stacked);
        EXPECT_EQ(control.pointColors(), c.pointColors);
    }
    EXPECT_TRUE(dialogs.messages.isEmpty());
    EXPECT_EQ(control.font().family(), font.family());
    EXPECT_EQ(control.font().pointSizeF(), 9.0);

    // Nothing labels the points: the X axis shows no labels.
    define(QStringLiteral(
        "<Type>1</Type><YField>Pages</YField><YAxisLabelFormat>7</YAxisLabelFormat>"));
    clsReportChartRender r;
    ASSERT_TRUE(r.Initialize(control, definition, font));
    EXPECT_TRUE(control.xAxis().styleFlags() & chart::AxisNoLabels);
    EXPECT_EQ(control.yAxis().labelFormat(), chart::ThousandsFormat);

    struct Labels
    {
        QString children;
        int angle;
        int format;
    };
    const Labels labels[] = {
        { QStringLiteral("<XFieldLabel>Name</XFieldLabel>"), 90, chart::GeneralFormat },
        { QStringLiteral("<XField>Day</XField><XFieldLabelAutoFormat>1</XFieldLabelAutoFormat>"), 0,
            chart::DateFormat },
        { QStringLiteral(
              "<XFieldLabel>Name</XFieldLabel><XFieldLabelOrientation>1</XFieldLabelOrientation>"),
            0, chart::GeneralFormat },
        { QStringLiteral("<XField>Day</XField><XFieldLabelOrientation>2</XFieldLabelOrientation>"),
            90, chart::GeneralFormat },
        { QStringLiteral("<XField>Day</XField><XFieldLabelOrientation>3</XFieldLabelOrientation>"),
            270, chart::GeneralFormat },
    };
    for (const Labels &l : labels) {
        SCOPED_TRACE(qPrintable(l.children));
        define(QStringLiteral("<Type>2</Type><YField>Pages</YField>") + l.children);
        ASSERT_TRUE(r.Initialize(control, definition, font));
        EXPECT_FALSE(control.xAxis().styleFlags() & chart::AxisNoLabels);
        EXPECT_EQ(control.xAxis().labelAngle(), l.angle);
        EXPECT_EQ(control.xAxis().labelFormat(), l.format);
        EXPECT_EQ(control.yAxis().labelFormat(), chart::GeneralFormat);
    }

    // Settings the control does not have are told, and the chart still renders.
    dialogs.messageAnswers = { MsgAnswer::OK, MsgAnswer::OK };
    define(QStringLiteral("<Type>7</Type><YField>Pages</YField><XField>Day</XField>"
                          "<XFieldLabelAutoFormat>2</XFieldLabelAutoFormat>"));
    auto rs = table("Day Pages", { { 1, 4 }, { 2, 8 } });
    ASSERT_TRUE(render(*rs));
    ASSERT_EQ(dialogs.messages.size(), 2);
    EXPECT_EQ(dialogs.messages.at(0).text, QStringLiteral("Chart type 7 not supported."));
    EXPECT_EQ(values(control, 0), (QList<double> { 4, 8 }));
}

TEST_F(ChartRender, ThePictureFillsTheFieldAndShowsEachChartOfTheRunOrIsNotMadeAtAll)
{
    define(QStringLiteral("<Type>1</Type><YField>Pages</YField><NewChartOn>Printer</NewChartOn>"
                          "<XFieldLabel>User</XFieldLabel><XAxisLabel>Users</XAxisLabel>"
                          "<YAxisLabel>Pages</YAxisLabel><LegendLabel><Format>%s: %d</Format>"
                          "<Field>User</Field><Field>Pages</Field></LegendLabel>"));
    auto rs = table("Printer User Pages",
        { { "Front", "ann", 120 }, { "Front", "bob", 80 }, { "Front", "carol", 45 },
            { "Lobby", "dan", 300 } });
    // A field 4 by 3 inches.
    const int w = 5760, h = 4320;
    QPicture first, second;
    QString error;
    ASSERT_TRUE(RenderChartPicture(control, definition, font, *rs, w, h, first, &error))
        << qPrintable(error);
    ASSERT_TRUE(RenderChartPicture(control, definition, font, *rs, w, h, second, &error))
        << qPrintable(error);
    EXPECT_TRUE(leftovers().isEmpty()) << qPrintable(leftovers().join(u' '));
    // The field's size; that the drawing fills its picture is the chart control's to show.
    EXPECT_EQ(first.boundingRect(), QRect(0, 0, w / 15, h / 15));

    // Drawn into a field at 144 dpi the way the report places it.
    const auto draw = [&](const QPicture &pic) {
        QImage img(w / 10, h / 10, QImage::Format_ARGB32);
        img.fill(Qt::white);
        QPainter p(&img);
        chart::DrawPicture(&p, pic, QRectF(img.rect()));
        p.end();
        return img;
    };
    const QImage one = draw(first), two = draw(second);
    if (qEnvironmentVariableIsSet("KV6_KEEP_CHART_PNG"))
        one.save(qEnvironmentVariable("KV6_KEEP_CHART_PNG"));
    // Three users of Front, each bar in its own colour; Lobby's chart has one bar.
    for (int i = 0; i < 3; ++i)
        EXPECT_GT(kv6test::count(one, chart::PaletteColour(i)), 200) << i;
    EXPECT_GT(kv6test::count(two, chart::PaletteColour(0)), 200);
    EXPECT_LT(kv6test::count(two, chart::PaletteColour(1)),
        kv6test::count(one, chart::PaletteColour(1)) / 4);

    // A picture that cannot be filled is not made and leaves no file.
    define(QStringLiteral("<Type>1</Type><YField>Toner</YField>"));
    QPicture none;
    EXPECT_FALSE(RenderChartPicture(control, definition, font, *rs, w, h, none, &error));
    EXPECT_TRUE(error.contains(QStringLiteral("Toner")));
    EXPECT_TRUE(none.isNull());
    EXPECT_TRUE(leftovers().isEmpty());
}

// A chart label, a field's Format and the script's FormatNumber round a number alike: on its
// decimal digits, halves away from zero, so 1.005 shows as 1.01 in all three.
TEST(ChartLabels, RoundAsFieldsAndScriptsDo)
{
    QLocale::setDefault(QLocale::c());
    script::Engine script;
    for (const double v : { 1.005, 2.675, -1.005, 0.125, 9.995, 1234.5 }) {
        const QString label = VbFormatFixed(v, 2, 2);
        EXPECT_EQ(
            label, engine::vbFormat(script::Variant::dbl(v), QStringLiteral("0.00"), QLocale::c()))
            << v;
        const QString formatNumber
            = QStringLiteral("FormatNumber(%1, 2, , , 0)").arg(v, 0, 'g', 17);
        EXPECT_EQ(label, script.evaluate(script.compileExpression(formatNumber)).toString()) << v;
    }
    EXPECT_EQ(VbFormatFixed(1.005, 2, 2), QStringLiteral("1.01"));
}
