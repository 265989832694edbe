#pragma once

// Which QVariant types hold numbers. Record sets, parameters, data sets, the settings store and
// the database dialects all ask; Bool and Currency are left to each caller, because VB treats
// them apart (True is -1; Currency is fixed-point).

namespace kv6 {

// Short, UShort, Int, UInt, LongLong, ULongLong and the char types.
bool IsWholeNumberType(int typeId);
// Double and Float.
bool IsRealNumberType(int typeId);
inline bool IsNumberType(int typeId)
{
    return IsWholeNumberType(typeId) || IsRealNumberType(typeId);
}
// A whole number type that fits 32 bits.
bool IsWholeNumberType32(int typeId);

} // namespace kv6
