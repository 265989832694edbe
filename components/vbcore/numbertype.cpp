#include "vbcore/numbertype.h"

#include <QMetaType>

namespace kv6 {

bool IsWholeNumberType(int typeId)
{
    switch (typeId) {
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Char:
    case QMetaType::SChar:
    case QMetaType::UChar:
        return true;
    default:
        return false;
    }
}

bool IsRealNumberType(int typeId)
{
    return typeId == QMetaType::Double || typeId == QMetaType::Float;
}

bool IsWholeNumberType32(int typeId)
{
    return IsWholeNumberType(typeId) && typeId != QMetaType::LongLong
        && typeId != QMetaType::ULongLong;
}

} // namespace kv6
