#pragma once

// Record sets as script objects, with the members ADO scripts use: the cursor, Fields and Field
// objects, AddNew/Update/Delete, Sort and Find, and ADO's error numbers (3265, 3021, 3704, ...)
// with ADO's texts. A host passes them to a procedure by reference and reads back whatever the
// script left in the variable, also after `Set dst = src`:
//
//     Variant src = makeRecordsetObject(table);
//     Variant dst = makeRecordsetObject(table->CloneStructure());
//     engine.call("PostProcess", {&src, &dst});
//     RecordsetPtr result = recordsetOf(dst); // null when the script left no record set there

#include "recordset/recordset.h"
#include "script/value.h"

#include <QVariant>

namespace kv6::script {

Variant makeRecordsetObject(RecordsetPtr rs);
RecordsetPtr recordsetOf(const Variant &value);

// A stored field value as scripts see it. The field's type decides the subtype, so an
// adCurrency field gives Currency and an adSmallInt field Integer; a Null value gives Null.
Variant fieldValueToScript(const QVariant &value, int adoType);
// A script value as a field of that type stores it (Empty and Null become Null). Values that do
// not convert raise the script's errors (13 type mismatch, 6 overflow).
QVariant scriptValueToField(const Variant &value, int adoType);

} // namespace kv6::script
