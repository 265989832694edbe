#include "app/startup.h"
#include "base/startupvalues.h"

#include <gtest/gtest.h>

using namespace kv6;

namespace {
const QString Q = QStringLiteral("\"");
QStringList split(const QString &s)
{
    return SplitQuoted(s, QStringLiteral(" "), Q, Q);
}
} // namespace

TEST(SplitQuoted, QuotedTokenKeepsBlanksAndLosesQuotes)
{
    EXPECT_EQ(split(QStringLiteral("/runreport \"Monthly volumes\" extra")),
        (QStringList { QStringLiteral("/runreport"), QStringLiteral("Monthly volumes"),
            QStringLiteral("extra") }));
}

TEST(SplitQuoted, BlankOrEmptyTextGivesNullResult)
{
    EXPECT_TRUE(split(QString()).isEmpty());
    EXPECT_TRUE(split(QStringLiteral("    ")).isEmpty());
}

TEST(SplitQuoted, TwoDelimitersInARowStoreAnEmptyToken)
{
    EXPECT_EQ(split(QStringLiteral("/runreport  name")),
        (QStringList { QStringLiteral("/runreport"), QString(), QStringLiteral("name") }));
}

TEST(SplitQuoted, WithoutQuoteCharacterQuotesAreOrdinary)
{
    EXPECT_EQ(SplitQuoted(QStringLiteral("a,\"b,c\""), QStringLiteral(",")),
        (QStringList { QStringLiteral("a"), QStringLiteral("\"b"), QStringLiteral("c\"") }));
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
}

TEST(CommandLine, JoinedArgumentsRoundTripThroughTheSplit)
{
    const QString line = JoinedCommandLine(
        { QStringLiteral("kv6reprt"), QStringLiteral("/runreport"), QStringLiteral("Some name") });
    QString name;
    EXPECT_EQ(ParseCommandLine(line, &name), StartMode::RunReport);
    EXPECT_EQ(name, QStringLiteral("Some name"));
}

#include "app/branding.h"
#include "base/langstrings.h"
#include "base/paths.h"

#include "testenv.h"

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
    SetLanguageFolderForTesting(kv6test::sourceDir() + QStringLiteral("/data/lang"));
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
    SetLanguageFolderForTesting(QString());
}
