// Times the report engine against baselines measured in the same run, at two sizes so growth
// shows: a step that doubles with the data is linear; one that quadruples is not.
//
//   bench_engine [rows]     (default 20000)
//
// Render: laying out a grouped report (three expression fields a row, a sum per group, page
// header and footer) against building the same display lists directly in C++. PDF: writing the
// rendered document against drawing the same text straight into a PDF writer.

#include "engine/reportengine.h"
#include "vbcore/currency.h"

#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QPainter>
#include <QPdfWriter>
#include <QTemporaryDir>

#include <cstdio>
#include <functional>

using namespace kv6;
using namespace kv6::engine;

namespace {

double seconds(const std::function<void()> &work)
{
    QElapsedTimer t;
    t.start();
    work();
    return t.nsecsElapsed() / 1e9;
}

long peakKb()
{
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray &line : f.readAll().split('\n')) {
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').first().toLong();
    }
    return 0;
}

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

TextRun run(double x, double y, double w, double h, const QString &s, Qt::Alignment a)
{
    TextRun t;
    t.rect = QRectF(x, y, w, h);
    t.clip = t.rect;
    t.text = s;
    t.font.name = QStringLiteral("Arial");
    t.font.size = 9;
    t.alignment = a;
    return t;
}

// The same pages built by hand: rows placed top to bottom, a page break when the next band does
// not fit, the same strings formatted in C++.
PreviewDocument direct(const RecordsetPtr &rs)
{
    PreviewDocument doc;
    const QSizeF page(11906, 16838);
    const double left = 720, bottom = page.height() - 720 - 300;
    const QLocale c = QLocale::c();
    int p = 0;
    double y = 0;
    auto newPage = [&] {
        p = doc.addPage(page);
        doc.addItem(p, run(left, 720, 6000, 400, QStringLiteral("Pages by user"), Qt::AlignLeft));
        y = 720 + 400;
    };
    auto need = [&](double h) {
        if (y + h > bottom) {
            doc.addItem(p,
                run(left + 6000, bottom, 4466, 300, QStringLiteral("Page %1 of ?").arg(p),
                    Qt::AlignRight));
            newPage();
        }
    };
    newPage();
    QString user;
    qint64 sum = 0;
    for (int r = 0; r < rs->RecordCount(); ++r) {
        const QString u = rs->ValueAt(r, 0).toString();
        if (u != user) {
            if (!user.isEmpty()) {
                need(260);
                doc.addItem(p, run(left + 4000, y, 1000, 260, c.toString(sum), Qt::AlignRight));
                y += 260;
            }
            user = u;
            sum = 0;
            need(260);
            doc.addItem(p, run(left, y, 3000, 260, u, Qt::AlignLeft));
            y += 260;
        }
        need(240);
        const int pages = rs->ValueAt(r, 2).toInt();
        sum += pages;
        doc.addItem(p, run(left + 300, y, 3500, 240, rs->ValueAt(r, 1).toString(), Qt::AlignLeft));
        doc.addItem(p, run(left + 4000, y, 1000, 240, c.toString(pages), Qt::AlignRight));
        doc.addItem(p,
            run(left + 5500, y, 1200, 240,
                c.toString(rs->ValueAt(r, 3).value<Currency>().toDouble(), 'f', 2),
                Qt::AlignRight));
        y += 240;
    }
    doc.addItem(p,
        run(left + 6000, bottom, 4466, 300, QStringLiteral("Page %1 of %1").arg(p),
            Qt::AlignRight));
    return doc;
}

// Every text of the document drawn straight into a PDF writer.
void drawDirect(const PreviewDocument &doc, const QString &path)
{
    QPdfWriter w(path);
    w.setResolution(1200);
    w.setPageSize(QPageSize(QPageSize::A4));
    w.setPageMargins(QMarginsF());
    QPainter p(&w);
    const double k = 1200.0 / 1440;
    QFont f(QStringLiteral("Arial"));
    f.setPixelSize(int(9 * 20 * k));
    p.setFont(f);
    for (int i = 1; i <= doc.pageCount(); ++i) {
        if (i > 1)
            w.newPage();
        for (const DisplayItem &item : doc.page(i).items) {
            if (const auto *t = std::get_if<TextRun>(&item)) {
                const QRectF r(t->rect.left() * k, t->rect.top() * k, t->rect.width() * k,
                    t->rect.height() * k);
                p.drawText(r, int(t->alignment), t->text);
            }
        }
    }
}

struct Figures
{
    int pages;
    double render, renderBase, pdf, pdfBase, rtt, html;
};

Figures measure(int rows, const QString &dir)
{
    const RecordsetPtr rs = data(rows);
    ReportEngine engine;
    ReportLayout layout;
    QString error;
    if (!loadLayoutXml(QByteArray(layoutXml), QStringLiteral("Bench"), layout, &error)) {
        std::fprintf(stderr, "bench_engine: %s\n", qPrintable(error));
        std::exit(1);
    }
    engine.setLayout(layout);
    engine.setRecordset(rs);
    Figures f {};
    PreviewDocument doc;
    f.render = seconds([&] {
        if (!engine.render(doc, &error)) {
            std::fprintf(stderr, "bench_engine: %s\n", qPrintable(error));
            std::exit(1);
        }
    });
    f.pages = doc.pageCount();
    PreviewDocument base;
    f.renderBase = seconds([&] { base = direct(rs); });
    f.pdf = seconds([&] { writePdf(doc, dir + QStringLiteral("/engine.pdf")); });
    f.pdfBase = seconds([&] { drawDirect(base, dir + QStringLiteral("/direct.pdf")); });
    f.rtt = seconds([&] {
        doc.save(dir + QStringLiteral("/doc.rtt"));
        PreviewDocument back;
        back.load(dir + QStringLiteral("/doc.rtt"));
    });
    f.html = seconds([&] { engine.renderToFile(dir + QStringLiteral("/doc.htm"), RenderHtml); });
    return f;
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")
        && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const int rows = argc > 1 ? std::atoi(argv[1]) : 20000;
    QTemporaryDir dir;
    std::printf("%-8s %6s %10s %10s %7s %10s %10s %7s %10s %10s\n", "rows", "pages", "render s",
        "direct s", "ratio", "pdf s", "direct s", "ratio", "rtt s", "html s");
    for (int n : { rows, rows * 2 }) {
        const Figures f = measure(n, dir.path());
        std::printf("%-8d %6d %10.3f %10.3f %7.2f %10.3f %10.3f %7.2f %10.3f %10.3f\n", n, f.pages,
            f.render, f.renderBase, f.render / f.renderBase, f.pdf, f.pdfBase, f.pdf / f.pdfBase,
            f.rtt, f.html);
    }
    std::printf("peak memory: %ld kB\n", peakKb());
    return 0;
}
