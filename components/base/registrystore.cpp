#include "base/registrystore.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kv6 {

namespace {

const char kSchema[]
    = "CREATE TABLE IF NOT EXISTS reg_keys(lpath TEXT PRIMARY KEY, path TEXT NOT NULL);"
      "CREATE TABLE IF NOT EXISTS reg_values(lkey TEXT NOT NULL, lname TEXT NOT NULL,"
      " name TEXT NOT NULL, type INTEGER NOT NULL, data BLOB,"
      " PRIMARY KEY(lkey, lname));";

QString systemText(int err)
{
    return QString::fromLocal8Bit(std::strerror(err));
}

// Folders missing on the way to `dir`, made one by one with `mode` (mkpath would leave them
// open to everyone under the usual umask).
bool makeFolders(const QString &dir, mode_t mode, QString &error)
{
    if (QFileInfo(dir).isDir())
        return true;
    const QString parent = QFileInfo(dir).absolutePath();
    if (parent != dir && !makeFolders(parent, mode, error))
        return false;
    if (::mkdir(QFile::encodeName(dir).constData(), mode) != 0 && errno != EEXIST) {
        error = systemText(errno);
        return false;
    }
    return true;
}

// A personal store holds the database password: it must be the owner's alone. One readable by
// others is tightened to 0600; when that is not allowed (another owner) the store is refused.
bool keepPrivate(const QString &path, QString &error)
{
    const QByteArray file = QFile::encodeName(path);
    struct stat st;
    if (::stat(file.constData(), &st) != 0 || (st.st_mode & 077) == 0)
        return true;
    if (::chmod(file.constData(), st.st_mode & 0600) == 0)
        return true;
    error = QStringLiteral("The settings store %1 can be read by other users and cannot be made "
                           "private (%2); make it readable by its owner only (chmod 600).")
                .arg(QDir::toNativeSeparators(path), systemText(errno));
    return false;
}

// One open database for the duration of one operation. Reads never create the file.
class Db
{
public:
    Db(const QString &path, bool write, bool personal, QString &error)
    {
        m_ok = open(path, write, personal, error);
        // The system's text alone does not say which file could not be written.
        m_shown = QDir::toNativeSeparators(path);
        if (!m_ok && write && !error.contains(m_shown))
            error = writeFailure(error);
    }
    ~Db()
    {
        if (m_db)
            sqlite3_close(m_db);
    }
    Db(const Db &) = delete;
    Db &operator=(const Db &) = delete;

    bool ok() const { return m_ok; }
    sqlite3 *handle() const { return m_db; }
    QString lastError() const { return QString::fromUtf8(sqlite3_errmsg(m_db)); }
    // A write that failed in SQLite: the store's path, and the system's own reason where there
    // is one ("File too large" says more than SQLite's "disk I/O error").
    QString writeFailure(const QString &why) const
    {
        const int code = m_db ? sqlite3_errcode(m_db) : SQLITE_OK;
        const int err
            = code == SQLITE_IOERR || code == SQLITE_FULL ? sqlite3_system_errno(m_db) : 0;
        return QStringLiteral("The settings store %1 cannot be written: %2")
            .arg(m_shown, err ? systemText(err) : why);
    }

    bool exec(const char *sql, QString &error)
    {
        char *msg = nullptr;
        if (sqlite3_exec(m_db, sql, nullptr, nullptr, &msg) != SQLITE_OK) {
            error = QString::fromUtf8(msg ? msg : sqlite3_errmsg(m_db));
            sqlite3_free(msg);
            return false;
        }
        return true;
    }

    // A store that has never been written holds no tables: that is an empty store. A file that
    // is not a database fails here, with SQLite's own text.
    bool probe(bool &hasTables, QString &error) const
    {
        sqlite3_stmt *st = nullptr;
        if (sqlite3_prepare_v2(
                m_db, "SELECT 1 FROM sqlite_master WHERE name='reg_keys'", -1, &st, nullptr)
            != SQLITE_OK) {
            error = lastError();
            return false;
        }
        const int rc = sqlite3_step(st);
        hasTables = rc == SQLITE_ROW;
        if (rc != SQLITE_ROW && rc != SQLITE_DONE)
            error = lastError();
        sqlite3_finalize(st);
        return rc == SQLITE_ROW || rc == SQLITE_DONE;
    }

private:
    bool open(const QString &path, bool write, bool personal, QString &error)
    {
        if (!write && !QFileInfo::exists(path)) {
            error = systemText(ENOENT);
            return false;
        }
        if (write) {
            const QString dir = QFileInfo(path).absolutePath();
            if (!makeFolders(dir, personal ? 0700 : 0755, error))
                return false;
            // Made here with its final mode, so the file is never readable by others even for
            // a moment; SQLite gives its journals the same mode.
            const int fd = personal
                ? ::open(QFile::encodeName(path).constData(), O_WRONLY | O_CREAT | O_EXCL, 0600)
                : -1;
            if (fd >= 0)
                ::close(fd);
        }
        if (personal && !keepPrivate(path, error))
            return false;
        const int flags = write ? SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE : SQLITE_OPEN_READONLY;
        const int rc = sqlite3_open_v2(QFile::encodeName(path).constData(), &m_db, flags, nullptr);
        if (rc != SQLITE_OK) {
            error = m_db ? QString::fromUtf8(sqlite3_errmsg(m_db))
                         : QString::fromUtf8(sqlite3_errstr(rc));
            return false;
        }
        sqlite3_busy_timeout(m_db, 10000);
        if (write && !exec(kSchema, error))
            return false;
        return true;
    }

    sqlite3 *m_db = nullptr;
    bool m_ok = false;
    QString m_shown;
};

class Stmt
{
public:
    Stmt(const Db &db, const char *sql)
    {
        m_rc = sqlite3_prepare_v2(db.handle(), sql, -1, &m_st, nullptr);
    }
    ~Stmt() { sqlite3_finalize(m_st); }
    Stmt(const Stmt &) = delete;
    Stmt &operator=(const Stmt &) = delete;
    bool ok() const { return m_rc == SQLITE_OK; }
    Stmt &bind(int i, const QString &s)
    {
        const QByteArray u = s.toUtf8();
        sqlite3_bind_text(m_st, i, u.constData(), int(u.size()), SQLITE_TRANSIENT);
        return *this;
    }
    Stmt &bind(int i, const QByteArray &b)
    {
        sqlite3_bind_blob(m_st, i, b.constData(), int(b.size()), SQLITE_TRANSIENT);
        return *this;
    }
    Stmt &bind(int i, qint64 v)
    {
        sqlite3_bind_int64(m_st, i, v);
        return *this;
    }
    int step() { return m_rc = sqlite3_step(m_st); }
    QString text(int c) const
    {
        return QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(m_st, c)),
            sqlite3_column_bytes(m_st, c));
    }
    QByteArray blob(int c) const
    {
        return QByteArray(
            static_cast<const char *>(sqlite3_column_blob(m_st, c)), sqlite3_column_bytes(m_st, c));
    }
    qint64 integer(int c) const { return sqlite3_column_int64(m_st, c); }

private:
    sqlite3_stmt *m_st = nullptr;
    int m_rc = SQLITE_OK;
};

QString lower(const QString &s)
{
    return s.toCaseFolded();
}

// Runs `body` inside BEGIN IMMEDIATE … COMMIT; rolls back when it fails.
template<typename F>
bool transaction(Db &db, QString &error, F body)
{
    if (!db.exec("BEGIN IMMEDIATE", error)) {
        error = db.writeFailure(error);
        return false;
    }
    if (!body()) {
        if (error.isEmpty())
            error = db.writeFailure(db.lastError());
        QString ignored;
        db.exec("ROLLBACK", ignored);
        return false;
    }
    if (db.exec("COMMIT", error))
        return true;
    error = db.writeFailure(error);
    return false;
}

bool keyRowExists(const Db &db, const QString &lkey)
{
    if (lkey.isEmpty())
        return true; // the root always exists
    Stmt st(db, "SELECT 1 FROM reg_keys WHERE lpath = ?");
    st.bind(1, lkey);
    return st.ok() && st.step() == SQLITE_ROW;
}

const QString kNoKey = systemText(ENOENT);

// The readers' common first step: the store is a database and holds the key.
bool requireKey(const Db &db, const QString &lkey, QString &error)
{
    bool tables = false;
    if (!db.probe(tables, error))
        return false;
    if (!tables || !keyRowExists(db, lkey)) {
        error = kNoKey;
        return false;
    }
    return true;
}

// Runs `body` on the store opened for reading, once it is known to hold the key.
template<typename F>
bool readKey(const QString &path, bool personal, const QString &lkey, QString &error, F body)
{
    Db db(path, false, personal, error);
    return db.ok() && requireKey(db, lkey, error) && body(db);
}

// Runs `body` in a write transaction, once the store is known to hold the key.
template<typename F>
bool editKey(const QString &path, bool personal, const QString &lkey, QString &error, F body)
{
    Db db(path, true, personal, error);
    return db.ok() && transaction(db, error, [&] {
        if (!keyRowExists(db, lkey)) {
            error = kNoKey;
            return false;
        }
        return body(db);
    });
}

} // namespace

QString RegistryStore::filePathForRoot(quint32 root)
{
    const bool machine = root == 0x80000002;
    const QString env
        = qEnvironmentVariable(machine ? "KV6_MACHINE_REGISTRY" : "KV6_USER_REGISTRY");
    if (!env.isEmpty())
        return env;
    if (machine)
        return QStringLiteral("/var/lib/korvane6/registry.db");
    QString config = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (config.isEmpty())
        config = QDir::homePath() + QStringLiteral("/.config");
    return config + QStringLiteral("/Korvane 6/registry.db");
}

RegistryStore::RegistryStore(QString filePath, bool personal)
    : m_path(std::move(filePath))
    , m_personal(personal)
{ }

RegistryStore RegistryStore::forRoot(quint32 root)
{
    return RegistryStore(filePathForRoot(root), root != 0x80000002);
}

QString RegistryStore::normalizeKey(const QString &key)
{
    QStringList parts = QString(key)
                            .replace(QLatin1Char('/'), QLatin1Char('\\'))
                            .split(QLatin1Char('\\'), Qt::SkipEmptyParts);
    return parts.join(QLatin1Char('\\'));
}

bool RegistryStore::keyExists(const QString &key, bool &exists, QString &error) const
{
    exists = false;
    Db db(m_path, false, m_personal, error);
    if (!db.ok())
        return false;
    const QString lkey = lower(normalizeKey(key));
    bool tables = false;
    if (!db.probe(tables, error))
        return false;
    exists = lkey.isEmpty() || (tables && keyRowExists(db, lkey));
    return true;
}

bool RegistryStore::createKey(const QString &key, bool worldReadable, QString &error)
{
    const bool existed = QFileInfo::exists(m_path);
    Db db(m_path, true, m_personal, error);
    if (!db.ok())
        return false;
    const QStringList parts = normalizeKey(key).split(QLatin1Char('\\'), Qt::SkipEmptyParts);
    const bool ok = transaction(db, error, [&] {
        QString path;
        for (const QString &part : parts) {
            path = path.isEmpty() ? part : path + QLatin1Char('\\') + part;
            Stmt st(db, "INSERT OR IGNORE INTO reg_keys(lpath, path) VALUES(?, ?)");
            st.bind(1, lower(path)).bind(2, path);
            if (!st.ok() || st.step() != SQLITE_DONE)
                return false;
        }
        return true;
    });
    // The store has no per-key rights: the flag opens the whole file for reading by everyone.
    // Never a personal store's: it holds passwords.
    if (ok && worldReadable && !existed && !m_personal)
        ::chmod(QFile::encodeName(m_path).constData(), 0644);
    return ok;
}

bool RegistryStore::deleteKey(const QString &key, QString &error)
{
    const QString lkey = lower(normalizeKey(key));
    return editKey(m_path, m_personal, lkey, error, [&](Db &db) {
        const QString prefix = lkey.isEmpty() ? QString() : lkey + QLatin1Char('\\');
        const qint64 n = prefix.size();
        Stmt k(db, "DELETE FROM reg_keys WHERE lpath = ? OR substr(lpath, 1, ?) = ?");
        k.bind(1, lkey).bind(2, n).bind(3, prefix);
        Stmt v(db, "DELETE FROM reg_values WHERE lkey = ? OR substr(lkey, 1, ?) = ?");
        v.bind(1, lkey).bind(2, n).bind(3, prefix);
        return k.ok() && v.ok() && k.step() == SQLITE_DONE && v.step() == SQLITE_DONE;
    });
}

bool RegistryStore::readValue(const QString &key, const QString &name, RegistryRawValue &value,
    bool &found, QString &error) const
{
    found = false;
    const QString lkey = lower(normalizeKey(key));
    return readKey(m_path, m_personal, lkey, error, [&](Db &db) {
        Stmt st(db, "SELECT type, data FROM reg_values WHERE lkey = ? AND lname = ?");
        if (!st.ok()) {
            error = db.lastError();
            return false;
        }
        st.bind(1, lkey).bind(2, lower(name));
        const int rc = st.step();
        if (rc == SQLITE_ROW) {
            found = true;
            value.type = quint32(st.integer(0));
            value.data = st.blob(1);
        } else if (rc != SQLITE_DONE) {
            error = db.lastError();
            return false;
        }
        return true;
    });
}

bool RegistryStore::writeValue(
    const QString &key, const QString &name, const RegistryRawValue &value, QString &error)
{
    const QString lkey = lower(normalizeKey(key));
    if (!QFileInfo::exists(m_path) && !lkey.isEmpty()) {
        error = kNoKey;
        return false;
    }
    return editKey(m_path, m_personal, lkey, error, [&](Db &db) {
        // Keep the spelling the value was first created with.
        Stmt st(db,
            "INSERT INTO reg_values(lkey, lname, name, type, data) VALUES(?, ?, ?, ?, ?)"
            " ON CONFLICT(lkey, lname) DO UPDATE SET type = excluded.type, data = excluded.data");
        st.bind(1, lkey)
            .bind(2, lower(name))
            .bind(3, name)
            .bind(4, qint64(value.type))
            .bind(5, value.data);
        return st.ok() && st.step() == SQLITE_DONE;
    });
}

bool RegistryStore::deleteValue(
    const QString &key, const QString &name, bool &found, QString &error)
{
    found = false;
    const QString lkey = lower(normalizeKey(key));
    if (!QFileInfo::exists(m_path)) {
        error = kNoKey;
        return false;
    }
    return editKey(m_path, m_personal, lkey, error, [&](Db &db) {
        Stmt st(db, "DELETE FROM reg_values WHERE lkey = ? AND lname = ?");
        st.bind(1, lkey).bind(2, lower(name));
        if (!st.ok() || st.step() != SQLITE_DONE)
            return false;
        found = sqlite3_changes(db.handle()) > 0;
        return true;
    });
}

bool RegistryStore::valueNames(const QString &key, QStringList &names, QString &error) const
{
    names.clear();
    const QString lkey = lower(normalizeKey(key));
    return readKey(m_path, m_personal, lkey, error, [&](Db &db) {
        Stmt st(db, "SELECT name FROM reg_values WHERE lkey = ? ORDER BY rowid");
        st.bind(1, lkey);
        while (st.step() == SQLITE_ROW)
            names.append(st.text(0));
        return true;
    });
}

bool RegistryStore::subkeyNames(const QString &key, QStringList &names, QString &error) const
{
    names.clear();
    const QString lkey = lower(normalizeKey(key));
    return readKey(m_path, m_personal, lkey, error, [&](Db &db) {
        const QString prefix = lkey.isEmpty() ? QString() : lkey + QLatin1Char('\\');
        Stmt st(db, "SELECT path FROM reg_keys WHERE substr(lpath, 1, ?) = ? ORDER BY rowid");
        st.bind(1, qint64(prefix.size())).bind(2, prefix);
        while (st.step() == SQLITE_ROW) {
            const QString rest = st.text(0).mid(prefix.size());
            if (!rest.contains(QLatin1Char('\\')))
                names.append(rest);
        }
        return true;
    });
}

bool RegistryStore::writable() const
{
    const QByteArray file = QFile::encodeName(m_path);
    if (QFileInfo::exists(m_path))
        return ::access(file.constData(), W_OK) == 0;
    // Not made yet: writable when its nearest existing folder is.
    QString dir = QFileInfo(m_path).absolutePath();
    while (!QFileInfo::exists(dir) && dir.size() > 1)
        dir = QFileInfo(dir).absolutePath();
    return ::access(QFile::encodeName(dir).constData(), W_OK) == 0;
}

} // namespace kv6
