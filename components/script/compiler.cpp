// Binding: every name of a parsed module becomes a local slot, a global slot, a constant, a
// procedure or a function, so that the evaluator never searches by name for them.

#include "script/runtime.h"

#include <QSet>

namespace kv6::script::detail {

using namespace ast;

namespace {

[[noreturn]] void syntaxError(int number, const QString &message, int line, int column)
{
    throw SyntaxError { number, message, line, column };
}

class Binder
{
public:
    Binder(Runtime &rt, Module &m, ParseMode mode)
        : m_rt(rt)
        , m_module(m)
        , m_mode(mode)
        , m_explicit(m.optionExplicit)
    { }

    void run()
    {
        for (const auto &p : m_module.procedures) {
            if (m_rt.procedures.contains(p->key) || m_rt.constants.contains(p->key)
                || m_procKeys.contains(p->key))
                syntaxError(1041, QStringLiteral("Name redefined"), p->line, p->column);
            m_procKeys.insert(p->key);
        }
        // Procedures and constants become visible only once their module binds without error.
        QStringList addedConstants;
        try {
            for (ConstDecl &c : m_module.consts) {
                if (c.owner)
                    continue;
                if (m_rt.constants.contains(c.key) || m_procKeys.contains(c.key))
                    syntaxError(1041, QStringLiteral("Name redefined"), c.line, c.column);
                m_rt.constants.insert(c.key, fold(*c.value));
                addedConstants << c.key;
            }
            for (const auto &p : m_module.procedures)
                m_rt.procedures.insert(p->key, p.get());
            if (m_mode == ParseMode::Expression) {
                bindExpr(*m_module.expression);
                return;
            }
            declareGlobals(m_module.main);
            bindBlock(m_module.main);
            for (const auto &p : m_module.procedures)
                bindProcedure(*p);
        } catch (...) {
            for (const auto &p : m_module.procedures)
                m_rt.procedures.remove(p->key);
            for (const QString &k : addedConstants)
                m_rt.constants.remove(k);
            throw;
        }
    }

private:
    Variant fold(const Expr &e)
    {
        if (e.kind == ExprKind::Literal)
            return e.value;
        if (e.kind == ExprKind::Name && !e.hasArgs) {
            if (m_localConsts.contains(e.key))
                return m_localConsts.value(e.key);
            if (m_rt.constants.contains(e.key))
                return m_rt.constants.value(e.key);
        }
        if (e.kind == ExprKind::Unary && (e.op == Op::Neg || e.op == Op::Plus)) {
            const Variant v = fold(*e.a);
            if (v.isNumeric()) {
                if (e.op == Op::Plus)
                    return v;
                if (v.type() == VarType::Integer || v.type() == VarType::Long)
                    return Variant::longValue(qint32(-v.intValue()));
                return Variant::dbl(-v.toDouble());
            }
        }
        syntaxError(1045, QStringLiteral("Expected literal constant"), e.line, e.column);
    }

    // Top-level Dim and ReDim declare globals before any code runs, wherever they stand.
    void declareGlobals(const Block &b)
    {
        walkDeclarations(b, [this](const Stmt &s, const ArrayDim &d) {
            const Expr &t = *d.target;
            if (m_rt.constants.contains(t.key) || m_procKeys.contains(t.key))
                syntaxError(1041, QStringLiteral("Name redefined"), t.line, t.column);
            if (s.kind == StmtKind::Dim && m_declared.contains(t.key))
                syntaxError(1041, QStringLiteral("Name redefined"), t.line, t.column);
            if (s.kind == StmtKind::Dim)
                m_declared.insert(t.key);
            const int slot = m_rt.globalSlot(t.key, t.name);
            if (s.kind == StmtKind::Dim && d.isArray)
                m_rt.globalAt(slot)
                    = Variant::array(newArray(d.fixedBounds, !d.fixedBounds.empty()));
        });
    }

    template<class Fn>
    static void walkDeclarations(const Block &b, Fn fn)
    {
        for (const StmtPtr &s : b) {
            if (s->kind == StmtKind::Dim || s->kind == StmtKind::ReDim) {
                for (const ArrayDim &d : s->dims)
                    fn(*s, d);
            }
            walkNested(*s, [&fn](const Block &inner) { walkDeclarations(inner, fn); });
        }
    }

    template<class Fn>
    static void walkNested(const Stmt &s, Fn fn)
    {
        for (const IfArm &a : s.arms)
            fn(a.body);
        for (const CaseArm &c : s.cases)
            fn(c.body);
        fn(s.body);
        fn(s.elseBody);
    }

    // Names a procedure assigns without declaring become its locals (without Option Explicit).
    static void collectAssigned(const Block &b, std::vector<const Expr *> &out)
    {
        for (const StmtPtr &s : b) {
            if ((s->kind == StmtKind::Assign || s->kind == StmtKind::Set || s->kind == StmtKind::For
                    || s->kind == StmtKind::ForEach)
                && s->target->kind == ExprKind::Name && !s->target->hasArgs)
                out.push_back(s->target.get());
            walkNested(*s, [&out](const Block &inner) { collectAssigned(inner, out); });
        }
    }

    int addLocal(Procedure &p, const QString &key, const QString &name)
    {
        const int slot = p.localCount++;
        m_locals.insert(key, slot);
        p.localNames.push_back(name);
        return slot;
    }

    void bindProcedure(Procedure &p)
    {
        m_proc = &p;
        m_locals.clear();
        m_localConsts.clear();
        for (const Param &prm : p.params)
            addLocal(p, prm.key, prm.name);
        if (p.isFunction)
            p.returnSlot = addLocal(p, QStringLiteral("\x01return"), p.name);
        for (ConstDecl &c : m_module.consts) {
            if (c.owner != &p)
                continue;
            if (m_locals.contains(c.key) || m_localConsts.contains(c.key))
                syntaxError(1041, QStringLiteral("Name redefined"), c.line, c.column);
            m_localConsts.insert(c.key, fold(*c.value));
        }
        QSet<QString> dimmed;
        walkDeclarations(p.body, [&](const Stmt &s, const ArrayDim &d) {
            const Expr &t = *d.target;
            if (s.kind == StmtKind::Dim) {
                if (dimmed.contains(t.key) || m_localConsts.contains(t.key)
                    || (m_locals.contains(t.key) && !dimmed.contains(t.key)))
                    syntaxError(1041, QStringLiteral("Name redefined"), t.line, t.column);
                dimmed.insert(t.key);
            } else if (m_locals.contains(t.key) || isKnownOutside(t.key, p)) {
                return; // ReDim of a name that exists
            }
            const int slot = addLocal(p, t.key, t.name);
            if (s.kind == StmtKind::Dim && d.isArray)
                p.arrays.push_back(FixedArray { slot, d.fixedBounds });
        });
        if (!m_explicit) {
            std::vector<const Expr *> assigned;
            collectAssigned(p.body, assigned);
            for (const Expr *t : assigned) {
                if (m_locals.contains(t->key) || m_localConsts.contains(t->key)
                    || (p.isFunction && t->key == p.key) || isKnownOutside(t->key, p))
                    continue;
                addLocal(p, t->key, t->name);
            }
        }
        bindBlock(p.body);
        m_proc = nullptr;
    }

    bool isKnownOutside(const QString &key, const Procedure &p) const
    {
        return (p.isFunction && key == p.key) || m_rt.constants.contains(key)
            || m_rt.findGlobal(key) >= 0 || m_rt.procedures.contains(key);
    }

    void bindBlock(Block &b)
    {
        for (StmtPtr &s : b)
            bindStmt(*s);
    }

    void bindStmt(Stmt &s)
    {
        switch (s.kind) {
        case StmtKind::Assign:
        case StmtKind::Set:
            bindExpr(*s.value);
            bindTarget(*s.target);
            break;
        case StmtKind::Call:
            bindExpr(*s.target);
            break;
        case StmtKind::Dim:
            for (ArrayDim &d : s.dims)
                bindName(*d.target, true);
            break;
        case StmtKind::ReDim:
        case StmtKind::Erase:
            for (ArrayDim &d : s.dims) {
                bindName(*d.target, true);
                for (ExprPtr &x : d.bounds)
                    bindExpr(*x);
            }
            break;
        case StmtKind::For:
            bindName(*s.target, true);
            bindExpr(*s.value);
            bindExpr(*s.to);
            if (s.step)
                bindExpr(*s.step);
            break;
        case StmtKind::ForEach:
            bindName(*s.target, true);
            bindExpr(*s.value);
            break;
        case StmtKind::Select:
            bindExpr(*s.value);
            for (CaseArm &c : s.cases) {
                for (CaseItem &i : c.items) {
                    bindExpr(*i.a);
                    if (i.b)
                        bindExpr(*i.b);
                }
            }
            break;
        case StmtKind::If:
            for (IfArm &a : s.arms)
                bindExpr(*a.cond);
            break;
        case StmtKind::Do:
        case StmtKind::While:
            if (s.cond)
                bindExpr(*s.cond);
            break;
        case StmtKind::Exit:
        case StmtKind::OnErrorResumeNext:
        case StmtKind::OnErrorGoto0:
            break;
        }
        walkNested(s, [this](const Block &inner) { bindBlock(const_cast<Block &>(inner)); });
    }

    void bindArgs(Expr &e)
    {
        for (ExprPtr &a : e.args)
            bindExpr(*a);
    }

    void bindExpr(Expr &e)
    {
        // Trees may be as tall as the parser allows; on a small stack that is more than its room.
        m_rt.checkStack();
        switch (e.kind) {
        case ExprKind::Literal:
            break;
        case ExprKind::Name:
            bindName(e, false);
            break;
        case ExprKind::Member:
        case ExprKind::Index:
            bindExpr(*e.a);
            break;
        case ExprKind::Unary:
            bindExpr(*e.a);
            break;
        case ExprKind::Binary:
            bindExpr(*e.a);
            bindExpr(*e.b);
            break;
        }
        bindArgs(e);
    }

    void bindTarget(Expr &e)
    {
        if (e.kind != ExprKind::Name) {
            bindExpr(e);
            return;
        }
        bindName(e, !e.hasArgs);
        bindArgs(e);
        if (e.ref == Ref::Procedure || e.ref == Ref::Function || e.kind == ExprKind::Literal) {
            e.kind = ExprKind::Name;
            e.ref = Ref::Illegal;
            e.slot = 501;
        }
    }

    void illegal(Expr &e, int number)
    {
        e.ref = Ref::Illegal;
        e.slot = number;
    }

    void bindName(Expr &e, bool write)
    {
        const QString &key = e.key;
        if (m_proc) {
            if (m_proc->isFunction && key == m_proc->key && !e.hasArgs) {
                e.ref = Ref::Local;
                e.slot = m_proc->returnSlot;
                return;
            }
            const int local = m_locals.value(key, -1);
            if (local >= 0) {
                e.ref = Ref::Local;
                e.slot = local;
                return;
            }
            if (m_localConsts.contains(key)) {
                constant(e, m_localConsts.value(key), write);
                return;
            }
        }
        if (m_rt.constants.contains(key)) {
            constant(e, m_rt.constants.value(key), write);
            return;
        }
        const int global = m_rt.findGlobal(key);
        if (global >= 0) {
            e.ref = Ref::Global;
            e.slot = global;
            return;
        }
        if (const Procedure *p = m_rt.procedures.value(key)) {
            if (write)
                return illegal(e, 501);
            e.ref = Ref::Procedure;
            e.proc = p;
            return;
        }
        if (const BuiltinFunction *fn = m_rt.findFunction(e.name, key)) {
            if (write)
                return illegal(e, 501);
            e.ref = Ref::Function;
            e.fn = fn;
            return;
        }
        if (!m_explicit && !m_proc && m_mode == ParseMode::Script) {
            e.ref = Ref::Global;
            e.slot = m_rt.globalSlot(key, e.name);
            return;
        }
        e.ref = Ref::Dynamic;
        e.explicitNames = m_explicit;
    }

    void constant(Expr &e, const Variant &v, bool write)
    {
        if (write)
            return illegal(e, 501);
        if (e.hasArgs)
            return illegal(e, 13);
        e.kind = ExprKind::Literal;
        e.value = v;
        e.literal = true;
    }

    Runtime &m_rt;
    Module &m_module;
    ParseMode m_mode;
    bool m_explicit;
    Procedure *m_proc = nullptr;
    QHash<QString, int> m_locals;
    QHash<QString, Variant> m_localConsts;
    QSet<QString> m_procKeys;
    QSet<QString> m_declared;
};

} // namespace

void bindModule(Runtime &rt, Module &m, ParseMode mode)
{
    Binder(rt, m, mode).run();
}

} // namespace kv6::script::detail
