#include "scripteval.h"

#include <gtest/gtest.h>

using kv6test::eval;

TEST(Builtins, StringsFollowTheLanguageIncludingNullAndBadArguments)
{
    EXPECT_EQ(eval("Len(\"Pages\")"), "Long 5");
    EXPECT_EQ(eval("Len(Null)"), "Null Null");
    EXPECT_EQ(eval("Left(\"Printer\", 5) & Right(\"Printer\", 2)"), "String Printer");
    EXPECT_EQ(eval("Left(\"ab\", 9)"), "String ab");
    EXPECT_EQ(eval("Left(\"ab\", -1)"), "error 5");
    EXPECT_EQ(eval("Mid(\"Printer\", 3)"), "String inter");
    EXPECT_EQ(eval("Mid(\"Printer\", 3, 2)"), "String in");
    EXPECT_EQ(eval("Mid(\"Printer\", 30)"), "String ");
    EXPECT_EQ(eval("Mid(\"Printer\", 0)"), "error 5");
    EXPECT_EQ(eval("InStr(\"a,b,c\", \",\")"), "Long 2");
    EXPECT_EQ(eval("InStr(3, \"a,b,c\", \",\")"), "Long 4");
    EXPECT_EQ(eval("InStr(1, \"ABC\", \"b\", 1)"), "Long 2");
    EXPECT_EQ(eval("InStr(1, \"ABC\", \"b\")"), "Long 0");
    EXPECT_EQ(eval("InStrRev(\"a,b,c\", \",\")"), "Long 4");
    EXPECT_EQ(eval("Replace(\"a-b-c\", \"-\", \"+\")"), "String a+b+c");
    EXPECT_EQ(eval("Replace(\"a-b-c\", \"-\", \"+\", 1, 1)"), "String a+b-c");
    EXPECT_EQ(eval("Replace(\"a-b-c\", \"-\", \"+\", 3)"), "String b+c");
    EXPECT_EQ(eval("Replace(\"aXbx\", \"x\", \"\", 1, -1, 1)"), "String ab");
    EXPECT_EQ(
        eval("\"[\" & Trim(\"  a b  \") & \"|\" & LTrim(\" a \") & \"|\" & RTrim(\" a \") & \"]\""),
        "String [a b|a | a]");
    EXPECT_EQ(eval("UCase(\"Fünf\") & LCase(\"ABC\")"), "String FÜNFabc");
    EXPECT_EQ(eval("Space(3) & String(2, \"xy\") & String(2, 65)"), "String    xxAA");
    EXPECT_EQ(eval("StrReverse(\"abc\")"), "String cba");
    EXPECT_EQ(eval("StrComp(\"a\", \"B\") & StrComp(\"a\", \"A\", 1)"), "String 10");
    EXPECT_EQ(eval("StrComp(\"B\", \"a\", 1)"), "Integer 1");
    EXPECT_EQ(eval("Asc(\"A\") + Asc(Chr(200))"), "Integer 265");
    EXPECT_EQ(eval("Chr(128)"), "String \u20AC") << "codes above 127 are Windows-1252";
    EXPECT_EQ(eval("Asc(\"\")"), "error 5");
    EXPECT_EQ(eval("len(\"x\")"), "Long 1") << "names ignore case";
    EXPECT_EQ(eval("Len(\"a\", \"b\")"), "error 450");
}

TEST(Builtins, ConversionsRoundToEvenAndOverflow)
{
    EXPECT_EQ(eval("CInt(2.5) & \" \" & CInt(3.5) & \" \" & CInt(-2.5)"), "String 2 4 -2");
    EXPECT_EQ(eval("CInt(\"12\")"), "Integer 12");
    EXPECT_EQ(eval("CInt(32768)"), "error 6");
    EXPECT_EQ(eval("CLng(2147483647.4)"), "Long 2147483647");
    EXPECT_EQ(eval("CLng(\"abc\")"), "error 13");
    EXPECT_EQ(eval("CByte(256)"), "error 6");
    EXPECT_EQ(eval("CDbl(\"1.5\") * 2"), "Double 3");
    EXPECT_EQ(eval("CCur(0.1) + CCur(0.2)"), "Currency 0.3");
    EXPECT_EQ(eval("CBool(\"True\") And CBool(2)"), "Boolean True");
    EXPECT_EQ(eval("CStr(Null)"), "error 94");
    EXPECT_EQ(eval("CInt(Null)"), "error 94");
}

TEST(Builtins, TestsAndMaths)
{
    EXPECT_EQ(eval("IsNull(Null) And IsEmpty(Empty) And Not IsNull(0)"), "Boolean True");
    EXPECT_EQ(eval("IsNumeric(\" 12.5 \") And IsNumeric(Empty) And Not IsNumeric(\"x\")"),
        "Boolean True");
    EXPECT_EQ(eval("IsDate(\"2026-03-01\") And Not IsDate(\"soon\")"), "Boolean True");
    EXPECT_EQ(eval("TypeName(1) & TypeName(1.5) & TypeName(\"\") & TypeName(Null)"),
        "String IntegerDoubleStringNull");
    EXPECT_EQ(eval("VarType(CCur(1))"), "Integer 6");
    EXPECT_EQ(eval("Abs(-3)"), "Integer 3");
    EXPECT_EQ(eval("Abs(Null)"), "Null Null");
    EXPECT_EQ(eval("Int(-2.5) & \" \" & Fix(-2.5)"), "String -3 -2");
    EXPECT_EQ(
        eval("Round(2.5) & \" \" & Round(3.5) & \" \" & Round(1.2345, 2)"), "String 2 4 1.23");
    EXPECT_EQ(eval("Round(0.125, 2)"), "Double 0.12");
    EXPECT_EQ(eval("Round(1, -1)"), "error 5");
    EXPECT_EQ(eval("Sgn(-7) + Sgn(0) + Sgn(2)"), "Integer 0");
    EXPECT_EQ(eval("Sqr(16)"), "Double 4");
    EXPECT_EQ(eval("Sqr(-1)"), "error 5");
    EXPECT_EQ(eval("Log(0)"), "error 5");
    EXPECT_EQ(eval("Exp(1000)"), "error 6");
}

TEST(Builtins, ArraysSplitAndJoin)
{
    EXPECT_EQ(eval("UBound(Array(1, 2, 3)) & LBound(Array(1))"), "String 20");
    EXPECT_EQ(eval("UBound(Array())"), "Long -1");
    EXPECT_EQ(eval("UBound(Array(1), 2)"), "error 9");
    EXPECT_EQ(eval("UBound(5)"), "error 13");
    EXPECT_EQ(eval("Join(Split(\"a,b,,c\", \",\"), \"|\")"), "String a|b||c");
    EXPECT_EQ(eval("UBound(Split(\"\", \",\"))"), "Long -1");
    EXPECT_EQ(eval("Join(Split(\"a,b,c\", \",\", 2), \"|\")"), "String a|b,c");
    EXPECT_EQ(eval("Join(Split(\"aXbxc\", \"x\", -1, 1))"), "String a b c");
    EXPECT_EQ(eval("Join(Array(1, Null, \"z\"), \"-\")"), "String 1--z");
}
