#include "app/startup.h"
#include "base/startupvalues.h"

#include "app/branding.h"
#include "app/fonts.h"
#include "base/dialogs.h"
#include "base/langstrings.h"
#include "base/paths.h"

namespace kv6 {

QStringList SplitQuoted(
    const QString &text, const QString &delimiter, const QString &remove, const QString &quote)
{
    QStringList result;
    const QString trimmed = text.trimmed();
    if (trimmed.isEmpty())
        return result;

    auto store = [&](QString token) {
        for (const QChar c : remove)
            token.remove(c);
        result.append(token.trimmed());
    };

    bool inside = false;
    QString token;
    for (const QChar c : trimmed) {
        const QString ch(c);
        if (!quote.isEmpty() && ch == quote)
            inside = !inside;
        if (ch != delimiter || inside) {
            token += c;
        } else {
            store(token);
            token.clear();
        }
    }
    if (!token.trimmed().isEmpty())
        store(token);
    return result;
}

StartMode ParseCommandLine(const QString &commandLine, QString *scheduleName)
{
    const QString q = QStringLiteral("\"");
    const QStringList tokens = SplitQuoted(commandLine, QStringLiteral(" "), q, q);
    if (tokens.isEmpty())
        return StartMode::Advanced;
    if (tokens.at(0).compare(QLatin1String("/simple"), Qt::CaseInsensitive) == 0)
        return StartMode::Simple;
    if (tokens.at(0).compare(QLatin1String("/runreport"), Qt::CaseInsensitive) == 0) {
        if (tokens.size() < 2)
            return StartMode::Nothing;
        if (scheduleName)
            *scheduleName = tokens.at(1);
        return StartMode::RunReport;
    }
    return StartMode::Advanced;
}

QString JoinedCommandLine(const QStringList &arguments)
{
    QStringList parts;
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString &a = arguments.at(i);
        parts.append(a.contains(QLatin1Char(' ')) || a.isEmpty()
                ? QLatin1Char('"') + a + QLatin1Char('"')
                : a);
    }
    return parts.join(QLatin1Char(' '));
}

void ResolveFolders()
{
    QString documents = SpecialFolderPath(CSIDL_PERSONAL);
    if (!documents.isEmpty() && !documents.endsWith(QLatin1Char('/')))
        documents += QLatin1Char('/');
    // An unresolvable folder leaves relative paths that begin with the company folder name.
    const QString company = QStringLiteral("Korvane Inc/Korvane/6.0/Reporter/");
    SetStartupValue(
        &StartupValues::UserReportsFolder, documents + company + QStringLiteral("Reports"));
    SetStartupValue(&StartupValues::GroupsFolder, documents + company + QStringLiteral("Groups"));
    const QString local = SpecialFolderPath(CSIDL_LOCAL_APPDATA);
    SetStartupValue(&StartupValues::ScheduleCopiesFolder,
        (local.isEmpty() ? QString() : local + QLatin1Char('/')) + company
            + QStringLiteral("Reports"));
    // Failures are not reported here: whoever later reads or writes the folder reports its own.
    EnsureFolder(Startup().ScheduleCopiesFolder);
    EnsureFolder(Startup().GroupsFolder);
    EnsureFolder(Startup().UserReportsFolder);
    SetStartupValue(
        &StartupValues::DefinitionsFolder, ProgramFolder() + QStringLiteral("/reports"));
}

void Main(const QString &commandLine, StartupTargets &targets)
{
    LoadLanguage(QStringLiteral("kv6reprt"));
    ResolveFolders();
    SetStartupValue(
        &StartupValues::ApplicationHelpFile, HelpFilePath(QStringLiteral("kv6reprt.chm")));
    CreateBranding(CommonFolder());
    SetDefaultMessageTitle(Branding().ProductName());
    for (const auto &hook : StartupHooks())
        hook();
    ResetReportBranding();
    SetStartupValue(&StartupValues::InterfaceFont, LoadFont(InterfaceFontKey, false));

    QString scheduleName;
    switch (ParseCommandLine(commandLine, &scheduleName)) {
    case StartMode::Advanced:
        targets.ShowAdvanced();
        break;
    case StartMode::Simple:
        targets.ShowSimple();
        break;
    case StartMode::RunReport:
        targets.EmailScheduledReport(scheduleName);
        break;
    case StartMode::Nothing:
        break;
    }
    // The main window reads its next string after this and so loads the tables again.
    FreeLanguage();
}

QList<std::function<void()>> &StartupHooks()
{
    static QList<std::function<void()>> hooks;
    return hooks;
}

} // namespace kv6
