#pragma once

// Writes print jobs in bulk on each engine's fastest path: on SQLite one prepared statement
// stepped through the sqlite3 API, on PostgreSQL COPY through libpq, both on the connection's own
// handle. The caller owns the transaction and calls finish() before it commits.

#include "dataaccess/dataerror.h"

#include <memory>
#include <QList>
#include <QString>
#include <string_view>

namespace kv6 {

class DataConnection;

struct BulkJob
{
    qint64 jobId = 0;
    int companyId = 0;
    int userId = 0;
    int printerId = 0;
    std::string_view time; // "yyyy-MM-dd HH:mm:ss", local office time
    std::string_view computer;
    std::string_view document;
    std::string_view paper;
    int pages = 0;
    int colorPages = 0;
    int copies = 1;
    bool duplex = false;
    qint64 sizeBytes = -1; // below 0: Null
    int status = 0;
    qint64 cost = -1; // ten-thousandths of a currency unit; below 0: Null
};

class BulkJobWriter
{
public:
    virtual ~BulkJobWriter() = default;
    virtual DataResult add(const BulkJob &job) = 0;
    // Sends what is buffered and ends the load; the rows count as written only after this.
    virtual DataResult finish() = 0;

    // A writer on the connection's engine; nothing and `error` set when it cannot start.
    static std::unique_ptr<BulkJobWriter> create(DataConnection &connection, DataResult &error);
};

// An index of print_jobs as the database itself defines it.
struct IndexDefinition
{
    QString name;
    QString sql;
};

// The secondary indexes of print_jobs, so a load into an empty table can drop them and build each
// once afterwards, which is several times faster than keeping them up to date row by row.
DataResult PrintJobIndexes(DataConnection &connection, QList<IndexDefinition> &indexes);

// On PostgreSQL, moves each table's identity counter past the ids that bulk writers set
// themselves, so later inserts that leave the id to the database do not collide. No-op on SQLite.
DataResult SyncIdentityCounters(DataConnection &connection);

} // namespace kv6
