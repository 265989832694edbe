#include "engine/reportengine.h"

#include "jobrecords.h"
#include "testenv.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <cerrno>
#include <cstring>

using namespace kv6::engine;
using kv6test::textsOf;

namespace {

// 200 jobs of the print-job layout, some forty a page; the one at `zeroAt` printed no pages,
// which the share each row shows divides by.
kv6::RecordsetPtr ratioData(int zeroAt = -1)
{
    QList<kv6test::JobRow> rows = kv6test::manyJobs(200);
    if (zeroAt >= 0)
        rows[zeroAt].pages = 0;
    return kv6test::jobs(rows);
}

// The ways a report reaches a file; text takes HTML's way, formatted otherwise.
struct Output
{
    QString ext;
    OutputFormat format;
};
const Output outputs[] = { { QStringLiteral("rtt"), OutputFormat::Document },
    { QStringLiteral("htm"), OutputFormat::Html }, { QStringLiteral("pdf"), OutputFormat::Pdf } };

class RenderFailure : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        layoutPath = dir.filePath(QStringLiteral("jobs.xml"));
        kv6test::writeFile(layoutPath, kv6test::jobsLayout);
        QString error;
        ASSERT_TRUE(engine.load(layoutPath, QStringLiteral("Jobs"), &error)) << error;
        engine.Fields().item(QStringLiteral("txtPages"))->text = QStringLiteral("=1000 / Pages");
        engine.setRecordset(ratioData());
    }

    QStringList entries() const
    {
        return QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden);
    }

    QTemporaryDir dir;
    QString layoutPath;
    ReportEngine engine;
};

// What each kind of mistake in a layout file says is the layout tests'; here, that the engine
// passes it on with the file and the report, and keeps the layout it had.
TEST_F(RenderFailure, LayoutsThatCannotBeLoadedNameTheFileAndTheReport)
{
    struct Case
    {
        QByteArray xml; // empty: the file is not there
        QString report;
        QStringList expected;
    };
    const QString report = QStringLiteral("report \"Jobs\"");
    const QList<Case> cases = {
        { {}, QStringLiteral("Jobs"), { report, QString::fromLocal8Bit(strerror(ENOENT)) } },
        { "<Layouts>\n<Report name=\"Jobs\">\n<Section type=\"Detail\"", QStringLiteral("Jobs"),
            { report, QStringLiteral("line 3") } },
    };
    int n = 0;
    for (const Case &c : cases) {
        const QString path = dir.filePath(QStringLiteral("broken%1.xml").arg(++n));
        if (!c.xml.isEmpty())
            kv6test::writeFile(path, c.xml);
        QString error;
        EXPECT_FALSE(engine.load(path, c.report, &error)) << path;
        EXPECT_TRUE(error.contains(path)) << error;
        for (const QString &e : c.expected)
            EXPECT_TRUE(error.contains(e)) << "expected \"" << e << "\" in " << error;
        // The layout loaded before stays, and still renders.
        EXPECT_EQ(engine.layout().fileName, layoutPath);
    }
    PreviewDocument doc;
    QString error;
    EXPECT_TRUE(engine.render(doc, &error)) << error;
}

TEST_F(RenderFailure, AFailingExpressionNamesFileReportPageRowFieldAndScriptLine)
{
    // A job in the middle of page 3 is the one that divides by nothing.
    PreviewDocument doc;
    QString error;
    ASSERT_TRUE(engine.render(doc, &error)) << error;
    ASSERT_GE(doc.pageCount(), 4);
    QList<int> onPage3;
    for (const QString &t : textsOf(doc, 3)) {
        if (t.startsWith(u'P') && t.size() <= 4) // the printers P0 to P199
            onPage3 << t.mid(1).toInt();
    }
    ASSERT_GE(onPage3.size(), 10);
    const int row = onPage3[onPage3.size() / 2];
    engine.setRecordset(ratioData(row));

    EXPECT_FALSE(engine.render(doc, &error));
    for (const QString &part :
        { layoutPath, QStringLiteral("report \"Jobs\""), QStringLiteral("page 3"),
            QStringLiteral("row %1").arg(row + 1),
            QStringLiteral("field txtPages, line 1, column "), QStringLiteral("Division by zero") })
        EXPECT_TRUE(error.contains(part)) << "expected \"" << part << "\" in " << error;
    EXPECT_EQ(engine.pageCount(), 3);

    // A section script says which of its lines failed; page-less output has no page to name.
    engine.Sections(SectionDetail)->onFormat
        = QStringLiteral("n = 1\nn = n + 1\nIf Pages = 0 Then n = n / Pages");
    EXPECT_FALSE(
        engine.renderToFile(dir.filePath(QStringLiteral("x.htm")), OutputFormat::Html, &error));
    EXPECT_TRUE(error.contains(QStringLiteral("section Detail script, line 3, column "))) << error;
    EXPECT_TRUE(error.contains(QStringLiteral("row %1").arg(row + 1))) << error;
    EXPECT_FALSE(error.contains(QStringLiteral("page "))) << error;
    engine.Sections(SectionDetail)->onFormat.clear();

    // No output appears, nor any part of one; a file already there keeps what it held.
    const QStringList before = entries();
    for (const Output &out : outputs) {
        const QString fresh = dir.filePath(QStringLiteral("fresh.") + out.ext);
        EXPECT_FALSE(engine.renderToFile(fresh, out.format, &error)) << out.ext;
        EXPECT_TRUE(error.contains(QStringLiteral("field txtPages"))) << out.ext << error;
        EXPECT_FALSE(QFile::exists(fresh)) << out.ext;

        const QString old = dir.filePath(QStringLiteral("old.") + out.ext);
        kv6test::writeFile(old, "the report of last week");
        EXPECT_FALSE(engine.renderToFile(old, out.format, &error)) << out.ext;
        EXPECT_EQ(kv6test::readFile(old), QByteArray("the report of last week")) << out.ext;
        QFile::remove(old);
        EXPECT_EQ(entries(), before) << out.ext;
    }
}

TEST_F(RenderFailure, ACancelFromThePageEventHalfwayLeavesNoFile)
{
    // Cancels when a chosen page begins, and notes the last page it heard of.
    int cancelOnPage = 0, lastPage = 0;
    kv6test::EventLog host;
    host.onPage = [&](int page) {
        lastPage = page;
        if (page == cancelOnPage)
            engine.setCancel(true);
    };
    engine.setListener(&host);
    PreviewDocument doc;
    QString error;
    ASSERT_TRUE(engine.render(doc, &error)) << error;
    const int pages = doc.pageCount();
    ASSERT_GE(pages, 4);

    // The preview stops at the page too, and the next render clears the flag.
    cancelOnPage = pages / 2;
    EXPECT_FALSE(engine.render(doc, &error));
    EXPECT_TRUE(engine.wasCancelled());
    EXPECT_EQ(lastPage, pages / 2);
    EXPECT_LE(doc.pageCount(), pages / 2);

    const QStringList before = entries();
    for (const Output &out : outputs) {
        const QString path = dir.filePath(QStringLiteral("cancelled.") + out.ext);
        cancelOnPage = pages / 2;
        lastPage = 0;
        EXPECT_FALSE(engine.renderToFile(path, out.format, &error)) << out.ext;
        EXPECT_TRUE(engine.wasCancelled()) << out.ext;
        // Page-less output hears of pages where paper would have them, and stops there too.
        EXPECT_EQ(lastPage, pages / 2) << out.ext;
        EXPECT_EQ(engine.pageCount(), pages / 2) << out.ext;
        EXPECT_FALSE(QFile::exists(path)) << out.ext;
        EXPECT_EQ(entries(), before) << out.ext;
        EXPECT_EQ(engine.recordset()->AbsolutePosition(), 1) << out.ext;

        // The next render starts afresh and writes the whole report (what each format holds of
        // a finished render is the output tests').
        cancelOnPage = 0;
        ASSERT_TRUE(engine.renderToFile(path, out.format, &error)) << out.ext << error;
        EXPECT_FALSE(engine.wasCancelled());
        EXPECT_EQ(lastPage, pages) << out.ext;
        EXPECT_EQ(engine.pageCount(), pages) << out.ext;
        QFile::remove(path);
    }
}

TEST_F(RenderFailure, UnwritablePathsFailWithTheReasonBeforeAnyWork)
{
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("folder")));
    struct Case
    {
        QString path;
        QString reason;
    };
    const QList<Case> cases = {
        { QStringLiteral("missing/report."), QString::fromLocal8Bit(strerror(ENOENT)) },
        { QStringLiteral("folder"), QStringLiteral("directory") },
    };
    kv6test::EventLog host;
    engine.setListener(&host);
    const QStringList before = entries();
    for (const Output &out : outputs) {
        for (const Case &c : cases) {
            const QString path = dir.filePath(c.path.endsWith(u'.') ? c.path + out.ext : c.path);
            QString error;
            host.events.clear();
            EXPECT_FALSE(engine.renderToFile(path, out.format, &error)) << path;
            EXPECT_TRUE(error.contains(path)) << error;
            EXPECT_TRUE(error.contains(c.reason)) << "expected \"" << c.reason << "\" in " << error;
            // They find out before rendering a page.
            EXPECT_EQ(host.events, QStringList()) << path;
        }
    }
    EXPECT_EQ(entries(), before);
}

} // namespace
