#include "dataaccess/schema.h"

#include "dataaccess/enumerationtext.h"
#include "dataaccess/sqldialect.h"
#include "dataaccess/summaries.h"

#include <QSqlError>
#include <QSqlQuery>

namespace kv6 {

QStringList SchemaStepStatements(int toVersion)
{
    switch (toVersion) {
    case 1:
        return {
            QStringLiteral("CREATE TABLE schema_info (name TEXT PRIMARY KEY, value TEXT)"),
            QStringLiteral("CREATE TABLE companies (company_id %ID%, name TEXT)"),
            QStringLiteral("CREATE TABLE printers (printer_id %ID%, "
                           "company_id INTEGER NOT NULL REFERENCES companies(company_id), "
                           "name TEXT NOT NULL, port TEXT, host TEXT, manufacturer_model TEXT, "
                           "connection_type INTEGER NOT NULL DEFAULT 0, "
                           "color_device %BOOL% NOT NULL DEFAULT %FALSE%, "
                           "duplex_device %BOOL% NOT NULL DEFAULT %FALSE%, "
                           "device_type INTEGER NOT NULL DEFAULT 0)"),
            QStringLiteral(
                "CREATE UNIQUE INDEX printers_company_name ON printers (company_id, name)"),
            QStringLiteral("CREATE TABLE users (user_id %ID%, "
                           "company_id INTEGER NOT NULL REFERENCES companies(company_id), "
                           "user_name TEXT NOT NULL, display_name TEXT, user_domain TEXT)"),
            QStringLiteral(
                "CREATE UNIQUE INDEX users_company_name ON users (company_id, user_name)"),
            QStringLiteral(
                "CREATE TABLE print_jobs (job_id %BIGID%, company_id INTEGER NOT NULL, "
                "user_id INTEGER NOT NULL REFERENCES users(user_id), "
                "printer_id INTEGER NOT NULL REFERENCES printers(printer_id), "
                "job_time %TS% NOT NULL, computer TEXT, document_name TEXT, "
                "pages INTEGER NOT NULL DEFAULT 0, color_pages INTEGER NOT NULL DEFAULT 0, "
                "copies INTEGER NOT NULL DEFAULT 1, duplex %BOOL% NOT NULL DEFAULT %FALSE%, "
                "paper_size TEXT, size_bytes BIGINT, job_status INTEGER NOT NULL DEFAULT 0, "
                "source_key TEXT)"),
            QStringLiteral("CREATE UNIQUE INDEX print_jobs_source ON print_jobs (source_key)"),
            QStringLiteral(
                "CREATE INDEX print_jobs_company_time ON print_jobs (company_id, job_time)"),
            QStringLiteral(
                "CREATE TABLE admin_groups (group_id %ID%, object_type INTEGER NOT NULL, "
                "name TEXT NOT NULL, owner_id INTEGER NOT NULL DEFAULT 0, "
                "company_id INTEGER REFERENCES companies(company_id))"),
            QStringLiteral("CREATE TABLE admin_group_members ("
                           "group_id INTEGER NOT NULL REFERENCES admin_groups(group_id) "
                           "ON DELETE CASCADE, object_id INTEGER NOT NULL, "
                           "PRIMARY KEY (group_id, object_id))"),
            QStringLiteral("CREATE TABLE enumeration_texts (enum_type INTEGER NOT NULL, "
                           "enum_value INTEGER NOT NULL, text TEXT NOT NULL, "
                           "PRIMARY KEY (enum_type, enum_value))"),
            QStringLiteral("CREATE TABLE suite_settings (name TEXT PRIMARY KEY, value TEXT, "
                           "data %BLOB%)"),
        };
    case 2:
        // Costs, and the indexes the volume reports need: every report selects a date range,
        // most of them one company, and groups by user or printer.
        return {
            QStringLiteral("ALTER TABLE print_jobs ADD COLUMN job_cost %MONEY%"),
            QStringLiteral("CREATE INDEX print_jobs_time ON print_jobs (job_time)"),
            QStringLiteral("CREATE INDEX print_jobs_user_time ON print_jobs (user_id, job_time)"),
            QStringLiteral(
                "CREATE INDEX print_jobs_printer_time ON print_jobs (printer_id, job_time)"),
            QStringLiteral("CREATE INDEX admin_group_members_object ON admin_group_members "
                           "(object_id)"),
        };
    case 4:
        // The colour breakdown and top lists read only days with colour jobs, about a fifth of
        // the summary rows; the index holds every column they add up.
        return {
            QStringLiteral("CREATE INDEX print_job_days_color ON print_job_days (company_id, "
                           "job_day, user_id, printer_id, color_jobs, color_pages, "
                           "duplex_color_pages, color_cost, color_job_pages, color_job_bw_cost) "
                           "WHERE color_jobs > 0"),
        };
    default:
        return {};
    }
}

int StoredSchemaVersion(QSqlDatabase &db)
{
    QSqlQuery q(db);
    if (!q.exec(QStringLiteral("SELECT value FROM schema_info WHERE name = 'SchemaVersion'")))
        return 0;
    return q.next() ? q.value(0).toInt() : 0;
}

namespace {
DataResult fail(QSqlDatabase &db, const QString &where, const QString &what, const QString &why)
{
    db.rollback();
    return DataError(
        dataErrUpgrade, QStringLiteral("Cannot %1 in %2: %3").arg(what, where, why.trimmed()));
}
} // namespace

DataError NewerSchemaError(const QString &where, int storedVersion)
{
    return DataError(dataErrSchemaNewer,
        QStringLiteral("%1 has schema version %2; this program knows versions up to %3. Use a "
                       "newer program.")
            .arg(where)
            .arg(storedVersion)
            .arg(CurrentSchemaVersion));
}

DataResult CreateOrUpgradeSchema(
    QSqlDatabase &db, SqlDialect &dialect, const QString &where, int *previousVersion)
{
    const bool hasInfo = dialect.hasTable(db, QStringLiteral("schema_info"));
    if (!hasInfo && !dialect.isEmpty(db))
        return DataError(dataErrNotDatabase,
            QStringLiteral("%1 holds tables but no print-tracking schema.").arg(where));
    const int from = hasInfo ? StoredSchemaVersion(db) : 0;
    if (previousVersion)
        *previousVersion = from;
    if (from > CurrentSchemaVersion)
        return NewerSchemaError(where, from);
    if (from == CurrentSchemaVersion)
        return std::nullopt;
    const QString what = from == 0 ? QStringLiteral("create the schema")
                                   : QStringLiteral("upgrade the schema from version %1").arg(from);
    if (!db.transaction())
        return DataError(dataErrUpgrade,
            QStringLiteral("Cannot %1 in %2: %3").arg(what, where, db.lastError().text()));
    QSqlQuery q(db);
    for (int v = from + 1; v <= CurrentSchemaVersion; ++v) {
        for (const QString &statement : SchemaStepStatements(v)) {
            if (!q.exec(dialect.ddl(statement)))
                return fail(db, where, what, q.lastError().text());
        }
        // The summary tables and their triggers are written for each engine; they are filled
        // from the jobs the database already holds.
        for (const QString &statement :
            SummarySchemaStatements(dialect.type() == DatabaseTypeSQLite, v)) {
            if (!q.exec(statement))
                return fail(db, where, what, q.lastError().text());
        }
    }
    if (from == 0) {
        q.prepare(QStringLiteral("INSERT INTO enumeration_texts (enum_type, enum_value, text) "
                                 "VALUES (?, ?, ?)"));
        for (const EnumerationEntry &e : BuiltInEnumerations()) {
            q.addBindValue(e.type);
            q.addBindValue(e.value);
            q.addBindValue(e.text);
            if (!q.exec())
                return fail(db, where, what, q.lastError().text());
        }
        if (!q.exec(QStringLiteral("INSERT INTO suite_settings (name, value) VALUES "
                                   "('DefaultDecimals', '2'), ('MailPort', '25')")))
            return fail(db, where, what, q.lastError().text());
    }
    q.prepare(from == 0 ? QStringLiteral("INSERT INTO schema_info (name, value) "
                                         "VALUES ('SchemaVersion', ?)")
                        : QStringLiteral("UPDATE schema_info SET value = ? "
                                         "WHERE name = 'SchemaVersion'"));
    q.addBindValue(QString::number(CurrentSchemaVersion));
    if (!q.exec())
        return fail(db, where, what, q.lastError().text());
    if (!db.commit())
        return fail(db, where, what, db.lastError().text());
    return std::nullopt;
}

} // namespace kv6
