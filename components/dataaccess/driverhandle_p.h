#pragma once

// The native handle under a Qt SQL connection, for what only the engine's own API can do.

#include <QSqlDatabase>
#include <QSqlDriver>
#include <QVariant>

namespace kv6 {

// Null when the connection has no handle of that type.
template<typename Handle>
Handle *driverHandle(const QSqlDatabase &db, const char *typeName, const char *structName)
{
    if (!db.driver())
        return nullptr;
    const QVariant handle = db.driver()->handle();
    // Qt 6 names a typedef'd pointer after the struct behind it ("pg_conn*" for "PGconn*").
    if (!handle.isValid()
        || (qstrcmp(handle.typeName(), typeName) != 0
            && qstrcmp(handle.typeName(), structName) != 0))
        return nullptr;
    return *static_cast<Handle *const *>(handle.constData());
}

} // namespace kv6
