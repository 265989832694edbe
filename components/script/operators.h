#pragma once

// The language's operators over Variants, with VBScript's promotion rules: results widen
// (Integer to Long to Double) instead of overflowing, Null propagates, strings convert where
// arithmetic needs numbers. Errors are thrown with raise().

#include "script/ast.h"
#include "script/value.h"

namespace kv6::script::ops {

// An object's default value; other values unchanged.
Variant valueOf(const Variant &v);

Variant add(const Variant &a, const Variant &b);
Variant subtract(const Variant &a, const Variant &b);
Variant multiply(const Variant &a, const Variant &b);
Variant divide(const Variant &a, const Variant &b);
Variant intDivide(const Variant &a, const Variant &b);
Variant modulo(const Variant &a, const Variant &b);
Variant power(const Variant &a, const Variant &b);
Variant concat(const Variant &a, const Variant &b);
Variant negate(const Variant &a);
Variant logicalNot(const Variant &a);
Variant logical(ast::Op op, const Variant &a, const Variant &b); // And Or Xor Eqv Imp

// -1, 0 or 1; a literal operand takes the type of the other side when one is a string and the
// other a number. Neither side may be Null.
int compare(const Variant &a, const Variant &b, bool aLiteral, bool bLiteral);
// = <> < > <= >= giving a Boolean, or Null when either side is Null.
Variant comparison(ast::Op op, const Variant &a, const Variant &b, bool aLiteral, bool bLiteral);
Variant identity(const Variant &a, const Variant &b); // Is

Variant binary(ast::Op op, const Variant &a, const Variant &b);

} // namespace kv6::script::ops
