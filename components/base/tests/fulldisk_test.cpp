#include "base/clsregistry.h"
#include "base/registrystore.h"
#include "base/textfile.h"

#include "testenv.h"
#include "testscopes.h"

#include <gtest/gtest.h>
#include <QDir>
#include <QFileInfo>

using namespace kv6;

// A disk that fills while a file is saved (a file-size limit stands in for it): the error names
// the file, and the file that was there before is still whole.

TEST(FullDisk, TextFileKeepsThePreviousOne)
{
    kv6test::TempEnv env;
    const QString path = env.path(QStringLiteral("groups.grp"));
    ASSERT_TRUE(WriteTextFile(path, QStringLiteral("Version: 2\n1\n"), true));
    const QByteArray before = kv6test::readFile(path);
    QString error;
    {
        kv6test::ScopedFileSizeLimit full(100);
        EXPECT_FALSE(WriteTextFile(path, QString(10000, u'x'), true, &error));
    }
    EXPECT_TRUE(error.contains(path)) << error.toStdString();
    EXPECT_EQ(kv6test::readFile(path), before);
    EXPECT_EQ(QDir(env.path(QString())).entryList(QDir::Files), QStringList { "groups.grp" });
}

TEST(FullDisk, SettingsStoreKeepsItsValues)
{
    kv6test::TempEnv env;
    clsRegistry r;
    r.setClassKey(HKEY_CURRENT_USER);
    r.setSectionKey(QStringLiteral("Software\\Korvane 6"));
    r.setValueType(REG_SZ);
    QString error;
    ASSERT_TRUE(r.SetCreateValue(QStringLiteral("Server"), QStringLiteral("db1"), false, error));
    const QString store = RegistryStore::filePathForRoot(HKEY_CURRENT_USER);
    const qint64 size = QFileInfo(store).size();
    {
        kv6test::ScopedFileSizeLimit full(size);
        EXPECT_FALSE(r.SetCreateValue(QStringLiteral("Big"), QString(200000, u'y'), false, error));
    }
    EXPECT_TRUE(error.contains(store)) << error.toStdString();
    EXPECT_EQ(
        r.GetValueOrDefault(QStringLiteral("Server"), {}, error).toString(), QStringLiteral("db1"));
    EXPECT_TRUE(r.GetValueOrDefault(QStringLiteral("Big"), {}, error).isNull());
}
