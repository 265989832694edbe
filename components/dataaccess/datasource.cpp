#include "dataaccess/datasource.h"

#include "base/clsregistry.h"
#include "base/paths.h"

#include <QDir>
#include <QUrl>
#include <QUrlQuery>

namespace kv6 {

QString DataSource::toUrl(bool withPassword) const
{
    if (isSQLite())
        return QStringLiteral("sqlite:") + path;
    QUrl url;
    url.setScheme(QStringLiteral("postgresql"));
    url.setHost(host);
    url.setPort(port);
    url.setUserName(user, QUrl::DecodedMode);
    if (withPassword && !password.isEmpty())
        url.setPassword(password, QUrl::DecodedMode);
    url.setPath(QLatin1Char('/') + database, QUrl::DecodedMode);
    if (!schema.isEmpty())
        url.setQuery(QStringLiteral("schema=") + schema);
    // Fully encoded, so any character of a password or name reads back as it was.
    return url.toString(QUrl::FullyEncoded);
}

QString DataSource::description() const
{
    if (isSQLite())
        return QStringLiteral("SQLite database %1").arg(QDir::toNativeSeparators(path));
    QString text = QStringLiteral("PostgreSQL database %1 on %2:%3").arg(database, host).arg(port);
    if (!schema.isEmpty())
        text += QStringLiteral(" (schema %1)").arg(schema);
    return text;
}

bool DataSource::fromUrl(const QString &text, DataSource &source, QString &error)
{
    const QString url = text.trimmed();
    source = DataSource();
    if (url.isEmpty()) {
        error = QStringLiteral("The connection is empty.");
        return false;
    }
    const bool pg = url.startsWith(QLatin1String("postgresql://"), Qt::CaseInsensitive)
        || url.startsWith(QLatin1String("postgres://"), Qt::CaseInsensitive);
    if (!pg) {
        QString path = url;
        if (path.startsWith(QLatin1String("sqlite:"), Qt::CaseInsensitive))
            path = path.mid(7);
        if (path.startsWith(QLatin1String("//")))
            path = path.mid(2);
        if (path.isEmpty() || path.contains(QLatin1String("://"))) {
            error
                = QStringLiteral("\"%1\" is neither a file path nor a postgresql:// URL.").arg(url);
            return false;
        }
        source.type = DatabaseTypeSQLite;
        source.path = QDir::cleanPath(QDir::fromNativeSeparators(path));
        return true;
    }
    const QUrl parsed(url, QUrl::StrictMode);
    if (!parsed.isValid() || parsed.host().isEmpty()) {
        error = QStringLiteral("\"%1\" is not a valid PostgreSQL URL (%2).")
                    .arg(url, parsed.isValid() ? QStringLiteral("no host") : parsed.errorString());
        return false;
    }
    source.type = DatabaseTypePostgreSQL;
    source.host = parsed.host();
    source.port = parsed.port(5432);
    source.user = parsed.userName();
    source.password = parsed.password();
    source.database = parsed.path().mid(1);
    source.schema = QUrlQuery(parsed).queryItemValue(QStringLiteral("schema"));
    if (source.database.isEmpty()) {
        error = QStringLiteral("\"%1\" names no database.").arg(url);
        return false;
    }
    return true;
}

namespace {
const QString connectionValue = QStringLiteral("Connection");

void positionOnKey(clsRegistry &reg)
{
    reg.setClassKey(HKEY_CURRENT_USER);
    reg.setSectionKey(QString::fromLatin1(DataSourceRegistryKey));
}
} // namespace

bool ReadStoredDataSource(DataSource &source, QString &error)
{
    error.clear();
    clsRegistry reg;
    positionOnKey(reg);
    QString ignored;
    if (!reg.KeyExists(ignored))
        return false;
    const QVariant stored = reg.GetValueOrDefault(connectionValue, QVariant(), ignored);
    if (!stored.isValid())
        return false;
    const QString url = stored.typeId() == QMetaType::QByteArray
        ? QString::fromUtf8(stored.toByteArray())
        : stored.toString();
    DataSource parsed;
    if (!DataSource::fromUrl(url, parsed, error)) {
        error = QStringLiteral("The stored connection is not valid: %1").arg(error);
        return false;
    }
    // The default file may be made on first use; any other configured file must exist.
    parsed.createIfMissing = parsed.isSQLite()
        && QDir::cleanPath(parsed.path) == QDir::cleanPath(DefaultDatabasePath());
    source = parsed;
    return true;
}

bool StoreDataSource(const DataSource &source, QString &error)
{
    error.clear();
    clsRegistry reg;
    positionOnKey(reg);
    reg.setValueType(REG_BINARY);
    return reg.SetCreateValue(connectionValue, source.toUrl(true).toUtf8(), false, error);
}

QString DefaultDatabasePath()
{
    return SpecialFolderPath(CSIDL_LOCAL_APPDATA)
        + QStringLiteral("/Korvane Inc/Korvane/6.0/Data/korvane6.db");
}

DataSource DefaultDataSource()
{
    DataSource source;
    source.type = DatabaseTypeSQLite;
    source.path = DefaultDatabasePath();
    source.createIfMissing = true;
    return source;
}

} // namespace kv6
