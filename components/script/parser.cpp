#include "script/parser.h"

#include <QSet>

namespace kv6::script {

using namespace ast;

bool isReservedWord(const QString &key)
{
    static const QSet<QString> words = [] {
        QSet<QString> s;
        for (const char *w : { "and", "byref", "byval", "call", "case", "class", "const", "dim",
                 "do", "each", "else", "elseif", "empty", "end", "eqv", "erase", "exit", "false",
                 "for", "function", "if", "imp", "in", "is", "let", "loop", "mod", "new", "next",
                 "not", "nothing", "null", "on", "option", "or", "preserve", "private", "public",
                 "redim", "rem", "select", "set", "sub", "then", "to", "true", "until", "wend",
                 "while", "with", "xor" })
            s.insert(QString::fromLatin1(w));
        return s;
    }();
    return words.contains(key);
}

namespace {

// Deep enough for any hand-written script, shallow enough that the evaluator's recursion stays
// well inside the thread's stack.
constexpr int MaxNesting = 200;
// Chains such as a + b + c ... or a.b.c ... build trees this deep without nesting; compiling,
// running and freeing a tree all recurse through it.
constexpr int MaxExprHeight = 2000;

class Parser
{
public:
    Parser(QList<Token> tokens, ParseMode mode)
        : m_t(std::move(tokens))
        , m_mode(mode)
    { }

    std::unique_ptr<Module> run()
    {
        auto module = std::make_unique<Module>();
        m_module = module.get();
        if (m_mode == ParseMode::Expression) {
            skipNewlines();
            if (cur().kind == Tok::End)
                fail(1023, QStringLiteral("Expected expression"));
            module->expression = parseExpr();
            skipNewlines();
            if (cur().kind != Tok::End)
                fail(1025, QStringLiteral("Expected end of statement"));
            return module;
        }
        skipNewlines();
        if (atKw(u"option")) {
            next();
            if (!(cur().kind == Tok::Ident && cur().key == u"explicit"))
                fail(1002, QStringLiteral("Syntax error"));
            next();
            endOfStatement();
            module->optionExplicit = true;
        }
        module->main = parseBlock(true);
        if (cur().kind != Tok::End)
            strayTerminator();
        return module;
    }

private:
    const Token &cur() const { return m_t[m_p]; }
    const Token &peek(int k = 1) const { return m_t[qMin(m_p + k, m_t.size() - 1)]; }
    void next()
    {
        if (m_p < m_t.size() - 1)
            ++m_p;
    }
    static bool isKw(const Token &t, QStringView kw)
    {
        return t.kind == Tok::Ident && !t.bracketed && t.key == kw;
    }
    bool atKw(QStringView kw) const { return isKw(cur(), kw); }
    bool acceptKw(QStringView kw)
    {
        if (!atKw(kw))
            return false;
        next();
        return true;
    }
    void expectKw(QStringView kw, int number, const QString &message)
    {
        if (!acceptKw(kw))
            fail(number, message);
    }
    bool atOp(QStringView op) const { return cur().kind == Tok::Op && cur().text == op; }
    bool acceptOp(QStringView op)
    {
        if (!atOp(op))
            return false;
        next();
        return true;
    }
    bool atEos() const { return cur().kind == Tok::Newline || cur().kind == Tok::End; }
    // A real line end, not a ":" separator.
    bool atLineEnd() const
    {
        return cur().kind == Tok::End || (cur().kind == Tok::Newline && cur().text.isEmpty());
    }
    bool atName() const
    {
        return cur().kind == Tok::Ident && (cur().bracketed || !isReservedWord(cur().key));
    }
    void skipNewlines()
    {
        while (cur().kind == Tok::Newline)
            next();
    }
    void endOfStatement()
    {
        if (!atEos())
            fail(1025, QStringLiteral("Expected end of statement"));
    }
    [[noreturn]] void fail(int number, const QString &message) const
    {
        throw SyntaxError { number, message, cur().line, cur().column };
    }
    [[noreturn]] void failAt(const Token &t, int number, const QString &message) const
    {
        throw SyntaxError { number, message, t.line, t.column };
    }

    struct DepthGuard
    {
        DepthGuard(Parser *p)
            : m_p(p)
        {
            if (++p->m_depth > MaxNesting)
                p->fail(1002, QStringLiteral("Nested too deeply"));
        }
        ~DepthGuard() { --m_p->m_depth; }
        Parser *m_p;
    };

    // Sets a node's height from its children; refuses trees too tall to walk safely.
    void measure(Expr &e) const
    {
        int h = 0;
        if (e.a)
            h = e.a->height;
        if (e.b)
            h = qMax(h, e.b->height);
        for (const ExprPtr &arg : e.args)
            h = qMax(h, arg->height);
        e.height = h + 1;
        if (e.height > MaxExprHeight)
            failAt(e, 1002, QStringLiteral("Nested too deeply"));
    }
    [[noreturn]] void failAt(const Expr &e, int number, const QString &message) const
    {
        throw SyntaxError { number, message, e.line, e.column };
    }

    template<class T>
    static std::unique_ptr<T> at(const Token &t)
    {
        auto n = std::make_unique<T>();
        n->line = t.line;
        n->column = t.column;
        return n;
    }

    static bool isTerminator(const Token &t)
    {
        if (t.kind != Tok::Ident || t.bracketed)
            return false;
        return t.key == u"end" || t.key == u"else" || t.key == u"elseif" || t.key == u"case"
            || t.key == u"loop" || t.key == u"next" || t.key == u"wend";
    }

    // A block ended on a word that no open construct expects.
    [[noreturn]] void strayTerminator() const
    {
        if (atKw(u"next"))
            fail(1055, QStringLiteral("Unexpected 'Next'"));
        if (atKw(u"loop"))
            fail(1038, QStringLiteral("'loop' without 'do'"));
        fail(1024, QStringLiteral("Expected statement"));
    }

    // ---- statements

    Block parseBlock(bool top)
    {
        DepthGuard guard(this);
        Block block;
        for (;;) {
            skipNewlines();
            if (cur().kind == Tok::End || isTerminator(cur()))
                return block;
            if (isProcedureStart()) {
                if (!top || m_mode != ParseMode::Script)
                    fail(1002, QStringLiteral("Syntax error"));
                parseProcedure();
            } else {
                parseStatement(block, false);
            }
            endOfStatement();
        }
    }

    bool isProcedureStart() const
    {
        if (atKw(u"sub") || atKw(u"function"))
            return true;
        return (atKw(u"public") || atKw(u"private"))
            && (isKw(peek(), u"sub") || isKw(peek(), u"function"));
    }

    void parseStatement(Block &out, bool singleLine)
    {
        const Token &t = cur();
        if (t.kind == Tok::Ident && !t.bracketed) {
            const QString &k = t.key;
            if (k == u"dim") {
                next();
                parseDim(out, t);
                return;
            }
            if (k == u"public" || k == u"private") {
                if (m_proc || m_mode != ParseMode::Script)
                    fail(1002, QStringLiteral("Syntax error"));
                next();
                if (atKw(u"const")) {
                    next();
                    parseConst();
                    return;
                }
                parseDim(out, t);
                return;
            }
            if (k == u"const") {
                next();
                parseConst();
                return;
            }
            if (k == u"redim") {
                next();
                parseReDim(out, t);
                return;
            }
            if (k == u"erase") {
                next();
                auto s = at<Stmt>(t);
                s->kind = StmtKind::Erase;
                ArrayDim d;
                d.target = parseName();
                s->dims.push_back(std::move(d));
                out.push_back(std::move(s));
                return;
            }
            if (k == u"set" || k == u"let") {
                next();
                auto s = at<Stmt>(t);
                s->kind = k == u"set" ? StmtKind::Set : StmtKind::Assign;
                s->target = parseTarget();
                if (!acceptOp(u"="))
                    fail(1011, QStringLiteral("Expected '='"));
                s->value = parseExpr();
                out.push_back(std::move(s));
                return;
            }
            if (k == u"if") {
                parseIf(out);
                return;
            }
            if (k == u"select") {
                parseSelect(out);
                return;
            }
            if (k == u"for") {
                parseFor(out);
                return;
            }
            if (k == u"do") {
                parseDo(out);
                return;
            }
            if (k == u"while") {
                parseWhile(out);
                return;
            }
            if (k == u"exit") {
                parseExit(out);
                return;
            }
            if (k == u"on") {
                parseOnError(out);
                return;
            }
            if (k == u"call") {
                next();
                auto s = at<Stmt>(t);
                s->kind = StmtKind::Call;
                s->target = parseTarget();
                if (s->target->kind == ExprKind::Index)
                    fail(1025, QStringLiteral("Expected end of statement"));
                out.push_back(std::move(s));
                return;
            }
            if (k == u"option")
                fail(1002, QStringLiteral("Syntax error"));
            if (isReservedWord(k))
                fail(1024, QStringLiteral("Expected statement"));
        }
        if (t.kind != Tok::Ident)
            fail(1024, QStringLiteral("Expected statement"));
        parseAssignOrCall(out, singleLine);
    }

    void parseAssignOrCall(Block &out, bool singleLine)
    {
        const Token &t = cur();
        ExprPtr target = parseTarget();
        auto s = at<Stmt>(t);
        if (acceptOp(u"=")) {
            s->kind = StmtKind::Assign;
            s->target = std::move(target);
            s->value = parseExpr();
            out.push_back(std::move(s));
            return;
        }
        s->kind = StmtKind::Call;
        if (atEos() || (singleLine && atKw(u"else"))) {
            if (target->hasArgs && target->kind != ExprKind::Index) {
                if (target->args.size() > 1)
                    failAt(t, 1044, QStringLiteral("Cannot use parentheses when calling a Sub"));
                // Foo(x) as a statement: the parentheses belong to the argument.
                if (target->args.size() == 1)
                    target->args[0]->parens = true;
            }
            s->target = std::move(target);
            out.push_back(std::move(s));
            return;
        }
        if (target->kind == ExprKind::Index)
            fail(1025, QStringLiteral("Expected end of statement"));
        // Arguments without parentheses. "Foo (a) + 1, b": the parenthesised part was taken as
        // an argument list, but it is the start of the first argument.
        ExprPtr seed;
        if (target->hasArgs) {
            if (target->args.size() != 1)
                fail(1025, QStringLiteral("Expected end of statement"));
            seed = std::move(target->args[0]);
            seed->parens = true;
            target->args.clear();
        }
        std::vector<ExprPtr> args;
        if (seed) {
            m_seed = std::move(seed);
            args.push_back(parseExpr());
        } else {
            args.push_back(parseArgument({}));
        }
        while (acceptOp(u","))
            args.push_back(parseArgument({}));
        target->hasArgs = true;
        target->args = std::move(args);
        measure(*target);
        s->target = std::move(target);
        out.push_back(std::move(s));
    }

    ExprPtr parseName()
    {
        if (!atName())
            fail(1010, QStringLiteral("Expected identifier"));
        auto e = at<Expr>(cur());
        e->kind = ExprKind::Name;
        e->name = cur().text;
        e->key = cur().key;
        next();
        return e;
    }

    ExprPtr parseTarget()
    {
        if (atOp(u"."))
            fail(1002, QStringLiteral("Syntax error")); // With blocks are not part of the language
        return parsePostfixOps(parseName());
    }

    ExprPtr parsePostfixOps(ExprPtr node)
    {
        for (;;) {
            if (atOp(u"(")) {
                std::vector<ExprPtr> args = parseArgList();
                if ((node->kind == ExprKind::Name || node->kind == ExprKind::Member)
                    && !node->hasArgs) {
                    node->hasArgs = true;
                    node->args = std::move(args);
                } else {
                    auto idx = std::make_unique<Expr>();
                    idx->kind = ExprKind::Index;
                    idx->line = node->line;
                    idx->column = node->column;
                    idx->hasArgs = true;
                    idx->args = std::move(args);
                    idx->a = std::move(node);
                    node = std::move(idx);
                }
                measure(*node);
            } else if (atOp(u".")) {
                next();
                if (cur().kind != Tok::Ident)
                    fail(1010, QStringLiteral("Expected identifier"));
                auto m = at<Expr>(cur());
                m->kind = ExprKind::Member;
                m->name = cur().text;
                m->key = cur().key;
                m->a = std::move(node);
                next();
                node = std::move(m);
                measure(*node);
            } else {
                return node;
            }
        }
    }

    std::vector<ExprPtr> parseArgList()
    {
        DepthGuard guard(this);
        next(); // (
        std::vector<ExprPtr> args;
        if (acceptOp(u")"))
            return args;
        do {
            args.push_back(parseArgument(u")"));
        } while (acceptOp(u","));
        if (!acceptOp(u")"))
            fail(1006, QStringLiteral("Expected ')'"));
        return args;
    }

    // One argument of a list; nothing before the next comma (or the end) skips an optional one.
    ExprPtr parseArgument(QStringView close)
    {
        if (atOp(u",") || (atOp(close) && !close.isEmpty()) || (close.isEmpty() && atEos())) {
            auto e = at<Expr>(cur());
            e->kind = ExprKind::Literal;
            e->value = Variant::missing();
            return e;
        }
        return parseExpr();
    }

    void parseDim(Block &out, const Token &t)
    {
        auto s = at<Stmt>(t);
        s->kind = StmtKind::Dim;
        do {
            ArrayDim d;
            d.target = parseName();
            if (acceptOp(u"(")) {
                d.isArray = true;
                if (!acceptOp(u")")) {
                    do {
                        if (cur().kind != Tok::Number
                            || !(cur().value.type() == VarType::Integer
                                || cur().value.type() == VarType::Long))
                            fail(1026, QStringLiteral("Expected integer constant"));
                        d.fixedBounds.push_back(int(cur().value.intValue()));
                        next();
                    } while (acceptOp(u","));
                    if (!acceptOp(u")"))
                        fail(1006, QStringLiteral("Expected ')'"));
                }
            }
            s->dims.push_back(std::move(d));
        } while (acceptOp(u","));
        out.push_back(std::move(s));
    }

    void parseReDim(Block &out, const Token &t)
    {
        auto s = at<Stmt>(t);
        s->kind = StmtKind::ReDim;
        s->preserve = acceptKw(u"preserve");
        do {
            ArrayDim d;
            d.target = parseName();
            d.isArray = true;
            if (!atOp(u"("))
                fail(1005, QStringLiteral("Expected '('"));
            d.bounds = parseArgList();
            if (d.bounds.empty())
                fail(1023, QStringLiteral("Expected expression"));
            s->dims.push_back(std::move(d));
        } while (acceptOp(u","));
        out.push_back(std::move(s));
    }

    void parseConst()
    {
        do {
            if (!atName())
                fail(1010, QStringLiteral("Expected identifier"));
            ConstDecl c;
            c.name = cur().text;
            c.key = cur().key;
            c.line = cur().line;
            c.column = cur().column;
            c.owner = m_proc;
            next();
            if (!acceptOp(u"="))
                fail(1011, QStringLiteral("Expected '='"));
            c.value = parseExpr();
            m_module->consts.push_back(std::move(c));
        } while (acceptOp(u","));
    }

    void parseIf(Block &out)
    {
        const Token &t = cur();
        next();
        auto s = at<Stmt>(t);
        s->kind = StmtKind::If;
        IfArm first;
        first.cond = parseExpr();
        expectKw(u"then", 1017, QStringLiteral("Expected 'Then'"));
        if (!atEos()) {
            // Single-line form: statements up to the line end, optionally an Else part.
            parseLineBody(first.body);
            s->arms.push_back(std::move(first));
            if (acceptKw(u"else")) {
                s->hasElse = true;
                parseLineBody(s->elseBody);
            }
            if (!atLineEnd())
                fail(1025, QStringLiteral("Expected end of statement"));
            out.push_back(std::move(s));
            return;
        }
        first.body = parseBlock(false);
        s->arms.push_back(std::move(first));
        for (;;) {
            if (acceptKw(u"elseif")) {
                if (s->hasElse)
                    fail(1014, QStringLiteral("Expected 'End'"));
                IfArm arm;
                arm.cond = parseExpr();
                expectKw(u"then", 1017, QStringLiteral("Expected 'Then'"));
                arm.body = parseBlock(false);
                s->arms.push_back(std::move(arm));
            } else if (atKw(u"else")) {
                if (s->hasElse)
                    fail(1014, QStringLiteral("Expected 'End'"));
                next();
                s->hasElse = true;
                s->elseBody = parseBlock(false);
            } else if (acceptKw(u"end")) {
                expectKw(u"if", 1012, QStringLiteral("Expected 'If'"));
                break;
            } else {
                fail(1014, QStringLiteral("Expected 'End'"));
            }
        }
        out.push_back(std::move(s));
    }

    void parseLineBody(Block &body)
    {
        DepthGuard guard(this);
        for (;;) {
            parseStatement(body, true);
            if (cur().kind == Tok::Newline && !cur().text.isEmpty()) {
                next();
                while (cur().kind == Tok::Newline && !cur().text.isEmpty())
                    next();
                if (atLineEnd() || atKw(u"else"))
                    return;
                continue;
            }
            if (atLineEnd() || atKw(u"else"))
                return;
            fail(1025, QStringLiteral("Expected end of statement"));
        }
    }

    static bool compareOp(const Token &t, Op *op)
    {
        if (t.kind != Tok::Op)
            return false;
        if (t.text == u"=")
            *op = Op::Eq;
        else if (t.text == u"<>")
            *op = Op::Ne;
        else if (t.text == u"<")
            *op = Op::Lt;
        else if (t.text == u">")
            *op = Op::Gt;
        else if (t.text == u"<=")
            *op = Op::Le;
        else if (t.text == u">=")
            *op = Op::Ge;
        else
            return false;
        return true;
    }

    void parseSelect(Block &out)
    {
        const Token &t = cur();
        next();
        expectKw(u"case", 1021, QStringLiteral("Expected 'Case'"));
        auto s = at<Stmt>(t);
        s->kind = StmtKind::Select;
        s->value = parseExpr();
        endOfStatement();
        bool sawElse = false;
        for (;;) {
            skipNewlines();
            if (acceptKw(u"case")) {
                if (sawElse)
                    fail(1022, QStringLiteral("Expected 'Select'"));
                CaseArm arm;
                if (acceptKw(u"else")) {
                    sawElse = true;
                } else {
                    do {
                        CaseItem item;
                        if (acceptKw(u"is")) {
                            item.kind = CaseItem::Compare;
                            if (!compareOp(cur(), &item.op))
                                fail(1002, QStringLiteral("Syntax error"));
                            next();
                            item.a = parseExpr();
                        } else {
                            item.a = parseExpr();
                            if (acceptKw(u"to")) {
                                item.kind = CaseItem::Range;
                                item.b = parseExpr();
                            }
                        }
                        arm.items.push_back(std::move(item));
                    } while (acceptOp(u","));
                }
                arm.body = parseBlock(false);
                s->cases.push_back(std::move(arm));
            } else if (acceptKw(u"end")) {
                expectKw(u"select", 1022, QStringLiteral("Expected 'Select'"));
                break;
            } else {
                fail(1021, QStringLiteral("Expected 'Case'"));
            }
        }
        out.push_back(std::move(s));
    }

    void expectNext(const Expr &var)
    {
        if (!atKw(u"next"))
            fail(1020, QStringLiteral("Expected 'Next'"));
        next();
        if (cur().kind == Tok::Ident) {
            if (cur().key != var.key)
                fail(1040, QStringLiteral("Invalid 'for' loop control variable"));
            next();
        }
    }

    void parseFor(Block &out)
    {
        const Token &t = cur();
        next();
        auto s = at<Stmt>(t);
        if (acceptKw(u"each")) {
            s->kind = StmtKind::ForEach;
            s->target = parseName();
            expectKw(u"in", 1046, QStringLiteral("Expected 'In'"));
            s->value = parseExpr();
        } else {
            s->kind = StmtKind::For;
            s->target = parseName();
            if (!acceptOp(u"="))
                fail(1011, QStringLiteral("Expected '='"));
            s->value = parseExpr();
            expectKw(u"to", 1013, QStringLiteral("Expected 'To'"));
            s->to = parseExpr();
            if (acceptKw(u"step"))
                s->step = parseExpr();
        }
        endOfStatement();
        ++m_forDepth;
        s->body = parseBlock(false);
        --m_forDepth;
        expectNext(*s->target);
        out.push_back(std::move(s));
    }

    void parseDo(Block &out)
    {
        const Token &t = cur();
        next();
        auto s = at<Stmt>(t);
        s->kind = StmtKind::Do;
        if (atKw(u"while") || atKw(u"until")) {
            s->condUntil = atKw(u"until");
            next();
            s->cond = parseExpr();
        }
        endOfStatement();
        ++m_doDepth;
        s->body = parseBlock(false);
        --m_doDepth;
        if (!acceptKw(u"loop"))
            fail(1019, QStringLiteral("Expected 'Loop'"));
        if (atKw(u"while") || atKw(u"until")) {
            if (s->cond)
                fail(1025, QStringLiteral("Expected end of statement"));
            s->condUntil = atKw(u"until");
            s->condAfter = true;
            next();
            s->cond = parseExpr();
        }
        out.push_back(std::move(s));
    }

    void parseWhile(Block &out)
    {
        const Token &t = cur();
        next();
        auto s = at<Stmt>(t);
        s->kind = StmtKind::While;
        s->cond = parseExpr();
        endOfStatement();
        s->body = parseBlock(false);
        expectKw(u"wend", 1018, QStringLiteral("Expected 'Wend'"));
        out.push_back(std::move(s));
    }

    void parseExit(Block &out)
    {
        const Token &t = cur();
        next();
        auto s = at<Stmt>(t);
        s->kind = StmtKind::Exit;
        const QString invalid = QStringLiteral("Invalid 'exit' statement");
        if (atKw(u"do")) {
            if (m_doDepth == 0)
                fail(1039, invalid);
            s->exit = ExitKind::Do;
        } else if (atKw(u"for")) {
            if (m_forDepth == 0)
                fail(1039, invalid);
            s->exit = ExitKind::For;
        } else if (atKw(u"sub")) {
            if (!m_proc || m_proc->isFunction)
                fail(1039, invalid);
            s->exit = ExitKind::Sub;
        } else if (atKw(u"function")) {
            if (!m_proc || !m_proc->isFunction)
                fail(1039, invalid);
            s->exit = ExitKind::Function;
        } else {
            fail(1039, invalid);
        }
        next();
        out.push_back(std::move(s));
    }

    void parseOnError(Block &out)
    {
        const Token &t = cur();
        next();
        if (!(cur().kind == Tok::Ident && cur().key == u"error"))
            fail(1002, QStringLiteral("Syntax error"));
        next();
        auto s = at<Stmt>(t);
        if (cur().kind == Tok::Ident && cur().key == u"resume") {
            next();
            expectKw(u"next", 1002, QStringLiteral("Syntax error"));
            s->kind = StmtKind::OnErrorResumeNext;
        } else if (cur().kind == Tok::Ident && cur().key == u"goto") {
            next();
            if (cur().kind != Tok::Number || cur().value.intValue() != 0
                || cur().value.type() != VarType::Integer)
                fail(1002, QStringLiteral("Syntax error"));
            next();
            s->kind = StmtKind::OnErrorGoto0;
        } else {
            fail(1002, QStringLiteral("Syntax error"));
        }
        out.push_back(std::move(s));
    }

    void parseProcedure()
    {
        acceptKw(u"public") || acceptKw(u"private");
        const Token &t = cur();
        auto proc = std::make_unique<Procedure>();
        proc->isFunction = atKw(u"function");
        next();
        if (!atName())
            fail(1010, QStringLiteral("Expected identifier"));
        proc->name = cur().text;
        proc->key = cur().key;
        proc->line = t.line;
        proc->column = t.column;
        next();
        if (acceptOp(u"(")) {
            if (!acceptOp(u")")) {
                do {
                    Param p;
                    if (acceptKw(u"byval"))
                        p.byRef = false;
                    else
                        acceptKw(u"byref");
                    if (!atName())
                        fail(1010, QStringLiteral("Expected identifier"));
                    p.name = cur().text;
                    p.key = cur().key;
                    p.line = cur().line;
                    p.column = cur().column;
                    for (const Param &q : proc->params) {
                        if (q.key == p.key)
                            fail(1041, QStringLiteral("Name redefined"));
                    }
                    next();
                    if (acceptOp(u"(")) {
                        if (!acceptOp(u")"))
                            fail(1006, QStringLiteral("Expected ')'"));
                    }
                    proc->params.push_back(std::move(p));
                } while (acceptOp(u","));
                if (!acceptOp(u")"))
                    fail(1006, QStringLiteral("Expected ')'"));
            }
        }
        endOfStatement();
        m_proc = proc.get();
        proc->body = parseBlock(false);
        m_proc = nullptr;
        if (!acceptKw(u"end"))
            fail(1014, QStringLiteral("Expected 'End'"));
        if (proc->isFunction)
            expectKw(u"function", 1015, QStringLiteral("Expected 'Function'"));
        else
            expectKw(u"sub", 1016, QStringLiteral("Expected 'Sub'"));
        m_module->procedures.push_back(std::move(proc));
    }

    // ---- expressions, lowest precedence first

    ExprPtr binary(Op op, const Token &t, ExprPtr l, ExprPtr r)
    {
        auto e = at<Expr>(t);
        e->kind = ExprKind::Binary;
        e->op = op;
        e->a = std::move(l);
        e->b = std::move(r);
        measure(*e);
        return e;
    }

    ExprPtr parseExpr()
    {
        DepthGuard guard(this);
        return parseImp();
    }

    template<class Sub>
    ExprPtr parseKeywordLevel(QStringView kw, Op op, Sub sub)
    {
        ExprPtr l = (this->*sub)();
        while (atKw(kw)) {
            const Token &t = cur();
            next();
            l = binary(op, t, std::move(l), (this->*sub)());
        }
        return l;
    }

    ExprPtr parseImp() { return parseKeywordLevel(u"imp", Op::Imp, &Parser::parseEqv); }
    ExprPtr parseEqv() { return parseKeywordLevel(u"eqv", Op::Eqv, &Parser::parseXor); }
    ExprPtr parseXor() { return parseKeywordLevel(u"xor", Op::Xor, &Parser::parseOr); }
    ExprPtr parseOr() { return parseKeywordLevel(u"or", Op::Or, &Parser::parseAnd); }
    ExprPtr parseAnd() { return parseKeywordLevel(u"and", Op::And, &Parser::parseNot); }

    ExprPtr parseNot()
    {
        if (!m_seed && atKw(u"not")) {
            DepthGuard guard(this);
            const Token &t = cur();
            next();
            auto e = at<Expr>(t);
            e->kind = ExprKind::Unary;
            e->op = Op::Not;
            e->a = parseNot();
            measure(*e);
            return e;
        }
        return parseCompare();
    }

    ExprPtr parseCompare()
    {
        ExprPtr l = parseConcat();
        for (;;) {
            Op op;
            const Token &t = cur();
            if (isKw(t, u"is"))
                op = Op::Is;
            else if (!compareOp(t, &op))
                return l;
            next();
            l = binary(op, t, std::move(l), parseConcat());
        }
    }

    ExprPtr parseConcat()
    {
        ExprPtr l = parseAdd();
        while (atOp(u"&")) {
            const Token &t = cur();
            next();
            l = binary(Op::Concat, t, std::move(l), parseAdd());
        }
        return l;
    }

    ExprPtr parseAdd()
    {
        ExprPtr l = parseMod();
        while (atOp(u"+") || atOp(u"-")) {
            const Token &t = cur();
            const Op op = t.text == u"+" ? Op::Add : Op::Sub;
            next();
            l = binary(op, t, std::move(l), parseMod());
        }
        return l;
    }

    ExprPtr parseMod() { return parseKeywordLevel(u"mod", Op::Mod, &Parser::parseIntDiv); }

    ExprPtr parseIntDiv()
    {
        ExprPtr l = parseMul();
        while (atOp(u"\\")) {
            const Token &t = cur();
            next();
            l = binary(Op::IntDiv, t, std::move(l), parseMul());
        }
        return l;
    }

    ExprPtr parseMul()
    {
        ExprPtr l = parseUnary();
        while (atOp(u"*") || atOp(u"/")) {
            const Token &t = cur();
            const Op op = t.text == u"*" ? Op::Mul : Op::Div;
            next();
            l = binary(op, t, std::move(l), parseUnary());
        }
        return l;
    }

    ExprPtr unary(const Token &t, bool minus, ExprPtr operand)
    {
        // Negative numbers are constants, so comparisons treat "-1" like "1".
        if (minus && operand->kind == ExprKind::Literal && !operand->parens) {
            Variant &v = operand->value;
            if (v.type() == VarType::Integer) {
                v = Variant::integer(int(-v.intValue()));
                return operand;
            }
            if (v.type() == VarType::Long) {
                const qint64 n = -v.intValue();
                v = n >= -32768 ? Variant::integer(int(n)) : Variant::longValue(qint32(n));
                return operand;
            }
            if (v.type() == VarType::Double) {
                v = Variant::dbl(-v.doubleValue());
                return operand;
            }
        }
        auto e = at<Expr>(t);
        e->kind = ExprKind::Unary;
        e->op = minus ? Op::Neg : Op::Plus;
        e->a = std::move(operand);
        measure(*e);
        return e;
    }

    ExprPtr parseUnary()
    {
        if (!m_seed && (atOp(u"-") || atOp(u"+"))) {
            DepthGuard guard(this);
            const Token &t = cur();
            next();
            return unary(t, t.text == u"-", parseUnary());
        }
        return parsePow();
    }

    ExprPtr parsePow()
    {
        ExprPtr l = parsePostfix();
        while (atOp(u"^")) {
            const Token &t = cur();
            next();
            l = binary(Op::Pow, t, std::move(l), parsePowOperand());
        }
        return l;
    }

    ExprPtr parsePowOperand()
    {
        if (atOp(u"-") || atOp(u"+")) {
            DepthGuard guard(this);
            const Token &t = cur();
            next();
            return unary(t, t.text == u"-", parsePowOperand());
        }
        return parsePostfix();
    }

    ExprPtr literal(const Token &t, Variant v)
    {
        auto e = at<Expr>(t);
        e->kind = ExprKind::Literal;
        e->value = std::move(v);
        e->literal = true;
        next();
        return e;
    }

    ExprPtr parsePostfix()
    {
        if (m_seed)
            return std::move(m_seed);
        const Token &t = cur();
        switch (t.kind) {
        case Tok::Number:
        case Tok::String:
        case Tok::Date:
            return literal(t, t.value);
        case Tok::Ident:
            if (!t.bracketed) {
                if (t.key == u"true")
                    return literal(t, Variant::boolean(true));
                if (t.key == u"false")
                    return literal(t, Variant::boolean(false));
                if (t.key == u"empty")
                    return literal(t, Variant());
                if (t.key == u"null")
                    return literal(t, Variant::null());
                if (t.key == u"nothing") {
                    ExprPtr e = literal(t, Variant::object(nullptr));
                    e->literal = false;
                    return e;
                }
                if (isReservedWord(t.key))
                    fail(1023, QStringLiteral("Expected expression"));
            }
            return parsePostfixOps(parseName());
        case Tok::Op:
            if (t.text == u"(") {
                DepthGuard guard(this);
                next();
                ExprPtr e = parseExpr();
                if (!acceptOp(u")"))
                    fail(1006, QStringLiteral("Expected ')'"));
                e->parens = true;
                return e;
            }
            break;
        default:
            break;
        }
        fail(1023, QStringLiteral("Expected expression"));
    }

    QList<Token> m_t;
    qsizetype m_p = 0;
    ParseMode m_mode;
    Module *m_module = nullptr;
    Procedure *m_proc = nullptr;
    int m_doDepth = 0;
    int m_forDepth = 0;
    int m_depth = 0;
    ExprPtr m_seed;
};

} // namespace

std::unique_ptr<Module> parse(const QString &source, ParseMode mode)
{
    Parser p(tokenize(source), mode);
    return p.run();
}

} // namespace kv6::script
