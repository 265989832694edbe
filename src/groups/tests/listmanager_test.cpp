#include "base/dialogs.h"
#include "base/langstrings.h"
#include "groups/listmanager.h"

#include "testscopes.h"

#include <gtest/gtest.h>

using namespace kv6;

namespace {

GroupItemPtr newEntry()
{
    return std::make_shared<GroupItemBase>();
}

class Lists : public ::testing::Test
{
protected:
    void SetUp() override { list.Initialize(newEntry()); }
    kv6test::ShippedLanguage language;

    GroupItemPtr addItem(int id, bool include = true)
    {
        auto item = newEntry();
        item->setKey(QStringLiteral("PRT%1").arg(id));
        item->setName(QStringLiteral("Printer %1").arg(id));
        item->setInclude(include);
        list.Items().add(item, item->Key());
        return item;
    }
    GroupItemPtr addGroup(const QString &name, bool include = true)
    {
        auto g = newEntry();
        g->setInclude(include);
        EXPECT_TRUE(list.AddGroup(name, g)) << name.toStdString();
        return g;
    }
    QStringList groupNames() const
    {
        QStringList names;
        for (const GroupItemPtr &g : list.Groups())
            names.append(g->Name());
        return names;
    }

    clsListManager list;
    ScriptedDialogs dialogs;
    ScopedDialogProvider guard { &dialogs };
};

} // namespace

TEST_F(Lists, NumberingStartsAtTwoKeepsThePseudoGroupLastAndNeverReuses)
{
    ASSERT_EQ(list.Groups().count(), 1);
    EXPECT_EQ(list.Ungrouped()->Name(), UngroupedName);
    EXPECT_EQ(list.Ungrouped()->Key(), QStringLiteral("*GROUP*1"));
    EXPECT_FALSE(list.IsDirty());

    EXPECT_EQ(addGroup(QStringLiteral("A"))->Key(), QStringLiteral("*GROUP*2"));
    addGroup(QStringLiteral("B"));
    addGroup(QStringLiteral("C"));
    EXPECT_EQ(groupNames(),
        (QStringList {
            QStringLiteral("A"), QStringLiteral("B"), QStringLiteral("C"), UngroupedName }));
    EXPECT_TRUE(list.RemoveGroup(3));
    EXPECT_EQ(addGroup(QStringLiteral("D"))->Number(), 5);
    EXPECT_FALSE(list.RemoveGroup(QStringLiteral("*GROUP*1"))) << "the pseudo-group stays";

    // Clearing keeps the counter; only a new initialisation restarts it.
    list.ClearGroups(false);
    EXPECT_EQ(groupNames(), QStringList { UngroupedName });
    EXPECT_EQ(addGroup(QStringLiteral("E"))->Number(), 6);
    list.Initialize(newEntry());
    EXPECT_EQ(addGroup(QStringLiteral("F"))->Number(), 2);
}

TEST_F(Lists, DuplicateNamesAreRefusedWithTheirMessages)
{
    addGroup(QStringLiteral("Sales"));
    list.setIsDirty(false);
    dialogs.messageAnswers = { MsgAnswer::OK, MsgAnswer::OK, MsgAnswer::OK };
    EXPECT_FALSE(list.AddGroup(QStringLiteral("sales"), newEntry()));
    EXPECT_TRUE(list.IsDirty()) << "even a refused edit marks the list changed";
    EXPECT_FALSE(list.AddGroup(QStringLiteral("<individual>"), newEntry()));
    EXPECT_FALSE(list.RenameGroup(2, QStringLiteral("SALES")));
    EXPECT_TRUE(list.RenameGroup(2, QStringLiteral("Sales")));
    EXPECT_TRUE(list.RenameGroup(QStringLiteral("*GROUP*2"), QStringLiteral("Marketing")));
    EXPECT_FALSE(list.RenameGroup(9, QStringLiteral("X")));

    ASSERT_EQ(dialogs.messages.size(), 3);
    EXPECT_EQ(dialogs.unexpected, 0);
    EXPECT_EQ(dialogs.messages[0].icon, MsgIcon::Exclamation);
    EXPECT_TRUE(dialogs.messages[0].text.contains(QStringLiteral("sales")))
        << dialogs.messages[0].text.toStdString();
    EXPECT_EQ(dialogs.messages[2].text, GetLangString(781));
    EXPECT_EQ(list.GetGroup(2)->Name(), QStringLiteral("Marketing"));
}

TEST_F(Lists, MembershipLookupsAndRemoval)
{
    auto p12 = addItem(12, false);
    auto p13 = addItem(13);
    auto floor = addGroup(QStringLiteral("Floor 1"));
    GroupItemPtr g, item;
    EXPECT_TRUE(list.AddItemToGroup(QStringLiteral("floor 1"), QStringLiteral("prt12"), &g, &item))
        << "by name";
    EXPECT_EQ(item, p12);
    EXPECT_TRUE(
        list.AddItemToGroup(QStringLiteral("*GROUP*2"), QStringLiteral("PRT13"), &g, &item));
    EXPECT_FALSE(
        list.AddItemToGroup(QStringLiteral("Nowhere"), QStringLiteral("PRT13"), &g, &item));
    EXPECT_EQ(g, nullptr);
    EXPECT_TRUE(list.AddItemToGroup(QStringLiteral("*GROUP*2"), QStringLiteral("PRT99"), &g, &item))
        << "unknown item is no error";
    EXPECT_EQ(item, nullptr);

    EXPECT_EQ(list.GetGroup(QStringLiteral("PRT12")), floor);
    EXPECT_EQ(list.GetGroup(2), floor);
    EXPECT_EQ(list.GetGroup(QStringLiteral("*GROUP*2")), floor);
    EXPECT_EQ(list.GetGroup(QStringLiteral("PRT77")), nullptr);
    EXPECT_EQ(list.GetGroupItems(2), (QList<GroupItemPtr> { p12, p13 }));
    EXPECT_TRUE(list.GetGroupItems(QStringLiteral("Floor 1")).isEmpty())
        << "a name resolves to no number";
    list.GetItemAndGroup(QStringLiteral("PRT13"), &item, &g);
    EXPECT_EQ(item, p13);
    EXPECT_EQ(g, floor);
    list.GetItemAndGroup(2, &item, &g);
    EXPECT_EQ(item, nullptr);
    EXPECT_EQ(g, floor);

    EXPECT_TRUE(list.RemoveGroup(2));
    EXPECT_EQ(p12->Number(), 1);
    EXPECT_FALSE(p12->Include()) << "members keep their include flags";
    EXPECT_TRUE(p13->Include());
    EXPECT_EQ(list.GetGroup(QStringLiteral("PRT12")), list.Ungrouped());
}

TEST_F(Lists, NumIncludedCountsGroupsOnceAndUngroupedItemsEach)
{
    addItem(1);
    addItem(2);
    addItem(3, false);
    addGroup(QStringLiteral("Full"));
    addGroup(QStringLiteral("Empty"));
    addGroup(QStringLiteral("Excluded"), false);
    for (int id = 10; id < 14; ++id) {
        addItem(id, false);
        list.AddItemToGroup(
            QStringLiteral("Full"), QStringLiteral("PRT%1").arg(id), nullptr, nullptr);
    }
    addItem(20);
    list.AddItemToGroup(QStringLiteral("Excluded"), QStringLiteral("PRT20"), nullptr, nullptr);
    EXPECT_EQ(list.NumIncluded(), 3);

    ASSERT_EQ(list.GetGroup(4)->Name(), QStringLiteral("Excluded"));
    list.SetGroupInclude(list.GetGroup(4), true);
    EXPECT_EQ(list.NumIncluded(), 4);
    EXPECT_TRUE(list.Items().item(QStringLiteral("PRT20"))->get()->Include());

    list.ClearGroups(false);
    EXPECT_EQ(list.NumIncluded(), 0);
    for (const GroupItemPtr &i : list.Items())
        EXPECT_EQ(i->Number(), 1);
}
