#pragma once

// Inside the standard library: the groups of functions kept in files of their own.

#include "script/builtins.h"

namespace kv6::script::detail {

// Whether an optional argument was given: neither missing at the end nor skipped between commas.
inline bool given(const QList<Variant> &a, qsizetype index)
{
    return index < a.size() && !a[index].isMissing();
}

// Dates and times (Now, DateAdd, DatePart, MonthName, ...) and the Format functions.
void addDateTimeFunctions(QList<BuiltinFunction> &functions);

} // namespace kv6::script::detail
