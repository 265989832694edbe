#include "engine/previewdocument.h"

#include "jobrecords.h"
#include "pagestore_p.h"
#include "testscopes.h"
#include "toolrun.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QDomDocument>
#include <QMap>
#include <QPainter>
#include <QRegularExpression>
#include <QTemporaryDir>

using namespace kv6::engine;

namespace {

TextRun text(const QRectF &rect, const QString &s, double size = 10)
{
    TextRun t;
    t.rect = rect;
    t.text = s;
    t.font.name = QStringLiteral("Arial");
    t.font.size = size;
    return t;
}

BoxItem box(const QRectF &rect, QRgb fill)
{
    BoxItem b;
    b.rect = rect;
    b.filled = true;
    b.fill = fill;
    return b;
}

QPicture vectorLabel(const QString &label)
{
    QPicture pic;
    QPainter p(&pic);
    p.setPen(Qt::darkBlue);
    p.setBrush(QColor(200, 40, 40));
    p.drawRect(QRectF(0, 0, 200, 100));
    QFont f(QStringLiteral("Arial"));
    f.setPixelSize(20);
    p.setFont(f);
    p.setPen(Qt::black);
    p.drawText(QRectF(10, 110, 190, 30), Qt::AlignLeft, label);
    p.end();
    pic.setBoundingRect(QRect(0, 0, 200, 150));
    return pic;
}

// A document with every kind of item, on two pages of different orientation.
PreviewDocument sampleDocument()
{
    PreviewDocument doc;
    doc.setTitle(QStringLiteral("Sample"));
    doc.setPageSize(pageSizeTwips(QPageSize(QPageSize::A4)));
    doc.setMargins(QMarginsF(1000, 800, 1000, 800));
    FontSpec f;
    f.name = QStringLiteral("Liberation Serif");
    f.size = 11;
    f.italic = true;
    doc.setFont(f);
    doc.setTextColor(qRgb(10, 20, 30));

    const int p1 = doc.addPage();
    doc.addItem(p1, box(QRectF(1440, 1440, 2880, 720), qRgb(0, 128, 255)));
    doc.addItem(p1, text(QRectF(1440, 2400, 6000, 300), QStringLiteral("Pages by user")));
    TextRun ru = text(QRectF(1440, 2800, 6000, 600), QStringLiteral("Отчёт по страницам\nИтого"));
    ru.alignment = Qt::AlignRight | Qt::AlignVCenter;
    ru.color = qRgb(200, 0, 0);
    ru.font.bold = true;
    doc.addItem(p1, ru);
    LineItem line;
    line.from = QPointF(1440, 3600);
    line.to = QPointF(9000, 3600);
    line.width = 30;
    line.color = qRgb(0, 150, 0);
    line.style = Qt::DashLine;
    doc.addItem(p1, line);
    QImage img(40, 20, QImage::Format_RGB32);
    img.fill(qRgb(250, 200, 0));
    doc.addItem(p1, PictureItem { QRectF(1440, 4000, 1440, 720), Picture::fromImage(img), 1 });
    doc.addItem(p1,
        PictureItem { QRectF(1440, 5000, 2880, 2160),
            Picture::fromVector(vectorLabel(QStringLiteral("VectorLabel"))), PictureFit });

    const int p2 = doc.addPage(pageSizeTwips(QPageSize(QPageSize::A4), true));
    doc.addItem(p2, text(QRectF(720, 720, 8000, 300), QStringLiteral("Landscape page")));
    doc.drawOverlayText(p2, 9000, 10000, QStringLiteral("Page 2 of 2"));
    return doc;
}

bool sameImages(const QImage &a, const QImage &b)
{
    return a.size() == b.size()
        && a.convertToFormat(QImage::Format_RGB32) == b.convertToFormat(QImage::Format_RGB32);
}

} // namespace

TEST(TextMeasure, WrapsAtWordsWithinTheWidth)
{
    FontSpec f;
    f.size = 10;
    const QString s = QStringLiteral("The quick brown fox jumps over the lazy dog again and again");
    const double width = textWidth(f, s) / 3;
    const QStringList lines = wrapText(f, s, width, true);
    ASSERT_GE(lines.size(), 3);
    for (const QString &l : lines) {
        EXPECT_LE(textWidth(f, l), width + 0.5) << l.toStdString();
        EXPECT_FALSE(l.endsWith(u' '));
    }
    EXPECT_EQ(lines.join(u' '), s);

    EXPECT_EQ(wrapText(f, QStringLiteral("one\r\ntwo\nthree"), 0, true),
        QStringList({ "one", "two", "three" }));
    EXPECT_EQ(wrapText(f, s, width, false), QStringList { s });
    // A word longer than the box breaks inside itself rather than running out of it.
    const QStringList longWord = wrapText(f, QString(40, u'W'), width / 4, true);
    EXPECT_GT(longWord.size(), 1);
    EXPECT_GT(lineHeight(f), f.size * TwipsPerPoint);
    // Text sized in twips: twice the point size is twice as wide.
    FontSpec big = f;
    big.size = 20;
    EXPECT_NEAR(textWidth(big, s) / textWidth(f, s), 2.0, 0.05);
}

TEST(PreviewDocument, PaintsItemsWhereTheirTwipsSayAtAnyResolution)
{
    PreviewDocument doc;
    doc.setPageSize(QSizeF(14400, 14400)); // ten inches square
    const int p = doc.addPage();
    doc.addItem(p, box(QRectF(1440, 2880, 1440, 1440), qRgb(255, 0, 0)));
    BoxItem overlay = box(QRectF(2160, 3600, 1440, 1440), qRgb(0, 0, 255));
    doc.addOverlay(p, overlay);
    doc.addItem(p, box(QRectF(2160, 3600, 1440, 1440), qRgb(0, 255, 0))); // under the overlay

    // A vector picture fills its box whatever the device's resolution.
    QPicture square;
    {
        QPainter sp(&square);
        sp.fillRect(QRectF(0, 0, 50, 50), QColor(255, 255, 0));
    }
    square.setBoundingRect(QRect(0, 0, 50, 50));
    doc.addItem(p,
        PictureItem {
            QRectF(7200, 7200, 2880, 2880), Picture::fromVector(square), PictureStretch });

    for (double dpi : { 20.0, 72.0 }) {
        const QImage img = doc.renderPage(p, dpi);
        ASSERT_EQ(img.width(), int(10 * dpi));
        auto at = [&](double xIn, double yIn) {
            return QColor(img.pixel(int(xIn * dpi), int(yIn * dpi)));
        };
        EXPECT_EQ(at(1.25, 2.25), QColor(255, 0, 0)) << dpi;
        EXPECT_EQ(at(2.0, 3.0), QColor(0, 0, 255)) << dpi; // overlay on top
        EXPECT_EQ(at(0.5, 0.5), QColor(255, 255, 255)) << dpi;
        EXPECT_EQ(at(3.2, 2.2), QColor(255, 255, 255)) << dpi;
        EXPECT_EQ(at(5.1, 5.1), QColor(255, 255, 0)) << dpi;
        EXPECT_EQ(at(6.9, 6.9), QColor(255, 255, 0)) << dpi;
        EXPECT_EQ(at(7.2, 6.0), QColor(255, 255, 255)) << dpi;
    }

    // Text is clipped to its box.
    PreviewDocument t;
    t.setPageSize(QSizeF(14400, 14400));
    t.addPage();
    TextRun run = text(QRectF(1440, 1440, 720, 720), QString(60, u'W'), 30);
    t.addItem(1, run);
    const QImage img = t.renderPage(1, 72);
    int inkOutside = 0, inkInside = 0;
    for (int x = 0; x < img.width(); ++x) {
        for (int y = 72; y < 144; ++y) {
            if (QColor(img.pixel(x, y)).lightness() < 128)
                ++(x < 144 ? inkInside : inkOutside);
        }
    }
    EXPECT_GT(inkInside, 0);
    EXPECT_EQ(inkOutside, 0);
}

TEST(PreviewDocument, EachTextKeepsItsColourAndFontAndIsCutOnlyAtItsClip)
{
    // Runs in turn of one colour and another, then after a line one of the first colour again,
    // then a larger font: each keeps its own look whatever was painted before it.
    PreviewDocument doc;
    doc.setPageSize(QSizeF(14400, 14400));
    const int p = doc.addPage();
    const QList<QRgb> colours = { qRgb(255, 0, 0), qRgb(0, 0, 255), qRgb(255, 0, 0) };
    auto row = [&](int i, QRgb colour) {
        TextRun t = text(QRectF(1440, 1440 + i * 1440, 7200, 720), QString(20, u'W'), 20);
        t.color = colour;
        doc.addItem(p, t);
    };
    for (int i = 0; i < 3; ++i)
        row(i, colours[i]);
    LineItem l;
    l.from = QPointF(10000, 1440);
    l.to = QPointF(13000, 1440);
    l.color = qRgb(0, 160, 0);
    l.width = 60;
    doc.addItem(p, l);
    row(3, colours[2]);
    doc.addItem(p, text(QRectF(1440, 7200, 10000, 1440), QStringLiteral("WWW"), 48));
    // Two lines with the clip holding the first only, as a band cut at a page end leaves them.
    TextRun cut = text(QRectF(1440, 10080, 7200, 1440), QStringLiteral("WWWW\nWWWW"), 20);
    cut.clip = QRectF(1440, 10080, 7200, lineHeight(cut.font));
    doc.addItem(p, cut);

    const double dpi = 72;
    const QImage img = doc.renderPage(p, dpi);
    // Ink in a band of the page (inches), by colour.
    auto ink = [&](double top, double height) {
        QMap<QString, int> seen;
        for (int y = int(top * dpi); y < int((top + height) * dpi); ++y) {
            for (int x = 0; x < int(6.5 * dpi); ++x) {
                const QColor c(img.pixel(x, y));
                if (c.lightness() > 200)
                    continue;
                seen[c.red() > c.blue()      ? QStringLiteral("red")
                        : c.blue() > c.red() ? QStringLiteral("blue")
                                             : QStringLiteral("black")]++;
            }
        }
        return seen;
    };
    for (int i = 0; i < 4; ++i) {
        const QMap<QString, int> seen = ink(1.0 + i, 0.5);
        const QString want = i == 1 ? QStringLiteral("blue") : QStringLiteral("red");
        EXPECT_GT(seen.value(want), 0) << i;
        EXPECT_EQ(seen.size(), 1) << i;
    }
    // 48 points: ink reaches well below where a 20-point line would end.
    const QMap<QString, int> large = ink(5.0 + 0.45, 0.4);
    EXPECT_GT(large.value(QStringLiteral("black")), 0);
    const double line = lineHeight(cut.font) / TwipsPerInch;
    EXPECT_GT(ink(7.0, line).value(QStringLiteral("black")), 0);
    EXPECT_TRUE(ink(7.0 + line + 0.02, line).isEmpty());
}

// Pages packed while a PDF file is written come back exactly: every kind of item, fractions of
// a twip, own clips and none.
TEST(PreviewDocument, PackedPagesComeBackExactly)
{
    PreviewDocument doc = sampleDocument();
    TextRun odd = text(QRectF(100.1, 200.3, 5000, 240), QStringLiteral("clipped"));
    odd.clip = QRectF(100, 200, 2000, 120.7);
    odd.fits = true;
    doc.addItem(2, odd);
    doc.addItem(2, text(QRectF(0, 0, 0, 0), QString()));
    PreviewDocument copy = doc;
    PageStore store;
    for (int p = 1; p <= copy.pageCount(); ++p)
        store.add(copy.page(p));
    EXPECT_TRUE(copy.page(1).items.isEmpty());
    for (int p = 1; p <= copy.pageCount(); ++p)
        copy.page(p) = store.page(p);
    EXPECT_EQ(copy.toBytes(), doc.toBytes());
    // Whether a text was measured to fit, which the saved form leaves out, comes back too.
    const auto fitting = [](const PreviewDocument &d) {
        QList<bool> fits;
        for (int p = 1; p <= d.pageCount(); ++p)
            for (const DisplayItem &item : d.page(p).items)
                if (const auto *t = std::get_if<TextRun>(&item))
                    fits << t->fits;
        return fits;
    };
    EXPECT_EQ(fitting(copy), fitting(doc));
    EXPECT_TRUE(fitting(doc).contains(true) && fitting(doc).contains(false));

    // The document's own packing: read, drawn and written as before, in less memory; copies
    // share the packed pages until one of them changes a page.
    PreviewDocument packed = doc;
    for (int p = 1; p <= packed.pageCount(); ++p)
        packed.pack(p);
    EXPECT_LT(packed.memoryEstimate(), doc.memoryEstimate());
    EXPECT_EQ(packed.toBytes(), doc.toBytes());
    EXPECT_TRUE(sameImages(packed.renderPage(2, 40), doc.renderPage(2, 40)));
    PreviewDocument shared = packed;
    packed.addItem(2, text(QRectF(0, 0, 900, 240), QStringLiteral("added")));
    EXPECT_EQ(packed.page(2).items.size(), doc.page(2).items.size() + 1);
    EXPECT_EQ(shared.toBytes(), doc.toBytes());
    // A total known only at the end reaches packed and unpacked pages alike; the longer text
    // is no longer known to fit.
    TextRun total = text(QRectF(0, 0, 900, 240), QStringLiteral("1 of #"));
    total.fits = true;
    shared.page(1).items.append(total);
    shared.pack(2);
    total.text = QStringLiteral("2 of #");
    shared.addItem(2, total);
    shared.pack(2);
    shared.replaceText(QStringLiteral("#"), QStringLiteral("2"));
    for (int p = 1; p <= 2; ++p) {
        const TextRun &t = std::get<TextRun>(shared.page(p).items.last());
        EXPECT_EQ(t.text, QStringLiteral("%1 of 2").arg(p));
        EXPECT_FALSE(t.fits) << p;
    }
}

TEST(PreviewDocument, SavedFilesLoadWithEveryItemAndAppendKeepingTheSettings)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("b.rtt"));
    PreviewDocument b = sampleDocument();
    b.setTitle(QStringLiteral("Other"));
    ASSERT_TRUE(b.save(path));

    PreviewDocument a;
    a.setTitle(QStringLiteral("Main"));
    a.setMargins(QMarginsF(720, 720, 720, 720));
    a.addItem(a.addPage(), text(QRectF(0, 0, 2000, 300), QStringLiteral("first")));
    QString error;
    ASSERT_TRUE(a.append(path, &error)) << error.toStdString();
    ASSERT_TRUE(a.append(path, &error));
    EXPECT_EQ(a.pageCount(), 5);
    EXPECT_EQ(a.title(), QStringLiteral("Main"));
    EXPECT_EQ(a.margins(), QMarginsF(720, 720, 720, 720));
    EXPECT_EQ(std::get<TextRun>(a.page(1).items.at(0)).text, QStringLiteral("first"));
    EXPECT_EQ(a.page(3).size, b.page(2).size);
    EXPECT_TRUE(sameImages(a.renderPage(4, 30), b.renderPage(1, 30)));

    EXPECT_FALSE(a.append(dir.filePath(QStringLiteral("missing.rtt")), &error));
    EXPECT_TRUE(error.contains(QStringLiteral("missing.rtt")));
    EXPECT_EQ(a.pageCount(), 5);

    // Loading replaces what was there with everything the file holds: the settings, and all
    // that reaches the paper (texts with their alignment and font, lines with their style,
    // pictures, the overlay and each page's size).
    ASSERT_TRUE(a.load(path));
    EXPECT_EQ(a.title(), QStringLiteral("Other"));
    EXPECT_EQ(a.pageSize(), b.pageSize());
    EXPECT_EQ(a.margins(), b.margins());
    EXPECT_EQ(a.font(), b.font());
    EXPECT_EQ(a.textColor(), b.textColor());
    ASSERT_EQ(a.pageCount(), 2);
    ASSERT_EQ(a.page(1).items.size(), b.page(1).items.size());
    EXPECT_TRUE(std::get<PictureItem>(a.page(1).items.at(5)).picture.isVector());
    for (int p = 1; p <= 2; ++p)
        EXPECT_TRUE(sameImages(a.renderPage(p, 40), b.renderPage(p, 40))) << p;
}

TEST(PreviewDocument, TruncatedForeignAndNewerFilesFailAndChangeNothing)
{
    QTemporaryDir dir;
    const QByteArray bytes = sampleDocument().toBytes();
    PreviewDocument doc;
    doc.setTitle(QStringLiteral("kept"));
    doc.addPage();

    auto tryLoad = [&](const QByteArray &content, QString *error) {
        const QString path = dir.filePath(QStringLiteral("x.rtt"));
        kv6test::writeFile(path, content);
        return doc.load(path, error);
    };

    QString error;
    // Cut anywhere: in the header, in the settings, inside a picture, before the end mark.
    for (qsizetype cut : { qsizetype(5), qsizetype(14), qsizetype(40), bytes.size() / 3,
             bytes.size() / 2, bytes.size() - 5, bytes.size() - 1 }) {
        EXPECT_FALSE(tryLoad(bytes.left(cut), &error)) << cut;
        EXPECT_FALSE(error.isEmpty());
    }
    EXPECT_FALSE(tryLoad(QByteArray("%PDF-1.4\n..."), &error));
    EXPECT_EQ(error, QStringLiteral("The file is not a report document."));
    EXPECT_FALSE(tryLoad(QByteArray(), &error));

    QByteArray newer = bytes;
    newer[12] = char(0x7F); // version, high byte
    EXPECT_FALSE(tryLoad(newer, &error));
    EXPECT_TRUE(error.contains(QStringLiteral("newer")));

    // A page count beyond the file's size is damage, not an allocation.
    QByteArray huge = bytes;
    const QByteArray tail = QByteArray::fromHex("FFFFFFF0");
    PreviewDocument probe = sampleDocument();
    probe.clear();
    const int headerLength = int(probe.toBytes().size()) - 8; // settings end before count
    huge.replace(headerLength, 4, tail);
    EXPECT_FALSE(tryLoad(huge, &error));

    EXPECT_EQ(doc.title(), QStringLiteral("kept"));
    EXPECT_EQ(doc.pageCount(), 1);

    EXPECT_TRUE(tryLoad(bytes, &error)) << error.toStdString();
    EXPECT_EQ(doc.pageCount(), 2);
}

TEST(PdfWriter, TextStaysTextInEmbeddedFontsWithCyrillicAndPageSizes)
{
    QTemporaryDir dir;
    const QString pdf = dir.filePath(QStringLiteral("sample.pdf"));
    QString error;
    ASSERT_TRUE(writePdf(sampleDocument(), pdf, &error)) << error.toStdString();
    kv6test::keepOutput(pdf);

    bool ok = false;
    const QString txt = kv6test::pdfText(pdf, &ok);
    ASSERT_TRUE(ok) << "pdftotext failed";
    EXPECT_TRUE(txt.contains(QStringLiteral("Pages by user"))) << txt.toStdString();
    EXPECT_TRUE(txt.contains(QStringLiteral("Отчёт по страницам"))) << txt.toStdString();
    EXPECT_TRUE(txt.contains(QStringLiteral("Итого")));
    EXPECT_TRUE(txt.contains(QStringLiteral("Landscape page")));
    EXPECT_TRUE(txt.contains(QStringLiteral("Page 2 of 2")));
    // The chart-like picture was replayed as vector drawing, its label still text.
    EXPECT_TRUE(txt.contains(QStringLiteral("VectorLabel")));

    const QString info = kv6test::runTool(QStringLiteral("pdfinfo"),
        { QStringLiteral("-f"), QStringLiteral("1"), QStringLiteral("-l"), QStringLiteral("2"),
            pdf });
    EXPECT_TRUE(
        info.contains(QRegularExpression(QStringLiteral("Page +1 size: +595 x 842 pts \\(A4\\)"))))
        << info.toStdString();
    EXPECT_TRUE(
        info.contains(QRegularExpression(QStringLiteral("Page +2 size: +842 x 595 pts \\(A4\\)"))))
        << info.toStdString();
    EXPECT_TRUE(info.contains(QStringLiteral("Title:           Sample")));

    // Every font is embedded.
    const QString fonts = kv6test::runTool(QStringLiteral("pdffonts"), { pdf });
    const QStringList rows = fonts.split(u'\n', Qt::SkipEmptyParts).mid(2);
    ASSERT_FALSE(rows.isEmpty());
    for (const QString &row : rows)
        EXPECT_TRUE(row.contains(QStringLiteral(" yes "))) << row.toStdString();

    // Text lands where its twips say: "Pages by user" starts one inch (72 pt) from the left,
    // its box 2400 twips (120 pt) from the top.
    const QString html = kv6test::runTool(QStringLiteral("pdftotext"),
        { QStringLiteral("-bbox"), QStringLiteral("-f"), QStringLiteral("1"), QStringLiteral("-l"),
            QStringLiteral("1"), pdf, QStringLiteral("-") });
    QDomDocument dom;
    ASSERT_TRUE(dom.setContent(html));
    const QDomNodeList words = dom.elementsByTagName(QStringLiteral("word"));
    bool found = false;
    for (int i = 0; i < words.size(); ++i) {
        const QDomElement w = words.at(i).toElement();
        if (w.text() != QStringLiteral("Pages"))
            continue;
        found = true;
        EXPECT_NEAR(w.attribute(QStringLiteral("xMin")).toDouble(), 72.0, 1.5);
        EXPECT_NEAR(w.attribute(QStringLiteral("yMin")).toDouble(), 120.0, 3.0);
    }
    EXPECT_TRUE(found);
}

const QString PageTotal = QString(QChar(0xE000));

// Fifteen pages of every kind of item: fonts in several faces, an image with transparency, a
// chart-like vector picture with a gradient, a hatch and a translucent fill shared by every
// page, and pages of three sizes and both orientations.
PreviewDocument manyKindsOfPages()
{
    PreviewDocument doc;
    doc.setTitle(QStringLiteral("Threaded"));
    QPicture chart;
    {
        QPainter p(&chart);
        QLinearGradient gradient(0, 0, 200, 0);
        gradient.setColorAt(0, Qt::yellow);
        gradient.setColorAt(1, Qt::darkGreen);
        p.fillRect(QRectF(0, 0, 200, 40), gradient);
        p.fillRect(QRectF(0, 40, 200, 40), QBrush(Qt::darkBlue, Qt::DiagCrossPattern));
        p.fillRect(QRectF(50, 20, 100, 80), QColor(255, 0, 0, 90));
        QFont f(QStringLiteral("DejaVu Sans Mono"));
        f.setPixelSize(16);
        p.setFont(f);
        p.drawText(QPointF(10, 120), QStringLiteral("ChartLabel"));
    }
    // Framed as a report's charts are: the picture itself has yet to read its header.
    const Picture shared = Picture::fromVector(chart, QRectF(0, 0, 200, 130));
    QImage translucent(30, 30, QImage::Format_ARGB32);
    translucent.fill(qRgba(0, 120, 255, 100));
    for (int i = 0; i < 7; ++i) {
        doc.append(sampleDocument());
        const int p = doc.pageCount() - 1;
        TextRun t = text(QRectF(1440, 8000, 8000, 400), QStringLiteral("Run %1 Σ").arg(i), 14);
        t.font.name = QStringLiteral("DejaVu Serif");
        doc.addItem(p, t);
        doc.addItem(p, PictureItem { QRectF(1440, 9000, 2880, 1900), shared, PictureFit });
        doc.addItem(p,
            PictureItem {
                QRectF(5000, 9000, 720, 720), Picture::fromImage(translucent), PictureStretch });
    }
    const int letter = doc.addPage(pageSizeTwips(QPageSize(QPageSize::Letter)));
    doc.addItem(letter, text(QRectF(720, 720, 8000, 300), QStringLiteral("Letter page")));
    doc.addItem(letter, PictureItem { QRectF(720, 1440, 5760, 3800), shared, PictureFit });
    // A total known only at the end, on every page but one, and on one twice.
    for (int p = 2; p <= doc.pageCount(); ++p) {
        TextRun total = text(
            QRectF(6000, 300, 4000, 300), QStringLiteral("Page %1 of %2").arg(p).arg(PageTotal), 9);
        total.alignment = Qt::AlignRight | Qt::AlignTop;
        doc.addItem(p, total);
        if (p == 3)
            doc.addOverlay(p, text(QRectF(720, 300, 4000, 300), PageTotal + PageTotal, 9));
    }
    return doc;
}

// Written the way a report is: page by page from one reused page, which is changed once added,
// with the page total drawn last where the stream can, and put in beforehand where it cannot.
bool writePaged(PreviewDocument doc, PdfStream &pdf, const QString &path, QString *error)
{
    if (!pdf.open(path, doc.title(), error))
        return false;
    const QString total = QString::number(doc.pageCount());
    if (!pdf.deferText(PageTotal))
        doc.replaceText(PageTotal, total);
    PreviewDocument page;
    page.addPage();
    for (int p = 1; p <= doc.pageCount(); ++p) {
        page.page(1) = doc.page(p);
        if (!pdf.add(page, error))
            return false;
        page.page(1).items.clear();
    }
    return pdf.finish(error, total);
}

QStringList pageImages(const QString &pdf, const QString &prefix)
{
    bool ok = false;
    kv6test::runTool(QStringLiteral("pdftoppm"),
        { QStringLiteral("-r"), QStringLiteral("20"), QStringLiteral("-png"), pdf, prefix }, &ok);
    EXPECT_TRUE(ok) << "pdftoppm failed on " << pdf.toStdString();
    const QFileInfo f(prefix);
    QStringList files
        = QDir(f.absolutePath())
              .entryList({ f.fileName() + QStringLiteral("-*.png") }, QDir::Files, QDir::Name);
    for (QString &file : files)
        file = f.absoluteDir().filePath(file);
    return files;
}

TEST(PdfWriter, PagesPaintedOnSeveralThreadsReadAsOnOne)
{
    QTemporaryDir dir;
    const PreviewDocument doc = manyKindsOfPages();
    const QString one = dir.filePath(QStringLiteral("one.pdf"));
    const QString many = dir.filePath(QStringLiteral("many.pdf"));
    QString error;
    PdfStream single(1);
    ASSERT_TRUE(writePaged(doc, single, one, &error)) << error.toStdString();
    // Three threads, two pages at a time: every thread's part holds pages far apart.
    PdfStream threaded(3, 2);
    ASSERT_TRUE(writePaged(doc, threaded, many, &error)) << error.toStdString();
    kv6test::keepOutput(many);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 2)
        << "part files left behind";

    const auto sizes = [](const QString &pdf) {
        return kv6test::runTool(QStringLiteral("pdfinfo"),
            { QStringLiteral("-f"), QStringLiteral("1"), QStringLiteral("-l"), QStringLiteral("99"),
                pdf })
            .split(u'\n')
            .filter(QRegularExpression(QStringLiteral("^(Pages|Page +\\d+ size|Title):")));
    };
    const QStringList expected = sizes(one);
    ASSERT_EQ(expected.size(), 2 + 15) << expected.join(u'\n').toStdString();
    EXPECT_EQ(sizes(many), expected);

    bool ok = false;
    const QString text = kv6test::pdfText(one, &ok);
    EXPECT_TRUE(text.contains(QStringLiteral("ChartLabel"))
        && text.contains(QStringLiteral("Run 6 Σ")) && text.contains(QStringLiteral("Page 9 of 15"))
        && text.contains(QStringLiteral("1515")));
    EXPECT_EQ(kv6test::pdfText(many, &ok), text);
    EXPECT_TRUE(ok);
    // Too few pages to share out: the total still reaches them.
    PreviewDocument three;
    for (int p = 1; p <= 3; ++p)
        three.page(three.addPage(doc.sizeOfPage(p))) = doc.page(p);
    const QString few = dir.filePath(QStringLiteral("few.pdf"));
    PdfStream fewThreaded(3, 8);
    ASSERT_TRUE(writePaged(three, fewThreaded, few, &error)) << error.toStdString();
    EXPECT_TRUE(kv6test::pdfText(few, &ok).contains(QStringLiteral("Page 3 of 3")));

    const QStringList a = pageImages(one, dir.filePath(QStringLiteral("one")));
    const QStringList b = pageImages(many, dir.filePath(QStringLiteral("many")));
    ASSERT_EQ(a.size(), 15);
    ASSERT_EQ(b.size(), a.size());
    for (qsizetype i = 0; i < a.size(); ++i)
        EXPECT_TRUE(sameImages(QImage(a[i]), QImage(b[i]))) << "page " << i + 1 << " differs";

    // A strict reader finds nothing wrong, and every page names the one page tree as its parent
    // (viewers would draw the pages either way).
    const QString check
        = kv6test::runTool(QStringLiteral("qpdf"), { QStringLiteral("--check"), many }, &ok);
    EXPECT_TRUE(ok && check.contains(QStringLiteral("No syntax or stream encoding errors")))
        << check.toStdString();
    const QByteArray bytes = kv6test::readFile(many);
    const auto tree = QRegularExpression(QStringLiteral("/Type /Catalog\n/Pages (\\d+) 0 R"))
                          .match(QString::fromLatin1(bytes));
    ASSERT_TRUE(tree.hasMatch());
    int pages = 0;
    auto parents = QRegularExpression(QStringLiteral("/Type /Page\n/Parent (\\d+) 0 R"))
                       .globalMatch(QString::fromLatin1(bytes));
    while (parents.hasNext()) {
        EXPECT_EQ(parents.next().captured(1), tree.captured(1));
        ++pages;
    }
    EXPECT_EQ(pages, 15);
}

TEST(PdfWriter, ThreadedWriteThatFailsOrStopsKeepsTheOldFile)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("report.pdf"));
    const QByteArray old = "the previous report";
    {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly) && f.write(old) == old.size());
    }
    const PreviewDocument doc = manyKindsOfPages();
    const auto untouched = [&] {
        EXPECT_EQ(kv6test::readFile(path), old);
        EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden),
            QStringList { QStringLiteral("report.pdf") });
    };
    // A full disk: the parts cannot be written, or they can and the whole cannot. How pages
    // fall to threads varies (on a busy machine the calling thread may paint them all), and so
    // does the size: the whole is never smaller than one writer's file.
    QTemporaryDir elsewhere;
    const QString whole = elsewhere.filePath(QStringLiteral("whole.pdf"));
    PdfStream complete(1);
    ASSERT_TRUE(writePaged(doc, complete, whole, nullptr));
    const rlim_t size = rlim_t(QFileInfo(whole).size());
    for (const rlim_t limit : { size / 8, size * 3 / 4 }) {
        QString error;
        {
            kv6test::ScopedFileSizeLimit full(limit);
            PdfStream pdf(3, 2);
            EXPECT_FALSE(writePaged(doc, pdf, path, &error)) << limit;
        }
        EXPECT_TRUE(error.contains(path)) << error.toStdString();
        untouched();
    }
    // Stopped half way, as a cancelled report is.
    {
        PdfStream pdf(3, 2);
        ASSERT_TRUE(pdf.open(path, doc.title()));
        ASSERT_TRUE(pdf.add(doc));
    }
    untouched();
}

TEST(PdfWriter, RefusesEmptyDocumentsAndUnwritablePaths)
{
    QString error;
    PreviewDocument empty;
    EXPECT_FALSE(writePdf(empty, QStringLiteral("/tmp/never.pdf"), &error));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_FALSE(writePdf(sampleDocument(), QStringLiteral("/nonexistent-dir/x.pdf"), &error));
    EXPECT_TRUE(error.contains(QStringLiteral("/nonexistent-dir/x.pdf")));
}
