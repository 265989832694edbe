#include "script/lexer.h"
#include "scripteval.h"

#include <gtest/gtest.h>

using namespace kv6::script;
using kv6test::q;

namespace {

SyntaxError syntaxErrorOf(const char *src)
{
    try {
        tokenize(q(src));
    } catch (const SyntaxError &e) {
        return e;
    }
    return SyntaxError { 0, QString(), 0, 0 };
}

} // namespace

// The subtypes number literals take are printed by the conformance script expressions/literals.
TEST(Lexer, TokensCarryLineColumnAndKind)
{
    const QList<Token> t
        = tokenize(q("If [Detail Section].BackColor = &HFF Then _\n  x = \"a\"\"b\" ' c\r\n"));
    ASSERT_GE(t.size(), 12);
    EXPECT_EQ(t[0].key, q("if"));
    EXPECT_EQ(t[1].text, q("Detail Section"));
    EXPECT_TRUE(t[1].bracketed);
    EXPECT_EQ(t[1].column, 4);
    EXPECT_EQ(t[2].text, q("."));
    EXPECT_EQ(t[3].text, q("BackColor"));
    EXPECT_EQ(t[5].value.intValue(), 255);
    EXPECT_EQ(t[6].key, q("then"));
    // The continued line produces no Newline; the next token sits on line 2, column 3.
    EXPECT_EQ(t[7].key, q("x"));
    EXPECT_EQ(t[7].line, 2);
    EXPECT_EQ(t[7].column, 3);
    EXPECT_EQ(t[9].value.stringValue(), q("a\"b"));
    EXPECT_EQ(t[10].kind, Tok::Newline);

    // A colon separates statements as a line end does; a Rem line leaves only its line end.
    const QList<Token> u = tokenize(q("a = 1 : b = 2\nRem all of this\n#1/2/2024#"));
    EXPECT_EQ(u[3].kind, Tok::Newline);
    EXPECT_EQ(u[3].text, q(":"));
    EXPECT_EQ(u[4].key, q("b"));
    EXPECT_EQ(u[7].kind, Tok::Newline);
    EXPECT_EQ(u[8].kind, Tok::Newline);
    EXPECT_EQ(u[9].kind, Tok::Date);
    EXPECT_EQ(u[9].value.toString(), q("1/2/2024"));
}

// Unterminated strings and stray characters are pinned by the conformance scripts.
TEST(Lexer, MalformedInputPinsTheError)
{
    struct Row
    {
        const char *src;
        int number, line, column;
    };
    const Row rows[] = {
        { "d = #2/30/2024#", 1031, 1, 5 },
        { "n = 12abc", 1025, 1, 7 },
        { "f [Detail", 1010, 1, 3 },
        { "a = b _ c", 1032, 1, 7 },
        { "h = &HZZ", 1031, 1, 5 },
    };
    for (const Row &r : rows) {
        const SyntaxError e = syntaxErrorOf(r.src);
        EXPECT_EQ(e.number, r.number) << r.src;
        EXPECT_EQ(e.line, r.line) << r.src;
        EXPECT_EQ(e.column, r.column) << r.src;
    }
}
