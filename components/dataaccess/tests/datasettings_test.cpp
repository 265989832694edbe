#include "dataaccess/datasettings.h"
#include "dataaccess/schema.h"
#include "enginetest.h"
#include "recordset/fieldvalue.h"

#include <QImage>

using namespace kv6;

namespace {

QStringList fieldNames(const Recordset &rs)
{
    QStringList names;
    for (const FieldInfo &f : rs.Fields())
        names << f.name;
    return names;
}

// One column of every row, in record set order.
QVariantList column(const Recordset &rs, const QString &field)
{
    QVariantList values;
    const int index = rs.FieldIndex(field);
    for (int row = 0; row < rs.RecordCount(); ++row)
        values << rs.ValueAt(row, index);
    return values;
}

const QStringList printerFields = { QStringLiteral("Name"), QStringLiteral("Port"),
    QStringLiteral("ColorDevice"), QStringLiteral("DuplexDevice"), QStringLiteral("Host"),
    QStringLiteral("ManufacturerModel"), QStringLiteral("ConnectionType"),
    QStringLiteral("CompanyId"), QStringLiteral("CompanyName") };

} // namespace

class DataSettingsTest : public kv6test::SuiteTest
{
protected:
    int makeGroup(
        int type, const QString &name, int company, int owner = 0, QList<int> members = {})
    {
        return kv6test::addAdminGroup(*connection, type, name, company, owner, members);
    }
};
KV6_ENGINES(DataSettingsTest);

TEST_P(DataSettingsTest, PrintersOfACompanyOrOfAll)
{
    RecordsetPtr rs;
    ASSERT_FALSE(DataSettings::GetPrinters(*connection, 1, rs));
    EXPECT_EQ(fieldNames(*rs), QStringList { QStringLiteral("PrinterId") } + printerFields);
    // Ordinary printers only, by name without regard to case.
    EXPECT_EQ(column(*rs, QStringLiteral("PrinterId")), (QVariantList { 11, 10 }));

    // Front: Null host and model stay Null, and read as empty through FieldValue.
    ASSERT_TRUE(rs->Find(QStringLiteral("PrinterId = 10")));
    EXPECT_FALSE(rs->Value(QStringLiteral("Host")).isValid());
    EXPECT_EQ(FieldValue(rs->GetField(QStringLiteral("ManufacturerModel"))).toString(), QString());
    EXPECT_EQ(rs->Value(QStringLiteral("ColorDevice")), QVariant(true));
    EXPECT_EQ(rs->Value(QStringLiteral("ConnectionType")).toInt(), 4);
    EXPECT_EQ(rs->Value(QStringLiteral("CompanyName")).toString(), QStringLiteral("Acme"));

    ASSERT_FALSE(DataSettings::GetPrinters(*connection, -1, rs));
    EXPECT_EQ(column(*rs, QStringLiteral("PrinterId")), (QVariantList { 11, 10, 20 }));
    ASSERT_FALSE(DataSettings::GetPrinters(*connection, 7, rs));
    EXPECT_EQ(rs->RecordCount(), 0);
    EXPECT_EQ(rs->FieldCount(), 10); // an empty list still has its fields
}

TEST_P(DataSettingsTest, DevicesByKindAndFilter)
{
    RecordsetPtr rs;
    ASSERT_FALSE(DataSettings::GetDevices(*connection, 1, true, QString(), 1, rs));
    EXPECT_EQ(fieldNames(*rs),
        QStringList({ QStringLiteral("DeviceId"), QStringLiteral("Type") }) + printerFields);
    EXPECT_EQ(column(*rs, QStringLiteral("DeviceId")), (QVariantList { 12, 13 }));
    EXPECT_EQ(column(*rs, QStringLiteral("Type")), (QVariantList { 1, 2 }));

    struct Row
    {
        int kind;
        bool higher;
        const char *filter;
        int company;
        QVariantList ids;
    };
    const Row rows[] = {
        { 1, false, "", 1, { 12 } }, // exactly copiers
        { 2, true, "", -1, { 13 } },
        { 1, true, "mfd", 1, { 13 } }, // the filter ignores case
        { 1, true, "%", 1, {} }, // and takes wildcards literally
        { 1, true, "", 2, {} }, // Birch has no devices
        { 0, true, "", 2, { 20 } },
    };
    for (const Row &r : rows) {
        ASSERT_FALSE(DataSettings::GetDevices(
            *connection, r.kind, r.higher, QString::fromLatin1(r.filter), r.company, rs));
        EXPECT_EQ(column(*rs, QStringLiteral("DeviceId")), r.ids) << r.kind << r.filter;
    }
}

TEST_P(DataSettingsTest, UsersAndCompanies)
{
    RecordsetPtr rs;
    ASSERT_FALSE(DataSettings::GetUsers(*connection, 1, rs));
    EXPECT_EQ(fieldNames(*rs),
        QStringList(
            { QStringLiteral("UserId"), QStringLiteral("DisplayName"), QStringLiteral("UserDomain"),
                QStringLiteral("CompanyId"), QStringLiteral("CompanyName") }));
    EXPECT_EQ(column(*rs, QStringLiteral("UserId")), (QVariantList { 100, 101 }));
    // A user without a display name shows the login name; the missing domain stays Null.
    EXPECT_EQ(column(*rs, QStringLiteral("DisplayName")),
        (QVariantList { QStringLiteral("Ann Smith"), QStringLiteral("bob") }));
    EXPECT_FALSE(column(*rs, QStringLiteral("UserDomain")).at(1).isValid());
    ASSERT_FALSE(DataSettings::GetUsers(*connection, -1, rs));
    EXPECT_EQ(rs->RecordCount(), 3);

    ASSERT_FALSE(DataSettings::GetCompanies(*connection, rs));
    EXPECT_EQ(fieldNames(*rs), QStringList({ QStringLiteral("Id"), QStringLiteral("Name") }));
    EXPECT_EQ(column(*rs, QStringLiteral("Name")),
        (QVariantList { QStringLiteral("Acme"), QStringLiteral("Birch") }));
}

TEST_P(DataSettingsTest, GroupsAndMembershipsByOwnerAndKind)
{
    makeGroup(AdminObjectPrinter, QStringLiteral("Floor 2"), 1, 1, { 10, 11 });
    makeGroup(AdminObjectPrinter, QStringLiteral("Sales"), 1, 5, { 10 });
    makeGroup(AdminObjectPrinter, QStringLiteral("Admins"), 1, 5, { 10 });
    makeGroup(AdminObjectUser, QStringLiteral("Staff"), -1, 0, { 200 });

    RecordsetPtr groups, members;
    ASSERT_FALSE(DataSettings::GetAdminGroups(*connection, 0, AdminObjectPrinter, groups));
    EXPECT_EQ(column(*groups, QStringLiteral("Name")),
        (QVariantList {
            QStringLiteral("Admins"), QStringLiteral("Floor 2"), QStringLiteral("Sales") }));
    ASSERT_FALSE(DataSettings::GetAdminGroupMembers(*connection, 0, AdminObjectPrinter, members));
    for (const char *f : { "ObjectId", "OwnerId", "GroupName" })
        EXPECT_TRUE(members->HasField(QString::fromLatin1(f))) << f;
    EXPECT_EQ(members->RecordCount(), 4);

    // An owner other than 0 narrows both lists; users are kept apart from printers.
    ASSERT_FALSE(DataSettings::GetAdminGroupMembers(*connection, 1, AdminObjectPrinter, members));
    EXPECT_EQ(column(*members, QStringLiteral("ObjectId")), (QVariantList { 10, 11 }));
    ASSERT_FALSE(DataSettings::GetAdminGroupMembers(*connection, 0, AdminObjectUser, members));
    EXPECT_EQ(column(*members, QStringLiteral("ObjectId")), (QVariantList { 200 }));
    EXPECT_EQ(
        column(*members, QStringLiteral("GroupName")), (QVariantList { QStringLiteral("Staff") }));
}

TEST_P(DataSettingsTest, CompanyGroupListsIncludeSuiteWideGroups)
{
    const int suite = makeGroup(AdminObjectPrinter, QStringLiteral("Everywhere"), -1);
    const int acme = makeGroup(AdminObjectPrinter, QStringLiteral("Acme floor"), 1);
    const int birch = makeGroup(AdminObjectPrinter, QStringLiteral("Birch floor"), 2);
    const int users = makeGroup(AdminObjectUser, QStringLiteral("Acme staff"), 1);
    RecordsetPtr rs;
    ASSERT_FALSE(DataSettings::GetAdminPrinterGroups(*connection, 1, rs));
    EXPECT_EQ(fieldNames(*rs), QStringList({ QStringLiteral("GroupId"), QStringLiteral("Name") }));
    EXPECT_EQ(column(*rs, QStringLiteral("GroupId")), (QVariantList { acme, suite }));
    ASSERT_FALSE(DataSettings::GetAdminPrinterGroups(*connection, -1, rs));
    EXPECT_EQ(column(*rs, QStringLiteral("GroupId")), (QVariantList { acme, birch, suite }));
    ASSERT_FALSE(DataSettings::GetAdminUserGroups(*connection, 1, rs));
    EXPECT_EQ(column(*rs, QStringLiteral("GroupId")), (QVariantList { users }));
    ASSERT_FALSE(DataSettings::GetAdminUserGroups(*connection, 2, rs));
    EXPECT_EQ(rs->RecordCount(), 0);
}

TEST_P(DataSettingsTest, OneGroupByIdWithItsMembers)
{
    // A member added twice is there once.
    const int id
        = makeGroup(AdminObjectUser, QStringLiteral(" Managers "), 1, 3, { 101, 100, 100 });
    AdminGroup group;
    ASSERT_FALSE(DataSettings::LoadAdminGroup(*connection, id, group));
    EXPECT_EQ(group.Name(), QStringLiteral("Managers"));
    EXPECT_EQ(group.OwnerId(), 3);
    EXPECT_EQ(group.CompanyId(), 1);
    ASSERT_EQ(group.MemberCount(), 2);
    EXPECT_EQ(group.MemberId(1), 100);
    EXPECT_EQ(group.GetMember(1).name, QStringLiteral("Ann Smith"));
    EXPECT_EQ(group.MemberId(2), 101);
    EXPECT_EQ(group.MemberId(3), 0);
    EXPECT_EQ(group.MemberId(0), 0);

    ASSERT_FALSE(DataSettings::RemoveAdminGroupMember(*connection, id, 100));
    ASSERT_FALSE(DataSettings::LoadAdminGroup(*connection, id, group));
    EXPECT_EQ(group.MemberCount(), 1);

    EXPECT_TRUE(kv6test::failsWith(DataSettings::LoadAdminGroup(*connection, id + 100, group),
        dataErrNotFound, { source.description() }));
    EXPECT_EQ(group.MemberCount(), 0);
}

TEST_P(DataSettingsTest, GroupEditsAreCheckedAndAtomic)
{
    const int front = makeGroup(AdminObjectPrinter, QStringLiteral("Front desk"), 1, 0, { 10 });
    int id = 0;
    struct Refused
    {
        int type;
        const char *name;
        int company;
        int number;
    };
    const Refused refused[] = {
        { AdminObjectPrinter, "FRONT DESK", 1, dataErrInvalid }, // names ignore case
        { AdminObjectPrinter, "   ", 1, dataErrInvalid },
        { AdminObjectPrinter, "Elsewhere", 9, dataErrNotFound },
        { 7, "Odd", 1, dataErrInvalid },
    };
    for (const Refused &r : refused) {
        EXPECT_TRUE(kv6test::failsWith(DataSettings::CreateAdminGroup(*connection, r.type,
                                           QString::fromLatin1(r.name), r.company, 0, id),
            r.number))
            << r.name;
        EXPECT_EQ(id, 0);
    }
    // The same name is free for users, and in another company.
    makeGroup(AdminObjectUser, QStringLiteral("Front desk"), 1);
    const int birch = makeGroup(AdminObjectPrinter, QStringLiteral("Front desk"), 2);

    // Renaming: to its own name in other letters is fine, to a sibling's name is not.
    EXPECT_FALSE(DataSettings::RenameAdminGroup(*connection, front, QStringLiteral("FRONT desk")));
    const int back = makeGroup(AdminObjectPrinter, QStringLiteral("Back"), 1);
    EXPECT_TRUE(kv6test::failsWith(
        DataSettings::RenameAdminGroup(*connection, back, QStringLiteral("front DESK")), 0,
        { QStringLiteral("FRONT desk") }));

    // Members must exist, be of the group's kind and of its company (100 is a user, not a printer).
    EXPECT_TRUE(kv6test::failsWith(
        DataSettings::AddAdminGroupMember(*connection, front, 100), dataErrNotFound));
    EXPECT_TRUE(kv6test::failsWith(
        DataSettings::AddAdminGroupMember(*connection, birch, 10), dataErrInvalid));

    ASSERT_FALSE(DataSettings::DeleteAdminGroup(*connection, front));
    RecordsetPtr rs;
    ASSERT_FALSE(DataSettings::GetAdminGroupMembers(*connection, 0, AdminObjectPrinter, rs));
    EXPECT_EQ(rs->RecordCount(), 0);
    EXPECT_TRUE(
        kv6test::failsWith(DataSettings::DeleteAdminGroup(*connection, front), dataErrNotFound));
}

TEST_P(DataSettingsTest, SuiteSettingsRoundTrip)
{
    SuiteSettings s;
    ASSERT_FALSE(DataSettings::GetSuiteSettings(*connection, s));
    // A fresh database: two decimals, port 25, no mail server, so scheduling is not set up.
    EXPECT_EQ(s.DefaultDecimals(), 2);
    EXPECT_EQ(s.MailPort(), 25);
    EXPECT_TRUE(s.DeliverySetting().isEmpty());
    EXPECT_FALSE(s.HasReportLogo());

    QImage logo(40, 20, QImage::Format_ARGB32);
    logo.fill(QColor(10, 120, 200));
    logo.setPixelColor(3, 4, Qt::red);
    s.SetDefaultDecimals(3);
    s.SetMailServer(QStringLiteral("smtp.acme.example"));
    s.SetMailPort(587);
    s.SetMailUserName(QStringLiteral("reports"));
    s.SetMailPassword(QStringLiteral(" p%PATH%w \\ "));
    s.SetReportLogo(logo);
    ASSERT_FALSE(DataSettings::SaveSuiteSettings(*connection, s));

    SuiteSettings back;
    ASSERT_FALSE(DataSettings::GetSuiteSettings(*connection, back));
    EXPECT_EQ(back.DefaultDecimals(), 3);
    EXPECT_EQ(DataSettings::DefaultDecimals(), 3);
    EXPECT_EQ(back.MailServer(), QStringLiteral("smtp.acme.example"));
    EXPECT_EQ(back.DeliverySetting(), back.MailServer());
    EXPECT_EQ(back.MailPort(), 587);
    EXPECT_EQ(back.MailUserName(), QStringLiteral("reports"));
    EXPECT_EQ(back.MailPassword(), s.MailPassword());
    ASSERT_TRUE(back.HasReportLogo());
    EXPECT_EQ(back.ReportLogo().convertToFormat(QImage::Format_ARGB32), logo);

    // Removing the logo, and a value out of range that changes nothing.
    back.SetReportLogo(QImage());
    ASSERT_FALSE(DataSettings::SaveSuiteSettings(*connection, back));
    back.SetMailPort(0);
    back.SetMailServer(QStringLiteral("other"));
    EXPECT_TRUE(
        kv6test::failsWith(DataSettings::SaveSuiteSettings(*connection, back), dataErrInvalid));
    ASSERT_FALSE(DataSettings::GetSuiteSettings(*connection, s));
    EXPECT_FALSE(s.HasReportLogo());
    EXPECT_EQ(s.MailServer(), QStringLiteral("smtp.acme.example"));
    EXPECT_EQ(s.MailPort(), 587);
}

TEST_P(DataSettingsTest, StoredLogoThatIsNotAPictureIsAnError)
{
    ASSERT_FALSE(connection->Execute(
        QStringLiteral("INSERT INTO suite_settings (name, data) VALUES ('ReportLogo', ?)"),
        { QByteArray("certainly not a picture") }));
    SuiteSettings s;
    EXPECT_TRUE(kv6test::failsWith(DataSettings::GetSuiteSettings(*connection, s), 0,
        { QStringLiteral("report logo"), source.description() }));
}

// Writes only reach a database that opened and passed its schema check.
TEST_P(DataSettingsTest, NothingIsWrittenWithoutACleanConnection)
{
    SuiteSettings s;
    s.SetMailServer(QStringLiteral("smtp.example"));
    int id = 0;

    // Never opened: lists fail and hand back no record set.
    {
        DataConnection idle(source);
        RecordsetPtr rs = Recordset::Create();
        EXPECT_TRUE(kv6test::failsWith(DataSettings::GetPrinters(idle, 1, rs), dataErrNotOpen));
        EXPECT_FALSE(rs);
        EXPECT_TRUE(DataSettings::SaveSuiteSettings(idle, s));
    }
    // Opened, but its schema claims a newer program: Setup refuses, and so do the writers.
    ASSERT_FALSE(connection->Execute(
        QStringLiteral("UPDATE schema_info SET value = ? WHERE name = 'SchemaVersion'"),
        { QString::number(CurrentSchemaVersion + 1) }));
    {
        DataConnection newer(source);
        ASSERT_FALSE(newer.Open(false));
        QVariant version;
        ASSERT_TRUE(newer.Setup(version));
        EXPECT_FALSE(newer.IsReady());
        EXPECT_TRUE(kv6test::failsWith(DataSettings::CreateAdminGroup(newer, AdminObjectPrinter,
                                           QStringLiteral("G"), 1, 0, id),
            0, { source.description() }));
        EXPECT_TRUE(DataSettings::SaveSuiteSettings(newer, s));
    }
    ASSERT_FALSE(connection->Execute(
        QStringLiteral("UPDATE schema_info SET value = ? WHERE name = 'SchemaVersion'"),
        { QString::number(CurrentSchemaVersion) }));
    SuiteSettings back;
    ASSERT_FALSE(DataSettings::GetSuiteSettings(*connection, back));
    EXPECT_TRUE(back.MailServer().isEmpty());
    RecordsetPtr groups;
    ASSERT_FALSE(DataSettings::GetAdminGroups(*connection, 0, AdminObjectPrinter, groups));
    EXPECT_EQ(groups->RecordCount(), 0);
}
