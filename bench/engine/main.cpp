// Times and weighs the report engine making a long grouped report (three expression fields a
// row, a sum per group, page header and footer with "Page n of m") into a PDF, against baselines
// measured in the same run:
//
//   engine    the report rendered straight to a PDF file (renderToFile), as kv6report and the
//             unattended runs write one, its pages painted on every core;
//   preview   rendered into the preview document, which a window keeps, then written as PDF,
//             on every core and, for comparison, on one thread;
//   direct    the same text drawn straight from the rows into a QPdfWriter, nothing kept: the
//             floor for time and memory;
//   chromium  headless Chromium printing the program's own HTML export of the report to PDF
//             (when the browser is not installed the line says so; when it prints nothing of
//             the whole report, it is measured on a quarter of it, against the engine there);
//   lists     the preview document's display lists built by hand, the floor for the render.
//
//   bench_engine [pages]     (default 1000; memory is shown at a quarter, half and all of it)
//
// Every measurement runs in a fresh process of this program (`--child`), so each peak resident
// size (getrusage) belongs to that measurement alone. The "added" memory is the peak over the
// same process with the data loaded and a one-row report rendered: what the pages cost.

#include "benchsupport.h"
#include "engine/reportengine.h"
#include "vbcore/currency.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QHash>
#include <QPainter>
#include <QPdfWriter>
#include <QProcess>
#include <QSet>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>

#include <sys/resource.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <functional>

using namespace kv6;
using namespace kv6::engine;

using kv6bench::die;
using kv6bench::seconds;

namespace {

const char *layoutXml = R"xml(<Layouts>
<Report name="Bench" paper="A4" marginLeft="720" marginTop="720" marginRight="720" marginBottom="720">
  <Font name="Arial" size="9"/>
  <Group name="ByUser" groupBy="UserName"/>
  <Section type="PageHeader" height="400">
    <Field name="lblTitle" text="Pages by user" left="0" top="0" width="6000" height="400"/>
  </Section>
  <Section type="GroupHeader" group="1" height="260">
    <Field name="txtUser" text="=UserName" left="0" top="0" width="3000" height="260"/>
  </Section>
  <Section type="Detail" height="240">
    <Field name="txtPrinter" text="=Printer" left="300" top="0" width="3500" height="240"/>
    <Field name="txtPages" text="=Pages" format="#,##0" left="4000" top="0" width="1000" height="240" align="6"/>
    <Field name="txtCost" text="=Cost" format="#,##0.00" left="5500" top="0" width="1200" height="240" align="6"/>
  </Section>
  <Section type="GroupFooter" group="1" height="260">
    <Field name="txtSum" text="=Sum(Pages)" format="#,##0" left="4000" top="0" width="1000" height="260" align="6"/>
  </Section>
  <Section type="PageFooter" height="300">
    <Field name="lblFooterPages" text="=&quot;Page &quot; &amp; Page &amp; &quot; of &quot; &amp; Pages" left="6000" top="0" width="4466" height="300" align="6"/>
  </Section>
</Report></Layouts>)xml";

RecordsetPtr data(int rows)
{
    auto rs = Recordset::Create();
    rs->AppendField(QStringLiteral("UserName"), adVarWChar, 64);
    rs->AppendField(QStringLiteral("Printer"), adVarWChar, 64);
    rs->AppendField(QStringLiteral("Pages"), adInteger);
    rs->AppendField(QStringLiteral("Cost"), adCurrency);
    rs->Open();
    rs->Reserve(rows);
    for (int i = 0; i < rows; ++i)
        rs->AppendRow({ QStringLiteral("User %1").arg(i / 50, 5, 10, QChar(u'0')),
            QStringLiteral("Printer %1").arg(i % 37), (i * 7) % 300 + 1,
            QVariant::fromValue(Currency::fromRaw(((i * 7) % 300 + 1) * 250)) });
    return rs;
}

void loadEngine(ReportEngine &engine, const RecordsetPtr &rs)
{
    ReportLayout layout;
    QString error;
    if (!loadLayoutXml(QByteArray(layoutXml), QStringLiteral("Bench"), layout, &error))
        die(error);
    engine.setLayout(layout);
    engine.setRecordset(rs);
}

// Where the hand-made pages put their text.
class Sink
{
public:
    virtual ~Sink() = default;
    // False: only count the pages, format nothing.
    virtual bool wantsText() const { return false; }
    virtual void page(int number) { Q_UNUSED(number); }
    virtual void text(const QRectF &twips, const QString &s, Qt::Alignment a)
    {
        Q_UNUSED(twips);
        Q_UNUSED(s);
        Q_UNUSED(a);
    }
};

// The report's pages made by hand, as the layout says: rows top to bottom, a page break when the
// next band does not fit (a page that starts inside a user's rows repeats the user's header, as
// the engine does), the same strings formatted in C++. Returns the number of pages.
int walk(const RecordsetPtr &rs, int totalPages, Sink &out)
{
    const QSizeF page(11906, 16838);
    const double left = 720, bottom = page.height() - 720 - 300;
    // The strings the layout's formats make: thousands grouped, money rounded half away from
    // zero from its exact value.
    QLocale c = QLocale::c();
    c.setNumberOptions(QLocale::DefaultNumberOptions);
    auto money = [&](const Currency &v) {
        const qint64 cents = (v.raw() + 50) / 100;
        return c.toString(cents / 100) + u'.'
            + QString::number(cents % 100).rightJustified(2, u'0');
    };
    const bool text = out.wantsText();
    int p = 0;
    double y = 0;
    QString user;
    bool open = false; // a user's rows run on: a new page repeats the header
    auto newPage = [&] {
        out.page(++p);
        if (text)
            out.text(QRectF(left, 720, 6000, 400), QStringLiteral("Pages by user"), Qt::AlignLeft);
        y = 720 + 400;
        if (open) {
            if (text)
                out.text(QRectF(left, y, 3000, 260), user, Qt::AlignLeft);
            y += 260;
        }
    };
    auto footer = [&] {
        if (text)
            out.text(QRectF(left + 6000, bottom, 4466, 300),
                QStringLiteral("Page %1 of %2").arg(p).arg(totalPages), Qt::AlignRight);
    };
    auto need = [&](double h) {
        if (y + h > bottom) {
            footer();
            newPage();
        }
    };
    newPage();
    qint64 sum = 0;
    for (int r = 0; r < rs->RecordCount(); ++r) {
        const QString u = rs->ValueAt(r, 0).toString();
        if (u != user) {
            if (!user.isEmpty()) {
                need(260);
                if (text)
                    out.text(QRectF(left + 4000, y, 1000, 260), c.toString(sum), Qt::AlignRight);
                y += 260;
            }
            open = false;
            user = u;
            sum = 0;
            need(260);
            if (text)
                out.text(QRectF(left, y, 3000, 260), u, Qt::AlignLeft);
            y += 260;
            open = true;
        }
        need(240);
        const int pages = rs->ValueAt(r, 2).toInt();
        sum += pages;
        if (text) {
            out.text(QRectF(left + 300, y, 3500, 240), rs->ValueAt(r, 1).toString(), Qt::AlignLeft);
            out.text(QRectF(left + 4000, y, 1000, 240), c.toString(pages), Qt::AlignRight);
            out.text(QRectF(left + 5500, y, 1200, 240), money(rs->ValueAt(r, 3).value<Currency>()),
                Qt::AlignRight);
        }
        y += 240;
    }
    if (!user.isEmpty()) {
        need(260);
        if (text)
            out.text(QRectF(left + 4000, y, 1000, 260), c.toString(sum), Qt::AlignRight);
    }
    footer();
    return p;
}

int countPages(const RecordsetPtr &rs)
{
    Sink counter;
    return walk(rs, 0, counter);
}

class ListSink : public Sink
{
public:
    PreviewDocument doc;
    bool wantsText() const override { return true; }
    void page(int number) override
    {
        Q_UNUSED(number);
        m_page = doc.addPage(QSizeF(11906, 16838));
    }
    void text(const QRectF &twips, const QString &s, Qt::Alignment a) override
    {
        TextRun t;
        t.rect = twips;
        t.clip = twips;
        t.text = s;
        t.font.name = QStringLiteral("Arial");
        t.font.size = 9;
        t.alignment = a;
        doc.addItem(m_page, t);
    }

private:
    int m_page = 0;
};

// Straight into the PDF: nothing is kept once drawn.
class PdfSink : public Sink
{
public:
    explicit PdfSink(const QString &path)
        : m_writer(path)
    {
        m_writer.setResolution(1200);
        m_writer.setPageSize(QPageSize(QPageSize::A4));
        m_writer.setPageMargins(QMarginsF());
        QFont f(QStringLiteral("Arial"));
        f.setPixelSize(int(9 * 20 * K));
        m_painter.begin(&m_writer);
        m_painter.setFont(f);
    }
    bool finish() { return m_painter.end(); }
    bool wantsText() const override { return true; }
    void page(int number) override
    {
        if (number > 1)
            m_writer.newPage();
    }
    void text(const QRectF &t, const QString &s, Qt::Alignment a) override
    {
        m_painter.drawText(
            QRectF(t.left() * K, t.top() * K, t.width() * K, t.height() * K), int(a), s);
    }

private:
    static constexpr double K = 1200.0 / 1440;
    QPdfWriter m_writer;
    QPainter m_painter;
};

// Memory of a process and all its descendants, in MB: their proportional resident sizes summed
// (a page shared by several counts once in all), and the resident size of the largest.
struct TreeMemory
{
    double pss = 0;
    double largest = 0;
};

TreeMemory treeMemory(qint64 root)
{
    QHash<qint64, qint64> parentOf;
    for (const QString &name : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
        bool isPid = false;
        const qint64 pid = name.toLongLong(&isPid);
        QFile f(QStringLiteral("/proc/%1/stat").arg(name));
        if (!isPid || !f.open(QIODevice::ReadOnly))
            continue;
        // "pid (name) state ppid ...": the name may hold spaces and parentheses.
        const QByteArray stat = f.readAll();
        const QList<QByteArray> after = stat.mid(stat.lastIndexOf(')') + 2).split(' ');
        if (after.size() > 1)
            parentOf.insert(pid, after[1].toLongLong());
    }
    QSet<qint64> tree { root };
    for (bool grew = true; grew;) {
        grew = false;
        for (auto it = parentOf.cbegin(); it != parentOf.cend(); ++it) {
            if (!tree.contains(it.key()) && tree.contains(it.value())) {
                tree.insert(it.key());
                grew = true;
            }
        }
    }
    TreeMemory m;
    for (qint64 pid : tree) {
        QFile f(QStringLiteral("/proc/%1/smaps_rollup").arg(pid));
        if (!f.open(QIODevice::ReadOnly))
            continue;
        for (const QByteArray &line : f.readAll().split('\n')) {
            const double mb = line.simplified().split(' ').value(1).toDouble() / 1024.0;
            if (line.startsWith("Pss:"))
                m.pss += mb;
            else if (line.startsWith("Rss:"))
                m.largest = std::max(m.largest, mb);
        }
    }
    return m;
}

QString chromiumPath()
{
    const QString onPath = QStandardPaths::findExecutable(QStringLiteral("chromium"));
    if (!onPath.isEmpty())
        return onPath;
    return QFileInfo(QStringLiteral("/usr/bin/chromium")).isExecutable()
        ? QStringLiteral("/usr/bin/chromium")
        : QString();
}

using Figures = QHash<QString, double>;

// One measurement, in this process; prints its figures as "key=value" words.
int child(const QString &mode, int rows, const QString &dir)
{
    const QString tag = QString::number(rows);
    Figures f;
    if (mode == u"chromium") {
        const QString exe = chromiumPath();
        if (exe.isEmpty())
            die(QStringLiteral("chromium is not installed"));
        const QString pdf = dir + QStringLiteral("/chromium-") + tag + QStringLiteral(".pdf");
        QFile::remove(pdf);
        QProcess p;
        p.setStandardOutputFile(QProcess::nullDevice());
        p.setStandardErrorFile(dir + QStringLiteral("/chromium-") + tag + QStringLiteral(".log"));
        const QStringList args = { QStringLiteral("--headless"), QStringLiteral("--disable-gpu"),
            QStringLiteral("--no-sandbox"),
            QStringLiteral("--user-data-dir=") + dir + QStringLiteral("/chromium-profile"),
            QStringLiteral("--print-to-pdf=") + pdf,
            QStringLiteral("file://") + dir + QStringLiteral("/report-") + tag
                + QStringLiteral(".htm") };
        TreeMemory peak;
        f[QStringLiteral("time")] = seconds([&] {
            p.start(exe, args);
            if (!p.waitForStarted())
                die(QStringLiteral("chromium did not start"));
            // The browser is several processes; its memory is sampled while it works.
            while (p.state() != QProcess::NotRunning) {
                const TreeMemory now = treeMemory(p.processId());
                peak.pss = std::max(peak.pss, now.pss);
                peak.largest = std::max(peak.largest, now.largest);
                p.waitForFinished(200);
            }
        });
        f[QStringLiteral("peak")] = peak.pss;
        f[QStringLiteral("largest")] = peak.largest;
        // It may exit cleanly having written nothing (a renderer that crashed).
        f[QStringLiteral("ok")] = p.exitCode() == 0 && QFileInfo(pdf).size() > 0 ? 1 : 0;
    } else {
        const RecordsetPtr rs = data(rows);
        QString error;
        if (mode == u"idle") {
            // What every measurement holds before its pages: the data, fonts, one small render.
            ReportEngine engine;
            loadEngine(engine, data(1));
            PreviewDocument doc;
            if (!engine.render(doc, &error))
                die(error);
        } else if (mode == u"engine") {
            // What a report written to a PDF file costs: the pages go to the file as soon as
            // the total is known.
            ReportEngine engine;
            loadEngine(engine, rs);
            f[QStringLiteral("time")] = seconds([&] {
                if (!engine.renderToFile(
                        dir + QStringLiteral("/engine-") + tag + QStringLiteral(".pdf"),
                        OutputFormat::Pdf, &error))
                    die(error);
            });
            f[QStringLiteral("pages")] = engine.pageCount();
        } else if (mode == u"preview") {
            // The preview window's way: the whole document is kept for showing, then printed.
            ReportEngine engine;
            loadEngine(engine, rs);
            PreviewDocument doc;
            f[QStringLiteral("render")] = seconds([&] {
                if (!engine.render(doc, &error))
                    die(error);
            });
            f[QStringLiteral("pdf")] = seconds([&] {
                if (!writePdf(doc, dir + QStringLiteral("/preview-") + tag + QStringLiteral(".pdf"),
                        &error))
                    die(error);
            });
            f[QStringLiteral("time")] = f[QStringLiteral("render")] + f[QStringLiteral("pdf")];
            // The same pages written by one writer on this thread alone, as before the pages
            // were shared out among the cores.
            f[QStringLiteral("pdf1")] = seconds([&] {
                PdfStream one(1);
                if (!one.open(dir + QStringLiteral("/preview1-") + tag + QStringLiteral(".pdf"),
                        doc.title(), &error)
                    || !one.add(doc, &error) || !one.finish(&error))
                    die(error);
            });
            f[QStringLiteral("pages")] = doc.pageCount();
            f[QStringLiteral("document")] = doc.memoryEstimate() / (1024.0 * 1024.0);
        } else if (mode == u"html") {
            ReportEngine engine;
            loadEngine(engine, rs);
            const QString path = dir + QStringLiteral("/report-") + tag + QStringLiteral(".htm");
            f[QStringLiteral("time")] = seconds([&] {
                if (!engine.renderToFile(path, OutputFormat::Html, &error))
                    die(error);
            });
            f[QStringLiteral("size")] = QFileInfo(path).size() / (1024.0 * 1024.0);
        } else if (mode == u"direct") {
            f[QStringLiteral("time")] = seconds([&] {
                const int total = countPages(rs);
                PdfSink pdf(dir + QStringLiteral("/direct-") + tag + QStringLiteral(".pdf"));
                f[QStringLiteral("pages")] = walk(rs, total, pdf);
                if (!pdf.finish())
                    die(QStringLiteral("the direct PDF could not be written"));
            });
        } else if (mode == u"lists") {
            ListSink lists;
            f[QStringLiteral("time")] = seconds([&] {
                const int total = countPages(rs);
                f[QStringLiteral("pages")] = walk(rs, total, lists);
            });
            f[QStringLiteral("document")] = lists.doc.memoryEstimate() / (1024.0 * 1024.0);
        } else {
            die(QStringLiteral("unknown measurement ") + mode);
        }
        f[QStringLiteral("peak")] = kv6bench::peakMB();
    }
    for (auto it = f.cbegin(); it != f.cend(); ++it)
        std::printf("%s=%.6f ", qPrintable(it.key()), it.value());
    std::printf("\n");
    return 0;
}

// Runs one measurement in a fresh process of this program.
Figures measure(const QString &mode, int rows, const QString &dir)
{
    // Its warnings would garble the table; they are shown when it fails.
    const QString log = dir + QStringLiteral("/child.log");
    QProcess p;
    p.setStandardErrorFile(log);
    p.start(QCoreApplication::applicationFilePath(),
        { QStringLiteral("--child"), mode, QString::number(rows), dir });
    if (!p.waitForStarted() || !p.waitForFinished(60 * 60 * 1000) || p.exitCode() != 0) {
        QFile f(log);
        if (f.open(QIODevice::ReadOnly))
            std::fprintf(stderr, "%s", f.readAll().constData());
        die(QStringLiteral("the %1 measurement of %2 rows failed").arg(mode).arg(rows));
    }
    Figures f;
    for (const QString &word : QString::fromUtf8(p.readAllStandardOutput()).split(u' ')) {
        const qsizetype eq = word.indexOf(u'=');
        if (eq > 0)
            f.insert(word.left(eq), word.mid(eq + 1).toDouble());
    }
    return f;
}

// The quickest of a few runs; the peak is the largest seen.
Figures best(const QString &mode, int rows, const QString &dir, int runs)
{
    Figures b = measure(mode, rows, dir);
    for (int i = 1; i < runs; ++i) {
        const Figures f = measure(mode, rows, dir);
        const double peak
            = std::max(b.value(QStringLiteral("peak")), f.value(QStringLiteral("peak")));
        if (f.value(QStringLiteral("time")) < b.value(QStringLiteral("time")))
            b = f;
        b[QStringLiteral("peak")] = peak;
    }
    return b;
}

// Pages of a PDF as poppler counts them; -1 without pdfinfo.
int pdfPages(const QString &path)
{
    QProcess p;
    p.start(QStringLiteral("pdfinfo"), { path });
    if (!p.waitForStarted() || !p.waitForFinished(60000) || p.exitCode() != 0)
        return -1;
    for (const QString &line : QString::fromUtf8(p.readAllStandardOutput()).split(u'\n')) {
        if (line.startsWith(QStringLiteral("Pages:")))
            return line.mid(6).trimmed().toInt();
    }
    return -1;
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")
        && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() >= 5 && args[1] == u"--child")
        return child(args[2], args[3].toInt(), args[4]);

    const int pages = args.size() > 1 ? std::max(4, args[1].toInt()) : 1000;
    QTemporaryDir tmp;
    const QString dir = tmp.path();

    // Rows for a number of pages, from the pages a sample makes.
    const int sampleRows = 6000;
    const double rowsPerPage = double(sampleRows) / countPages(data(sampleRows));
    auto rowsFor = [&](int n) { return int(std::lround(n * rowsPerPage)); };
    const int rows = rowsFor(pages);

    std::printf("bench_engine: a %d-page grouped report (%d rows), each figure from its own "
                "process\n\n",
        pages, rows);
    const Figures engine = best(QStringLiteral("engine"), rows, dir, 3);
    const Figures preview = best(QStringLiteral("preview"), rows, dir, 3);
    const Figures direct = best(QStringLiteral("direct"), rows, dir, 3);
    const Figures lists = best(QStringLiteral("lists"), rows, dir, 3);
    const Figures html = measure(QStringLiteral("html"), rows, dir);
    const QString tag = QString::number(rows);

    // Memory at a quarter, half and all of the pages.
    struct BySize
    {
        int pages, rows;
        Figures idle, engine, preview, direct;
    };
    QList<BySize> sizes;
    for (int n : { pages / 4, pages / 2, pages }) {
        const int r = n == pages ? rows : rowsFor(n);
        const bool full = n == pages;
        sizes.append({ n, r, measure(QStringLiteral("idle"), r, dir),
            full ? engine : measure(QStringLiteral("engine"), r, dir),
            full ? preview : measure(QStringLiteral("preview"), r, dir),
            full ? direct : measure(QStringLiteral("direct"), r, dir) });
    }

    // The browser, on the whole report; when it prints nothing of that, on a quarter of it
    // against the engine on the same quarter.
    const QString browser = chromiumPath();
    Figures chromium, chromiumFailed;
    const BySize *chromiumSize = &sizes.last();
    if (!browser.isEmpty()) {
        chromium = measure(QStringLiteral("chromium"), rows, dir);
        if (chromium.value(QStringLiteral("ok")) == 0) {
            chromiumFailed = chromium;
            chromiumSize = &sizes.first();
            measure(QStringLiteral("html"), chromiumSize->rows, dir);
            chromium = measure(QStringLiteral("chromium"), chromiumSize->rows, dir);
        }
    }

    // Every line's time and peak against the floor's.
    const double dt = direct.value(QStringLiteral("time")),
                 dp = direct.value(QStringLiteral("peak"));
    auto line = [&](const char *label, int pdfPageCount, const Figures &f) {
        const double t = f.value(QStringLiteral("time")), p = f.value(QStringLiteral("peak"));
        std::printf(
            "%-38s %6d %9.3f %9.3f %9.1f %9.3f\n", label, pdfPageCount, t, t / dt, p, p / dp);
    };
    auto pdfOf = [&](const char *name) {
        return pdfPages(dir + u'/' + QLatin1String(name) + u'-' + tag + QStringLiteral(".pdf"));
    };
    std::printf(
        "%-38s %6s %9s %9s %9s %9s\n", "", "pages", "time s", "x/direct", "peak MB", "x/direct");
    line("engine: straight to the PDF file", pdfOf("engine"), engine);
    line("preview: document, then the PDF", pdfOf("preview"), preview);
    std::printf("%-38s %6s %9.3f\n", "  render into the preview document", "",
        preview.value(QStringLiteral("render")));
    std::printf("%-38s %6s %9.3f %9.3f   (%d threads)\n", "  write the PDF", "",
        preview.value(QStringLiteral("pdf")), preview.value(QStringLiteral("pdf")) / dt,
        QThread::idealThreadCount());
    std::printf("%-38s %6d %9.3f %9.3f\n", "  write the PDF on one thread", pdfOf("preview1"),
        preview.value(QStringLiteral("pdf1")), preview.value(QStringLiteral("pdf1")) / dt);
    line("direct: QPainter into QPdfWriter", pdfOf("direct"), direct);
    if (browser.isEmpty()) {
        std::printf("%-36s not installed\n", "chromium: prints the HTML export");
    } else {
        if (!chromiumFailed.isEmpty())
            std::printf("%-36s %6d %9.3f %9s %9.1f   wrote no PDF, and exited 0\n",
                "chromium: prints the HTML export", 0, chromiumFailed.value(QStringLiteral("time")),
                "", chromiumFailed.value(QStringLiteral("peak")));
        const Figures &e = chromiumSize->engine;
        const QString ctag = QString::number(chromiumSize->rows);
        const double ct = chromium.value(QStringLiteral("time")),
                     cp = chromium.value(QStringLiteral("peak"));
        const QByteArray label = chromiumFailed.isEmpty()
            ? QByteArray("chromium: prints the HTML export")
            : QStringLiteral("  the same at %1 pages").arg(chromiumSize->pages).toUtf8();
        if (chromium.value(QStringLiteral("ok")) == 0)
            std::printf("%-36s %6s %9.3f %9s %9.1f   wrote no PDF either\n", label.constData(), "",
                ct, "", cp);
        else
            std::printf("%-36s %6d %9.3f %9.3f %9.1f %9.3f\n", label.constData(),
                pdfPages(dir + QStringLiteral("/chromium-") + ctag + QStringLiteral(".pdf")), ct,
                e.value(QStringLiteral("time")) / ct, cp, e.value(QStringLiteral("peak")) / cp);
        if (!chromiumFailed.isEmpty())
            std::printf("%-36s %6d %9.3f %9s %9.1f   (the engine on those pages)\n", "",
                int(e.value(QStringLiteral("pages"))), e.value(QStringLiteral("time")), "",
                e.value(QStringLiteral("peak")));
    }
    std::printf("%-36s %6s %9.3f %9s %9.1f   (%.1f MB of HTML)\n", "  the HTML export it prints",
        "", html.value(QStringLiteral("time")), "", html.value(QStringLiteral("peak")),
        html.value(QStringLiteral("size")));
    const double lt = lists.value(QStringLiteral("time"));
    std::printf("%-36s %6d %9.3f %9.2f   (render/x)\n", "display lists built by hand",
        int(lists.value(QStringLiteral("pages"))), lt,
        preview.value(QStringLiteral("render")) / lt);
    std::printf("(pages as pdfinfo counts them; chromium's peak is the proportional resident size "
                "of all its\nprocesses, %.1f MB in its largest)\n",
        chromium.value(QStringLiteral("largest")));

    std::printf("\nmemory by size: peak resident MB of each process; \"added\" is over the same "
                "process with\nthe data loaded and a one-row report rendered; \"document\" is the "
                "preview document's estimate\n");
    std::printf("%6s %7s %9s %9s %9s %9s %9s %9s %9s\n", "pages", "rows", "engine", "added",
        "MB/page", "preview", "document", "MB/page", "direct");
    for (const BySize &z : sizes) {
        const double base = z.idle.value(QStringLiteral("peak"));
        const double added = z.engine.value(QStringLiteral("peak")) - base;
        const double got = z.engine.value(QStringLiteral("pages"));
        const double doc = z.preview.value(QStringLiteral("document"));
        std::printf("%6d %7d %9.1f %9.1f %9.4f %9.1f %9.1f %9.4f %9.1f\n", int(got), z.rows,
            z.engine.value(QStringLiteral("peak")), added, added / got,
            z.preview.value(QStringLiteral("peak")), doc, doc / got,
            z.direct.value(QStringLiteral("peak")));
    }
    return 0;
}
