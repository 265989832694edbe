#pragma once

// The library's process-wide state: the product name shown in its windows, and where the
// configured connection is found.
//
// The configured data source is, in this order: the KV6_DATABASE environment variable (a
// connection URL, see datasource.h), the connection stored in the registry store, or the
// default SQLite file.

#include "dataaccess/datasource.h"

#include <QString>

#include <optional>

class QWidget;

namespace kv6 {

class DataConnection;

class DataAccessGlobal
{
public:
    static QString ProductName();
    static void setProductName(const QString &name);
    // Lets the user choose the data source and stores it in the registry store. True when a
    // source was stored; the connection, when given, then points at it (closed, to be opened
    // again by the caller). Started from the connection's own source, else the configured one.
    static bool ShowDataSourceDialog(DataConnection *connection, QWidget *parent = nullptr);
};

DataSource ConfiguredDataSource();
// The source a tool was given (a connection URL), else the configured one. False with the reason
// when the URL, or a KV6_DATABASE that is set, is not a connection URL.
bool ResolveDataSource(const std::optional<QString> &url, DataSource &source, QString &error);

// The library's dialogs take their texts from the program's string table; a program that loads
// none (the tools) gets the English text given here.
QString DialogText(int stringId, const QString &english);

} // namespace kv6
