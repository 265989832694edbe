// The encoding patch on a CR LF PDF built here (as Windows writers make them) and on what Qt's
// own writer produces, read back by poppler.

#include "engine/previewdocument.h"
#include "render/pdfpatch.h"
#include "testenv.h"
#include "toolrun.h"

#include <QFile>
#include <QPainter>
#include <QPdfWriter>

#include <gtest/gtest.h>

using namespace kv6::modPDFUtils;

namespace {

// A one-page PDF with CR LF line ends whose Helvetica font uses the Windows ANSI encoding and
// shows `text` as raw bytes; `fillers` unused objects bring the object count up.
QByteArray crlfPdf(const QByteArray &text, int fillers)
{
    QList<QByteArray> objects;
    objects << "<< /Type /Catalog /Pages 2 0 R >>";
    objects << "<< /Type /Pages /Kids [3 0 R] /Count 1 >>";
    objects << "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 300 100] /Contents 4 0 R "
               "/Resources << /Font << /F1 5 0 R >> >> >>";
    const QByteArray content = "BT /F1 18 Tf 20 40 Td (" + text + ") Tj ET";
    objects << "<< /Length " + QByteArray::number(content.size()) + " >>\r\nstream\r\n" + content
            + "\r\nendstream";
    objects << "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica /Encoding /WinAnsiEncoding >>";
    for (int i = 0; i < fillers; ++i)
        objects << "<< /Filler " + QByteArray::number(i) + " >>";
    QByteArray pdf = "%PDF-1.4\r\n";
    QList<qsizetype> offsets;
    for (int i = 0; i < objects.size(); ++i) {
        offsets << pdf.size();
        pdf += QByteArray::number(i + 1) + " 0 obj\r\n" + objects[i] + "\r\nendobj\r\n";
    }
    const qsizetype xref = pdf.size();
    pdf += "xref\r\n0 " + QByteArray::number(objects.size() + 1) + "\r\n0000000000 65535 f\r\n";
    for (const qsizetype o : offsets)
        pdf += QByteArray::number(o).rightJustified(10, '0') + " 00000 n\r\n";
    pdf += "trailer\r\n<<\r\n/Size " + QByteArray::number(objects.size() + 1)
        + "\r\n/Root 1 0 R\r\n>>\r\nstartxref\r\n" + QByteArray::number(xref) + "\r\n%%EOF";
    return pdf;
}

// Whether poppler reads the file without complaint.
bool popplerReads(const QString &path)
{
    bool ok = false;
    kv6test::runTool(QStringLiteral("pdfinfo"), { path }, &ok);
    return ok;
}

QString pdfText(const QString &path)
{
    bool ok = false;
    const QString text = kv6test::pdfText(path, &ok).trimmed();
    EXPECT_TRUE(ok) << "pdftotext failed on " << path.toStdString();
    return text;
}

const QByteArray cyrillic1251 = QByteArray::fromHex("cff0e8e2e5f220ece8f0"); // "Привет мир"

} // namespace

TEST(PdfPatch, CrLfFileGetsTheUpdateExactly)
{
    kv6test::TempEnv env;
    const QString path = env.path(QStringLiteral("report.pdf"));
    const QByteArray original = crlfPdf(cyrillic1251, 51); // 56 objects in all
    ASSERT_EQ(original.count("endobj"), 56);
    kv6test::writeFile(path, original);

    // Windows ANSI systems, and an unknown code page, leave the file as the writer made it.
    QString error;
    ASSERT_TRUE(PatchPDFFile(path, QStringLiteral(" 1252 "), &error));
    ASSERT_TRUE(PatchPDFFile(path, QString(), &error));
    EXPECT_EQ(kv6test::readFile(path), original);
    // Before the patch the Cyrillic bytes show as Western letters.
    EXPECT_EQ(pdfText(path), QStringLiteral("Ïðèâåò ìèð"));

    ASSERT_TRUE(PatchPDFFile(path, QStringLiteral("1251"), &error)) << error.toStdString();
    const QByteArray patched = kv6test::readFile(path);
    const qsizetype L = original.size();
    // The old bytes keep their length and offsets; the font now names the new object 57.
    ASSERT_GT(patched.size(), L);
    EXPECT_EQ(patched.left(L).count("/WinAnsiEncoding"), 0);
    EXPECT_TRUE(patched.left(L).contains("/Encoding 57 0 R           >>"));
    QByteArray expectedHead = original;
    expectedHead.replace("/WinAnsiEncoding", "57 0 R          ");
    EXPECT_EQ(patched.left(L), expectedHead);

    const QByteArray update = patched.mid(L);
    ASSERT_TRUE(update.startsWith("57 0 obj\r\n<<\r\n/Type\r\n/Encoding\r\n/BaseEncoding "
                                  "/WinAnsiEncoding\r\n/Differences [127 /.notdef 128 "));
    EXPECT_TRUE(update.contains("/afii10145 144/afii10099 152 /.notdef"));
    const qsizetype objectLength = update.indexOf("endobj\r\n") + 8;
    const QByteArray tail = update.mid(objectLength);
    // The entry of the new object is the writer's length; startxref adds the object's text.
    const QByteArray expectedTail = "xref\r\n0 1\r\n0000000000 65535 f\r\n57 1\r\n"
        + QByteArray::number(L).rightJustified(10, '0')
        + " 00000 n\r\ntrailer\r\n<<\r\n/Size 58\r\n/Prev "
        + QByteArray::number(original.indexOf("xref\r\n0 57"))
        + "\r/Root 1 0 R\r>>\r\nstartxref\r\n" + QByteArray::number(L + objectLength) + "\r\n%%EOF";
    EXPECT_EQ(tail, expectedTail);

    // Poppler reads the update and now shows the Cyrillic glyphs.
    EXPECT_TRUE(popplerReads(path));
    EXPECT_EQ(pdfText(path), QStringLiteral("Привет мир"));
}

TEST(PdfPatch, QtWriterOutputStaysReadable)
{
    kv6test::TempEnv env;
    const QString plain = env.path(QStringLiteral("qt.pdf"));
    {
        QPdfWriter writer(plain);
        writer.setResolution(300);
        QPainter p(&writer);
        QFont font(QStringLiteral("DejaVu Sans"));
        font.setPointSize(14);
        p.setFont(font);
        p.drawText(QPointF(100, 200), QStringLiteral("Отчёт за май – Café 25 €"));
    }
    // The same writer's pages painted on two threads and joined into one file.
    const QString joined = env.path(QStringLiteral("joined.pdf"));
    {
        kv6::engine::PreviewDocument doc;
        for (int i = 0; i < 3; ++i) {
            kv6::engine::TextRun t;
            t.rect = QRectF(1440, 1440, 8000, 400);
            t.text = QStringLiteral("Отчёт за май %1 €").arg(i + 1);
            t.font.name = QStringLiteral("DejaVu Sans");
            doc.addItem(doc.addPage(), t);
        }
        kv6::engine::PdfStream pdf(2, 1);
        QString error;
        ASSERT_TRUE(pdf.open(joined, QStringLiteral("Joined"), &error) && pdf.add(doc, &error)
            && pdf.finish(&error))
            << error.toStdString();
    }
    for (const QString &path : { plain, joined }) {
        const QString before = pdfText(path);
        ASSERT_TRUE(before.contains(QStringLiteral("Отчёт"))) << before.toStdString();
        const QByteArray original = kv6test::readFile(path);

        QString error;
        ASSERT_TRUE(PatchPDFFile(path, QStringLiteral("65001"), &error)) << error.toStdString();
        const QByteArray patched = kv6test::readFile(path);
        EXPECT_TRUE(patched.startsWith(original.left(original.size() - 200)));
        EXPECT_TRUE(patched.endsWith("%%EOF"));
        EXPECT_TRUE(popplerReads(path));
        EXPECT_EQ(pdfText(path), before);
        bool ok = false;
        kv6test::runTool(QStringLiteral("qpdf"), { QStringLiteral("--check"), path }, &ok);
        EXPECT_TRUE(ok) << path.toStdString();
    }
}

TEST(PdfPatch, BrokenFilesFailWithAReason)
{
    QByteArray out;
    QString error;
    QByteArray noRoot = crlfPdf("x", 0);
    noRoot.replace("/Root", "/Rxxx");
    EXPECT_FALSE(PatchPDFBytes(noRoot, out, &error));
    EXPECT_TRUE(error.contains(QLatin1String("/Root")));
    QByteArray noXref = crlfPdf("x", 0);
    noXref.replace("startxref", "startxrex");
    EXPECT_FALSE(PatchPDFBytes(noXref, out, &error));
    EXPECT_TRUE(error.contains(QLatin1String("startxref")));
    QByteArray noLineEnd = crlfPdf("x", 0);
    noLineEnd.truncate(noLineEnd.lastIndexOf("startxref") + 9);
    EXPECT_FALSE(PatchPDFBytes(noLineEnd, out, &error));

    kv6test::TempEnv env;
    const QString missing = env.path(QStringLiteral("gone.pdf"));
    EXPECT_FALSE(PatchPDFFile(missing, QStringLiteral("1251"), &error));
    EXPECT_TRUE(error.contains(QLatin1String("gone.pdf")));
    EXPECT_FALSE(QFile::exists(missing));
}
