#pragma once

// The staged command-line tools run as processes, the way shell scripts and cron run them.

#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QStringList>

#include <string>

namespace kv6test {

struct ToolRun
{
    int exitCode = -1; // -1 when the tool crashed or did not finish
    QString out;
    QString err;
};

// Runs bin/<tool> of the staged layout with `input` on its standard input; a tool that does not
// finish in time fails the test. A file-size limit (bytes, through prlimit) makes every write past
// it fail as a full disk does.
ToolRun runStagedTool(const QString &tool, const QStringList &args, int timeoutMs = 120000,
    const QByteArray &input = {}, qint64 fileSizeLimit = 0);
// The same in two halves, for tests that act on the system while the tool runs: start it, then
// wait for it and collect its outputs.
void startStagedTool(QProcess &process, const QString &tool, const QStringList &args,
    const QByteArray &input = {}, qint64 fileSizeLimit = 0);
ToolRun finishTool(QProcess &process, int timeoutMs = 120000);
// Starts this test program again running only the tests `filter` names, with `environment` added
// to its own: one test playing several processes at once. finishTool() collects it.
void startThisTest(
    QProcess &process, const QString &filter, const QList<QPair<QString, QString>> &environment);
// The exit code and both outputs, for failure messages.
std::string show(const ToolRun &run);

// Runs a program and returns its standard output; `ok` is false when it could not run or
// failed.
QString runTool(const QString &program, const QStringList &args, bool *ok = nullptr);
// The text of a PDF, or of its page `page` (from 1), as pdftotext reads it (layout kept, so
// columns stay apart).
QString pdfText(const QString &pdf, bool *ok = nullptr, int page = 0);

} // namespace kv6test
