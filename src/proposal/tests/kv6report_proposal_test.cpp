// kv6report --proposal run as a process over a demo history on both engines, the way cron runs
// it: the document, its exit codes, and nothing left in the temporary folder.

#include "enginetest.h"
#include "testscopes.h"
#include "toolrun.h"

#include <QFile>

namespace {

using kv6test::show;
using kv6test::ToolRun;

QByteArray proposalFile(const QString &from, const QStringList &definitions)
{
    QStringList lines = { QStringLiteral(" 2 "), QStringLiteral("Quarterly"), QString(),
        QStringLiteral("Printing in the Spring"), QStringLiteral("Management"),
        QStringLiteral("IT"), from, QStringLiteral("2026-06-30"), QStringLiteral(" 11 "),
        QStringLiteral("-1"), QStringLiteral("-1"), QStringLiteral("0"), QStringLiteral("-1"),
        QStringLiteral("-1"), QStringLiteral(" 2 "), QStringLiteral("-1 "), QStringLiteral("-1 ") };
    return (lines + definitions).join(QStringLiteral("\r\n")).toUtf8() + "\r\n";
}

} // namespace

class Kv6reportProposal : public kv6test::DemoEngineTest<5000>
{
protected:
    void SetUp() override
    {
        DemoEngineTest::SetUp();
        if (IsSkipped() || HasFatalFailure())
            return;
        kv6test::writeFile(prp,
            proposalFile(QStringLiteral("2026-04-01"),
                { QStringLiteral("executive_summary.rpt"), QStringLiteral("top_users.rpt"),
                    QStringLiteral("model_volumes.rpt") }));
    }
    ToolRun run(const QStringList &args) const
    {
        return kv6test::runStagedTool(QStringLiteral("kv6report"), db() + args);
    }

    QString prp = env.path(QStringLiteral("spring.prp"));
};
KV6_ENGINES(Kv6reportProposal);

TEST_P(Kv6reportProposal, WritesOneNumberedDocumentInEveryFormat)
{
    const QString pdf = env.path(QStringLiteral("spring.pdf"));
    const ToolRun r = run({ QStringLiteral("--proposal"), prp, QStringLiteral("-o"), pdf });
    ASSERT_EQ(r.exitCode, 0) << show(r);
    EXPECT_TRUE(r.err.contains(QStringLiteral("3/3 Model Volumes"))) << show(r);
    const QStringList pages = kv6test::pdfText(pdf).split(QLatin1Char('\f'));
    ASSERT_GE(pages.size(), 5);
    // The contents and the numbering are the shared proposal render's (proposalrender_test.cpp).
    EXPECT_TRUE(pages[0].contains(QStringLiteral("Printing in the Spring")));

    for (const char *ext : { "htm", "txt" }) {
        const QString out = env.path(QStringLiteral("spring.") + QLatin1String(ext));
        const ToolRun w = run({ QStringLiteral("--proposal"), prp, QStringLiteral("--quiet"),
            QStringLiteral("-o"), out });
        ASSERT_EQ(w.exitCode, 0) << show(w);
        const QByteArray bytes = kv6test::readFile(out);
        EXPECT_TRUE(bytes.contains("Printing in the Spring") && bytes.contains("Model Volumes"))
            << ext;
    }
    EXPECT_EQ(kv6test::buildLeftovers(), QString());
}

TEST_P(Kv6reportProposal, MistakesAndEmptyReportsGetTheirExitCodes)
{
    const QString out = env.path(QStringLiteral("x.pdf"));
    const QString gone = env.path(QStringLiteral("gone.prp"));
    kv6test::writeFile(gone,
        proposalFile(QStringLiteral("2026-04-01"),
            { QStringLiteral("top_users.rpt"), QStringLiteral("no_such.rpt") }));
    const QString empty = env.path(QStringLiteral("empty.prp"));
    kv6test::writeFile(empty, proposalFile(QStringLiteral("2026-04-01"), {}));
    struct Case
    {
        QStringList args;
        int exit;
        const char *says;
    };
    const QList<Case> cases = {
        { { "--proposal", prp, "-o", env.path(QStringLiteral("x.csv")) }, 2, ".pdf, .htm or .txt" },
        { { "--proposal", prp, "--top", "5", "-o", out }, 2, "for single reports" },
        { { "--proposal", prp, "--report", "Model Volumes", "-o", out }, 2, "either" },
        { { "--proposal", env.path(QStringLiteral("missing.prp")), "-o", out }, 3,
            "could not be opened" },
        { { "--proposal", gone, "-o", out }, 3, "could not be loaded" },
        { { "--proposal", empty, "-o", out }, 3, "at least one report" },
        { { "--proposal", prp, "--from", "1990-01-01", "--to", "1990-01-31", "-o", out }, 4,
            "\"Executive Summary\" of the proposal has no data" },
    };
    for (const Case &c : cases) {
        const ToolRun r = run(c.args + QStringList { QStringLiteral("--quiet") });
        EXPECT_EQ(r.exitCode, c.exit) << c.args.join(' ').toStdString() << "\n" << show(r);
        EXPECT_TRUE(r.err.contains(QLatin1String(c.says))) << show(r);
    }
    EXPECT_FALSE(QFile::exists(out));
    EXPECT_EQ(kv6test::buildLeftovers(), QString());
}
