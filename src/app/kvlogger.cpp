#include "app/kvlogger.h"

#include "base/paths.h"

#include <QDateTime>
#include <QFileInfo>
#include <QLocale>

namespace kv6 {

KVLogger::~KVLogger()
{
    StopLogging();
}

QStringList KVLogger::BaseFolders()
{
    return { SpecialFolderPath(CSIDL_COMMON_APPDATA), SpecialFolderPath(CSIDL_LOCAL_APPDATA),
        SpecialFolderPath(CSIDL_PERSONAL), TempFolder() };
}

QString KVLogger::LogFolderUnder(const QString &base)
{
    return base + QStringLiteral("/Korvane Inc./Korvane/6.0/Logs");
}

bool KVLogger::StartLogging(const QString &fileName)
{
    if (!fileName.isEmpty())
        m_fileName = fileName;
    StopLogging();
    for (const QString &base : BaseFolders()) {
        if (base.isEmpty())
            continue;
        const QString folder = LogFolderUnder(base);
        if (!EnsureFolder(folder))
            continue;
        auto file = std::make_unique<QFile>(folder + QLatin1Char('/') + m_fileName);
        if (!QFileInfo(folder).isDir() || !file->open(QIODevice::WriteOnly | QIODevice::Append))
            continue;
        m_file = std::move(file);
        m_logPath = folder;
        break;
    }
    return isOpen();
}

void KVLogger::WriteToLog(const QString &text, bool withTimestamp, qint16 level)
{
    if (level > m_debugLevel)
        return;
    bool openedHere = false;
    if (!isOpen())
        openedHere = StartLogging(m_fileName);
    if (isOpen()) {
        QString line;
        if (withTimestamp) {
            // English month names: the log is read by support staff, whatever the user's locale.
            line = QLocale::c().toString(
                       QDateTime::currentDateTime(), QStringLiteral("MMM dd, yyyy HH:mm:ss"))
                + QLatin1Char('\t');
        }
        line += text + QStringLiteral("\r\n");
        m_file->write(line.toUtf8());
        m_file->flush();
    }
    if (openedHere)
        StopLogging();
}

void KVLogger::StopLogging()
{
    if (!m_file)
        return;
    m_file->close();
    m_file.reset();
    const QFileInfo info(LogFile());
    if (info.exists() && info.size() == 0)
        QFile::remove(LogFile());
}

} // namespace kv6
