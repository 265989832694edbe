// The shipped layouts: each definition's own layouts hold what the program restyles and where
// the definition's charts and sub-reports go, and every report, built over the demo history,
// renders through the program's renderer into pages whose texts fit their fields, do not
// overlap, and show the captions, rows and totals of its data set.

#include "base/startupvalues.h"
#include "demohistory.h"
#include "documenttexts.h"
#include "recordtable.h"
#include "testscopes.h"
#include "toolrun.h"

#include "app/branding.h"
#include "base/dialogs.h"
#include "base/langstrings.h"
#include "engine/graphics.h"
#include "engine/layout.h"
#include "engine/reportengine.h"
#include "engine/vbformat.h"
#include "groups/analysis.h"
#include "render/reportoutput.h"
#include "render/reportrender.h"
#include "report/report.h"

#include <gtest/gtest.h>
#include <QFontMetricsF>
#include <QRegularExpression>

using namespace kv6test;
using kv6::clsReport;
using kv6::DataConnection;
using kv6::RecordsetPtr;
using kv6::engine::DisplayItem;
using kv6::engine::Field;
using kv6::engine::FieldKind;
using kv6::engine::PreviewDocument;
using kv6::engine::ReportLayout;
using kv6::engine::TextRun;

namespace {

QString reportsDir()
{
    return sourceDir() + QStringLiteral("/data/reports");
}

QString pathOf(const Definition &d)
{
    return reportsDir() + QLatin1Char('/') + d.file;
}

bool loadOrFail(const QString &path, const QString &name, ReportLayout &layout)
{
    QString error;
    const bool ok = kv6::engine::loadLayout(path, name, layout, &error);
    EXPECT_TRUE(ok) << s(path) << ": " << s(error);
    return ok;
}

// Where a text run's lines are drawn, in page twips.
QRectF inkRect(const TextRun &t)
{
    const QStringList lines = t.text.split(u'\n');
    double width = 0;
    for (const QString &line : lines)
        width = std::max(width, kv6::engine::textWidth(t.font, line));
    const double height = lines.size() * kv6::engine::lineHeight(t.font);
    QRectF r(t.rect.topLeft(), QSizeF(std::min(width, t.rect.width()), height));
    if (t.alignment & Qt::AlignRight)
        r.moveRight(t.rect.right());
    else if (t.alignment & Qt::AlignHCenter)
        r.moveLeft(t.rect.center().x() - r.width() / 2);
    if (t.alignment & Qt::AlignBottom)
        r.moveBottom(t.rect.bottom());
    else if (t.alignment & Qt::AlignVCenter)
        r.moveTop(t.rect.center().y() - r.height() / 2);
    const QRectF clip = t.clip.isEmpty() ? t.rect : t.clip;
    return r.intersected(clip);
}

// The texts of a page, without the line breaks wrapping put in.
QStringList pageTexts(const PreviewDocument &doc, int page)
{
    QStringList out;
    for (const TextRun &t : runsOf(doc, page))
        out << t.text.split(u'\n').join(QString()).remove(u' ');
    return out;
}

QStringList documentTexts(const PreviewDocument &doc)
{
    QStringList out;
    for (int p = 1; p <= doc.pageCount(); ++p)
        out << pageTexts(doc, p);
    return out;
}

bool shows(const QStringList &texts, const QString &text)
{
    return texts.contains(QString(text).remove(u' '));
}

// Lines cut off by the bottom of their field, and texts drawn over other texts or pictures.
void expectReadablePages(const PreviewDocument &doc, const QString &what)
{
    for (int p = 1; p <= doc.pageCount(); ++p) {
        const QList<TextRun> page = runsOf(doc, p);
        QList<QRectF> ink;
        QList<QRectF> pictures;
        for (const DisplayItem &item : doc.page(p).items) {
            if (const auto *pic = std::get_if<kv6::engine::PictureItem>(&item))
                pictures << pic->rect;
        }
        for (const TextRun &t : page) {
            const QRectF clip = t.clip.isEmpty() ? t.rect : t.clip;
            // The last line needs its glyphs, not the spacing to a next one.
            const double needed = t.text.count(u'\n') * kv6::engine::lineHeight(t.font)
                + QFontMetricsF(kv6::engine::twipsFont(t.font)).height();
            EXPECT_LE(needed, clip.height() + 1.0)
                << s(what) << " page " << p << ": \"" << s(t.text) << "\" does not fit its "
                << clip.width() << " x " << clip.height() << " field";
            ink << inkRect(t);
        }
        for (int i = 0; i < ink.size(); ++i) {
            for (const QRectF &picture : std::as_const(pictures)) {
                const QRectF both = ink[i].intersected(picture);
                EXPECT_FALSE(both.width() > 1 && both.height() > 1)
                    << s(what) << " page " << p << ": \"" << s(page[i].text)
                    << "\" runs into a picture";
            }
            for (int j = i + 1; j < ink.size(); ++j) {
                const QRectF both = ink[i].intersected(ink[j]);
                EXPECT_FALSE(both.width() > 1 && both.height() > 1)
                    << s(what) << " page " << p << ": \"" << s(page[i].text) << "\" overlaps \""
                    << s(page[j].text) << "\"";
            }
        }
    }
}

} // namespace

class ReportLayouts : public DemoHistoryTest
{
protected:
    void SetUp() override
    {
        DemoHistoryTest::SetUp();
        kv6::CreateBranding(s_env->path(QStringLiteral("no-branding")));
        kv6::ResetReportBranding();
    }

    static kv6::RenderOptions options()
    {
        kv6::RenderOptions o;
        o.reportFont = QFont(QStringLiteral("Arial"), 9);
        return o;
    }

    // The report built over the demo history and rendered as the preview renders it.
    static bool renderReport(clsReport &report, DataConnection &c, PreviewDocument &doc,
        QString *error = nullptr, const kv6::RenderOptions &o = options())
    {
        auto analysis = analysisOf(c);
        if (!build(report, *analysis, c))
            return false;
        kv6::HeadlessRenderHost host(o);
        host.ReportBegin(report);
        QString why;
        const bool ok = host.render(doc, &why);
        host.ReportEnd();
        if (error)
            *error = why;
        return ok;
    }

    // The vector pictures drawn (charts stay vectors; the logo is a bitmap), by their size in
    // twips.
    static QMap<QPair<int, int>, int> vectorPictureSizes(const PreviewDocument &doc)
    {
        QMap<QPair<int, int>, int> out;
        for (int p = 1; p <= doc.pageCount(); ++p) {
            for (const DisplayItem &item : doc.page(p).items) {
                const auto *pic = std::get_if<kv6::engine::PictureItem>(&item);
                if (pic && pic->picture.isVector())
                    ++out[qMakePair(qRound(pic->rect.width()), qRound(pic->rect.height()))];
            }
        }
        return out;
    }

    ShippedLanguage language;
    UsEnglishLocale locale;
    ScopedStartupValue<QString> definitions { &kv6::StartupValues::DefinitionsFolder,
        reportsDir() };
    kv6::SilentDialogs silent;
    kv6::ScopedDialogProvider quiet { &silent };
};

TEST_F(ReportLayouts, EveryDefinitionCarriesLayoutsForItselfAndItsSubReports)
{
    for (const Definition &d : std::as_const(*s_definitions)) {
        const QString path = pathOf(d);
        const QStringList names = kv6::engine::layoutReportNames(path);
        QStringList expected { d.name() };
        for (const QDomElement &sub : d.subReports())
            expected << DefinitionFromElement(d.file, sub).name();
        EXPECT_EQ(names, expected) << s(d.file);

        ReportLayout main;
        if (!loadOrFail(path, d.name(), main))
            continue;
        // What the program restyles, in the sections it belongs in.
        const QList<QPair<const char *, FieldKind>> named = {
            { "lblTitle", FieldKind::Text },
            { "lblSubTitle", FieldKind::Text },
            { "picLogo", FieldKind::Picture },
            { "rctColHeader", FieldKind::Rectangle },
            { "linSeparate", FieldKind::Line },
        };
        for (const auto &[name, kind] : named) {
            const Field *f = main.fields.item(QLatin1String(name));
            ASSERT_TRUE(f) << s(d.file) << " has no " << name;
            EXPECT_EQ(f->kind, kind) << s(d.file) << " " << name;
            EXPECT_EQ(f->section, kv6::engine::SectionPageHeader) << s(d.file) << " " << name;
        }
        for (const char *name : { "lblFooterCompany", "lblFooterDate", "lblFooterPages" }) {
            const Field *f = main.fields.item(QLatin1String(name));
            ASSERT_TRUE(f) << s(d.file) << " has no " << name;
            EXPECT_EQ(f->section, kv6::engine::SectionPageFooter) << s(d.file) << " " << name;
        }
        const Field *logo = main.fields.item(QStringLiteral("picLogo"));
        EXPECT_NEAR(logo->left + logo->width, main.layoutWidth(), 1) << s(d.file) << ": logo";

        const QString alternate = d.text(QStringLiteral("SectionAlternate"));
        if (!alternate.isEmpty()) {
            EXPECT_GE(main.sectionIndex(alternate), 0) << s(d.file) << ": " << s(alternate);
        }

        // Where the charts go is checked by drawing them, below.
        QList<ReportLayout> layouts { main };
        for (const QDomElement &sub : d.subReports()) {
            layouts.emplaceBack();
            loadOrFail(path, DefinitionFromElement(d.file, sub).name(), layouts.last());
        }
        const QString holder = d.text(QStringLiteral("SubReportField"));
        if (!holder.isEmpty()) {
            const Field *f = main.fields.item(holder);
            ASSERT_TRUE(f) << s(d.file) << ": no field " << s(holder);
            ASSERT_EQ(d.subReports().size(), 1);
            EXPECT_EQ(f->subreportName, DefinitionFromElement(d.file, d.subReports()[0]).name());
            // The report footer grows to hold it and may continue on the next page.
            const kv6::engine::Section *footer = main.section(f->section);
            EXPECT_TRUE(footer->canGrow && !footer->keepTogether) << s(d.file);
        }

        for (const ReportLayout *l = layouts.cbegin(); l != layouts.cend(); ++l) {
            // Every field lies inside the page on A4 and on Letter, and inside its section.
            for (const QSizeF paper : { QSizeF(11906, 16838), QSizeF(12240, 15840) }) {
                const double across = (l->landscape ? paper.height() : paper.width())
                    - l->margins.left() - l->margins.right();
                EXPECT_LE(l->layoutWidth(), across) << s(d.file) << " " << s(l->name);
            }
            for (const Field *f : l->fields.all()) {
                const QString what = d.file + QLatin1Char(' ') + f->name;
                EXPECT_GE(f->left, 0) << s(what);
                EXPECT_LE(f->left + f->width, l->layoutWidth() + 0.5) << s(what);
                EXPECT_LE(f->top + f->height, l->section(f->section)->height + 0.5) << s(what);
                // Numbers line up on the right; costs go through the program's currency text.
                const bool number = f->format.startsWith(u'#') || f->format.startsWith(u'0')
                    || f->format == u"Currency";
                if (number && f->section != kv6::engine::SectionPageFooter) {
                    EXPECT_EQ(f->align / 3, 2) << s(what) << " is not right-aligned";
                }
                // A label naming a string must name one the English table has.
                bool numeric = false;
                const int id = f->text.toInt(&numeric);
                if (numeric && !f->isExpression() && !f->name.endsWith(QLatin1String("Value"))) {
                    EXPECT_FALSE(kv6::GetLangString(id).isEmpty()) << s(what) << ": " << id;
                }
            }
        }
    }
}

TEST_F(ReportLayouts, EveryReportRendersItsCaptionsRowsAndTotalsReadablyAndAsPdf)
{
    for (DataConnection *c : engines()) {
        for (const Definition &d : std::as_const(*s_definitions)) {
            const QString what = d.name() + QStringLiteral(" on ") + engineName(*c);
            auto report = load(d.name(), *c);
            PreviewDocument doc;
            QString error;
            ASSERT_TRUE(renderReport(*report, *c, doc, &error)) << s(what) << ": " << s(error);
            ASSERT_GE(doc.pageCount(), 1) << s(what);
            const RecordsetPtr data = report->ReportData();
            ASSERT_GT(data->RecordCount(), 0) << s(what);
            const QStringList texts = documentTexts(doc);

            ReportLayout layout;
            ASSERT_TRUE(loadOrFail(pathOf(d), d.name(), layout));
            EXPECT_TRUE(textsOf(doc, 1).contains(report->Title())) << s(what);
            const QString pages = QString::number(doc.pageCount());
            EXPECT_TRUE(shows(texts, QStringLiteral("Page 1 of ") + pages)) << s(what);
            EXPECT_TRUE(shows(texts, QStringLiteral("Page %1 of %1").arg(pages))) << s(what);

            // Every row shows its first text column, on a page that carries the column
            // captions in English.
            const Field *first = nullptr;
            for (const Field *f : layout.sectionFields(kv6::engine::SectionDetail)) {
                if (f->kind == FieldKind::Text && f->isExpression() && f->format.isEmpty()
                    && data->FieldIndex(f->expression()) >= 0) {
                    first = f;
                    break;
                }
            }
            QStringList captions;
            for (const Field *f : layout.sectionFields(kv6::engine::SectionPageHeader)) {
                if (f->kind == FieldKind::Text && f->name.startsWith(QLatin1String("lblCol")))
                    captions << kv6::GetLangString(f->text.toInt());
            }
            EXPECT_FALSE(captions.isEmpty()) << s(what);
            const auto rows = Rows(*data);
            QSet<QString> shownRows;
            for (int p = 1; p <= doc.pageCount() && first; ++p) {
                QStringList page;
                bool table = false;
                for (const TextRun &t : runsOf(doc, p)) {
                    const QString text = t.text.split(u'\n').join(QString()).remove(u' ');
                    page << text;
                    // A caption that wraps breaks between its words, never inside one.
                    const QString spaced = QString(t.text).replace(u'\n', u' ');
                    for (const QString &caption : std::as_const(captions)) {
                        if (text == QString(caption).remove(u' ')) {
                            EXPECT_EQ(spaced, caption) << s(what) << " page " << p;
                        }
                    }
                    // A cell of the report's own first column, not of a sub-report's.
                    if (qAbs(t.rect.left() - layout.margins.left() - first->left) < 1
                        && qAbs(t.rect.width() - first->width) < 1) {
                        shownRows.insert(text);
                        table = true;
                    }
                }
                for (const QString &caption : std::as_const(captions)) {
                    if (table || p == 1) {
                        EXPECT_TRUE(shows(page, caption))
                            << s(what) << " page " << p << ": " << s(caption);
                    }
                }
            }
            if (first) {
                const int column = data->FieldIndex(first->expression());
                for (const QVariantList &row : rows) {
                    const QString v = row.at(column).toString();
                    if (!v.isEmpty()) {
                        EXPECT_TRUE(shownRows.contains(QString(v).remove(u' ')))
                            << s(what) << ": row " << s(v);
                    }
                }
            }
            // Every footer sum of a column matches the data set's.
            static const QRegularExpression sum(QStringLiteral("^Sum\\((\\w+)\\)$"));
            for (const Field *f : layout.sectionFields(kv6::engine::SectionFooter)) {
                const QRegularExpressionMatch m = sum.match(f->expression());
                const int column = m.hasMatch() ? data->FieldIndex(m.captured(1)) : -1;
                if (column < 0 || f->format != u"#,##0")
                    continue;
                double total = 0;
                for (const QVariantList &row : rows)
                    total += row.at(column).toDouble();
                const QString shown
                    = kv6::engine::vbFormat(kv6::script::Variant::dbl(total), f->format);
                EXPECT_TRUE(shows(texts, shown))
                    << s(what) << ": " << s(f->name) << " " << s(shown);
            }
            expectReadablePages(doc, what);

            // The same report written as PDF carries its title as text.
            if (!isSQLite(*c))
                continue;
            const QString pdf = s_env->path(QFileInfo(d.file).baseName() + QStringLiteral(".pdf"));
            ASSERT_TRUE(
                kv6::RenderReportToFile(*report, pdf, kv6::OutputFormat::Pdf, options(), &error))
                << s(what) << ": " << s(error);
            bool ran = false;
            EXPECT_TRUE(pdfText(pdf, &ran).simplified().contains(report->Title())) << s(what);
            ASSERT_TRUE(ran) << "pdftotext did not run";
            keepOutput(pdf);
        }
    }
    if (!s_pg)
        GTEST_SKIP() << "rendered on SQLite only: " << *s_pgSkip;
}

TEST_F(ReportLayouts, WithTheCoverPageAndALongSubtitleTheTableStartsOnPageTwo)
{
    const QString subtitle
        = QStringLiteral("Head office, every floor and department, May to the middle of June");
    for (const QString &name : { QStringLiteral("Black and White Page Volumes Breakdown"),
             QStringLiteral("User to Printer Model Breakdown") }) {
        auto report = load(name, *s_sqlite);
        report->SetSubTitle(subtitle);
        kv6::RenderOptions o = options();
        o.printCover = true;
        PreviewDocument doc;
        QString error;
        ASSERT_TRUE(renderReport(*report, *s_sqlite, doc, &error, o))
            << s(name) << ": " << s(error);
        ASSERT_GE(doc.pageCount(), 2) << s(name);
        keepPdf(doc, QStringLiteral("cover ") + name);
        QList<QStringList> pages;
        for (int p = 1; p <= doc.pageCount(); ++p)
            pages << pageTexts(doc, p);
        // The cover stands alone: no page header or captions above it.
        EXPECT_TRUE(shows(pages[0], kv6::GetLangString(880))) << s(name);
        EXPECT_FALSE(shows(pages[0], kv6::GetLangString(2400))) << s(name);
        EXPECT_FALSE(shows(pages[0], QStringLiteral(" - ") + subtitle)) << s(name);
        // The first row of the table, which is sorted by its first column's group.
        const RecordsetPtr data = report->ReportData();
        const int column = data->FieldIndex(
            name.startsWith(u'U') ? QStringLiteral("UserName") : QStringLiteral("PrinterName"));
        ASSERT_GE(column, 0);
        const QString first = data->ValueAt(0, column).toString();
        EXPECT_FALSE(shows(pages[0], first)) << s(name);
        EXPECT_TRUE(shows(pages[1], first)) << s(name);
        for (int p = 1; p < pages.size(); ++p)
            EXPECT_TRUE(shows(pages[p], QStringLiteral(" - ") + subtitle)) << s(name) << p + 1;
        expectReadablePages(doc, name + QStringLiteral(" with a cover"));
    }
}

TEST_F(ReportLayouts, ChartsAreDrawnIntoTheirFieldsOncePerTableOrPerGroup)
{
    for (const Definition &d : std::as_const(*s_definitions)) {
        auto report = load(d.name(), *s_sqlite);
        if (!report->HasCharts())
            continue;
        PreviewDocument doc;
        QString error;
        ASSERT_TRUE(renderReport(*report, *s_sqlite, doc, &error)) << s(d.name()) << s(error);
        // Per field size, the charts that must have been drawn: one over the whole table, or
        // one per key where the chart breaks on a key.
        QMap<QPair<int, int>, int> expected;
        QList<clsReport *> reports { report.get() };
        for (const kv6::ReportPtr &sub : report->SubReports())
            reports << sub.get();
        for (clsReport *r : std::as_const(reports)) {
            ReportLayout layout;
            ASSERT_TRUE(loadOrFail(pathOf(d), r->Name(), layout));
            for (const kv6::ReportChartPtr &chart : r->Charts()) {
                const Field *f = layout.fields.item(chart->DestField());
                ASSERT_TRUE(f) << s(d.name()) << ": " << s(chart->DestField());
                EXPECT_GE(f->width, 9000) << s(chart->DestField());
                EXPECT_GE(f->height, 3000) << s(chart->DestField());
                int count = 1;
                if (!chart->NewChartOn().isEmpty()) {
                    QSet<QString> keys;
                    const int column = r->ReportData()->FieldIndex(chart->NewChartOn());
                    for (const QVariantList &row : Rows(*r->ReportData()))
                        keys.insert(row.at(column).toString());
                    count = int(keys.size());
                    EXPECT_GT(count, 1) << s(d.name());
                }
                expected[qMakePair(qRound(f->width), qRound(f->height))] += count;
            }
        }
        EXPECT_EQ(vectorPictureSizes(doc), expected) << s(d.name());
    }
}

TEST_F(ReportLayouts, TheSummaryAndTheGroupsAddUpToTheJobTable)
{
    // The summary's pages and jobs, worked out from the jobs themselves.
    qint64 pages = 0;
    for (const Job &j : std::as_const(*s_jobs))
        pages += j.pages;
    const auto number = [](double v) {
        return kv6::engine::vbFormat(kv6::script::Variant::dbl(v), QStringLiteral("#,##0"));
    };
    {
        auto report = load(QStringLiteral("Executive Summary"), *s_sqlite);
        PreviewDocument doc;
        ASSERT_TRUE(renderReport(*report, *s_sqlite, doc));
        const QStringList texts = documentTexts(doc);
        EXPECT_TRUE(shows(texts, number(double(pages))));
        EXPECT_TRUE(shows(texts, number(double(s_jobs->size()))));
        EXPECT_EQ(doc.pageCount(), 1);
    }
    // Per printer, the users' pages add up in the group footer, and all printers at the end.
    auto report = load(QStringLiteral("Printer to User Breakdown"), *s_sqlite);
    PreviewDocument doc;
    ASSERT_TRUE(renderReport(*report, *s_sqlite, doc));
    const QStringList texts = documentTexts(doc);
    QMap<int, qint64> perPrinter;
    for (const Job &j : std::as_const(*s_jobs))
        perPrinter[j.printer] += j.pages;
    ASSERT_GT(perPrinter.size(), 1);
    for (auto it = perPrinter.cbegin(); it != perPrinter.cend(); ++it)
        EXPECT_TRUE(shows(texts, number(double(it.value())))) << "printer " << it.key();
    EXPECT_TRUE(shows(texts, number(double(pages))));
    EXPECT_EQ(texts.count(QString(kv6::GetLangString(2416)).remove(u' ')), perPrinter.size());
}

TEST_F(ReportLayouts, YesNoAndPageNumbersFollowTheLanguage)
{
    // A language whose texts differ from English in the strings the layouts compose.
    QString table = readText(sourceDir() + QStringLiteral("/data/lang/1033/kv6reprtLangRes.txt"));
    table.replace(QStringLiteral("\n2430\tYes"), QStringLiteral("\n2430\tOui"));
    table.replace(QStringLiteral("\n2431\tNo"), QStringLiteral("\n2431\tNon"));
    table.replace(
        QStringLiteral("\n2432\tPage %s of %s"), QStringLiteral("\n2432\tFeuille %s sur %s"));
    ScopedLanguage french(writeLanguage(s_env->path(QStringLiteral("lang")), table.toUtf8()));
    ASSERT_TRUE(french.loaded);

    auto report = load(QStringLiteral("Duplex Savings"), *s_sqlite);
    PreviewDocument doc;
    ASSERT_TRUE(renderReport(*report, *s_sqlite, doc));
    const QStringList texts = documentTexts(doc);
    const RecordsetPtr data = report->ReportData();
    const int column = data->FieldIndex(QStringLiteral("DuplexDevice"));
    int duplex = 0;
    const auto rows = Rows(*data);
    for (const QVariantList &row : rows)
        duplex += row.at(column).toBool() ? 1 : 0;
    EXPECT_EQ(texts.count(QStringLiteral("Oui")), duplex);
    EXPECT_EQ(texts.count(QStringLiteral("Non")), rows.size() - duplex);
    EXPECT_FALSE(texts.contains(QStringLiteral("Yes")) || texts.contains(QStringLiteral("No")));
    const QString pages = QString::number(doc.pageCount());
    EXPECT_TRUE(shows(texts, QStringLiteral("Feuille 1 sur ") + pages));
}

TEST_F(ReportLayouts, TheProposalsTitlePageAndContentsAreLabelledAndReadable)
{
    const RecordsetPtr title = table(QStringLiteral("ProposalTitle PreparedFor PreparedBy"),
        { { QStringLiteral("Printing at Northwind"), QStringLiteral("The board"),
            QStringLiteral("Office services") } });
    const RecordsetPtr contents = table(QStringLiteral("ProposalReportName PageStart"),
        { { QStringLiteral("Executive Summary"), 1 }, { QStringLiteral("Duplex Savings"), 3 },
            { QStringLiteral("Top 10 Users List"), 8 } });
    const struct
    {
        const char *file, *report;
        kv6::RecordsetPtr rows;
        bool heading;
        QStringList shown; // the rows' texts are the proposal render's tests' to find
    } cases[] = {
        { "titlepage", "Title Page", title, false,
            { kv6::GetLangString(2470), kv6::GetLangString(2471) } },
        { "tbcontents", "Proposal Contents", contents, true, {} },
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.file);
        kv6::engine::ReportEngine engine;
        QString error;
        ASSERT_TRUE(engine.load(
            reportsDir() + QLatin1Char('/') + QLatin1String(c.file) + QStringLiteral(".prp"),
            QLatin1String(c.report), &error))
            << s(error);
        c.rows->MoveFirst();
        engine.setRecordset(c.rows);
        Field *logo = engine.Fields().item(QStringLiteral("picLogo"));
        ASSERT_TRUE(logo);
        logo->picture = kv6::engine::Picture::fromImage(kv6::Startup().ReportLogoPicture);
        // The program puts the proposal's heading into the contents.
        if (c.heading) {
            Field *heading = engine.Fields().item(QStringLiteral("clrTitle"));
            ASSERT_TRUE(heading);
            heading->text = kv6::GetLangString(824);
        }
        kv6::clsReportRender::LocaliseLabels(engine);
        PreviewDocument doc;
        ASSERT_TRUE(engine.render(doc, &error)) << s(error);
        ASSERT_EQ(doc.pageCount(), 1);
        const QStringList texts = documentTexts(doc);
        for (const QString &text : c.shown)
            EXPECT_TRUE(shows(texts, text)) << s(text);
        expectReadablePages(doc, QLatin1String(c.file));
        keepPdf(doc, QLatin1String(c.file));
    }
}
