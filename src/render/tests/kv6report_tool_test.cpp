// The staged kv6report command run as a process over a demo history on both engines, the way
// shell scripts and cron use it.

#include "enginetest.h"
#include "testscopes.h"
#include "toolrun.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>

namespace {

using kv6test::show;
using kv6test::ToolRun;

ToolRun kv6report(const QStringList &args)
{
    return kv6test::runStagedTool(QStringLiteral("kv6report"), args);
}

// A proposal file of the reports `definitions` over a period from `from` to 30 June 2026.
QByteArray proposalFile(const QString &from, const QStringList &definitions)
{
    const QStringList lines = QStringLiteral(" 2 |Quarterly||Printing in the Spring|Management|IT|"
                                             "%1|2026-06-30| 11 |-1|-1|0|-1|-1| 2 |-1 |-1 ")
                                  .arg(from)
                                  .split(QLatin1Char('|'));
    return (lines + definitions).join(QStringLiteral("\r\n")).toUtf8() + "\r\n";
}

} // namespace

class Kv6reportTool : public kv6test::DemoEngineTest<20000>
{
protected:
    // A proposal of three reports that all have data in the demo history.
    QString springProposal()
    {
        const QString prp = env.path(QStringLiteral("spring.prp"));
        kv6test::writeFile(prp,
            proposalFile(QStringLiteral("2026-04-01"),
                { QStringLiteral("executive_summary.rpt"), QStringLiteral("top_users.rpt"),
                    QStringLiteral("model_volumes.rpt") }));
        return prp;
    }
};
KV6_ENGINES(Kv6reportTool);

TEST_P(Kv6reportTool, TheTopUsersMatchAnIndependentCount)
{
    const QString out = env.path(QStringLiteral("top.csv"));
    const ToolRun r = kv6report(db()
        + QStringList { QStringLiteral("--report"), QStringLiteral("Top 10 Users List"),
            QStringLiteral("--company"), QStringLiteral("1"), QStringLiteral("--from"),
            QStringLiteral("2026-05-01"), QStringLiteral("--to"), QStringLiteral("2026-05-31"),
            QStringLiteral("--top"), QStringLiteral("7"), QStringLiteral("-o"), out });
    ASSERT_EQ(r.exitCode, 0) << show(r);
    EXPECT_TRUE(r.err.contains(QStringLiteral("7 rows"))) << show(r);

    const QString job = isSQLite() ? QStringLiteral("job_time") : QStringLiteral("job_time::text");
    const QStringList expected = kv6test::queryRows(*connection,
        QStringLiteral("SELECT SUM(pages) AS p FROM print_jobs WHERE company_id = 1 AND %1 >= "
                       "'2026-05-01' AND %1 < '2026-06-01' AND job_status = 0 GROUP BY user_id "
                       "ORDER BY p DESC LIMIT 7")
            .arg(job));
    // The pages are the seventh column; the report's texts hold no commas.
    QStringList got;
    for (const QByteArray &line : kv6test::readFile(out).trimmed().split('\n'))
        got << QString::fromUtf8(line.trimmed()).section(u',', 6, 6);
    EXPECT_EQ(got, expected);
}

TEST_P(Kv6reportTool, MistakesGetTheirOwnExitCodesAndOneLine)
{
    const QString out = env.path(QStringLiteral("x.csv"));
    const QString pdf = env.path(QStringLiteral("x.pdf"));
    const QString prp = springProposal();
    const QString empty = env.path(QStringLiteral("empty.prp"));
    kv6test::writeFile(empty, proposalFile(QStringLiteral("2026-04-01"), {}));
    struct Case
    {
        QStringList args;
        int exit;
        const char *says;
    };
    const QList<Case> cases = {
        { {}, 2, "either --report NAME, --saved FILE or --proposal FILE" },
        { { "--report", "Top 10 Users List" }, 2, "-o OUT" },
        { { "--report", "Top 10 Users List", "-o", "x.doc" }, 2, ".pdf, .csv" },
        { { "--report", "Top 10 Users List", "--from", "2026-01-01", "-o", out }, 2,
            "go together" },
        { { "--report", "Top 10 Users List", "--period", "12", "-o", out }, 2, "--period" },
        { { "--report", "Top 10 Users List", "--top", "0", "-o", out }, 2, "--top" },
        { { "--frobnicate" }, 2, "Unknown option" },
        { { "--report", "No Such Report", "-o", out }, 3, "no report \"No Such Report\"" },
        { { "--saved", env.path(QStringLiteral("missing.rpt")), "-o", out }, 3,
            "could not be opened" },
        { { "--report", "Top 10 Users List", "--from", "1990-01-01", "--to", "1990-01-31", "-o",
              out },
            4, "no data" },
        { { "--proposal", prp, "-o", out }, 2, ".pdf, .htm or .txt" },
        { { "--proposal", prp, "--top", "5", "-o", pdf }, 2, "for single reports" },
        { { "--proposal", prp, "--report", "Model Volumes", "-o", pdf }, 2, "either" },
        { { "--proposal", env.path(QStringLiteral("missing.prp")), "-o", pdf }, 3,
            "could not be opened" },
        { { "--proposal", empty, "-o", pdf }, 3, "at least one report" },
        { { "--proposal", prp, "--from", "1990-01-01", "--to", "1990-01-31", "-o", pdf }, 4,
            "\"Executive Summary\" of the proposal has no data" },
    };
    for (const Case &c : cases) {
        const ToolRun r = kv6report(db() + c.args + QStringList { QStringLiteral("--quiet") });
        EXPECT_EQ(r.exitCode, c.exit) << c.args.join(' ').toStdString() << "\n" << show(r);
        EXPECT_TRUE(r.err.contains(QLatin1String(c.says))) << show(r);
        EXPECT_EQ(r.err.trimmed().count(QLatin1Char('\n')), 0) << "one line: " << show(r);
    }
    EXPECT_FALSE(QFile::exists(out));
    EXPECT_FALSE(QFile::exists(pdf));
    EXPECT_EQ(kv6test::buildLeftovers(), QString());
}

TEST_P(Kv6reportTool, AProposalIsOneDocument)
{
    const QString prp = springProposal();
    const QString pdf = env.path(QStringLiteral("spring.pdf"));
    const ToolRun r = kv6report(
        db() + QStringList { QStringLiteral("--proposal"), prp, QStringLiteral("-o"), pdf });
    ASSERT_EQ(r.exitCode, 0) << show(r);
    EXPECT_TRUE(r.err.contains(QStringLiteral("3/3 Model Volumes"))) << show(r);
    const QStringList pages = kv6test::pdfText(pdf).split(QLatin1Char('\f'));
    ASSERT_GE(pages.size(), 5);
    // The contents, the numbering and the HTML and text forms are the shared proposal render's
    // (proposalrender_test.cpp); the extension picks the format as for single reports.
    EXPECT_TRUE(pages[0].contains(QStringLiteral("Printing in the Spring")));
    EXPECT_EQ(kv6test::buildLeftovers(), QString());
}

TEST_P(Kv6reportTool, TheListShowsEveryCatalogueReport)
{
    const ToolRun r = kv6report(db() + QStringList { QStringLiteral("--list") });
    ASSERT_EQ(r.exitCode, 0) << show(r);
    for (const char *name : { "Executive Summary", "Top 10 Users List", "Average Pages Per Hour",
             "Model Volumes", "Cost by Department" })
        EXPECT_TRUE(r.out.contains(QLatin1String(name))) << name << "\n" << show(r);
    EXPECT_TRUE(r.err.isEmpty()) << show(r);
}

// No password reaches what the tools print or leave behind: every message, progress line and
// file of runs over a password-protected server, failed runs included, is searched for it.
// Without the password in the URL, libpq takes it from the file PGPASSFILE names.
TEST_P(Kv6reportTool, PasswordsStayOutOfMessagesProgressAndFiles)
{
    if (isSQLite())
        GTEST_SKIP() << "SQLite connections carry no password";
    const QString password = source.password;
    const QString wrong = QStringLiteral("Wr0ng-Secret");
    ASSERT_FALSE(password.isEmpty());
    kv6::DataSource bare = source;
    bare.password.clear();
    const QString pgpass = env.path(QStringLiteral("pgpass"));
    kv6test::writeFile(pgpass, QStringLiteral("*:*:*:%1:%2\n").arg(source.user, password).toUtf8());
    QFile::setPermissions(pgpass, QFile::ReadOwner | QFile::WriteOwner);

    QStringList seen;
    auto run = [&](const char *tool, const QStringList &args) {
        const ToolRun r = kv6test::runStagedTool(QString::fromLatin1(tool), args);
        seen << r.out << r.err;
        return r;
    };
    const QStringList report = { QStringLiteral("--report"), QStringLiteral("Top 10 Users List"),
        QStringLiteral("--company"), QStringLiteral("1"), QStringLiteral("--from"),
        QStringLiteral("2026-05-01"), QStringLiteral("--to"), QStringLiteral("2026-05-31"),
        QStringLiteral("--cover"), QStringLiteral("-o"), env.path(QStringLiteral("top.html")) };
    ToolRun r = run("kv6report", db() + report);
    EXPECT_EQ(r.exitCode, 0) << show(r);
    const QStringList bareDb = { QStringLiteral("--db"), bare.toUrl() };
    qputenv("PGPASSFILE", QFile::encodeName(pgpass));
    r = run("kv6report", bareDb + report);
    EXPECT_EQ(r.exitCode, 0) << "the password file lets it in: " << show(r);
    r = run("kv6data", QStringList { QStringLiteral("info") } + bareDb);
    EXPECT_EQ(r.exitCode, 0) << show(r);
    qunsetenv("PGPASSFILE");
    r = run("kv6data", QStringList { QStringLiteral("info") } + bareDb);
    EXPECT_EQ(r.exitCode, 1) << "without the file the server refuses: " << show(r);

    // Connections that fail, each quoted or described in its message.
    kv6::DataSource refused = source;
    refused.port = 1;
    kv6::DataSource mistyped = source;
    mistyped.password = wrong;
    const QString auth = source.user + QLatin1Char(':') + password + QLatin1Char('@');
    for (const QString &url : { refused.toUrl(true), mistyped.toUrl(true),
             QStringLiteral("postgresql://%1127.0.0.1:%2/").arg(auth).arg(source.port),
             QStringLiteral("postgresql://%1no host:5432/db").arg(auth),
             QStringLiteral("mysql://%1db.local/jobs").arg(auth) }) {
        r = run("kv6data", { QStringLiteral("info"), QStringLiteral("--db"), url });
        EXPECT_NE(r.exitCode, 0) << show(r);
        EXPECT_FALSE(r.err.trimmed().isEmpty());
        r = run("kv6report", QStringList { QStringLiteral("--db"), url } + report);
        EXPECT_NE(r.exitCode, 0) << show(r);
        qputenv("KV6_DATABASE", url.toUtf8());
        run("kv6data", { QStringLiteral("info") });
        qunsetenv("KV6_DATABASE");
        kv6::DataSource parsed;
        QString error;
        if (!kv6::DataSource::fromUrl(url, parsed, error))
            seen << error;
    }
    EXPECT_TRUE(seen.join(QString()).contains(QStringLiteral(":***@"))) << "URLs are quoted";

    // Every file the runs left (logs, outputs), but not the store the connection is kept in.
    QDirIterator files(env.root(), QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (files.hasNext()) {
        const QString path = files.next();
        if (path != pgpass && !path.endsWith(QLatin1String(".db")))
            seen << path + QLatin1Char('\n') + kv6test::readText(path);
    }
    for (const QString &text : std::as_const(seen)) {
        EXPECT_FALSE(text.contains(password)) << text.toStdString();
        EXPECT_FALSE(text.contains(wrong)) << text.toStdString();
    }
}

// Input that once ended a tool with an uncaught exception, or that a library could only refuse
// by one, ends with an exit status and a line that says why.
TEST_P(Kv6reportTool, BadInputEndsEveryToolWithAnExitStatusNotAnAbort)
{
    const auto write = [&](const QString &name, const QByteArray &bytes) {
        kv6test::writeFile(env.path(name), bytes);
        return env.path(name);
    };
    // A saved report whose sort names a column the report lacks.
    const QString saved = write(QStringLiteral("bogus.rpt"),
        "3\r\ntop_users.rpt\r\nBogus\r\n\r\n\r\n\r\nBogus "
        "DESC\r\n-1\r\n-1\r\n0\r\n2\r\n\r\n\r\n");
    QByteArray junk;
    for (int i = 0; i < 4096; ++i)
        junk.append(char((i * 7919) % 251));
    const QString junkFile = write(QStringLiteral("junk.bin"), junk);
    const QString recursion = write(
        QStringLiteral("deep.vbs"), "Function F(n)\r\n  F = F(n + 1)\r\nEnd Function\r\nF 1\r\n");
    const QString out = env.path(QStringLiteral("x.csv"));
    struct Case
    {
        QString tool;
        QStringList args;
        int exit;
        const char *says;
    };
    const QList<Case> cases = {
        { "kv6report",
            db()
                + QStringList { "--report", "Top 10 Users List", "--sort", "Bogus DESC", "--period",
                    "0", "-o", out },
            1, "Bogus" },
        { "kv6report",
            db() + QStringList { "--saved", saved, "--period", "0", "--top", "5", "-o", out }, 1,
            "Bogus" },
        { "kv6data", QStringList { "import-cups", junkFile, "--company", "1" } + db(), 0,
            "line skipped" },
        { "kv6script", { junkFile }, 1, "junk.bin:1:" },
        { "kv6script", { recursion }, 1, "error 28" },
        { "kv6script", { "--step-limit", "lots", recursion }, 2, "--step-limit" },
    };
    for (const Case &c : cases) {
        const ToolRun r = kv6test::runStagedTool(c.tool, c.args + QStringList { "--quiet" });
        EXPECT_EQ(r.exitCode, c.exit) << c.args.join(' ').toStdString() << "\n" << show(r);
        EXPECT_TRUE(r.err.contains(QLatin1String(c.says))) << show(r);
    }
    EXPECT_FALSE(QFile::exists(out));
}

// A disk that fills while the report is written (stood in for by a file-size limit): the tool
// says which file, ends with status 1, and the file that was there before is left whole.
TEST_P(Kv6reportTool, AFullDiskNamesTheFileAndKeepsThePreviousOne)
{
    for (const QString &ext : { QStringLiteral("pdf"), QStringLiteral("csv"), QStringLiteral("htm"),
             QStringLiteral("txt") }) {
        const QString out = env.path(QStringLiteral("full.") + ext);
        const QByteArray before = "the report of last month\n";
        kv6test::writeFile(out, before);
        const ToolRun r = kv6test::runStagedTool(QStringLiteral("kv6report"),
            db()
                + QStringList { QStringLiteral("--report"), QStringLiteral("Top 10 Users List"),
                    QStringLiteral("--period"), QStringLiteral("0"), QStringLiteral("--quiet"),
                    QStringLiteral("-o"), out },
            120000, {}, 256);
        EXPECT_EQ(r.exitCode, 1) << ext.toStdString() << "\n" << show(r);
        EXPECT_TRUE(r.err.contains(QStringLiteral("full.") + ext)) << show(r);
        EXPECT_FALSE(r.err.contains(QLatin1String("Unknown error"))) << show(r);
        EXPECT_EQ(kv6test::readFile(out), before) << ext.toStdString();
        EXPECT_EQ(
            QDir(env.path(QString())).entryList({ QStringLiteral("full.") + ext + u'*' }).size(), 1)
            << "no piece of the new file is left beside the old one";
    }
}
