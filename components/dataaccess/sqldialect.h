#pragma once

// What differs between the two engines, behind one interface: opening, DDL spelling, how a
// result's column types are found, and the few statements that cannot be written portably.
// Everything else (the operations, the schema, the SQL of the lists) is shared.

#include "dataaccess/dataerror.h"
#include "dataaccess/datasource.h"
#include "recordset/recordset.h"

#include <memory>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QSqlRecord>
#include <string>
#include <string_view>
#include <vector>

namespace kv6 {

struct RowFolding;

RecordsetPtr ReadRecordset(QSqlQuery &query, const QList<int> &declaredTypes);

class SqlDialect
{
public:
    virtual ~SqlDialect() = default;

    virtual int type() const = 0;
    virtual QString driverName() const = 0;
    // Opens db (already added with driverName()) for the source. No write may happen here.
    virtual DataResult open(QSqlDatabase &db, const DataSource &source, bool readOnly) = 0;
    // True when the table exists in the connection's schema.
    virtual bool hasTable(QSqlDatabase &db, const QString &table) = 0;
    // True when the database holds no tables at all (a fresh file or schema).
    virtual bool isEmpty(QSqlDatabase &db) = 0;
    // How the engine spells each DDL token; ddl() and boolLiteral() read only this table.
    struct DdlSpelling
    {
        const char *bigId; // %BIGID%
        const char *id; // %ID%
        const char *boolean; // %BOOL%
        const char *timestamp; // %TS%
        const char *money; // %MONEY%
        const char *blob; // %BLOB%
        const char *trueValue; // %TRUE%
        const char *falseValue; // %FALSE%
    };
    virtual const DdlSpelling &spelling() const = 0;
    // Replaces the DDL tokens %ID% %BIGID% %BOOL% %TS% %MONEY% %BLOB% %TRUE% %FALSE%.
    QString ddl(QString statement) const;
    // The ADO type of each result column as far as the engine declares it; 0 where it does not
    // (an expression on SQLite). Called after exec, before the first row is fetched.
    virtual QList<int> declaredTypes(QSqlQuery &query) = 0;
    // Reads every row of an executed query into an open record set (see ReadRecordset). When
    // the rows stop on an error (an I/O error, a run-time error in a later row) it is null and
    // `error` says why: a report must not be built from the part that came. `folding` may read
    // consecutive rows as one (see RowFolding).
    virtual RecordsetPtr read(
        QSqlQuery &query, QString &error, const RowFolding *folding = nullptr);
    // Runs a query with its parameters and reads its rows through the engine's own client
    // where the dialect can. NotRun leaves the query to the Qt driver's path; Failed says why in
    // `error`, in the words that path would use.
    enum class Run { NotRun, Read, Failed };
    virtual Run run(QSqlDatabase &db, const QString &sql, const QVariantList &params,
        RecordsetPtr &records, QString &error);
    // Sets a setting of the connection's session, which SQL reads as current_setting(name, true)
    // on both engines (Null while never set); false with the reason in `error`.
    virtual bool setSetting(
        QSqlDatabase &db, const QString &name, const QString &value, QString &error)
        = 0;
    // A deep check for Verify: true when the storage is sound; otherwise the reason.
    virtual bool checkIntegrity(QSqlDatabase &db, QString &reason) = 0;
    // A literal for bulk statements.
    QString boolLiteral(bool value) const;

    static std::unique_ptr<SqlDialect> create(int databaseType);
};

// Shared by both dialects: maps declared-type text (lower case) to an ADO type code, 0 when the
// column has no declared type.
int AdoTypeFromDeclared(const QString &declared);
// Converts a raw engine value to the value form of its ADO type.
QVariant ConvertToAdo(const QVariant &raw, int adoType);
// Reads the rows of an executed query into a new, open record set with the cursor on the first
// row. Column types become ADO type codes by one rule on both engines:
//   - a declared type (a table column; on SQLite sqlite3_column_decltype, on PostgreSQL the
//     result's type oid) maps by that type: BOOLEAN -> adBoolean; INTEGER, SMALLINT ->
//     adInteger, widened to adBigInt when a value does not fit 32 bits; BIGINT -> adBigInt;
//     REAL, DOUBLE, FLOAT -> adDouble; NUMERIC, DECIMAL, MONEY -> adCurrency; DATE, TIME,
//     TIMESTAMP, DATETIME -> adDBTimeStamp; BLOB, BYTEA -> adLongVarBinary; text -> adVarWChar;
//   - an undeclared column (type 0: SUM, COUNT, date(...) on SQLite) maps by its values: all
//     integers -> adInteger (adBigInt when one does not fit), any real -> adDouble, texts that
//     are all "yyyy-MM-dd" or "yyyy-MM-dd HH:mm:ss" -> adDBTimeStamp, other texts and all Null
//     -> adVarWChar.
// Values: adInteger int, adBigInt qlonglong, adDouble double, adCurrency double rounded to four
// decimals, adBoolean bool, adDBTimeStamp QDateTime (local time), adVarWChar QString,
// adLongVarBinary QByteArray; a Null is an invalid QVariant. Text fields get the longest value
// (at least 255) as defined size.
RecordsetPtr ReadRecordset(QSqlQuery &query, const QList<int> &declaredTypes);

// What a column's values say about its type by the rule above, gathered as they are read.
struct ValueTally
{
    bool anyInt = false, anyReal = false, anyText = false, allStamps = true, wide = false;
    void integer(qint64 n);
    void real() { anyReal = true; }
    void text(const QChar *c, qsizetype n);
    // An engine value in the form Qt's drivers give it.
    void note(const QVariant &raw);
    // The column's type given its declared type (0 when none).
    int type(int declared) const;
};
// The open record set of columns already converted to their types, cursor on the first row.
RecordsetPtr MakeRecordset(
    const QSqlRecord &record, const QList<int> &types, std::vector<ValueColumn> values, int rows);

// Numbers a column's distinct texts by their bytes so that each is converted only once: query
// results repeat a few texts (names, keys, days) over many rows. A column whose texts are
// mostly distinct stops looking them up. Rows ordered by another column look a text up on
// nearly every row, so the look-up is an open-addressed table over one buffer of bytes.
class ByteKeys
{
public:
    // The number given to these bytes, or -1 when they are new; new bytes must then get their
    // number from add() before the next find().
    qint64 find(std::string_view bytes)
    {
        ++m_looked;
        if (m_last >= 0 && bytes == last())
            return m_last;
        if (!m_sharing || m_slots.empty())
            return -1;
        const size_t hash = std::hash<std::string_view>()(bytes);
        for (size_t i = hash & m_mask;; i = (i + 1) & m_mask) {
            const Slot &slot = m_slots[i];
            if (slot.number < 0)
                return -1;
            if (slot.hash == hash && key(slot.number) == bytes)
                return m_last = slot.number;
        }
    }
    // Whether these are the bytes last found or added, without counting a look-up.
    bool isLast(std::string_view bytes) const { return m_last >= 0 && bytes == last(); }
    // Numbers are given in order from 0.
    void add(std::string_view bytes, qint64 number);
    // False once the column was judged mostly distinct: only the last bytes are recognised.
    bool sharing() const { return m_sharing; }

private:
    struct Slot
    {
        size_t hash = 0;
        qint64 number = -1;
    };
    std::string_view key(qint64 number) const
    {
        const size_t from = m_ends[size_t(number)], to = m_ends[size_t(number) + 1];
        return std::string_view(m_bytes).substr(from, to - from);
    }
    std::string_view last() const
    {
        return m_sharing ? key(m_last) : std::string_view(m_lastBytes);
    }
    void place(size_t hash, qint64 number);

    // While sharing: every number's bytes one after another, where each ends, and the table.
    std::string m_bytes;
    std::vector<size_t> m_ends { 0 };
    std::vector<Slot> m_slots;
    size_t m_mask = 0;
    // Once not sharing: the last bytes only.
    std::string m_lastBytes;
    qint64 m_last = -1;
    size_t m_looked = 0;
    bool m_sharing = true;
};

} // namespace kv6
