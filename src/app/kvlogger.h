#pragma once

// Appends timestamped lines to a named log in the first usable of four base folders, opening it
// on demand and removing a log that stayed empty.

#include <memory>
#include <QFile>
#include <QString>

namespace kv6 {

class KVLogger
{
public:
    KVLogger() = default;
    ~KVLogger();
    KVLogger(const KVLogger &) = delete;
    KVLogger &operator=(const KVLogger &) = delete;

    QString LogFile() const { return m_logPath + QLatin1Char('/') + m_fileName; }
    QString FileName() const { return m_fileName; }
    void setFileName(const QString &name) { m_fileName = name.trimmed(); }
    qint16 DebugLevel() const { return m_debugLevel; }
    void setDebugLevel(qint16 level) { m_debugLevel = level; }
    QString LogPath() const { return m_logPath; }
    bool isOpen() const { return m_file != nullptr; }

    bool StartLogging(const QString &fileName);
    void WriteToLog(const QString &text, bool withTimestamp, qint16 level);
    void StopLogging();

    // The base folders tried, in order (empty ones are skipped).
    static QStringList BaseFolders();
    static QString LogFolderUnder(const QString &base);

private:
    std::unique_ptr<QFile> m_file;
    qint16 m_debugLevel = 0;
    QString m_logPath;
    QString m_fileName;
};

} // namespace kv6
