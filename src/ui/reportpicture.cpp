#include "reportpicture_p.h"

#include <QPainter>
#include <QPixmap>

namespace kv6 {

namespace {

enum class Picture { Report, Bars, Lines, Pie };

// Small pictures drawn here rather than shipped: they follow the palette and need no files.
QIcon picture(Picture kind)
{
    QPixmap pix(20, 20);
    pix.fill(Qt::transparent);
    QPainter p(&pix);
    p.setRenderHint(QPainter::Antialiasing);
    const QColor ink(0x33, 0x55, 0x99);
    switch (kind) {
    case Picture::Report:
        p.setPen(QColor(0x60, 0x60, 0x60));
        p.setBrush(Qt::white);
        p.drawRect(4, 1, 12, 17);
        for (int y = 5; y < 16; y += 3)
            p.drawLine(6, y, 14, y);
        break;
    case Picture::Bars:
        p.setPen(Qt::NoPen);
        p.setBrush(ink);
        p.drawRect(2, 10, 4, 8);
        p.drawRect(8, 4, 4, 14);
        p.drawRect(14, 7, 4, 11);
        break;
    case Picture::Lines:
        p.setPen(QPen(ink, 2));
        p.drawPolyline(QPolygon({ QPoint(2, 16), QPoint(7, 9), QPoint(12, 12), QPoint(18, 3) }));
        break;
    case Picture::Pie:
        p.setPen(Qt::NoPen);
        p.setBrush(ink);
        p.drawPie(QRect(2, 2, 16, 16), 90 * 16, 270 * 16);
        p.setBrush(QColor(0xd0, 0x80, 0x30));
        p.drawPie(QRect(3, 1, 16, 16), 0, 90 * 16);
        break;
    }
    return QIcon(pix);
}

// The first chart's type: the report's own, else the first sub-report's that has one.
int firstChartType(const clsReport &report)
{
    if (!report.Charts().isEmpty())
        return (*report.Charts().item(1))->ChartType();
    for (const ReportPtr &sub : report.SubReports()) {
        if (const int type = firstChartType(*sub))
            return type;
    }
    return 0;
}

} // namespace

QIcon ChartPicture(const clsReport &report)
{
    switch (firstChartType(report)) {
    case 1:
    case 4:
        return picture(Picture::Bars);
    case 2:
        return picture(Picture::Lines);
    case 3:
        return picture(Picture::Pie);
    default:
        return picture(Picture::Report);
    }
}

} // namespace kv6
