#include "dataaccess/dataaccessglobal.h"

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

DataSource ConfiguredDataSource()
{
    const QString url = qEnvironmentVariable("KV6_DATABASE");
    DataSource source;
    QString error;
    if (!url.isEmpty() && DataSource::fromUrl(url, source, error))
        return source;
    return DefaultDataSource();
}

} // namespace kv6
