// Times the chart control drawing bar charts as a report places them (the chart as a vector
// picture, the picture drawn into its field of a PDF page), against baselines measured in the
// same run:
//
//   direct    the same bars, tick labels, grid, category names and axis titles drawn straight
//             with QPainter into the PDF page: the floor;
//   picture   the control making the picture only, without the PDF.
//
//   bench_chart [charts]     (default 40, one chart of 12 bars a page, the values differing)

#include "benchsupport.h"
#include "chart/chart.h"

#include <QApplication>
#include <QFontMetricsF>
#include <QPainter>
#include <QPdfWriter>
#include <QTemporaryDir>

#include <cmath>
#include <cstdio>

using namespace kv6;

namespace {

constexpr int Bars = 12;
constexpr int WidthTwips = 9000, HeightTwips = 5000;
const char *Names[Bars] = { "Human Resources", "Finance", "Sales", "Marketing", "Engineering",
    "Support", "Legal", "Facilities", "Research", "Operations", "Purchasing", "Logistics" };

double valueOf(int chart, int bar)
{
    return 1000.0 * ((chart * 7 + bar * 13) % 97 + 3);
}

void fill(chart::Chart &c, int n)
{
    c.clearData();
    c.openData(chart::ValuesData, 1, Bars);
    for (int b = 0; b < Bars; ++b) {
        c.setValue(0, b, valueOf(n, b));
        c.xAxis().setLabel(b, QString::fromLatin1(Names[b]));
    }
    c.closeData(chart::ValuesData);
}

// A PDF writer of A4 pages at 1200 dpi, the chart's field two inches in.
struct Pdf
{
    explicit Pdf(const QString &path)
        : writer(path)
    {
        writer.setResolution(1200);
        writer.setPageSize(QPageSize(QPageSize::A4));
        writer.setPageMargins(QMarginsF());
        painter.begin(&writer);
    }
    static QRectF field() { return QRectF(2400, 2400, WidthTwips * K, HeightTwips * K); }
    static constexpr double K = 1200.0 / 1440;
    QPdfWriter writer;
    QPainter painter;
};

// The bars by hand: plot box, five value ticks with grid and labels, the bars, the category
// names turned upright, both axis titles.
void drawDirect(QPainter &p, const QRectF &field, int n, const QFont &font)
{
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    p.setFont(font);
    const QFontMetricsF fm(font);
    double longest = 0;
    for (const char *name : Names)
        longest = std::max(longest, fm.horizontalAdvance(QString::fromLatin1(name)));
    const QRectF plot
        = field.adjusted(fm.horizontalAdvance(QStringLiteral("100,000")) + 3 * fm.height(),
            fm.height(), -fm.height(), -(longest + 3 * fm.height()));
    double high = 0;
    for (int b = 0; b < Bars; ++b)
        high = std::max(high, valueOf(n, b));
    const double step = std::pow(10.0, std::floor(std::log10(high / 5))) * 2;
    const int ticks = int(std::ceil(high / step));
    const double top = ticks * step;
    QLocale locale = QLocale::system();
    locale.setNumberOptions(QLocale::DefaultNumberOptions);
    for (int t = 0; t <= ticks; ++t) {
        const double y = plot.bottom() - plot.height() * t / ticks;
        p.setPen(QPen(QColor(0xE3, 0xE3, 0xE3), 1));
        p.drawLine(QPointF(plot.left(), y), QPointF(plot.right(), y));
        p.setPen(QColor(0x33, 0x33, 0x33));
        p.drawText(
            QRectF(field.left(), y - fm.height() / 2, plot.left() - field.left() - 4, fm.height()),
            Qt::AlignRight | Qt::AlignVCenter, locale.toString(t * step, 'f', 0));
    }
    const double slot = plot.width() / Bars;
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0x2F, 0x6D, 0xB5));
    for (int b = 0; b < Bars; ++b) {
        const double h = plot.height() * valueOf(n, b) / top;
        p.drawRect(QRectF(plot.left() + slot * (b + 0.1), plot.bottom() - h, slot * 0.8, h));
    }
    p.setPen(QColor(0x99, 0x99, 0x99));
    p.drawLine(plot.bottomLeft(), plot.bottomRight());
    p.drawLine(plot.bottomLeft(), plot.topLeft());
    p.setPen(QColor(0x33, 0x33, 0x33));
    for (int b = 0; b < Bars; ++b) {
        p.save();
        p.translate(plot.left() + slot * (b + 0.5) + fm.height() / 3, plot.bottom() + 4);
        p.rotate(-90);
        p.drawText(QPointF(-fm.horizontalAdvance(QString::fromLatin1(Names[b])), 0),
            QString::fromLatin1(Names[b]));
        p.restore();
    }
    p.drawText(QRectF(plot.left(), field.bottom() - fm.height(), plot.width(), fm.height()),
        Qt::AlignHCenter, QStringLiteral("Department"));
    p.save();
    p.translate(field.left() + fm.height(), plot.center().y());
    p.rotate(-90);
    p.drawText(QRectF(-plot.height() / 2, -fm.height(), plot.height(), fm.height()),
        Qt::AlignHCenter, QStringLiteral("Pages"));
    p.restore();
    p.restore();
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int charts = argc > 1 ? std::max(1, QString::fromLocal8Bit(argv[1]).toInt()) : 40;
    QTemporaryDir tmp;

    chart::Chart c;
    c.setGallery(chart::BarGallery);
    c.setFont(QStringLiteral("Arial"), 9);
    c.setSize(WidthTwips, HeightTwips);
    c.xAxis().setLabelAngle(90);
    c.xAxis().setTitle(QStringLiteral("Department"));
    c.yAxis().setTitle(QStringLiteral("Pages"));
    // The scene unit of the control is 1/96 inch; the same font at 1200 dpi.
    QFont font(QStringLiteral("Arial"));
    font.setPixelSize(int(std::lround(9 * 1200.0 / 72)));

    const double chartTime = kv6bench::best([&] {
        Pdf pdf(tmp.filePath(QStringLiteral("chart.pdf")));
        for (int n = 0; n < charts; ++n) {
            if (n > 0)
                pdf.writer.newPage();
            fill(c, n);
            chart::DrawPicture(&pdf.painter, c.picture(), Pdf::field());
        }
    });
    const double pictureTime = kv6bench::best([&] {
        for (int n = 0; n < charts; ++n) {
            fill(c, n);
            const QPicture picture = c.picture();
            Q_UNUSED(picture);
        }
    });
    const double directTime = kv6bench::best([&] {
        Pdf pdf(tmp.filePath(QStringLiteral("direct.pdf")));
        for (int n = 0; n < charts; ++n) {
            if (n > 0)
                pdf.writer.newPage();
            drawDirect(pdf.painter, Pdf::field(), n, font);
        }
    });

    std::printf("bench_chart: %d bar charts of %d bars, one a page of a PDF\n\n", charts, Bars);
    std::printf("%-40s %9s %11s %9s\n", "", "time s", "ms a chart", "x/direct");
    auto line = [&](const char *label, double t) {
        std::printf("%-40s %9.3f %11.2f %9.2f\n", label, t, 1000 * t / charts, t / directTime);
    };
    line("chart: control's picture into the PDF", chartTime);
    line("  the picture alone", pictureTime);
    line("direct: the bars with QPainter", directTime);
    return 0;
}
