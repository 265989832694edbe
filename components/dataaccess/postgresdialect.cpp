#include "dataaccess/sqldialect.h"
#include "driverhandle_p.h"

#include <libpq-fe.h>

#include <charconv>
#include <QDateTime>
#include <QSqlError>
#include <QSqlField>
#include <QSqlRecord>

namespace kv6 {

std::unique_ptr<SqlDialect> MakeSqliteDialect();

namespace {

// Type oids of the PostgreSQL catalogue that results carry.
int adoTypeFromOid(int oid, QMetaType metaType)
{
    switch (oid) {
    case 16:
        return adBoolean;
    case 20:
        return adBigInt;
    case 21:
    case 23:
        return adInteger;
    case 700:
    case 701:
        return adDouble;
    case 790:
    case 1700:
        return adCurrency;
    case 1082:
    case 1083:
    case 1114:
    case 1184:
        return adDBTimeStamp;
    case 17:
        return adLongVarBinary;
    default:
        break;
    }
    switch (metaType.id()) {
    case QMetaType::Bool:
        return adBoolean;
    case QMetaType::Int:
        return adInteger;
    case QMetaType::LongLong:
        return adBigInt;
    case QMetaType::Double:
        return adDouble;
    case QMetaType::QDateTime:
    case QMetaType::QDate:
        return adDBTimeStamp;
    case QMetaType::QByteArray:
        return adLongVarBinary;
    default:
        return adVarWChar;
    }
}

// Numbers the "?" placeholders "$1", "$2"... as the Qt driver does before it prepares a
// statement (quoted texts and names keep theirs), so the server is sent the same statement.
QByteArray numberedPlaceholders(const QString &sql)
{
    QString out;
    out.reserve(sql.size() + 16);
    QChar closing;
    int count = 0;
    for (const QChar ch : sql) {
        if (!closing.isNull()) {
            if (ch == closing)
                closing = QChar();
            out += ch;
        } else if (ch == u'?') {
            out += u'$' + QString::number(++count);
        } else {
            if (ch == u'\'' || ch == u'"' || ch == u'`')
                closing = ch;
            out += ch;
        }
    }
    return out.toUtf8();
}

// The driver's words for a failed statement: the server's message, its code, and the step.
QString driverError(PGconn *conn, const PGresult *result, const char *step)
{
    QString text = QString::fromUtf8(result ? PQresultErrorMessage(result) : PQerrorMessage(conn));
    if (result)
        text += QStringLiteral("(%1)").arg(
            QString::fromLatin1(PQresultErrorField(result, PG_DIAG_SQLSTATE)));
    return text + QStringLiteral(" QPSQL: ") + QLatin1String(step);
}

// One result column read from libpq's text form straight into its values, converted as the
// Qt driver and ConvertToAdo convert them (date and time texts through the same ISO reading,
// time stamps with a zone into local time, numeric through a double).
class PgColumn
{
public:
    explicit PgColumn(Oid oid)
        : m_oid(oid)
    { }

    // False for a type the Qt driver reads in a way this does not repeat.
    static bool reads(Oid oid)
    {
        switch (oid) {
        case 16: // bool
        case 17: // bytea
        case 19: // name
        case 20: // int8
        case 21: // int2
        case 23: // int4
        case 25: // text
        case 700: // float4
        case 701: // float8
        case 705: // unknown
        case 1042: // bpchar
        case 1043: // varchar
        case 1082: // date
        case 1114: // timestamp
        case 1184: // timestamptz
        case 1700: // numeric
            return true;
        default:
            return false;
        }
    }

    void read(const PGresult *result, int row, int c)
    {
        if (PQgetisnull(result, row, c)) {
            m_values.emplace_back();
            return;
        }
        const char *text = PQgetvalue(result, row, c);
        const int length = PQgetlength(result, row, c);
        switch (m_oid) {
        case 16:
            m_values.emplace_back(text[0] == 't');
            break;
        case 20:
            m_values.emplace_back(qlonglong(whole(text, length)));
            break;
        case 21:
        case 23:
            m_values.emplace_back(int(whole(text, length)));
            break;
        case 700:
        case 701:
            m_values.emplace_back(real(text, length));
            break;
        case 1700:
            m_values.push_back(ConvertToAdo(real(text, length), adCurrency));
            break;
        case 17: {
            size_t size = 0;
            unsigned char *bytes
                = PQunescapeBytea(reinterpret_cast<const unsigned char *>(text), &size);
            m_values.emplace_back(
                QByteArray(reinterpret_cast<const char *>(bytes), qsizetype(size)));
            PQfreemem(bytes);
            break;
        }
        default: {
            const std::string_view bytes(text, size_t(length));
            const qint64 number = m_numbers.find(bytes);
            if (number >= 0) {
                m_values.push_back(m_numbers.sharing() ? m_distinct[size_t(number)] : m_last);
                break;
            }
            m_last = convert(bytes);
            m_numbers.add(bytes, m_added++);
            // A mostly distinct column keeps no second copy of its values.
            if (m_numbers.sharing())
                m_distinct.push_back(m_last);
            else if (!m_distinct.empty())
                m_distinct = {};
            m_values.push_back(m_last);
            break;
        }
        }
    }

    ValueColumn take()
    {
        ValueColumn out = std::move(m_values);
        *this = PgColumn(m_oid);
        return out;
    }

private:
    static qint64 whole(const char *text, int length)
    {
        qint64 n = 0;
        std::from_chars(text, text + length, n);
        return n;
    }
    // Also "NaN", "Infinity" and "-Infinity", as the server writes them.
    static double real(const char *text, int length)
    {
        double d = 0;
        std::from_chars(text, text + length, d);
        return d;
    }

    QVariant convert(std::string_view bytes) const
    {
        const QString text = QString::fromUtf8(bytes.data(), qsizetype(bytes.size()));
        switch (m_oid) {
        case 1082:
            return ConvertToAdo(QDate::fromString(text, Qt::ISODate), adDBTimeStamp);
        case 1114:
            return stamp(text);
        case 1184:
            return QDateTime::fromString(text, Qt::ISODate).toLocalTime();
        default:
            return text;
        }
    }

    // Most time stamps are "yyyy-MM-dd HH:mm:ss", read here directly; anything else (fractions
    // of a second, a local time skipped by a clock change) through the ISO reading.
    static QDateTime stamp(const QString &text)
    {
        if (text.size() == 19 && text.at(4) == u'-' && text.at(7) == u'-' && text.at(10) == u' '
            && text.at(13) == u':' && text.at(16) == u':') {
            const auto part
                = [&](int from, int count) { return QStringView(text).mid(from, count).toInt(); };
            const QDate date(part(0, 4), part(5, 2), part(8, 2));
            const QTime time(part(11, 2), part(14, 2), part(17, 2));
            const QDateTime local(date, time);
            if (local.isValid() && local.date() == date && local.time() == time)
                return local;
        }
        return QDateTime::fromString(text, Qt::ISODate);
    }

    Oid m_oid;
    ValueColumn m_values;
    // Texts, days and time stamps repeat over the rows; each distinct one is converted once.
    ByteKeys m_numbers;
    // While the column shares: each number's value. Otherwise only the last value is kept.
    std::vector<QVariant> m_distinct;
    QVariant m_last;
    qint64 m_added = 0;
};

QString quoteIdent(const QString &name)
{
    QString n = name;
    n.replace(QLatin1Char('"'), QLatin1String("\"\""));
    return QLatin1Char('"') + n + QLatin1Char('"');
}

class PostgresDialect final : public SqlDialect
{
public:
    int type() const override { return DatabaseTypePostgreSQL; }
    QString driverName() const override { return QStringLiteral("QPSQL"); }

    DataResult open(QSqlDatabase &db, const DataSource &source, bool readOnly) override
    {
        const QString where = source.description();
        db.setHostName(source.host);
        db.setPort(source.port);
        db.setDatabaseName(source.database);
        db.setUserName(source.user);
        db.setPassword(source.password);
        db.setConnectOptions(QStringLiteral("connect_timeout=10"));
        if (!db.open())
            return DataError(dataErrCannotOpen,
                QStringLiteral("Cannot connect to %1: %2")
                    .arg(where, db.lastError().text().trimmed()));
        // The server's notices would reach standard error beside the program's own one-line
        // errors (a server shut down says so before the connection breaks); the error that
        // follows says what matters.
        if (PGconn *conn = driverHandle<PGconn>(db, "PGconn*", "pg_conn*"))
            PQsetNoticeProcessor(
                conn, [](void *, const char *) {}, nullptr);
        QSqlQuery q(db);
        QStringList setup { QStringLiteral("SET client_min_messages TO warning"),
            QStringLiteral("SET datestyle TO ISO") };
        if (!source.schema.isEmpty())
            setup << QStringLiteral("SET search_path TO %1").arg(quoteIdent(source.schema));
        if (readOnly)
            setup << QStringLiteral("SET default_transaction_read_only TO on");
        for (const QString &s : setup) {
            if (!q.exec(s)) {
                const QString text = q.lastError().text();
                q.clear(); // before the link goes, or the driver cannot free it
                db.close();
                return DataError(
                    dataErrCannotOpen, QStringLiteral("Cannot prepare %1: %2").arg(where, text));
            }
        }
        // A server compiles a query whose estimate is large (a report's branch that will not
        // run counts too) before it runs it: half a second and more for a report that then
        // reads a few thousand summary rows, against a tenth at most gained on the largest
        // reads. Servers before version 11 know no such setting, hence no check.
        q.exec(QStringLiteral("SET jit TO off"));
        if (!source.schema.isEmpty()) {
            q.prepare(QStringLiteral("SELECT 1 FROM pg_namespace WHERE nspname = ?"));
            q.addBindValue(source.schema);
            if (!q.exec() || !q.next()) {
                if (!source.createIfMissing || readOnly) {
                    q.clear();
                    db.close();
                    return DataError(dataErrNotDatabase,
                        QStringLiteral("%1: the schema does not exist.").arg(where));
                }
                if (!q.exec(QStringLiteral("CREATE SCHEMA %1").arg(quoteIdent(source.schema)))) {
                    const QString text = q.lastError().text();
                    q.clear();
                    db.close();
                    return DataError(
                        dataErrCannotOpen, QStringLiteral("Cannot create %1: %2").arg(where, text));
                }
            }
        }
        return std::nullopt;
    }

    bool hasTable(QSqlDatabase &db, const QString &table) override
    {
        QSqlQuery q(db);
        q.prepare(QStringLiteral("SELECT 1 FROM information_schema.tables "
                                 "WHERE table_schema = current_schema() AND table_name = ?"));
        q.addBindValue(table);
        return q.exec() && q.next();
    }

    bool isEmpty(QSqlDatabase &db) override
    {
        QSqlQuery q(db);
        return q.exec(QStringLiteral("SELECT count(*) FROM information_schema.tables "
                                     "WHERE table_schema = current_schema()"))
            && q.next() && q.value(0).toInt() == 0;
    }

    const DdlSpelling &spelling() const override
    {
        static const DdlSpelling s { "BIGINT GENERATED BY DEFAULT AS IDENTITY PRIMARY KEY",
            "INTEGER GENERATED BY DEFAULT AS IDENTITY PRIMARY KEY", "BOOLEAN",
            "TIMESTAMP WITHOUT TIME ZONE", "NUMERIC(19,4)", "BYTEA", "TRUE", "FALSE" };
        return s;
    }

    QList<int> declaredTypes(QSqlQuery &query) override
    {
        const QSqlRecord record = query.record();
        QList<int> declared(record.count(), 0);
        for (int i = 0; i < record.count(); ++i) {
            const QSqlField field = record.field(i);
            declared[i] = adoTypeFromOid(field.typeID(), field.metaType());
        }
        return declared;
    }

    // Prepares and runs the statement on the driver's own connection, as the driver would
    // (same statement text, the parameters as texts the server reads by their places' types),
    // and reads each row straight into its columns instead of through a value per cell.
    Run run(QSqlDatabase &db, const QString &sql, const QVariantList &params, RecordsetPtr &records,
        QString &error) override
    {
        PGconn *conn = driverHandle<PGconn>(db, "PGconn*", "pg_conn*");
        // A query of the driver's still being read keeps the connection busy.
        if (!conn || PQstatus(conn) != CONNECTION_OK || PQtransactionStatus(conn) == PQTRANS_ACTIVE)
            return Run::NotRun;
        std::vector<QByteArray> texts;
        std::vector<const char *> values;
        for (const QVariant &v : params) {
            // Null, as is a null text for the driver.
            if (v.isNull() || !v.isValid()
                || (v.typeId() == QMetaType::QString && v.toString().isNull())) {
                texts.emplace_back();
                continue;
            }
            switch (v.typeId()) {
            case QMetaType::QString:
                // Never null: a null pointer below is a Null parameter.
                texts.push_back(v.toString().toUtf8());
                if (texts.back().isNull())
                    texts.back() = QByteArray("");
                break;
            case QMetaType::Int:
            case QMetaType::UInt:
            case QMetaType::LongLong:
            case QMetaType::Short:
                texts.push_back(QByteArray::number(v.toLongLong()));
                break;
            case QMetaType::Bool:
                texts.push_back(v.toBool() ? "true" : "false");
                break;
            default:
                // The driver writes other values as typed literals.
                return Run::NotRun;
            }
        }
        for (const QByteArray &text : texts)
            values.push_back(text.isNull() ? nullptr : text.constData());
        // The unnamed statement: replaced by the next one, never left behind.
        PGresult *prepared = PQprepare(conn, "", numberedPlaceholders(sql).constData(), 0, nullptr);
        const bool preparedOk = PQresultStatus(prepared) == PGRES_COMMAND_OK;
        if (!preparedOk)
            error = driverError(conn, prepared, "Unable to prepare statement");
        PQclear(prepared);
        if (!preparedOk)
            return Run::Failed;
        PGresult *described = PQdescribePrepared(conn, "");
        const int columns
            = PQresultStatus(described) == PGRES_COMMAND_OK ? PQnfields(described) : -1;
        bool readable = columns >= 0;
        std::vector<PgColumn> read;
        QSqlRecord record;
        for (int c = 0; readable && c < columns; ++c) {
            readable = PgColumn::reads(PQftype(described, c));
            read.emplace_back(PQftype(described, c));
            record.append(QSqlField(QString::fromUtf8(PQfname(described, c))));
        }
        QList<int> types;
        for (int c = 0; readable && c < columns; ++c)
            types << adoTypeFromOid(int(PQftype(described, c)), QMetaType(QMetaType::QString));
        PQclear(described);
        if (!readable)
            return Run::NotRun;
        if (!PQsendQueryPrepared(
                conn, "", int(values.size()), values.data(), nullptr, nullptr, 0)) {
            error = driverError(conn, nullptr, "Unable to create query");
            return Run::Failed;
        }
        // Row by row: as quick as the whole result at once (User Averages, 3.4M rows), which
        // would hold all of libpq's copy beside the record set (0.3 GB more at its peak).
        PQsetSingleRowMode(conn);
        int rows = 0;
        bool failed = false;
        // Every result is taken, a failed one too, so that the connection is left ready.
        while (PGresult *result = PQgetResult(conn)) {
            const ExecStatusType status = PQresultStatus(result);
            if (!failed && (status == PGRES_TUPLES_OK || status == PGRES_SINGLE_TUPLE)) {
                const int n = PQntuples(result);
                for (int r = 0; r < n; ++r)
                    for (int c = 0; c < columns; ++c)
                        read[size_t(c)].read(result, r, c);
                rows += n;
            } else if (!failed && status != PGRES_TUPLES_OK && status != PGRES_COMMAND_OK) {
                failed = true;
                error = driverError(conn, result, "Unable to create query");
            }
            PQclear(result);
        }
        if (failed)
            return Run::Failed;
        std::vector<ValueColumn> cells;
        for (PgColumn &column : read)
            cells.push_back(column.take());
        records = MakeRecordset(record, types, std::move(cells), rows);
        return Run::Read;
    }

    bool setSetting(
        QSqlDatabase &db, const QString &name, const QString &value, QString &error) override
    {
        QSqlQuery q(db);
        q.prepare(QStringLiteral("SELECT set_config(?, ?, false)"));
        q.addBindValue(name);
        q.addBindValue(value);
        if (q.exec())
            return true;
        error = q.lastError().text().trimmed();
        return false;
    }

    bool checkIntegrity(QSqlDatabase &db, QString &reason) override
    {
        // The server keeps its own storage sound; what can need attention is an index left
        // invalid by an interrupted concurrent build.
        QSqlQuery q(db);
        if (!q.exec(QStringLiteral(
                "SELECT c.relname FROM pg_index i JOIN pg_class c ON c.oid = i.indexrelid "
                "JOIN pg_namespace n ON n.oid = c.relnamespace "
                "WHERE n.nspname = current_schema() AND NOT i.indisvalid"))) {
            reason = q.lastError().text();
            return false;
        }
        QStringList bad;
        while (q.next())
            bad << q.value(0).toString();
        if (!bad.isEmpty())
            reason = QStringLiteral("invalid indexes: ") + bad.join(QLatin1String(", "));
        return bad.isEmpty();
    }
};

} // namespace

std::unique_ptr<SqlDialect> SqlDialect::create(int databaseType)
{
    if (databaseType == DatabaseTypeSQLite)
        return MakeSqliteDialect();
    return std::make_unique<PostgresDialect>();
}

} // namespace kv6
