#pragma once

// Scoped states many fixtures share. Declare them as members before anything that reads them.

#include "base/clsregistry.h"
#include "base/langstrings.h"
#include "base/paths.h"
#include "base/startupvalues.h"
#include "testenv.h"
#include "testlocale.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QLocale>

#include <csignal>
#include <sys/resource.h>

namespace kv6test {

// Language tables loaded from `folder` for the lifetime of the object; with `load` false only
// pointed at, for code that loads them itself.
class ScopedLanguage
{
public:
    explicit ScopedLanguage(const QString &folder, bool load = true)
    {
        kv6::FreeLanguage();
        kv6::SetLanguageFolderForTesting(folder);
        loaded = load && kv6::LoadLanguage(QStringLiteral("kv6reprt"));
    }
    ~ScopedLanguage()
    {
        kv6::FreeLanguage();
        kv6::SetLanguageFolderForTesting(QString());
    }
    ScopedLanguage(const ScopedLanguage &) = delete;
    ScopedLanguage &operator=(const ScopedLanguage &) = delete;

    bool loaded = false;
};

// The program's shipped tables.
class ShippedLanguage : public ScopedLanguage
{
public:
    explicit ShippedLanguage(bool load = true)
        : ScopedLanguage(sourceDir() + QStringLiteral("/data/lang"), load)
    {
        // Texts compared with tables that did not load would all be empty, and so equal.
        EXPECT_EQ(loaded, load) << "the shipped language tables did not load";
    }
};

// Writes a table of the test's own as the English one (or the locale `lcid`'s) under `folder`,
// and returns the folder.
inline QString writeLanguage(
    const QString &folder, const QByteArray &table, const QString &lcid = QStringLiteral("1033"))
{
    writeFile(folder + u'/' + lcid + QStringLiteral("/kv6reprtLangRes.txt"), table);
    return folder;
}

// US English as the default locale (month names, decimal point, Sunday weeks), restored after.
struct UsEnglishLocale : ScopedLocale
{
    UsEnglishLocale()
        : ScopedLocale(QLocale(QLocale::English, QLocale::UnitedStates))
    { }
};

// One start-up value changed for the lifetime of the object.
template<typename T>
class ScopedStartupValue
{
public:
    ScopedStartupValue(T kv6::StartupValues::*member, T value)
        : m_member(member)
        , m_saved(kv6::Startup().*member)
    {
        kv6::SetStartupValue(member, std::move(value));
    }
    ~ScopedStartupValue() { kv6::SetStartupValue(m_member, m_saved); }
    ScopedStartupValue(const ScopedStartupValue &) = delete;
    ScopedStartupValue &operator=(const ScopedStartupValue &) = delete;

private:
    T kv6::StartupValues::*m_member;
    T m_saved;
};

// An environment variable set, or unset for a null value, for the lifetime of the object.
class ScopedEnv
{
public:
    ScopedEnv(const char *name, const QByteArray &value)
        : m_name(name)
        , m_saved(qgetenv(name))
    {
        set(value);
    }
    ~ScopedEnv() { set(m_saved); }
    ScopedEnv(const ScopedEnv &) = delete;
    ScopedEnv &operator=(const ScopedEnv &) = delete;

private:
    void set(const QByteArray &value)
    {
        if (value.isNull())
            qunsetenv(m_name);
        else
            qputenv(m_name, value);
    }
    const char *m_name;
    QByteArray m_saved;
};

// The staged elevation helper, for the requests a test makes.
inline QByteArray stagedHelper()
{
    return (stageDir() + QStringLiteral("/common/kv6elvte")).toLocal8Bit();
}

// Pieces of a proposal or report build left in the temporary folder, joined for a message.
inline QString buildLeftovers()
{
    return QDir(kv6::TempFolder())
        .entryList({ QStringLiteral("kv6prp*"), QStringLiteral("*.rtt") },
            QDir::AllEntries | QDir::NoDotAndDotDot)
        .join(QLatin1Char(' '));
}

// A value of the settings store (the machine root unless `root` says otherwise); invalid when it
// is not there.
inline QVariant storedValue(
    const QString &key, const QString &name, quint32 root = kv6::HKEY_LOCAL_MACHINE)
{
    kv6::clsRegistry reg;
    reg.setClassKey(root);
    reg.setSectionKey(key);
    QString err;
    return reg.GetValueOrDefault(name, QVariant(), err);
}

// Writes a value of `type` into the store (the user root unless `root` says otherwise), making
// its key; whether it was written, a failure (or a success that reports an error) failing the
// running test too.
inline bool storeValue(const QString &key, const QString &name, const QVariant &value, quint32 type,
    quint32 root = kv6::HKEY_CURRENT_USER)
{
    kv6::clsRegistry reg;
    reg.setClassKey(root);
    reg.setSectionKey(key);
    reg.setValueType(type);
    QString err;
    const bool ok = reg.SetCreateValue(name, value, false, err);
    EXPECT_TRUE(ok && err.isEmpty()) << err.toStdString();
    return ok;
}

// A file-size limit on this process for the lifetime of the object: every write past `bytes` fails
// as on a full disk (the signal the system would send is ignored meanwhile, as the tools do).
class ScopedFileSizeLimit
{
public:
    explicit ScopedFileSizeLimit(rlim_t bytes)
    {
        getrlimit(RLIMIT_FSIZE, &m_saved);
        m_handler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit = m_saved;
        limit.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~ScopedFileSizeLimit()
    {
        setrlimit(RLIMIT_FSIZE, &m_saved);
        std::signal(SIGXFSZ, m_handler);
    }
    ScopedFileSizeLimit(const ScopedFileSizeLimit &) = delete;
    ScopedFileSizeLimit &operator=(const ScopedFileSizeLimit &) = delete;

private:
    rlimit m_saved {};
    void (*m_handler)(int) = nullptr;
};

} // namespace kv6test
