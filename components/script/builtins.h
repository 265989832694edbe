#pragma once

// The standard function library of the script language. Functions see only values; the engine
// looks names up case-insensitively and checks the argument count before calling.

#include "script/value.h"

#include <QHash>
#include <QList>
#include <QString>

#include <functional>

namespace kv6::script {

// Arguments arrive evaluated, in order. Optional arguments left out at the end are absent from
// the list; one skipped between commas, FormatNumber(x, 2, , , 0), is Variant::missing().
using BuiltinFn = std::function<Variant(const QList<Variant> &args)>;

struct BuiltinFunction
{
    QString name;
    int minArgs = 0;
    int maxArgs = 0; // -1: any number (Array)
    BuiltinFn fn;
    // Objects reach the function as objects (IsObject, TypeName); other functions see the
    // default value of an object that has one, as a record set field's value in IsNull.
    bool takesObjects = false;
};

// Every standard function (strings, conversions, tests, maths, dates, formatting, arrays).
// The list is built once; lookups through findBuiltin are hashed.
const QList<BuiltinFunction> &standardFunctions();
const BuiltinFunction *findBuiltin(const QString &name);

// The language's named constants (vbCrLf, vbSunday, vbString, vbObjectError, ...), by
// case-folded name; a script cannot redefine them.
const QHash<QString, Variant> &standardConstants();

} // namespace kv6::script
