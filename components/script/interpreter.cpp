// The evaluator: walks the bound tree. Variables are slots, so the only name searches left at
// run time are for names the host owns.

#include "script/operators.h"
#include "script/runtime.h"
#include "script/scriptengine.h"

#include <limits>
#include <new>

#if defined(__GLIBC__)
#include <pthread.h>
#endif

namespace kv6::script::detail {

using namespace ast;

namespace {

// Script recursion is bounded well inside the thread's stack.
constexpr int MaxCallDepth = 1000;
// Arrays beyond this many elements are refused rather than exhausting memory.
constexpr qint64 MaxArrayElements = qint64(1) << 24;

bool equalsKey(const QString &member, const char *key)
{
    return member.compare(QLatin1String(key), Qt::CaseInsensitive) == 0;
}

// The Err object: the engine's last error, readable and raisable from scripts.
class ErrObject : public HostObject
{
public:
    explicit ErrObject(Runtime &rt)
        : m_rt(rt)
    { }
    QString typeName() const override { return QStringLiteral("ErrObject"); }

    Variant get(const QString &member, const QList<Variant> &args) override
    {
        if (member.isEmpty() || equalsKey(member, "number"))
            return noArgs(args, Variant::longValue(m_rt.errNumber));
        if (equalsKey(member, "description"))
            return noArgs(args, Variant::string(m_rt.errDescription));
        if (equalsKey(member, "source"))
            return noArgs(args, Variant::string(m_rt.errSource));
        if (equalsKey(member, "helpfile"))
            return noArgs(args, Variant::string(QString()));
        if (equalsKey(member, "helpcontext"))
            return noArgs(args, Variant::longValue(0));
        if (equalsKey(member, "clear")) {
            noArgs(args, Variant());
            m_rt.clearErr();
            return Variant();
        }
        if (equalsKey(member, "raise")) {
            if (args.isEmpty() || args.size() > 5)
                raise(450);
            RuntimeError e;
            e.number = args[0].toLong();
            if (e.number == 0)
                raise(5);
            e.source = args.size() > 1 && !args[1].isEmpty()
                ? args[1].toString()
                : QStringLiteral("Microsoft VBScript runtime error");
            e.description = args.size() > 2 && !args[2].isEmpty() ? args[2].toString()
                                                                  : standardDescription(e.number);
            throw e;
        }
        raise(438);
    }

    void put(const QString &member, const QList<Variant> &args, const Variant &value) override
    {
        if (!args.isEmpty())
            raise(450);
        if (member.isEmpty() || equalsKey(member, "number"))
            m_rt.errNumber = value.toLong();
        else if (equalsKey(member, "description"))
            m_rt.errDescription = value.toString();
        else if (equalsKey(member, "source"))
            m_rt.errSource = value.toString();
        else
            raise(438);
    }

private:
    static Variant noArgs(const QList<Variant> &args, Variant v)
    {
        if (!args.isEmpty())
            raise(450);
        return v;
    }
    Runtime &m_rt;
};

// How an error message names a variable or member: 'rs', 'rs.Fields'; empty for other
// expressions.
QString nameOf(const Expr &e)
{
    if (e.kind == ExprKind::Name)
        return e.name;
    if (e.kind == ExprKind::Member) {
        const QString base = nameOf(*e.a);
        return base.isEmpty() ? e.name : base + u'.' + e.name;
    }
    return QString();
}

// The standard description followed by the name the error is about, as the language words it.
[[noreturn]] void raiseNamed(int number, const Expr &e)
{
    const QString name = nameOf(e);
    if (name.isEmpty())
        raise(number);
    raise(number, QStringLiteral("%1: '%2'").arg(standardDescription(number), name));
}

// A host object lacking a member raises a plain 438; the message says which member.
void nameMissingMember(RuntimeError &err, const Expr &member)
{
    if (err.number == 438 && err.line == 0 && err.source.isEmpty()
        && err.description == standardDescription(438))
        err.description = QStringLiteral("%1: '%2'").arg(err.description, nameOf(member));
}

// An argument left out between commas.
bool isSkipped(const Expr &arg)
{
    return arg.kind == ExprKind::Literal && arg.value.isMissing();
}

// An object with a plain default value stands for that value; one without (or whose default is
// another object, like a record set's Fields) stays an object.
Variant defaultValueOrObject(const Variant &v)
{
    Variant r;
    try {
        r = v.objectValue()->get(QString(), {});
    } catch (const RuntimeError &e) {
        if (e.number == 438 || e.number == 450)
            return v;
        throw;
    }
    return r.isObject() ? v : r;
}

// For Each visits elements with the first index changing fastest (column order), while the
// items are stored with the last index fastest.
QList<Variant> enumerationOrder(const ArrayData &arr)
{
    if (arr.upper.size() < 2)
        return arr.items;
    QList<Variant> out;
    out.reserve(arr.items.size());
    QList<int> idx(arr.upper.size(), 0);
    for (qsizetype n = 0; n < arr.items.size(); ++n) {
        out.push_back(arr.items[arr.flatIndex(idx)]);
        for (qsizetype d = 0; d < idx.size(); ++d) {
            if (++idx[d] <= arr.upper[d])
                break;
            idx[d] = 0;
        }
    }
    return out;
}

} // namespace

const char *stackLimitFor(const char *here)
{
    // Left free below the limit for host functions, Qt and the error's own unwinding.
    static constexpr std::ptrdiff_t Reserve = std::ptrdiff_t(256) * 1024;
    // Where the thread's size is unknown, scripts get this much below the engine's entry.
    constexpr std::ptrdiff_t Fallback = std::ptrdiff_t(1024) * 1024;
    thread_local const char *floor = [] {
        const char *low = nullptr;
#if defined(__GLIBC__)
        pthread_attr_t attr;
        if (pthread_getattr_np(pthread_self(), &attr) == 0) {
            void *addr = nullptr;
            size_t size = 0;
            if (pthread_attr_getstack(&attr, &addr, &size) == 0 && addr)
                low = static_cast<const char *>(addr) + qMin(Reserve, std::ptrdiff_t(size / 4));
            pthread_attr_destroy(&attr);
        }
#endif
        return low;
    }();
    return floor && floor < here ? floor : here - Fallback;
}

std::shared_ptr<ArrayData> newArray(const std::vector<int> &bounds, bool fixed)
{
    auto a = std::make_shared<ArrayData>();
    a->fixed = fixed;
    qint64 total = bounds.empty() ? 0 : 1;
    for (int b : bounds) {
        if (b < -1)
            raise(9);
        a->upper.push_back(b);
        total *= qint64(b) + 1;
        if (total > MaxArrayElements)
            raise(7);
    }
    a->items.resize(total);
    return a;
}

void storeValue(Variant &slot, Variant value)
{
    if (value.isArray() && value.arrayValue().use_count() > 1) {
        // The copy takes storage of its own at once: the slot may lie in the array being copied
        // ("a(0) = a"), and writing it must not reach the copy, which would then hold itself.
        auto copy = std::make_shared<ArrayData>(*value.arrayValue());
        copy->items.detach();
        value = Variant::array(std::move(copy));
    }
    slot = std::move(value);
}

Runtime::Runtime()
    : constants(standardConstants())
{
    const int err = globalSlot(QStringLiteral("err"), QStringLiteral("Err"));
    m_globals[size_t(err)] = Variant::object(std::make_shared<ErrObject>(*this));
    // TypeName and VarType belong to the language; the standard library may define them too.
    m_intrinsics.insert(QStringLiteral("typename"),
        BuiltinFunction { QStringLiteral("TypeName"), 1, 1,
            [](const QList<Variant> &a) { return Variant::string(a[0].typeName()); }, true });
    m_intrinsics.insert(QStringLiteral("vartype"),
        BuiltinFunction { QStringLiteral("VarType"), 1, 1,
            [](const QList<Variant> &a) { return Variant::integer(a[0].varType()); } });
}

Runtime::~Runtime() = default;

int Runtime::globalSlot(const QString &key, const QString &name)
{
    const int found = findGlobal(key);
    if (found >= 0)
        return found;
    Q_UNUSED(name);
    const int slot = int(m_globals.size());
    m_globals.emplace_back();
    m_globalIndex.insert(key, slot);
    return slot;
}

const BuiltinFunction *Runtime::findFunction(const QString &name, const QString &key) const
{
    if (const auto host = m_hostFunctions.value(key))
        return host.get();
    if (const BuiltinFunction *fn = findBuiltin(name))
        return fn;
    const auto it = m_intrinsics.constFind(key);
    return it == m_intrinsics.constEnd() ? nullptr : &it.value();
}

void Runtime::addFunction(const QString &name, int minArgs, int maxArgs, BuiltinFn fn)
{
    // Hosts decide themselves what an object argument means.
    m_hostFunctions.insert(name.toCaseFolded(),
        std::make_shared<BuiltinFunction>(
            BuiltinFunction { name, minArgs, maxArgs, std::move(fn), true }));
}

void Runtime::clearErr()
{
    errNumber = 0;
    errDescription.clear();
    errSource.clear();
}

void Runtime::setErr(const RuntimeError &e)
{
    errNumber = e.number;
    errDescription = e.description;
    errSource = e.source.isEmpty() ? QStringLiteral("Microsoft VBScript runtime error") : e.source;
}

void Runtime::fail(const Expr &e, int number, const QString &description)
{
    m_at = &e;
    raise(number, description);
}

void Runtime::tick()
{
    if (++steps > stepLimit && stepLimit > 0) {
        RuntimeError e;
        e.number = StepLimitErrorNumber;
        e.description = QStringLiteral("The script was stopped after %1 steps").arg(stepLimit);
        e.fatal = true;
        throw e;
    }
}

// ---- running modules

void Runtime::runModule(Module &m)
{
    if (m.hasRun)
        return;
    m.hasRun = true;
    Frame top;
    m_at = nullptr;
    execBlock(m.main, top);
}

Variant Runtime::evaluateModule(const Module &m)
{
    Frame top;
    m_at = nullptr;
    try {
        return eval(*m.expression, top);
    } catch (RuntimeError &e) {
        if (e.line == 0) {
            const Expr *at = m_at ? m_at : m.expression.get();
            e.line = at->line;
            e.column = at->column;
        }
        throw;
    }
}

void Runtime::executeModule(const Module &m)
{
    Frame top;
    m_at = nullptr;
    execBlock(m.main, top);
}

// ---- statements

Flow Runtime::execBlock(const Block &b, Frame &f)
{
    for (const StmtPtr &s : b) {
        const Flow flow = execStmt(*s, f);
        if (flow != Flow::Normal)
            return flow;
    }
    return Flow::Normal;
}

Flow Runtime::execStmt(const Stmt &s, Frame &f)
{
    tick();
    m_at = nullptr;
    RuntimeError err;
    try {
        return execInner(s, f);
    } catch (RuntimeError &e) {
        if (e.line == 0) {
            e.line = m_at ? m_at->line : s.line;
            e.column = m_at ? m_at->column : s.column;
        }
        if (e.fatal || !f.resumeNext)
            throw;
        err = e;
    } catch (const std::bad_alloc &) {
        err.number = 7;
        err.description = standardDescription(7);
    } catch (const std::exception &e) {
        // A host failed without using the script's errors: keep its text.
        err.number = 5;
        err.description = QString::fromUtf8(e.what());
    }
    if (err.line == 0) {
        err.line = m_at ? m_at->line : s.line;
        err.column = m_at ? m_at->column : s.column;
        if (!f.resumeNext)
            throw err;
    }
    setErr(err);
    return Flow::Normal;
}

bool Runtime::truth(const Expr &cond, Frame &f)
{
    const Variant v = eval(cond, f);
    m_at = &cond;
    if (v.isNull())
        return false;
    if (v.type() == VarType::Boolean)
        return v.boolValue();
    return ops::valueOf(v).toBool();
}

Flow Runtime::execInner(const Stmt &s, Frame &f)
{
    switch (s.kind) {
    case StmtKind::Assign:
        assign(*s.target, eval(*s.value, f), false, f);
        return Flow::Normal;
    case StmtKind::Set: {
        Variant v = eval(*s.value, f);
        if (!v.isObject())
            fail(*s.value, 424);
        assign(*s.target, std::move(v), true, f);
        return Flow::Normal;
    }
    case StmtKind::Call:
        callStatement(*s.target, f);
        return Flow::Normal;
    case StmtKind::Dim:
        return Flow::Normal; // declared when the scope was entered
    case StmtKind::ReDim:
        execReDim(s, f);
        return Flow::Normal;
    case StmtKind::Erase:
        execErase(s, f);
        return Flow::Normal;
    case StmtKind::If:
        for (const IfArm &arm : s.arms) {
            if (truth(*arm.cond, f))
                return execBlock(arm.body, f);
        }
        if (s.hasElse)
            return execBlock(s.elseBody, f);
        return Flow::Normal;
    case StmtKind::Select:
        return execSelect(s, f);
    case StmtKind::For:
        return execFor(s, f);
    case StmtKind::ForEach:
        return execForEach(s, f);
    case StmtKind::Do:
        for (;;) {
            if (s.cond && !s.condAfter && truth(*s.cond, f) == s.condUntil)
                break;
            const Flow flow = execBlock(s.body, f);
            if (flow == Flow::ExitDo)
                break;
            if (flow != Flow::Normal)
                return flow;
            if (s.cond && s.condAfter && truth(*s.cond, f) == s.condUntil)
                break;
            tick();
        }
        return Flow::Normal;
    case StmtKind::While:
        while (truth(*s.cond, f)) {
            const Flow flow = execBlock(s.body, f);
            if (flow != Flow::Normal)
                return flow;
            tick();
        }
        return Flow::Normal;
    case StmtKind::Exit:
        switch (s.exit) {
        case ExitKind::Do:
            return Flow::ExitDo;
        case ExitKind::For:
            return Flow::ExitFor;
        default:
            clearErr(); // Exit Sub and Exit Function clear Err, as On Error Resume Next does
            return Flow::ExitProc;
        }
    case StmtKind::OnErrorResumeNext:
        f.resumeNext = true;
        clearErr();
        return Flow::Normal;
    case StmtKind::OnErrorGoto0:
        f.resumeNext = false;
        clearErr();
        return Flow::Normal;
    }
    return Flow::Normal;
}

Flow Runtime::execSelect(const Stmt &s, Frame &f)
{
    const Variant subject = ops::valueOf(eval(*s.value, f));
    const bool subjectLiteral = s.value->literal;
    for (const CaseArm &arm : s.cases) {
        bool match = arm.items.empty();
        for (const CaseItem &item : arm.items) {
            if (match)
                break;
            const Variant a = eval(*item.a, f);
            m_at = item.a.get();
            switch (item.kind) {
            case CaseItem::Value: {
                const Variant r
                    = ops::comparison(Op::Eq, subject, a, subjectLiteral, item.a->literal);
                match = !r.isNull() && r.boolValue();
                break;
            }
            case CaseItem::Compare: {
                const Variant r
                    = ops::comparison(item.op, subject, a, subjectLiteral, item.a->literal);
                match = !r.isNull() && r.boolValue();
                break;
            }
            case CaseItem::Range: {
                const Variant b = eval(*item.b, f);
                m_at = item.b.get();
                const Variant lo
                    = ops::comparison(Op::Ge, subject, a, subjectLiteral, item.a->literal);
                const Variant hi
                    = ops::comparison(Op::Le, subject, b, subjectLiteral, item.b->literal);
                match = !lo.isNull() && lo.boolValue() && !hi.isNull() && hi.boolValue();
                break;
            }
            }
        }
        if (match)
            return execBlock(arm.body, f);
    }
    return Flow::Normal;
}

Flow Runtime::execFor(const Stmt &s, Frame &f)
{
    auto number = [&](const Expr &e) {
        Variant v = ops::valueOf(eval(e, f));
        m_at = &e;
        if (v.isNull())
            raise(94);
        if (v.isString())
            v = Variant::dbl(v.toDouble());
        else if (!v.isNumeric() && !v.isEmpty())
            raise(13);
        return v;
    };
    const Variant start = number(*s.value);
    const Variant end = number(*s.to);
    const Variant step = s.step ? number(*s.step) : Variant::integer(1);
    const bool down = ops::compare(step, Variant::integer(0), false, true) < 0;
    assign(*s.target, start, false, f);
    for (;;) {
        Variant *var = refOf(*s.target, f);
        const Variant current = var ? *var : eval(*s.target, f);
        const int c = ops::compare(current, end, false, false);
        if (down ? c < 0 : c > 0)
            break;
        const Flow flow = execBlock(s.body, f);
        if (flow == Flow::ExitFor)
            break;
        if (flow != Flow::Normal)
            return flow;
        tick();
        var = refOf(*s.target, f);
        m_at = s.target.get();
        if (var)
            *var = ops::add(*var, step);
        else
            assign(*s.target, ops::add(eval(*s.target, f), step), false, f);
    }
    return Flow::Normal;
}

Flow Runtime::execForEach(const Stmt &s, Frame &f)
{
    const Variant coll = eval(*s.value, f);
    m_at = s.value.get();
    QList<Variant> items;
    if (coll.isArray())
        items = enumerationOrder(*coll.arrayValue());
    else if (coll.isObject() && coll.objectValue())
        items = coll.objectValue()->items();
    else if (coll.isObject())
        raise(424);
    else
        raise(451);
    for (const Variant &item : std::as_const(items)) {
        assign(*s.target, item, item.isObject(), f);
        const Flow flow = execBlock(s.body, f);
        if (flow == Flow::ExitFor)
            break;
        if (flow != Flow::Normal)
            return flow;
        tick();
    }
    return Flow::Normal;
}

void Runtime::execReDim(const Stmt &s, Frame &f)
{
    for (const ArrayDim &d : s.dims) {
        std::vector<int> bounds;
        for (const ExprPtr &b : d.bounds) {
            const Variant v = eval(*b, f);
            m_at = b.get();
            bounds.push_back(ops::valueOf(v).toLong());
        }
        m_at = d.target.get();
        Variant *slot = refOf(*d.target, f);
        if (!slot)
            raise(13);
        if (slot->isArray() && slot->arrayValue()->fixed)
            raise(10);
        auto fresh = newArray(bounds, false);
        if (s.preserve && slot->isArray()) {
            const ArrayData &old = *slot->arrayValue();
            if (!old.upper.isEmpty()) {
                if (old.upper.size() != qsizetype(bounds.size()))
                    raise(9);
                for (qsizetype i = 0; i + 1 < old.upper.size(); ++i) {
                    if (old.upper[i] != bounds[size_t(i)])
                        raise(9);
                }
                // Only the last dimension may change: copy element by element.
                QList<int> idx(old.upper.size(), 0);
                for (qsizetype flat = 0; flat < old.items.size(); ++flat) {
                    qsizetype rest = flat;
                    for (qsizetype k = old.upper.size() - 1; k >= 0; --k) {
                        idx[k] = int(rest % (old.upper[k] + 1));
                        rest /= old.upper[k] + 1;
                    }
                    const int to = fresh->flatIndex(idx);
                    if (to >= 0)
                        fresh->items[to] = old.items[flat];
                }
            }
        }
        *slot = Variant::array(std::move(fresh));
    }
}

void Runtime::execErase(const Stmt &s, Frame &f)
{
    const ArrayDim &d = s.dims.front();
    m_at = d.target.get();
    Variant *slot = refOf(*d.target, f);
    if (!slot || !slot->isArray())
        raise(13);
    auto &arr = slot->arrayValue();
    if (arr->fixed) {
        auto cleared = std::make_shared<ArrayData>(*arr);
        for (Variant &v : cleared->items)
            v = Variant();
        arr = std::move(cleared);
    } else {
        *slot = Variant::array(std::make_shared<ArrayData>());
    }
}

// ---- expressions

Variant Runtime::eval(const Expr &e, Frame &f)
{
    if (e.kind == ExprKind::Literal)
        return e.value;
    checkStack();
    switch (e.kind) {
    case ExprKind::Literal:
        return e.value;
    case ExprKind::Name:
        return evalName(e, f);
    case ExprKind::Binary: {
        const Variant l = eval(*e.a, f);
        const Variant r = eval(*e.b, f);
        m_at = &e;
        switch (e.op) {
        case Op::Eq:
        case Op::Ne:
        case Op::Lt:
        case Op::Gt:
        case Op::Le:
        case Op::Ge:
            return ops::comparison(e.op, l, r, e.a->literal, e.b->literal);
        default:
            return ops::binary(e.op, l, r);
        }
    }
    case ExprKind::Unary: {
        const Variant v = eval(*e.a, f);
        m_at = &e;
        switch (e.op) {
        case Op::Neg:
            return ops::negate(v);
        case Op::Not:
            return ops::logicalNot(v);
        default: {
            Variant r = ops::valueOf(v);
            if (r.isArray())
                raise(13);
            return r;
        }
        }
    }
    case ExprKind::Member: {
        const Variant base = eval(*e.a, f);
        QList<Variant> args = evalArgs(e, f);
        m_at = &e;
        if (!base.isObject() || !base.objectValue())
            raiseNamed(424, *e.a);
        try {
            return base.objectValue()->get(e.name, args);
        } catch (RuntimeError &err) {
            nameMissingMember(err, e);
            throw;
        }
    }
    case ExprKind::Index: {
        const Variant base = eval(*e.a, f);
        return indexValue(base, e, f);
    }
    }
    return Variant();
}

QList<Variant> Runtime::evalArgs(const Expr &e, Frame &f)
{
    QList<Variant> args;
    if (e.args.empty())
        return args;
    args.reserve(qsizetype(e.args.size()));
    for (const ExprPtr &a : e.args)
        args.push_back(eval(*a, f));
    return args;
}

Variant Runtime::indexValue(const Variant &base, const Expr &e, Frame &f)
{
    if (base.isArray()) {
        const ArrayData &arr = *base.arrayValue();
        return arr.items.at(elementIndex(arr, e, f));
    }
    QList<Variant> args = evalArgs(e, f);
    m_at = &e;
    if (base.isObject()) {
        if (!base.objectValue())
            raise(91);
        return base.objectValue()->get(QString(), args);
    }
    if (e.kind == ExprKind::Name)
        raise(13, QStringLiteral("Type mismatch: '%1'").arg(e.name));
    raise(13);
}

int Runtime::elementIndex(const ArrayData &arr, const Expr &e, Frame &f)
{
    if (e.args.size() == 1 && arr.upper.size() == 1) {
        const Variant iv = eval(*e.args[0], f);
        m_at = &e;
        const qint32 i = iv.toLong();
        if (i < 0 || i > arr.upper[0])
            raise(9);
        return i;
    }
    QList<int> idx;
    idx.reserve(qsizetype(e.args.size()));
    for (const ExprPtr &a : e.args) {
        const Variant iv = eval(*a, f);
        m_at = &e;
        idx.push_back(iv.toLong());
    }
    m_at = &e;
    const int flat = arr.flatIndex(idx);
    if (flat < 0)
        raise(9);
    return flat;
}

Variant *Runtime::elementRef(Variant &array, const Expr &e, Frame &f)
{
    ArrayData &arr = *array.arrayValue();
    const int i = elementIndex(arr, e, f);
    return &arr.items[i];
}

int Runtime::lateGlobal(const Expr &e)
{
    if (e.lateSlot < 0 && e.searchedGlobals != globalCount()) {
        e.lateSlot = findGlobal(e.key);
        e.searchedGlobals = globalCount();
    }
    return e.lateSlot;
}

Variant Runtime::readDynamic(const Expr &e)
{
    const int g = lateGlobal(e);
    if (g >= 0)
        return globalAt(g);
    Variant v;
    if (scope && scope->lookup(e.name, v))
        return v;
    if (e.explicitNames)
        fail(e, 500, QStringLiteral("Variable is undefined: '%1'").arg(e.name));
    return Variant();
}

void Runtime::writeDynamic(const Expr &e, Variant value)
{
    const int g = lateGlobal(e);
    if (g >= 0) {
        storeValue(globalAt(g), std::move(value));
        return;
    }
    if (scope && scope->assign(e.name, value))
        return;
    if (e.explicitNames)
        fail(e, 500, QStringLiteral("Variable is undefined: '%1'").arg(e.name));
    e.lateSlot = globalSlot(e.key, e.name);
    e.searchedGlobals = globalCount();
    storeValue(globalAt(e.lateSlot), std::move(value));
}

Variant Runtime::evalName(const Expr &e, Frame &f)
{
    switch (e.ref) {
    case Ref::Local: {
        Variant &v = *f.refs[e.slot];
        if (!e.hasArgs)
            return v;
        return indexValue(v, e, f);
    }
    case Ref::Global: {
        Variant &v = m_globals[size_t(e.slot)];
        if (!e.hasArgs)
            return v;
        return indexValue(v, e, f);
    }
    case Ref::Procedure:
        return callProcedure(*e.proc, e, f);
    case Ref::Function:
        return callFunction(e, f);
    case Ref::Dynamic: {
        m_at = &e;
        Variant v = readDynamic(e);
        if (!e.hasArgs)
            return v;
        return indexValue(v, e, f);
    }
    case Ref::Illegal:
    case Ref::Unresolved:
        break;
    }
    m_at = &e;
    raiseNamed(e.slot > 0 ? e.slot : 501, e);
}

Variant Runtime::callFunction(const Expr &e, Frame &f)
{
    const BuiltinFunction &fn = *e.fn;
    // Optional arguments skipped at the end are simply not there.
    int n = int(e.args.size());
    while (n > 0 && isSkipped(*e.args[size_t(n - 1)]))
        --n;
    if (n < fn.minArgs || (fn.maxArgs >= 0 && n > fn.maxArgs))
        fail(e, 450,
            QStringLiteral("Wrong number of arguments or invalid property assignment: '%1'")
                .arg(e.name));
    for (int i = 0; i < n; ++i) {
        if (isSkipped(*e.args[size_t(i)]) && (i < fn.minArgs || fn.maxArgs < 0))
            fail(*e.args[size_t(i)], 449);
    }
    QList<Variant> args = evalArgs(e, f);
    args.resize(n);
    m_at = &e;
    if (!fn.takesObjects) {
        for (Variant &a : args) {
            if (a.isObject() && a.objectValue())
                a = defaultValueOrObject(a);
        }
    }
    return fn.fn(args);
}

Variant Runtime::callProcedure(const Procedure &p, const Expr &site, Frame &caller)
{
    if (site.args.size() != p.params.size())
        fail(site, 450,
            QStringLiteral("Wrong number of arguments or invalid property assignment: '%1'")
                .arg(site.name));
    for (const ExprPtr &arg : site.args) {
        if (isSkipped(*arg))
            fail(*arg, 449); // a script's parameters are never optional
    }
    std::vector<Variant> storage(size_t(p.localCount));
    std::vector<Variant *> refs(size_t(p.localCount));
    for (size_t i = 0; i < storage.size(); ++i)
        refs[i] = &storage[i];
    for (size_t i = 0; i < p.params.size(); ++i) {
        const Expr &arg = *site.args[i];
        if (p.params[i].byRef) {
            if (Variant *r = refOf(arg, caller)) {
                refs[i] = r;
                continue;
            }
        }
        storeValue(storage[i], eval(arg, caller));
    }
    m_at = &site;
    return runProcedure(p, storage, refs);
}

Variant Runtime::callByName(const Procedure &p, const QList<Variant *> &args)
{
    if (qsizetype(p.params.size()) != args.size())
        raise(450);
    std::vector<Variant> storage(size_t(p.localCount));
    std::vector<Variant *> refs(size_t(p.localCount));
    for (size_t i = 0; i < storage.size(); ++i)
        refs[i] = &storage[i];
    for (size_t i = 0; i < p.params.size(); ++i) {
        if (p.params[i].byRef && args[qsizetype(i)])
            refs[i] = args[qsizetype(i)];
        else if (args[qsizetype(i)])
            storeValue(storage[i], *args[qsizetype(i)]);
    }
    return runProcedure(p, storage, refs);
}

Variant Runtime::runProcedure(
    const Procedure &p, std::vector<Variant> &storage, std::vector<Variant *> &refs)
{
    if (depth >= MaxCallDepth)
        raise(28);
    checkStack();
    for (const FixedArray &a : p.arrays)
        storage[size_t(a.slot)] = Variant::array(newArray(a.bounds, !a.bounds.empty()));
    struct DepthGuard
    {
        int &d;
        explicit DepthGuard(int &x)
            : d(x)
        {
            ++d;
        }
        ~DepthGuard() { --d; }
    } guard(depth);
    Frame frame;
    frame.refs = refs.data();
    frame.proc = &p;
    execBlock(p.body, frame);
    if (!p.isFunction)
        return Variant();
    return std::move(storage[size_t(p.returnSlot)]);
}

void Runtime::callStatement(const Expr &target, Frame &f)
{
    if (target.kind != ExprKind::Name) {
        eval(target, f);
        return;
    }
    switch (target.ref) {
    case Ref::Procedure:
        callProcedure(*target.proc, target, f);
        return;
    case Ref::Function:
        callFunction(target, f);
        return;
    case Ref::Illegal:
    case Ref::Unresolved:
        evalName(target, f);
        return;
    default:
        break;
    }
    Variant v;
    if (target.ref == Ref::Dynamic) {
        m_at = &target;
        v = readDynamic(target);
    } else {
        v = target.ref == Ref::Local ? *f.refs[target.slot] : m_globals[size_t(target.slot)];
    }
    if (v.isObject() && v.objectValue()) {
        const QList<Variant> args = evalArgs(target, f);
        m_at = &target;
        v.objectValue()->get(QString(), args);
        return;
    }
    fail(target, 13, QStringLiteral("Type mismatch: '%1'").arg(target.name));
}

Variant *Runtime::refOf(const Expr &e, Frame &f)
{
    if (e.parens)
        return nullptr;
    if (e.kind == ExprKind::Name) {
        Variant *v = nullptr;
        if (e.ref == Ref::Local)
            v = f.refs[e.slot];
        else if (e.ref == Ref::Global)
            v = &m_globals[size_t(e.slot)];
        else if (e.ref == Ref::Dynamic) {
            const int g = lateGlobal(e);
            if (g >= 0)
                v = &globalAt(g);
        }
        if (!v || !e.hasArgs)
            return v;
        return v->isArray() ? elementRef(*v, e, f) : nullptr;
    }
    if (e.kind == ExprKind::Index) {
        Variant *base = refOf(*e.a, f);
        return base && base->isArray() ? elementRef(*base, e, f) : nullptr;
    }
    return nullptr;
}

void Runtime::assignIndexed(Variant &slot, const Expr &e, Variant value, Frame &f)
{
    if (slot.isArray()) {
        Variant *el = elementRef(slot, e, f);
        storeValue(*el, std::move(value));
        return;
    }
    if (slot.isObject() && slot.objectValue()) {
        const QList<Variant> args = evalArgs(e, f);
        m_at = &e;
        slot.objectValue()->put(QString(), args, value);
        return;
    }
    if (e.kind == ExprKind::Name)
        fail(e, 13, QStringLiteral("Type mismatch: '%1'").arg(e.name));
    fail(e, 13);
}

void Runtime::assign(const Expr &target, Variant value, bool isSet, Frame &f)
{
    if (!isSet && value.isObject()) {
        m_at = &target;
        value = ops::valueOf(value);
    }
    switch (target.kind) {
    case ExprKind::Name:
        switch (target.ref) {
        case Ref::Local:
        case Ref::Global: {
            Variant &slot
                = target.ref == Ref::Local ? *f.refs[target.slot] : m_globals[size_t(target.slot)];
            if (!target.hasArgs)
                storeValue(slot, std::move(value));
            else
                assignIndexed(slot, target, std::move(value), f);
            return;
        }
        case Ref::Dynamic: {
            m_at = &target;
            if (!target.hasArgs) {
                writeDynamic(target, std::move(value));
                return;
            }
            const int g = lateGlobal(target);
            if (g >= 0) {
                assignIndexed(globalAt(g), target, std::move(value), f);
                return;
            }
            Variant holder = readDynamic(target);
            assignIndexed(holder, target, std::move(value), f);
            return;
        }
        default:
            m_at = &target;
            raiseNamed(target.slot > 0 ? target.slot : 501, target);
        }
    case ExprKind::Member: {
        const Variant base = eval(*target.a, f);
        const QList<Variant> args = evalArgs(target, f);
        m_at = &target;
        if (!base.isObject() || !base.objectValue())
            raiseNamed(424, *target.a);
        try {
            base.objectValue()->put(target.name, args, value);
        } catch (RuntimeError &err) {
            nameMissingMember(err, target);
            throw;
        }
        return;
    }
    case ExprKind::Index: {
        if (Variant *base = refOf(*target.a, f)) {
            assignIndexed(*base, target, std::move(value), f);
            return;
        }
        Variant base = eval(*target.a, f);
        assignIndexed(base, target, std::move(value), f);
        return;
    }
    default:
        fail(target, 501);
    }
}

} // namespace kv6::script::detail
