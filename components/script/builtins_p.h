#pragma once

// Inside the standard library: the groups of functions kept in files of their own.

#include "script/builtins.h"

namespace kv6::script::detail {

// Dates and times (Now, DateAdd, DatePart, MonthName, ...) and the Format functions.
void addDateTimeFunctions(QList<BuiltinFunction> &functions);

} // namespace kv6::script::detail
