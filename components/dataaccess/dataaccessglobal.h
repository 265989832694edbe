#pragma once

// The library's process-wide state: the product name shown in its windows, and where the
// configured connection is found.
//
// The configured data source is, in this order: the KV6_DATABASE environment variable (a
// connection URL, see datasource.h), the connection stored in the registry store, or the
// default SQLite file.

#include "dataaccess/datasource.h"

#include <QString>

class QWidget;

namespace kv6 {

class DataConnection;

class DataAccessGlobal
{
public:
    static QString ProductName();
    static void setProductName(const QString &name);
};

DataSource ConfiguredDataSource();

} // namespace kv6
