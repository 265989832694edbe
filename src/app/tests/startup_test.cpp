#include "app/startup.h"
#include "base/startupvalues.h"

#include <gtest/gtest.h>

using namespace kv6;

TEST(SplitQuoted, QuotesGroupBlanksEmptyTokensStayAndBlankTextGivesNothing)
{
    const QString q = QStringLiteral("\"");
    const QString sp = QStringLiteral(" ");
    const QString none;
    struct Row
    {
        const char *text;
        QString delimiter, quote;
        QStringList tokens;
    };
    const Row rows[] = {
        { "/runreport \"Monthly volumes\" extra", sp, q,
            { QStringLiteral("/runreport"), QStringLiteral("Monthly volumes"),
                QStringLiteral("extra") } },
        { "", sp, q, {} },
        { "    ", sp, q, {} },
        { "/runreport  name", sp, q,
            { QStringLiteral("/runreport"), none, QStringLiteral("name") } },
        // Without a quote character quotes are ordinary.
        { "a,\"b,c\"", QStringLiteral(","), none,
            { QStringLiteral("a"), QStringLiteral("\"b"), QStringLiteral("c\"") } },
    };
    for (const Row &r : rows)
        EXPECT_EQ(SplitQuoted(QString::fromUtf8(r.text), r.delimiter, r.quote, r.quote), r.tokens)
            << r.text;
    EXPECT_TRUE(SplitQuoted(QString(), sp, q, q).isEmpty());
}

TEST(CommandLine, Dispatch)
{
    struct Row
    {
        const char *line;
        StartMode mode;
        const char *name;
    };
    const Row rows[] = {
        { "", StartMode::Advanced, "" },
        { "   ", StartMode::Advanced, "" },
        { "/SIMPLE", StartMode::Simple, "" },
        { "/Simple /runreport x", StartMode::Simple, "" }, // later tokens are ignored
        { "/runreport", StartMode::Nothing, "" },
        { "/RunReport \"Weekly by floor\" ignored", StartMode::RunReport, "Weekly by floor" },
        { "/runreport  Weekly", StartMode::RunReport, "" }, // two blanks: empty token 2
        { "/unknown", StartMode::Advanced, "" },
    };
    for (const Row &r : rows) {
        QString name = QStringLiteral("unset");
        EXPECT_EQ(ParseCommandLine(QString::fromLatin1(r.line), &name), r.mode) << r.line;
        if (r.mode == StartMode::RunReport) {
            EXPECT_EQ(name, QString::fromLatin1(r.name)) << r.line;
        }
    }
    // The arguments a process receives, joined again, come apart as they were.
    QString name;
    EXPECT_EQ(ParseCommandLine(JoinedCommandLine({ "kv6reprt", "/runreport", "Some name" }), &name),
        StartMode::RunReport);
    EXPECT_EQ(name, QStringLiteral("Some name"));
}

#include "app/branding.h"
#include "base/langstrings.h"
#include "base/paths.h"

#include "testscopes.h"

#include <QFileInfo>

namespace {
struct Recorder : StartupTargets
{
    QStringList calls;
    bool languageLoadedDuringHandOver = false;
    void ShowSimple() override { record(QStringLiteral("simple")); }
    void ShowAdvanced() override { record(QStringLiteral("advanced")); }
    void EmailScheduledReport(const QString &name) override
    {
        record(QStringLiteral("run:") + name);
    }
    void record(const QString &c)
    {
        calls.append(c);
        languageLoadedDuringHandOver = LanguageLoaded();
    }
};
} // namespace

TEST(Startup, MainPreparesFoldersAndHandsOver)
{
    kv6test::TempEnv env;
    kv6test::ShippedLanguage language(false);
    Recorder r;
    Main(QStringLiteral("/runreport \"Floor 2 weekly\""), r);
    EXPECT_EQ(r.calls, QStringList { QStringLiteral("run:Floor 2 weekly") });
    EXPECT_TRUE(r.languageLoadedDuringHandOver);
    EXPECT_FALSE(LanguageLoaded()) << "released after the hand-over";

    const QString docs = env.path(QStringLiteral("Documents/Korvane Inc/Korvane/6.0/Reporter/"));
    EXPECT_EQ(Startup().UserReportsFolder, docs + QStringLiteral("Reports"));
    EXPECT_EQ(Startup().GroupsFolder, docs + QStringLiteral("Groups"));
    EXPECT_EQ(Startup().ScheduleCopiesFolder,
        env.path(QStringLiteral("local/Korvane Inc/Korvane/6.0/Reporter/Reports")));
    for (const QString &f :
        { Startup().UserReportsFolder, Startup().GroupsFolder, Startup().ScheduleCopiesFolder })
        EXPECT_TRUE(QFileInfo(f).isDir()) << f.toStdString();
    EXPECT_EQ(Startup().DefinitionsFolder, ProgramFolder() + QStringLiteral("/reports"));
    EXPECT_TRUE(Startup().ApplicationHelpFile.endsWith(QStringLiteral("/help/kv6reprt.chm")));
    EXPECT_FALSE(Startup().ReportLogoPicture.isNull());
    EXPECT_FALSE(Startup().InterfaceFont.family().isEmpty());
    EXPECT_FALSE(GetLangString(1401).isEmpty()) << "the next read loads the tables again";
}
