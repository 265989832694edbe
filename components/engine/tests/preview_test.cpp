#include "engine/previewwidget.h"
#include "engine/printing.h"

#include "jobrecords.h"

#include <gtest/gtest.h>

#include <QPrinter>
#include <QRegularExpression>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using namespace kv6::engine;

namespace {

// Four A4 pages, the third landscape, each saying which it is; a red box on page 2.
PreviewDocument sheets()
{
    PreviewDocument doc;
    doc.setPageSize(pageSizeTwips(QPageSize(QPageSize::A4)));
    for (int p = 1; p <= 4; ++p) {
        const int n
            = doc.addPage(p == 3 ? pageSizeTwips(QPageSize(QPageSize::A4), true) : QSizeF());
        TextRun t;
        t.rect = QRectF(1440, 1440, 6000, 400);
        t.text = QStringLiteral("Sheet %1").arg(p);
        t.font.size = 14;
        doc.addItem(n, t);
    }
    BoxItem box;
    box.rect = QRectF(2880, 5760, 2880, 2880);
    box.filled = true;
    box.fill = qRgb(255, 0, 0);
    doc.addItem(2, box);
    return doc;
}

} // namespace

TEST(PreviewWidget, FitsTheWidthNavigatesAndShowsThePages)
{
    const PreviewDocument doc = sheets();
    PreviewWidget view;
    view.resize(600, 800);
    view.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
    QSignalSpy pages(&view, &PreviewWidget::currentPageChanged);
    view.setDocument(&doc);
    EXPECT_EQ(view.pageCount(), 4);
    EXPECT_EQ(view.currentPage(), 1);
    EXPECT_EQ(view.zoomMode(), PreviewWidget::ZoomMode::FitWidth);
    QCoreApplication::processEvents();
    // The widest page (the landscape one) fills the width but for the desk's margins; the
    // others keep the same scale, centred.
    EXPECT_NEAR(view.pageRect(3).width(), view.viewport()->width() - 32, 2);
    EXPECT_NEAR(double(view.pageRect(1).width()) / view.pageRect(3).width(), 11906.0 / 16838, 0.01);
    EXPECT_NEAR(view.pageRect(1).center().x(), view.pageRect(3).center().x(), 1);
    EXPECT_EQ(view.horizontalScrollBar()->maximum(), 0);

    view.setCurrentPage(2);
    EXPECT_EQ(view.currentPage(), 2);
    EXPECT_EQ(pages.last().at(0).toInt(), 2);
    QCoreApplication::processEvents();
    const QImage shot = view.viewport()->grab().toImage();
    if (!qEnvironmentVariableIsEmpty("KV6_KEEP_OUTPUT"))
        shot.save(qEnvironmentVariable("KV6_KEEP_OUTPUT") + QStringLiteral("/preview.png"));
    const QRect r = view.pageRect(2);
    const double k = r.width() / doc.page(2).size.width();
    const QPoint boxMiddle = r.topLeft() + QPoint(int(4320 * k), int(7200 * k))
        - QPoint(view.horizontalScrollBar()->value(), view.verticalScrollBar()->value());
    ASSERT_TRUE(shot.rect().contains(boxMiddle));
    EXPECT_EQ(QColor(shot.pixel(boxMiddle)), QColor(255, 0, 0));
    // The desk between pages is grey, the paper white.
    const QPoint paper = r.topLeft() + QPoint(20, 20)
        - QPoint(view.horizontalScrollBar()->value(), view.verticalScrollBar()->value());
    EXPECT_EQ(QColor(shot.pixel(paper)), QColor(255, 255, 255));

    view.lastPage();
    EXPECT_EQ(view.currentPage(), 4);
    view.nextPage();
    EXPECT_EQ(view.currentPage(), 4);
    view.firstPage();
    EXPECT_EQ(view.currentPage(), 1);
    QTest::keyClick(&view, Qt::Key_End, Qt::ControlModifier);
    EXPECT_EQ(view.currentPage(), 4);

    // A fixed zoom of 1 shows the page at its size on the screen.
    QSignalSpy zooms(&view, &PreviewWidget::zoomChanged);
    view.setZoom(1.0);
    EXPECT_EQ(view.zoomMode(), PreviewWidget::ZoomMode::Fixed);
    EXPECT_NEAR(view.pageRect(1).width(), 11906.0 / 1440 * view.logicalDpiX(), 1);
    EXPECT_EQ(view.currentPage(), 4); // zooming keeps the page in view
    view.zoomIn();
    EXPECT_NEAR(view.zoom(), 1.25, 1e-9);
    EXPECT_EQ(zooms.size(), 2);
    view.setZoomMode(PreviewWidget::ZoomMode::FitPage);
    EXPECT_LE(view.pageRect(1).height(), view.viewport()->height());

    // A document that changes is laid out again on refresh.
    PreviewDocument shorter = sheets();
    view.setDocument(&shorter);
    shorter.clear();
    shorter.addPage();
    view.refresh();
    EXPECT_EQ(view.pageCount(), 1);
    EXPECT_EQ(view.currentPage(), 1);
}

TEST(Printing, PrintsTheChosenPagesAtTheirOrientation)
{
    QTemporaryDir dir;
    const PreviewDocument doc = sheets();
    auto printTo = [&](const QString &name, auto &&print) {
        QPrinter printer(QPrinter::HighResolution);
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(dir.filePath(name));
        preparePrinter(printer, doc);
        EXPECT_EQ(printer.fromPage(), 1);
        EXPECT_EQ(printer.toPage(), 4);
        QString error;
        EXPECT_TRUE(print(printer, error)) << error.toStdString();
        return dir.filePath(name);
    };

    const QString range = printTo(QStringLiteral("range.pdf"),
        [&](QPrinter &p, QString &e) { return printDocument(doc, p, 2, 3, &e); });
    const QString text = kv6test::pdfText(range);
    EXPECT_FALSE(text.contains(QStringLiteral("Sheet 1")));
    EXPECT_TRUE(text.contains(QStringLiteral("Sheet 2")));
    EXPECT_TRUE(text.contains(QStringLiteral("Sheet 3")));
    EXPECT_FALSE(text.contains(QStringLiteral("Sheet 4")));
    const QString info = kv6test::runTool(QStringLiteral("pdfinfo"),
        { QStringLiteral("-f"), QStringLiteral("1"), QStringLiteral("-l"), QStringLiteral("2"),
            range });
    EXPECT_TRUE(info.contains(QRegularExpression(QStringLiteral("Pages: +2"))))
        << info.toStdString();
    EXPECT_TRUE(info.contains(QRegularExpression(QStringLiteral("Page +1 size: +595 x 842"))))
        << info.toStdString();
    EXPECT_TRUE(info.contains(QRegularExpression(QStringLiteral("Page +2 size: +842 x 595"))))
        << info.toStdString();

    // The range the print dialog leaves in the printer.
    const QString chosen = printTo(QStringLiteral("chosen.pdf"), [&](QPrinter &p, QString &e) {
        p.setPrintRange(QPrinter::PageRange);
        p.setFromTo(4, 9);
        return printDocument(doc, p, 1, &e);
    });
    EXPECT_EQ(kv6test::pdfText(chosen).count(QStringLiteral("Sheet")), 1);
    EXPECT_TRUE(kv6test::pdfText(chosen).contains(QStringLiteral("Sheet 4")));
    const QString current = printTo(QStringLiteral("current.pdf"), [&](QPrinter &p, QString &e) {
        p.setPrintRange(QPrinter::CurrentPage);
        return printDocument(doc, p, 2, &e);
    });
    EXPECT_TRUE(kv6test::pdfText(current).contains(QStringLiteral("Sheet 2")));
    EXPECT_EQ(kv6test::pdfText(current).count(QStringLiteral("Sheet")), 1);

    QPrinter none;
    QString error;
    EXPECT_FALSE(printDocument(PreviewDocument(), none, 1, 1, &error));
    EXPECT_FALSE(error.isEmpty());
}
