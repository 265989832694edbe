#include "chart/chart.h"
#include "pixels.h"
#include "toolrun.h"

#include <QFile>
#include <QFontMetricsF>
#include <QImage>
#include <QPainter>
#include <QPdfWriter>
#include <QPicture>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cmath>

using namespace kv6::chart;
using kv6test::bounds;
using kv6test::count;
using kv6test::is;

namespace {

// 4 by 3 inches, drawn at 144 dpi: 576 by 432 pixels.
constexpr int W = 5760, H = 4320, Dpi = 144;

void fill(Chart &c, const QList<QList<double>> &series)
{
    c.clearData();
    ASSERT_TRUE(c.openData(ValuesData, int(series.size())));
    for (int s = 0; s < series.size(); ++s)
        for (int p = 0; p < series[s].size(); ++p)
            if (!std::isnan(series[s][p])) {
                ASSERT_TRUE(c.setValue(s, p, series[s][p]));
            }
    ASSERT_TRUE(c.closeData(ValuesData));
}

void barChart(Chart &c, const QList<QList<double>> &series)
{
    c.setSize(W, H);
    c.setGallery(BarGallery);
    fill(c, series);
}

// Runs [first, last] of a colour along a row.
QList<QPair<int, int>> runs(const QImage &img, int y, const QColor &c)
{
    QList<QPair<int, int>> out;
    for (int x = 0; x < img.width(); ++x) {
        if (!is(img.pixel(x, y), c))
            continue;
        if (!out.isEmpty() && out.last().second == x - 1)
            out.last().second = x;
        else
            out.append({ x, x });
    }
    return out;
}

// Height of the run of a colour in a column that contains the row `y`.
int heightAt(const QImage &img, int x, int y, const QColor &c)
{
    if (!is(img.pixel(x, y), c))
        return 0;
    int top = y, bottom = y;
    while (top > 0 && is(img.pixel(x, top - 1), c))
        --top;
    while (bottom + 1 < img.height() && is(img.pixel(x, bottom + 1), c))
        ++bottom;
    return bottom - top + 1;
}

// Bottom row of the tallest column run of a colour: the foot of the tallest bar, whatever
// legend swatches of that colour are about.
int footOfTallest(const QImage &img, const QColor &c)
{
    int best = 0, foot = -1;
    for (int x = 0; x < img.width(); ++x)
        for (int y = 0; y < img.height(); ++y) {
            if (!is(img.pixel(x, y), c))
                continue;
            const int h = heightAt(img, x, y, c);
            if (h > best) {
                best = h;
                foot = y + h - 1;
            }
            y += h;
        }
    return foot;
}

// Share of pixels that differ visibly between two images of one size.
double differing(const QImage &a, const QImage &b)
{
    int n = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x) {
            const QRgb p = a.pixel(x, y), q = b.pixel(x, y);
            n += std::max({ std::abs(qRed(p) - qRed(q)), std::abs(qGreen(p) - qGreen(q)),
                     std::abs(qBlue(p) - qBlue(q)) })
                > 48;
        }
    return double(n) / (a.width() * a.height());
}

const QColor C0 = PaletteColour(0), C1 = PaletteColour(1), C2 = PaletteColour(2),
             C3 = PaletteColour(3);

} // namespace

TEST(ChartDrawing, BarsStandWhereTheValuesSay)
{
    Chart c;
    barChart(c, { { 10, 30, 20 } });
    const QImage img = c.image(Dpi);
    ASSERT_EQ(img.size(), QSize(576, 432));
    const QRect all = bounds(img, C0);
    ASSERT_FALSE(all.isNull());
    const auto bars = runs(img, all.bottom() - 2, C0);
    ASSERT_EQ(bars.size(), 3);
    int h[3];
    for (int i = 0; i < 3; ++i)
        h[i] = heightAt(img, (bars[i].first + bars[i].second) / 2, all.bottom() - 2, C0);
    EXPECT_NEAR(double(h[1]) / h[0], 3.0, 0.1);
    EXPECT_NEAR(double(h[2]) / h[0], 2.0, 0.07);
    // Equal slots: the gaps between bar centres match.
    const int c0 = (bars[0].first + bars[0].second) / 2, c1 = (bars[1].first + bars[1].second) / 2,
              c2 = (bars[2].first + bars[2].second) / 2;
    EXPECT_NEAR(c1 - c0, c2 - c1, 2);
    EXPECT_EQ(count(img, C1), 0) << "one series, one colour";
}

TEST(ChartDrawing, FixedMaximumScalesBarsAgainstItAndClipsWhatPassesIt)
{
    Chart c;
    barChart(c, { { 50 } });
    auto barHeight = [&] {
        const QImage img = c.image(Dpi);
        const QRect b = bounds(img, C0);
        return heightAt(img, b.center().x(), b.bottom() - 1, C0);
    };
    const int automatic = barHeight();
    ASSERT_GT(automatic, 100);
    c.yAxis().setAutoScale(false);
    c.yAxis().setMaximum(100);
    EXPECT_NEAR(double(barHeight()) / automatic, 0.5, 0.02);
    fill(c, { { 150 } });
    EXPECT_NEAR(barHeight(), automatic, 2) << "cut at the top of the plot";
}

TEST(ChartDrawing, StackedBarsPileUpWhileClusteredStandSideBySide)
{
    Chart c;
    barChart(c, { { 20, 5 }, { 10, 5 } });
    c.setStacked(true);
    QImage img = c.image(Dpi);
    QRect lower = bounds(img, C0), upper = bounds(img, C1);
    ASSERT_FALSE(lower.isNull());
    ASSERT_FALSE(upper.isNull());
    const int x = lower.left() + 5;
    EXPECT_LT(upper.left(), x);
    EXPECT_GT(upper.right(), x) << "in the same slot";
    const int h0 = heightAt(img, x, lower.bottom() - 1, C0);
    const int h1 = heightAt(img, x, lower.bottom() - h0 - 2, C1);
    EXPECT_NEAR(double(h0) / h1, 2.0, 0.1) << "series 1 sits on top of series 0";

    c.setStacked(false);
    img = c.image(Dpi);
    lower = bounds(img, C0);
    const auto row0 = runs(img, lower.bottom() - 2, C0);
    const auto row1 = runs(img, lower.bottom() - 2, C1);
    ASSERT_EQ(row0.size(), 2);
    ASSERT_EQ(row1.size(), 2);
    EXPECT_LT(row0[0].second, row1[0].first) << "series 0 left of series 1 in each slot";
    EXPECT_LT(row1[0].second, row0[1].first);
    EXPECT_NEAR(double(heightAt(img, row0[0].first + 3, lower.bottom() - 2, C0))
            / heightAt(img, row1[0].first + 3, lower.bottom() - 2, C1),
        2.0, 0.1);
}

TEST(ChartDrawing, PointColoursGiveEachBarItsOwn)
{
    Chart c;
    barChart(c, { { 10, 20, 30 } });
    c.setPointColors(true);
    const QImage img = c.image(Dpi);
    const QRect b0 = bounds(img, C0), b1 = bounds(img, C1), b2 = bounds(img, C2);
    ASSERT_FALSE(b0.isNull() || b1.isNull() || b2.isNull());
    EXPECT_LT(b0.right(), b1.left());
    EXPECT_LT(b1.right(), b2.left());
    EXPECT_NEAR(b0.width(), b1.width(), 2) << "each fills its whole slot";
    EXPECT_GT(b2.height(), b1.height());
}

TEST(ChartDrawing, LegendsPerModeAndWhereTheyDock)
{
    Chart c;
    barChart(c, { { 20 }, { 10 } });
    c.setBarWidth(30);
    const QImage bare = c.image(Dpi);
    const QRect plain = bounds(bare, C0);
    const QRect rightStrip(bare.width() * 4 / 5, 0, bare.width() / 5, bare.height());
    const QRect leftStrip(0, 0, bare.width() / 5, bare.height());
    ASSERT_EQ(count(bare, C0, rightStrip), 0) << "narrow bars keep to the middle";

    // A point legend over two series names nothing the colours show: none is drawn.
    c.setPointLegendVisible(true);
    EXPECT_EQ(bounds(c.image(Dpi), C0), plain);

    c.setSeriesLegendVisible(true);
    c.seriesLegendBox().setDocking(DockRight);
    QImage img = c.image(Dpi);
    const QRect swatch0 = bounds(img, C0, rightStrip), swatch1 = bounds(img, C1, rightStrip);
    ASSERT_FALSE(swatch0.isNull());
    ASSERT_FALSE(swatch1.isNull());
    EXPECT_LT(swatch0.bottom(), swatch1.top()) << "series 0 listed first";
    EXPECT_NEAR(swatch0.width(), swatch0.height(), 1);
    EXPECT_LT(bounds(img, C0).left(), plain.left()) << "the plot gives way";

    c.seriesLegendBox().setDocking(DockLeft);
    img = c.image(Dpi);
    EXPECT_EQ(count(img, C0, rightStrip), 0);
    EXPECT_GT(count(img, C0, leftStrip), 0);

    c.seriesLegendBox().setDocking(DockTop);
    const int underTop = footOfTallest(c.image(Dpi), C1);
    c.seriesLegendBox().setDocking(DockBottom);
    const int overBottom = footOfTallest(c.image(Dpi), C1);
    EXPECT_GT(underTop, overBottom + 10);
    c.seriesLegendBox().setDocking(12345);
    EXPECT_GT(count(c.image(Dpi), C1, rightStrip), 0) << "unknown codes dock right";

    // With one series the point legend lists the points, each in its own colour.
    barChart(c, { { 20, 10, 5 } });
    c.setSeriesLegendVisible(false);
    c.pointLegendBox().setDocking(DockRight);
    img = c.image(Dpi);
    const QRect p0 = bounds(img, C0, rightStrip), p1 = bounds(img, C1, rightStrip),
                p2 = bounds(img, C2, rightStrip);
    ASSERT_FALSE(p0.isNull() || p1.isNull() || p2.isNull());
    EXPECT_LT(p0.top(), p1.top());
    EXPECT_LT(p1.top(), p2.top());
}

TEST(ChartDrawing, PieHasASliceForEachPositivePointSizedByItsShare)
{
    Chart c;
    c.setSize(W, H);
    c.setGallery(PieGallery);
    fill(c, { { 3, 0, 2, 5 } });
    for (int p = 0; p < 4; ++p)
        c.setPointLegend(p, QStringLiteral("Point %1").arg(p));
    const QImage img = c.image(Dpi);
    // Walk a circle well inside the pie and count the colour runs met.
    const QPointF centre(img.width() / 2.0, img.height() / 2.0);
    const double r = img.height() * 0.15;
    const QColor colours[] = { C0, C1, C2, C3 };
    int hits[4] = {}, slices = 0, last = -1, first = -1;
    constexpr int steps = 720;
    for (int i = 0; i < steps; ++i) {
        const double a = 2 * M_PI * i / steps;
        const QRgb px
            = img.pixel(int(centre.x() + r * std::cos(a)), int(centre.y() + r * std::sin(a)));
        for (int k = 0; k < 4; ++k)
            if (is(px, colours[k])) {
                ++hits[k];
                if (k != last)
                    ++slices;
                if (first < 0)
                    first = k;
                last = k;
            }
    }
    if (last == first)
        --slices; // the run that wraps round counts once
    EXPECT_EQ(slices, 3);
    EXPECT_EQ(hits[1], 0) << "a zero has no slice";
    const int total = hits[0] + hits[2] + hits[3];
    ASSERT_GT(total, steps * 0.9);
    EXPECT_NEAR(double(hits[3]) / total, 0.5, 0.03);
    EXPECT_NEAR(double(hits[0]) / total, 0.3, 0.03);
    EXPECT_NEAR(double(hits[2]) / total, 0.2, 0.03);
}

TEST(ChartDrawing, LinesRunThroughTheirPointsAndSkipThoseNeverSet)
{
    Chart c;
    c.setSize(W, H);
    c.setGallery(LinesGallery);
    fill(c, { { 10, 20, 30, 40, 50 }, { NAN, NAN, NAN, 5, 5 } });
    const QImage img = c.image(Dpi);
    const QRect line0 = bounds(img, C0), line1 = bounds(img, C1);
    ASSERT_FALSE(line0.isNull());
    ASSERT_FALSE(line1.isNull());
    const double spacing = line0.width() / 4.0;
    EXPECT_GT(line1.left(), line0.left() + 2.5 * spacing) << "series 1 starts at point 3";
    EXPECT_NEAR(line1.right(), line0.right(), 3);
    const int yLeft = bounds(img, C0, QRect(line0.left(), 0, 3, img.height())).center().y();
    const int yRight = bounds(img, C0, QRect(line0.right() - 2, 0, 3, img.height())).center().y();
    EXPECT_LT(yRight, yLeft - 100) << "the line rises with the values";
    EXPECT_GT(line1.top(), line0.bottom() - 20) << "5 sits under 10";
}

TEST(ChartDrawing, LinesWithXValuesStandWhereTheirXSays)
{
    Chart c;
    c.setSize(W, H);
    c.setGallery(LinesGallery);
    fill(c, { { 10, 30, 20 } });
    ASSERT_TRUE(c.openData(XValuesData, 1));
    for (int p = 0; p < 3; ++p)
        ASSERT_TRUE(c.setXValue(0, p, p * p * p / 2.0));
    ASSERT_TRUE(c.closeData(XValuesData));
    const QImage img = c.image(Dpi);
    const QRect line = bounds(img, C0);
    ASSERT_FALSE(line.isNull());
    // The peak at x = 0.5 of 0..4 lies an eighth of the way along, not half.
    const QRect peak = bounds(img, C0, QRect(0, line.top(), img.width(), 3));
    EXPECT_NEAR(double(peak.center().x() - line.left()) / line.width(), 0.125, 0.03);
}

TEST(ChartDrawing, UprightLabelsTakeTheirRoomFromThePlot)
{
    Chart c;
    barChart(c, { { 10, 20, 30 } });
    for (int p = 0; p < 3; ++p)
        c.xAxis().setLabel(p, QStringLiteral("Print room %1").arg(p + 1));
    const int flat = bounds(c.image(Dpi), C0).bottom();
    c.xAxis().setLabelAngle(90);
    const int upright = bounds(c.image(Dpi), C0).bottom();
    EXPECT_LT(upright, flat - 30);
    c.xAxis().setLabelAngle(270);
    EXPECT_NEAR(bounds(c.image(Dpi), C0).bottom(), upright, 2);
    // A name stands whole: Qt cut it to the room it guessed below the plot ("Human Reso…"),
    // although the chart had more.
    const QString name = QStringLiteral("Human Resources Dept");
    c.xAxis().setLabel(1, name);
    c.xAxis().setLabelAngle(90);
    const QImage img = c.image(Dpi);
    const int below = bounds(img, C0).bottom() + 4;
    const QRect label = bounds(img, QColor(0x33, 0x33, 0x33),
        QRect(img.width() * 0.45, below, img.width() * 0.1, img.height() - below));
    QFont font = c.font();
    font.setPixelSize(qRound(font.pointSizeF() * Dpi / 72.0));
    const double whole = QFontMetricsF(font).horizontalAdvance(name);
    EXPECT_GT(label.height(), whole * 0.95) << "cut to " << label.height();
}

// In a PDF the chart stays lines and text, and the value axis groups thousands as the tables
// print them, even when the step is below 1,000.
TEST(ChartExport, PdfHoldsTextWithThousandsGroupedAndNoBitmap)
{
    QTemporaryDir dir;
    Chart c;
    barChart(c, { { 900, 2400, 1700 } });
    const QString path = dir.filePath(QStringLiteral("axis.pdf"));
    {
        QPdfWriter pdf(path);
        pdf.setResolution(1200);
        QPainter p(&pdf);
        DrawPicture(&p, c.picture(), QRectF(1000, 1000, 4800, 3600));
    }
    bool ok = false;
    const QString text = kv6test::pdfText(path, &ok);
    ASSERT_TRUE(ok);
    QLocale l = QLocale::system();
    l.setNumberOptions(QLocale::DefaultNumberOptions);
    EXPECT_TRUE(text.contains(l.toString(2500))) << text.toStdString();
    EXPECT_FALSE(text.contains(QStringLiteral("2500"))) << text.toStdString();
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    EXPECT_FALSE(bytes.contains("/Subtype /Image"));
    EXPECT_TRUE(bytes.contains("/FontFile")) << "labels are text";
}

TEST(ChartExport, PictureFileLoadsAtItsSizeAndStaysSharpWhenEnlarged)
{
    QTemporaryDir dir;
    Chart c;
    barChart(c, { { 12, 30, 21 }, { 8, 14, 25 } });
    c.setSeriesLegend(0, "2023");
    c.setSeriesLegend(1, "2024");
    c.setSeriesLegendVisible(true);
    c.seriesLegendBox().setFramed(true);
    c.xAxis().setTitle("Printer");
    c.yAxis().setTitle("Pages");
    const QString path = dir.filePath("pgf1.tmp");
    QString error;
    ASSERT_TRUE(c.exportToFile(PictureExport, path, &error)) << error.toStdString();

    QPicture pic;
    ASSERT_TRUE(pic.load(path));
    EXPECT_EQ(pic.boundingRect(), QRect(0, 0, 384, 288));

    // Replayed twice as large it matches the chart drawn at that size, where an enlarged bitmap
    // would not.
    QImage replay(768, 576, QImage::Format_ARGB32_Premultiplied);
    replay.fill(Qt::white);
    {
        QPainter p(&replay);
        p.setRenderHint(QPainter::Antialiasing);
        p.scale(2, 2);
        p.drawPicture(0, 0, pic);
    }
    const QImage direct = c.image(192).convertToFormat(replay.format());
    const QImage enlarged = c.image(96)
                                .scaled(768, 576, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
                                .convertToFormat(replay.format());
    ASSERT_EQ(direct.size(), replay.size());
    const double vector = differing(replay, direct), bitmap = differing(enlarged, direct);
    EXPECT_LT(vector, 0.004);
    EXPECT_GT(bitmap, 3 * vector + 0.002);
    EXPECT_FALSE(bounds(replay, C1).isNull());
}

TEST(ChartExport, PictureFillsItsTargetOnDevicesOfAnyResolution)
{
    Chart c;
    barChart(c, { { 12, 30, 21 } });
    c.xAxis().setTitle("Printer");
    const QPicture pic = c.picture();

    // An image that says it has 300 dpi: drawPicture alone would draw it 3.125 times too large.
    const QImage direct = c.image(300);
    QImage tagged(direct.size(), QImage::Format_ARGB32_Premultiplied);
    tagged.setDotsPerMeterX(direct.dotsPerMeterX());
    tagged.setDotsPerMeterY(direct.dotsPerMeterY());
    tagged.fill(Qt::white);
    {
        QPainter p(&tagged);
        p.setRenderHint(QPainter::Antialiasing);
        DrawPicture(&p, pic, QRectF(tagged.rect()));
    }
    EXPECT_LT(differing(tagged, direct.convertToFormat(tagged.format())), 0.004);
}

TEST(ChartExport, PngAtThreeHundredDpiAndFailuresReported)
{
    QTemporaryDir dir;
    Chart c;
    barChart(c, { { 1, 2 } });
    const QString path = dir.filePath("chart.png");
    QString error;
    ASSERT_TRUE(c.exportToFile(PngExport, path, &error)) << error.toStdString();
    QImage img(path);
    ASSERT_FALSE(img.isNull());
    EXPECT_EQ(img.size(), QSize(1200, 900));
    EXPECT_NEAR(img.dotsPerMeterX(), 11811, 2);
    EXPECT_FALSE(bounds(img, C0).isNull());

    EXPECT_FALSE(c.exportToFile(9, dir.filePath("x"), &error));
    EXPECT_TRUE(error.contains("9"));
    for (int format : { PictureExport, PngExport }) {
        error.clear();
        EXPECT_FALSE(c.exportToFile(format, dir.filePath("missing/chart"), &error));
        EXPECT_FALSE(error.isEmpty());
    }
}

TEST(ChartExport, PaintFillsOnlyTheTargetRectangle)
{
    Chart c;
    barChart(c, { { 3, 1 } });
    c.setSeriesLegendVisible(true);
    c.setSeriesLegend(0, "Pages");
    QImage img(800, 600, QImage::Format_ARGB32_Premultiplied);
    img.fill(QColor(255, 0, 255));
    const QRect target(200, 150, 384, 288);
    {
        QPainter p(&img);
        c.paint(&p, target);
    }
    int outside = 0;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x)
            if (!target.contains(x, y))
                outside += !is(img.pixel(x, y), QColor(255, 0, 255), 0);
    EXPECT_EQ(outside, 0);
    EXPECT_EQ(count(img, QColor(255, 0, 255), target), 0) << "the chart paints its background";
    const QRect bars = bounds(img, C0);
    EXPECT_TRUE(target.contains(bars));
    EXPECT_GT(bars.width(), 100);
}
