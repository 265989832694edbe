#pragma once

// Small record sets written out in a test: column names and rows.

#include "recordset/recordset.h"

#include <QStringList>

namespace kv6test {

// An open record set with the blank-separated `names` as columns, each typed after the first row
// with a value there (text, Integer, Boolean, Date for a time, else Double; a column of Nulls only
// is a Variant), holding the rows, at its first row.
inline kv6::RecordsetPtr table(const QString &names, const QList<QVariantList> &rows)
{
    auto rs = kv6::Recordset::Create();
    const QStringList fields = names.split(u' ');
    for (int f = 0; f < fields.size(); ++f) {
        int type = kv6::adVariant;
        for (const QVariantList &row : rows) {
            if (row.at(f).isNull())
                continue;
            const int id = row.at(f).typeId();
            type = id == QMetaType::QString  ? kv6::adVarWChar
                : id == QMetaType::Int       ? kv6::adInteger
                : id == QMetaType::Bool      ? kv6::adBoolean
                : id == QMetaType::QDateTime ? kv6::adDate
                                             : kv6::adDouble;
            break;
        }
        rs->AppendField(fields.at(f), type);
    }
    rs->Open();
    for (const QVariantList &row : rows)
        rs->AppendRow(row);
    rs->MoveFirst();
    return rs;
}

} // namespace kv6test
