#pragma once

#include <QVariant>

#include <optional>

namespace kv6 {

class infField;

// A field's value with Null replaced by its type's neutral value (dates and variants stay Null,
// texts become "", Booleans false, anything else a 16-bit 0); a wanted type of 8 asks for "",
// any other wanted type for a 16-bit 0.
QVariant FieldValue(const kv6::infField &field, std::optional<int> wantedType = std::nullopt);

} // namespace kv6
