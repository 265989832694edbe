#include "dataaccess/dataconnection.h"

#include "base/paths.h"
#include "dataaccess/dataaccessglobal.h"
#include "dataaccess/datasettings.h"
#include "dataaccess/schema.h"
#include "dataaccess/sqldialect.h"

#include <QAtomicInt>
#include <QFileInfo>
#include <QHash>
#include <QSqlError>
#include <QSqlQuery>

namespace kv6 {

struct DataConnection::Private
{
    DataSource source;
    std::unique_ptr<SqlDialect> dialect;
    QString name;
    bool open = false;
    bool readOnly = false;
    bool openFlag = false;
    bool everOpened = false;
    int schemaVersion = 0;
    // What this session was last told, so that a report run after run sends nothing new.
    QHash<QString, QString> settings;

    QSqlDatabase db() const { return QSqlDatabase::database(name, false); }

    void drop()
    {
        if (name.isEmpty())
            return;
        {
            QSqlDatabase handle = QSqlDatabase::database(name, false);
            if (handle.isOpen())
                handle.close();
        }
        QSqlDatabase::removeDatabase(name);
        name.clear();
        settings.clear();
        open = false;
    }
};

namespace {
QString nextConnectionName()
{
    static QAtomicInt counter;
    return QStringLiteral("kv6data-%1").arg(counter.fetchAndAddRelaxed(1) + 1);
}
} // namespace

DataConnection::DataConnection()
    : DataConnection(ConfiguredDataSource())
{ }

DataConnection::DataConnection(const DataSource &source)
    : d(std::make_unique<Private>())
{
    d->source = source;
    d->dialect = SqlDialect::create(source.type);
}

DataConnection::~DataConnection()
{
    d->drop();
}

DataResult DataConnection::ensureOpen(bool reopen)
{
    // A connection closed after it once opened (Close, a dropped link) reconnects on use.
    if (!d->open && d->everOpened && reopen) {
        if (DataResult e = Open(d->openFlag))
            return e;
    }
    if (!d->open)
        return DataError(
            dataErrNotOpen, QStringLiteral("%1 is not open.").arg(d->source.description()));
    return std::nullopt;
}

DataResult DataConnection::Open(bool openFlag)
{
    if (d->open)
        return std::nullopt;
    d->openFlag = openFlag;
    d->name = nextConnectionName();
    QSqlDatabase db = QSqlDatabase::addDatabase(d->dialect->driverName(), d->name);
    if (!db.isValid()) {
        db = QSqlDatabase(); // the handle must go before the connection is removed
        d->drop();
        return DataError(dataErrCannotOpen,
            QStringLiteral("The Qt SQL driver %1 needed for %2 is not installed.")
                .arg(d->dialect->driverName(), d->source.description()));
    }
    if (!d->source.isSQLite() && d->source.host.isEmpty()) {
        db = QSqlDatabase();
        d->drop();
        return DataError(dataErrInvalid, QStringLiteral("No PostgreSQL server is configured."));
    }
    if (d->source.isSQLite() && d->source.createIfMissing && !d->readOnly)
        EnsureFolder(QFileInfo(d->source.path).absolutePath());
    if (DataResult e = d->dialect->open(db, d->source, d->readOnly)) {
        db = QSqlDatabase();
        d->drop();
        return e;
    }
    if (!d->source.isSQLite()) {
        QSqlQuery q(db);
        q.exec(openFlag ? QStringLiteral("SET statement_timeout TO 0")
                        : QStringLiteral("SET statement_timeout TO '300s'"));
    }
    d->open = true;
    d->everOpened = true;
    return std::nullopt;
}

DataResult DataConnection::Setup(QVariant &value)
{
    if (DataResult e = ensureOpen(false))
        return e;
    d->schemaVersion = 0;
    QSqlDatabase db = d->db();
    const QString where = d->source.description();
    const bool hasSchema = d->dialect->hasTable(db, QStringLiteral("schema_info"));
    const int stored = hasSchema ? kv6::StoredSchemaVersion(db) : 0;
    if (!hasSchema && !(d->source.createIfMissing && d->dialect->isEmpty(db))) {
        return DataError(dataErrNotDatabase,
            QStringLiteral("%1 holds no print-tracking schema (create it with "
                           "\"kv6data init\").")
                .arg(where));
    }
    if (stored > CurrentSchemaVersion)
        return NewerSchemaError(where, stored);
    if (stored < CurrentSchemaVersion) {
        if (d->readOnly)
            return DataError(dataErrNeedsAttention,
                QStringLiteral("%1 has the older schema version %2 and the connection "
                               "is read-only, so it cannot be upgraded.")
                    .arg(where)
                    .arg(stored));
        if (DataResult e = CreateOrUpgradeSchema(db, *d->dialect, where))
            return e;
    }
    d->schemaVersion = kv6::StoredSchemaVersion(db);
    value = d->schemaVersion;
    return std::nullopt;
}

DataResult DataConnection::Close()
{
    d->drop();
    return std::nullopt;
}

DataResult DataConnection::Disconnect()
{
    return Close();
}

void DataConnection::SetOption(bool readOnly)
{
    d->readOnly = readOnly;
}

bool DataConnection::Option() const
{
    return d->readOnly;
}

DataResult DataConnection::Connect(bool openFlag)
{
    if (DataResult e = Open(openFlag))
        return e;
    QVariant version;
    return Setup(version);
}

bool DataConnection::IsOpen() const
{
    return d->open;
}

bool DataConnection::IsReady() const
{
    return d->schemaVersion == CurrentSchemaVersion;
}

DataResult DataConnection::Verify(int options)
{
    if (DataResult e = ensureOpen(true))
        return e;
    QSqlDatabase db = d->db();
    const QString where = d->source.description();
    if (options & VerifySchema) {
        const int stored = StoredSchemaVersion();
        if (stored != CurrentSchemaVersion)
            return DataError(dataErrNeedsAttention,
                stored == 0 ? QStringLiteral("%1 holds no print-tracking schema.").arg(where)
                            : QStringLiteral("%1 has schema version %2 where %3 is expected.")
                                  .arg(where)
                                  .arg(stored)
                                  .arg(CurrentSchemaVersion));
    }
    if (options & VerifyStorage) {
        QString reason;
        if (!d->dialect->checkIntegrity(db, reason))
            return DataError(
                dataErrNeedsAttention, QStringLiteral("%1 needs attention: %2").arg(where, reason));
    }
    return std::nullopt;
}

QString DataConnection::Description() const
{
    QString text = d->source.description();
    if (d->schemaVersion > 0)
        text += QStringLiteral(", schema version %1").arg(d->schemaVersion);
    return text;
}

int DataConnection::DatabaseType() const
{
    return d->source.type;
}

const DataSource &DataConnection::Source() const
{
    return d->source;
}

void DataConnection::SetSource(const DataSource &source)
{
    d->drop();
    d->everOpened = false;
    d->schemaVersion = 0;
    d->source = source;
    d->dialect = SqlDialect::create(source.type);
}

DataResult DataConnection::ReportSQL(
    const QString &sql, const QVariant &params, RecordsetPtr &records, const RowFolding *folding)
{
    records.reset();
    if (DataResult e = ensureOpen(true))
        return e;
    const QVariantList values = QueryParameterList(params);
    const auto failed = [&](const QString &error) {
        return DataError(dataErrQuery,
            QStringLiteral("The query failed on %1: %2")
                .arg(d->source.description(), error.trimmed()));
    };
    QSqlDatabase db = d->db();
    QString error;
    switch (d->dialect->run(db, sql, values, records, error)) {
    case SqlDialect::Run::Read:
        return std::nullopt;
    case SqlDialect::Run::Failed:
        return failed(error);
    case SqlDialect::Run::NotRun:
        break;
    }
    QSqlQuery q(db);
    q.setForwardOnly(true);
    if (!q.prepare(sql))
        return failed(q.lastError().text());
    for (const QVariant &v : values)
        q.addBindValue(v);
    if (!q.exec())
        return failed(q.lastError().text());
    records = d->dialect->read(q, error, folding);
    if (!records)
        return DataError(dataErrQuery,
            QStringLiteral("Reading the query's rows failed on %1: %2")
                .arg(d->source.description(), error));
    return std::nullopt;
}

DataResult DataConnection::SetSessionSetting(const QString &name, const QString &value)
{
    if (DataResult e = ensureOpen(true))
        return e;
    const auto known = d->settings.constFind(name);
    if (known != d->settings.cend() && *known == value)
        return std::nullopt;
    QSqlDatabase db = d->db();
    QString error;
    if (!d->dialect->setSetting(db, name, value, error))
        return DataError(dataErrQuery,
            QStringLiteral("The query failed on %1: %2").arg(d->source.description(), error));
    d->settings.insert(name, value);
    return std::nullopt;
}

DataResult DataConnection::Execute(
    const QString &sql, const QVariantList &params, int *rowsAffected)
{
    if (DataResult e = ensureOpen(true))
        return e;
    QSqlQuery q(d->db());
    bool ok = params.isEmpty() ? q.exec(sql) : q.prepare(sql);
    if (ok && !params.isEmpty()) {
        for (const QVariant &v : params)
            q.addBindValue(v);
        ok = q.exec();
    }
    if (!ok)
        return DataError(dataErrQuery,
            QStringLiteral("The statement failed on %1: %2")
                .arg(d->source.description(), q.lastError().text().trimmed()));
    if (rowsAffected)
        *rowsAffected = q.numRowsAffected();
    return std::nullopt;
}

DataResult DataConnection::InTransaction(const std::function<DataResult()> &work)
{
    if (DataResult e = ensureOpen(false))
        return e;
    QSqlDatabase db = d->db();
    if (!db.transaction())
        return DataError(dataErrQuery,
            QStringLiteral("Cannot start a transaction on %1: %2")
                .arg(d->source.description(), db.lastError().text()));
    DataResult e = work();
    if (e) {
        db.rollback();
        return e;
    }
    if (!db.commit()) {
        const QString text = db.lastError().text();
        db.rollback();
        return DataError(dataErrQuery,
            QStringLiteral("Cannot commit on %1: %2").arg(d->source.description(), text));
    }
    return std::nullopt;
}

int DataConnection::StoredSchemaVersion() const
{
    QSqlDatabase db = d->db();
    return d->open && d->dialect->hasTable(db, QStringLiteral("schema_info"))
        ? kv6::StoredSchemaVersion(db)
        : 0;
}

QSqlDatabase DataConnection::database() const
{
    return d->db();
}

SqlDialect &DataConnection::dialect() const
{
    return *d->dialect;
}

DataResult OpenDataConnection(const DataSource &source, bool openFlag, QVariant &value,
    std::unique_ptr<DataConnection> &connection)
{
    auto c = std::make_unique<DataConnection>(source);
    if (DataResult e = c->Open(openFlag))
        return e;
    if (DataResult e = c->Setup(value))
        return e;
    DataSettings::SetDatabaseType(source.type);
    connection = std::move(c);
    return std::nullopt;
}

DataResult OpenDataConnection(
    bool openFlag, QVariant &value, std::unique_ptr<DataConnection> &connection)
{
    return OpenDataConnection(ConfiguredDataSource(), openFlag, value, connection);
}

QVariantList QueryParameterList(const QVariant &params)
{
    if (params.isNull() || !params.isValid())
        return {};
    if (params.typeId() == QMetaType::QVariantList || params.typeId() == QMetaType::QStringList)
        return params.toList();
    return { params };
}

} // namespace kv6
