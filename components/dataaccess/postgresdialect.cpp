#include "dataaccess/sqldialect.h"
#include "driverhandle_p.h"

#include <libpq-fe.h>

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
