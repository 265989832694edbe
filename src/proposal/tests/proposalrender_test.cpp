// Proposals rendered into one document over a real SQLite database: reports of known page
// counts, the title page and contents from the shipped layouts, the PDF read back page by page.

#include "proposal/proposalrender.h"

#include "app/branding.h"
#include "base/paths.h"
#include "proposal/proposal.h"
#include "report/dateselector.h"

#include "enginetest.h"
#include "testscopes.h"
#include "toolrun.h"

#include <QDir>
#include <QFile>

using namespace kv6;

namespace {

// A report of `pages` pages: one row a page, each naming its report; the label is the key the
// build combines rows by.
QByteArray pagesDefinition(const QString &name, int pages)
{
    return QStringLiteral(
        R"(<KVReport><KVReportInfo><Name>%1</Name><DisplayName>%1 pages</DisplayName>
<AccessSQL>SELECT * FROM (SELECT 1 AS "N", '%1 row 1' AS "Label" UNION ALL SELECT 2, '%1 row 2'
  UNION ALL SELECT 3, '%1 row 3' UNION ALL SELECT 4, '%1 row 4' UNION ALL SELECT 5, '%1 row 5')
  WHERE "N" &lt;= ?</AccessSQL>
<Parameters>
  <Parameter><Name>Range</Name><Type>2</Type><Query>0</Query></Parameter>
  <Parameter><Name>Rows</Name><Type>3</Type><Default>%2</Default></Parameter>
</Parameters>
<GroupColumns><Column><Field>Label</Field><Action>4</Action></Column></GroupColumns>
</KVReportInfo>
<Layouts><Report name="%1" paper="A4" marginLeft="720" marginRight="720" marginTop="720"
  marginBottom="720"><Font name="Arial" size="9"/>
  <Section type="Detail" height="300" forcePageBreak="2">
    <Field name="txtN" text="=Label" left="0" top="0" width="4000" height="300"/>
  </Section>
</Report></Layouts></KVReport>)")
        .arg(name)
        .arg(pages)
        .toUtf8();
}

// Cancels once the given number of reports have been laid out.
class CancellingProgress : public IProposalProgress
{
public:
    explicit CancellingProgress(int after)
        : m_after(after)
    { }
    bool Cancelled() const override { return m_done >= m_after; }
    void Initialize(int, QWidget *) override { }
    void UpdateProgress(int level, const QString &text, int, int) override
    {
        if (level == 2 && text == GetLangString(241))
            ++m_done;
        lines << text;
    }
    void Increment(int) override { }
    void Shutdown() override { }
    QStringList lines;

private:
    int m_after;
    int m_done = 0;
};

} // namespace

class ProposalRender : public kv6test::SQLiteTest
{
protected:
    void SetUp() override
    {
        SQLiteTest::SetUp();
        openFresh();
        CreateBranding(env.path(QStringLiteral("no-branding")));
        QDir().mkpath(folder);
        for (const char *layout : { "titlepage.prp", "tbcontents.prp" })
            ASSERT_TRUE(QFile::copy(
                kv6test::sourceDir() + QStringLiteral("/data/reports/") + QLatin1String(layout),
                QDir(folder).filePath(QLatin1String(layout))));
        proposal.SetTitle(QStringLiteral("Printing at Acme"));
        proposal.SetPreparedFor(QStringLiteral("The Board"));
        proposal.SetPreparedBy(QStringLiteral("Facilities"));
        proposal.SetDateSelectType(clsDateSelector::CustomRange);
        proposal.SetFromDate(QDate(2026, 3, 1));
        proposal.SetToDate(QDate(2026, 3, 31));
    }

    // Reports of these page counts, named "A", "B", ... and built.
    void addReports(const QList<int> &pages)
    {
        for (int i = 0; i < pages.size(); ++i) {
            const QString name = QString(QChar(u'A' + i));
            kv6test::writeFile(QDir(folder).filePath(name + QStringLiteral(".rpt")),
                pagesDefinition(name, pages[i]));
            auto report = std::make_shared<clsReport>();
            ASSERT_TRUE(report->LoadDefinition(name + QStringLiteral(".rpt"), 1))
                << report->LastError().toStdString();
            proposal.PrepareReport(*report, 1);
            proposal.Reports().add(report, report->Name());
        }
        const ProposalOutcome built = BuildProposalData(proposal, nullptr, *connection, nullptr);
        ASSERT_EQ(built.result, ProposalOutcome::Done) << built.error.toStdString();
    }

    RenderOptions options() const
    {
        RenderOptions o;
        o.reportFont = QFont(QStringLiteral("Liberation Sans"), 9);
        return o;
    }

    kv6test::ShippedLanguage language;
    kv6test::UsEnglishLocale locale;
    QString folder = env.path(QStringLiteral("reports"));
    kv6test::ScopedStartupValue<QString> definitions { &StartupValues::DefinitionsFolder, folder };
    clsProposal proposal;
};

TEST_F(ProposalRender, ContentsGiveEachReportsFirstPageAndNumbersRunOverTheReportsOnly)
{
    addReports({ 2, 5, 1 });
    const QString pdf = env.path(QStringLiteral("proposal.pdf"));
    const ProposalOutcome out
        = RenderProposalToFile(proposal, options(), nullptr, pdf, engine::OutputFormat::Pdf);
    ASSERT_EQ(out.result, ProposalOutcome::Done) << out.error.toStdString();
    ASSERT_EQ(kv6test::pdfText(pdf).count(QLatin1Char('\f')), 10) << "pdftotext ends each page";

    const QString title = kv6test::pdfText(pdf, nullptr, 1);
    for (const char *text : { "Printing at Acme", "The Board", "Facilities", "3/1/2026" })
        EXPECT_TRUE(title.contains(QLatin1String(text))) << text << "\n" << title.toStdString();
    const QString contents = kv6test::pdfText(pdf, nullptr, 2);
    EXPECT_TRUE(contents.contains(GetLangString(824))) << contents.toStdString();
    const QStringList rows = contents.split(QLatin1Char('\n')).filter(QStringLiteral(" pages"));
    ASSERT_EQ(rows.size(), 3) << contents.toStdString();
    const QStringList starts = { QStringLiteral("1"), QStringLiteral("3"), QStringLiteral("8") };
    for (int i = 0; i < 3; ++i) {
        EXPECT_TRUE(rows[i].simplified().startsWith(QString(QChar(u'A' + i))));
        EXPECT_EQ(rows[i].simplified().section(QLatin1Char(' '), -1), starts[i]);
    }
    for (int page = 1; page <= 2; ++page)
        EXPECT_FALSE(kv6test::pdfText(pdf, nullptr, page).contains(QStringLiteral("of 8")));
    const QStringList firstRows = { QStringLiteral("A row 1"), QStringLiteral("A row 2"),
        QStringLiteral("B row 1"), QStringLiteral("B row 2"), QStringLiteral("B row 3"),
        QStringLiteral("B row 4"), QStringLiteral("B row 5"), QStringLiteral("C row 1") };
    for (int n = 1; n <= 8; ++n) {
        const QString text = kv6test::pdfText(pdf, nullptr, n + 2);
        EXPECT_TRUE(text.contains(GetLangString(821, QString::number(n), QStringLiteral("8"))))
            << n << "\n"
            << text.toStdString();
        EXPECT_TRUE(text.contains(firstRows[n - 1])) << text.toStdString();
    }
    EXPECT_EQ(kv6test::buildLeftovers(), QString());
}

TEST_F(ProposalRender, WithoutTitleAndContentsTheFirstReportStartsThePageNumbers)
{
    addReports({ 2, 1 });
    proposal.SetCreateTitlePage(false);
    proposal.SetCreateTableContents(false);
    HeadlessRenderHost host([this] {
        RenderOptions o = options();
        o.renderingProposal = true;
        return o;
    }());
    engine::PreviewDocument document;
    document.addPage(); // whatever the tab held before is replaced
    const ProposalOutcome out = RenderProposal(
        proposal, host, host.engines(), *options().reportFont, nullptr, [&] { return &document; });
    ASSERT_EQ(out.result, ProposalOutcome::Done) << out.error.toStdString();
    ASSERT_EQ(document.pageCount(), 3);
    const auto overlay = [&](int page) {
        const auto &items = document.page(page).overlay;
        return items.size() == 1 ? std::get<engine::TextRun>(items.first()).text : QString();
    };
    EXPECT_EQ(overlay(1), GetLangString(821, QStringLiteral("1"), QStringLiteral("3")));
    EXPECT_EQ(overlay(3), GetLangString(821, QStringLiteral("3"), QStringLiteral("3")));
    // Right-aligned at the margin, near the foot of the page.
    const auto run = std::get<engine::TextRun>(document.page(2).overlay.first());
    EXPECT_NEAR(
        run.rect.left() + document.textWidth(run.text), document.page(2).size.width() - 720, 30);
    EXPECT_GT(run.rect.top(), document.page(2).size.height() - 1440);
}

TEST_F(ProposalRender, ACancelOrAFailureOpensNoDocumentAndLeavesNothing)
{
    addReports({ 1, 1, 1 });
    CancellingProgress progress(2);
    HeadlessRenderHost host(options());
    bool opened = false;
    const ProposalOutcome out
        = RenderProposal(proposal, host, host.engines(), *options().reportFont, &progress, [&] {
              opened = true;
              return nullptr;
          });
    EXPECT_EQ(out.result, ProposalOutcome::Cancelled);
    EXPECT_FALSE(opened);
    EXPECT_EQ(progress.lines.count(GetLangString(240)), 2);
    EXPECT_EQ(kv6test::buildLeftovers(), QString());

    // A failure after the reports says why and leaves nothing behind either.
    const QString pdf = env.path(QStringLiteral("none.pdf"));
    // A contents layout that is gone fails after every report was laid out.
    QFile::remove(QDir(folder).filePath(QStringLiteral("tbcontents.prp")));
    const ProposalOutcome failed
        = RenderProposalToFile(proposal, options(), nullptr, pdf, engine::OutputFormat::Pdf);
    EXPECT_EQ(failed.result, ProposalOutcome::Failed);
    EXPECT_TRUE(failed.error.contains(QStringLiteral("tbcontents.prp")))
        << failed.error.toStdString();
    EXPECT_FALSE(QFile::exists(pdf));
    EXPECT_EQ(kv6test::buildLeftovers(), QString());
}

TEST_F(ProposalRender, HtmlAndTextHoldEveryPieceInOrder)
{
    addReports({ 2, 1 });
    for (const auto format : { engine::OutputFormat::Html, engine::OutputFormat::Text }) {
        const QString path
            = env.path(format == engine::OutputFormat::Html ? QStringLiteral("p.htm")
                                                            : QStringLiteral("p.txt"));
        const ProposalOutcome out
            = RenderProposalToFile(proposal, options(), nullptr, path, format);
        ASSERT_EQ(out.result, ProposalOutcome::Done) << out.error.toStdString();
        const QString text = QString::fromUtf8(kv6test::readFile(path));
        const qsizetype title = text.indexOf(QStringLiteral("Printing at Acme"));
        const qsizetype contents = text.indexOf(GetLangString(824));
        const qsizetype a = text.indexOf(QStringLiteral("A row 2"));
        const qsizetype b = text.indexOf(QStringLiteral("B row 1"));
        EXPECT_TRUE(title >= 0 && title < contents && contents < a && a < b) << text.toStdString();
    }
    EXPECT_EQ(kv6test::buildLeftovers(), QString());
}
