#include "toolrun.h"

#include "testenv.h"

#include <gtest/gtest.h>
#include <QCoreApplication>
#include <QProcess>

namespace kv6test {

void startStagedTool(QProcess &p, const QString &tool, const QStringList &args,
    const QByteArray &input, qint64 fileSizeLimit)
{
    const QString program = stageDir() + QStringLiteral("/bin/") + tool;
    if (fileSizeLimit > 0)
        p.start(QStringLiteral("prlimit"),
            QStringList {
                QStringLiteral("--fsize=%1").arg(fileSizeLimit), QStringLiteral("--"), program }
                + args);
    else
        p.start(program, args);
    p.write(input);
    p.closeWriteChannel();
}

ToolRun finishTool(QProcess &p, int timeoutMs)
{
    ToolRun r;
    if (!p.waitForFinished(timeoutMs)) {
        ADD_FAILURE() << p.program().toStdString() << " " << p.arguments().join(' ').toStdString()
                      << " did not finish";
        p.kill();
        p.waitForFinished();
        return r;
    }
    r.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.out = QString::fromLocal8Bit(p.readAllStandardOutput());
    r.err = QString::fromLocal8Bit(p.readAllStandardError());
    return r;
}

void startThisTest(
    QProcess &p, const QString &filter, const QList<QPair<QString, QString>> &environment)
{
    QProcessEnvironment e = QProcessEnvironment::systemEnvironment();
    for (const auto &[name, value] : environment)
        e.insert(name, value);
    p.setProcessEnvironment(e);
    p.start(
        QCoreApplication::applicationFilePath(), { QStringLiteral("--gtest_filter=") + filter });
}

ToolRun runStagedTool(const QString &tool, const QStringList &args, int timeoutMs,
    const QByteArray &input, qint64 fileSizeLimit)
{
    QProcess p;
    startStagedTool(p, tool, args, input, fileSizeLimit);
    return finishTool(p, timeoutMs);
}

std::string show(const ToolRun &r)
{
    return ("exit " + QString::number(r.exitCode) + "\nstdout: " + r.out + "\nstderr: " + r.err)
        .toStdString();
}

QString runTool(const QString &program, const QStringList &args, bool *ok)
{
    QProcess p;
    p.start(program, args);
    const bool finished = p.waitForStarted(10000) && p.waitForFinished(60000);
    if (ok)
        *ok = finished && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
    return QString::fromUtf8(p.readAllStandardOutput());
}

QString pdfText(const QString &pdf, bool *ok, int page)
{
    QStringList args { QStringLiteral("-layout") };
    if (page > 0)
        args << QStringLiteral("-f") << QString::number(page) << QStringLiteral("-l")
             << QString::number(page);
    return runTool(QStringLiteral("pdftotext"), args << pdf << QStringLiteral("-"), ok);
}

} // namespace kv6test
