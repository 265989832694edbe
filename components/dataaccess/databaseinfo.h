#pragma once

// What "kv6data info" shows about a database: where it is, its engine and schema, how much it
// holds and which days its jobs span.

#include "dataaccess/dataerror.h"

#include <QString>

namespace kv6 {

class DataConnection;

struct DatabaseInfo
{
    QString description; // as DataConnection::Description()
    QString engine; // "SQLite 3.40.1", "PostgreSQL 15.4"
    int schemaVersion = 0;
    qint64 fileSize = -1; // SQLite only
    qint64 companies = 0;
    qint64 printers = 0; // printers only
    qint64 devices = 0; // copiers, multifunction devices and other non-printers
    qint64 users = 0;
    qint64 groups = 0;
    qint64 memberships = 0;
    qint64 jobs = 0;
    qint64 pages = 0;
    qint64 colorPages = 0;
    QString firstJob; // "yyyy-MM-dd HH:mm:ss"; "" without jobs
    QString lastJob;
};

DataResult ReadDatabaseInfo(DataConnection &connection, DatabaseInfo &info);

} // namespace kv6
