#pragma once

// The script engine: a VBScript-subset interpreter for report definitions (PreProcess and
// PostProcess over record sets), section format scripts and field expressions.
//
//     kv6::script::Engine engine;
//     engine.addObject("WScript", host);
//     engine.compile(source);                    // parses once; throws ScriptError
//     if (engine.hasProcedure("PostProcess"))
//         engine.call("PostProcess", {&src, &dst}); // ByRef parameters write through the pointers
//     auto expr = engine.compileExpression("FormatCurrency(Pages * Rate, 2)");
//     Variant text = engine.evaluate(expr, &rowScope); // no parsing here
//
// Errors: every member function that compiles or runs code throws ScriptError (syntax errors
// while compiling, run-time errors while running, with the script's error number and position)
// and nothing else; that exception is part of this library's contract, as a script's errors are
// part of the language. Host code inside a call fails through raise() or a Variant conversion
// (RuntimeError, value.h), which becomes ScriptError; a host's std::exception becomes error 5
// with its text, running out of memory error 7. Any other exception of a host passes through
// unchanged (kv6script's WScript.Quit ends a script that way). A library that runs scripts
// catches ScriptError at its own public surface and hands it back as a value. An engine is used
// from one thread at a time.

#include "script/builtins.h"
#include "script/hostobject.h"
#include "script/value.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <exception>
#include <memory>

namespace kv6::script {

// The number of the error that stops a script at the step limit; it cannot be caught with
// On Error Resume Next.
inline constexpr int StepLimitErrorNumber = 1;

class ScriptError : public std::exception
{
public:
    ScriptError(int number, QString description, int line, int column, bool syntax);

    int number() const { return m_number; }
    const QString &description() const { return m_description; }
    int line() const { return m_line; } // 1-based; 0 when unknown
    int column() const { return m_column; }
    bool isSyntaxError() const { return m_syntax; }
    // "Syntax error" or "Type mismatch (error 13)": the text a user sees after the position.
    QString message() const;
    const char *what() const noexcept override { return m_what.constData(); }

private:
    int m_number;
    QString m_description;
    int m_line;
    int m_column;
    bool m_syntax;
    QByteArray m_what;
};

namespace detail {
class Runtime;
struct Unit;
} // namespace detail

// An expression or statement list compiled by one engine, run by that engine as often as needed.
class CompiledCode
{
public:
    CompiledCode();
    ~CompiledCode();
    CompiledCode(const CompiledCode &);
    CompiledCode &operator=(const CompiledCode &);
    bool isNull() const { return !m_unit; }

private:
    friend class Engine;
    std::shared_ptr<detail::Unit> m_unit;
};

class Engine
{
public:
    Engine();
    ~Engine();
    Engine(const Engine &) = delete;
    Engine &operator=(const Engine &) = delete;

    // Named objects and functions are globals; add them before compiling code that uses them.
    void addObject(const QString &name, std::shared_ptr<HostObject> object);
    // Host functions take precedence over the standard library; maxArgs -1 means any number.
    void addFunction(const QString &name, int minArgs, int maxArgs, BuiltinFn fn);

    // Statements (and loop iterations) allowed per call into the engine; 0 means no limit.
    void setStepLimit(qint64 steps);
    qint64 stepLimit() const;

    // Adds a script: its procedures, constants and globals. Its top-level statements run on
    // run(), or before the first call, evaluation or execution that follows.
    void compile(const QString &source);
    void run();

    bool hasProcedure(const QString &name) const;
    // Calls a Sub or Function; ByRef parameters bind to the given variables.
    Variant call(const QString &name, const QList<Variant *> &args = {});

    CompiledCode compileExpression(const QString &text);
    CompiledCode compileStatements(const QString &text);
    // Names the script does not define are resolved through the scope.
    Variant evaluate(const CompiledCode &expression, HostScope *scope = nullptr);
    void execute(const CompiledCode &statements, HostScope *scope = nullptr);

    // A global variable's value (Empty when there is none).
    Variant global(const QString &name) const;

private:
    std::unique_ptr<detail::Runtime> d;
};

} // namespace kv6::script
