#include "dataaccess/sqldialect.h"

#include <QFileInfo>
#include <QSqlError>
#include <QSqlRecord>
#include <QSqlResult>
#include <sqlite3.h>

#include <algorithm>

namespace kv6 {

namespace {

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
        const QVariant handle = query.result() ? query.result()->handle() : QVariant();
        if (!handle.isValid() || qstrcmp(handle.typeName(), "sqlite3_stmt*") != 0)
            return declared;
        sqlite3_stmt *stmt = *static_cast<sqlite3_stmt *const *>(handle.constData());
        for (int i = 0; stmt && i < n; ++i) {
            if (const char *decl = sqlite3_column_decltype(stmt, i))
                declared[i] = AdoTypeFromDeclared(QString::fromUtf8(decl));
        }
        return declared;
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
};

} // namespace

std::unique_ptr<SqlDialect> MakeSqliteDialect()
{
    return std::make_unique<SqliteDialect>();
}

} // namespace kv6
