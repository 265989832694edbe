#include "dataaccess/datasettings.h"

#include "dataaccess/dataaccessglobal.h"
#include "dataaccess/dataconnection.h"

#include <QBuffer>

namespace kv6 {

namespace {

int &databaseTypeSlot()
{
    static int type = 0; // 0: not yet known
    return type;
}

int &defaultDecimalsSlot()
{
    static int decimals = 2;
    return decimals;
}

QString where(const DataConnection &c)
{
    return c.Source().description();
}

// Runs a list query; on failure the record set is left null.
DataResult list(
    DataConnection &c, const QString &sql, const QVariantList &params, RecordsetPtr &records)
{
    return c.ReportSQL(sql, params.isEmpty() ? QVariant() : QVariant(params), records);
}

// Appends "AND <column> = ?" for a value, nothing when it stands for all (a company of -1, an
// owner of 0).
void filterBy(QString &sql, QVariantList &params, const QString &column, int value, int all)
{
    if (value == all)
        return;
    sql += QStringLiteral(" AND %1 = ?").arg(column);
    params << value;
}

void companyFilter(QString &sql, QVariantList &params, const QString &column, int companyId)
{
    filterBy(sql, params, column, companyId, -1);
}

// The columns every printer-like list shares, after its id column.
const QString printerColumns = QStringLiteral(
    "p.name AS \"Name\", p.port AS \"Port\", p.color_device AS \"ColorDevice\", "
    "p.duplex_device AS \"DuplexDevice\", p.host AS \"Host\", "
    "p.manufacturer_model AS \"ManufacturerModel\", p.connection_type AS \"ConnectionType\", "
    "p.company_id AS \"CompanyId\", c.name AS \"CompanyName\"");

DataResult requireReady(const DataConnection &c)
{
    if (!c.IsReady())
        return DataError(dataErrNotOpen,
            QStringLiteral("%1 has not been opened and checked, so nothing is written to it.")
                .arg(where(c)));
    return std::nullopt;
}

// Text of a LIKE pattern that matches `text` anywhere, with its own wildcards taken literally.
QString containsPattern(const QString &text)
{
    QString escaped = text.toLower();
    escaped.replace(QLatin1Char('\\'), QLatin1String("\\\\"));
    escaped.replace(QLatin1Char('%'), QLatin1String("\\%"));
    escaped.replace(QLatin1Char('_'), QLatin1String("\\_"));
    return QLatin1Char('%') + escaped + QLatin1Char('%');
}

DataResult groupRecord(DataConnection &c, int groupId, RecordsetPtr &group)
{
    if (DataResult e
        = c.ReportSQL(QStringLiteral("SELECT group_id, object_type, name, owner_id, "
                                     "company_id FROM admin_groups WHERE group_id = ?"),
            QVariantList { groupId }, group))
        return e;
    if (group->RecordCount() == 0)
        return DataError(dataErrNotFound,
            QStringLiteral("There is no administration group %1 in %2.")
                .arg(groupId)
                .arg(where(c)));
    return std::nullopt;
}

// Runs `body` on an existing group inside a transaction of a checked connection.
template<typename F>
DataResult editGroup(DataConnection &c, int groupId, F body)
{
    if (DataResult e = requireReady(c))
        return e;
    return c.InTransaction([&]() -> DataResult {
        RecordsetPtr group;
        if (DataResult x = groupRecord(c, groupId, group))
            return x;
        return body(*group);
    });
}

// Refuses an empty name, or one another group of the same type and company already has.
DataResult checkGroupName(
    DataConnection &c, const QString &name, int objectType, int companyId, int exceptGroupId)
{
    if (name.isEmpty())
        return DataError(dataErrInvalid, QStringLiteral("An administration group needs a name."));
    QString sql = QStringLiteral("SELECT group_id, name FROM admin_groups WHERE object_type = ?");
    QVariantList params { objectType };
    if (companyId == -1)
        sql += QStringLiteral(" AND company_id IS NULL");
    else
        companyFilter(sql, params, QStringLiteral("company_id"), companyId);
    RecordsetPtr others;
    if (DataResult e = c.ReportSQL(sql, params, others))
        return e;
    for (int row = 0; row < others->RecordCount(); ++row) {
        if (others->ValueAt(row, 0).toInt() != exceptGroupId
            && others->ValueAt(row, 1).toString().compare(name, Qt::CaseInsensitive) == 0)
            return DataError(dataErrInvalid,
                QStringLiteral("There is already an administration group named \"%1\" in %2.")
                    .arg(others->ValueAt(row, 1).toString(), where(c)));
    }
    return std::nullopt;
}

QString objectWord(int objectType)
{
    return objectType == AdminObjectPrinter ? QStringLiteral("printer") : QStringLiteral("user");
}

} // namespace

AdminGroup::Member AdminGroup::GetMember(int position) const
{
    if (position < 1 || position > m_members.size())
        return {};
    return m_members.at(position - 1);
}

int DataSettings::DatabaseType()
{
    if (databaseTypeSlot() == 0)
        return ConfiguredDataSource().type;
    return databaseTypeSlot();
}

void DataSettings::SetDatabaseType(int type)
{
    databaseTypeSlot() = type;
}

int DataSettings::DefaultDecimals()
{
    return defaultDecimalsSlot();
}

DataResult DataSettings::GetPrinters(DataConnection &c, int companyId, RecordsetPtr &printers)
{
    QString sql = QStringLiteral("SELECT p.printer_id AS \"PrinterId\", ") + printerColumns
        + QStringLiteral(" FROM printers p JOIN companies c ON c.company_id = p.company_id "
                         "WHERE p.device_type = 0");
    QVariantList params;
    companyFilter(sql, params, QStringLiteral("p.company_id"), companyId);
    sql += QStringLiteral(" ORDER BY lower(p.name), p.printer_id");
    return list(c, sql, params, printers);
}

DataResult DataSettings::GetDevices(DataConnection &c, int deviceKind, bool orHigherKinds,
    const QString &filter, int companyId, RecordsetPtr &devices)
{
    QString sql = QStringLiteral("SELECT p.printer_id AS \"DeviceId\", p.device_type AS \"Type\", ")
        + printerColumns
        + QStringLiteral(" FROM printers p JOIN companies c ON c.company_id = p.company_id WHERE "
                         "p.device_type ")
        + (orHigherKinds ? QStringLiteral(">= ?") : QStringLiteral("= ?"));
    QVariantList params { deviceKind };
    if (!filter.trimmed().isEmpty()) {
        sql += QStringLiteral(" AND lower(p.name) LIKE ? ESCAPE '\\'");
        params << containsPattern(filter.trimmed());
    }
    companyFilter(sql, params, QStringLiteral("p.company_id"), companyId);
    sql += QStringLiteral(" ORDER BY lower(p.name), p.printer_id");
    return list(c, sql, params, devices);
}

DataResult DataSettings::GetUsers(DataConnection &c, int companyId, RecordsetPtr &users)
{
    QString sql = QStringLiteral(
        "SELECT u.user_id AS \"UserId\", COALESCE(u.display_name, u.user_name) AS "
        "\"DisplayName\", u.user_domain AS \"UserDomain\", u.company_id AS \"CompanyId\", "
        "c.name AS \"CompanyName\" FROM users u JOIN companies c ON c.company_id = u.company_id "
        "WHERE 1 = 1");
    QVariantList params;
    companyFilter(sql, params, QStringLiteral("u.company_id"), companyId);
    sql += QStringLiteral(" ORDER BY lower(COALESCE(u.display_name, u.user_name)), u.user_id");
    return list(c, sql, params, users);
}

DataResult DataSettings::GetCompanies(DataConnection &c, RecordsetPtr &companies)
{
    return list(c,
        QStringLiteral("SELECT company_id AS \"Id\", name AS \"Name\" FROM companies "
                       "ORDER BY lower(name), company_id"),
        {}, companies);
}

DataResult DataSettings::GetAdminGroups(
    DataConnection &c, int ownerId, int objectType, RecordsetPtr &groups)
{
    QString sql = QStringLiteral(
        "SELECT group_id AS \"GroupId\", name AS \"Name\", owner_id AS \"OwnerId\", "
        "company_id AS \"CompanyId\" FROM admin_groups WHERE object_type = ?");
    QVariantList params { objectType };
    filterBy(sql, params, QStringLiteral("owner_id"), ownerId, 0);
    sql += QStringLiteral(" ORDER BY lower(name), group_id");
    return list(c, sql, params, groups);
}

DataResult DataSettings::GetAdminGroupMembers(
    DataConnection &c, int ownerId, int objectType, RecordsetPtr &members)
{
    QString sql
        = QStringLiteral("SELECT m.object_id AS \"ObjectId\", g.owner_id AS \"OwnerId\", g.name AS "
                         "\"GroupName\", g.group_id AS \"GroupId\" FROM admin_group_members m "
                         "JOIN admin_groups g ON g.group_id = m.group_id WHERE g.object_type = ?");
    QVariantList params { objectType };
    filterBy(sql, params, QStringLiteral("g.owner_id"), ownerId, 0);
    sql += QStringLiteral(" ORDER BY m.object_id, g.group_id");
    return list(c, sql, params, members);
}

namespace {
DataResult companyGroups(DataConnection &c, int objectType, int companyId, RecordsetPtr &groups)
{
    QString sql = QStringLiteral("SELECT group_id AS \"GroupId\", name AS \"Name\" FROM "
                                 "admin_groups WHERE object_type = ?");
    QVariantList params { objectType };
    if (companyId != -1) {
        sql += QStringLiteral(" AND (company_id IS NULL OR company_id = ?)");
        params << companyId;
    }
    sql += QStringLiteral(" ORDER BY lower(name), group_id");
    return list(c, sql, params, groups);
}
} // namespace

DataResult DataSettings::GetAdminPrinterGroups(
    DataConnection &c, int companyId, RecordsetPtr &groups)
{
    return companyGroups(c, AdminObjectPrinter, companyId, groups);
}

DataResult DataSettings::GetAdminUserGroups(DataConnection &c, int companyId, RecordsetPtr &groups)
{
    return companyGroups(c, AdminObjectUser, companyId, groups);
}

DataResult DataSettings::LoadAdminGroup(DataConnection &c, int groupId, AdminGroup &group)
{
    group = AdminGroup();
    RecordsetPtr head;
    if (DataResult e = groupRecord(c, groupId, head))
        return e;
    AdminGroup loaded;
    loaded.m_id = groupId;
    loaded.m_objectType = head->Value(1).toInt();
    loaded.m_name = head->Value(2).toString();
    loaded.m_ownerId = head->Value(3).toInt();
    loaded.m_companyId = head->Value(4).isValid() ? head->Value(4).toInt() : -1;
    // Members whose printer or user has since been deleted keep their id and an empty name.
    const QString sql = loaded.m_objectType == AdminObjectPrinter
        ? QStringLiteral("SELECT m.object_id, p.name FROM admin_group_members m "
                         "LEFT JOIN printers p ON p.printer_id = m.object_id "
                         "WHERE m.group_id = ? ORDER BY lower(p.name), m.object_id")
        : QStringLiteral("SELECT m.object_id, COALESCE(u.display_name, u.user_name) "
                         "FROM admin_group_members m LEFT JOIN users u ON u.user_id = m.object_id "
                         "WHERE m.group_id = ? "
                         "ORDER BY lower(COALESCE(u.display_name, u.user_name)), m.object_id");
    RecordsetPtr members;
    if (DataResult e = c.ReportSQL(sql, QVariantList { groupId }, members))
        return e;
    loaded.m_members.reserve(members->RecordCount());
    for (int row = 0; row < members->RecordCount(); ++row)
        loaded.m_members.append(
            { members->ValueAt(row, 0).toInt(), members->ValueAt(row, 1).toString() });
    group = std::move(loaded);
    return std::nullopt;
}

DataResult DataSettings::CreateAdminGroup(DataConnection &c, int objectType, const QString &rawName,
    int companyId, int ownerId, int &groupId)
{
    groupId = 0;
    if (DataResult e = requireReady(c))
        return e;
    if (objectType != AdminObjectPrinter && objectType != AdminObjectUser)
        return DataError(dataErrInvalid,
            QStringLiteral("%1 is not a kind of administration group.").arg(objectType));
    const QString name = rawName.trimmed();
    int newId = 0;
    DataResult e = c.InTransaction([&]() -> DataResult {
        if (companyId != -1) {
            RecordsetPtr company;
            if (DataResult x
                = c.ReportSQL(QStringLiteral("SELECT 1 FROM companies WHERE company_id = ?"),
                    QVariantList { companyId }, company))
                return x;
            if (company->RecordCount() == 0)
                return DataError(dataErrNotFound,
                    QStringLiteral("There is no company %1 in %2.").arg(companyId).arg(where(c)));
        }
        if (DataResult x = checkGroupName(c, name, objectType, companyId, 0))
            return x;
        RecordsetPtr inserted;
        if (DataResult x = c.ReportSQL(
                QStringLiteral("INSERT INTO admin_groups (object_type, name, owner_id, company_id) "
                               "VALUES (?, ?, ?, ?) RETURNING group_id"),
                QVariantList { objectType, name, ownerId,
                    companyId == -1 ? QVariant(QMetaType(QMetaType::Int)) : QVariant(companyId) },
                inserted))
            return x;
        newId = inserted->RecordCount() ? inserted->ValueAt(0, 0).toInt() : 0;
        return std::nullopt;
    });
    if (!e)
        groupId = newId;
    return e;
}

DataResult DataSettings::RenameAdminGroup(DataConnection &c, int groupId, const QString &rawName)
{
    const QString name = rawName.trimmed();
    return editGroup(c, groupId, [&](Recordset &group) -> DataResult {
        const int companyId = group.Value(4).isValid() ? group.Value(4).toInt() : -1;
        if (DataResult x = checkGroupName(c, name, group.Value(1).toInt(), companyId, groupId))
            return x;
        return c.Execute(QStringLiteral("UPDATE admin_groups SET name = ? WHERE group_id = ?"),
            { name, groupId });
    });
}

DataResult DataSettings::DeleteAdminGroup(DataConnection &c, int groupId)
{
    return editGroup(c, groupId, [&](Recordset &) -> DataResult {
        if (DataResult x = c.Execute(
                QStringLiteral("DELETE FROM admin_group_members WHERE group_id = ?"), { groupId }))
            return x;
        return c.Execute(
            QStringLiteral("DELETE FROM admin_groups WHERE group_id = ?"), { groupId });
    });
}

DataResult DataSettings::AddAdminGroupMember(DataConnection &c, int groupId, int objectId)
{
    return editGroup(c, groupId, [&](Recordset &group) -> DataResult {
        const int objectType = group.Value(1).toInt();
        const QVariant groupCompany = group.Value(4);
        RecordsetPtr object;
        if (DataResult x = c.ReportSQL(objectType == AdminObjectPrinter
                    ? QStringLiteral("SELECT company_id FROM printers WHERE printer_id = ?")
                    : QStringLiteral("SELECT company_id FROM users WHERE user_id = ?"),
                QVariantList { objectId }, object))
            return x;
        if (object->RecordCount() == 0)
            return DataError(dataErrNotFound,
                QStringLiteral("There is no %1 %2 in %3.")
                    .arg(objectWord(objectType))
                    .arg(objectId)
                    .arg(where(c)));
        if (groupCompany.isValid() && object->ValueAt(0, 0).toInt() != groupCompany.toInt())
            return DataError(dataErrInvalid,
                QStringLiteral("The %1 %2 belongs to another company than the group \"%3\".")
                    .arg(objectWord(objectType))
                    .arg(objectId)
                    .arg(group.Value(2).toString()));
        RecordsetPtr existing;
        if (DataResult x = c.ReportSQL(QStringLiteral("SELECT 1 FROM admin_group_members "
                                                      "WHERE group_id = ? AND object_id = ?"),
                QVariantList { groupId, objectId }, existing))
            return x;
        if (existing->RecordCount() > 0)
            return std::nullopt;
        return c.Execute(
            QStringLiteral("INSERT INTO admin_group_members (group_id, object_id) VALUES (?, ?)"),
            { groupId, objectId });
    });
}

DataResult DataSettings::RemoveAdminGroupMember(DataConnection &c, int groupId, int objectId)
{
    return editGroup(c, groupId, [&](Recordset &) -> DataResult {
        return c.Execute(
            QStringLiteral("DELETE FROM admin_group_members WHERE group_id = ? AND object_id = ?"),
            { groupId, objectId });
    });
}

namespace {
const QString keyDecimals = QStringLiteral("DefaultDecimals");
const QString keyLogo = QStringLiteral("ReportLogo");
const QString keyServer = QStringLiteral("MailServer");
const QString keyPort = QStringLiteral("MailPort");
const QString keyUser = QStringLiteral("MailUserName");
const QString keyPassword = QStringLiteral("MailPassword");
} // namespace

DataResult DataSettings::GetSuiteSettings(DataConnection &c, SuiteSettings &settings)
{
    settings = SuiteSettings();
    RecordsetPtr rows;
    if (DataResult e
        = list(c, QStringLiteral("SELECT name, value, data FROM suite_settings"), {}, rows))
        return e;
    SuiteSettings read;
    for (int row = 0; row < rows->RecordCount(); ++row) {
        const QString name = rows->ValueAt(row, 0).toString();
        const QString value = rows->ValueAt(row, 1).toString();
        bool ok = false;
        if (name.compare(keyDecimals, Qt::CaseInsensitive) == 0) {
            const int n = value.toInt(&ok);
            if (ok)
                read.SetDefaultDecimals(n);
        } else if (name.compare(keyPort, Qt::CaseInsensitive) == 0) {
            const int n = value.toInt(&ok);
            if (ok)
                read.SetMailPort(n);
        } else if (name.compare(keyServer, Qt::CaseInsensitive) == 0) {
            read.SetMailServer(value);
        } else if (name.compare(keyUser, Qt::CaseInsensitive) == 0) {
            read.SetMailUserName(value);
        } else if (name.compare(keyPassword, Qt::CaseInsensitive) == 0) {
            read.SetMailPassword(value);
        } else if (name.compare(keyLogo, Qt::CaseInsensitive) == 0) {
            const QByteArray data = rows->ValueAt(row, 2).toByteArray();
            if (data.isEmpty())
                continue;
            QImage logo;
            if (!logo.loadFromData(data))
                return DataError(dataErrInvalid,
                    QStringLiteral("The report logo kept in %1 is not a picture.").arg(where(c)));
            read.SetReportLogo(logo);
        }
    }
    settings = read;
    defaultDecimalsSlot() = settings.DefaultDecimals();
    return std::nullopt;
}

DataResult DataSettings::SaveSuiteSettings(DataConnection &c, const SuiteSettings &settings)
{
    if (DataResult e = requireReady(c))
        return e;
    if (settings.DefaultDecimals() < 0 || settings.DefaultDecimals() > 9)
        return DataError(dataErrInvalid,
            QStringLiteral("The default number of decimals must be from 0 to 9, not %1.")
                .arg(settings.DefaultDecimals()));
    if (settings.MailPort() < 1 || settings.MailPort() > 65535)
        return DataError(dataErrInvalid,
            QStringLiteral("The mail server port must be from 1 to 65535, not %1.")
                .arg(settings.MailPort()));
    QByteArray logo;
    if (settings.HasReportLogo()) {
        QBuffer buffer(&logo);
        buffer.open(QIODevice::WriteOnly);
        if (!settings.ReportLogo().save(&buffer, "PNG"))
            return DataError(
                dataErrInvalid, QStringLiteral("The report logo cannot be stored as a picture."));
    }
    const QList<QPair<QString, QString>> texts = {
        { keyDecimals, QString::number(settings.DefaultDecimals()) },
        { keyServer, settings.MailServer().trimmed() },
        { keyPort, QString::number(settings.MailPort()) },
        { keyUser, settings.MailUserName() },
        { keyPassword, settings.MailPassword() },
    };
    DataResult e = c.InTransaction([&]() -> DataResult {
        for (const auto &[name, value] : texts) {
            if (DataResult x = c.Execute(
                    QStringLiteral("DELETE FROM suite_settings WHERE lower(name) = lower(?)"),
                    { name }))
                return x;
            if (DataResult x = c.Execute(
                    QStringLiteral("INSERT INTO suite_settings (name, value) VALUES (?, ?)"),
                    { name, value }))
                return x;
        }
        if (DataResult x
            = c.Execute(QStringLiteral("DELETE FROM suite_settings WHERE lower(name) = lower(?)"),
                { keyLogo }))
            return x;
        if (logo.isEmpty())
            return std::nullopt;
        return c.Execute(QStringLiteral("INSERT INTO suite_settings (name, data) VALUES (?, ?)"),
            { keyLogo, logo });
    });
    if (!e)
        defaultDecimalsSlot() = settings.DefaultDecimals();
    return e;
}

} // namespace kv6
