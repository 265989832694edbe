#include "app/startup.h"

#include "app/paths.h"

namespace kv6 {

QString UserReportsFolder;
QString GroupsFolder;
QString ScheduleCopiesFolder;
QString DefinitionsFolder;
QString ApplicationHelpFile;
QImage ReportLogoPicture;
QFont InterfaceFont;

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

void Main(const QString &commandLine, StartupTargets &targets)
{
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
}

} // namespace kv6
