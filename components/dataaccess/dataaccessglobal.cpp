#include "dataaccess/dataaccessglobal.h"

#include "base/langstrings.h"
#include "dataaccess/dataconnection.h"
#include "dataaccess/datasourcedialog.h"

namespace kv6 {

namespace {
QString &productName()
{
    static QString name = QStringLiteral("Korvane 6");
    return name;
}
} // namespace

QString DataAccessGlobal::ProductName()
{
    return productName();
}

void DataAccessGlobal::setProductName(const QString &name)
{
    productName() = name;
}

bool DataAccessGlobal::ShowDataSourceDialog(DataConnection *connection, QWidget *parent)
{
    DataSourceDialog dialog(connection ? connection->Source() : ConfiguredDataSource(), parent);
    if (dialog.exec() != QDialog::Accepted)
        return false;
    if (connection)
        connection->SetSource(dialog.storedSource());
    return true;
}

QString DialogText(int stringId, const QString &english)
{
    const QString text = GetLangString(stringId);
    return text.isEmpty() ? english : text;
}

namespace {
DataSource storedOrDefault()
{
    DataSource source;
    QString error;
    return ReadStoredDataSource(source, error) ? source : DefaultDataSource();
}
} // namespace

bool ResolveDataSource(const std::optional<QString> &url, DataSource &source, QString &error)
{
    if (url)
        return DataSource::fromUrl(*url, source, error);
    const QString env = qEnvironmentVariable("KV6_DATABASE");
    if (env.isEmpty()) {
        source = storedOrDefault();
        return true;
    }
    if (DataSource::fromUrl(env, source, error))
        return true;
    error = QStringLiteral("KV6_DATABASE: ") + error;
    return false;
}

DataSource ConfiguredDataSource()
{
    DataSource source;
    QString error;
    // The window reports no start-up error for a bad variable; it goes on as if it were unset.
    return ResolveDataSource(std::nullopt, source, error) ? source : storedOrDefault();
}

} // namespace kv6
