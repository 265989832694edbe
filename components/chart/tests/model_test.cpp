#include "chart/chart.h"

#include "vbcore/vbdatetext.h"

#include <QDate>
#include <QLocale>

#include <gtest/gtest.h>

#include <cmath>

using namespace kv6::chart;

TEST(ChartData, OpenEndedPointsGrowAndPointsNeverSetStayHidden)
{
    Chart c;
    ASSERT_TRUE(c.openData(ValuesData, 2, OpenEnded));
    EXPECT_EQ(c.seriesCount(), 2);
    EXPECT_EQ(c.pointCount(), 0);
    EXPECT_TRUE(c.setValue(0, 0, 5));
    // A later series may start further on, as when series break on a column.
    EXPECT_TRUE(c.setValue(1, 3, 7.25));
    EXPECT_EQ(c.pointCount(), 4);
    EXPECT_DOUBLE_EQ(c.value(0, 0), 5);
    EXPECT_DOUBLE_EQ(c.value(1, 3), 7.25);
    EXPECT_TRUE(std::isnan(c.value(0, 3)));
    EXPECT_TRUE(std::isnan(c.value(1, 0)));
    EXPECT_TRUE(std::isnan(c.value(0, 99)));

    EXPECT_FALSE(c.setValue(2, 0, 1)) << "only the series opened";
    EXPECT_FALSE(c.setValue(-1, 0, 1));
    EXPECT_FALSE(c.setValue(0, -1, 1));
    EXPECT_TRUE(c.closeData(ValuesData));
    EXPECT_FALSE(c.setValue(0, 1, 1)) << "values go in only while open";
    EXPECT_FALSE(c.closeData(ValuesData));
    EXPECT_DOUBLE_EQ(c.value(1, 3), 7.25) << "closing keeps the values";

    ASSERT_TRUE(c.openData(ValuesData, 1, OpenEnded));
    EXPECT_EQ(c.seriesCount(), 1);
    EXPECT_EQ(c.pointCount(), 0) << "opening again starts empty";
}

TEST(ChartData, FixedPointCountAndXValuesOfTheirOwn)
{
    Chart c;
    ASSERT_TRUE(c.openData(ValuesData, 1, 3));
    EXPECT_EQ(c.pointCount(), 3);
    EXPECT_TRUE(c.setValue(0, 2, 1));
    EXPECT_FALSE(c.setValue(0, 3, 1));

    EXPECT_FALSE(c.hasXValues());
    EXPECT_FALSE(c.setXValue(0, 0, 1)) << "X values not opened";
    ASSERT_TRUE(c.openData(XValuesData, 1, OpenEnded));
    EXPECT_FALSE(c.hasXValues()) << "opened but nothing set";
    EXPECT_TRUE(c.setXValue(0, 4, 2024));
    EXPECT_TRUE(c.hasXValues());
    EXPECT_EQ(c.pointCount(), 5) << "the longer kind counts";
    EXPECT_DOUBLE_EQ(c.xValue(0, 4), 2024);
    EXPECT_TRUE(std::isnan(c.value(0, 4)));
    EXPECT_TRUE(c.closeData(XValuesData));
    EXPECT_TRUE(c.isOpen(ValuesData));

    EXPECT_FALSE(c.openData(2, 1)) << "no such kind";
    EXPECT_FALSE(c.openData(ValuesData, 0));
    EXPECT_FALSE(c.openData(ValuesData, 1, -2));
    EXPECT_FALSE(c.closeData(7));
}

TEST(ChartData, LegendTextsByIndexAndClearingKeepsTheLook)
{
    Chart c;
    c.setGallery(PieGallery);
    c.yAxis().setTitle("Pages");
    c.setPointLegend(2, "Sales");
    c.setSeriesLegend(1, "2024");
    c.xAxis().setLabel(1, "Feb");
    EXPECT_EQ(c.pointLegend(2), "Sales");
    EXPECT_EQ(c.pointLegend(0), "");
    EXPECT_EQ(c.pointLegend(9), "");
    EXPECT_EQ(c.seriesLegend(1), "2024");
    EXPECT_EQ(c.xAxis().label(1), "Feb");
    EXPECT_EQ(c.xAxis().labelCount(), 2);
    c.openData(ValuesData, 1);
    c.setValue(0, 0, 1);

    c.clearData();
    EXPECT_EQ(c.pointLegend(2), "");
    EXPECT_EQ(c.seriesLegend(1), "");
    EXPECT_EQ(c.xAxis().labelCount(), 0);
    EXPECT_EQ(c.pointCount(), 0);
    EXPECT_FALSE(c.isOpen(ValuesData));
    EXPECT_EQ(c.gallery(), PieGallery);
    EXPECT_EQ(c.yAxis().title(), "Pages");
}

TEST(ChartSettings, UnknownCodesAreRefusedAndTheOldSettingKept)
{
    Chart c;
    EXPECT_TRUE(c.setGallery(LinesGallery));
    EXPECT_FALSE(c.setGallery(3));
    EXPECT_EQ(c.gallery(), LinesGallery);
    EXPECT_TRUE(c.xAxis().setLabelAngle(270));
    EXPECT_FALSE(c.xAxis().setLabelAngle(45));
    EXPECT_EQ(c.xAxis().labelAngle(), 270);
    EXPECT_TRUE(c.yAxis().setLabelFormat(ThousandsFormat));
    EXPECT_FALSE(c.yAxis().setLabelFormat(5));
    EXPECT_EQ(c.yAxis().labelFormat(), ThousandsFormat);
    c.setSize(100, 100);
    EXPECT_GE(c.width(), 360) << "too small to lay out";
}

TEST(ChartScale, AutomaticMaximumFollowsTheDataAsItComesIn)
{
    Chart c;
    c.openData(ValuesData, 2);
    EXPECT_DOUBLE_EQ(c.yAxis().maximum(), 1) << "an empty chart still has a range";
    c.setValue(0, 0, 60);
    c.setValue(0, 1, 87);
    // Read before the data is closed, as a renderer does at a chart break.
    EXPECT_DOUBLE_EQ(c.yAxis().maximum(), 100);
    c.setValue(1, 0, 70);
    EXPECT_DOUBLE_EQ(c.yAxis().maximum(), 100) << "side by side the tallest bar counts";
    c.setStacked(true);
    EXPECT_DOUBLE_EQ(c.yAxis().maximum(), 150) << "stacked, 60 + 70 at one point";
    c.setGallery(LinesGallery);
    EXPECT_DOUBLE_EQ(c.yAxis().maximum(), 100) << "lines do not stack";
    EXPECT_DOUBLE_EQ(c.yAxis().minimum(), 0);
    c.setValue(1, 1, -12);
    EXPECT_DOUBLE_EQ(c.yAxis().minimum(), -20);

    c.yAxis().setAutoScale(false);
    c.yAxis().setMaximum(200);
    EXPECT_DOUBLE_EQ(c.yAxis().maximum(), 200);
    EXPECT_DOUBLE_EQ(c.yAxis().minimum(), -50) << "on a tick of the fixed range";
    c.yAxis().setMaximum(-20);
    EXPECT_DOUBLE_EQ(c.yAxis().maximum(), 100) << "a maximum under the data cannot be used";
}

TEST(ChartScale, XAxisSpansTheXValuesWithoutForcingZero)
{
    Chart c;
    c.setGallery(LinesGallery);
    c.openData(ValuesData, 1);
    c.openData(XValuesData, 1);
    c.setXValue(0, 0, 2019.5);
    c.setXValue(0, 1, 2024);
    const Scale s = c.xAxis().scale();
    EXPECT_DOUBLE_EQ(s.minimum, 2019);
    EXPECT_DOUBLE_EQ(s.maximum, 2024);
    EXPECT_DOUBLE_EQ(s.step, 1);

    // Day serials on a date axis never tick in fractions of a day.
    Chart d;
    d.xAxis().setLabelFormat(DateFormat);
    d.openData(XValuesData, 1);
    d.setXValue(0, 0, 45000);
    d.setXValue(0, 1, 45002);
    EXPECT_GE(d.xAxis().scale().step, 1);
}

TEST(ChartScale, NiceRanges)
{
    struct Row
    {
        double low, high;
        double min, max, step;
    };
    const Row rows[] = {
        { 0, 87, 0, 100, 20 },
        { 0, 100, 0, 100, 20 }, // a value on a tick is the top, not one step under it
        { 0, 3, 0, 3, 1 },
        { 0, 0, 0, 1, 0.2 },
        { -12, 40, -20, 40, 20 },
        { 0, 1234567, 0, 1250000, 250000 },
        { 0, 0.07, 0, 0.08, 0.02 },
        { 5, 5, 4, 6, 0.5 },
        { 0, 11, 0, 12.5, 2.5 },
    };
    for (const Row &r : rows) {
        const Scale s = NiceScale(r.low, r.high);
        EXPECT_NEAR(s.minimum, r.min, 1e-9) << r.low << ".." << r.high;
        EXPECT_NEAR(s.maximum, r.max, 1e-9) << r.low << ".." << r.high;
        EXPECT_NEAR(s.step, r.step, 1e-9) << r.low << ".." << r.high;
    }
}

TEST(ChartFormat, AxisValuesAndCategoryTexts)
{
    const QString group = QLocale::system().groupSeparator();
    const QString point = QLocale::system().decimalPoint();
    EXPECT_EQ(FormatAxisValue(2.5, GeneralFormat, 0.5), "2" + point + "5");
    EXPECT_EQ(FormatAxisValue(12500, GeneralFormat, 2500), "12500");
    EXPECT_EQ(FormatAxisValue(12500, ThousandsFormat, 2500), "12" + group + "500");
    EXPECT_EQ(
        FormatAxisValue(1250000, ThousandsFormat, 250000), "1" + group + "250" + group + "000");
    EXPECT_EQ(FormatAxisValue(0.75, ThousandsFormat, 0.25), "0" + point + "75");
    EXPECT_EQ(FormatAxisValue(-1e-17, GeneralFormat, 0.1), "0" + point + "0")
        << "a tick at zero by rounding is no negative zero";

    const QString march15 = QLocale::system().toString(QDate(2023, 3, 15), kv6::ShortDateFormat());
    EXPECT_EQ(FormatAxisValue(45000, DateFormat, 1), march15);
    EXPECT_EQ(FormatAxisValue(45000.75, DateFormat, 1), march15) << "the time of day is dropped";
    EXPECT_EQ(FormatAxisValue(1e9, DateFormat, 1), "") << "outside the dates";

    EXPECT_EQ(FormatCategoryLabel("2023-03-15", DateFormat), march15);
    EXPECT_EQ(FormatCategoryLabel("2023-03-15 08:30:00", DateFormat), march15);
    EXPECT_EQ(FormatCategoryLabel("45000", DateFormat), march15);
    EXPECT_EQ(FormatCategoryLabel("Sales", DateFormat), "Sales");
    EXPECT_EQ(FormatCategoryLabel("2023-03-15", GeneralFormat), "2023-03-15");
    EXPECT_EQ(FormatCategoryLabel("1234", ThousandsFormat), "1" + group + "234");
}
