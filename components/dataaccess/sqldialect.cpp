#include "dataaccess/sqldialect.h"

#include <cmath>
#include <QDateTime>
#include <QRegularExpression>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlField>
#include <QSqlRecord>

namespace kv6 {

int AdoTypeFromDeclared(const QString &declaredText)
{
    const QString d = declaredText.trimmed().toLower();
    if (d.isEmpty())
        return 0;
    if (d.startsWith(QLatin1String("bool")))
        return adBoolean;
    if (d.contains(QLatin1String("bigint")) || d == QLatin1String("int8"))
        return adBigInt;
    if (d.contains(QLatin1String("int")))
        return adInteger;
    if (d.contains(QLatin1String("real")) || d.contains(QLatin1String("doub"))
        || d.contains(QLatin1String("float")))
        return adDouble;
    if (d.startsWith(QLatin1String("numeric")) || d.startsWith(QLatin1String("decimal"))
        || d.contains(QLatin1String("money")) || d.contains(QLatin1String("currency")))
        return adCurrency;
    if (d.contains(QLatin1String("date")) || d.contains(QLatin1String("time")))
        return adDBTimeStamp;
    if (d.contains(QLatin1String("blob")) || d == QLatin1String("bytea"))
        return adLongVarBinary;
    return adVarWChar;
}

namespace {
QDateTime parseTimestamp(const QString &text)
{
    static const QString formats[] = { QStringLiteral("yyyy-MM-dd HH:mm:ss"),
        QStringLiteral("yyyy-MM-dd"), QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz"),
        QStringLiteral("yyyy-MM-ddTHH:mm:ss"), QStringLiteral("yyyy-MM-dd HH:mm") };
    for (const QString &f : formats) {
        QDateTime dt = QDateTime::fromString(text, f);
        if (dt.isValid())
            return dt;
    }
    return QDateTime::fromString(text, Qt::ISODate);
}

bool looksLikeTimestamp(const QString &text)
{
    static const QRegularExpression re(
        QStringLiteral("^\\d{4}-\\d{2}-\\d{2}( \\d{2}:\\d{2}:\\d{2})?$"));
    return re.match(text).hasMatch();
}
} // namespace

QVariant ConvertToAdo(const QVariant &raw, int adoType)
{
    if (raw.isNull() || !raw.isValid())
        return QVariant();
    switch (adoType) {
    case adBoolean:
        if (raw.typeId() == QMetaType::QString) {
            const QString s = raw.toString().toLower();
            return s == QLatin1String("t") || s == QLatin1String("true") || s == QLatin1String("1")
                || s == QLatin1String("-1");
        }
        return raw.toLongLong() != 0 || raw.toBool();
    case adInteger:
    case adSmallInt:
        return raw.toInt();
    case adBigInt:
        return raw.toLongLong();
    case adDouble:
        return raw.toDouble();
    case adCurrency:
        return std::round(raw.toDouble() * 10000.0) / 10000.0;
    case adDBTimeStamp:
        if (raw.typeId() == QMetaType::QDateTime)
            return raw.toDateTime();
        if (raw.typeId() == QMetaType::QDate)
            return raw.toDate().startOfDay();
        return parseTimestamp(raw.toString());
    case adLongVarBinary:
        return raw.toByteArray();
    default:
        return raw.toString();
    }
}

void FinishTable(DataTable &table, const QList<int> &declaredTypes)
{
    const int columns = table.fields.size();
    for (int c = 0; c < columns; ++c) {
        int type = declaredTypes.value(c);
        if (type == 0 || type == adInteger) {
            bool anyInt = false, anyReal = false, anyText = false, allStamps = true, wide = false;
            for (const QVariantList &row : std::as_const(table.rows)) {
                const QVariant &v = row.at(c);
                if (v.isNull() || !v.isValid())
                    continue;
                switch (v.typeId()) {
                case QMetaType::Int:
                case QMetaType::UInt:
                case QMetaType::LongLong:
                case QMetaType::ULongLong: {
                    anyInt = true;
                    const qlonglong n = v.toLongLong();
                    if (n > std::numeric_limits<qint32>::max()
                        || n < std::numeric_limits<qint32>::min())
                        wide = true;
                    break;
                }
                case QMetaType::Double:
                case QMetaType::Float:
                    anyReal = true;
                    break;
                default:
                    anyText = true;
                    if (allStamps && !looksLikeTimestamp(v.toString()))
                        allStamps = false;
                    break;
                }
            }
            if (type == adInteger)
                type = wide ? adBigInt : adInteger;
            else if (anyText)
                type = allStamps ? adDBTimeStamp : adVarWChar;
            else if (anyReal)
                type = adDouble;
            else if (anyInt)
                type = wide ? adBigInt : adInteger;
            else
                type = adVarWChar;
        }
        DataField &f = table.fields[c];
        f.type = type;
        f.attributes = adFldIsNullable | adFldMayBeNull;
        switch (type) {
        case adBoolean:
        case adSmallInt:
            f.definedSize = 2;
            f.attributes |= adFldFixed;
            break;
        case adInteger:
            f.definedSize = 4;
            f.attributes |= adFldFixed;
            break;
        case adBigInt:
        case adDouble:
        case adCurrency:
            f.definedSize = 8;
            f.attributes |= adFldFixed;
            break;
        case adDBTimeStamp:
            f.definedSize = 16;
            f.attributes |= adFldFixed;
            break;
        default:
            f.definedSize = 0;
            break;
        }
    }
    QList<int> longest(columns, 0);
    for (QVariantList &row : table.rows) {
        for (int c = 0; c < columns; ++c) {
            QVariant &v = row[c];
            v = ConvertToAdo(v, table.fields.at(c).type);
            if (table.fields.at(c).type == adVarWChar && v.isValid())
                longest[c] = std::max<int>(longest[c], v.toString().size());
            else if (table.fields.at(c).type == adLongVarBinary && v.isValid())
                longest[c] = std::max<int>(longest[c], v.toByteArray().size());
        }
    }
    for (int c = 0; c < columns; ++c) {
        DataField &f = table.fields[c];
        if (f.type == adVarWChar)
            f.definedSize = std::max(255, longest.at(c));
        else if (f.type == adLongVarBinary)
            f.definedSize = std::max(1, longest.at(c));
    }
}

} // namespace kv6
