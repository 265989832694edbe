#include "recordset/recordset.h"
#include "vbcore/asciifold.h"
#include "vbcore/numbertype.h"
#include "vbcore/vbdate.h"

#include <QDateTime>
#include <QHash>
#include <QRegularExpression>
#include <QtEndian>

#include <algorithm>
#include <bit>
#include <cstring>
#include <iterator>
#include <limits>
#include <numeric>
#include <string>
#include <string_view>

namespace kv6 {

bool IsTextType(int t)
{
    switch (t) {
    case adBSTR:
    case adChar:
    case adWChar:
    case adVarChar:
    case adLongVarChar:
    case adVarWChar:
    case adLongVarWChar:
        return true;
    default:
        return false;
    }
}

bool IsDateType(int t)
{
    return t == adDate || t == adDBDate || t == adDBTime || t == adDBTimeStamp || t == adFileTime
        || t == adDBFileTime;
}

bool IsNumericType(int t)
{
    switch (t) {
    case adSmallInt:
    case adInteger:
    case adSingle:
    case adDouble:
    case adCurrency:
    case adDecimal:
    case adTinyInt:
    case adUnsignedTinyInt:
    case adBigInt:
    case adNumeric:
        return true;
    default:
        return false;
    }
}

// ---- TextNumbers

int TextNumbers::number(const QString &text, bool held, bool &added)
{
    added = false;
    const QChar *data = text.constData();
    // The last text is known by its address while it is kept here, or when both it and this one
    // are held (two texts held at once share an address only by sharing their copy).
    if (m_lastNumber >= 0 && data == m_lastData && text.size() == m_lastSize
        && (held || !m_lastHeld))
        return m_lastNumber;
    // Held copies are remembered by address in an open table, emptied when half full: texts
    // that land on one place (a few hundred printers' names) are all found again, where a
    // place holding one of them sent the others to the hash of texts row after row.
    if (m_seen.empty() || m_seenCount * 2 >= m_seen.size()) {
        size_t size = 256;
        while (size < size_t(m_numbers.size()) * 4)
            size *= 2;
        m_seen.assign(size, Seen {});
        m_seenCount = 0;
    }
    Seen *place = nullptr;
    if (held) {
        const size_t mask = m_seen.size() - 1;
        for (size_t i = (quintptr(data) >> 4) & mask;; i = (i + 1) & mask) {
            Seen &seen = m_seen[i];
            if (seen.data == data && seen.size == text.size()) {
                m_lastNumber = seen.number;
                break;
            }
            if (!seen.data) {
                place = &seen;
                break;
            }
        }
    }
    if ((!held || place)
        && (m_lastNumber < 0 || m_lastHeld || text.size() != m_last.size() || text != m_last)) {
        // One look-up finds or makes the number; numbers are stored from 1, 0 being new.
        int &stored = m_numbers[text];
        if (stored == 0) {
            stored = int(m_numbers.size());
            added = true;
        }
        m_lastNumber = stored - 1;
    }
    if (place) {
        *place = Seen { data, text.size(), m_lastNumber };
        ++m_seenCount;
    }
    // A text not held is kept, so that its address cannot come back with another text; a held
    // one is not (copying a text costs two atomic counts).
    m_lastHeld = held;
    if (held)
        m_last = QString();
    else
        m_last = text;
    m_lastData = data;
    m_lastSize = text.size();
    return m_lastNumber;
}

// ---- Field

QString Field::Name() const
{
    return m_rs->FieldAt(m_index).name;
}
int Field::Type() const
{
    return m_rs->FieldAt(m_index).type;
}
int Field::DefinedSize() const
{
    return m_rs->FieldAt(m_index).definedSize;
}
int Field::Attributes() const
{
    return m_rs->FieldAt(m_index).attributes;
}
QVariant Field::Value() const
{
    return m_rs->Value(m_index);
}
void Field::SetValue(const QVariant &value)
{
    m_rs->SetValue(m_index, value);
}

// ---- comparisons

namespace {

bool isNumber(const QVariant &v)
{
    const int type = ValueTypeId(v);
    return IsNumberType(type) || type == QMetaType::Bool;
}

bool isInteger(const QVariant &v)
{
    const int type = ValueTypeId(v);
    return isNumber(v) && type != QMetaType::Double && type != QMetaType::Float;
}

bool isDate(const QVariant &v)
{
    const int type = ValueTypeId(v);
    return type == QMetaType::QDateTime || type == QMetaType::QDate || type == QMetaType::QTime;
}

QDateTime asDateTime(const QVariant &v)
{
    if (v.typeId() == QMetaType::QDate)
        return v.toDate().startOfDay();
    if (v.typeId() == QMetaType::QTime)
        return QDateTime(VbZeroDay(), v.toTime());
    return v.toDateTime();
}

template<typename T>
int cmp3(const T &a, const T &b)
{
    return a < b ? -1 : (b < a ? 1 : 0);
}

} // namespace

int CompareValues(const QVariant &a, const QVariant &b)
{
    const bool an = IsNullValue(a);
    const bool bn = IsNullValue(b);
    if (an || bn)
        return an == bn ? 0 : (an ? -1 : 1);
    // Two values of a query's column, read in place.
    const int type = ValueTypeId(a);
    if (type == ValueTypeId(b)) {
        if (type == QMetaType::Int)
            return cmp3(
                *static_cast<const int *>(a.constData()), *static_cast<const int *>(b.constData()));
        if (type == QMetaType::LongLong)
            return cmp3(*static_cast<const qlonglong *>(a.constData()),
                *static_cast<const qlonglong *>(b.constData()));
        if (type == QMetaType::Double)
            return cmp3(*static_cast<const double *>(a.constData()),
                *static_cast<const double *>(b.constData()));
    }
    if (isNumber(a) && isNumber(b)) {
        if (isInteger(a) && isInteger(b))
            return cmp3(a.toLongLong(), b.toLongLong());
        return cmp3(a.toDouble(), b.toDouble());
    }
    if (isDate(a) && isDate(b))
        return cmp3(asDateTime(a), asDateTime(b));
    if (isNumber(a) != isNumber(b)) {
        // A number against a numeric text compares as numbers, otherwise numbers sort first.
        bool ok = false;
        const double other = (isNumber(a) ? b : a).toString().trimmed().toDouble(&ok);
        if (ok) {
            const double mine = (isNumber(a) ? a : b).toDouble();
            return isNumber(a) ? cmp3(mine, other) : cmp3(other, mine);
        }
        return isNumber(a) ? -1 : 1;
    }
    return a.toString().compare(b.toString(), Qt::CaseInsensitive);
}

// ---- structure

void Recordset::AppendField(const QString &name, int type, int definedSize, int attributes)
{
    if (m_open)
        throw RecordsetError(adErrObjectOpen, "Fields cannot be appended to an open record set.");
    if (FieldIndex(name) >= 0)
        throw RecordsetError(adErrObjectInCollection,
            QStringLiteral("The field \"%1\" already exists.").arg(name).toStdString());
    m_fields.append(FieldInfo { name, type, definedSize, attributes });
    m_columns.emplace_back(m_ids.size());
}

int Recordset::FieldIndex(const QString &rawName) const
{
    QString name = rawName.trimmed();
    if (name.size() >= 2 && name.startsWith(u'[') && name.endsWith(u']'))
        name = name.mid(1, name.size() - 2);
    for (int i = 0; i < m_fields.size(); ++i)
        if (m_fields.at(i).name.compare(name, Qt::CaseInsensitive) == 0)
            return i;
    return -1;
}

int Recordset::checkedField(const QString &name) const
{
    const int i = FieldIndex(name);
    if (i < 0)
        throw RecordsetError(adErrItemNotFound,
            QStringLiteral("Item \"%1\" cannot be found in the collection.")
                .arg(name)
                .toStdString());
    return i;
}

Field Recordset::GetField(const QString &name)
{
    return Field(this, checkedField(name));
}

Field Recordset::GetField(int index)
{
    if (index < 0 || index >= m_fields.size())
        throw RecordsetError(adErrItemNotFound,
            QStringLiteral("Field index %1 is out of range.").arg(index).toStdString());
    return Field(this, index);
}

RecordsetPtr Recordset::CloneStructure() const
{
    auto copy = Create();
    copy->m_fields = m_fields;
    copy->m_columns.resize(m_columns.size());
    copy->Open();
    return copy;
}

RecordsetPtr Recordset::Copy() const
{
    auto copy = CloneStructure();
    copy->m_columns = m_columns;
    copy->m_ids = m_ids;
    copy->m_pending = m_pending;
    copy->m_nextId = m_nextId;
    copy->m_sort = m_sort;
    copy->m_inSortOrder = m_inSortOrder;
    copy->m_pos = 0;
    return copy;
}

void Recordset::Open()
{
    m_open = true;
    m_pos = 0;
}

void Recordset::Close()
{
    m_open = false;
    m_adding = false;
    for (ValueColumn &column : m_columns)
        column = {};
    m_ids = {};
    m_pending = {};
    m_pos = 0;
    m_sort.clear();
    m_inSortOrder = true;
}

void Recordset::Reserve(int rows)
{
    for (ValueColumn &column : m_columns)
        column.reserve(size_t(rows));
    m_ids.reserve(size_t(rows));
}

namespace {

// Puts the values stored at `order` at the front of `data`, in that order, each relocated by its
// bytes through `scratch` (room for as many values): nothing is made or destroyed.
void gatherValues(QVariant *data, const std::vector<int> &order, char *scratch)
{
    static_assert(QTypeInfo<QVariant>::isRelocatable);
    for (size_t i = 0; i < order.size(); ++i)
        std::memcpy(scratch + i * sizeof(QVariant), static_cast<const void *>(data + order[i]),
            sizeof(QVariant));
    std::memcpy(static_cast<void *>(data), scratch, order.size() * sizeof(QVariant));
}

} // namespace

void Recordset::keepRows(const std::vector<int> &rows)
{
    const size_t stored = m_ids.size(), kept = rows.size();
    const bool sorted = std::is_sorted(rows.begin(), rows.end());
    // When a filter dropped none, nothing moves.
    if (!sorted || kept != stored) {
        // Kept values are relocated by their bytes, as reorder() moves them, and the others
        // destroyed: a filter over a large table otherwise spent most of its time moving values
        // one assignment at a time. The slots left over at the end are let go unread: each was
        // destroyed or moved up already.
        static_assert(QTypeInfo<QVariant>::isRelocatable);
        std::vector<char> keep(stored, 0);
        for (const int row : rows)
            keep[size_t(row)] = 1;
        std::unique_ptr<char[]> scratch(sorted ? nullptr : new char[kept * sizeof(QVariant)]);
        for (ValueColumn &column : m_columns) {
            QVariant *data = column.data();
            for (size_t i = 0; i < stored; ++i)
                if (!keep[i] && OwnsAnything(data[i]))
                    data[i].~QVariant();
            if (sorted) {
                // Kept rows close up where they are.
                size_t to = 0;
                for (const int from : rows) {
                    if (size_t(from) != to)
                        std::memcpy(static_cast<void *>(data + to),
                            static_cast<const void *>(data + from), sizeof(QVariant));
                    ++to;
                }
            } else {
                // Rows kept in a pending order are gathered in that order.
                gatherValues(data, rows, scratch.get());
            }
            t_cellsLetGo = true;
            column.resize(kept);
            t_cellsLetGo = false;
        }
    }
    m_ids.resize(kept);
    m_pending = {};
    renumber();
}

void Recordset::settle()
{
    if (m_pending.empty())
        return;
    std::vector<int> order = std::move(m_pending);
    m_pending = {};
    reorder(order);
}

void Recordset::renumber()
{
    for (size_t i = 0; i < m_ids.size(); ++i)
        m_ids[i] = int(i) + 1;
    m_nextId = int(m_ids.size()) + 1;
    m_sort.clear();
    m_inSortOrder = true;
    m_adding = false;
    m_pos = 0;
}

void Recordset::requireOpen() const
{
    if (!m_open)
        throw RecordsetError(
            adErrObjectClosed, "Operation is not allowed when the object is closed.");
}

void Recordset::requireRow() const
{
    requireOpen();
    if (m_pos < 0 || m_pos >= RecordCount())
        throw RecordsetError(adErrNoCurrentRecord,
            "Either BOF or EOF is True, or the current record has been deleted.");
}

void Recordset::throwOutOfRange(int row, int field)
{
    throw RecordsetError(adErrInvalidArgument,
        QStringLiteral("Row %1, field %2 is outside the record set.")
            .arg(row)
            .arg(field)
            .toStdString());
}

// ---- cursor

void Recordset::MoveFirst()
{
    requireOpen();
    m_adding = false;
    m_pos = 0;
}

void Recordset::MoveLast()
{
    requireOpen();
    m_adding = false;
    m_pos = m_ids.empty() ? 0 : RecordCount() - 1;
}

void Recordset::MoveNext()
{
    requireOpen();
    if (Eof())
        throw RecordsetError(adErrNoCurrentRecord,
            "Either BOF or EOF is True, or the current record has been deleted.");
    m_adding = false;
    ++m_pos;
}

void Recordset::MovePrevious()
{
    requireOpen();
    if (m_pos < 0 || m_ids.empty())
        throw RecordsetError(adErrNoCurrentRecord,
            "Either BOF or EOF is True, or the current record has been deleted.");
    m_adding = false;
    --m_pos;
}

void Recordset::Move(int offset)
{
    requireOpen();
    m_adding = false;
    m_pos = std::clamp(m_pos + offset, -1, RecordCount());
}

int Recordset::AbsolutePosition() const
{
    if (!m_open)
        return adPosUnknown;
    if (m_ids.empty() || m_pos >= RecordCount())
        return adPosEOF;
    if (m_pos < 0)
        return adPosBOF;
    return m_pos + 1;
}

void Recordset::SetAbsolutePosition(int position)
{
    requireOpen();
    if (position < 1 || position > RecordCount())
        throw RecordsetError(adErrInvalidArgument, "The position is outside the record set.");
    m_adding = false;
    m_pos = position - 1;
}

QVariant Recordset::Bookmark() const
{
    if (!m_open || m_pos < 0 || m_pos >= RecordCount())
        return {};
    return m_ids[at(m_pos)];
}

void Recordset::SetBookmark(const QVariant &bookmark)
{
    requireOpen();
    bool ok = false;
    const int id = bookmark.toInt(&ok);
    if (ok) {
        // Rows keep insertion order unless sorted, so the id is usually where it was put.
        const int guess = id - 1;
        if (guess >= 0 && guess < RecordCount() && m_ids[at(guess)] == id) {
            m_pos = guess;
            m_adding = false;
            return;
        }
        for (int i = 0; i < RecordCount(); ++i)
            if (m_ids[at(i)] == id) {
                m_pos = i;
                m_adding = false;
                return;
            }
    }
    throw RecordsetError(adErrInvalidArgument, "The bookmark is not valid for this record set.");
}

// ---- values

QVariant Recordset::Value(int field) const
{
    requireRow();
    if (field < 0 || field >= m_fields.size())
        throw RecordsetError(adErrItemNotFound,
            QStringLiteral("Field index %1 is out of range.").arg(field).toStdString());
    return m_columns[size_t(field)][at(m_pos)];
}

QVariant Recordset::Value(const QString &field) const
{
    return Value(checkedField(field));
}

void Recordset::SetValue(int field, const QVariant &value)
{
    requireRow();
    if (field < 0 || field >= m_fields.size())
        throw RecordsetError(adErrItemNotFound,
            QStringLiteral("Field index %1 is out of range.").arg(field).toStdString());
    m_columns[size_t(field)][at(m_pos)] = value;
    // Insertion order does not depend on values.
    m_inSortOrder = m_inSortOrder && m_sort.isEmpty();
}

void Recordset::SetValue(const QString &field, const QVariant &value)
{
    SetValue(checkedField(field), value);
}

void Recordset::AddNew()
{
    QVariantList values;
    values.resize(m_fields.size());
    AddNew(values);
}

void Recordset::AddNew(const QVariantList &values)
{
    requireOpen();
    if (values.size() != m_fields.size())
        throw RecordsetError(
            adErrInvalidArgument, "The number of values does not match the number of fields.");
    settle();
    for (qsizetype f = 0; f < values.size(); ++f)
        m_columns[size_t(f)].push_back(values.at(f));
    m_ids.push_back(m_nextId++);
    m_inSortOrder = m_inSortOrder && m_sort.isEmpty();
    m_pos = RecordCount() - 1;
    m_adding = true;
}

void Recordset::Update()
{
    requireOpen();
    m_adding = false;
}

void Recordset::CancelUpdate()
{
    requireOpen();
    if (m_adding && !m_ids.empty()) {
        settle();
        for (ValueColumn &column : m_columns)
            column.pop_back();
        m_ids.pop_back();
        m_pos = RecordCount();
    }
    m_adding = false;
}

void Recordset::Delete()
{
    requireRow();
    settle();
    for (ValueColumn &column : m_columns)
        column.erase(column.begin() + m_pos);
    m_ids.erase(m_ids.begin() + m_pos);
    m_adding = false;
}

void Recordset::AppendRow(QVariantList values)
{
    requireOpen();
    if (values.size() != m_fields.size())
        throw RecordsetError(
            adErrInvalidArgument, "The number of values does not match the number of fields.");
    settle();
    for (qsizetype f = 0; f < values.size(); ++f)
        m_columns[size_t(f)].push_back(std::move(values[f]));
    m_ids.push_back(m_nextId++);
    // A row appended last is still in insertion order.
    m_inSortOrder = m_inSortOrder && m_sort.isEmpty();
}

void Recordset::AppendColumns(std::vector<ValueColumn> columns)
{
    requireOpen();
    if (columns.size() != m_columns.size())
        throw RecordsetError(
            adErrInvalidArgument, "The number of columns does not match the number of fields.");
    const size_t rows = columns.empty() ? 0 : columns.front().size();
    for (const ValueColumn &column : columns)
        if (column.size() != rows)
            throw RecordsetError(adErrInvalidArgument, "The columns differ in length.");
    settle();
    for (size_t f = 0; f < columns.size(); ++f) {
        if (m_columns[f].empty())
            m_columns[f] = std::move(columns[f]);
        else
            std::move(columns[f].begin(), columns[f].end(), std::back_inserter(m_columns[f]));
    }
    m_ids.reserve(m_ids.size() + rows);
    for (size_t r = 0; r < rows; ++r)
        m_ids.push_back(m_nextId++);
    m_inSortOrder = m_inSortOrder && m_sort.isEmpty();
}

// ---- sort

namespace {

// How many values ahead a walk over a column fetches the texts it will read: each text sits in
// a block of its own, and reading them one by one otherwise waits on memory for each.
constexpr size_t FetchAhead = 16;

void fetchText(const QVariant &v)
{
    if (ValueTypeId(v) == QMetaType::QString)
        __builtin_prefetch(TextIn(v).constData());
}

// ASCII texts folded into one block of bytes, which compares far faster than texts spread over
// the heap, each with its first 24 bytes as three numbers: a sort compares the numbers, and bytes
// only where those are alike (keys such as a user's day fit in them).
class FoldedTexts
{
public:
    // Room for `texts` texts of about `length` characters, made once: growing as they come
    // copied the block over and over.
    void reserve(size_t texts, size_t length)
    {
        m_entries.reserve(texts);
        m_bytes.reserve(texts * length);
    }

    // False for a text that is not ASCII (which is then left out).
    bool append(const QString &text)
    {
        if (text.size() > std::numeric_limits<quint32>::max())
            return false;
        Entry e { { 0, 0, 0 }, m_bytes.size(), quint32(text.size()) };
        m_bytes.resize(e.at + size_t(text.size()));
        char *out = m_bytes.data() + e.at;
        if (!FoldAsciiInto(
                reinterpret_cast<const char16_t *>(text.constData()), text.size(), out)) {
            m_bytes.resize(e.at);
            return false;
        }
        // The first bytes read as numbers, most significant first, so that the numbers order
        // as the bytes do; a shorter text is padded with zeros.
        char head[Words * 8] = {};
        std::memcpy(head, out, std::min(sizeof head, size_t(text.size())));
        for (int w = 0; w < Words; ++w)
            e.words[w] = qFromBigEndian<quint64>(head + 8 * w);
        m_entries.push_back(e);
        return true;
    }

    // Each text's rank among them, in the order they were appended; texts alike share one.
    // The texts are then in order, alike ones in the order they came (see indexAt).
    std::vector<int> ranks()
    {
        const auto compare = [&](const Entry &a, const Entry &b) {
            for (int w = 0; w < Words; ++w)
                if (a.words[w] != b.words[w])
                    return a.words[w] < b.words[w] ? -1 : 1;
            // The first bytes are alike when both texts have them all (a shorter one is padded
            // with zeros, which a text may hold too).
            const size_t skip = a.size >= Words * 8 && b.size >= Words * 8 ? Words * 8 : 0;
            return std::string_view(m_bytes.data() + a.at + skip, a.size - skip)
                .compare(std::string_view(m_bytes.data() + b.at + skip, b.size - skip));
        };
        const size_t n = m_entries.size();
        // Ordered by the first eight bytes, then each run alike in those by the rest: keys such
        // as a user's days share their first bytes by user, and sorting small pairs and then
        // short runs that sit together moves far less than sorting whole entries. Texts that
        // come one after another with the same first bytes (one user's rows) go in as one
        // stretch, which keeps their order.
        struct Stretch
        {
            quint64 head;
            int from;
            int to;
        };
        std::vector<Stretch> stretches;
        for (size_t i = 0; i < n; ++i) {
            const quint64 head = m_entries[i].words[0];
            if (!stretches.empty() && stretches.back().head == head)
                stretches.back().to = int(i) + 1;
            else
                stretches.push_back({ head, int(i), int(i) + 1 });
        }
        std::sort(stretches.begin(), stretches.end(), [](const Stretch &a, const Stretch &b) {
            return a.head != b.head ? a.head < b.head : a.from < b.from;
        });
        m_order.clear();
        m_order.reserve(n);
        for (const Stretch &s : stretches)
            for (int i = s.from; i < s.to; ++i)
                m_order.push_back(i);
        const auto before = [&](int a, int b) {
            const int c = compare(m_entries[size_t(a)], m_entries[size_t(b)]);
            return c != 0 ? c < 0 : a < b;
        };
        for (size_t from = 0; from < n;) {
            const quint64 head = m_entries[size_t(m_order[from])].words[0];
            size_t to = from + 1;
            while (to < n && m_entries[size_t(m_order[to])].words[0] == head)
                ++to;
            const auto first = m_order.begin() + std::ptrdiff_t(from);
            const auto last = m_order.begin() + std::ptrdiff_t(to);
            if (to - from > 1 && !std::is_sorted(first, last, before))
                std::sort(first, last, before);
            from = to;
        }
        std::vector<int> rankOf(n);
        int rank = 0;
        for (size_t i = 0; i < n; ++i) {
            if (i > 0
                && compare(m_entries[size_t(m_order[i])], m_entries[size_t(m_order[i - 1])]) != 0)
                ++rank;
            rankOf[size_t(m_order[i])] = rank;
        }
        return rankOf;
    }

    // After ranks(): which text, by the order they were appended, comes `i`th.
    int indexAt(size_t i) const { return m_order[i]; }

private:
    static constexpr int Words = 3;
    struct Entry
    {
        quint64 words[Words];
        size_t at;
        quint32 size;
    };
    std::string m_bytes;
    std::vector<Entry> m_entries;
    // After ranks(): the texts' places in order.
    std::vector<int> m_order;
};

// The instants of dates and times, to the millisecond, as CompareValues orders them. A local
// time's instant is worked out from its date and time and its day's offset from UTC, looked up
// once a day: asking the zone for every value cost more than the sort it would save. A day on
// which the offset changes is not read so (false): its hours are ambiguous.
class Instants
{
public:
    bool of(const QVariant &v, qint64 &instant)
    {
        QDate date;
        QTime time(0, 0);
        switch (v.typeId()) {
        case QMetaType::QDate:
            date = *static_cast<const QDate *>(v.constData());
            break;
        case QMetaType::QTime:
            date = VbZeroDay();
            time = *static_cast<const QTime *>(v.constData());
            break;
        case QMetaType::QDateTime: {
            const QDateTime &at = *static_cast<const QDateTime *>(v.constData());
            if (!at.isValid())
                return false;
            if (at.timeSpec() != Qt::LocalTime) {
                instant = at.toMSecsSinceEpoch();
                return true;
            }
            date = at.date();
            time = at.time();
            break;
        }
        default:
            return false;
        }
        if (!date.isValid() || !time.isValid())
            return false;
        const qint64 day = date.toJulianDay();
        if (day != m_day) {
            auto known = m_offsets.constFind(day);
            if (known == m_offsets.cend()) {
                const QDateTime start = date.startOfDay(), next = date.addDays(1).startOfDay();
                const bool steady = start.isValid() && next.isValid() && start.time() == QTime(0, 0)
                    && start.offsetFromUtc() == next.offsetFromUtc();
                known = m_offsets.insert(day, steady ? start.offsetFromUtc() : NoOffset);
            }
            m_day = day;
            m_offset = *known;
        }
        if (m_offset == NoOffset)
            return false;
        constexpr qint64 UnixDay = 2440588, DayMs = 86'400'000;
        instant = (day - UnixDay) * DayMs + time.msecsSinceStartOfDay() - qint64(m_offset) * 1000;
        return true;
    }

private:
    static constexpr int NoOffset = std::numeric_limits<int>::min();
    QHash<qint64, int> m_offsets;
    qint64 m_day = std::numeric_limits<qint64>::min();
    int m_offset = NoOffset;
};

// One sort key's values reduced once to what comparing them needs, so that the sort itself
// compares small numbers: texts by their rank among the column's distinct folded texts, numbers
// as CompareValues would, a column of dates and times by their instants, anything else through
// CompareValues.
class SortColumn
{
public:
    template<typename ValueAt>
    SortColumn(int rows, bool text, ValueAt valueAt)
    {
        if (text) {
            rankTexts(rows, valueAt);
            return;
        }
        m_kind = Numbers;
        m_flags.resize(size_t(rows));
        m_whole.resize(size_t(rows));
        m_real.resize(size_t(rows));
        // A date against a number compares by their texts: one kind or the other, not both.
        bool dates = false, numbers = false;
        Instants instants;
        for (int i = 0; i < rows; ++i) {
            const QVariant &v = valueAt(i);
            if (IsNullValue(v))
                continue;
            // The types a query gives are read in place; others are converted.
            const int type = ValueTypeId(v);
            if (isDate(v)) {
                dates = true;
                if (numbers || !instants.of(v, m_whole[size_t(i)])) {
                    m_kind = Values;
                    break;
                }
                m_flags[size_t(i)] = Whole;
                m_real[size_t(i)] = double(m_whole[size_t(i)]);
                continue;
            }
            numbers = true;
            if (dates) {
                m_kind = Values;
                break;
            }
            if (type == QMetaType::Int || type == QMetaType::LongLong) {
                const qint64 whole = type == QMetaType::Int
                    ? *static_cast<const int *>(v.constData())
                    : *static_cast<const qlonglong *>(v.constData());
                m_flags[size_t(i)] = Whole;
                m_whole[size_t(i)] = whole;
                m_real[size_t(i)] = double(whole);
                continue;
            }
            if (!isNumber(v)) {
                m_kind = Values;
                break;
            }
            m_flags[size_t(i)] = isInteger(v) ? Whole : Real;
            m_whole[size_t(i)] = v.toLongLong();
            m_real[size_t(i)] = v.toDouble();
        }
        if (m_kind == Values) {
            m_flags = {};
            m_whole = {};
            m_real = {};
        }
    }

    // The rows in this key's ascending order (Nulls first, alike values in row order) when
    // ranking found it on the way, else nothing.
    std::vector<int> takeSorted() { return std::move(m_sorted); }

    // How many small whole numbers from 0 up read this key's values in their order (Null 0),
    // or 0 when they do not: texts by rank, whole numbers within a range.
    quint64 span(int rows) const
    {
        if (m_kind == Ranks) {
            const int most = m_rank.empty() ? -1 : *std::max_element(m_rank.begin(), m_rank.end());
            return quint64(most) + 2;
        }
        if (m_kind != Numbers)
            return 0;
        qint64 low = std::numeric_limits<qint64>::max(), high = std::numeric_limits<qint64>::min();
        for (int i = 0; i < rows; ++i) {
            if (m_flags[size_t(i)] == Null)
                continue;
            if (m_flags[size_t(i)] != Whole)
                return 0;
            low = std::min(low, m_whole[size_t(i)]);
            high = std::max(high, m_whole[size_t(i)]);
        }
        if (low > high)
            return 1;
        // Far apart numbers would not pack with the other keys anyway.
        if (low < -(qint64(1) << 60) || high > (qint64(1) << 60))
            return 0;
        m_low = low;
        return quint64(high - low) + 2;
    }
    // A value's number in that range; after span().
    quint64 dense(int row) const
    {
        if (m_kind == Ranks)
            return quint64(m_rank[size_t(row)] + 1);
        return m_flags[size_t(row)] == Null ? 0 : quint64(m_whole[size_t(row)] - m_low) + 1;
    }

    template<typename ValueAt>
    int compare(int a, int b, ValueAt valueAt) const
    {
        switch (m_kind) {
        case Ranks:
            return cmp3(m_rank[size_t(a)], m_rank[size_t(b)]);
        case Numbers: {
            const quint8 fa = m_flags[size_t(a)], fb = m_flags[size_t(b)];
            if (fa == Null || fb == Null)
                return fa == fb ? 0 : (fa == Null ? -1 : 1);
            if (fa == Whole && fb == Whole)
                return cmp3(m_whole[size_t(a)], m_whole[size_t(b)]);
            return cmp3(m_real[size_t(a)], m_real[size_t(b)]);
        }
        case Values:
            break;
        }
        return CompareValues(valueAt(a), valueAt(b));
    }

private:
    enum Kind { Ranks, Numbers, Values };
    enum Flag : quint8 { Null = 0, Whole = 1, Real = 2 };

    // The text of a value, read in place when it is one (most are).
    static const QString &textOf(const QVariant &v, QString &converted)
    {
        if (ValueTypeId(v) == QMetaType::QString)
            return TextIn(v);
        converted = v.toString();
        return converted;
    }

    // Texts compare without regard to case, Nulls first (rank -1). Rows repeat a few distinct
    // texts, often one after another: each is looked up once per run of rows and folded once.
    template<typename ValueAt>
    void rankTexts(int rows, ValueAt valueAt)
    {
        m_kind = Ranks;
        m_rank.assign(size_t(rows), -1);
        QString converted;
        // A column of mostly distinct texts (a user's days) is ranked row by row: looking each
        // text up would cost more than it saves.
        TextNumbers sample;
        int sampled = 0;
        qsizetype sampleLength = 0;
        for (int i = 0; i < rows && sampled < 4096; ++i) {
            const QVariant &v = valueAt(i);
            if (IsNullValue(v))
                continue;
            bool added = false;
            const QString &text = textOf(v, converted);
            sample.number(text, ValueTypeId(v) == QMetaType::QString, added);
            sampleLength += text.size();
            ++sampled;
        }
        if (sample.count() * 2 > sampled) {
            FoldedTexts folded;
            folded.reserve(size_t(rows), size_t(sampleLength / std::max(sampled, 1)) + 2);
            std::vector<int> rowOf;
            rowOf.reserve(size_t(rows));
            bool ascii = true;
            for (int i = 0; i < rows && ascii; ++i) {
                if (size_t(i) + FetchAhead < size_t(rows))
                    fetchText(valueAt(i + int(FetchAhead)));
                const QVariant &v = valueAt(i);
                if (IsNullValue(v))
                    continue;
                ascii = folded.append(textOf(v, converted));
                rowOf.push_back(i);
            }
            if (ascii) {
                const std::vector<int> ranks = folded.ranks();
                for (size_t k = 0; k < rowOf.size(); ++k)
                    m_rank[size_t(rowOf[k])] = ranks[k];
                // The texts are sorted already: a sort by this key alone takes their order
                // rather than sorting the rows again.
                m_sorted.reserve(size_t(rows));
                for (int i = 0; i < rows; ++i)
                    if (m_rank[size_t(i)] < 0)
                        m_sorted.push_back(i);
                for (size_t k = 0; k < rowOf.size(); ++k)
                    m_sorted.push_back(rowOf[size_t(folded.indexAt(k))]);
                return;
            }
        }
        TextNumbers numbers;
        // As many texts as the sample promises for the whole column, within reason.
        if (sampled > 0)
            numbers.reserve(
                std::min<qsizetype>(qsizetype(sample.count()) * rows / sampled, 1 << 16));
        QList<QString> texts;
        for (int i = 0; i < rows; ++i) {
            const QVariant &v = valueAt(i);
            if (IsNullValue(v))
                continue;
            const bool isText = ValueTypeId(v) == QMetaType::QString;
            const QString &text = textOf(v, converted);
            bool added = false;
            m_rank[size_t(i)] = numbers.number(text, isText, added);
            if (added)
                texts.append(text);
        }
        FoldedTexts folded;
        bool ascii = true;
        for (const QString &t : std::as_const(texts))
            if (!(ascii = folded.append(t)))
                break;
        std::vector<int> rankOfSlot;
        if (ascii) {
            rankOfSlot = folded.ranks();
        } else {
            for (QString &t : texts)
                t = t.toCaseFolded();
            std::vector<int> order(size_t(texts.size()));
            for (size_t i = 0; i < order.size(); ++i)
                order[i] = int(i);
            std::sort(order.begin(), order.end(),
                [&](int a, int b) { return texts.at(a).compare(texts.at(b)) < 0; });
            // Texts that fold alike share a rank.
            rankOfSlot.resize(order.size());
            int rank = 0;
            for (size_t i = 0; i < order.size(); ++i) {
                if (i > 0 && texts.at(order[i]).compare(texts.at(order[i - 1])) != 0)
                    ++rank;
                rankOfSlot[size_t(order[i])] = rank;
            }
        }
        for (int &r : m_rank)
            if (r >= 0)
                r = rankOfSlot[size_t(r)];
    }

    Kind m_kind = Values;
    std::vector<int> m_rank;
    std::vector<int> m_sorted;
    mutable qint64 m_low = 0;
    std::vector<quint8> m_flags;
    std::vector<qint64> m_whole;
    std::vector<double> m_real;
};

} // namespace

namespace {

// Sorts `order` (stored positions, present order) when every key reads as a small whole number
// and together they fit in one: pairs of that number and a row's present place sort plainly,
// stable by the place, far faster than comparing key by key. False when they do not fit.
template<typename Keys>
bool sortPacked(const std::vector<SortColumn> &columns, const Keys &keys, std::vector<int> &order)
{
    // `order` holds every stored row once.
    const int rows = int(order.size());
    std::vector<quint64> spans;
    unsigned __int128 total = 1;
    for (const SortColumn &c : columns) {
        const quint64 span = c.span(rows);
        total *= span;
        if (span == 0 || total > std::numeric_limits<quint64>::max())
            return false;
        spans.push_back(span);
    }
    std::vector<std::pair<quint64, int>> packed(static_cast<size_t>(rows));
    bool inOrder = true;
    for (int i = 0; i < rows; ++i) {
        quint64 value = 0;
        for (size_t k = 0; k < columns.size(); ++k) {
            const quint64 d = columns[k].dense(order[size_t(i)]);
            value = value * spans[k] + (keys[qsizetype(k)].descending ? spans[k] - 1 - d : d);
        }
        packed[size_t(i)] = { value, i };
        inOrder = inOrder && (i == 0 || packed[size_t(i) - 1].first <= value);
    }
    if (inOrder)
        return true;
    std::vector<int> sorted(static_cast<size_t>(rows));
    if (total <= quint64(rows) * 2) {
        // Few values for the rows (a few thousand users over their days): each row is counted
        // into its place, in its present order, without comparing.
        std::vector<int> starts(size_t(total) + 1, 0);
        for (const auto &p : packed)
            ++starts[size_t(p.first) + 1];
        std::partial_sum(starts.begin(), starts.end(), starts.begin());
        for (int i = 0; i < rows; ++i)
            sorted[size_t(starts[size_t(packed[size_t(i)].first)]++)] = order[size_t(i)];
        order = std::move(sorted);
        return true;
    }
    // Sorted by the numbers a digit at a time, the lowest first: each pass keeps the order of
    // the pairs alike in its digit, so alike numbers keep their rows' order, as comparing whole
    // pairs would. A few passes over the rows cost far less than comparing them.
    constexpr int Digit = 11;
    constexpr size_t Buckets = size_t(1) << Digit;
    const int bits = std::bit_width(quint64(total - 1));
    std::vector<std::pair<quint64, int>> moved(packed.size());
    std::vector<int> starts(Buckets);
    for (int shift = 0; shift < bits; shift += Digit) {
        std::fill(starts.begin(), starts.end(), 0);
        for (const auto &p : packed)
            ++starts[size_t(p.first >> shift) & (Buckets - 1)];
        // A digit all the numbers share moves nothing.
        if (std::find(starts.begin(), starts.end(), rows) != starts.end())
            continue;
        int at = 0;
        for (int &start : starts)
            at += std::exchange(start, at);
        for (const auto &p : packed)
            moved[size_t(starts[size_t(p.first >> shift) & (Buckets - 1)]++)] = p;
        packed.swap(moved);
    }
    for (int i = 0; i < rows; ++i)
        sorted[size_t(i)] = order[size_t(packed[size_t(i)].second)];
    order = std::move(sorted);
    return true;
}

} // namespace

void Recordset::SetSort(const QString &sort)
{
    this->sort(sort, nullptr);
}

void Recordset::SetSort(const QString &sort, std::vector<bool> &startsRun)
{
    this->sort(sort, &startsRun);
}

void Recordset::sort(const QString &sort, std::vector<bool> *startsRun)
{
    requireOpen();
    struct Key
    {
        int field;
        bool descending;
    };
    QList<Key> keys;
    for (const QString &rawPart : sort.split(u',', Qt::SkipEmptyParts)) {
        QString part = rawPart.trimmed();
        if (part.isEmpty())
            continue;
        bool descending = false;
        static const QRegularExpression dirRe(
            QStringLiteral("\\s+(ASC|DESC)$"), QRegularExpression::CaseInsensitiveOption);
        const auto m = dirRe.match(part);
        if (m.hasMatch()) {
            descending = m.captured(1).compare(QLatin1String("DESC"), Qt::CaseInsensitive) == 0;
            part = part.left(m.capturedStart()).trimmed();
        }
        keys.append(Key { checkedField(part), descending });
    }
    m_adding = false;
    m_pos = 0;
    const int n = RecordCount();
    // A stable sort of rows already in its order leaves them as they are.
    const bool inOrder = m_inSortOrder && sort == m_sort;
    if (inOrder && !startsRun)
        return;
    m_sort = sort;
    m_inSortOrder = true;
    // Where the rows are stored, in their present order.
    std::vector<int> order(static_cast<size_t>(n));
    for (int i = 0; i < n; ++i)
        order[size_t(i)] = int(at(i));
    if (keys.isEmpty()) {
        if (startsRun)
            startsRun->assign(size_t(n), false);
        if (startsRun && n > 0)
            startsRun->front() = true;
        if (inOrder)
            return;
        std::stable_sort(order.begin(), order.end(),
            [&](int a, int b) { return m_ids[size_t(a)] < m_ids[size_t(b)]; });
        setPending(std::move(order));
        return;
    }
    std::vector<SortColumn> columns;
    columns.reserve(size_t(keys.size()));
    for (const Key &k : std::as_const(keys))
        columns.emplace_back(n, IsTextType(m_fields.at(k.field).type),
            [&](int row) -> const QVariant & { return m_columns[size_t(k.field)][size_t(row)]; });
    const auto before = [&](int a, int b) {
        for (qsizetype k = 0; k < keys.size(); ++k) {
            const int field = keys[k].field;
            const int c = columns[size_t(k)].compare(a, b,
                [&](int row) -> const QVariant & { return m_columns[size_t(field)][size_t(row)]; });
            if (c != 0)
                return keys[k].descending ? c > 0 : c < 0;
        }
        return false;
    };
    // Its alike texts come in the order they are stored, which must be their present order.
    std::vector<int> sorted;
    if (keys.size() == 1 && !keys.front().descending && m_pending.empty())
        sorted = columns.front().takeSorted();
    if (!sorted.empty()) {
        order = std::move(sorted);
    } else if (!inOrder && !sortPacked(columns, keys, order)
        && !std::is_sorted(order.begin(), order.end(), before)) {
        // Rows often come already in order (a sort by a column whose order follows this
        // one's): a stable sort would leave them where they are.
        std::stable_sort(order.begin(), order.end(), before);
    }
    // The rows' own order is compared before they move: the keys know them by where they were.
    if (startsRun) {
        startsRun->resize(size_t(n));
        for (size_t i = 0; i < order.size(); ++i)
            (*startsRun)[i] = i == 0 || before(order[i - 1], order[i]);
    }
    setPending(std::move(order));
}

void Recordset::setPending(std::vector<int> order)
{
    if (std::is_sorted(order.begin(), order.end()))
        order = {};
    m_pending = std::move(order);
}

void Recordset::reorder(const std::vector<int> &order)
{
    // A column at a time, gathered in the new order into one scratch block and copied back: the
    // rows a sort moves mostly stay near their neighbours (a user's rows, say), so reading them in
    // the new order stays within a few pages. A value is relocated by its bytes, as Qt's own
    // containers move it, each exactly once: nothing is made or destroyed.
    const size_t n = order.size();
    if (n == 0)
        return;
    std::unique_ptr<char[]> scratch(new char[n * sizeof(QVariant)]);
    for (ValueColumn &column : m_columns)
        gatherValues(column.data(), order, scratch.get());
    std::vector<int> ids(n);
    for (size_t i = 0; i < n; ++i)
        ids[i] = m_ids[size_t(order[i])];
    m_ids = std::move(ids);
}

// ---- find

namespace {

QVariant parseCriteriaValue(const QString &text)
{
    const QString t = text.trimmed();
    if (t.compare(QLatin1String("Null"), Qt::CaseInsensitive) == 0)
        return {};
    if (t.size() >= 2
        && ((t.startsWith(u'\'') && t.endsWith(u'\''))
            || (t.startsWith(u'"') && t.endsWith(u'"')))) {
        const QChar q = t.at(0);
        QString inner = t.mid(1, t.size() - 2);
        return inner.replace(QString(2, q), QString(q));
    }
    if (t.size() >= 2 && t.startsWith(u'#') && t.endsWith(u'#')) {
        const QString inner = t.mid(1, t.size() - 2).trimmed();
        for (const char *fmt : { "yyyy-MM-dd HH:mm:ss", "yyyy-MM-dd", "M/d/yyyy H:mm:ss",
                 "M/d/yyyy h:mm:ss AP", "M/d/yyyy" }) {
            const QDateTime dt = QDateTime::fromString(inner, QLatin1String(fmt));
            if (dt.isValid())
                return dt;
        }
        throw RecordsetError(adErrInvalidArgument,
            QStringLiteral("The date \"%1\" in the criteria is not valid.")
                .arg(inner)
                .toStdString());
    }
    bool ok = false;
    const qlonglong i = t.toLongLong(&ok);
    if (ok)
        return i;
    const double d = t.toDouble(&ok);
    if (ok)
        return d;
    throw RecordsetError(adErrInvalidArgument,
        QStringLiteral("The value \"%1\" in the criteria is not valid.").arg(t).toStdString());
}

// LIKE with * or % for any run; matching ignores case.
QRegularExpression likePattern(const QString &pattern)
{
    QString re;
    for (const QChar c : pattern) {
        if (c == u'*' || c == u'%')
            re += QLatin1String(".*");
        else if (c == u'_' || c == u'?')
            re += u'.';
        else
            re += QRegularExpression::escape(QString(c));
    }
    return QRegularExpression(QRegularExpression::anchoredPattern(re),
        QRegularExpression::CaseInsensitiveOption | QRegularExpression::DotMatchesEverythingOption);
}

} // namespace

bool Recordset::Find(const QString &criteria, int skipRecords, SearchDirection direction)
{
    requireOpen();
    static const QRegularExpression re(
        QStringLiteral("^\\s*(\\[[^\\]]+\\]|[^\\s=<>]+)\\s*(<>|<=|>=|=|<|>|\\bLIKE\\b)\\s*(.*)$"),
        QRegularExpression::CaseInsensitiveOption | QRegularExpression::DotMatchesEverythingOption);
    const auto m = re.match(criteria);
    if (!m.hasMatch())
        throw RecordsetError(adErrInvalidArgument,
            QStringLiteral("The criteria \"%1\" are not valid.").arg(criteria).toStdString());
    const int field = checkedField(m.captured(1));
    const QString op = m.captured(2).toUpper();
    const QVariant wanted = parseCriteriaValue(m.captured(3));
    const bool wantNull = !wanted.isValid();
    if (wantNull && op != QLatin1String("=") && op != QLatin1String("<>"))
        throw RecordsetError(adErrInvalidArgument, "Null can only be compared with = or <>.");
    QRegularExpression like;
    if (op == QLatin1String("LIKE"))
        like = likePattern(wanted.toString());

    auto matches = [&](const QVariant &v) {
        const bool isNull = !v.isValid() || v.isNull();
        if (wantNull)
            return op == QLatin1String("=") ? isNull : !isNull;
        if (isNull)
            return false;
        if (op == QLatin1String("LIKE"))
            return like.match(v.toString()).hasMatch();
        const int c = CompareValues(v, wanted);
        if (op == QLatin1String("="))
            return c == 0;
        if (op == QLatin1String("<>"))
            return c != 0;
        if (op == QLatin1String("<"))
            return c < 0;
        if (op == QLatin1String(">"))
            return c > 0;
        if (op == QLatin1String("<="))
            return c <= 0;
        return c >= 0;
    };

    m_adding = false;
    const int n = RecordCount();
    const ValueColumn &column = m_columns[size_t(field)];
    const int step = direction == SearchDirection::Forward ? 1 : -1;
    int i = std::clamp(m_pos, 0, std::max(n - 1, 0)) + step * skipRecords;
    for (; i >= 0 && i < n; i += step)
        if (matches(column[at(i)])) {
            m_pos = i;
            return true;
        }
    m_pos = step > 0 ? n : -1;
    return false;
}

} // namespace kv6
