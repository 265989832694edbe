#pragma once

// Start-up: prepares the process-wide values, reads the command line and hands over to the main
// window or to the unattended run. The hand-over targets live in other libraries, so the
// executable passes them in.

#include <functional>
#include <QFont>
#include <QImage>
#include <QString>
#include <QStringList>

namespace kv6 {

class StartupTargets
{
public:
    virtual ~StartupTargets() = default;
    virtual void ShowSimple() = 0;
    virtual void ShowAdvanced() = 0;
    virtual void EmailScheduledReport(const QString &scheduleName) = 0;
};

// Splits text at the delimiter outside quotes; removes every character of `remove` from each
// token. Returns an empty list (the null result) when the trimmed text is empty. Two delimiters in
// a row give an empty token.
QStringList SplitQuoted(const QString &text, const QString &delimiter, const QString &remove = {},
    const QString &quote = {});

// What the first tokens of the command line ask for.
enum class StartMode { Advanced, Simple, RunReport, Nothing };
StartMode ParseCommandLine(const QString &commandLine, QString *scheduleName);

// The command line as one string, arguments after the program name joined by blanks; arguments
// holding blanks are quoted again, as a Windows command line would carry them.
QString JoinedCommandLine(const QStringList &arguments);

// Sets the per-user folders (creating them) and the definitions folder.
void ResolveFolders();

// Run by Main once the branding exists, before the hand-over: lets libraries that start-up cannot
// depend on (the data-access library takes the product name) take part in it.
QList<std::function<void()>> &StartupHooks();

// The whole start-up sequence; returns when the hand-over returns.
void Main(const QString &commandLine, StartupTargets &targets);

} // namespace kv6
