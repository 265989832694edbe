#include "base/clsregistry.h"
#include "base/langstrings.h"

#include "testscopes.h"

#include <gtest/gtest.h>
#include <QDir>
#include <QLabel>

using namespace kv6;

namespace {

void setLocaleId(const QVariant &id)
{
    ASSERT_TRUE(kv6test::storeValue(QStringLiteral("Software\\Korvane 6"),
        QStringLiteral("LocaleId"), id, id.typeId() == QMetaType::QString ? REG_SZ : REG_DWORD));
}

class Lang : public ::testing::Test
{
protected:
    void SetUp() override
    {
        folder = kv6test::writeLanguage(env.path(QStringLiteral("lang")),
            "# English\n700\tThe database needs attention.\n701\tOnly in English\n"
            "702\tLine one\\nLine two\\ttab \\\\ end\r\n703\tReport %s of %s\n");
        kv6test::writeLanguage(folder,
            "700\tLa base de donn\xc3\xa9"
            "es doit \xc3\xaatre v\xc3\xa9rifi\xc3\xa9"
            "e.\n",
            QStringLiteral("1036"));
        SetLanguageFolderForTesting(folder);
    }
    void TearDown() override { SetLanguageFolderForTesting(QString()); }

    kv6test::TempEnv env;
    QString folder;
};

} // namespace

// The chosen locale's table, string by string English where it lacks one; a regional locale
// without a folder takes its primary language's, a locale without any table English; without
// an English table every string is empty.
TEST_F(Lang, LocaleOverrideAndItsFallbacks)
{
    setLocaleId(1036);
    ASSERT_TRUE(LoadLanguage(QStringLiteral("kv6reprt")));
    EXPECT_EQ(GetLangString(700), QString::fromUtf8("La base de données doit être vérifiée."));
    EXPECT_EQ(GetLangString(701), QStringLiteral("Only in English"));
    EXPECT_EQ(GetLangString(999), QString());
    setLocaleId(QStringLiteral("3084")); // French (Canada)
    ASSERT_TRUE(LoadLanguage(QStringLiteral("kv6reprt")));
    EXPECT_TRUE(GetLangString(700).startsWith(QStringLiteral("La base")));
    setLocaleId(1031); // German
    ASSERT_TRUE(LoadLanguage(QStringLiteral("kv6reprt")));
    EXPECT_EQ(GetLangString(700), QStringLiteral("The database needs attention."));
    SetLanguageFolderForTesting(env.path(QStringLiteral("nowhere")));
    EXPECT_FALSE(LoadLanguage(QStringLiteral("kv6reprt")));
    EXPECT_EQ(GetLangString(700), QString());
}

TEST_F(Lang, EscapesArgumentsAndReloadAfterFree)
{
    setLocaleId(1033);
    ASSERT_TRUE(LoadLanguage(QStringLiteral("kv6reprt")));
    EXPECT_EQ(GetLangString(702), QStringLiteral("Line one\nLine two\ttab \\ end"));
    EXPECT_EQ(GetLangString(703, QStringLiteral("A"), QStringLiteral("B")),
        QStringLiteral("Report A of B"));
    FreeLanguage();
    EXPECT_FALSE(LanguageLoaded());
    EXPECT_EQ(GetLangString(701), QStringLiteral("Only in English")) << "the next read loads again";
    EXPECT_TRUE(LanguageLoaded());
}

TEST(LangFormat, FormatStringSubstitutesInOrderAndNeverRescans)
{
    struct Row
    {
        const char *templ;
        QStringList args;
        const char *out;
    };
    const Row rows[] = {
        { "%s to %s", { QStringLiteral("A"), QStringLiteral("B") }, "A to B" },
        { "%s to %s", { QStringLiteral("A") }, "A to %s" },
        { "%s and %s", { QStringLiteral("%s"), QStringLiteral("x") }, "%s and x" },
        { "no marker", { QStringLiteral("A") }, "no marker" },
        { "%s%s", { QString(), QStringLiteral("B") }, "B" },
    };
    for (const Row &r : rows)
        EXPECT_EQ(FormatString(QString::fromLatin1(r.templ), r.args), QString::fromLatin1(r.out))
            << r.templ;
}

TEST(LangFormat, MalformedLinesAreSkipped)
{
    const auto t = ParseLanguageTable(
        QStringLiteral("1\tok\nnot a number\tx\n2 no tab\n3\tbad \\q escape\n#4\tcomment\n5\t\n"));
    EXPECT_EQ(t.value(1), QStringLiteral("ok"));
    EXPECT_FALSE(t.contains(3));
    EXPECT_FALSE(t.contains(4));
    EXPECT_TRUE(t.contains(5));
    EXPECT_EQ(t.size(), 2);
}

TEST(LangFolder, FoundWalkingUpFromTheProgram)
{
    kv6test::TempEnv env;
    QDir(env.root()).mkpath(QStringLiteral("suite/lang"));
    QDir(env.root()).mkpath(QStringLiteral("suite/reporter"));
    EXPECT_EQ(LanguageFolderFrom(env.path(QStringLiteral("suite/reporter"))),
        env.path(QStringLiteral("suite/lang")));
}

TEST(LangFont, DefaultFontIsInstalledAndApplyFontKeepsDeliberateSizes)
{
    const QFont f = DefaultFont(true);
    EXPECT_FALSE(f.family().isEmpty());
    EXPECT_EQ(QFontInfo(f).family(), f.family()) << "the default font must resolve to itself";

    QWidget w;
    auto *plain = new QLabel(QStringLiteral("plain"), &w);
    auto *big = new QLabel(QStringLiteral("big"), &w);
    QFont bigFont = big->font();
    bigFont.setPointSize(20);
    big->setFont(bigFont);
    QFont iface(QStringLiteral("DejaVu Sans"), 11);
    ApplyFont(&w, iface);
    EXPECT_EQ(plain->font().family(), QStringLiteral("DejaVu Sans"));
    EXPECT_EQ(plain->font().pointSize(), 11);
    EXPECT_EQ(big->font().family(), QStringLiteral("DejaVu Sans"));
    EXPECT_EQ(big->font().pointSize(), 20);
}
