#include "engine/printing.h"

#include <QPainter>
#include <QPrinter>

namespace kv6::engine {

namespace {

QPageLayout::Orientation orientationOf(const QSizeF &twips)
{
    return twips.width() > twips.height() ? QPageLayout::Landscape : QPageLayout::Portrait;
}

QPageSize paperOf(const QSizeF &twips)
{
    const QSizeF portrait = twips.width() > twips.height() ? twips.transposed() : twips;
    return QPageSize(portrait / TwipsPerInch, QPageSize::Inch, QString(), QPageSize::FuzzyMatch);
}

} // namespace

void preparePrinter(QPrinter &printer, const PreviewDocument &document)
{
    printer.setFullPage(true);
    if (document.isEmpty())
        return;
    const QSizeF first = document.sizeOfPage(1);
    printer.setPageSize(paperOf(first));
    printer.setPageOrientation(orientationOf(first));
    printer.setFromTo(1, document.pageCount());
}

bool printDocument(
    const PreviewDocument &document, QPrinter &printer, int from, int to, QString *error)
{
    auto fail = [error](const QString &why) {
        if (error)
            *error = why;
        return false;
    };
    if (document.isEmpty())
        return fail(QStringLiteral("The document has no pages."));
    from = std::clamp(from, 1, document.pageCount());
    to = std::clamp(to, from, document.pageCount());
    printer.setFullPage(true);
    printer.setPageOrientation(orientationOf(document.sizeOfPage(from)));
    QPainter painter;
    if (!painter.begin(&printer))
        return fail(QStringLiteral("The printer %1 cannot be opened.").arg(printer.printerName()));
    for (int p = from; p <= to; ++p) {
        if (p > from) {
            // Orientation changes take effect on the next sheet.
            printer.setPageOrientation(orientationOf(document.sizeOfPage(p)));
            if (!printer.newPage())
                return fail(QStringLiteral("The printer stopped at page %1.").arg(p));
        }
        const QRectF sheet = printer.pageLayout().fullRectPixels(printer.resolution());
        const QSizeF twips = document.sizeOfPage(p);
        // The page at its real size, reduced only to fit a smaller sheet.
        QSizeF size = twips / TwipsPerInch * printer.resolution();
        if (size.width() > sheet.width() || size.height() > sheet.height())
            size.scale(sheet.size(), Qt::KeepAspectRatio);
        document.paintPage(&painter, p, QRectF(QPointF(0, 0), size));
    }
    if (!painter.end())
        return fail(QStringLiteral("Printing failed."));
    return true;
}

bool printDocument(
    const PreviewDocument &document, QPrinter &printer, int currentPage, QString *error)
{
    switch (printer.printRange()) {
    case QPrinter::PageRange:
        return printDocument(document, printer, printer.fromPage(),
            printer.toPage() > 0 ? printer.toPage() : document.pageCount(), error);
    case QPrinter::CurrentPage:
        return printDocument(document, printer, currentPage, currentPage, error);
    default:
        return printDocument(document, printer, 1, document.pageCount(), error);
    }
}

} // namespace kv6::engine
