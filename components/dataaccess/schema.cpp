#include "dataaccess/schema.h"

#include "dataaccess/bulkjobwriter.h"
#include "dataaccess/dataconnection.h"
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

DataResult PartitionJobsByMonth(DataConnection &connection, const QDate &first, const QDate &last)
{
    const auto refuse = [&](const QString &why) {
        return DataError(dataErrUpgrade,
            QStringLiteral("Cannot partition the jobs of %1 by month: %2")
                .arg(connection.Source().description(), why));
    };
    if (connection.Source().isSQLite())
        return refuse(QStringLiteral("only a PostgreSQL database partitions its tables."));
    const QDate from = first.isValid() ? QDate(first.year(), first.month(), 1) : QDate();
    const QDate to = last.isValid() ? QDate(last.year(), last.month(), 1) : QDate();
    // A partition a month; a century is far past any use and keeps a typo from making thousands.
    if (!from.isValid() || !to.isValid() || to < from || from.addYears(100) < to)
        return refuse(QStringLiteral("the months must run forwards, over at most a century."));
    const auto literal
        = [](const QDate &d) { return QStringLiteral("'%1'").arg(d.toString(Qt::ISODate)); };
    return connection.InTransaction([&]() -> DataResult {
        RecordsetPtr state;
        if (DataResult e = connection.ReportSQL(
                QStringLiteral("SELECT c.relkind = 'p', EXISTS (SELECT 1 FROM print_jobs) FROM "
                               "pg_class c WHERE c.oid = 'print_jobs'::regclass"),
                {}, state))
            return e;
        if (!state->ValueAt(0, 0).toBool()) {
            if (state->ValueAt(0, 1).toBool())
                return refuse(QStringLiteral("print_jobs holds jobs already; partition a new "
                                             "database and load the jobs into it."));
            QList<IndexDefinition> indexes;
            if (DataResult e = PrintJobIndexes(connection, indexes))
                return e;
            // The identity column of the plain table becomes a sequence: PostgreSQL 15 has no
            // identity columns on partitioned tables. Foreign keys are not copied by LIKE.
            QStringList statements {
                QStringLiteral("ALTER TABLE print_jobs RENAME TO print_jobs_unpartitioned"),
                QStringLiteral(
                    "CREATE TABLE print_jobs (LIKE print_jobs_unpartitioned INCLUDING DEFAULTS "
                    "INCLUDING CONSTRAINTS, CONSTRAINT print_jobs_new_pkey PRIMARY KEY (job_id, "
                    "job_time), CONSTRAINT print_jobs_new_user FOREIGN KEY (user_id) REFERENCES "
                    "users (user_id), CONSTRAINT print_jobs_new_printer FOREIGN KEY (printer_id) "
                    "REFERENCES printers (printer_id)) PARTITION BY RANGE (job_time)"),
                QStringLiteral("DROP TABLE print_jobs_unpartitioned"),
                // The names the plain table had, free again.
                QStringLiteral("ALTER TABLE print_jobs RENAME CONSTRAINT print_jobs_new_pkey TO "
                               "print_jobs_pkey"),
                QStringLiteral("ALTER TABLE print_jobs RENAME CONSTRAINT print_jobs_new_user TO "
                               "print_jobs_user_id_fkey"),
                QStringLiteral("ALTER TABLE print_jobs RENAME CONSTRAINT print_jobs_new_printer "
                               "TO print_jobs_printer_id_fkey"),
                QStringLiteral("CREATE SEQUENCE print_jobs_job_id_seq OWNED BY print_jobs.job_id"),
                QStringLiteral("ALTER TABLE print_jobs ALTER COLUMN job_id SET DEFAULT "
                               "nextval('print_jobs_job_id_seq')"),
                QStringLiteral("CREATE TABLE print_jobs_other PARTITION OF print_jobs DEFAULT"),
            };
            for (const IndexDefinition &index : std::as_const(indexes)) {
                QString sql = index.sql;
                // A unique key of a partitioned table holds the partition key.
                if (sql.startsWith(QLatin1String("CREATE UNIQUE"))
                    && sql.endsWith(QLatin1Char(')')))
                    sql.insert(sql.size() - 1, QStringLiteral(", job_time"));
                statements << sql;
            }
            statements << SummaryTriggerStatements(false);
            for (const QString &s : std::as_const(statements))
                if (DataResult e = connection.Execute(s))
                    return e;
        }
        for (QDate m = from; m <= to; m = m.addMonths(1)) {
            const QString table
                = QStringLiteral("print_jobs_") + m.toString(QStringLiteral("yyyy_MM"));
            const QString range = QStringLiteral("job_time >= %1 AND job_time < %2")
                                      .arg(literal(m), literal(m.addMonths(1)));
            RecordsetPtr held;
            if (DataResult e = connection.ReportSQL(
                    QStringLiteral("SELECT to_regclass('%1') IS NOT NULL, EXISTS (SELECT 1 FROM "
                                   "print_jobs_other WHERE %2)")
                        .arg(table, range),
                    {}, held))
                return e;
            if (held->ValueAt(0, 0).toBool())
                continue;
            const bool move = held->ValueAt(0, 1).toBool();
            // The month's jobs leave the default partition and come back through the parent:
            // the summary triggers take them out and add them again.
            QStringList statements;
            if (move)
                statements << QStringLiteral("CREATE TEMPORARY TABLE kv6_moved_jobs AS SELECT * "
                                             "FROM print_jobs_other WHERE %1")
                                  .arg(range)
                           << QStringLiteral("DELETE FROM print_jobs_other WHERE %1").arg(range);
            statements << QStringLiteral(
                "CREATE TABLE %1 PARTITION OF print_jobs FOR VALUES FROM (%2) TO (%3)")
                              .arg(table, literal(m), literal(m.addMonths(1)));
            if (move)
                statements << QStringLiteral("INSERT INTO print_jobs SELECT * FROM kv6_moved_jobs")
                           << QStringLiteral("DROP TABLE kv6_moved_jobs");
            for (const QString &s : std::as_const(statements))
                if (DataResult e = connection.Execute(s))
                    return e;
        }
        return std::nullopt;
    });
}

} // namespace kv6
