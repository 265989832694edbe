#pragma once

// The in-memory record set every subsystem passes around: named, typed fields and ordered rows of
// values, with a cursor. Field types are ADO type codes, so code written against ADO's rules (null
// handling by type, sort and find syntax) reads the same here.
//
// Values are QVariants: a Null is an invalid QVariant. Texts are QString, dates QDateTime,
// integers int or qlonglong, reals double, Booleans bool, binary QByteArray.
//
// Errors: as ADO raises its errors, a record set throws RecordsetError (an ADO error number and
// a text) for a name it lacks, a cursor off the rows, a closed set, or a sort or find text that
// does not read. That exception is part of this library's contract and nothing else leaves it.
// A library that drives a record set with names or texts it did not make itself (report
// definitions, saved reports, scripts, the command line) catches RecordsetError at its own
// public surface and hands it back as a value.

#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <memory>
#include <stdexcept>
#include <string>
#include <type_traits>
#include <vector>

namespace kv6 {

enum AdoType : int {
    adEmpty = 0,
    adSmallInt = 2,
    adInteger = 3,
    adSingle = 4,
    adDouble = 5,
    adCurrency = 6,
    adDate = 7,
    adBSTR = 8,
    adBoolean = 11,
    adVariant = 12,
    adDecimal = 14,
    adTinyInt = 16,
    adUnsignedTinyInt = 17,
    adBigInt = 20,
    adFileTime = 64,
    adBinary = 128,
    adChar = 129,
    adWChar = 130,
    adNumeric = 131,
    adDBDate = 133,
    adDBTime = 134,
    adDBTimeStamp = 135,
    adDBFileTime = 137,
    adPropVariant = 138,
    adVarChar = 200,
    adLongVarChar = 201,
    adVarWChar = 202,
    adLongVarWChar = 203,
    adLongVarBinary = 205,
};

// ADO field attributes used here.
inline constexpr int adFldFixed = 0x10;
inline constexpr int adFldIsNullable = 0x20;
inline constexpr int adFldMayBeNull = 0x40;

// AbsolutePosition outside the rows.
inline constexpr int adPosUnknown = -1;
inline constexpr int adPosBOF = -2;
inline constexpr int adPosEOF = -3;

bool IsTextType(int adoType);
bool IsDateType(int adoType);
bool IsNumericType(int adoType);

// A value's type and nullness read inline: steps over whole tables ask them for every cell, and
// QVariant answers them through calls into Qt.
inline int ValueTypeId(const QVariant &v)
{
    return v.data_ptr().typeId();
}
inline bool IsNullValue(const QVariant &v)
{
    const QVariant::Private &d = v.data_ptr();
    if (d.is_null || !d.typeInterface())
        return true;
    // A pointer is null by its value; no record set holds one, so this is rare.
    return (d.type().flags() & QMetaType::IsPointer) && v.isNull();
}
// Whether destroying a value does anything: most cells are numbers held in place.
inline bool OwnsAnything(const QVariant &v)
{
    const QVariant::Private &d = v.data_ptr();
    if (d.is_shared)
        return true;
    const QtPrivate::QMetaTypeInterface *type = d.typeInterface();
    return type && type->dtor;
}

// Set while a column lets go of cells that were already destroyed or moved out by their bytes:
// they are not read again, let alone destroyed.
inline thread_local bool t_cellsLetGo = false;

// A column's cells. A value that owns nothing is passed over when the column shrinks or goes,
// without a call into Qt for each: a large filter drops millions of them.
template<typename T>
struct CellAllocator : std::allocator<T>
{
    template<typename U>
    struct rebind
    {
        using other = CellAllocator<U>;
    };
    CellAllocator() = default;
    template<typename U>
    CellAllocator(const CellAllocator<U> &) noexcept
    { }
    template<typename U>
    void destroy(U *p)
    {
        if constexpr (std::is_same_v<U, QVariant>) {
            if (t_cellsLetGo || !OwnsAnything(*p))
                return;
        }
        p->~U();
    }
};
using ValueColumn = std::vector<QVariant, CellAllocator<QVariant>>;

// The text a text value holds, read in place; only for values whose type is QString.
inline const QString &TextIn(const QVariant &v)
{
    return *static_cast<const QString *>(v.constData());
}

// Numbers a column's distinct texts as they come: 0, 1, 2... Rows repeat a few texts, often one
// copy shared by many rows (the query reader shares them) or one text over a run of rows; those
// are found again without hashing the text. Texts compare exactly.
class TextNumbers
{
public:
    // The number of `text`; `added` tells whether it was new (its number is then the count of
    // texts before it). `held`: the text was in its table before this object's first use and is
    // still there, so its copy may be recognised by its address (never so for a temporary, nor a
    // text made during the use: it could sit where a dropped row's text was).
    int number(const QString &text, bool held, bool &added);
    int count() const { return int(m_numbers.size()); }
    // Room for about `texts` distinct texts, so that the table is not rebuilt as it grows.
    void reserve(qsizetype texts) { m_numbers.reserve(texts); }

private:
    struct Seen
    {
        const QChar *data = nullptr;
        qsizetype size = -1;
        int number = -1;
    };
    QHash<QString, int> m_numbers;
    std::vector<Seen> m_seen;
    size_t m_seenCount = 0;
    QString m_last;
    const QChar *m_lastData = nullptr;
    qsizetype m_lastSize = -1;
    bool m_lastHeld = false;
    int m_lastNumber = -1;
};

// The small field interface helpers read (name, type, value), so they work on any field source.
class infField
{
public:
    virtual ~infField() = default;
    virtual QString Name() const = 0;
    virtual int Type() const = 0;
    virtual QVariant Value() const = 0;
};

struct FieldInfo
{
    QString name;
    int type = adVarWChar;
    int definedSize = 0;
    int attributes = adFldIsNullable | adFldMayBeNull;
};

class Recordset;
using RecordsetPtr = std::shared_ptr<Recordset>;

// A field of the current row. Cheap to copy; valid while its record set has the field.
class Field : public infField
{
public:
    Field(Recordset *rs, int index)
        : m_rs(rs)
        , m_index(index)
    { }
    QString Name() const override;
    int Type() const override;
    QVariant Value() const override;
    int DefinedSize() const;
    int Attributes() const;
    int Index() const { return m_index; }
    // Assigns into the current row (the row being added, or the current one in place).
    void SetValue(const QVariant &value);

private:
    Recordset *m_rs;
    int m_index;
};

enum class SearchDirection { Forward = 1, Backward = -1 };

class Recordset
{
public:
    Recordset() = default;
    Recordset(const Recordset &) = delete;
    Recordset &operator=(const Recordset &) = delete;

    static RecordsetPtr Create() { return std::make_shared<Recordset>(); }

    // Structure: fields may be appended while the set is closed.
    void AppendField(const QString &name, int type, int definedSize = 0,
        int attributes = adFldIsNullable | adFldMayBeNull);
    int FieldCount() const { return int(m_fields.size()); }
    const FieldInfo &FieldAt(int index) const { return m_fields.at(index); }
    const QList<FieldInfo> &Fields() const { return m_fields; }
    // Case-insensitive; "[Name]" is accepted; -1 when absent.
    int FieldIndex(const QString &name) const;
    bool HasField(const QString &name) const { return FieldIndex(name) >= 0; }
    // A field of the current row; throws RecordsetError for an unknown name or index.
    Field GetField(const QString &name);
    Field GetField(int index);

    // Same fields, opened empty: the structural copy every processing step starts from.
    RecordsetPtr CloneStructure() const;
    // Same fields and rows (in current order), cursor at the first row.
    RecordsetPtr Copy() const;

    void Open();
    void Close();
    bool IsOpen() const { return m_open; }

    // Cursor. On an empty set both EOF and BOF are true.
    int RecordCount() const { return int(m_ids.size()); }
    bool Eof() const { return m_pos >= int(m_ids.size()); }
    bool Bof() const { return m_pos < 0 || m_ids.empty(); }
    void MoveFirst();
    void MoveLast();
    void MoveNext();
    void MovePrevious();
    void Move(int offset);
    // 1-based, or adPosBOF/adPosEOF; setting moves there (out of range throws).
    int AbsolutePosition() const;
    void SetAbsolutePosition(int position);
    // Identifies the current row for as long as the set lives, across sorts. Null off the rows.
    QVariant Bookmark() const;
    void SetBookmark(const QVariant &bookmark);

    // Values of the current row (throw RecordsetError off the rows or for unknown fields).
    QVariant Value(int field) const;
    QVariant Value(const QString &field) const;
    void SetValue(int field, const QVariant &value);
    void SetValue(const QString &field, const QVariant &value);
    // Row access without moving the cursor, for bulk readers (rendering, charts).
    QVariant ValueAt(int row, int field) const { return CellAt(row, field); }
    // The same value read in place: valid until the set's rows change.
    const QVariant &CellAt(int row, int field) const
    {
        return m_columns[cell(row, field)][at(row)];
    }

    // Writes a value without moving the cursor, for steps that rewrite a column in place.
    void SetValueAt(int row, int field, const QVariant &value)
    {
        m_columns[cell(row, field)][at(row)] = value;
        m_inSortOrder = m_inSortOrder && m_sort.isEmpty();
    }

    // Appends a row (Null where not given) and makes it current; Update ends the edit.
    void AddNew();
    void AddNew(const QVariantList &values);
    void Update();
    void CancelUpdate();
    bool EditMode() const { return m_adding; }
    // Removes the current row; the cursor stays at the same place (the next row).
    void Delete();
    // Bulk load: appends without moving the cursor. Values must match the field count.
    void AppendRow(QVariantList values);
    // Bulk load column by column: one list of values per field, all of one length, taken over
    // whole when the set is empty (a query's reader fills them without a list per row).
    void AppendColumns(std::vector<ValueColumn> columns);
    void Reserve(int rows);
    // One row's values in place, as RewriteRows hands them out.
    class RowRef
    {
    public:
        const QVariant &at(int field) const { return (*m_columns)[size_t(field)][m_row]; }
        QVariant &operator[](int field) { return (*m_columns)[size_t(field)][m_row]; }
        int size() const { return int(m_columns->size()); }

    private:
        friend class Recordset;
        RowRef(std::vector<ValueColumn> *columns, size_t row)
            : m_columns(columns)
            , m_row(row)
        { }
        std::vector<ValueColumn> *m_columns;
        size_t m_row;
    };

    // Rewrites the rows in place, in their present order, keeping those for which
    // `keep(RowRef row)` returns true; `keep` may change a row's values, and may hold on to a
    // kept row (its RowRef) while it sees the rows after it. The kept rows become the set's
    // insertion order, unsorted, as if appended to a new set: for steps that own the set and
    // would otherwise copy every row into a new one. The cursor moves to the first row.
    template<typename Keep>
    void RewriteRows(Keep keep)
    {
        requireOpen();
        // Rows stay where they are while `keep` sees them; the kept ones close up afterwards,
        // a column at a time.
        std::vector<int> kept;
        int at = 0;
        const int rows = RecordCount();
        try {
            for (; at < rows; ++at)
                if (keep(RowRef(&m_columns, this->at(at))))
                    kept.push_back(int(this->at(at)));
        } catch (...) {
            // The row being looked at and those after it stay; those before it that were not
            // kept are dropped.
            for (int r = at; r < rows; ++r)
                kept.push_back(int(this->at(r)));
            keepRows(kept);
            throw;
        }
        keepRows(kept);
    }

    // "A ASC, [B c] DESC": stable, texts compared without regard to case, Nulls first. An empty
    // text restores insertion order. The cursor moves to the first row.
    QString Sort() const { return m_sort; }
    void SetSort(const QString &sort);
    // The same, also telling for each row in the new order whether its keys differ from the
    // previous row's as the sort compares them (the first row's always do): steps that look for
    // runs of alike keys need not compare the values again.
    void SetSort(const QString &sort, std::vector<bool> &startsRun);

    // "Field op value" with op one of = <> < > <= >= LIKE; value a number, 'text', #date# or
    // Null. Searches from the current row (after skipping), and leaves the cursor on the match or
    // at EOF (BOF when searching backwards).
    bool Find(const QString &criteria, int skipRecords = 0,
        SearchDirection direction = SearchDirection::Forward);

private:
    void sort(const QString &sort, std::vector<bool> *startsRun);
    void requireOpen() const;
    void requireRow() const;
    // Where the row at `row` of the present order is stored.
    size_t at(int row) const
    {
        return m_pending.empty() ? size_t(row) : size_t(m_pending[size_t(row)]);
    }
    // Moves the rows to where their order puts them, before a change that adds or removes rows.
    void settle();
    // Takes `order` (where the rows that come first, second... are stored) as pending.
    void setPending(std::vector<int> order);
    // Keeps the rows stored at `rows`, in that order, and drops the others; the kept rows'
    // order becomes their insertion order.
    void keepRows(const std::vector<int> &rows);
    // The rows' present order becomes their insertion order.
    void renumber();
    // Puts the rows in `order` (where the rows that come first, second... are stored).
    void reorder(const std::vector<int> &order);
    [[noreturn]] static void throwOutOfRange(int row, int field);
    // The column of `field`, once `row` and `field` are known to be in range.
    size_t cell(int row, int field) const
    {
        if (row < 0 || row >= int(m_ids.size()) || field < 0 || field >= m_fields.size())
            throwOutOfRange(row, field);
        return size_t(field);
    }
    int checkedField(const QString &name) const;

    QList<FieldInfo> m_fields;
    // The values column by column, each in the order the rows are stored: a step over a whole
    // table reads the few columns it needs from one block each instead of touching every row's
    // own list. m_ids holds each row's bookmark, in the same order.
    std::vector<ValueColumn> m_columns;
    std::vector<int> m_ids;
    // A sort's order not yet applied to the rows: row i of the present order is stored at
    // m_pending[i] (empty: where it is). Sorts follow one another and a step that keeps a few
    // rows of a large table moves only those, instead of every column twice.
    std::vector<int> m_pending;
    int m_pos = 0;
    int m_nextId = 1;
    bool m_open = false;
    bool m_adding = false;
    QString m_sort;
    // The rows are in m_sort's order: no row was added or changed since it was applied.
    bool m_inSortOrder = true;
};

// Ordering of two values the way Sort compares them: Null first, numbers numerically, texts
// without regard to case, dates by time. Returns <0, 0, >0.
int CompareValues(const QVariant &a, const QVariant &b);

// ADO's numbers for the failures below, so hosts that expose record sets to ADO-style code
// report what that code tests for.
enum AdoErrorValue : int {
    adErrInvalidArgument = 3001,
    adErrNoCurrentRecord = 3021,
    adErrFeatureNotAvailable = 3251,
    adErrItemNotFound = 3265,
    adErrObjectInCollection = 3367,
    adErrDataConversion = 3421,
    adErrObjectClosed = 3704,
    adErrObjectOpen = 3705,
};

class RecordsetError : public std::runtime_error
{
public:
    RecordsetError(int number, const std::string &what)
        : std::runtime_error(what)
        , m_number(number)
    { }
    // One of AdoErrorValue.
    int number() const { return m_number; }

private:
    int m_number;
};

} // namespace kv6
