#include "scheduletest.h"

#include "dataaccess/dataaccessglobal.h"
#include "dataaccess/dataconnection.h"
#include "dataaccess/datasettings.h"
#include "dataaccess/demodata.h"
#include "groups/analysis.h"
#include "proposal/proposal.h"
#include "report/dateselector.h"
#include "report/report.h"
#include "report/reportcatalogue.h"
#include "report/runsettings.h"
#include "schedule/scheduledrun.h"

#include "smtpspool.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>

using namespace kv6;

namespace kv6test {

void ScheduleFixture::SetUp()
{
    source.path = env.path(QStringLiteral("suite.db"));
    source.createIfMissing = true;
    QVariant version;
    std::unique_ptr<DataConnection> c;
    DataResult e = OpenDataConnection(source, true, version, c);
    ASSERT_FALSE(e) << e->Description().toStdString();
    DemoOptions demo;
    demo.jobs = 3000;
    demo.printers = 6;
    demo.users = 20;
    demo.days = 60;
    demo.lastDay = QDate(2026, 6, 30);
    e = GenerateDemoData(*c, demo);
    ASSERT_FALSE(e) << e->Description().toStdString();
    setMailServer(smtpSkipReason().isEmpty() ? smtpHost() : QStringLiteral("127.0.0.1"),
        smtpSkipReason().isEmpty() ? smtpPort() : 1);
    source.createIfMissing = false;
    QString error;
    ASSERT_TRUE(StoreDataSource(source, error)) << error.toStdString();
}

void ScheduleFixture::setMailServer(
    const QString &host, int port, const QString &user, const QString &password)
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

ScheduleCopies ScheduleFixture::writeCopies(const QString &name, const QDate &from, const QDate &to)
{
    ScheduleCopies copies;
    const QString folder = env.path(QStringLiteral("copies/"));
    QDir().mkpath(folder);
    copies.groups = folder + QStringLiteral("grp") + name + QStringLiteral(".sch");
    copies.report = folder + QStringLiteral("rpt") + name + QStringLiteral(".sch");
    ReportCatalogue catalogue;
    CatalogueOptions options;
    options.databaseType = DatabaseTypeSQLite;
    options.reportFailures = false;
    catalogue.Load(options);
    const ReportPtr report = catalogue.Find(QStringLiteral("Top 10 Users List"));
    EXPECT_TRUE(report);
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

QString ScheduleFixture::writeProposalCopy(
    const QString &name, const QDate &from, const QDate &to, const QStringList &titles)
{
    const QString path = env.path(QStringLiteral("copies/prp")) + name + QStringLiteral(".sch");
    ReportCatalogue catalogue;
    CatalogueOptions options;
    options.databaseType = DatabaseTypeSQLite;
    options.reportFailures = false;
    catalogue.Load(options);
    clsProposal proposal;
    proposal.SetName(name);
    proposal.SetTitle(QStringLiteral("Printing in June"));
    proposal.SetDateSelectType(clsDateSelector::CustomRange);
    proposal.SetFromDate(from);
    proposal.SetToDate(to);
    for (const QString &title : titles) {
        const ReportPtr report = catalogue.Find(title);
        EXPECT_TRUE(report) << title.toStdString();
        if (!report)
            continue;
        proposal.PrepareReport(*report, 1);
        proposal.Reports().add(report, report->Name());
    }
    QString error;
    EXPECT_TRUE(proposal.SaveUserDefined(path, error)) << error.toStdString();
    return path;
}

QStringList ScheduleFixture::logTexts() const
{
    QStringList texts;
    static const QRegularExpression stamp(
        QStringLiteral("^[A-Z][a-z]{2} \\d{2}, \\d{4} \\d{2}:\\d{2}:\\d{2}\t"));
    const QString log = QString::fromUtf8(readFile(
        env.path(QStringLiteral("common/Korvane Inc./Korvane/6.0/Logs/")) + ScheduleLogFileName));
    for (const QString &line : log.split(QStringLiteral("\r\n"), Qt::SkipEmptyParts)) {
        const auto m = stamp.match(line);
        EXPECT_TRUE(m.hasMatch()) << line.toStdString();
        texts.append(line.mid(m.capturedLength()));
    }
    return texts;
}

QStringList ScheduleFixture::pdfsLeft() const
{
    return QDir(env.path(QStringLiteral("tmp"))).entryList({ QStringLiteral("*.pdf") });
}

} // namespace kv6test
