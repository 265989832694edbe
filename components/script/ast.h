#pragma once

// The parsed form of a script. The parser fills in names as written; the compiler then binds
// every name to a slot, a procedure or a function so that running the tree never looks a name
// up again (except names only the host knows).

#include "script/builtins.h"
#include "script/value.h"

#include <QHash>
#include <QString>

#include <memory>
#include <vector>

namespace kv6::script::ast {

enum class Op {
    Add,
    Sub,
    Mul,
    Div,
    IntDiv,
    Mod,
    Pow,
    Concat,
    Eq,
    Ne,
    Lt,
    Gt,
    Le,
    Ge,
    Is,
    And,
    Or,
    Xor,
    Eqv,
    Imp,
    Neg,
    Plus,
    Not,
};

enum class ExprKind {
    Literal,
    Name, // an identifier, with or without an argument list (call, index or default member)
    Member, // base.name, with or without an argument list
    Index, // base(args) on anything else: a(1)(2)
    Unary,
    Binary,
};

// What a Name stands for once compiled.
enum class Ref {
    Unresolved,
    Local, // slot in the procedure's frame
    Global, // slot in the engine's globals
    Procedure, // a script Sub or Function
    Function, // a host or standard function
    Dynamic, // only known at run time: late globals, then the host scope
    Illegal, // assignment to a constant or a procedure
};

struct Procedure;

struct Expr
{
    ExprKind kind = ExprKind::Literal;
    int line = 0;
    int column = 0;
    bool parens = false; // written in parentheses: passed by value
    bool hasArgs = false; // an argument list was written, possibly empty
    bool literal = false; // a constant in the source (comparisons convert it to the other side)
    int height = 1; // levels of nodes from here down, bounded by the parser
    Op op = Op::Add;
    Variant value;
    QString name; // as written
    QString key; // case-folded
    std::unique_ptr<Expr> a; // Member/Index base, Unary operand, Binary left
    std::unique_ptr<Expr> b; // Binary right
    std::vector<std::unique_ptr<Expr>> args;

    Ref ref = Ref::Unresolved;
    int slot = -1;
    bool explicitNames = false; // Dynamic: unknown names are errors (Option Explicit)
    const Procedure *proc = nullptr;
    const BuiltinFunction *fn = nullptr;
    // Dynamic: a global found or made at run time, and how many globals were searched for it
    // (globals only grow, so a miss stays a miss until more are added).
    mutable int lateSlot = -1;
    mutable int searchedGlobals = 0;
};
using ExprPtr = std::unique_ptr<Expr>;

enum class StmtKind {
    Assign,
    Set,
    Call,
    Dim,
    ReDim,
    Erase,
    If,
    Select,
    For,
    ForEach,
    Do,
    While,
    Exit,
    OnErrorResumeNext,
    OnErrorGoto0,
};

enum class ExitKind { Do, For, Sub, Function };

struct Stmt;
using StmtPtr = std::unique_ptr<Stmt>;
using Block = std::vector<StmtPtr>;

struct IfArm
{
    ExprPtr cond;
    Block body;
};

struct CaseItem
{
    enum Kind { Value, Range, Compare } kind = Value;
    Op op = Op::Eq; // Compare: Case Is <op> a
    ExprPtr a;
    ExprPtr b; // Range: a To b
};

struct CaseArm
{
    std::vector<CaseItem> items; // empty: Case Else
    Block body;
};

struct ArrayDim
{
    ExprPtr target; // a Name
    std::vector<ExprPtr> bounds; // ReDim: any expressions
    std::vector<int> fixedBounds; // Dim: constants
    bool isArray = false; // Dim a() or Dim a(n)
};

struct Stmt
{
    StmtKind kind = StmtKind::Call;
    int line = 0;
    int column = 0;
    ExprPtr target; // Assign/Set/Call target, For and For Each variable
    ExprPtr value; // Assign/Set value, For start, For Each collection, Select subject
    ExprPtr to; // For end
    ExprPtr step; // For step (may be absent)
    ExprPtr cond; // Do/While condition (may be absent)
    bool condUntil = false;
    bool condAfter = false; // Loop While …
    bool preserve = false;
    ExitKind exit = ExitKind::Do;
    std::vector<ArrayDim> dims; // Dim, ReDim, Erase
    std::vector<IfArm> arms; // If and ElseIf
    std::vector<CaseArm> cases;
    Block body; // loop body
    Block elseBody; // If: Else part
    bool hasElse = false;
};

struct Param
{
    QString name;
    QString key;
    bool byRef = true;
    int line = 0;
    int column = 0;
};

struct Procedure;

struct ConstDecl
{
    QString name;
    QString key;
    ExprPtr value;
    int line = 0;
    int column = 0;
    Procedure *owner = nullptr; // null: a global constant
};

struct FixedArray
{
    int slot;
    std::vector<int> bounds; // empty: Dim a() (a dynamic array)
};

struct Procedure
{
    QString name;
    QString key;
    bool isFunction = false;
    int line = 0;
    int column = 0;
    std::vector<Param> params;
    Block body;
    // Filled in by the compiler.
    int localCount = 0;
    int returnSlot = -1;
    std::vector<FixedArray> arrays; // allocated when the frame is entered
    std::vector<QString> localNames;
};

// One compiled text: a script (procedures and top-level code), a statement list or an expression.
struct Module
{
    bool optionExplicit = false;
    Block main;
    std::vector<std::unique_ptr<Procedure>> procedures;
    std::vector<ConstDecl> consts; // in source order
    ExprPtr expression; // for an expression module
    bool hasRun = false;
};

} // namespace kv6::script::ast
