#include "groups/analysis.h"

#include "base/dialogs.h"
#include "base/langstrings.h"
#include "dataaccess/datasettings.h"
#include "enginetest.h"
#include "testscopes.h"

#include <QDir>

using namespace kv6;

namespace {

// "key:group number:include" for every item, so two states can be compared at a glance.
QStringList state(infGroupManager &m)
{
    QStringList out;
    for (const GroupItemPtr &item : m.Items()) {
        const GroupItemPtr g = m.GetGroup(int(item->Number()));
        out << QStringLiteral("%1:%2:%3")
                   .arg(item->Key(), g ? g->Name() : QStringLiteral("?"))
                   .arg(item->Include() ? 1 : 0);
    }
    return out;
}

} // namespace

class AnalysisTest : public kv6test::SuiteTest
{
protected:
    void SetUp() override
    {
        SuiteTest::SetUp();
        analysis.setShowProgress(false);
    }

    int makeGroup(int type, const QString &name, int owner, QList<int> members)
    {
        return kv6test::addAdminGroup(*connection, type, name, 1, owner, members);
    }

    kv6test::ShippedLanguage language;
    SilentDialogs silent;
    ScopedDialogProvider quiet { &silent };
    clsAnalysis analysis;
};
KV6_ENGINES(AnalysisTest);

TEST_P(AnalysisTest, SavedGroupFileHasTheExactFormat)
{
    ASSERT_FALSE(analysis.InitializeDefault(*connection, 1));
    infGroupManager &printers = *analysis.PrinterManager();
    ASSERT_EQ(printers.Items().count(), 4);
    EXPECT_EQ(analysis.UserManager()->Items().count(), 2);
    EXPECT_EQ(printers.NumIncluded(), 4);
    ASSERT_TRUE(printers.AddGroup(QStringLiteral("Front")));
    ASSERT_TRUE(printers.AddItemToGroup(QStringLiteral("Front"), QStringLiteral("PRT12")));
    ASSERT_TRUE(printers.AddItemToGroup(QStringLiteral("front"), QStringLiteral("PRT10")));
    EXPECT_TRUE(analysis.GroupsDirty());

    const QString path = env.path(QStringLiteral("office.grp"));
    QString error;
    analysis.SaveGroups(path, &error);
    ASSERT_EQ(error, QString());
    EXPECT_FALSE(analysis.GroupsDirty());
    EXPECT_EQ(analysis.GroupFile(), path);

    // Members follow item order: printers by name, then devices by name.
    QStringList keys;
    for (const GroupItemPtr &i : printers.Items())
        keys << i->Key();
    ASSERT_EQ(keys, QStringList({ "PRT11", "PRT10", "PRT12", "PRT13" }));
    EXPECT_EQ(kv6test::readFile(path),
        QByteArray("Version: 2\r\n"
                   "1\r\n"
                   "\"P\",\"G\",-1,\"Front\",-1,-1\r\n"
                   "\"P\",\"I\",-1,\"PRT10\",.1,.25\r\n"
                   "\"P\",\"I\",-1,\"PRT12\",.1,.25\r\n"
                   "\"P\",\"U\",-1,\"<INDIVIDUAL>\",-1,-1\r\n"
                   "\"P\",\"I\",-1,\"PRT11\",.1,.25\r\n"
                   "\"P\",\"I\",-1,\"PRT13\",.1,.25\r\n"
                   "\"U\",\"U\",-1,\"<INDIVIDUAL>\",0,0\r\n"
                   "\"U\",\"I\",-1,\"USR100\",0,0\r\n"
                   "\"U\",\"I\",-1,\"USR101\",0,0\r\n"));

    // Saving again without a path goes to the same file.
    printers.RemoveGroup(QStringLiteral("*GROUP*2"));
    analysis.SaveGroups(QString(), &error);
    EXPECT_FALSE(kv6test::readFile(path).contains("Front"));
}

TEST_P(AnalysisTest, GroupsSurviveASaveAndReload)
{
    ASSERT_FALSE(analysis.InitializeDefault(*connection, 1));
    clsPrinterManager &printers = *analysis.Printers();
    clsUserManager &users = *analysis.Users();
    GroupItemPtr floor, sales;
    ASSERT_TRUE(printers.AddGroup(QStringLiteral("Floor \"2\""), &floor));
    ASSERT_TRUE(printers.AddItemToGroup(floor->Key(), QStringLiteral("PRT11")));
    const PrinterPtr back = AsPrinter(*printers.Items().item(QStringLiteral("PRT11")));
    back->setInclude(false);
    back->setEstCost(Currency::fromString(QStringLiteral("0.05")));
    back->setEstCostColor(Currency::fromString(QStringLiteral("1.5")));
    ASSERT_TRUE(users.AddGroup(QStringLiteral("Sales"), &sales));
    ASSERT_TRUE(users.AddItemToGroup(QStringLiteral("Sales"), QStringLiteral("USR101")));
    (*users.Items().item(QStringLiteral("USR101")))->setInclude(false);
    users.Ungrouped()->setInclude(false);
    const QStringList printersBefore = state(printers);

    const QString path = env.path(QStringLiteral("round.grp"));
    QString error;
    analysis.SaveGroups(path, &error);
    ASSERT_EQ(error, QString());
    EXPECT_TRUE(kv6test::readFile(path).contains("\"Floor \x01"
                                                 "2\x01\""))
        << "quotes travel as code 1";

    clsAnalysis reloaded;
    reloaded.setShowProgress(false);
    const DataResult e = reloaded.InitializeFromGroupFile(*connection, path);
    ASSERT_FALSE(e) << e->Description().toStdString();
    EXPECT_EQ(reloaded.CompanyId(), 1);
    EXPECT_FALSE(reloaded.GroupsDirty());
    EXPECT_EQ(state(*reloaded.PrinterManager()), printersBefore)
        << "a printer keeps its own saved flag";
    EXPECT_EQ(reloaded.PrinterManager()->Groups().item(1)->get()->Name(), "Floor \"2\"");
    const PrinterPtr back2
        = AsPrinter(*reloaded.PrinterManager()->Items().item(QStringLiteral("PRT11")));
    EXPECT_EQ(back2->EstCost().toString(), "0.05");
    EXPECT_EQ(back2->EstCostColor().toString(), "1.5");
    EXPECT_EQ(
        state(*reloaded.UserManager()), QStringList({ "USR100:<INDIVIDUAL>:1", "USR101:Sales:1" }))
        << "a user takes the flag of the group it is in";
    EXPECT_FALSE(reloaded.UserManager()->Ungrouped()->Include());
}

TEST_P(AnalysisTest, OlderAndStaleFilesApplyWhatStillExists)
{
    ASSERT_FALSE(analysis.InitializeDefault(*connection, 1));
    clsPrinterManager &printers = *analysis.Printers();
    // Groups before the load must all be gone afterwards.
    ASSERT_TRUE(printers.AddGroup(QStringLiteral("Old")));
    ASSERT_TRUE(printers.AddItemToGroup(QStringLiteral("Old"), QStringLiteral("PRT13")));
    (*printers.Items().item(QStringLiteral("PRT13")))->setInclude(false);

    const QString path = env.path(QStringLiteral("v1.grp"));
    kv6test::writeFile(path,
        "1\r\n"
        "\"P\",\"G\",-1,\"Lobby\",-1\r\n"
        "\"P\",\"I\",0,\"PRT99\",0.2\r\n"
        "\"P\",\"I\",-1,\"PRT10\",0.07\r\n"
        "\"U\",\"G\",0,\"Gone\",0\r\n"
        "\"U\",\"I\",-1,\"USR100\",0\r\n");
    QString error;
    ASSERT_TRUE(analysis.ApplyGroupsFromFile(path, &error)) << error.toStdString();
    EXPECT_EQ(error, QString());
    EXPECT_EQ(state(printers),
        QStringList({ "PRT11:<INDIVIDUAL>:1", "PRT10:Lobby:1", "PRT12:<INDIVIDUAL>:1",
            "PRT13:<INDIVIDUAL>:1" }));
    const PrinterPtr front = AsPrinter(*printers.Items().item(QStringLiteral("PRT10")));
    EXPECT_EQ(front->EstCost(), front->EstCostColor()) << "one cost serves both";
    EXPECT_EQ(front->EstCost().toString(), "0.07");
    EXPECT_EQ(
        state(*analysis.UserManager()), QStringList({ "USR100:Gone:0", "USR101:<INDIVIDUAL>:1" }));
    EXPECT_EQ(analysis.GroupFile(), path);
}

TEST_P(AnalysisTest, UnreadableOrMalformedFilesLeaveTheGroupsAsTheyWere)
{
    ASSERT_FALSE(analysis.InitializeDefault(*connection, 1));
    infGroupManager &printers = *analysis.PrinterManager();
    ASSERT_TRUE(printers.AddGroup(QStringLiteral("Keep")));
    ASSERT_TRUE(printers.AddItemToGroup(QStringLiteral("Keep"), QStringLiteral("PRT10")));
    const QStringList before = state(printers);

    QString error;
    EXPECT_FALSE(analysis.ApplyGroupsFromFile(env.path(QStringLiteral("missing.grp")), &error));
    EXPECT_NE(error, QString());
    EXPECT_EQ(state(printers), before);

    const QString bad = env.path(QStringLiteral("bad.grp"));
    kv6test::writeFile(
        bad, "Version: 2\r\n1\r\n\"P\",\"G\",-1,\"A\",-1,-1\r\n\"P\",\"I\",-1,\"PRT10\r\n");
    EXPECT_FALSE(analysis.ApplyGroupsFromFile(bad, &error));
    EXPECT_TRUE(error.contains(QStringLiteral("line 4"))) << error.toStdString();
    EXPECT_EQ(state(printers), before);

    kv6test::writeFile(
        bad, "Version: 2\r\n1\r\n\"P\",\"G\",-1,\"A\",-1,-1\r\n\"P\",\"G\",-1,\"a\",-1,-1\r\n");
    EXPECT_FALSE(analysis.ApplyGroupsFromFile(bad, &error));
    EXPECT_TRUE(error.contains(QStringLiteral("twice"))) << error.toStdString();
    EXPECT_EQ(state(printers), before);

    // Another kind of file: the message quotes a short, printable piece of it.
    QByteArray binary("Version:\x01\x1b[2J");
    binary += QByteArray(5000, 'x') + "\r\n1\r\n";
    kv6test::writeFile(bad, binary);
    EXPECT_FALSE(analysis.ApplyGroupsFromFile(bad, &error));
    EXPECT_LT(error.size(), 200) << error.toStdString();
    EXPECT_TRUE(error.contains(QStringLiteral("\"??[2Jxxx"))) << error.toStdString();
    EXPECT_EQ(state(printers), before);

    // The company check: no company line, and a file that is not there.
    qint32 company = 0;
    kv6test::writeFile(bad, "Version: 2\r\n");
    EXPECT_FALSE(clsAnalysis::GetGroupFileCompany(bad, &company, &error));
    EXPECT_EQ(error, GetLangString(722));
    kv6test::writeFile(bad, "Version: 2\r\n7\r\n");
    EXPECT_TRUE(clsAnalysis::GetGroupFileCompany(bad, &company, &error));
    EXPECT_EQ(company, 7);
    clsAnalysis fromMissing;
    const DataResult e
        = fromMissing.InitializeFromGroupFile(*connection, env.path(QStringLiteral("nope.grp")));
    ASSERT_TRUE(e);
    EXPECT_FALSE(e->Description().isEmpty());

    // A folder in the way of the file: nothing written, the message says so.
    QDir().mkpath(env.path(QStringLiteral("blocked.grp")));
    analysis.SaveGroups(env.path(QStringLiteral("blocked.grp")), &error);
    EXPECT_NE(error, QString());
    EXPECT_TRUE(analysis.GroupsDirty()) << "a failed save leaves the changes unsaved";
}

TEST_P(AnalysisTest, AdministrationGroupsPutEachMemberInItsHighestOwnersGroup)
{
    makeGroup(AdminObjectPrinter, QStringLiteral("Floor 1"), 1, { 10, 11 });
    makeGroup(AdminObjectPrinter, QStringLiteral("Finance"), 5, { 11, 12 });
    makeGroup(AdminObjectPrinter, QStringLiteral("Admin"), 5, { 12 });
    makeGroup(AdminObjectUser, QStringLiteral("Sales"), 0, { 101 });
    ASSERT_FALSE(analysis.InitializeFromAdminGroups(*connection, 1));
    EXPECT_EQ(state(*analysis.PrinterManager()),
        QStringList(
            { "PRT11:Finance:1", "PRT10:Floor 1:1", "PRT12:Admin:1", "PRT13:<INDIVIDUAL>:1" }));
    EXPECT_EQ(
        state(*analysis.UserManager()), QStringList({ "USR100:<INDIVIDUAL>:1", "USR101:Sales:1" }));
    EXPECT_FALSE(analysis.GroupsDirty());
    PrinterPtr group;
    for (const GroupItemPtr &g : analysis.PrinterManager()->Groups())
        if (g->Name() == QLatin1String("Admin"))
            group = AsPrinter(g);
    ASSERT_TRUE(group);
    EXPECT_EQ(group->EstCost(), Currency::fromInt(-1));

    // Over all companies, each company's "Sales" meets in one group without a question.
    kv6test::addAdminGroup(*connection, AdminObjectUser, QStringLiteral("SALES"), 2, 0, { 200 });
    ScriptedDialogs answers;
    ScopedDialogProvider scoped(&answers);
    clsAnalysis all;
    all.setShowProgress(false);
    ASSERT_FALSE(all.InitializeFromAdminGroups(*connection, -1));
    EXPECT_TRUE(answers.messages.isEmpty());
    EXPECT_EQ(state(*all.UserManager()),
        QStringList({ "USR100:<INDIVIDUAL>:1", "USR101:Sales:1", "USR200:Sales:1" }));
}

TEST_P(AnalysisTest, SimpleModeIncludesExactlyTheChosenGroupsMembers)
{
    const int sales = makeGroup(AdminObjectUser, QStringLiteral("Sales"), 0, { 100 });
    const int ops = makeGroup(AdminObjectUser, QStringLiteral("Ops"), 0, { 101 });
    const int floor = makeGroup(AdminObjectPrinter, QStringLiteral("Floor"), 0, { 10 });
    ASSERT_FALSE(analysis.InitializeDefault(*connection, 1));
    clsSimpleGroups userGroups, printerGroups;
    userGroups.Add(sales);
    QString error;
    ASSERT_TRUE(analysis.ApplyGroupsFromDatabase(*connection, userGroups, printerGroups, &error))
        << error.toStdString();
    EXPECT_EQ(
        state(*analysis.UserManager()), QStringList({ "USR100:Sales:1", "USR101:<INDIVIDUAL>:0" }));
    EXPECT_EQ(analysis.PrinterManager()->NumIncluded(), 4);

    userGroups.Add(ops);
    printerGroups.Add(floor);
    ASSERT_TRUE(analysis.ApplyGroupsFromDatabase(*connection, userGroups, printerGroups, &error));
    EXPECT_EQ(state(*analysis.UserManager()), QStringList({ "USR100:Sales:1", "USR101:Ops:1" }));
    EXPECT_EQ(analysis.PrinterManager()->NumIncluded(), 1);

    // A group that no longer exists stops the whole application with the library's reason.
    userGroups.Add(9999);
    EXPECT_FALSE(analysis.ApplyGroupsFromDatabase(*connection, userGroups, printerGroups, &error));
    EXPECT_NE(error, QString());
}

TEST_P(AnalysisTest, ADataErrorWhileLoadingIsHandedBack)
{
    ASSERT_FALSE(connection->Execute(isSQLite() ? QStringLiteral("DROP TABLE users")
                                                : QStringLiteral("DROP TABLE users CASCADE")));
    const DataResult e = analysis.InitializeDefault(*connection, 1);
    ASSERT_TRUE(e);
    EXPECT_FALSE(e->Description().isEmpty());
    EXPECT_EQ(analysis.PrinterManager()->Items().count(), 4) << "printers loaded before stay";
    EXPECT_EQ(analysis.UserManager()->Items().count(), 0);
    EXPECT_FALSE(analysis.GroupsDirty());
}
