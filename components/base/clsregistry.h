#pragma once

// The program's only access to its settings: a registry-like store addressed by root, key path
// and value name. On Linux each root is one SQLite file (see RegistryStore). No operation throws;
// each reports failure through its result and a by-reference error text.

#include <memory>
#include <QString>
#include <QStringList>
#include <QVariant>

namespace kv6 {

inline constexpr quint32 HKEY_CURRENT_USER = 0x80000001;
inline constexpr quint32 HKEY_LOCAL_MACHINE = 0x80000002;

enum RegValueType : quint32 {
    REG_NONE = 0,
    REG_SZ = 1,
    REG_EXPAND_SZ = 2,
    REG_BINARY = 3,
    REG_DWORD = 4,
    REG_DWORD_BIG_ENDIAN = 5,
    REG_MULTI_SZ = 7,
};

// Access masks understood by CheckSecurity.
inline constexpr quint32 KEY_QUERY_VALUE = 0x0001;
inline constexpr quint32 KEY_READ = 0x20019;
inline constexpr quint32 KEY_WRITE = 0x20006;
inline constexpr quint32 KEY_ALL_ACCESS = 0xF003F;

class clsRegistry
{
public:
    clsRegistry();
    ~clsRegistry();
    clsRegistry(const clsRegistry &) = delete;
    clsRegistry &operator=(const clsRegistry &) = delete;

    bool CheckSecurity(quint32 desiredAccess) const;
    bool KeyExists(QString &errorText) const;
    bool CreateKey(bool setSecurity, QString &errorText);
    bool DeleteKey(QString &errorText);
    bool DeleteValue(QString &errorText);
    QVariant GetValue(QString &errorText);
    QVariant GetValueOrDefault(
        const QString &valueName, const QVariant &defaultValue, QString &errorText);
    bool SetCreateValue(
        const QString &valueName, const QVariant &value, bool setSecurity, QString &errorText);
    bool SetValue(const QVariant &value, QString &errorText);
    // Names are returned 0-based in the list; count is the number found.
    bool EnumerateValues(QStringList &names, int &count, QString &errorText);
    bool EnumerateSections(QStringList &names, int &count, QString &errorText);

    quint32 ValueType() const;
    void setValueType(quint32 type);
    quint32 ClassKey() const;
    void setClassKey(quint32 root);
    QString SectionKey() const;
    void setSectionKey(const QString &key);
    QString ValueKey() const;
    void setValueKey(const QString &name);
    QVariant Default() const;
    void setDefault(const QVariant &value);
    // The value the last successful SetValue wrote.
    QVariant Value() const;

private:
    struct Private;
    std::unique_ptr<Private> d;
};

// "ProductVersion" under the machine's "Software\Korvane 6"; "" when absent.
QString GetProductVersion();

} // namespace kv6
