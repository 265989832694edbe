#pragma once

// One connection to the print-tracking database, on either engine. Each object owns its own
// uniquely named Qt SQL connection, removed when the object closes.
//
// Life of a connection:
//   Open(openFlag)      connect. openFlag true asks for a reporting session whose statements
//                       are never cut off (PostgreSQL statement_timeout 0; otherwise 5 minutes).
//   Setup(value)        check the stored schema: create it in the default connection's fresh
//                       file, upgrade an older one in a transaction, refuse a newer one; hands
//                       back the schema version in value.
//   Close()             drop the link; Open again reconnects with the same settings.
//   Disconnect(), SetOption(readOnly), Connect(openFlag): reconnect with an option changed;
//                       a read-only connection refuses every write.
// Nothing is written to a database before it has opened cleanly.

#include "dataaccess/dataerror.h"
#include "dataaccess/datasource.h"
#include "recordset/recordset.h"

#include <functional>
#include <memory>
#include <QHash>
#include <QSet>
#include <QSqlDatabase>
#include <QStringList>
#include <QVariant>

namespace kv6 {

class SqlDialect;

// Consecutive rows of a result that hold the same values in the fields of `alike` may cross as
// one: the fields of `sums` added, of `least` and `most` the smaller and the larger, every other
// field the first row's. Given by a caller that combines such rows the same way anyway, so that
// fewer rows cross; an engine may ignore it, and folds two rows only where the values it keeps
// are the ones the caller's combining would come to (whole and real numbers, no Nulls or money).
struct RowFolding
{
    QStringList alike, sums, least, most;
    // Rows whose field (a user's or printer's key) holds one of these keys, ASCII letters folded
    // to lower case, are dropped as they are read, before they could fold: the caller leaves
    // them out. A key beyond ASCII stops the folding instead (only the caller's own look-up
    // matches it as the caller does).
    QHash<QString, QSet<QByteArray>> leftOut;
};

// The session setting a report's SQL reads as current_setting('kv6.report_rows', true):
// 'company' while the caller combines the report's rows alike in its key fields as RowFolding
// describes and leaves no user or printer out nor prices one apart (groups only merge rows that
// are alike further), so that a query may hand over the company's totals for a period in place
// of a row per user and printer; 'printers' the same, but only the rows of one printer may be
// combined (each printer's estimated cost per page applies to its own pages), so only a query
// that keeps every printer's rows apart may hand over their totals; 'filtered' as 'company', but
// with the users and printers that the two settings below list left out (only a query that
// reads them may hand over totals then); anything else (or Null), a row per user and printer.
// Under 'company' a row may also stand for several values of a first-occurrence column's text
// (none of them in another row) and hold their number in the marked field, which then stays.
inline constexpr char ReportRowsSetting[] = "kv6.report_rows";
inline constexpr char ReportRowsCompany[] = "company";
inline constexpr char ReportRowsPrinters[] = "printers";
inline constexpr char ReportRowsFiltered[] = "filtered";
// With 'filtered': the keys of the users (printers) left out, ASCII letters in lower case,
// separated by commas (a key with a comma in it is never one a query makes).
inline constexpr char LeftOutUsersSetting[] = "kv6.left_out_users";
inline constexpr char LeftOutPrintersSetting[] = "kv6.left_out_printers";

// Verify options: 256 checks the schema version, 512 the storage; the main window passes both.
inline constexpr int VerifySchema = 256;
inline constexpr int VerifyStorage = 512;

class DataConnection
{
public:
    // The configured connection (see DataAccessGlobal), or the default SQLite file.
    DataConnection();
    explicit DataConnection(const DataSource &source);
    ~DataConnection();
    DataConnection(const DataConnection &) = delete;
    DataConnection &operator=(const DataConnection &) = delete;

    DataResult Open(bool openFlag);
    DataResult Setup(QVariant &value);
    DataResult Close();
    DataResult Disconnect();
    void SetOption(bool readOnly);
    bool Option() const;
    DataResult Connect(bool openFlag);
    bool IsOpen() const;
    // True once Setup found (or made) the current schema on this source: the condition for
    // every write of the library's own operations.
    bool IsReady() const;

    // Error 10 when the database needs attention (older schema that a read-only connection could
    // not upgrade, newer schema, damaged storage).
    DataResult Verify(int options);

    // "SQLite database <path>, schema version 2" or the PostgreSQL equivalent.
    QString Description() const;
    int DatabaseType() const;
    const DataSource &Source() const;
    // Points the connection somewhere else (the data-source dialog); closes it first.
    void SetSource(const DataSource &source);

    // Runs SQL with positional ? parameters bound in array order. params may be a QVariantList
    // or a null QVariant (no parameters). On success `records` is an open record set holding
    // every row, typed by the rule of ReadRecordset (sqldialect.h); on failure it is null.
    DataResult ReportSQL(const QString &sql, const QVariant &params, RecordsetPtr &records,
        const RowFolding *folding = nullptr);
    // Sets a setting of this connection's session (on both engines as PostgreSQL's set_config
    // with is_local false); a value already set is not sent again.
    DataResult SetSessionSetting(const QString &name, const QString &value);
    // Runs a statement that returns no rows.
    DataResult Execute(
        const QString &sql, const QVariantList &params = {}, int *rowsAffected = nullptr);
    // Runs work inside one transaction: committed when it returns nothing, rolled back otherwise.
    DataResult InTransaction(const std::function<DataResult()> &work);

    // The schema version the database holds; 0 when it holds no print-tracking schema or the
    // connection is not open. Reads only: unlike Setup, it never creates or upgrades.
    int StoredSchemaVersion() const;

    // For the library's own bulk writers (demo data, imports).
    QSqlDatabase database() const;
    SqlDialect &dialect() const;

private:
    // Not open: reconnects when asked and the connection opened before, else error 7.
    DataResult ensureOpen(bool reopen);

    struct Private;
    std::unique_ptr<Private> d;
};

// Creates a connection for the configured data source, opens it with the open flag and, when
// that worked, runs Setup with value. On success `connection` holds it.
DataResult OpenDataConnection(
    bool openFlag, QVariant &value, std::unique_ptr<DataConnection> &connection);
// The same for an explicit source (the tools and tests).
DataResult OpenDataConnection(const DataSource &source, bool openFlag, QVariant &value,
    std::unique_ptr<DataConnection> &connection);

// ReportSQL's parameters as the values bound in order: none, one value, or a list of them.
QVariantList QueryParameterList(const QVariant &params);

} // namespace kv6
