#include "schedule/scheduledrun.h"

#include "app/fonts.h"
#include "app/kvlogger.h"
#include "base/clsregistry.h"
#include "base/dialogs.h"
#include "base/paths.h"
#include "base/windowstate.h"
#include "dataaccess/dataconnection.h"
#include "dataaccess/datasettings.h"
#include "groups/analysis.h"
#include "mail/mail.h"
#include "proposal/proposal.h"
#include "proposal/proposalrender.h"
#include "render/pdfpatch.h"
#include "render/reportoutput.h"
#include "report/report.h"

#include <QFile>

namespace kv6 {

namespace {

// The number a failed conversion to PDF is logged with (the classic file-access error).
constexpr int errPdfFile = 75;

DataResult failure(int number, const QString &description)
{
    return DataError(number, description);
}

// The hidden host of one unattended run: everything it holds lives for that run only.
class frmEmailReport
{
public:
    bool EmailScheduledReport(const QString &name);

private:
    QString readText(const char *value);
    DataResult loadCopy();
    DataResult openDatabase();
    DataResult restoreGroups();
    DataResult buildReport();
    DataResult buildProposal();
    const clsSimpleGroups &simpleUserGroups() const;
    const clsSimpleGroups &simplePrinterGroups() const;
    DataResult exportAndMail();

    QString m_name;
    bool m_printCover = true;
    KVLogger m_log;
    clsRegistry m_key;
    qint32 m_companyId = -1;
    bool m_proposal = false;
    QFont m_reportFont;
    std::unique_ptr<clsReport> m_report;
    std::unique_ptr<clsProposal> m_proposalCopy;
    std::unique_ptr<DataConnection> m_connection;
    SuiteSettings m_settings;
    std::unique_ptr<clsAnalysis> m_analysis;
    engine::PreviewDocument m_display;
};

QVariant readValue(clsRegistry &key, const char *value, const QVariant &fallback)
{
    QString err;
    return key.GetValueOrDefault(QLatin1String(value), fallback, err);
}

QString frmEmailReport::readText(const char *value)
{
    return readValue(m_key, value, QString()).toString();
}

DataResult frmEmailReport::loadCopy()
{
    const QString path = readText("ReportPath");
    QString message;
    if (m_proposal) {
        m_proposalCopy = std::make_unique<clsProposal>();
        if (m_proposalCopy->LoadUserDefined(m_companyId, path, message))
            return {};
    } else {
        m_report = std::make_unique<clsReport>();
        if (m_report->LoadUserDefined(m_companyId, path, message))
            return {};
    }
    return failure(0, QStringLiteral("Unable to load the report or proposal. Error: ") + message);
}

DataResult frmEmailReport::openDatabase()
{
    QVariant version;
    if (DataResult e = OpenDataConnection(true, version, m_connection))
        return e;
    m_connection->Disconnect();
    // Reports only read: the run holds the database read-only from here on.
    m_connection->SetOption(true);
    if (DataResult e = m_connection->Connect(true))
        return e;
    m_log.WriteToLog(QStringLiteral("Database: ") + m_connection->Description(), true, 0);
    if (DataResult e = m_connection->Verify(VerifySchema | VerifyStorage))
        return e;
    return DataSettings::GetSuiteSettings(*m_connection, m_settings);
}

DataResult frmEmailReport::restoreGroups()
{
    m_analysis = std::make_unique<clsAnalysis>();
    m_analysis->setShowProgress(false);
    if (readValue(m_key, "SimpleMode", 0).toInt() == 0)
        return m_analysis->InitializeFromGroupFile(*m_connection, readText("GroupPath"));
    if (DataResult e = m_analysis->InitializeDefault(*m_connection, m_companyId))
        return e;
    QString error;
    if (!m_analysis->ApplyGroupsFromDatabase(
            *m_connection, simpleUserGroups(), simplePrinterGroups(), &error))
        return failure(
            0, QStringLiteral("Failed to apply groups to the database. Error: ") + error);
    return {};
}

DataResult frmEmailReport::buildReport()
{
    if (DataResult e = m_report->BuildReportDataSet(m_analysis.get(), *m_connection))
        return e;
    const RecordsetPtr data = m_report->ReportData();
    if (!data || data->RecordCount() < 1)
        return failure(0, QStringLiteral("Could not build the report, no data available."));
    RenderOptions options;
    options.printCover = m_printCover;
    options.reportFont = m_reportFont;
    options.databaseDescription = m_connection->Description();
    HeadlessRenderHost host(options);
    host.ReportBegin(*m_report);
    QString error;
    const bool rendered = host.render(m_display, &error);
    host.ReportEnd();
    if (!rendered)
        return failure(0, QStringLiteral("Could not lay out the report: ") + error);
    return {};
}

const clsSimpleGroups &frmEmailReport::simpleUserGroups() const
{
    return m_proposalCopy ? m_proposalCopy->SimpleUserGroups() : m_report->SimpleUserGroups();
}

const clsSimpleGroups &frmEmailReport::simplePrinterGroups() const
{
    return m_proposalCopy ? m_proposalCopy->SimplePrinterGroups() : m_report->SimplePrinterGroups();
}

DataResult frmEmailReport::buildProposal()
{
    const ProposalOutcome built
        = BuildProposalData(*m_proposalCopy, m_analysis.get(), *m_connection, nullptr);
    if (built.result == ProposalOutcome::NoData)
        return failure(3,
            QStringLiteral("No print jobs returned for %1. Please try increasing your date range "
                           "or changing your filtering.")
                .arg(built.report));
    // The editor refuses a proposal without reports; a copy that lists none is still mailed, as
    // its title page and contents, since there is nobody here to send back to the editor.
    if (built.result != ProposalOutcome::Done && built.result != ProposalOutcome::NoReports)
        return failure(0, built.error);
    RenderOptions options;
    options.printCover = m_printCover;
    options.reportFont = m_reportFont;
    options.renderingProposal = true;
    options.databaseDescription = m_connection->Description();
    HeadlessRenderHost host(options);
    const ProposalOutcome rendered = RenderProposal(*m_proposalCopy, host, host.engines(),
        m_reportFont, nullptr, [this] { return &m_display; });
    if (rendered.result != ProposalOutcome::Done)
        return failure(0, QStringLiteral("Could not lay out the proposal: ") + rendered.error);
    return {};
}

DataResult frmEmailReport::exportAndMail()
{
    // Without a temporary folder the name would be relative and the PDF land wherever cron
    // started the program.
    const QString temp = TempFolder();
    const QString pdf = temp + m_name + QStringLiteral(".pdf");
    QString failed;
    QString error = QStringLiteral("There is no temporary folder.");
    if (temp.isEmpty() || !engine::writePdf(m_display, pdf, &error)
        || !modPDFUtils::PatchPDFFile(pdf, &error)) {
        failed = QStringLiteral("Could not create PDF: %1 - %2").arg(errPdfFile).arg(error);
    } else {
        mail::Mailer mailer;
        mailer.setServerName(m_settings.MailServer());
        mailer.setPort(m_settings.MailPort());
        if (!m_settings.MailUserName().isEmpty()) {
            mailer.setUserName(m_settings.MailUserName());
            mailer.setPassword(m_settings.MailPassword());
        }
        m_log.WriteToLog(QStringLiteral("About to try to send email."), true, 0);
        mail::Message message;
        message.setBody(readText("Mesg"));
        message.setFrom(readText("From"));
        message.setSubject(readText("Subject"));
        if (message.addRecipients(readText("To")) != 1)
            failed = message.errorText();
        else if (message.attachFile(pdf).isEmpty())
            failed = QStringLiteral("Unknown mime type on extension");
        else if (mailer.send(message) != 1)
            failed = mailer.lastError();
    }
    if (!temp.isEmpty())
        QFile::remove(pdf);
    if (!failed.isEmpty())
        return failure(0, failed);
    return {};
}

bool frmEmailReport::EmailScheduledReport(const QString &name)
{
    m_name = name;
    m_printCover = [] {
        clsRegistry reg;
        reg.setClassKey(HKEY_CURRENT_USER);
        reg.setSectionKey(QStringLiteral("Software\\Korvane 6\\Reporter"));
        return readValue(reg, "PrintCover", QStringLiteral("-1")).toInt() != 0;
    }();

    m_log.StartLogging(ScheduleLogFileName);
    m_log.WriteToLog(QString(), true, 0);
    m_log.WriteToLog(QString(63, QLatin1Char('*')), true, 0);
    m_log.WriteToLog(QStringLiteral("Started scheduled report ") + name, true, 0);

    m_key.setClassKey(HKEY_LOCAL_MACHINE);
    m_key.setSectionKey(ScheduleKeyPath(name));
    QString err;
    bool sent = false;
    if (!m_key.KeyExists(err)) {
        m_log.WriteToLog(
            QStringLiteral("Failed to send report. Registry key does not exist."), true, 0);
    } else {
        AddCommonToPath();
        m_companyId = readValue(m_key, "Company", -1).toInt();
        m_proposal = readValue(m_key, "Proposal", 0).toInt() != 0;
        m_reportFont = LoadFont(ReportFontKey, true);

        DataResult e = loadCopy();
        if (!e)
            e = openDatabase();
        if (!e)
            e = restoreGroups();
        if (!e)
            e = m_proposal ? buildProposal() : buildReport();
        if (!e)
            e = exportAndMail();
        if (!e) {
            m_log.WriteToLog(QStringLiteral("Successfully built and sent %1.").arg(name), true, 0);
            sent = true;
        } else {
            // One line per entry: messages made for message boxes may hold line breaks.
            m_log.WriteToLog(
                QStringLiteral("Failed to send report. ") + e->Description().simplified(), true, 0);
        }
    }
    m_report.reset();
    m_proposalCopy.reset();
    m_analysis.reset();
    if (m_connection)
        m_connection->Close();
    m_connection.reset();
    m_log.StopLogging();
    return sent;
}

} // namespace

QStringList ScheduleNames()
{
    clsRegistry reg;
    reg.setClassKey(HKEY_LOCAL_MACHINE);
    reg.setSectionKey(SchedulingKey);
    QStringList names;
    int count = 0;
    QString err;
    reg.EnumerateSections(names, count, err);
    return names;
}

bool EmailScheduledReport(const QString &scheduleName)
{
    WaitCursor wait;
    frmEmailReport form;
    // Nothing may be shown: whatever a lower layer would ask the user goes to the log instead.
    KVLogger messages;
    SilentDialogs silent([&messages](const MessageRequest &m) {
        messages.setFileName(ScheduleLogFileName);
        messages.WriteToLog(m.text, true, 0);
    });
    ScopedDialogProvider quiet(&silent);
    return form.EmailScheduledReport(scheduleName);
}

} // namespace kv6
