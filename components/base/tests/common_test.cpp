#include "base/clsregistry.h"
#include "base/help.h"
#include "base/localeinfo.h"
#include "base/paths.h"
#include "base/textfile.h"
#include "base/validation.h"
#include "base/windowstate.h"
#include "base/xmltext.h"

#include "testscopes.h"

#include <gtest/gtest.h>
#include <QDir>
#include <QDomDocument>
#include <QFile>
#include <QWidget>

using namespace kv6;

TEST(Common, EmailRules)
{
    struct Row
    {
        const char *address;
        bool valid;
    };
    const Row rows[] = {
        { "ann@example.com", true },
        { "Ann Smith <ann@example.com>", true }, // judged on the bracketed part
        { "ann@example.com <broken>", false }, // ... even when the outer text is valid
        { "ann @example.com", false }, // blank before the at-sign
        { "@example.com", false }, { "ann@ example.com", false },
        { "ann@example", false }, // no full stop after the at-sign
        { "ann@.example", true }, // a full stop first is still accepted
        { "no-at-sign.example.com", false },
        { "Name <ann@example.com", true }, // no closing bracket: the whole text counts
    };
    for (const Row &r : rows)
        EXPECT_EQ(IsValidEmail(QString::fromLatin1(r.address)), r.valid) << r.address;

    EXPECT_TRUE(IsValidEmailList(QString()));
    EXPECT_TRUE(IsValidEmailList(QStringLiteral("a@b.c,Bob <bob@x.org>")));
    EXPECT_FALSE(IsValidEmailList(QStringLiteral("a@b.c,,bob@x.org")));
    EXPECT_FALSE(IsValidEmailList(QStringLiteral("a@b.c,bob")));
}

TEST(Common, FileNamesAndScheduledTaskNames)
{
    EXPECT_EQ(MakeValidFileName(QStringLiteral("Floor 2/East: *all*"), QStringLiteral("_")),
        QStringLiteral("Floor 2_East_ _all_"));
    EXPECT_EQ(MakeValidFileName(QStringLiteral("a\\b.c\"d'e?f>g<h|i"), QString()),
        QStringLiteral("abcdefghi"));
}

TEST(Common, WindowStateNeverRestoresMinimised)
{
    kv6test::TempEnv env;
    const QString key = QStringLiteral("Software\\Korvane 6\\Reporter");
    for (const auto &[stored, expected] :
        { std::pair { 1, 0 }, std::pair { 2, 2 }, std::pair { 0, 0 } }) {
        ASSERT_TRUE(kv6test::storeValue(key, QStringLiteral("LastWindowState"), stored, REG_DWORD));
        QWidget w;
        RestoreWindowState(key, &w);
        EXPECT_EQ(WindowStateCode(&w), expected) << stored;
    }
    QWidget w;
    w.setWindowState(Qt::WindowMaximized);
    SaveWindowState(QStringLiteral("Software\\Elsewhere"), &w);
    const QVariant saved = kv6test::storedValue(QStringLiteral("Software\\Elsewhere"),
        QStringLiteral("LastWindowState"), HKEY_CURRENT_USER);
    EXPECT_EQ(saved, QVariant(2));
    EXPECT_EQ(saved.typeId(), QMetaType::Int) << "stored as a number";
}

TEST(Common, NumericKeyFilterFollowsTheLocale)
{
    const QLocale german(QLocale::German, QLocale::Germany);
    EXPECT_EQ(FilterNumericKey('.', true, true, german), 0); // swallowed
    EXPECT_EQ(FilterNumericKey(',', true, true, german), ',');
    EXPECT_EQ(FilterNumericKey(',', true, false, german), 0); // decimals not allowed
    EXPECT_EQ(FilterNumericKey('-', true, true, german), '-');
    EXPECT_EQ(FilterNumericKey('-', false, true, german), 0);
    EXPECT_EQ(FilterNumericKey('7', false, false, german), '7');
    EXPECT_EQ(FilterNumericKey(8, false, false, german), 8); // backspace
    EXPECT_EQ(FilterNumericKey('a', true, true, german), 0);
    const QLocale us(QLocale::English, QLocale::UnitedStates);
    EXPECT_EQ(FilterNumericKey('.', true, true, us), '.');
    EXPECT_EQ(DecimalSeparator(german), QStringLiteral(","));
}

TEST(Common, FoldersAndHelp)
{
    kv6test::TempEnv env;
    // program in <root>/a/reporter; "common" one level above it.
    QDir(env.root()).mkpath(QStringLiteral("a/reporter"));
    QDir(env.root()).mkpath(QStringLiteral("a/common"));
    EXPECT_EQ(CommonFolderFrom(env.path(QStringLiteral("a/reporter"))),
        env.path(QStringLiteral("a/common")));
    // No "common" anywhere above: the root's.
    EXPECT_EQ(CommonFolderFrom(QStringLiteral("/nonexistent/x/y")), QStringLiteral("/common"));

    EXPECT_EQ(
        HelpFilePathFrom(QStringLiteral("/opt/korvane6/reporter"), QStringLiteral("kv6reprt.chm")),
        QStringLiteral("/opt/korvane6/help/kv6reprt.chm"));
    const QUrl url = HelpTopicUrl(QStringLiteral("/opt/korvane6/help/kv6reprt.chm"), 1200);
    EXPECT_EQ(url.toString(), QStringLiteral("file:///opt/korvane6/help/kv6reprt/index.html#1200"));

    EXPECT_TRUE(EnsureFolder(env.path(QStringLiteral("x/y/z"))));
    EXPECT_TRUE(FileExists(env.path(QStringLiteral("x/y/z"))));
    EXPECT_FALSE(FileExists(QString()));
    EXPECT_EQ(SpecialFolderPath(CSIDL_PERSONAL), env.path(QStringLiteral("Documents")));
    EXPECT_EQ(SpecialFolderPath(12345), QString());

    const QString temp = TempFileName(QStringLiteral("kv6"));
    EXPECT_TRUE(temp.startsWith(TempFolder() + QStringLiteral("kv6"))) << temp.toStdString();
    EXPECT_FALSE(QFile::exists(temp));
}

TEST(Common, AddCommonToPathNeedsAPath)
{
    const QByteArray saved = qgetenv("PATH");
    qunsetenv("PATH");
    EXPECT_FALSE(AddCommonToPath());
    EXPECT_TRUE(qgetenv("PATH").isEmpty());
    qputenv("PATH", "/usr/bin");
    EXPECT_TRUE(AddCommonToPath());
    EXPECT_EQ(qgetenv("PATH"), "/usr/bin:" + QFile::encodeName(CommonFolder()));
    qputenv("PATH", saved);
}

TEST(Common, ChildTextAndLocaleTables)
{
    QDomDocument doc;
    ASSERT_TRUE(doc.setContent(
        QStringLiteral("<r><Name>  Pages  </Name><Empty>  </Empty><x><Deep>d</Deep></x></r>")));
    const QDomElement r = doc.documentElement();
    EXPECT_EQ(
        GetChildText(r, QStringLiteral("Name"), QStringLiteral("def")), QStringLiteral("Pages"));
    EXPECT_EQ(
        GetChildText(r, QStringLiteral("Empty"), QStringLiteral("def")), QStringLiteral("def"));
    EXPECT_EQ(GetChildText(r, QStringLiteral("Deep"), QStringLiteral("def")),
        QStringLiteral("def")); // direct children only

    EXPECT_EQ(LocaleLcid(QLocale(QLocale::French, QLocale::Canada)), 3084u);
    EXPECT_EQ(LocaleLcid(QLocale(QLocale::French, QLocale::Luxembourg)), 1036u);
    EXPECT_EQ(LocaleLcid(QLocale(QLocale::Russian, QLocale::Russia)), 1049u);
    EXPECT_EQ(LocaleLcid(QLocale(QLocale::Zulu, QLocale::SouthAfrica)), 1033u);
    EXPECT_EQ(CodePageForCodeset("UTF-8"), 65001);
    EXPECT_EQ(CodePageForCodeset("koi8-r"), 1251);
    EXPECT_EQ(CodePageForCodeset("ISO-8859-1"), 1252);
}

TEST(Common, TextFilesFallBackToWindows1252)
{
    kv6test::TempEnv env;
    const QString path = env.path(QStringLiteral("old.txt"));
    kv6test::writeFile(path,
        "Caf\xe9 \x80"
        "5\r\nnext\n");
    QString text;
    ASSERT_TRUE(ReadTextFile(path, &text));
    EXPECT_EQ(text, QString::fromUtf8("Café €5\nnext\n"));

    ASSERT_TRUE(WriteTextFile(path, QString::fromUtf8("Ünïcode\nline"), true));
    EXPECT_EQ(kv6test::readFile(path),
        QByteArray("\xc3\x9cn\xc3\xaf"
                   "code\r\nline"));
    QString err;
    EXPECT_FALSE(ReadTextFile(env.path(QStringLiteral("missing.txt")), &text, &err));
    EXPECT_FALSE(err.isEmpty());
}

TEST(Common, MessagesQuoteAShortPrintablePieceOfAFile)
{
    EXPECT_EQ(ExcerptForMessage(u"12x"), QStringLiteral("12x"));
    EXPECT_EQ(ExcerptForMessage(u"a\tb\u0085c\u00e9"), QString::fromUtf8("a?b?cé"));
    const QString long61 = QString(59, u'x') + QString::fromUtf8("😀");
    // Cut before a character that does not fit whole, never inside it.
    EXPECT_EQ(ExcerptForMessage(long61), QString(59, u'x') + QStringLiteral("..."));
    EXPECT_EQ(ExcerptForMessage(QString(60, u'y')), QString(60, u'y'));
}
