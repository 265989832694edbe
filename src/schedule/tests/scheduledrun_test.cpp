// The unattended run against a real demo database and a real SMTP server: what arrives, and the
// exact log line of each way it can fail.

#include "base/clsregistry.h"
#include "base/startupvalues.h"
#include "dataaccess/dataaccessglobal.h"
#include "dataaccess/dataconnection.h"
#include "dataaccess/datasettings.h"
#include "dataaccess/datasource.h"
#include "deftest.h"
#include "groups/analysis.h"
#include "mail/mail.h"
#include "proposal/proposal.h"
#include "report/dateselector.h"
#include "report/report.h"
#include "report/runsettings.h"
#include "schedule/scheduledrun.h"

#include "enginetest.h"
#include "smtpspool.h"
#include "testenv.h"
#include "testscopes.h"

#include <gtest/gtest.h>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QProcess>
#include <QRegularExpression>

using namespace kv6;

namespace {

// Writes the schedule key the way the schedule dialog has the helper write it.
void writeKey(const QString &name, const QList<QPair<QString, QVariant>> &values)
{
    for (const auto &[value, content] : values)
        ASSERT_TRUE(kv6test::storeValue(ScheduleKeyPath(name), value, content,
            content.typeId() == QMetaType::Int ? REG_DWORD : REG_SZ, HKEY_LOCAL_MACHINE));
}

// A demo database configured as the connection the run uses, its mail settings, the shipped
// catalogue, and readers of the run's log.
class ScheduledRun : public ::testing::Test
{
protected:
    struct Copies
    {
        QString groups;
        QString report;
    };

    void SetUp() override
    {
        source.path = env.path(QStringLiteral("suite.db"));
        source.createIfMissing = true;
        std::unique_ptr<DataConnection> c;
        ASSERT_EQ(kv6test::openWithDemo(source, kv6test::demoOptions(3000, 60), c), QString());
        setMailServer(smtp() ? kv6test::smtpHost() : QStringLiteral("127.0.0.1"),
            smtp() ? kv6test::smtpPort() : 1);
        source.createIfMissing = false;
        QString error;
        ASSERT_TRUE(StoreDataSource(source, error)) << error.toStdString();
    }
    // The suite's mail settings in the database.
    void setMailServer(
        const QString &host, int port, const QString &user = {}, const QString &password = {})
    {
        QVariant version;
        std::unique_ptr<DataConnection> c;
        DataResult e = OpenDataConnection(source, true, version, c);
        ASSERT_FALSE(e) << e->Description().toStdString();
        SuiteSettings s;
        DataSettings::GetSuiteSettings(*c, s);
        s.SetMailServer(host);
        s.SetMailPort(port);
        s.SetMailUserName(user);
        s.SetMailPassword(password);
        e = DataSettings::SaveSuiteSettings(*c, s);
        ASSERT_FALSE(e) << e->Description().toStdString();
    }
    // The group copy and a Top 10 Users List copy for company 1 over the dates.
    Copies writeCopies(const QString &name, const QDate &from, const QDate &to)
    {
        Copies copies;
        const QString folder = env.path(QStringLiteral("copies/"));
        QDir().mkpath(folder);
        copies.groups = folder + QStringLiteral("grp") + name + QStringLiteral(".sch");
        copies.report = folder + QStringLiteral("rpt") + name + QStringLiteral(".sch");
        const ReportPtr report = kv6test::catalogueReport(QStringLiteral("Top 10 Users List"));
        if (!report)
            return copies;
        ReportRunSettings run;
        run.companyId = 1;
        run.from = from;
        run.to = to;
        QString error;
        EXPECT_TRUE(ApplyRunSettings(*report, run, error)) << error.toStdString();
        EXPECT_EQ(report->SaveUserDefined(copies.report), QString());
        DataConnection c(source);
        EXPECT_FALSE(c.Open(false));
        clsAnalysis analysis;
        analysis.setShowProgress(false);
        EXPECT_FALSE(analysis.InitializeDefault(c, 1));
        analysis.SaveGroups(copies.groups, &error);
        EXPECT_TRUE(QFile::exists(copies.groups)) << error.toStdString();
        return copies;
    }
    // A proposal copy of the given reports (by default the Top 10 Users List and the Top 10
    // Printers List) for company 1.
    QString writeProposalCopy(const QString &name, const QDate &from, const QDate &to,
        const QStringList &titles
        = { QStringLiteral("Top 10 Users List"), QStringLiteral("Top 10 Printers List") })
    {
        const QString path = env.path(QStringLiteral("copies/prp")) + name + QStringLiteral(".sch");
        clsProposal proposal;
        proposal.SetName(name);
        proposal.SetTitle(QStringLiteral("Printing in June"));
        proposal.SetDateSelectType(clsDateSelector::CustomRange);
        proposal.SetFromDate(from);
        proposal.SetToDate(to);
        for (const QString &title : titles) {
            const ReportPtr report = kv6test::catalogueReport(title);
            if (!report)
                continue;
            proposal.PrepareReport(*report, 1);
            proposal.Reports().add(report, report->Name());
        }
        QString error;
        EXPECT_TRUE(proposal.SaveUserDefined(path, error)) << error.toStdString();
        return path;
    }
    // The run's log lines without their time stamps.
    QStringList logTexts() const
    {
        QStringList texts;
        static const QRegularExpression stamp(
            QStringLiteral("^[A-Z][a-z]{2} \\d{2}, \\d{4} \\d{2}:\\d{2}:\\d{2}\t"));
        const QString log = QString::fromUtf8(
            kv6test::readFile(env.path(QStringLiteral("common/Korvane Inc./Korvane/6.0/Logs/"))
                + ScheduleLogFileName));
        for (const QString &line : log.split(QStringLiteral("\r\n"), Qt::SkipEmptyParts)) {
            const auto m = stamp.match(line);
            EXPECT_TRUE(m.hasMatch()) << line.toStdString();
            texts.append(line.mid(m.capturedLength()));
        }
        return texts;
    }
    // PDF files in the temporary folder.
    QStringList pdfsLeft() const
    {
        return QDir(env.path(QStringLiteral("tmp"))).entryList({ QStringLiteral("*.pdf") });
    }

    // A schedule of the Top 10 Users List for company 1 over the given dates.
    void schedule(const QString &name, const QString &to, QDate from = QDate(2026, 6, 1),
        QDate until = QDate(2026, 6, 30), bool simple = false)
    {
        const Copies copies = writeCopies(name, from, until);
        writeKey(name,
            { { QStringLiteral("From"), QStringLiteral("Finance Reports <%1>").arg(sender) },
                { QStringLiteral("To"), to },
                { QStringLiteral("Subject"), QStringLiteral("Top users: ") + name },
                { QStringLiteral("Mesg"), QStringLiteral("Hello,\nthe figures of June.") },
                { QStringLiteral("GroupPath"), copies.groups },
                { QStringLiteral("ReportPath"), copies.report },
                { QStringLiteral("SimpleMode"), simple ? -1 : 0 }, { QStringLiteral("Company"), 1 },
                { QStringLiteral("Proposal"), 0 } });
    }
    bool smtp() const { return kv6test::smtpSkipReason().isEmpty(); }

    kv6test::TempEnv env;
    kv6test::ShippedLanguage language;
    kv6test::ScopedStartupValue<QString> definitions { &kv6::StartupValues::DefinitionsFolder,
        kv6test::stageDir() + QStringLiteral("/reporter/reports") };
    // The run uses the stored connection, not one an outer environment names.
    kv6test::ScopedEnv database { "KV6_DATABASE", QByteArray() };
    kv6::DataSource source;
    kv6test::UsEnglishLocale locale;
    const QString sender = kv6test::uniqueSender(QStringLiteral("scheduled"));
};

const QString kFailed = QStringLiteral("Failed to send report. ");

TEST_F(ScheduledRun, MissingScheduleKeyWritesExactlyFourLines)
{
    const QStringList missing = { QString(), QString(63, QLatin1Char('*')),
        QStringLiteral("Started scheduled report Some name"),
        QStringLiteral("Failed to send report. Registry key does not exist.") };
    EXPECT_FALSE(EmailScheduledReport(QStringLiteral("Some name")));
    EXPECT_EQ(logTexts(), missing);
    // A second run appends to the same log.
    EmailScheduledReport(QStringLiteral("Some name"));
    EXPECT_EQ(logTexts().size(), 8);
}

// Every way a run fails before or while mailing: its one log line, no PDF left, no mail.
TEST_F(ScheduledRun, EachFailureLogsItsLineAndLeavesNoPdf)
{
    mail::Message badList;
    badList.addRecipients(QStringLiteral("boss@example.com, not an address"));
    struct Case
    {
        const char *name;
        std::function<void()> arrange;
        QString expected; // the whole last line, or its start when `prefix`
        bool prefix;
        QString contains;
    };
    const QString to = QStringLiteral("boss@example.com");
    const QList<Case> cases = {
        { "No rows",
            [&] { schedule(QStringLiteral("No rows"), to, QDate(1990, 1, 1), QDate(1990, 1, 31)); },
            kFailed + QStringLiteral("Could not build the report, no data available."), false, {} },
        { "Copy deleted",
            [&] {
                schedule(QStringLiteral("Copy deleted"), to);
                QFile::remove(env.path(QStringLiteral("copies/rptCopy deleted.sch")));
            },
            kFailed + QStringLiteral("Unable to load the report or proposal. Error: "), true,
            QStringLiteral("could not be opened") },
        { "Bad list",
            [&] {
                schedule(
                    QStringLiteral("Bad list"), QStringLiteral("boss@example.com, not an address"));
            },
            kFailed + badList.errorText(), false, {} },
        { "No temp folder",
            [&] {
                schedule(QStringLiteral("No temp folder"), to);
                kv6test::writeFile(env.path(QStringLiteral("afile")), "x");
                qputenv("TMPDIR", env.path(QStringLiteral("afile/tmp")).toLocal8Bit());
            },
            // The layout already needs temporary files for its pictures.
            kFailed, true, QStringLiteral("file") },
        { "Server down",
            [&] {
                schedule(QStringLiteral("Server down"), to);
                setMailServer(QStringLiteral("127.0.0.1"), 1);
            },
            kFailed, true, QStringLiteral("127.0.0.1:1") },
        { "Database gone",
            [&] {
                schedule(QStringLiteral("Database gone"), to);
                QFile::remove(source.path);
            },
            kFailed, true, source.path },
    };
    const QByteArray tmp = qgetenv("TMPDIR");
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        c.arrange();
        EXPECT_FALSE(EmailScheduledReport(QString::fromLatin1(c.name)));
        qputenv("TMPDIR", tmp);
        const QString last = logTexts().value(logTexts().size() - 1);
        if (c.prefix)
            EXPECT_TRUE(last.startsWith(c.expected)) << last.toStdString();
        else
            EXPECT_EQ(last, c.expected);
        EXPECT_TRUE(last.contains(c.contains)) << last.toStdString();
        EXPECT_EQ(pdfsLeft(), QStringList());
    }
    EXPECT_EQ(kv6test::mailsFrom(sender), QStringList());
}

// A proposal arrives as one PDF, one that lists no report as its title page and contents; one
// without data says which report had none.
TEST_F(ScheduledRun, AScheduledProposalIsMailedAsOnePdf)
{
    if (!smtp())
        GTEST_SKIP() << kv6test::smtpSkipReason().toStdString();
    const Copies copies = writeCopies(QStringLiteral("Board"), {}, {});
    const QDate june(2026, 6, 1);
    QHash<QString, QString> senders;
    for (const auto &[name, from, reports] : { std::tuple { QStringLiteral("Board"), june, true },
             std::tuple { QStringLiteral("Cover"), june, false },
             std::tuple { QStringLiteral("Empty"), QDate(1990, 1, 1), true } }) {
        senders[name] = kv6test::uniqueSender(name.toLower());
        const QDate to = from.addMonths(1).addDays(-1);
        writeKey(name,
            { { QStringLiteral("From"), senders[name] },
                { QStringLiteral("To"), QStringLiteral("b@example.com") },
                { QStringLiteral("Subject"), name }, { QStringLiteral("GroupPath"), copies.groups },
                { QStringLiteral("ReportPath"),
                    reports ? writeProposalCopy(name, from, to)
                            : writeProposalCopy(name, from, to, {}) },
                { QStringLiteral("Company"), 1 }, { QStringLiteral("Proposal"), 1 } });
    }
    EXPECT_FALSE(EmailScheduledReport(QStringLiteral("Empty")));
    EXPECT_TRUE(
        logTexts().constLast().startsWith(kFailed + QStringLiteral("No print jobs returned for ")))
        << logTexts().constLast().toStdString();
    EXPECT_TRUE(logTexts().constLast().endsWith(
        QStringLiteral(". Please try increasing your date range or changing your filtering.")));
    EXPECT_EQ(kv6test::mailsFrom(senders[QStringLiteral("Empty")]), QStringList());

    for (const QString &name : { QStringLiteral("Board"), QStringLiteral("Cover") }) {
        SCOPED_TRACE(name.toStdString());
        EXPECT_TRUE(EmailScheduledReport(name)) << logTexts().constLast().toStdString();
        const QJsonArray att
            = kv6test::receivedFrom(senders[name])[QStringLiteral("attachments")].toArray();
        ASSERT_EQ(att.size(), 1);
        EXPECT_EQ(att[0][QStringLiteral("filename")].toString(), name + QStringLiteral(".pdf"));
        EXPECT_TRUE(QByteArray::fromBase64(att[0][QStringLiteral("data")].toString().toLatin1())
                        .startsWith("%PDF-"));
    }
    EXPECT_EQ(pdfsLeft(), QStringList());
}

// Simple mode and a mail login: the groups come from the database and the login is used, while
// the password never reaches the log.
TEST_F(ScheduledRun, SimpleModeWithLoginSends)
{
    if (!smtp())
        GTEST_SKIP() << kv6test::smtpSkipReason().toStdString();
    setMailServer(kv6test::smtpHost(), kv6test::smtpPort(), qEnvironmentVariable("KV6_SMTP_USER"),
        qEnvironmentVariable("KV6_SMTP_PASSWORD"));
    schedule(QStringLiteral("Simple"), QStringLiteral("boss@example.com"), QDate(2026, 6, 1),
        QDate(2026, 6, 30), true);
    EXPECT_TRUE(EmailScheduledReport(QStringLiteral("Simple")));
    EXPECT_EQ(logTexts().constLast(), QStringLiteral("Successfully built and sent Simple."));
    EXPECT_FALSE(
        logTexts().join(QLatin1Char('\n')).contains(qEnvironmentVariable("KV6_SMTP_PASSWORD")));
    const QJsonObject got = kv6test::receivedFrom(sender);
    EXPECT_EQ(got[QStringLiteral("envelope")][QStringLiteral("login")].toString(),
        qEnvironmentVariable("KV6_SMTP_USER"));
    EXPECT_EQ(pdfsLeft(), QStringList());
}

// The program itself, started as cron starts it: no display, no platform chosen.
TEST_F(ScheduledRun, TheProgramRunsHeadlessAndTheMailArrives)
{
    if (!smtp())
        GTEST_SKIP() << kv6test::smtpSkipReason().toStdString();
    const QString name = QStringLiteral("Top users, June");
    schedule(name, QStringLiteral("boss@example.com, \"Smith, John\" <john@example.com>"));
    const QString program = kv6test::stageDir() + QStringLiteral("/reporter/kv6reprt");
    QProcessEnvironment pe = QProcessEnvironment::systemEnvironment();
    for (const char *v : { "DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM" })
        pe.remove(QString::fromLatin1(v));
    auto run = [&](const QStringList &args) {
        QProcess p;
        p.setProcessEnvironment(pe);
        p.start(program, args);
        EXPECT_TRUE(p.waitForFinished(60000)) << "the run must end by itself";
        EXPECT_EQ(p.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(p.exitCode(), 0) << p.readAllStandardError().toStdString();
    };
    run({ QStringLiteral("/runreport") });
    EXPECT_EQ(logTexts(), QStringList()) << "no name: nothing is run and nothing logged";
    run({ QStringLiteral("/RUNREPORT"), name, QStringLiteral("ignored") });

    const QStringList log = logTexts();
    ASSERT_EQ(log.size(), 6) << log.join(QLatin1Char('\n')).toStdString();
    EXPECT_EQ(log[2], QStringLiteral("Started scheduled report ") + name);
    EXPECT_TRUE(log[3].startsWith(
        QStringLiteral("Database: %1, schema version ").arg(source.description())))
        << log[3].toStdString();
    EXPECT_EQ(log[4], QStringLiteral("About to try to send email."));
    EXPECT_EQ(log[5], QStringLiteral("Successfully built and sent %1.").arg(name));

    // How addresses, login and attachment travel is the mail library's to show; here, that the
    // schedule's values reach the message.
    const QJsonObject got = kv6test::receivedFrom(sender);
    EXPECT_EQ(kv6test::jsonStrings(got[QStringLiteral("envelope")][QStringLiteral("rcpt_tos")]),
        QStringList({ QStringLiteral("boss@example.com"), QStringLiteral("john@example.com") }));
    EXPECT_EQ(
        got[QStringLiteral("from")].toString(), QStringLiteral("Finance Reports <%1>").arg(sender));
    EXPECT_EQ(got[QStringLiteral("subject")].toString(), QStringLiteral("Top users: ") + name);
    EXPECT_EQ(got[QStringLiteral("body")].toString().trimmed(),
        QStringLiteral("Hello,\nthe figures of June."));
    const QJsonArray att = got[QStringLiteral("attachments")].toArray();
    ASSERT_EQ(att.size(), 1);
    EXPECT_EQ(att[0][QStringLiteral("filename")].toString(), name + QStringLiteral(".pdf"));
    const QByteArray pdf
        = QByteArray::fromBase64(att[0][QStringLiteral("data")].toString().toLatin1());
    EXPECT_TRUE(pdf.startsWith("%PDF")) << pdf.left(20).toStdString();
    EXPECT_GT(pdf.size(), 2000);
    EXPECT_EQ(pdfsLeft(), QStringList());
}

} // namespace
