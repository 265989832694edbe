#pragma once

// Helpers the engine tests share: running poppler's tools on written PDFs.

#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QString>
#include <QStringList>

namespace kv6test {

// Runs a program and returns its standard output; `ok` is false when it could not run or
// failed.
inline QString runTool(const QString &program, const QStringList &args, bool *ok = nullptr)
{
    QProcess p;
    p.start(program, args);
    const bool started = p.waitForStarted(10000);
    const bool finished = started && p.waitForFinished(60000);
    if (ok)
        *ok = finished && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
    return QString::fromUtf8(p.readAllStandardOutput());
}

// The text of a PDF as pdftotext reads it (layout kept, so columns stay apart).
inline QString pdfText(const QString &pdf, bool *ok = nullptr)
{
    return runTool(
        QStringLiteral("pdftotext"), { QStringLiteral("-layout"), pdf, QStringLiteral("-") }, ok);
}

// With KV6_KEEP_OUTPUT set to a folder, written files are copied there to be looked at.
inline void keepOutput(const QString &path)
{
    const QString dir = qEnvironmentVariable("KV6_KEEP_OUTPUT");
    if (dir.isEmpty())
        return;
    const QString target = dir + u'/' + QFileInfo(path).fileName();
    QFile::remove(target);
    QFile::copy(path, target);
}

} // namespace kv6test
