#include "dataaccess/sqldialect.h"

#include "dataaccess/dataconnection.h"
#include "driverhandle_p.h"
#include "vbcore/asciifold.h"

#include <QFileInfo>
#include <QSqlError>
#include <QSqlRecord>
#include <QSqlResult>
#include <sqlite3.h>

#include <algorithm>
#include <bit>
#include <map>
#include <memory>
#include <string>

namespace kv6 {

namespace {

// The statement under an executed query; null when the result has none.
sqlite3_stmt *statementOf(QSqlQuery &query)
{
    const QVariant handle = query.result() ? query.result()->handle() : QVariant();
    if (!handle.isValid() || qstrcmp(handle.typeName(), "sqlite3_stmt*") != 0)
        return nullptr;
    return *static_cast<sqlite3_stmt *const *>(handle.constData());
}

// One result column as SQLite hands it over, kept compact until the column's type is known:
// building a value per cell through the driver, copying it out and converting it again cost
// more than SQLite's own work on large results.
class RawColumn
{
public:
    void read(sqlite3_stmt *stmt, int c)
    {
        const int kind = sqlite3_column_type(stmt, c);
        m_kinds.push_back(quint8(kind));
        switch (kind) {
        case SQLITE_INTEGER: {
            const qint64 n = sqlite3_column_int64(stmt, c);
            m_tally.integer(n);
            m_bits.push_back(n);
            break;
        }
        case SQLITE_FLOAT:
            m_tally.real();
            m_bits.push_back(std::bit_cast<qint64>(sqlite3_column_double(stmt, c)));
            break;
        case SQLITE_BLOB: {
            const QByteArray bytes(static_cast<const char *>(sqlite3_column_blob(stmt, c)),
                sqlite3_column_bytes(stmt, c));
            m_tally.note(bytes);
            m_bits.push_back(qint64(m_blobs.size()));
            m_blobs.push_back(bytes);
            break;
        }
        case SQLITE_NULL:
            m_bits.push_back(0);
            break;
        default:
            m_bits.push_back(textNumber(stmt, c));
            break;
        }
    }

    // The column's cells in the form of their type; the raw cells are dropped.
    ValueColumn take(int type)
    {
        std::vector<QVariant> texts;
        texts.reserve(m_texts.size());
        for (const QString &t : m_texts)
            texts.push_back(ConvertToAdo(t, type));
        m_texts = {};
        ValueColumn out;
        out.reserve(m_kinds.size());
        for (size_t r = 0; r < m_kinds.size(); ++r) {
            const qint64 bits = m_bits[r];
            switch (m_kinds[r]) {
            case SQLITE_INTEGER:
                if (type == adBigInt)
                    out.emplace_back(qlonglong(bits));
                else if (type == adInteger && bits == qint32(bits))
                    out.emplace_back(int(bits));
                else if (type == adDouble)
                    out.emplace_back(double(bits));
                else
                    out.push_back(ConvertToAdo(qlonglong(bits), type));
                break;
            case SQLITE_FLOAT: {
                const double d = std::bit_cast<double>(bits);
                if (type == adDouble)
                    out.emplace_back(d);
                else
                    out.push_back(ConvertToAdo(d, type));
                break;
            }
            case SQLITE_BLOB:
                out.push_back(ConvertToAdo(m_blobs[size_t(bits)], type));
                break;
            case SQLITE_NULL:
                out.emplace_back();
                break;
            default:
                out.push_back(texts[size_t(bits)]);
                break;
            }
        }
        *this = {};
        return out;
    }

    const ValueTally &tally() const { return m_tally; }

    // Folding the statement's row into the last one read (RowFolding).
    enum class Fold { Sum, Least, Most };
    // Whether the cell holds the last row's value, texts by their bytes.
    bool sameAsLast(sqlite3_stmt *stmt, int c)
    {
        const int kind = sqlite3_column_type(stmt, c);
        if (kind != m_kinds.back())
            return false;
        switch (kind) {
        case SQLITE_INTEGER:
            return sqlite3_column_int64(stmt, c) == m_bits.back();
        case SQLITE_FLOAT:
            return std::bit_cast<qint64>(sqlite3_column_double(stmt, c)) == m_bits.back();
        case SQLITE_NULL:
        case SQLITE_BLOB:
            return false;
        default:
            // The column's last text is the one its numbers found or added last.
            return m_numbers.isLast(
                std::string_view(reinterpret_cast<const char *>(sqlite3_column_text(stmt, c)),
                    size_t(sqlite3_column_bytes(stmt, c))));
        }
    }
    // Whether the cell folds into the last row's: numbers of one kind, and a sum of whole
    // numbers that stays within the width the column has anyway (a wider sum would change the
    // column's type, where the caller's sum changes only that value's).
    bool canFold(sqlite3_stmt *stmt, int c, Fold how) const
    {
        const int kind = sqlite3_column_type(stmt, c);
        if (kind != m_kinds.back() || (kind != SQLITE_INTEGER && kind != SQLITE_FLOAT))
            return false;
        if (kind == SQLITE_FLOAT || how != Fold::Sum)
            return true;
        const qint64 a = m_bits.back(), b = sqlite3_column_int64(stmt, c);
        const auto narrow = [](qint64 n) { return n == qint32(n); };
        qint64 sum = 0;
        if (__builtin_add_overflow(a, b, &sum))
            return false;
        return narrow(sum) || !narrow(a) || !narrow(b);
    }
    void fold(sqlite3_stmt *stmt, int c, Fold how)
    {
        qint64 &bits = m_bits.back();
        if (m_kinds.back() == SQLITE_FLOAT) {
            const double a = std::bit_cast<double>(bits), b = sqlite3_column_double(stmt, c);
            const double v = how == Fold::Sum ? a + b
                : how == Fold::Least          ? std::min(a, b)
                                              : std::max(a, b);
            bits = std::bit_cast<qint64>(v);
            return;
        }
        const qint64 b = sqlite3_column_int64(stmt, c);
        bits = how == Fold::Sum  ? bits + b
            : how == Fold::Least ? std::min(bits, b)
                                 : std::max(bits, b);
        m_tally.integer(bits);
    }
    // A cell of a folded row that is not kept still says what type its column is, until a
    // text that is not a time stamp has settled it.
    void tallyOnly(sqlite3_stmt *stmt, int c)
    {
        if (m_tally.anyText && !m_tally.allStamps)
            return;
        switch (sqlite3_column_type(stmt, c)) {
        case SQLITE_INTEGER:
            m_tally.integer(sqlite3_column_int64(stmt, c));
            break;
        case SQLITE_FLOAT:
            m_tally.real();
            break;
        case SQLITE_BLOB:
            m_tally.note(QByteArray(static_cast<const char *>(sqlite3_column_blob(stmt, c)),
                sqlite3_column_bytes(stmt, c)));
            break;
        case SQLITE_NULL:
            break;
        default:
            textNumber(stmt, c);
            break;
        }
    }

private:
    // Each distinct text is kept and converted once, found again by SQLite's own UTF-8 bytes.
    qint64 textNumber(sqlite3_stmt *stmt, int c)
    {
        const std::string_view bytes(reinterpret_cast<const char *>(sqlite3_column_text(stmt, c)),
            size_t(sqlite3_column_bytes(stmt, c)));
        if (const qint64 known = m_numbers.find(bytes); known >= 0)
            return known;
        // Numbered before the UTF-16 form is asked for, which may replace these bytes.
        const qint64 number = qint64(m_texts.size());
        m_numbers.add(bytes, number);
        // As UTF-16, the form the driver reads, so texts arrive exactly as through it.
        const auto *text = static_cast<const QChar *>(sqlite3_column_text16(stmt, c));
        const qsizetype length = sqlite3_column_bytes16(stmt, c) / 2;
        m_tally.text(text, length);
        m_texts.emplace_back(text, length);
        return number;
    }

    std::vector<quint8> m_kinds;
    // The integer, the double's bits, or the number of the text or blob.
    std::vector<qint64> m_bits;
    std::vector<QString> m_texts;
    std::vector<QByteArray> m_blobs;
    ByteKeys m_numbers;
    ValueTally m_tally;
};

// A RowFolding resolved against a result's columns. Sums, least and most fold only over columns
// that come out as whole or real numbers: money is rounded value by value before it is added,
// and Booleans and times are not added at all.
class Folding
{
public:
    Folding(const QSqlRecord &record, const QList<int> &declared, const RowFolding *folding)
    {
        if (!folding)
            return;
        for (const QString &name : folding->alike) {
            const int c = record.indexOf(name);
            if (c >= 0)
                m_alike.push_back(c);
        }
        const auto add = [&](const QStringList &names, RawColumn::Fold how) {
            for (const QString &name : names) {
                const int c = record.indexOf(name);
                if (c < 0)
                    continue;
                const int type = declared.value(c);
                if (type != 0 && type != adInteger && type != adBigInt && type != adDouble)
                    return false;
                m_folded.push_back({ c, how });
            }
            return true;
        };
        m_on = add(folding->sums, RawColumn::Fold::Sum)
            && add(folding->least, RawColumn::Fold::Least)
            && add(folding->most, RawColumn::Fold::Most);
        // A column that must stay alike and also adds up would make a value no row had.
        for (const auto &f : m_folded)
            m_on = m_on && std::find(m_alike.begin(), m_alike.end(), f.column) == m_alike.end();
        // A declared type other than INTEGER is the column's whatever its values.
        m_kept.assign(size_t(record.count()), false);
        for (int c = 0; c < record.count(); ++c)
            m_kept[size_t(c)] = declared.value(c) != 0 && declared.value(c) != adInteger;
        for (const int c : m_alike)
            m_kept[size_t(c)] = true;
        for (const auto &f : m_folded)
            m_kept[size_t(f.column)] = true;
    }

    // No row folds from here on.
    void stop() { m_on = false; }

    // Folds the statement's row into the last one read when it may.
    bool intoLast(sqlite3_stmt *stmt, std::vector<RawColumn> &raw)
    {
        if (!m_on)
            return false;
        // Rows that seldom fold (ordered by another column) stop being compared.
        if (++m_tried == 8192 && m_folds < m_tried / 16)
            m_on = false;
        for (const int c : m_alike)
            if (!raw[size_t(c)].sameAsLast(stmt, c))
                return false;
        for (const auto &f : m_folded)
            if (!raw[size_t(f.column)].canFold(stmt, f.column, f.how))
                return false;
        ++m_folds;
        for (const auto &f : m_folded)
            raw[size_t(f.column)].fold(stmt, f.column, f.how);
        for (size_t c = 0; c < m_kept.size(); ++c)
            if (!m_kept[c])
                raw[c].tallyOnly(stmt, int(c));
        return true;
    }

private:
    struct Folded
    {
        int column;
        RawColumn::Fold how;
    };
    std::vector<int> m_alike;
    std::vector<Folded> m_folded;
    // Columns whose cells a folded row drops without a look: kept, or typed by declaration.
    std::vector<bool> m_kept;
    int m_tried = 0, m_folds = 0;
    bool m_on = false;
};

// The rows of users and printers the caller leaves out (RowFolding::leftOut), found by their key
// columns so that they are dropped before they could fold into a row that stays.
class LeftOut
{
public:
    LeftOut(const QSqlRecord &record, const RowFolding *folding)
    {
        if (!folding)
            return;
        for (auto it = folding->leftOut.cbegin(); it != folding->leftOut.cend(); ++it) {
            const int c = record.indexOf(it.key());
            if (c >= 0 && !it.value().isEmpty())
                m_columns.push_back({ c, &it.value() });
        }
    }
    bool any() const { return !m_columns.empty(); }

    // Whether the statement's row is one to drop. `unsure` when a key is beyond ASCII.
    bool drops(sqlite3_stmt *stmt, bool &unsure)
    {
        for (const Column &col : m_columns) {
            if (sqlite3_column_type(stmt, col.column) != SQLITE_TEXT)
                continue;
            const auto *text = sqlite3_column_text(stmt, col.column);
            const int n = sqlite3_column_bytes(stmt, col.column);
            m_folded.resize(n);
            for (int i = 0; i < n; ++i) {
                if (text[i] >= 0x80) {
                    unsure = true;
                    return false;
                }
                m_folded[i] = char(FoldAscii(char16_t(text[i])));
            }
            if (col.keys->contains(m_folded))
                return true;
        }
        return false;
    }

private:
    struct Column
    {
        int column;
        const QSet<QByteArray> *keys;
    };
    std::vector<Column> m_columns;
    QByteArray m_folded;
};

// A session's settings, as PostgreSQL keeps them for current_setting(): shared by the dialect
// that sets them and the function of the connection it opened, so that either may go first.
using SessionSettings = std::map<std::string, std::string, std::less<>>;

void currentSetting(sqlite3_context *context, int, sqlite3_value **args)
{
    const auto &settings
        = *static_cast<std::shared_ptr<SessionSettings> *>(sqlite3_user_data(context));
    const char *name = reinterpret_cast<const char *>(sqlite3_value_text(args[0]));
    const auto found = name ? settings->find(std::string_view(name)) : settings->end();
    if (found == settings->end()) {
        // PostgreSQL's missing_ok: Null for a setting never made, an error otherwise.
        if (sqlite3_value_int(args[1]) == 0)
            sqlite3_result_error(context, "unrecognized configuration parameter", -1);
        else
            sqlite3_result_null(context);
        return;
    }
    sqlite3_result_text(context, found->second.data(), int(found->second.size()), SQLITE_TRANSIENT);
}

class SqliteDialect final : public SqlDialect
{
public:
    int type() const override { return DatabaseTypeSQLite; }
    QString driverName() const override { return QStringLiteral("QSQLITE"); }

    DataResult open(QSqlDatabase &db, const DataSource &source, bool readOnly) override
    {
        const QString where = QStringLiteral("SQLite database %1").arg(source.path);
        const QFileInfo info(source.path);
        if (info.isDir())
            return DataError(dataErrCannotOpen, where + QStringLiteral(" is a folder."));
        if (!info.exists() && (!source.createIfMissing || readOnly))
            return DataError(dataErrCannotOpen,
                QStringLiteral("The database file %1 does not exist.").arg(source.path));
        db.setDatabaseName(source.path);
        // Open read-write without creating when the file must already be there, so a file that
        // vanished in between is not silently recreated empty.
        QString options
            = QStringLiteral("QSQLITE_BUSY_TIMEOUT=%1").arg(std::max(0, source.busyTimeoutMs));
        if (readOnly)
            options += QStringLiteral(";QSQLITE_OPEN_READONLY");
        db.setConnectOptions(options);
        if (!db.open())
            return DataError(dataErrCannotOpen,
                QStringLiteral("Cannot open %1: %2").arg(where, db.lastError().text()));
        QSqlQuery q(db);
        // The first read is where SQLite notices a file that is not a database.
        if (!q.exec(QStringLiteral("SELECT count(*) FROM sqlite_master"))) {
            const QString text = q.lastError().text();
            // SQLITE_BUSY and SQLITE_LOCKED: another program kept it locked for the whole wait.
            const bool locked = q.lastError().nativeErrorCode() == QLatin1String("5")
                || q.lastError().nativeErrorCode() == QLatin1String("6");
            q.clear();
            db.close();
            if (locked)
                return DataError(dataErrCannotOpen,
                    QStringLiteral("%1 is locked by another program (%2).").arg(where, text));
            return DataError(dataErrNotDatabase,
                QStringLiteral("%1 is not a SQLite database (%2).").arg(where, text));
        }
        q.exec(QStringLiteral("PRAGMA foreign_keys = ON"));
        // A new session starts without settings, as on a server. The function gives the same
        // within one statement: SQLite then reads it once, not on every row.
        m_settings->clear();
        if (sqlite3 *handle = driverHandle<sqlite3>(db, "sqlite3*", "sqlite3*"))
            sqlite3_create_function_v2(handle, "current_setting", 2,
                SQLITE_UTF8 | SQLITE_DETERMINISTIC,
                new std::shared_ptr<SessionSettings>(m_settings), currentSetting, nullptr, nullptr,
                [](void *held) { delete static_cast<std::shared_ptr<SessionSettings> *>(held); });
        // Temporary storage in memory, not in files: an insert that fires the summary triggers
        // keeps a statement journal, which in a temporary file was opened and removed for every
        // job and cost more than the triggers' own work; the reports' sorts gain too.
        q.exec(QStringLiteral("PRAGMA temp_store = MEMORY"));
        if (!readOnly)
            q.exec(QStringLiteral("PRAGMA synchronous = NORMAL"));
        return std::nullopt;
    }

    bool hasTable(QSqlDatabase &db, const QString &table) override
    {
        QSqlQuery q(db);
        q.prepare(QStringLiteral("SELECT 1 FROM sqlite_master WHERE type = 'table' AND name = ?"));
        q.addBindValue(table);
        return q.exec() && q.next();
    }

    bool isEmpty(QSqlDatabase &db) override
    {
        QSqlQuery q(db);
        return q.exec(QStringLiteral("SELECT count(*) FROM sqlite_master WHERE type = 'table'"))
            && q.next() && q.value(0).toInt() == 0;
    }

    const DdlSpelling &spelling() const override
    {
        static const DdlSpelling s { "INTEGER PRIMARY KEY", "INTEGER PRIMARY KEY", "BOOLEAN",
            "DATETIME", "NUMERIC(19,4)", "BLOB", "1", "0" };
        return s;
    }

    QList<int> declaredTypes(QSqlQuery &query) override
    {
        const int n = query.record().count();
        QList<int> declared(n, 0);
        sqlite3_stmt *stmt = statementOf(query);
        for (int i = 0; stmt && i < n; ++i) {
            if (const char *decl = sqlite3_column_decltype(stmt, i))
                declared[i] = AdoTypeFromDeclared(QString::fromUtf8(decl));
        }
        return declared;
    }

    // Steps the driver's own statement and reads each cell once, straight into its column.
    RecordsetPtr read(QSqlQuery &query, QString &error, const RowFolding *folding) override
    {
        sqlite3_stmt *stmt = statementOf(query);
        const int columns = query.record().count();
        // The driver's exec has stepped to the first row and holds it; without a row (or when
        // it was already read on) the driver's way is as quick.
        if (!stmt || columns == 0 || query.at() != QSql::BeforeFirstRow || !sqlite3_stmt_busy(stmt)
            || sqlite3_data_count(stmt) != columns)
            return SqlDialect::read(query, error, folding);
        const QList<int> declared = declaredTypes(query);
        std::vector<RawColumn> raw(static_cast<size_t>(columns));
        Folding folds(query.record(), declared, folding);
        LeftOut leftOut(query.record(), folding);
        int rows = 0;
        int step = SQLITE_ROW;
        do {
            if (leftOut.any()) {
                bool unsure = false;
                if (leftOut.drops(stmt, unsure)) {
                    // Still typing their columns, as when the caller drops them itself.
                    for (int c = 0; c < columns; ++c)
                        raw[size_t(c)].tallyOnly(stmt, c);
                    continue;
                }
                if (unsure)
                    folds.stop();
            }
            if (rows > 0 && folds.intoLast(stmt, raw))
                continue;
            for (int c = 0; c < columns; ++c)
                raw[size_t(c)].read(stmt, c);
            ++rows;
        } while ((step = sqlite3_step(stmt)) == SQLITE_ROW);
        if (step != SQLITE_DONE)
            error = QString::fromUtf8(sqlite3_errmsg(sqlite3_db_handle(stmt)));
        // The driver's query must not step the statement any further.
        const QSqlRecord record = query.record();
        query.finish();
        if (step != SQLITE_DONE)
            return nullptr;
        QList<int> types(columns, adVarWChar);
        std::vector<ValueColumn> values(static_cast<size_t>(columns));
        for (int c = 0; c < columns; ++c) {
            types[c] = raw[size_t(c)].tally().type(declared.value(c));
            values[size_t(c)] = raw[size_t(c)].take(types[c]);
        }
        return MakeRecordset(record, types, std::move(values), rows);
    }

    bool setSetting(QSqlDatabase &, const QString &name, const QString &value, QString &) override
    {
        (*m_settings)[name.toStdString()] = value.toStdString();
        return true;
    }

    bool checkIntegrity(QSqlDatabase &db, QString &reason) override
    {
        QSqlQuery q(db);
        if (!q.exec(QStringLiteral("PRAGMA quick_check"))) {
            reason = q.lastError().text();
            return false;
        }
        QStringList problems;
        while (q.next()) {
            const QString line = q.value(0).toString();
            if (line != QLatin1String("ok"))
                problems << line;
        }
        reason = problems.join(QLatin1String("; "));
        return problems.isEmpty();
    }

private:
    std::shared_ptr<SessionSettings> m_settings = std::make_shared<SessionSettings>();
};

} // namespace

std::unique_ptr<SqlDialect> MakeSqliteDialect()
{
    return std::make_unique<SqliteDialect>();
}

} // namespace kv6
