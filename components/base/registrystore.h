#pragma once

// The settings store behind clsRegistry: one SQLite file per root, keys addressed by
// "\"-separated paths, compared without regard to case but stored as first written. Every write is
// its own transaction, so two processes writing the same file at once lose nothing.

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace kv6 {

struct RegistryRawValue
{
    quint32 type = 0;
    QByteArray data;
};

class RegistryStore
{
public:
    // The store file serving a root: the environment override or the default location.
    static QString filePathForRoot(quint32 root);

    explicit RegistryStore(QString filePath);

    QString filePath() const { return m_path; }

    // Each call returns false and fills `error` with the system text on failure.
    bool keyExists(const QString &key, bool &exists, QString &error) const;
    bool createKey(const QString &key, bool worldReadable, QString &error);
    bool deleteKey(const QString &key, QString &error);
    bool readValue(const QString &key, const QString &name, RegistryRawValue &value, bool &found,
        QString &error) const;
    bool writeValue(
        const QString &key, const QString &name, const RegistryRawValue &value, QString &error);
    bool deleteValue(const QString &key, const QString &name, bool &found, QString &error);
    bool valueNames(const QString &key, QStringList &names, QString &error) const;
    bool subkeyNames(const QString &key, QStringList &names, QString &error) const;

    // Whether this process could write the store (the file, or the folder it would be made in).
    bool writable() const;

    // Key paths without leading, trailing or doubled separators.
    static QString normalizeKey(const QString &key);

private:
    QString m_path;
};

} // namespace kv6
