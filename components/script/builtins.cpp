#include "script/builtins.h"

// Placeholder until the standard function library lands: the engine links and its own
// intrinsics work, but no standard functions exist yet.

namespace kv6::script {

const QList<BuiltinFunction> &standardFunctions()
{
    static const QList<BuiltinFunction> none;
    return none;
}

const BuiltinFunction *findBuiltin(const QString &)
{
    return nullptr;
}

} // namespace kv6::script
