// Checks of the shipped string tables that do not depend on the program's own loader: the files
// parse, and every string number the sources ask for by a literal has an English text.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

const fs::path SourceDir = KV6_SOURCE_DIR;
const fs::path EnglishTable = SourceDir / "data/lang/1033/kv6reprtLangRes.txt";

struct Entry
{
    int line = 0;
    int number = 0;
    std::string text; // unescaped
};

struct Table
{
    std::vector<Entry> entries;
    std::vector<std::string> errors; // "line N: reason"
};

// Decodes \t \n \\; anything else after a backslash is an error.
bool unescape(const std::string &raw, std::string &out, std::string &why)
{
    out.clear();
    for (size_t i = 0; i < raw.size(); ++i) {
        if (raw[i] != '\\') {
            out += raw[i];
            continue;
        }
        if (i + 1 == raw.size()) {
            why = "backslash at end of text";
            return false;
        }
        switch (raw[++i]) {
        case 't':
            out += '\t';
            break;
        case 'n':
            out += '\n';
            break;
        case '\\':
            out += '\\';
            break;
        default:
            why = std::string("unknown escape \\") + raw[i];
            return false;
        }
    }
    return true;
}

Table parseTable(std::istream &in)
{
    Table t;
    std::string line;
    int lineNo = 0;
    auto fail = [&](const std::string &why) {
        t.errors.push_back("line " + std::to_string(lineNo) + ": " + why);
    };
    while (std::getline(in, line)) {
        ++lineNo;
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.empty() || line[0] == '#')
            continue;
        const size_t tab = line.find('\t');
        if (tab == std::string::npos) {
            fail("no tab after the number");
            continue;
        }
        const std::string num = line.substr(0, tab);
        if (num.empty() || num.size() > 5
            || !std::all_of(num.begin(), num.end(), [](char c) { return c >= '0' && c <= '9'; })) {
            fail("'" + num + "' is not a string number");
            continue;
        }
        const std::string raw = line.substr(tab + 1);
        if (raw.find('\t') != std::string::npos) {
            fail("second raw tab (write \\t inside texts)");
            continue;
        }
        Entry e;
        e.line = lineNo;
        e.number = std::stoi(num);
        std::string why;
        if (!unescape(raw, e.text, why)) {
            fail(why);
            continue;
        }
        if (e.text.empty()) {
            fail("empty text");
            continue;
        }
        t.entries.push_back(e);
    }
    return t;
}

Table parseText(const std::string &s)
{
    std::istringstream in(s);
    return parseTable(in);
}

Table parseFile(const fs::path &p)
{
    std::ifstream in(p, std::ios::binary);
    Table t;
    if (!in) {
        t.errors.push_back("cannot open " + p.string());
        return t;
    }
    return parseTable(in);
}

std::string join(const std::vector<std::string> &v)
{
    std::string s;
    for (const auto &x : v)
        s += x + "\n";
    return s;
}

std::map<int, std::string> byNumber(const Table &t)
{
    std::map<int, std::string> m;
    for (const auto &e : t.entries)
        m.emplace(e.number, e.text);
    return m;
}

// Literal first arguments of GetLangString calls; a call whose first argument is not a literal
// (a variable, an expression) cannot be checked here and is left out.
std::set<int> literalStringNumbers(const std::string &source)
{
    static const std::regex call(R"(\bGetLangString\s*\(\s*([0-9]+)\s*[,)])");
    std::set<int> found;
    for (auto it = std::sregex_iterator(source.begin(), source.end(), call);
         it != std::sregex_iterator(); ++it)
        found.insert(std::stoi((*it)[1].str()));
    return found;
}

int markerCount(const std::string &text)
{
    int n = 0;
    for (size_t p = text.find("%s"); p != std::string::npos; p = text.find("%s", p + 2))
        ++n;
    return n;
}

} // namespace

TEST(LangTableParser, RejectsMalformedLines)
{
    struct Row
    {
        const char *text;
        const char *why; // fragment of the expected error
    };
    const Row rows[] = {
        { "12 no tab", "no tab" },
        { "x12\tletters in the number", "not a string number" },
        { "\tmissing number", "not a string number" },
        { "12\t", "empty text" },
        { "12\tbad \\q escape", "unknown escape" },
        { "12\tends in a backslash\\", "backslash at end" },
        { "12\tone\ttwo", "second raw tab" },
    };
    for (const Row &r : rows) {
        const Table t = parseText(r.text);
        ASSERT_EQ(t.errors.size(), 1u) << r.text;
        EXPECT_NE(t.errors[0].find(r.why), std::string::npos) << r.text << " -> " << t.errors[0];
        EXPECT_TRUE(t.entries.empty()) << r.text;
    }
}

TEST(LangTableParser, ReadsCommentsEscapesAndWindowsLineEnds)
{
    const Table t = parseText("# heading\r\n1\tA\\tB\\nC\\\\D\r\n\n2\tplain\n");
    ASSERT_TRUE(t.errors.empty()) << join(t.errors);
    ASSERT_EQ(t.entries.size(), 2u);
    EXPECT_EQ(t.entries[0].text, "A\tB\nC\\D");
    EXPECT_EQ(t.entries[0].line, 2);
    EXPECT_EQ(t.entries[1].number, 2);
}

TEST(LangTableScanner, FindsOnlyLiteralFirstArguments)
{
    const std::string src = R"(
        box(GetLangString(214, err.description()));
        title = GetLangString( 1402 ,a, b);
        x = GetLangString(7);
        y = GetLangString(id);           // not a literal
        z = GetLangString(base + 3);     // expression
        w = MyGetLangString(999);        // another function
        v = GetLangString(12 + 1);       // expression starting with a literal
    )";
    EXPECT_EQ(literalStringNumbers(src), (std::set<int> { 7, 214, 1402 }));
}

TEST(LangTable, EnglishTableParses)
{
    const Table t = parseFile(EnglishTable);
    EXPECT_TRUE(t.errors.empty()) << join(t.errors);
    EXPECT_GT(t.entries.size(), 300u);
}

TEST(LangTable, NumbersAreUniqueAndAscending)
{
    const Table t = parseFile(EnglishTable);
    for (size_t i = 1; i < t.entries.size(); ++i)
        EXPECT_LT(t.entries[i - 1].number, t.entries[i].number)
            << "line " << t.entries[i].line << ": " << t.entries[i].number << " after "
            << t.entries[i - 1].number;
}

TEST(LangTable, TextsHaveNoTrailingBlanks)
{
    const Table t = parseFile(EnglishTable);
    for (const Entry &e : t.entries) {
        const char last = e.text.back();
        EXPECT_FALSE(last == ' ' || last == '\t' || last == '\n')
            << "line " << e.line << ": " << e.number;
    }
}

// Messages shown with arguments need exactly one marker per argument; texts shown without
// arguments must not show a bare "%s".
TEST(LangTable, ArgumentMarkersMatchTheCallers)
{
    const std::map<int, int> withArguments = {
        { 214, 1 },
        { 245, 1 },
        { 251, 1 },
        { 278, 1 },
        { 279, 1 },
        { 289, 1 },
        { 292, 1 },
        { 294, 1 },
        { 295, 1 },
        { 373, 1 },
        { 374, 3 },
        { 378, 1 },
        { 425, 1 },
        { 435, 1 },
        { 439, 1 },
        { 659, 1 },
        { 717, 1 },
        { 719, 1 },
        { 721, 1 },
        { 723, 1 },
        { 780, 1 },
        { 801, 1 },
        { 802, 1 },
        { 820, 2 },
        { 821, 2 },
        { 841, 1 },
        { 842, 1 },
        { 861, 2 },
        { 862, 2 },
        { 863, 3 },
        { 1402, 2 },
        { 1429, 1 },
        { 2432, 2 },
    };
    const auto texts = byNumber(parseFile(EnglishTable));
    for (const auto &[number, text] : texts) {
        const auto it = withArguments.find(number);
        EXPECT_EQ(markerCount(text), it == withArguments.end() ? 0 : it->second)
            << number << ": " << text;
    }
    for (const auto &[number, count] : withArguments)
        EXPECT_TRUE(texts.count(number)) << number << " is missing";
}

// Lists indexed by a type or position read every number of their range.
TEST(LangTable, IndexedRangesAreComplete)
{
    const std::pair<int, int> ranges[] = {
        { 750, 762 },
        { 880, 897 },
        { 618, 621 },
        { 600, 629 },
        { 710, 723 },
        { 1401, 1403 },
        { 100, 122 },
    };
    const auto texts = byNumber(parseFile(EnglishTable));
    for (const auto &[first, last] : ranges)
        for (int n = first; n <= last; ++n)
            EXPECT_TRUE(texts.count(n)) << n << " in " << first << "-" << last;
}

TEST(LangTable, EveryLiteralStringNumberInTheSourcesHasAnEnglishText)
{
    const auto texts = byNumber(parseFile(EnglishTable));
    ASSERT_FALSE(texts.empty());
    int scanned = 0;
    for (const char *root : { "src", "components", "tools" }) {
        const fs::path dir = SourceDir / root;
        if (!fs::is_directory(dir))
            continue;
        for (const auto &f : fs::recursive_directory_iterator(dir)) {
            const std::string ext = f.path().extension().string();
            if (!f.is_regular_file() || (ext != ".cpp" && ext != ".h"))
                continue;
            // Tests use tables of their own.
            if (f.path().parent_path().filename() == "tests")
                continue;
            std::ifstream in(f.path(), std::ios::binary);
            const std::string source(
                (std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
            ++scanned;
            for (int n : literalStringNumbers(source))
                EXPECT_TRUE(texts.count(n))
                    << fs::relative(f.path(), SourceDir).string() << " asks for string " << n;
        }
    }
    EXPECT_GT(scanned, 0);
}

// Further languages may be partial, but only with numbers English has: a number English lacks is
// a typo that the per-string fallback would never show.
TEST(LangTable, OtherLanguagesParseAndUseOnlyEnglishNumbers)
{
    const auto english = byNumber(parseFile(EnglishTable));
    for (const auto &d : fs::directory_iterator(SourceDir / "data/lang")) {
        const fs::path file = d.path() / "kv6reprtLangRes.txt";
        if (!d.is_directory() || d.path().filename() == "1033" || !fs::exists(file))
            continue;
        const Table t = parseFile(file);
        EXPECT_TRUE(t.errors.empty()) << file << "\n" << join(t.errors);
        for (const Entry &e : t.entries)
            EXPECT_TRUE(english.count(e.number)) << file << " line " << e.line << ": " << e.number;
    }
}
