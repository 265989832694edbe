#pragma once

#include "script/ast.h"
#include "script/lexer.h"

#include <memory>

namespace kv6::script {

enum class ParseMode {
    Script, // procedures and top-level statements
    Statements, // statements only (section scripts)
    Expression, // one expression (field texts)
};

// Builds the tree of a text; names stay unbound. Throws SyntaxError.
std::unique_ptr<ast::Module> parse(const QString &source, ParseMode mode);

// Reserved words cannot name variables or procedures (they still name members after a dot).
bool isReservedWord(const QString &key);

} // namespace kv6::script
