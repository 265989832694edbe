// Checks of the shipped string tables that do not depend on the program's own loader: the files
// parse strictly, and every string number the sources ask for by a literal has an English text.

#include "langtable.h"
#include "testenv.h"

#include <gtest/gtest.h>
#include <QDir>
#include <QDirIterator>
#include <QRegularExpression>
#include <QSet>

using namespace kv6test;

namespace {

// Literal first arguments of GetLangString calls; a call whose first argument is not a literal
// (a variable, an expression) cannot be checked here and is left out.
QSet<int> literalStringNumbers(const QString &source)
{
    static const QRegularExpression call(
        QStringLiteral("\\bGetLangString\\s*\\(\\s*([0-9]+)\\s*[,)]"));
    QSet<int> found;
    for (auto it = call.globalMatch(source); it.hasNext();)
        found.insert(it.next().captured(1).toInt());
    return found;
}

std::string errors(const LangTable &t)
{
    return t.errors.join(u'\n').toStdString();
}

} // namespace

TEST(LangTableParser, RejectsMalformedLines)
{
    const std::pair<const char *, const char *> rows[] = {
        // text, fragment of the expected error
        { "12 no tab", "no tab" },
        { "x12\tletters in the number", "not a string number" },
        { "\tmissing number", "not a string number" },
        { "12\t", "empty text" },
        { "12\tbad \\q escape", "unknown escape" },
        { "12\tends in a backslash\\", "backslash at end" },
        { "12\tone\ttwo", "second raw tab" },
    };
    for (const auto &[text, why] : rows) {
        const LangTable t = parseLangTable(text);
        ASSERT_EQ(t.errors.size(), 1) << text;
        EXPECT_TRUE(t.errors[0].contains(QLatin1String(why))) << text << " -> " << errors(t);
        EXPECT_TRUE(t.entries.isEmpty()) << text;
    }
}

TEST(LangTableParser, ReadsCommentsEscapesAndWindowsLineEnds)
{
    const LangTable t = parseLangTable("# heading\r\n1\tA\\tB\\nC\\\\D\r\n\n2\tplain\n");
    ASSERT_TRUE(t.errors.isEmpty()) << errors(t);
    ASSERT_EQ(t.entries.size(), 2);
    EXPECT_EQ(t.entries[0].text, QStringLiteral("A\tB\nC\\D"));
    EXPECT_EQ(t.entries[0].line, 2);
    EXPECT_EQ(t.entries[1].number, 2);
}

TEST(LangTableScanner, FindsOnlyLiteralFirstArguments)
{
    const QString src = QStringLiteral(R"(
        box(GetLangString(214, err.description()));
        title = GetLangString( 1402 ,a, b);
        x = GetLangString(7);
        y = GetLangString(id);           // not a literal
        z = GetLangString(base + 3);     // expression
        w = MyGetLangString(999);        // another function
        v = GetLangString(12 + 1);       // expression starting with a literal
    )");
    EXPECT_EQ(literalStringNumbers(src), (QSet<int> { 7, 214, 1402 }));
}

TEST(LangTable, EnglishParsesWithUniqueAscendingNumbersAndNoTrailingBlanks)
{
    const LangTable t = readLangTable(englishTablePath());
    EXPECT_TRUE(t.errors.isEmpty()) << errors(t);
    EXPECT_GT(t.entries.size(), 300);
    for (qsizetype i = 0; i < t.entries.size(); ++i) {
        const LangEntry &e = t.entries[i];
        if (i > 0) {
            EXPECT_LT(t.entries[i - 1].number, e.number)
                << "line " << e.line << ": " << e.number << " after " << t.entries[i - 1].number;
        }
        const QChar last = e.text.back();
        EXPECT_FALSE(last == u' ' || last == u'\t' || last == u'\n')
            << "line " << e.line << ": " << e.number;
    }
}

// Messages shown with arguments need exactly one marker per argument; texts shown without
// arguments must not show a bare "%s".
TEST(LangTable, ArgumentMarkersMatchTheCallers)
{
    const QMap<int, int> withArguments
        = { { 214, 1 }, { 245, 1 }, { 251, 1 }, { 278, 1 }, { 279, 1 }, { 289, 1 }, { 292, 1 },
              { 294, 1 }, { 295, 1 }, { 373, 1 }, { 374, 3 }, { 378, 1 }, { 425, 1 }, { 435, 1 },
              { 439, 1 }, { 659, 1 }, { 717, 1 }, { 719, 1 }, { 721, 1 }, { 723, 1 }, { 780, 1 },
              { 801, 1 }, { 802, 1 }, { 820, 2 }, { 821, 2 }, { 825, 1 }, { 841, 1 }, { 842, 1 },
              { 861, 2 }, { 862, 2 }, { 863, 3 }, { 1402, 2 }, { 1429, 1 }, { 2432, 2 } };
    const QMap<int, QString> texts = readLangTable(englishTablePath()).byNumber();
    for (auto it = texts.cbegin(); it != texts.cend(); ++it)
        EXPECT_EQ(it.value().count(QStringLiteral("%s")), withArguments.value(it.key(), 0))
            << it.key() << ": " << it.value().toStdString();
    for (auto it = withArguments.cbegin(); it != withArguments.cend(); ++it)
        EXPECT_TRUE(texts.contains(it.key())) << it.key() << " is missing";
}

// Lists indexed by a type or position read every number of their range.
TEST(LangTable, IndexedRangesAreComplete)
{
    const QMap<int, QString> texts = readLangTable(englishTablePath()).byNumber();
    for (const auto &[first, last] :
        { std::pair(750, 762), std::pair(880, 897), std::pair(618, 621), std::pair(600, 629),
            std::pair(710, 723), std::pair(1401, 1403), std::pair(100, 122) })
        for (int n = first; n <= last; ++n)
            EXPECT_TRUE(texts.contains(n)) << n << " in " << first << "-" << last;
}

TEST(LangTable, EveryLiteralStringNumberInTheSourcesHasAnEnglishText)
{
    const QMap<int, QString> texts = readLangTable(englishTablePath()).byNumber();
    ASSERT_FALSE(texts.isEmpty());
    int scanned = 0;
    for (const char *root : { "src", "components", "tools" }) {
        const QString dir = sourceDir() + u'/' + QLatin1String(root);
        QDirIterator it(dir, { QStringLiteral("*.cpp"), QStringLiteral("*.h") }, QDir::Files,
            QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QString path = it.next();
            // Tests use tables of their own.
            if (path.contains(QLatin1String("/tests/")))
                continue;
            ++scanned;
            for (int n : literalStringNumbers(readText(path)))
                EXPECT_TRUE(texts.contains(n))
                    << QDir(sourceDir()).relativeFilePath(path).toStdString() << " asks for string "
                    << n;
        }
    }
    EXPECT_GT(scanned, 0);
}

// Further languages may be partial, but only with numbers English has: a number English lacks is
// a typo that the per-string fallback would never show.
TEST(LangTable, OtherLanguagesParseAndUseOnlyEnglishNumbers)
{
    const QMap<int, QString> english = readLangTable(englishTablePath()).byNumber();
    const QDir lang(sourceDir() + QStringLiteral("/data/lang"));
    for (const QString &id : lang.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        const QString file = lang.filePath(id + QStringLiteral("/kv6reprtLangRes.txt"));
        if (id == QLatin1String("1033") || !QFile::exists(file))
            continue;
        const LangTable t = readLangTable(file);
        EXPECT_TRUE(t.errors.isEmpty()) << file.toStdString() << "\n" << errors(t);
        for (const LangEntry &e : t.entries)
            EXPECT_TRUE(english.contains(e.number))
                << file.toStdString() << " line " << e.line << ": " << e.number;
    }
}
