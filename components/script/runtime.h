#pragma once

// Inside the engine: the name tables the compiler binds against and the tree-walking evaluator.

#include "script/ast.h"
#include "script/builtins.h"
#include "script/hostobject.h"
#include "script/parser.h"

#include <QHash>

#include <deque>
#include <memory>
#include <vector>

namespace kv6::script::detail {

enum class Flow { Normal, ExitDo, ExitFor, ExitProc };

struct Frame
{
    Variant **refs = nullptr; // locals: own storage or, for ByRef parameters, the caller's
    const ast::Procedure *proc = nullptr;
    bool resumeNext = false;
};

struct Unit
{
    std::unique_ptr<ast::Module> module;
    ParseMode mode = ParseMode::Script;
};

class Runtime
{
public:
    Runtime();
    ~Runtime();

    // ---- names
    int findGlobal(const QString &key) const { return m_globalIndex.value(key, -1); }
    int globalSlot(const QString &key, const QString &name); // finds or creates
    int globalCount() const { return int(m_globals.size()); }
    Variant &globalAt(int slot) { return m_globals[size_t(slot)]; }
    const BuiltinFunction *findFunction(const QString &name, const QString &key) const;
    void addFunction(const QString &name, int minArgs, int maxArgs, BuiltinFn fn);

    QHash<QString, Variant> constants; // global constants, by case-folded name
    QHash<QString, const ast::Procedure *> procedures;
    std::vector<std::shared_ptr<Unit>> scripts;

    // ---- Err
    int errNumber = 0;
    QString errDescription;
    QString errSource;
    void clearErr();
    void setErr(const RuntimeError &e);

    // ---- running
    HostScope *scope = nullptr;
    qint64 steps = 0;
    qint64 stepLimit = 0;
    int depth = 0;
    int entries = 0; // nesting of calls into the engine (hosts may call back in)
    // Running code below this address is "Out of stack space": deep recursion with large
    // expressions ends as error 28 before the thread's stack does.
    const char *stackLimit = nullptr;
    void checkStack() const
    {
        const char here = 0;
        if (&here < stackLimit)
            raise(28);
    }
    bool pendingRun = false; // a compiled script's top-level code has not run yet

    void runModule(ast::Module &m);
    Variant evaluateModule(const ast::Module &m);
    void executeModule(const ast::Module &m);
    Variant callByName(const ast::Procedure &p, const QList<Variant *> &args);

private:
    Flow execBlock(const ast::Block &b, Frame &f);
    Flow execStmt(const ast::Stmt &s, Frame &f);
    Flow execInner(const ast::Stmt &s, Frame &f);
    Flow execFor(const ast::Stmt &s, Frame &f);
    Flow execForEach(const ast::Stmt &s, Frame &f);
    Flow execSelect(const ast::Stmt &s, Frame &f);
    void execReDim(const ast::Stmt &s, Frame &f);
    void execErase(const ast::Stmt &s, Frame &f);
    void tick();

    Variant eval(const ast::Expr &e, Frame &f);
    Variant evalName(const ast::Expr &e, Frame &f);
    bool truth(const ast::Expr &cond, Frame &f);
    QList<Variant> evalArgs(const ast::Expr &e, Frame &f);
    Variant callFunction(const ast::Expr &e, Frame &f);
    Variant callProcedure(const ast::Procedure &p, const ast::Expr &site, Frame &caller);
    Variant runProcedure(
        const ast::Procedure &p, std::vector<Variant> &storage, std::vector<Variant *> &refs);
    void callStatement(const ast::Expr &target, Frame &f);

    Variant *refOf(const ast::Expr &e, Frame &f);
    int elementIndex(const ArrayData &arr, const ast::Expr &e, Frame &f);
    Variant *elementRef(Variant &array, const ast::Expr &e, Frame &f);
    Variant indexValue(const Variant &base, const ast::Expr &e, Frame &f);
    void assign(const ast::Expr &target, Variant value, bool isSet, Frame &f);
    void assignIndexed(Variant &slot, const ast::Expr &e, Variant value, Frame &f);
    int lateGlobal(const ast::Expr &e);
    Variant readDynamic(const ast::Expr &e);
    void writeDynamic(const ast::Expr &e, Variant value);

    [[noreturn]] void fail(const ast::Expr &e, int number, const QString &description = {});

    std::deque<Variant> m_globals; // a deque: ByRef references into it stay valid as it grows
    QHash<QString, int> m_globalIndex;
    QHash<QString, std::shared_ptr<BuiltinFunction>> m_hostFunctions;
    QHash<QString, BuiltinFunction> m_intrinsics;
    const ast::Expr *m_at = nullptr; // the operation being evaluated, for error positions
};

// The lowest stack address script code may use on this thread, measured from `here` (an
// address in the calling frame).
const char *stackLimitFor(const char *here);

// Stores a value into a variable: arrays are values, so a shared array is copied.
void storeValue(Variant &slot, Variant value);
std::shared_ptr<ArrayData> newArray(const std::vector<int> &bounds, bool fixed);

// Binds the names of a parsed module (compiler.cpp). Throws SyntaxError.
void bindModule(Runtime &rt, ast::Module &m, ParseMode mode);

} // namespace kv6::script::detail
