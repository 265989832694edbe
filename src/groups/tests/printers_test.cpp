#include "groups/printers.h"

#include "base/dialogs.h"
#include "recordset/recordset.h"

#include "enginetest.h"

#include <gtest/gtest.h>

using namespace kv6;

namespace {

RecordsetPtr printerRecords()
{
    auto rs = Recordset::Create();
    for (const char *f : { "PrinterId", "Name", "Port", "ColorDevice", "DuplexDevice", "Host",
             "ManufacturerModel", "ConnectionType", "CompanyId", "CompanyName" })
        rs->AppendField(f, QByteArray(f).endsWith("Device") ? adBoolean : adVarWChar);
    rs->Open();
    rs->AppendRow(
        { 4, "  Front desk  ", "IP_10.0.0.4", true, false, QVariant(), QVariant(), 2, 1, "Acme" });
    rs->AppendRow(
        { 9, "Back office", QVariant(), false, true, "srv1", " HP LaserJet 4 ", 1, 1, QVariant() });
    return rs;
}

RecordsetPtr deviceRecords()
{
    auto rs = Recordset::Create();
    for (const char *f : { "DeviceId", "Type", "Name", "Port", "Host", "CompanyId", "CompanyName" })
        rs->AppendField(f, adVarWChar);
    rs->Open();
    rs->AppendRow({ 20, 3, "Copier 2F", QVariant(), QVariant(), 1, "Acme" });
    return rs;
}

RecordsetPtr userRecords(const QList<QVariantList> &rows)
{
    auto rs = Recordset::Create();
    for (const char *f : { "UserId", "DisplayName", "UserDomain", "CompanyId", "CompanyName" })
        rs->AppendField(f, adVarWChar);
    rs->Open();
    for (const QVariantList &r : rows)
        rs->AppendRow(r);
    return rs;
}

} // namespace

TEST(PrinterManager, LoadsPrintersThenDevicesWithTheirConversions)
{
    clsPrinterManager m;
    auto printers = printerRecords();
    auto devices = deviceRecords();
    ASSERT_FALSE(m.LoadPrinters(*printers));
    ASSERT_FALSE(m.LoadDevices(*devices));
    ASSERT_EQ(m.Items().count(), 3);
    EXPECT_EQ(m.Items().keyAt(1), "PRT4");
    EXPECT_EQ(m.Items().keyAt(3), "PRT20");

    const PrinterPtr front = AsPrinter(*m.Items().item("prt4"));
    EXPECT_EQ(front->Name(), "Front desk") << "trimmed when loaded";
    EXPECT_EQ(front->Host(), "");
    EXPECT_EQ(front->Model(), "");
    EXPECT_TRUE(front->Color());
    EXPECT_EQ(front->ConnectType(), 2);
    EXPECT_EQ(front->EstCost(), StartingEstCost);
    EXPECT_EQ(front->EstCostColor(), StartingEstCostColor);
    EXPECT_TRUE(front->Include());
    EXPECT_EQ(front->Number(), 1);
    EXPECT_EQ(front->DeviceType(), 0);

    const PrinterPtr back = AsPrinter(*m.Items().item("PRT9"));
    EXPECT_EQ(back->Port(), "");
    EXPECT_EQ(back->Company(), "");
    EXPECT_EQ(back->Model(), "HP LaserJet 4");
    EXPECT_TRUE(back->Duplex());

    const PrinterPtr copier = AsPrinter(*m.Items().item("PRT20"));
    EXPECT_EQ(copier->DeviceType(), 3);
    EXPECT_FALSE(copier->Color());
    EXPECT_FALSE(copier->Duplex());
    EXPECT_EQ(copier->ConnectType(), 0);
    EXPECT_EQ(m.NumIncluded(), 3);
}

TEST(PrinterManager, AKeyClashOrANullInADirectFieldStopsTheLoadNamingTheRecord)
{
    clsPrinterManager m;
    auto printers = printerRecords();
    printers->AppendRow({ 5, QVariant(), "LPT1", false, false, "h", "m", 0, 1, "Acme" });
    printers->AppendRow({ 6, "Never loaded", "LPT1", false, false, "h", "m", 0, 1, "Acme" });
    EXPECT_TRUE(
        kv6test::failsWith(m.LoadPrinters(*printers), 0, { "position 3", "\"Name\" is Null" }));
    EXPECT_EQ(m.Items().count(), 2) << "what loaded before the bad record stays";

    clsPrinterManager clash;
    auto p = printerRecords();
    auto d = deviceRecords();
    d->MoveFirst();
    d->SetValue("DeviceId", 9);
    ASSERT_FALSE(clash.LoadPrinters(*p));
    EXPECT_TRUE(kv6test::failsWith(clash.LoadDevices(*d), 0, { "PRT9" }));
}

TEST(GroupManagers, UsersTakeTheirGroupsFlagPrintersKeepTheirOwn)
{
    SilentDialogs silent;
    ScopedDialogProvider quiet(&silent);
    clsUserManager users;
    auto u
        = userRecords({ { 1, " Ann ", QVariant(), 1, "Acme" }, { 2, "Bob", "CORP", 1, "Acme" } });
    ASSERT_FALSE(users.LoadUsers(*u));
    EXPECT_EQ(AsUser(*users.Items().item("USR1"))->Name(), "Ann");
    EXPECT_EQ(AsUser(*users.Items().item("USR1"))->Domain(), "");
    GroupItemPtr sales;
    ASSERT_TRUE(users.AddGroup("Sales", &sales));
    EXPECT_TRUE(sales->IsGroup());
    users.SetGroupInclude(sales, false);
    ASSERT_TRUE(users.AddItemToGroup("Sales", "USR2"));
    EXPECT_FALSE((*users.Items().item("USR2"))->Include());
    EXPECT_FALSE(users.AddItemToGroup("No such group", "USR1"));
    // Back to the pseudo-group: the user keeps the flag it had.
    ASSERT_TRUE(users.AddItemToGroup(GroupKey(1), "USR2"));
    EXPECT_FALSE((*users.Items().item("USR2"))->Include());

    clsPrinterManager printers;
    auto p = printerRecords();
    ASSERT_FALSE(printers.LoadPrinters(*p));
    GroupItemPtr floor;
    ASSERT_TRUE(printers.AddGroup("Floor 1", &floor));
    EXPECT_EQ(AsPrinter(floor)->Host(), "<GROUP>");
    EXPECT_TRUE(floor->Include());
    printers.SetGroupInclude(floor, false);
    ASSERT_TRUE(printers.AddItemToGroup(floor->Key(), "PRT4"));
    EXPECT_TRUE((*printers.Items().item("PRT4"))->Include());
    EXPECT_EQ(printers.NumIncluded(), 1) << "the excluded group does not count";
    EXPECT_FALSE(printers.AddGroup("floor 1")) << "names are unique without regard to case";
}
