#include "groups/simplegroups.h"

#include <gtest/gtest.h>

using namespace kv6;

TEST(SimpleGroups, OrderedUniqueIdsWithPositions)
{
    clsSimpleGroups s;
    EXPECT_EQ(s.Count(), 0);
    s.Add(7);
    s.Add(3);
    s.Add(7); // ignored
    EXPECT_EQ(s.Count(), 2);
    EXPECT_EQ(s.GroupAtIndex(1), 7);
    EXPECT_EQ(s.GroupAtIndex(2), 3);
    EXPECT_EQ(s.GroupAtIndex(0), -1);
    EXPECT_EQ(s.GroupAtIndex(3), -1);
    EXPECT_TRUE(s.Contains(3));
    EXPECT_FALSE(s.Contains(4));
    s.Remove(7);
    s.Remove(99); // absent: no effect
    EXPECT_EQ(s.GroupAtIndex(1), 3);
    s.Clear();
    EXPECT_EQ(s.Count(), 0);
    EXPECT_FALSE(s.Contains(3));
}
