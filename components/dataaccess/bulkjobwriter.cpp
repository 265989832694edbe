#include "dataaccess/bulkjobwriter.h"

#include "dataaccess/dataconnection.h"
#include "driverhandle_p.h"

#include <charconv>
#include <libpq-fe.h>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <sqlite3.h>
#include <string>

namespace kv6 {

namespace {

const char *const jobColumns = "job_id, company_id, user_id, printer_id, job_time, computer, "
                               "document_name, pages, color_pages, copies, duplex, paper_size, "
                               "size_bytes, job_status, job_cost";

class SqliteJobWriter final : public BulkJobWriter
{
public:
    SqliteJobWriter(sqlite3 *db, QString where)
        : m_db(db)
        , m_where(std::move(where))
    { }
    ~SqliteJobWriter() override { sqlite3_finalize(m_stmt); }

    DataResult prepare()
    {
        const std::string sql = std::string("INSERT INTO print_jobs (") + jobColumns
            + ") VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)";
        if (sqlite3_prepare_v2(m_db, sql.c_str(), -1, &m_stmt, nullptr) != SQLITE_OK)
            return failure();
        return std::nullopt;
    }

    DataResult add(const BulkJob &j) override
    {
        sqlite3_bind_int64(m_stmt, 1, j.jobId);
        sqlite3_bind_int(m_stmt, 2, j.companyId);
        sqlite3_bind_int(m_stmt, 3, j.userId);
        sqlite3_bind_int(m_stmt, 4, j.printerId);
        bindText(5, j.time);
        bindText(6, j.computer);
        bindText(7, j.document);
        sqlite3_bind_int(m_stmt, 8, j.pages);
        sqlite3_bind_int(m_stmt, 9, j.colorPages);
        sqlite3_bind_int(m_stmt, 10, j.copies);
        sqlite3_bind_int(m_stmt, 11, j.duplex ? 1 : 0);
        bindText(12, j.paper);
        if (j.sizeBytes < 0)
            sqlite3_bind_null(m_stmt, 13);
        else
            sqlite3_bind_int64(m_stmt, 13, j.sizeBytes);
        sqlite3_bind_int(m_stmt, 14, j.status);
        if (j.cost < 0)
            sqlite3_bind_null(m_stmt, 15);
        else
            sqlite3_bind_double(m_stmt, 15, double(j.cost) / 10000.0);
        const int rc = sqlite3_step(m_stmt);
        sqlite3_reset(m_stmt);
        if (rc != SQLITE_DONE)
            return failure();
        return std::nullopt;
    }

    DataResult finish() override { return std::nullopt; }

private:
    void bindText(int index, std::string_view text)
    {
        if (text.empty())
            sqlite3_bind_null(m_stmt, index);
        else
            sqlite3_bind_text(m_stmt, index, text.data(), int(text.size()), SQLITE_STATIC);
    }

    DataResult failure() const
    {
        return DataError(dataErrQuery,
            QStringLiteral("Cannot write print jobs to %1: %2")
                .arg(m_where, QString::fromUtf8(sqlite3_errmsg(m_db))));
    }

    sqlite3 *m_db;
    QString m_where;
    sqlite3_stmt *m_stmt = nullptr;
};

class PostgresJobWriter final : public BulkJobWriter
{
public:
    PostgresJobWriter(PGconn *conn, QString where)
        : m_conn(conn)
        , m_where(std::move(where))
    {
        m_buffer.reserve(flushSize + 4096);
    }
    ~PostgresJobWriter() override
    {
        // Abandoned half way: end the copy with an error so the connection stays usable and the
        // caller's rollback discards the rows.
        if (m_copying)
            endCopy("abandoned");
    }

    DataResult start()
    {
        const std::string sql = std::string("COPY print_jobs (") + jobColumns + ") FROM STDIN";
        PGresult *r = PQexec(m_conn, sql.c_str());
        const bool ok = PQresultStatus(r) == PGRES_COPY_IN;
        PQclear(r);
        if (!ok)
            return failure();
        m_copying = true;
        return std::nullopt;
    }

    DataResult add(const BulkJob &j) override
    {
        number(j.jobId);
        number(j.companyId);
        number(j.userId);
        number(j.printerId);
        text(j.time);
        text(j.computer);
        text(j.document);
        number(j.pages);
        number(j.colorPages);
        number(j.copies);
        m_buffer += j.duplex ? "t\t" : "f\t";
        text(j.paper);
        if (j.sizeBytes < 0)
            m_buffer += "\\N\t";
        else
            number(j.sizeBytes);
        number(j.status);
        if (j.cost < 0) {
            m_buffer += "\\N";
        } else {
            char digits[32];
            const int n = std::snprintf(digits, sizeof digits, "%lld.%04lld",
                static_cast<long long>(j.cost / 10000), static_cast<long long>(j.cost % 10000));
            m_buffer.append(digits, size_t(n));
        }
        m_buffer += '\n';
        if (m_buffer.size() >= flushSize)
            return flush();
        return std::nullopt;
    }

    DataResult finish() override
    {
        if (DataResult e = flush())
            return e;
        return endCopy(nullptr);
    }

private:
    static constexpr size_t flushSize = 1 << 20;

    template<typename T>
    void number(T value)
    {
        char digits[24];
        const auto r = std::to_chars(digits, digits + sizeof digits, value);
        m_buffer.append(digits, r.ptr);
        m_buffer += '\t';
    }

    void text(std::string_view value)
    {
        if (value.empty()) {
            m_buffer += "\\N\t";
            return;
        }
        for (const char c : value) {
            switch (c) {
            case '\\':
                m_buffer += "\\\\";
                break;
            case '\t':
                m_buffer += "\\t";
                break;
            case '\n':
                m_buffer += "\\n";
                break;
            case '\r':
                m_buffer += "\\r";
                break;
            default:
                m_buffer += c;
            }
        }
        m_buffer += '\t';
    }

    DataResult flush()
    {
        if (m_buffer.empty())
            return std::nullopt;
        if (PQputCopyData(m_conn, m_buffer.data(), int(m_buffer.size())) != 1)
            return failure();
        m_buffer.clear();
        return std::nullopt;
    }

    DataResult endCopy(const char *error)
    {
        m_copying = false;
        if (PQputCopyEnd(m_conn, error) != 1)
            return failure();
        DataResult result;
        while (PGresult *r = PQgetResult(m_conn)) {
            if (PQresultStatus(r) != PGRES_COMMAND_OK && !result)
                result = DataError(dataErrQuery,
                    QStringLiteral("Cannot write print jobs to %1: %2")
                        .arg(m_where, QString::fromUtf8(PQresultErrorMessage(r)).trimmed()));
            PQclear(r);
        }
        return result;
    }

    DataResult failure() const
    {
        return DataError(dataErrQuery,
            QStringLiteral("Cannot write print jobs to %1: %2")
                .arg(m_where, QString::fromUtf8(PQerrorMessage(m_conn)).trimmed()));
    }

    PGconn *m_conn;
    QString m_where;
    std::string m_buffer;
    bool m_copying = false;
};

} // namespace

std::unique_ptr<BulkJobWriter> BulkJobWriter::create(DataConnection &connection, DataResult &error)
{
    error.reset();
    const QSqlDatabase db = connection.database();
    const QString where = connection.Source().description();
    if (connection.Source().isSQLite()) {
        sqlite3 *handle = driverHandle<sqlite3>(db, "sqlite3*", "sqlite3*");
        if (!handle) {
            error = DataError(dataErrNotOpen, QStringLiteral("%1 is not open.").arg(where));
            return nullptr;
        }
        auto writer = std::make_unique<SqliteJobWriter>(handle, where);
        if ((error = writer->prepare()))
            return nullptr;
        return writer;
    }
    PGconn *handle = driverHandle<PGconn>(db, "PGconn*", "pg_conn*");
    if (!handle) {
        error = DataError(dataErrNotOpen, QStringLiteral("%1 is not open.").arg(where));
        return nullptr;
    }
    auto writer = std::make_unique<PostgresJobWriter>(handle, where);
    if ((error = writer->start()))
        return nullptr;
    return writer;
}

DataResult PrintJobIndexes(DataConnection &connection, QList<IndexDefinition> &indexes)
{
    indexes.clear();
    QSqlQuery q(connection.database());
    const bool ok = connection.Source().isSQLite()
        ? q.exec(QStringLiteral("SELECT name, sql FROM sqlite_master WHERE type = 'index' "
                                "AND tbl_name = 'print_jobs' AND sql IS NOT NULL ORDER BY name"))
        : q.exec(QStringLiteral(
            "SELECT i.relname, pg_get_indexdef(i.oid) FROM pg_index x "
            "JOIN pg_class i ON i.oid = x.indexrelid JOIN pg_class t ON t.oid = x.indrelid "
            "JOIN pg_namespace n ON n.oid = t.relnamespace WHERE t.relname = 'print_jobs' "
            "AND n.nspname = current_schema() AND NOT x.indisprimary ORDER BY i.relname"));
    if (!ok)
        return DataError(dataErrQuery,
            QStringLiteral("Cannot read the indexes of %1: %2")
                .arg(connection.Source().description(), q.lastError().text().trimmed()));
    // A partitioned table's index reads "ON ONLY print_jobs": made again so, it would cover no
    // partition and stay invalid.
    while (q.next())
        indexes.append({ q.value(0).toString(),
            q.value(1).toString().replace(QLatin1String(" ON ONLY "), QLatin1String(" ON ")) });
    return std::nullopt;
}

DataResult SyncIdentityCounters(DataConnection &connection)
{
    if (connection.Source().isSQLite())
        return std::nullopt;
    static const char *const tables[][2]
        = { { "companies", "company_id" }, { "printers", "printer_id" }, { "users", "user_id" },
              { "print_jobs", "job_id" }, { "admin_groups", "group_id" } };
    for (const auto &t : tables) {
        const QString sql = QStringLiteral("SELECT setval(pg_get_serial_sequence('%1', '%2'), "
                                           "COALESCE((SELECT MAX(%2) FROM %1), 0) + 1, false)")
                                .arg(QLatin1String(t[0]), QLatin1String(t[1]));
        if (DataResult e = connection.Execute(sql))
            return e;
    }
    return std::nullopt;
}

} // namespace kv6
