#include "recordset/fieldvalue.h"

#include "recordset/recordset.h"

namespace kv6 {

QVariant FieldValue(const infField &field, std::optional<int> wantedType)
{
    QVariant value = field.Value();
    if (value.isValid() && !value.isNull())
        return value;
    if (wantedType)
        return *wantedType == adBSTR ? QVariant(QString()) : QVariant::fromValue<qint16>(0);
    const int type = field.Type();
    if (IsDateType(type) || type == adVariant || type == adPropVariant)
        return {};
    if (IsTextType(type))
        return QString();
    if (type == adBoolean)
        return false;
    return QVariant::fromValue<qint16>(0);
}

} // namespace kv6
