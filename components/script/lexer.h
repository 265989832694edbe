#pragma once

#include "script/value.h"

#include <QList>
#include <QString>

namespace kv6::script {

enum class Tok { Ident, Number, String, Date, Op, Newline, End };

struct Token
{
    Tok kind = Tok::End;
    QString text; // identifiers: as written (brackets removed); operators: the operator
    QString key; // identifiers: case-folded, for keyword tests and lookups
    Variant value; // literals
    int line = 1;
    int column = 1;
    bool bracketed = false; // [Name]: never a keyword
    bool spaceBefore = false;
};

struct SyntaxError
{
    int number;
    QString message;
    int line;
    int column;
};

// Splits source text into tokens; ":" and line ends both become Newline, " _" continues a
// line. Throws SyntaxError.
QList<Token> tokenize(const QString &source);

} // namespace kv6::script
