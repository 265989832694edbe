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

DataSource ConfiguredDataSource()
{
    const QString url = qEnvironmentVariable("KV6_DATABASE");
    DataSource source;
    QString error;
    if (!url.isEmpty() && DataSource::fromUrl(url, source, error))
        return source;
    if (ReadStoredDataSource(source, error))
        return source;
    return DefaultDataSource();
}

} // namespace kv6
