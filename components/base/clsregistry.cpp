#include "base/clsregistry.h"
#include "vbcore/numbertype.h"

#include "base/registrystore.h"

#include <QRegularExpression>
#include <QtEndian>

#include <cerrno>
#include <cstring>

namespace kv6 {

struct clsRegistry::Private
{
    quint32 valueType = REG_NONE;
    quint32 classKey = 0;
    QString sectionKey;
    QString valueKey;
    QVariant defaultValue;
    QVariant lastWritten;

    RegistryStore store() const { return RegistryStore(RegistryStore::filePathForRoot(classKey)); }
};

namespace {

QString joinStrings(const QByteArray &data)
{
    // Strings (and each string of a multi-string) end in NUL: run them together, then trim.
    QString joined;
    for (const QByteArray &piece : data.split('\0'))
        joined += QString::fromUtf8(piece);
    return joined.trimmed();
}

QString expandEnvironment(const QString &text)
{
    static const QRegularExpression ref(QStringLiteral("%([^%]+)%"));
    QString out;
    qsizetype last = 0;
    auto it = ref.globalMatch(text);
    while (it.hasNext()) {
        const auto m = it.next();
        out += text.mid(last, m.capturedStart() - last);
        const QByteArray name = m.captured(1).toLocal8Bit();
        // Unknown names stay as written, as the system's expansion leaves them.
        out += qEnvironmentVariableIsSet(name.constData()) ? qEnvironmentVariable(name.constData())
                                                           : m.captured(0);
        last = m.capturedEnd();
    }
    return out + text.mid(last);
}

bool isExpandable(const QString &text)
{
    const qsizetype first = text.indexOf(QLatin1Char('%'));
    return first >= 0 && text.indexOf(QLatin1Char('%'), first + 2) >= 0;
}

bool asInt32(const QVariant &v, qint32 &out)
{
    if (!IsWholeNumberType32(v.typeId()))
        return false;
    out = qint32(v.toLongLong());
    return true;
}

} // namespace

clsRegistry::clsRegistry()
    : d(std::make_unique<Private>())
{ }

clsRegistry::~clsRegistry() = default;

bool clsRegistry::CheckSecurity(quint32 desiredAccess) const
{
    const RegistryStore store = d->store();
    QString error;
    bool exists = false;
    const bool canRead = store.keyExists(d->sectionKey, exists, error) && exists;
    if (!canRead)
        return false;
    // Any bit beyond reading asks for the right to change the key.
    const bool wantsWrite = (desiredAccess & ~KEY_READ) != 0 || (desiredAccess & 0x0006) != 0;
    return !wantsWrite || store.writable();
}

bool clsRegistry::KeyExists(QString &errorText) const
{
    errorText.clear();
    bool exists = false;
    QString error;
    if (!d->store().keyExists(d->sectionKey, exists, error)) {
        errorText = error;
        return false;
    }
    if (!exists)
        errorText = QString::fromLocal8Bit(std::strerror(ENOENT));
    return exists;
}

bool clsRegistry::CreateKey(bool setSecurity, QString &errorText)
{
    errorText.clear();
    QString error;
    if (!d->store().createKey(d->sectionKey, setSecurity, error)) {
        errorText = QStringLiteral("Unable to create key: ") + error;
        return false;
    }
    return true;
}

bool clsRegistry::DeleteKey(QString &errorText)
{
    errorText.clear();
    QString error;
    if (!d->store().deleteKey(d->sectionKey, error)) {
        errorText = QStringLiteral("Unable to delete key: ") + error;
        return false;
    }
    return true;
}

bool clsRegistry::DeleteValue(QString &errorText)
{
    errorText.clear();
    QString error;
    bool found = false;
    if (!d->store().deleteValue(d->sectionKey, d->valueKey, found, error)) {
        errorText = error;
        return false;
    }
    if (!found) {
        errorText = QString::fromLocal8Bit(std::strerror(ENOENT));
        return false;
    }
    return true;
}

QVariant clsRegistry::GetValue(QString &errorText)
{
    errorText.clear();
    const QString prefix = QStringLiteral("Error retrieving value: ");
    RegistryRawValue raw;
    bool found = false;
    QString error;
    if (!d->store().readValue(d->sectionKey, d->valueKey, raw, found, error)) {
        errorText = prefix + error;
        return QVariant();
    }
    if (!found) {
        errorText = prefix + QString::fromLocal8Bit(std::strerror(ENOENT));
        return d->defaultValue;
    }
    d->valueType = raw.type;
    switch (raw.type) {
    case REG_SZ:
    case REG_MULTI_SZ:
        return joinStrings(raw.data);
    case REG_EXPAND_SZ:
        return expandEnvironment(joinStrings(raw.data));
    case REG_DWORD:
    case REG_DWORD_BIG_ENDIAN: {
        QByteArray bytes = raw.data.leftJustified(4, '\0', true);
        const qint32 v = raw.type == REG_DWORD ? qFromLittleEndian<qint32>(bytes.constData())
                                               : qFromBigEndian<qint32>(bytes.constData());
        return QVariant(v);
    }
    default:
        return raw.data;
    }
}

QVariant clsRegistry::GetValueOrDefault(
    const QString &valueName, const QVariant &defaultValue, QString &errorText)
{
    d->valueKey = valueName;
    const QVariant v = GetValue(errorText);
    return v.isNull() ? defaultValue : v;
}

bool clsRegistry::SetCreateValue(
    const QString &valueName, const QVariant &value, bool setSecurity, QString &errorText)
{
    d->valueKey = valueName;
    QString ignored;
    if (!KeyExists(ignored) && !CreateKey(setSecurity, errorText))
        return false;
    return SetValue(value, errorText);
}

bool clsRegistry::SetValue(const QVariant &value, QString &errorText)
{
    errorText.clear();
    RegistryRawValue raw;
    switch (d->valueType) {
    case REG_SZ:
    case REG_EXPAND_SZ: {
        const QString text = value.toString();
        raw.type = isExpandable(text) ? REG_EXPAND_SZ : REG_SZ;
        raw.data = text.toUtf8() + '\0';
        break;
    }
    case REG_BINARY:
        if (value.typeId() != QMetaType::QByteArray) {
            errorText = QStringLiteral("Could not set value. Invalid value for set type.");
            return false;
        }
        raw.type = REG_BINARY;
        raw.data = value.toByteArray();
        break;
    case REG_DWORD:
    case REG_DWORD_BIG_ENDIAN: {
        qint32 n = 0;
        if (!asInt32(value, n)) {
            errorText = QStringLiteral("Could not set value. Invalid value for set type.");
            return false;
        }
        raw.type = REG_DWORD; // both are written as a plain machine-order number
        raw.data.resize(4);
        qToLittleEndian<qint32>(n, raw.data.data());
        break;
    }
    default:
        errorText = QStringLiteral("Could not set value. Unknown value type.");
        return false;
    }
    QString error;
    if (!d->store().writeValue(d->sectionKey, d->valueKey, raw, error)) {
        errorText = QStringLiteral("Unable to set value: ") + error;
        return false;
    }
    d->lastWritten = value;
    return true;
}

bool clsRegistry::EnumerateValues(QStringList &names, int &count, QString &errorText)
{
    errorText.clear();
    QString error;
    if (!d->store().valueNames(d->sectionKey, names, error)) {
        errorText = QStringLiteral("Unable to enumerate values: ") + error;
        count = 0;
        return false;
    }
    count = int(names.size());
    return true;
}

bool clsRegistry::EnumerateSections(QStringList &names, int &count, QString &errorText)
{
    errorText.clear();
    QString error;
    if (!d->store().subkeyNames(d->sectionKey, names, error)) {
        errorText = QStringLiteral("Unable to enumerate sections: ") + error;
        count = 0;
        return false;
    }
    count = int(names.size());
    return true;
}

quint32 clsRegistry::ValueType() const
{
    return d->valueType;
}
void clsRegistry::setValueType(quint32 type)
{
    d->valueType = type;
}
quint32 clsRegistry::ClassKey() const
{
    return d->classKey;
}
void clsRegistry::setClassKey(quint32 root)
{
    d->classKey = root;
}
QString clsRegistry::SectionKey() const
{
    return d->sectionKey;
}
void clsRegistry::setSectionKey(const QString &key)
{
    d->sectionKey = key;
}
QString clsRegistry::ValueKey() const
{
    return d->valueKey;
}
void clsRegistry::setValueKey(const QString &name)
{
    d->valueKey = name;
}
QVariant clsRegistry::Default() const
{
    return d->defaultValue;
}
void clsRegistry::setDefault(const QVariant &value)
{
    d->defaultValue = value;
}
QVariant clsRegistry::Value() const
{
    return d->lastWritten;
}

QString GetProductVersion()
{
    clsRegistry reg;
    reg.setClassKey(HKEY_LOCAL_MACHINE);
    reg.setSectionKey(QStringLiteral("Software\\Korvane 6"));
    QString err;
    return reg.GetValueOrDefault(QStringLiteral("ProductVersion"), QString(), err).toString();
}

} // namespace kv6
