#include "script/scriptengine.h"

#include "script/runtime.h"

namespace kv6::script {

using detail::Runtime;
using detail::Unit;

ScriptError::ScriptError(int number, QString description, int line, int column, bool syntax)
    : m_number(number)
    , m_description(std::move(description))
    , m_line(line)
    , m_column(column)
    , m_syntax(syntax)
    , m_what(message().toUtf8())
{ }

QString ScriptError::message() const
{
    if (m_syntax)
        return m_description;
    return QStringLiteral("%1 (error %2)").arg(m_description).arg(m_number);
}

CompiledCode::CompiledCode() = default;
CompiledCode::~CompiledCode() = default;
CompiledCode::CompiledCode(const CompiledCode &) = default;
CompiledCode &CompiledCode::operator=(const CompiledCode &) = default;

namespace {

// Every entry point: sets the host scope, counts steps from zero for the outermost call (a host
// function may call back in), and turns internal errors into ScriptError.
class Entry
{
public:
    Entry(Runtime &rt, HostScope *scope)
        : m_rt(rt)
        , m_savedScope(rt.scope)
    {
        if (rt.entries++ == 0) {
            rt.steps = 0;
            const char here = 0;
            rt.stackLimit = detail::stackLimitFor(&here);
        }
        if (scope)
            rt.scope = scope;
    }
    ~Entry()
    {
        m_rt.scope = m_savedScope;
        --m_rt.entries;
    }

    template<class Fn>
    auto operator()(Fn fn)
    {
        try {
            return fn();
        } catch (const RuntimeError &e) {
            throw ScriptError(e.number, e.description, e.line, e.column, false);
        } catch (const SyntaxError &e) {
            throw ScriptError(e.number, e.message, e.line, e.column, true);
        } catch (const std::bad_alloc &) {
            throw ScriptError(7, standardDescription(7), 0, 0, false);
        } catch (const ScriptError &) {
            throw; // from a host that called back in
        } catch (const std::exception &e) {
            // A host failed without the script's errors, while an expression was evaluated:
            // the same error 5 a statement gives it.
            throw ScriptError(5, QString::fromUtf8(e.what()), 0, 0, false);
        }
    }

private:
    Runtime &m_rt;
    HostScope *m_savedScope;
};

std::shared_ptr<Unit> compileUnit(Runtime &rt, const QString &text, ParseMode mode)
{
    auto unit = std::make_shared<Unit>();
    unit->mode = mode;
    unit->module = parse(text, mode);
    detail::bindModule(rt, *unit->module, mode);
    return unit;
}

} // namespace

Engine::Engine()
    : d(std::make_unique<Runtime>())
{ }

Engine::~Engine() = default;

void Engine::addObject(const QString &name, std::shared_ptr<HostObject> object)
{
    const int slot = d->globalSlot(name.toCaseFolded(), name);
    d->globalAt(slot) = Variant::object(std::move(object));
}

void Engine::addFunction(const QString &name, int minArgs, int maxArgs, BuiltinFn fn)
{
    d->addFunction(name, minArgs, maxArgs, std::move(fn));
}

void Engine::setStepLimit(qint64 steps)
{
    d->stepLimit = steps;
}

qint64 Engine::stepLimit() const
{
    return d->stepLimit;
}

void Engine::compile(const QString &source)
{
    Entry(*d, nullptr)([&] { d->scripts.push_back(compileUnit(*d, source, ParseMode::Script)); });
    d->pendingRun = true;
}

void Engine::run()
{
    if (!d->pendingRun)
        return;
    d->pendingRun = false;
    Entry(*d, nullptr)([&] {
        // Index loop: top-level code may not add scripts, but stay safe if a host does.
        for (size_t i = 0; i < d->scripts.size(); ++i)
            d->runModule(*d->scripts[i]->module);
    });
}

bool Engine::hasProcedure(const QString &name) const
{
    return d->procedures.contains(name.toCaseFolded());
}

Variant Engine::call(const QString &name, const QList<Variant *> &args)
{
    run();
    const ast::Procedure *proc = d->procedures.value(name.toCaseFolded());
    Entry entry(*d, nullptr);
    return entry([&] {
        if (!proc) {
            RuntimeError e { 35, standardDescription(35) };
            throw e;
        }
        try {
            return d->callByName(*proc, args);
        } catch (RuntimeError &e) {
            if (e.line == 0) {
                e.line = proc->line;
                e.column = proc->column;
            }
            throw;
        }
    });
}

CompiledCode Engine::compileExpression(const QString &text)
{
    CompiledCode c;
    c.m_unit = Entry(*d, nullptr)([&] { return compileUnit(*d, text, ParseMode::Expression); });
    return c;
}

CompiledCode Engine::compileStatements(const QString &text)
{
    CompiledCode c;
    c.m_unit = Entry(*d, nullptr)([&] { return compileUnit(*d, text, ParseMode::Statements); });
    return c;
}

Variant Engine::evaluate(const CompiledCode &expression, HostScope *scope)
{
    if (!expression.m_unit || expression.m_unit->mode != ParseMode::Expression)
        throw ScriptError(5, standardDescription(5), 0, 0, false);
    run();
    return Entry(*d, scope)([&] { return d->evaluateModule(*expression.m_unit->module); });
}

void Engine::execute(const CompiledCode &statements, HostScope *scope)
{
    if (!statements.m_unit || statements.m_unit->mode != ParseMode::Statements)
        throw ScriptError(5, standardDescription(5), 0, 0, false);
    run();
    Entry(*d, scope)([&] { d->executeModule(*statements.m_unit->module); });
}

Variant Engine::global(const QString &name) const
{
    const int slot = d->findGlobal(name.toCaseFolded());
    return slot < 0 ? Variant() : d->globalAt(slot);
}

} // namespace kv6::script
