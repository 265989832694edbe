#include "dataaccess/databaseinfo.h"

#include "dataaccess/dataconnection.h"
#include "dataaccess/schema.h"

#include <QDateTime>
#include <QFileInfo>
#include <QSqlError>
#include <QSqlQuery>

namespace kv6 {

namespace {
QString timeText(const QVariant &value)
{
    if (!value.isValid() || value.isNull())
        return QString();
    if (value.typeId() == QMetaType::QDateTime)
        return value.toDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    return value.toString();
}
} // namespace

DataResult ReadDatabaseInfo(DataConnection &connection, DatabaseInfo &info)
{
    info = DatabaseInfo();
    if (!connection.IsOpen())
        return DataError(dataErrNotOpen,
            QStringLiteral("%1 is not open.").arg(connection.Source().description()));
    QSqlDatabase db = connection.database();
    const bool sqlite = connection.Source().isSQLite();
    info.description = connection.Description();
    info.schemaVersion = StoredSchemaVersion(db);
    if (sqlite)
        info.fileSize = QFileInfo(connection.Source().path).size();
    QSqlQuery q(db);
    auto failed = [&]() {
        return DataError(dataErrQuery,
            QStringLiteral("Cannot read the contents of %1: %2")
                .arg(connection.Source().description(), q.lastError().text().trimmed()));
    };
    if (!q.exec(sqlite ? QStringLiteral("SELECT sqlite_version()")
                       : QStringLiteral("SHOW server_version"))
        || !q.next())
        return failed();
    info.engine = (sqlite ? QStringLiteral("SQLite ") : QStringLiteral("PostgreSQL "))
        + q.value(0).toString().section(QLatin1Char(' '), 0, 0);
    if (!q.exec(QStringLiteral("SELECT (SELECT COUNT(*) FROM companies), "
                               "(SELECT COUNT(*) FROM printers WHERE device_type = 0), "
                               "(SELECT COUNT(*) FROM printers WHERE device_type <> 0), "
                               "(SELECT COUNT(*) FROM users), (SELECT COUNT(*) FROM admin_groups), "
                               "(SELECT COUNT(*) FROM admin_group_members)"))
        || !q.next())
        return failed();
    info.companies = q.value(0).toLongLong();
    info.printers = q.value(1).toLongLong();
    info.devices = q.value(2).toLongLong();
    info.users = q.value(3).toLongLong();
    info.groups = q.value(4).toLongLong();
    info.memberships = q.value(5).toLongLong();
    if (!q.exec(QStringLiteral("SELECT COUNT(*), COALESCE(SUM(pages), 0), "
                               "COALESCE(SUM(color_pages), 0), MIN(job_time), MAX(job_time) "
                               "FROM print_jobs"))
        || !q.next())
        return failed();
    info.jobs = q.value(0).toLongLong();
    info.pages = q.value(1).toLongLong();
    info.colorPages = q.value(2).toLongLong();
    info.firstJob = timeText(q.value(3));
    info.lastJob = timeText(q.value(4));
    return std::nullopt;
}

} // namespace kv6
