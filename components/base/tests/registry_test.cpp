#include "base/clsregistry.h"
#include "base/registrystore.h"

#include "testscopes.h"
#include "toolrun.h"

#include <gtest/gtest.h>
#include <QFile>
#include <QFileInfo>
#include <QProcess>

using namespace kv6;
using kv6test::storeValue;

namespace {

struct Reg : clsRegistry
{
    Reg(const QString &key, quint32 root = HKEY_CURRENT_USER)
    {
        setClassKey(root);
        setSectionKey(key);
    }
};

} // namespace

TEST(Registry, MissingKeyAndMissingValueGiveTheirDefaults)
{
    kv6test::TempEnv env;
    Reg missing(QStringLiteral("Software\\Korvane 6\\Nowhere"));
    missing.setDefault(QStringLiteral("instance default"));
    QString err;
    missing.setValueKey(QStringLiteral("X"));
    EXPECT_TRUE(missing.GetValue(err).isNull()); // a missing key ignores Default
    EXPECT_TRUE(err.startsWith(QStringLiteral("Error retrieving value: "))) << err.toStdString();
    EXPECT_EQ(missing.GetValueOrDefault(QStringLiteral("X"), 7, err), QVariant(7));

    ASSERT_TRUE(
        storeValue(QStringLiteral("Software\\Korvane 6"), QStringLiteral("Present"), 1, REG_DWORD));
    Reg key(QStringLiteral("Software\\Korvane 6"));
    key.setValueKey(QStringLiteral("Absent"));
    EXPECT_TRUE(key.GetValue(err).isNull());
    key.setDefault(QStringLiteral("fallback"));
    EXPECT_EQ(key.GetValue(err), QVariant(QStringLiteral("fallback")));
    EXPECT_FALSE(err.isEmpty());
}

TEST(Registry, StringTypesFollowThePercentRule)
{
    kv6test::TempEnv env;
    qputenv("KV6_REG_TEST_VAR", "expanded");
    struct Row
    {
        const char *text;
        quint32 storedType;
        const char *readBack;
    };
    const Row rows[] = {
        { "plain text", REG_SZ, "plain text" },
        { "100% sure", REG_SZ, "100% sure" }, // a single percent sign
        { "a%%b", REG_SZ, "a%%b" }, // two adjacent, no third
        { "%KV6_REG_TEST_VAR%\\x", REG_EXPAND_SZ, "expanded\\x" },
        { "%NO_SUCH_VARIABLE_KV6%", REG_EXPAND_SZ, "%NO_SUCH_VARIABLE_KV6%" },
        { "  padded  ", REG_SZ, "padded" }, // strings read back trimmed
    };
    for (const Row &r : rows) {
        ASSERT_TRUE(storeValue(QStringLiteral("Software\\T"), QStringLiteral("V"),
            QString::fromLatin1(r.text), REG_SZ));
        Reg reader(QStringLiteral("Software\\T"));
        QString err;
        EXPECT_EQ(reader.GetValueOrDefault(QStringLiteral("V"), QVariant(), err).toString(),
            QString::fromLatin1(r.readBack))
            << r.text;
        EXPECT_EQ(reader.ValueType(), r.storedType) << r.text;
    }
}

TEST(Registry, NumbersBytesAndMultiStrings)
{
    kv6test::TempEnv env;
    const QString key = QStringLiteral("Software\\Korvane 6\\Reporter");
    ASSERT_TRUE(storeValue(key, QStringLiteral("Dword"), 0x01020304, REG_DWORD));
    ASSERT_TRUE(storeValue(key, QStringLiteral("BigEndianAsked"), 5, REG_DWORD_BIG_ENDIAN));
    ASSERT_TRUE(
        storeValue(key, QStringLiteral("Short"), QVariant::fromValue<qint16>(-2), REG_DWORD));
    ASSERT_TRUE(
        storeValue(key, QStringLiteral("Bytes"), QByteArray("\x00\x01\xff", 3), REG_BINARY));

    Reg r(key);
    QString err;
    EXPECT_EQ(r.GetValueOrDefault(QStringLiteral("Dword"), {}, err), QVariant(0x01020304));
    EXPECT_EQ(r.GetValueOrDefault(QStringLiteral("BigEndianAsked"), {}, err), QVariant(5));
    EXPECT_EQ(r.ValueType(), REG_DWORD); // type 5 is written as a plain number
    EXPECT_EQ(r.GetValueOrDefault(QStringLiteral("Short"), {}, err), QVariant(-2));
    EXPECT_EQ(r.GetValueOrDefault(QStringLiteral("Bytes"), {}, err).toByteArray(),
        QByteArray("\x00\x01\xff", 3));

    // Values written by other programs: a big-endian number and a multi-string.
    RegistryStore store(RegistryStore::filePathForRoot(HKEY_CURRENT_USER));
    QByteArray be("\x00\x00\x01\x02", 4);
    ASSERT_TRUE(store.writeValue(key, QStringLiteral("BE"), { REG_DWORD_BIG_ENDIAN, be }, err));
    ASSERT_TRUE(store.writeValue(
        key, QStringLiteral("Multi"), { REG_MULTI_SZ, QByteArray("one\0two\0\0", 9) }, err));
    EXPECT_EQ(r.GetValueOrDefault(QStringLiteral("BE"), {}, err), QVariant(0x0102));
    EXPECT_EQ(
        r.GetValueOrDefault(QStringLiteral("Multi"), {}, err), QVariant(QStringLiteral("onetwo")));
    EXPECT_EQ(r.ValueType(), REG_MULTI_SZ);
}

TEST(Registry, InvalidValuesForTheTypeAreRefused)
{
    kv6test::TempEnv env;
    struct Row
    {
        quint32 type;
        QVariant value;
        const char *text;
    };
    const Row rows[] = {
        { REG_DWORD, QStringLiteral("12"), "Could not set value. Invalid value for set type." },
        { REG_DWORD, 1.5, "Could not set value. Invalid value for set type." },
        { REG_DWORD, QVariant::fromValue<qint64>(1),
            "Could not set value. Invalid value for set type." },
        { REG_BINARY, QStringLiteral("text"), "Could not set value. Invalid value for set type." },
        // Readable, not writable; other types take the same branch.
        { REG_MULTI_SZ, QStringLiteral("a"), "Could not set value. Unknown value type." },
    };
    for (const Row &r : rows) {
        Reg reg(QStringLiteral("Software\\T"));
        reg.setValueType(r.type);
        QString err;
        EXPECT_FALSE(reg.SetCreateValue(QStringLiteral("V"), r.value, false, err));
        EXPECT_EQ(err, QString::fromLatin1(r.text)) << r.type;
    }
    Reg noKey(QStringLiteral("Software\\Missing"));
    noKey.setValueType(REG_SZ);
    noKey.setValueKey(QStringLiteral("V"));
    QString err;
    EXPECT_FALSE(noKey.SetValue(QStringLiteral("x"), err));
    EXPECT_TRUE(err.startsWith(QStringLiteral("Unable to set value: "))) << err.toStdString();
}

TEST(Registry, KeysAreCaseInsensitiveCasePreservingAndNested)
{
    kv6test::TempEnv env;
    ASSERT_TRUE(storeValue(QStringLiteral("Software\\Korvane 6\\Reporter\\Scheduling\\Weekly"),
        QStringLiteral("Subject"), QStringLiteral("Pages"), REG_SZ));
    ASSERT_TRUE(storeValue(QStringLiteral("software\\KORVANE 6\\reporter\\scheduling\\Monthly"),
        QStringLiteral("SUBJECT"), QStringLiteral("Costs"), REG_SZ));

    Reg parent(QStringLiteral("SOFTWARE\\korvane 6\\Reporter\\Scheduling"));
    QStringList names;
    int count = 0;
    QString err;
    ASSERT_TRUE(parent.EnumerateSections(names, count, err));
    EXPECT_EQ(count, 2);
    EXPECT_EQ(names, (QStringList { QStringLiteral("Weekly"), QStringLiteral("Monthly") }));

    Reg weekly(QStringLiteral("software\\korvane 6\\reporter\\scheduling\\WEEKLY"));
    EXPECT_EQ(weekly.GetValueOrDefault(QStringLiteral("subject"), {}, err),
        QVariant(QStringLiteral("Pages")));
    weekly.setValueType(REG_SZ);
    ASSERT_TRUE(
        weekly.SetCreateValue(QStringLiteral("SUBJECT"), QStringLiteral("Volumes"), false, err));
    ASSERT_TRUE(weekly.EnumerateValues(names, count, err));
    EXPECT_EQ(names, QStringList { QStringLiteral("Subject") }); // first spelling kept
    weekly.setValueKey(QStringLiteral("subject"));
    EXPECT_TRUE(weekly.DeleteValue(err));
    EXPECT_FALSE(weekly.DeleteValue(err)) << "already gone";
    EXPECT_FALSE(err.isEmpty());

    Reg level(QStringLiteral("Software\\Korvane 6\\Reporter"));
    EXPECT_TRUE(level.KeyExists(err)) << "every missing level was created";

    ASSERT_TRUE(parent.DeleteKey(err)) << err.toStdString();
    EXPECT_FALSE(weekly.KeyExists(err));
    EXPECT_TRUE(level.KeyExists(err));
    EXPECT_FALSE(parent.DeleteKey(err));
    EXPECT_TRUE(err.startsWith(QStringLiteral("Unable to delete key: ")));
    EXPECT_FALSE(parent.EnumerateValues(names, count, err));
    EXPECT_TRUE(err.startsWith(QStringLiteral("Unable to enumerate values: ")));
    EXPECT_FALSE(parent.EnumerateSections(names, count, err));
    EXPECT_TRUE(err.startsWith(QStringLiteral("Unable to enumerate sections: ")));
}

TEST(Registry, CorruptAndReadOnlyStoresFailWithTheirTexts)
{
    kv6test::TempEnv env;
    const QString path = RegistryStore::filePathForRoot(HKEY_CURRENT_USER);
    kv6test::writeFile(path, QByteArray(4096, 'x'));
    Reg r(QStringLiteral("Software\\Korvane 6"));
    QString err;
    EXPECT_FALSE(r.KeyExists(err));
    EXPECT_TRUE(err.contains(QStringLiteral("not a database"))) << err.toStdString();
    EXPECT_TRUE(r.GetValueOrDefault(QStringLiteral("X"), {}, err).isNull());
    EXPECT_TRUE(err.startsWith(QStringLiteral("Error retrieving value: ")));
    r.setValueType(REG_SZ);
    EXPECT_FALSE(r.SetCreateValue(QStringLiteral("X"), QStringLiteral("y"), false, err));
    EXPECT_TRUE(err.startsWith(QStringLiteral("Unable to create key: "))) << err.toStdString();

    // A store under a path that runs through a plain file can never be made.
    qputenv("KV6_USER_REGISTRY", (path + QStringLiteral("/inside/registry.db")).toLocal8Bit());
    Reg blocked(QStringLiteral("Software\\Korvane 6"));
    blocked.setValueType(REG_SZ);
    EXPECT_FALSE(blocked.SetCreateValue(QStringLiteral("X"), QStringLiteral("y"), false, err));
    EXPECT_TRUE(err.startsWith(QStringLiteral("Unable to create key: "))) << err.toStdString();
    EXPECT_FALSE(blocked.CheckSecurity(KEY_WRITE));
}

TEST(Registry, CheckSecurityFollowsTheStoreFile)
{
    kv6test::TempEnv env;
    Reg r(QStringLiteral("Software\\Korvane 6"), HKEY_LOCAL_MACHINE);
    EXPECT_FALSE(r.CheckSecurity(KEY_READ)) << "missing key";
    r.setValueType(REG_SZ);
    QString err;
    ASSERT_TRUE(
        r.SetCreateValue(QStringLiteral("ProductVersion"), QStringLiteral("6.0"), true, err));
    EXPECT_TRUE(r.CheckSecurity(KEY_READ));
    EXPECT_TRUE(r.CheckSecurity(KEY_WRITE));
    const QString file = RegistryStore::filePathForRoot(HKEY_LOCAL_MACHINE);
    EXPECT_EQ(QFile::permissions(file) & QFile::ReadOther, QFile::ReadOther);

    // The personal store holds the database password: its owner's alone, whatever the flag says,
    // and one opened up behind the program's back is tightened on the next read.
    qputenv(
        "KV6_USER_REGISTRY", env.path(QStringLiteral("new/Korvane 6/registry.db")).toLocal8Bit());
    Reg user(QStringLiteral("Software\\Korvane 6"));
    user.setValueType(REG_SZ);
    ASSERT_TRUE(user.SetCreateValue(QStringLiteral("Connection"), QStringLiteral("x"), true, err));
    const QString userFile = RegistryStore::filePathForRoot(HKEY_CURRENT_USER);
    const auto owner = QFile::ReadOwner | QFile::WriteOwner | QFile::ReadUser | QFile::WriteUser;
    EXPECT_EQ(QFile::permissions(userFile), owner);
    for (const QString &dir : { env.path(QStringLiteral("new")), QFileInfo(userFile).path() })
        EXPECT_EQ(QFile::permissions(dir) & ~(QFile::ExeOwner | QFile::ExeUser | owner), 0)
            << dir.toStdString();
    QFile::setPermissions(userFile, owner | QFile::ReadGroup | QFile::ReadOther);
    EXPECT_EQ(user.GetValueOrDefault(QStringLiteral("Connection"), {}, err),
        QVariant(QStringLiteral("x")));
    EXPECT_EQ(QFile::permissions(userFile), owner);
}

// Two processes writing the same store at once: every value of both must be there afterwards.
TEST(Registry, ConcurrentWritersLoseNothing)
{
    const QByteArray role = qgetenv("KV6_REG_WRITER");
    if (!role.isEmpty()) {
        qputenv("KV6_USER_REGISTRY", qgetenv("KV6_REG_WRITER_STORE"));
        for (int i = 0; i < 150; ++i)
            ASSERT_TRUE(storeValue(QStringLiteral("Software\\Shared\\") + QString::fromLatin1(role),
                QStringLiteral("V%1").arg(i), i, REG_DWORD));
        return;
    }
    kv6test::TempEnv env;
    QProcess writers[2];
    for (int w = 0; w < 2; ++w)
        kv6test::startThisTest(writers[w], QStringLiteral("Registry.ConcurrentWritersLoseNothing"),
            { { QStringLiteral("KV6_REG_WRITER"), QStringLiteral("AB").mid(w, 1) },
                { QStringLiteral("KV6_REG_WRITER_STORE"),
                    RegistryStore::filePathForRoot(HKEY_CURRENT_USER) } });
    for (QProcess &w : writers) {
        const kv6test::ToolRun r = kv6test::finishTool(w);
        EXPECT_EQ(r.exitCode, 0) << kv6test::show(r);
    }
    for (const char *name : { "A", "B" }) {
        Reg r(QStringLiteral("Software\\Shared\\") + QString::fromLatin1(name));
        QStringList names;
        int count = 0;
        QString err;
        ASSERT_TRUE(r.EnumerateValues(names, count, err)) << err.toStdString();
        EXPECT_EQ(count, 150) << name;
    }
}
