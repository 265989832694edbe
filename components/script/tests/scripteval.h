#pragma once

// One-line checks of the script engine: a value as "Type text" ("Integer 3", "Null Null",
// "object Field"), a failure as "error N".

#include "script/scriptengine.h"
#include "testenv.h"

#include <string>

namespace kv6test {

inline std::string describe(const kv6::script::Variant &v)
{
    if (v.isObject())
        return "object " + v.typeName().toStdString();
    return (v.typeName() + u' ' + (v.isNull() ? QStringLiteral("Null") : v.toString()))
        .toStdString();
}

// The value of an expression evaluated in `engine`.
inline std::string eval(kv6::script::Engine &engine, const QString &expression)
{
    try {
        return describe(engine.evaluate(engine.compileExpression(expression)));
    } catch (const kv6::script::ScriptError &e) {
        return "error " + std::to_string(e.number());
    }
}

// The same in an engine of its own.
inline std::string eval(const QString &expression)
{
    kv6::script::Engine engine;
    return eval(engine, expression);
}

// Runs statements in `engine`: "" or "error N".
inline std::string run(kv6::script::Engine &engine, const QString &statements)
{
    try {
        engine.execute(engine.compileStatements(statements));
        return "";
    } catch (const kv6::script::ScriptError &e) {
        return "error " + std::to_string(e.number());
    }
}

} // namespace kv6test
