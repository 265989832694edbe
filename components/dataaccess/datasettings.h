#pragma once

// The suite's lists and settings as the program reads them, and the administration groups it
// edits. Every list is an open record set with the field names given here; every operation
// hands back a DataResult (nothing on success) and leaves a null record set on failure.
// A company id of -1 means all companies.
//
// Administration groups are kept per object type: printers (1, which includes copiers and other
// devices) and users (0). A group belongs to one company, or to the whole suite (company Null),
// and carries the id of its owner; when an object is in several groups, callers prefer the group
// of the highest owner id.

#include "dataaccess/dataerror.h"
#include "recordset/recordset.h"

#include <QImage>
#include <QList>
#include <QString>

namespace kv6 {

class DataConnection;

inline constexpr int AdminObjectUser = 0;
inline constexpr int AdminObjectPrinter = 1;

// One administration group with its members, loaded by id.
class AdminGroup
{
public:
    struct Member
    {
        int id = 0;
        QString name; // display name of the user, or printer name
    };

    int Id() const { return m_id; }
    QString Name() const { return m_name; }
    int ObjectType() const { return m_objectType; }
    int OwnerId() const { return m_ownerId; }
    // -1 for a group of the whole suite.
    int CompanyId() const { return m_companyId; }
    int MemberCount() const { return int(m_members.size()); }
    // Positions are 1-based; out of range gives an empty member (id 0).
    Member GetMember(int position) const;
    int MemberId(int position) const { return GetMember(position).id; }
    const QList<Member> &Members() const { return m_members; }

private:
    friend class DataSettings;
    int m_id = 0;
    QString m_name;
    int m_objectType = AdminObjectUser;
    int m_ownerId = 0;
    int m_companyId = -1;
    QList<Member> m_members;
};

// The suite-wide settings kept in the database.
class SuiteSettings
{
public:
    int DefaultDecimals() const { return m_defaultDecimals; }
    void SetDefaultDecimals(int decimals) { m_defaultDecimals = decimals; }
    // A null image when the suite has no logo of its own.
    QImage ReportLogo() const { return m_reportLogo; }
    void SetReportLogo(const QImage &logo) { m_reportLogo = logo; }
    bool HasReportLogo() const { return !m_reportLogo.isNull(); }
    QString MailServer() const { return m_mailServer; }
    void SetMailServer(const QString &server) { m_mailServer = server; }
    int MailPort() const { return m_mailPort; }
    void SetMailPort(int port) { m_mailPort = port; }
    QString MailUserName() const { return m_mailUserName; }
    void SetMailUserName(const QString &name) { m_mailUserName = name; }
    QString MailPassword() const { return m_mailPassword; }
    void SetMailPassword(const QString &password) { m_mailPassword = password; }
    // The setting a report cannot be scheduled without: scheduled results are delivered by mail,
    // so it is the mail server; empty means delivery has not been set up.
    QString DeliverySetting() const { return m_mailServer; }

private:
    int m_defaultDecimals = 2;
    QImage m_reportLogo;
    QString m_mailServer;
    int m_mailPort = 25;
    QString m_mailUserName;
    QString m_mailPassword;
};

class DataSettings
{
public:
    // The type of the database in use: 1 SQLite, anything else PostgreSQL. It follows the last
    // connection opened through OpenDataConnection; before that, the configured data source.
    static int DatabaseType();
    static void SetDatabaseType(int type);

    // The default number of decimals for new reports and proposals: the suite's setting as last
    // read by GetSuiteSettings, 2 before that.
    static int DefaultDecimals();

    // "PrinterId", "Name", "Port", "ColorDevice", "DuplexDevice", "Host", "ManufacturerModel",
    // "ConnectionType", "CompanyId", "CompanyName": the ordinary printers (device type 0), by
    // name.
    static DataResult GetPrinters(DataConnection &c, int companyId, RecordsetPtr &printers);
    // "DeviceId", "Type" and the printer fields: devices of the given device type (enumeration
    // 17), or with orHigherKinds of that type and every type above it, so (1, true) lists every
    // device that is not an ordinary printer. A non-empty filter keeps the devices whose name
    // contains it (without regard to case).
    static DataResult GetDevices(DataConnection &c, int deviceKind, bool orHigherKinds,
        const QString &filter, int companyId, RecordsetPtr &devices);
    // "UserId", "DisplayName", "UserDomain", "CompanyId", "CompanyName", by display name. A user
    // without a display name shows the login name.
    static DataResult GetUsers(DataConnection &c, int companyId, RecordsetPtr &users);
    // "Id", "Name", by name.
    static DataResult GetCompanies(DataConnection &c, RecordsetPtr &companies);

    // The administration groups of the suite of one object type: "GroupId", "Name", "OwnerId",
    // "CompanyId", by name. ownerId 0 lists the groups of every owner, another value only that
    // owner's.
    static DataResult GetAdminGroups(
        DataConnection &c, int ownerId, int objectType, RecordsetPtr &groups);
    // One record per membership: "ObjectId", "OwnerId", "GroupName", "GroupId"; ownerId as above.
    static DataResult GetAdminGroupMembers(
        DataConnection &c, int ownerId, int objectType, RecordsetPtr &members);
    // The groups a company's reports may choose from: its own and the suite-wide ones. "GroupId",
    // "Name", by name.
    static DataResult GetAdminPrinterGroups(DataConnection &c, int companyId, RecordsetPtr &groups);
    static DataResult GetAdminUserGroups(DataConnection &c, int companyId, RecordsetPtr &groups);
    // dataErrNotFound for an id that does not exist.
    static DataResult LoadAdminGroup(DataConnection &c, int groupId, AdminGroup &group);

    // Editing administration groups. Names are trimmed, must not be empty and must be unique
    // (without regard to case) among the groups of the same object type and company. Members must
    // be printers or devices (type 1) or users (type 0) that exist. Each call is one transaction
    // and needs a connection whose schema was checked (DataConnection::IsReady).
    static DataResult CreateAdminGroup(DataConnection &c, int objectType, const QString &name,
        int companyId, int ownerId, int &groupId);
    static DataResult RenameAdminGroup(DataConnection &c, int groupId, const QString &name);
    static DataResult DeleteAdminGroup(DataConnection &c, int groupId);
    // Adding a member twice or removing one that is not there changes nothing.
    static DataResult AddAdminGroupMember(DataConnection &c, int groupId, int objectId);
    static DataResult RemoveAdminGroupMember(DataConnection &c, int groupId, int objectId);

    // Reading updates the process-wide DefaultDecimals. A stored logo that is not a picture is an
    // error; a missing one leaves ReportLogo null.
    static DataResult GetSuiteSettings(DataConnection &c, SuiteSettings &settings);
    static DataResult SaveSuiteSettings(DataConnection &c, const SuiteSettings &settings);
};

} // namespace kv6
