#pragma once

// A query result as the engines read it: fields with ADO type codes and rows of variants. It is
// what fills a record set, and what the tools use directly.
//
// Column types become ADO type codes by this rule, the same on both engines:
//   - a column with a declared type (a table column; on SQLite sqlite3_column_decltype, on
//     PostgreSQL the result's type oid) maps by that type: BOOLEAN -> adBoolean (11); INTEGER,
//     SMALLINT -> adInteger (3), widened to adBigInt (20) when a value does not fit 32 bits;
//     BIGINT -> adBigInt; REAL, DOUBLE, FLOAT -> adDouble (5); NUMERIC, DECIMAL, MONEY ->
//     adCurrency (6); DATE, TIME, TIMESTAMP, DATETIME -> adDBTimeStamp (135); BLOB, BYTEA ->
//     adLongVarBinary (205); text types -> adVarWChar (202);
//   - an expression (SUM, COUNT, date(...)) on SQLite has no declared type and maps by its
//     values: all integers -> adInteger (adBigInt when one does not fit), any real -> adDouble,
//     texts that are all "yyyy-MM-dd" or "yyyy-MM-dd HH:mm:ss" -> adDBTimeStamp, other texts ->
//     adVarWChar, all Null -> adVarWChar.
// Values: adInteger int, adBigInt qlonglong, adDouble double, adCurrency double rounded to four
// decimals, adBoolean bool, adDBTimeStamp QDateTime (local time), adVarWChar QString,
// adLongVarBinary QByteArray; a Null is an invalid QVariant.

#include "recordset/recordset.h"

#include <QList>
#include <QString>
#include <QVariant>

namespace kv6 {

struct DataField
{
    QString name;
    int type = adVarWChar;
    int definedSize = 0;
    int attributes = 0;
};

struct DataTable
{
    QList<DataField> fields;
    QList<QVariantList> rows;

    int fieldIndex(const QString &name) const
    {
        for (int i = 0; i < fields.size(); ++i)
            if (fields.at(i).name.compare(name, Qt::CaseInsensitive) == 0)
                return i;
        return -1;
    }
    QVariant value(int row, const QString &field) const
    {
        const int i = fieldIndex(field);
        return i < 0 ? QVariant() : rows.at(row).at(i);
    }
};

} // namespace kv6
