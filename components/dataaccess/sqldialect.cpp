#include "dataaccess/sqldialect.h"
#include "vbcore/numbertype.h"

#include <algorithm>
#include <cmath>
#include <QDateTime>
#include <QSet>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlField>
#include <QSqlRecord>
#include <utility>

namespace kv6 {

QString SqlDialect::ddl(QString statement) const
{
    const DdlSpelling &s = spelling();
    // %BIGID% before %ID%, which it contains.
    const std::pair<const char *, const char *> tokens[] = { { "%BIGID%", s.bigId },
        { "%ID%", s.id }, { "%BOOL%", s.boolean }, { "%TS%", s.timestamp }, { "%MONEY%", s.money },
        { "%BLOB%", s.blob }, { "%TRUE%", s.trueValue }, { "%FALSE%", s.falseValue } };
    for (const auto &[token, text] : tokens)
        statement.replace(QLatin1String(token), QLatin1String(text));
    return statement;
}

QString SqlDialect::boolLiteral(bool value) const
{
    return QLatin1String(value ? spelling().trueValue : spelling().falseValue);
}

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
// Reads "yyyy-MM-dd", "yyyy-MM-dd HH:mm", "yyyy-MM-dd HH:mm:ss" (also with "T", and with
// ".zzz") directly: SQLite hands every job time over as text, and QDateTime::fromString with a
// format costs tens of microseconds a value, which dominated reading large results.
bool parseFixedTimestamp(const QString &text, QDateTime &out)
{
    const qsizetype n = text.size();
    if (n != 10 && n != 16 && n != 19 && n != 23)
        return false;
    const QChar *c = text.constData();
    auto digits = [c](int from, int count, int &value) {
        value = 0;
        for (int i = from; i < from + count; ++i) {
            const char16_t ch = c[i].unicode();
            if (ch < u'0' || ch > u'9')
                return false;
            value = value * 10 + (ch - u'0');
        }
        return true;
    };
    int y, mo, d, h = 0, mi = 0, sec = 0, ms = 0;
    if (!digits(0, 4, y) || c[4] != u'-' || !digits(5, 2, mo) || c[7] != u'-' || !digits(8, 2, d))
        return false;
    if (n > 10) {
        if ((c[10] != u' ' && c[10] != u'T') || !digits(11, 2, h) || c[13] != u':'
            || !digits(14, 2, mi))
            return false;
        if (n > 16 && (c[16] != u':' || !digits(17, 2, sec)))
            return false;
        if (n > 19 && (c[19] != u'.' || !digits(20, 3, ms)))
            return false;
    }
    const QDate date(y, mo, d);
    const QTime time(h, mi, sec, ms);
    if (!date.isValid() || !time.isValid())
        return false;
    out = QDateTime(date, time);
    return out.isValid();
}

QDateTime parseTimestamp(const QString &text)
{
    QDateTime fast;
    if (parseFixedTimestamp(text, fast))
        return fast;
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

// "yyyy-MM-dd" or "yyyy-MM-dd HH:mm:ss", ASCII digits only; like a "$" pattern end, a final
// line break is allowed.
bool looksLikeTimestamp(const QChar *c, qsizetype n)
{
    if (n > 0 && c[n - 1] == u'\n')
        --n;
    if (n != 10 && n != 19)
        return false;
    static constexpr char shape[] = "dddd-dd-dd dd:dd:dd";
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t ch = c[i].unicode();
        if (shape[i] == 'd' ? (ch < u'0' || ch > u'9') : ch != char16_t(shape[i]))
            return false;
    }
    return true;
}
} // namespace

void ByteKeys::add(std::string_view bytes, qint64 number)
{
    m_last = number;
    if (!m_sharing) {
        m_lastBytes.assign(bytes);
        return;
    }
    m_bytes.append(bytes);
    m_ends.push_back(m_bytes.size());
    // Half full at most, so that a miss ends within a few slots.
    const size_t count = m_ends.size() - 1;
    if (count * 2 > m_slots.size()) {
        std::vector<Slot> old
            = std::exchange(m_slots, std::vector<Slot>(std::max<size_t>(64, m_slots.size() * 2)));
        m_mask = m_slots.size() - 1;
        for (const Slot &slot : old)
            if (slot.number >= 0)
                place(slot.hash, slot.number);
    }
    place(std::hash<std::string_view>()(bytes), number);
    // Rows ordered by another column meet thousands of distinct names before the first
    // repeats, so a column is judged over many rows.
    if (m_looked >= 32768 && m_looked % 4096 == 0 && count * 2 > m_looked) {
        m_sharing = false;
        m_lastBytes.assign(bytes);
        m_bytes = {};
        m_ends = {};
        m_slots = {};
    }
}

void ByteKeys::place(size_t hash, qint64 number)
{
    size_t i = hash & m_mask;
    while (m_slots[i].number >= 0)
        i = (i + 1) & m_mask;
    m_slots[i] = { hash, number };
}

void ValueTally::integer(qint64 n)
{
    anyInt = true;
    if (n > std::numeric_limits<qint32>::max() || n < std::numeric_limits<qint32>::min())
        wide = true;
}

void ValueTally::text(const QChar *c, qsizetype n)
{
    anyText = true;
    if (allStamps && !looksLikeTimestamp(c, n))
        allStamps = false;
}

void ValueTally::note(const QVariant &v)
{
    if (v.isNull() || !v.isValid())
        return;
    if (IsWholeNumberType(v.typeId()))
        integer(v.toLongLong());
    else if (IsRealNumberType(v.typeId()))
        anyReal = true;
    else if (v.typeId() == QMetaType::QString)
        text(TextIn(v).constData(), TextIn(v).size());
    else {
        const QString s = v.toString();
        text(s.constData(), s.size());
    }
}

int ValueTally::type(int declared) const
{
    if (declared != 0 && declared != adInteger)
        return declared;
    if (declared == adInteger)
        return wide ? adBigInt : adInteger;
    if (anyText)
        return allStamps ? adDBTimeStamp : adVarWChar;
    if (anyReal)
        return adDouble;
    if (anyInt)
        return wide ? adBigInt : adInteger;
    return adVarWChar;
}

QVariant ConvertToAdo(const QVariant &raw, int adoType)
{
    if (raw.isNull() || !raw.isValid())
        return QVariant();
    switch (adoType) {
    case adBoolean:
        if (raw.typeId() == QMetaType::Bool)
            return raw;
        if (raw.typeId() == QMetaType::QString) {
            const QString s = raw.toString().toLower();
            return s == QLatin1String("t") || s == QLatin1String("true") || s == QLatin1String("1")
                || s == QLatin1String("-1");
        }
        return raw.toLongLong() != 0 || raw.toBool();
    case adInteger:
    case adSmallInt:
        return raw.typeId() == QMetaType::Int ? raw : QVariant(raw.toInt());
    case adBigInt:
        return raw.typeId() == QMetaType::LongLong ? raw : QVariant(raw.toLongLong());
    case adDouble:
        return raw.typeId() == QMetaType::Double ? raw : QVariant(raw.toDouble());
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
        return raw.typeId() == QMetaType::QString ? raw : QVariant(raw.toString());
    }
}

namespace {

int fixedSize(int type)
{
    switch (type) {
    case adBoolean:
    case adSmallInt:
        return 2;
    case adInteger:
        return 4;
    case adBigInt:
    case adDouble:
    case adCurrency:
        return 8;
    case adDBTimeStamp:
        return 16;
    default:
        return 0;
    }
}

// Result columns may repeat a name ("SELECT p.name, c.name"); record set fields may not, so a
// repeat gets the first free number appended ("name1").
QString uniqueName(const Recordset &rs, const QString &name)
{
    if (!rs.HasField(name))
        return name;
    for (int n = 1;; ++n) {
        const QString candidate = name + QString::number(n);
        if (!rs.HasField(candidate))
            return candidate;
    }
}

// Query results repeat a few distinct texts (names, keys) over many rows. A column's equal texts
// share one copy: the table then takes less memory and less time to free, and comparing two of
// its texts finds them the same copy. A column whose texts are mostly distinct is left alone
// after a while, as sharing would only cost it.
class SharedTexts
{
public:
    void share(QVariant &value)
    {
        if (!m_sharing || ValueTypeId(value) != QMetaType::QString)
            return;
        QString &text = *static_cast<QString *>(value.data());
        // Rows often come grouped by the text, one after another.
        if (text.size() == m_last.size() && text == m_last) {
            text = m_last;
            return;
        }
        m_last = *m_seen.insert(text);
        text = m_last;
        // Rows ordered by another column meet thousands of distinct names before the first
        // repeats, so a column is judged over many rows.
        if (++m_looked % 4096 == 0 && m_looked >= 32768 && m_seen.size() * 2 > m_looked) {
            m_sharing = false;
            m_seen = {};
        }
    }

private:
    QSet<QString> m_seen;
    QString m_last;
    qsizetype m_looked = 0;
    bool m_sharing = true;
};

} // namespace

RecordsetPtr MakeRecordset(
    const QSqlRecord &record, const QList<int> &types, std::vector<ValueColumn> values, int rows)
{
    const int columns = record.count();
    auto rs = Recordset::Create();
    for (int c = 0; c < columns; ++c) {
        const int type = types.at(c);
        int size = fixedSize(type);
        int attributes = adFldIsNullable | adFldMayBeNull;
        if (size > 0) {
            attributes |= adFldFixed;
        } else if (type == adVarWChar || type == adLongVarBinary) {
            int longest = 0;
            for (const QVariant &v : values[size_t(c)]) {
                if (!v.isValid())
                    continue;
                if (type == adLongVarBinary)
                    longest = std::max<int>(longest, v.toByteArray().size());
                else if (ValueTypeId(v) == QMetaType::QString)
                    longest = std::max<int>(longest, int(TextIn(v).size()));
                else
                    longest = std::max<int>(longest, v.toString().size());
            }
            size = std::max(type == adVarWChar ? 255 : 1, longest);
        }
        rs->AppendField(uniqueName(*rs, record.fieldName(c)), type, size, attributes);
    }
    rs->Open();
    if (columns > 0) {
        rs->AppendColumns(std::move(values));
    } else {
        // Rows without fields still count.
        for (int r = 0; r < rows; ++r)
            rs->AppendRow({});
    }
    rs->MoveFirst();
    return rs;
}

RecordsetPtr SqlDialect::read(QSqlQuery &query, QString &error, const RowFolding *)
{
    RecordsetPtr rs = ReadRecordset(query, declaredTypes(query));
    if (!query.lastError().isValid())
        return rs;
    error = query.lastError().text().trimmed();
    return nullptr;
}

SqlDialect::Run SqlDialect::run(
    QSqlDatabase &, const QString &, const QVariantList &, RecordsetPtr &, QString &)
{
    return Run::NotRun;
}

RecordsetPtr ReadRecordset(QSqlQuery &query, const QList<int> &declaredTypes)
{
    const QSqlRecord record = query.record();
    const int columns = record.count();
    // Read straight into the record set's own form, a list of values per column.
    std::vector<ValueColumn> values(static_cast<size_t>(columns));
    if (query.size() > 0)
        for (auto &column : values)
            column.reserve(size_t(query.size()));
    int rows = 0;
    for (; query.next(); ++rows)
        for (int c = 0; c < columns; ++c)
            values[size_t(c)].push_back(query.value(c));

    QList<int> types(columns, adVarWChar);
    for (int c = 0; c < columns; ++c) {
        const int declared = declaredTypes.value(c);
        ValueTally tally;
        if (declared == 0 || declared == adInteger)
            for (const QVariant &v : values[size_t(c)])
                tally.note(v);
        types[c] = tally.type(declared);
    }
    for (int c = 0; c < columns; ++c) {
        SharedTexts shared;
        for (QVariant &v : values[size_t(c)]) {
            v = ConvertToAdo(v, types.at(c));
            if (v.isValid())
                shared.share(v);
        }
    }
    return MakeRecordset(record, types, std::move(values), rows);
}

} // namespace kv6
