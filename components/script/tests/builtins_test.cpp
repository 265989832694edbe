// Built-in functions at edges the conformance scripts (tests/conformance/strings, variants and
// errors) do not reach; what those scripts print is checked there.

#include "scripteval.h"

#include <gtest/gtest.h>

using kv6test::eval;

TEST(Builtins, EdgesBeyondTheConformanceScripts)
{
    EXPECT_EQ(eval("len(\"x\")"), "Long 1") << "function names ignore case";
    EXPECT_EQ(eval("CLng(2147483647.4)"), "Long 2147483647") << "rounds into the range";
    EXPECT_EQ(eval("Round(1, -1)"), "error 5");
    EXPECT_EQ(eval("UBound(Array(1, 2, 3)) & LBound(Array(1))"), "String 20");
    EXPECT_EQ(eval("UBound(Array())"), "Long -1");
    EXPECT_EQ(eval("UBound(5)"), "error 13");
    EXPECT_EQ(eval("Join(Array(1, Null, \"z\"), \"-\")"), "String 1--z");
}
