#include "script/recordsetobject.h"

#include "script/hostobject.h"
#include "script/operators.h"
#include "vbcore/vbdate.h"

#include <QDateTime>

#include <cmath>

namespace kv6::script {

namespace {

// ---- ADO's errors

QString adoDescription(int number)
{
    switch (number) {
    case adErrInvalidArgument:
        return QStringLiteral("Arguments are of the wrong type, are out of acceptable range, or "
                              "are in conflict with one another.");
    case adErrNoCurrentRecord:
        return QStringLiteral("Either BOF or EOF is True, or the current record has been "
                              "deleted. Requested operation requires a current record.");
    case adErrFeatureNotAvailable:
        return QStringLiteral("Object or provider is not capable of performing requested "
                              "operation.");
    case adErrItemNotFound:
        return QStringLiteral("Item cannot be found in the collection corresponding to the "
                              "requested name or ordinal.");
    case adErrObjectInCollection:
        return QStringLiteral("Object is already in collection. Cannot append.");
    case adErrDataConversion:
        return QStringLiteral("Application uses a value of the wrong type for the current "
                              "operation.");
    case adErrObjectClosed:
        return QStringLiteral("Operation is not allowed when the object is closed.");
    case adErrObjectOpen:
        return QStringLiteral("Operation is not allowed when the object is open.");
    default:
        return standardDescription(number);
    }
}

const char *const SourceRecordset = "ADODB.Recordset";
const char *const SourceFields = "ADODB.Fields";
const char *const SourceField = "ADODB.Field";

[[noreturn]] void adoRaise(int number, const char *source)
{
    RuntimeError e;
    e.number = number;
    e.description = adoDescription(number);
    e.source = QString::fromLatin1(source);
    throw e;
}

// Runs a record set operation, reporting its failure as ADO would.
template<class Fn>
auto guarded(const char *source, Fn fn)
{
    try {
        return fn();
    } catch (const RecordsetError &e) {
        adoRaise(e.number(), source);
    }
}

void argCount(const QList<Variant> &args, int min, int max)
{
    if (args.size() < min || args.size() > max)
        raise(450);
}

bool given(const QList<Variant> &args, int i)
{
    return i < args.size() && !args[i].isEmpty();
}

bool isIntegerSubtype(const Variant &v)
{
    switch (v.type()) {
    case VarType::Byte:
    case VarType::Integer:
    case VarType::Long:
    case VarType::Boolean:
        return true;
    default:
        return false;
    }
}

// Member names compared without regard to case, without building a folded copy per call.
template<class Id>
struct MemberName
{
    QLatin1String text;
    Id id;
};

template<class Id, size_t N>
Id memberId(const QString &name, const MemberName<Id> (&table)[N], Id unknown)
{
    for (const MemberName<Id> &m : table) {
        if (m.text.size() == name.size() && name.compare(m.text, Qt::CaseInsensitive) == 0)
            return m.id;
    }
    return unknown;
}

int fixedSizeOf(int adoType)
{
    switch (adoType) {
    case adTinyInt:
    case adUnsignedTinyInt:
        return 1;
    case adSmallInt:
    case adBoolean:
        return 2;
    case adInteger:
    case adSingle:
        return 4;
    case adDouble:
    case adCurrency:
    case adBigInt:
    case adDate:
    case adDBTimeStamp:
        return 8;
    default:
        return 0;
    }
}

// ---- the state the record set, its Fields and its Field objects share

constexpr int adEditNone = 0;
constexpr int adEditInProgress = 1;
constexpr int adEditAdd = 2;

struct Cursor
{
    explicit Cursor(RecordsetPtr r)
        : rs(std::move(r))
    { }

    RecordsetPtr rs;
    // ADO stays on a deleted row until the next move, while the record set has already moved to
    // the row after it. The marker holds where the record set stood right after Delete; once
    // the cursor or the rows change it no longer applies.
    int deletedPosition = 0;
    int deletedCount = -1;
    // An edit of an existing row keeps the row's values so CancelUpdate can put them back.
    QVariant editBookmark;
    QVariantList editOriginal;
    // The row that was current before AddNew, where CancelUpdate returns.
    QVariant beforeAdd;

    bool onDeletedRow() const
    {
        return deletedCount >= 0 && rs->RecordCount() == deletedCount
            && rs->AbsolutePosition() == deletedPosition;
    }

    // Any move, Update or structural change ends the pending edit and leaves a deleted row.
    void settle()
    {
        deletedCount = -1;
        editBookmark.clear();
        editOriginal.clear();
    }

    void requireOpen(const char *source) const
    {
        if (!rs->IsOpen())
            adoRaise(adErrObjectClosed, source);
    }

    void requireRow(const char *source) const
    {
        requireOpen(source);
        if (onDeletedRow() || rs->Eof() || rs->Bof())
            adoRaise(adErrNoCurrentRecord, source);
    }

    int editMode() const
    {
        if (rs->EditMode())
            return adEditAdd;
        if (!editBookmark.isNull() && rs->IsOpen() && !rs->Eof() && !rs->Bof()
            && rs->Bookmark() == editBookmark)
            return adEditInProgress;
        return adEditNone;
    }

    Variant value(int field) const
    {
        requireRow(SourceField);
        return fieldValueToScript(rs->Value(field), rs->FieldAt(field).type);
    }

    void setValue(int field, const Variant &v)
    {
        requireRow(SourceField);
        const QVariant stored = scriptValueToField(v, rs->FieldAt(field).type);
        if (!rs->EditMode()) {
            const QVariant here = rs->Bookmark();
            if (editBookmark != here) {
                editBookmark = here;
                editOriginal.clear();
                for (int i = 0; i < rs->FieldCount(); ++i)
                    editOriginal.append(rs->Value(i));
            }
        }
        rs->SetValue(field, stored);
    }

    void cancelUpdate()
    {
        requireOpen(SourceRecordset);
        if (rs->EditMode()) {
            rs->CancelUpdate();
            if (beforeAdd.isValid()) {
                try {
                    rs->SetBookmark(beforeAdd);
                } catch (const RecordsetError &) {
                    // The row has gone since; staying at the end is all that is left.
                }
            }
        } else if (editMode() == adEditInProgress) {
            for (int i = 0; i < editOriginal.size() && i < rs->FieldCount(); ++i)
                rs->SetValue(i, editOriginal.at(i));
        }
        settle();
    }

    // A field named by text or by ordinal.
    int fieldIndex(const Variant &key) const
    {
        const Variant k = ops::valueOf(key);
        int index = -1;
        if (k.isString()) {
            index = rs->FieldIndex(k.stringValue());
        } else if (!k.isNull() && !k.isEmpty() && k.isNumeric()) {
            const double d = k.toDouble();
            if (d > -1 && d < rs->FieldCount())
                index = k.toLong();
        }
        if (index < 0 || index >= rs->FieldCount())
            adoRaise(adErrItemNotFound, SourceFields);
        return index;
    }

    // Fields and values of AddNew and Update: one name or ordinal and one value, or two arrays
    // of the same length.
    void assignList(const Variant &fields, const Variant &values)
    {
        if (fields.isArray() != values.isArray())
            adoRaise(adErrInvalidArgument, SourceRecordset);
        if (!fields.isArray()) {
            setValue(fieldIndex(fields), values);
            return;
        }
        const QList<Variant> &names = fields.arrayValue()->items;
        const QList<Variant> &items = values.arrayValue()->items;
        if (names.size() != items.size())
            adoRaise(adErrInvalidArgument, SourceRecordset);
        for (qsizetype i = 0; i < names.size(); ++i)
            setValue(fieldIndex(names[i]), items[i]);
    }
};

using CursorPtr = std::shared_ptr<Cursor>;

// ---- Field

enum class FieldMember { Value, Name, Type, DefinedSize, ActualSize, Attributes, Unknown };

const MemberName<FieldMember> fieldMembers[] = {
    { QLatin1String("value"), FieldMember::Value },
    { QLatin1String("name"), FieldMember::Name },
    { QLatin1String("type"), FieldMember::Type },
    { QLatin1String("definedsize"), FieldMember::DefinedSize },
    { QLatin1String("actualsize"), FieldMember::ActualSize },
    { QLatin1String("attributes"), FieldMember::Attributes },
};

class FieldObject : public HostObject
{
public:
    FieldObject(CursorPtr cursor, int index)
        : m_cursor(std::move(cursor))
        , m_index(index)
    { }

    QString typeName() const override { return QStringLiteral("Field"); }

    Variant get(const QString &member, const QList<Variant> &args) override
    {
        const FieldMember id = member.isEmpty()
            ? FieldMember::Value
            : memberId(member, fieldMembers, FieldMember::Unknown);
        if (id == FieldMember::Unknown)
            raise(438);
        argCount(args, 0, 0);
        const Recordset &rs = *m_cursor->rs;
        const FieldInfo &info = rs.FieldAt(m_index);
        switch (id) {
        case FieldMember::Value:
            return guarded(SourceField, [&] { return m_cursor->value(m_index); });
        case FieldMember::Name:
            return Variant::string(info.name);
        case FieldMember::Type:
            return Variant::longValue(info.type);
        case FieldMember::DefinedSize:
            return Variant::longValue(
                info.definedSize > 0 ? info.definedSize : fixedSizeOf(info.type));
        case FieldMember::ActualSize:
            return Variant::longValue(guarded(SourceField, [&] { return actualSize(info); }));
        case FieldMember::Attributes:
            return Variant::longValue(info.attributes);
        case FieldMember::Unknown:
            break;
        }
        raise(438);
    }

    void put(const QString &member, const QList<Variant> &args, const Variant &value) override
    {
        if (!member.isEmpty()
            && memberId(member, fieldMembers, FieldMember::Unknown) != FieldMember::Value)
            raise(438);
        argCount(args, 0, 0);
        guarded(SourceField, [&] { m_cursor->setValue(m_index, value); });
    }

private:
    int actualSize(const FieldInfo &info) const
    {
        m_cursor->requireRow(SourceField);
        const QVariant v = m_cursor->rs->Value(m_index);
        if (!v.isValid() || v.isNull())
            return 0;
        if (IsTextType(info.type))
            return int(v.toString().size());
        if (v.typeId() == QMetaType::QByteArray)
            return int(v.toByteArray().size());
        return info.definedSize > 0 ? info.definedSize : fixedSizeOf(info.type);
    }

    CursorPtr m_cursor;
    int m_index;
};

// ---- Fields

enum class FieldsMember { Item, Count, Refresh, Append, Unknown };

const MemberName<FieldsMember> fieldsMembers[] = {
    { QLatin1String("item"), FieldsMember::Item },
    { QLatin1String("count"), FieldsMember::Count },
    { QLatin1String("refresh"), FieldsMember::Refresh },
    { QLatin1String("append"), FieldsMember::Append },
};

class FieldsObject : public HostObject
{
public:
    explicit FieldsObject(CursorPtr cursor)
        : m_cursor(std::move(cursor))
    { }

    QString typeName() const override { return QStringLiteral("Fields"); }

    // Field objects follow the cursor as ADO's do, so one per field serves every row.
    Variant field(const Variant &key)
    {
        const int i = m_cursor->fieldIndex(key);
        if (m_fields.size() <= size_t(i))
            m_fields.resize(size_t(m_cursor->rs->FieldCount()));
        Variant &f = m_fields[size_t(i)];
        if (f.isEmpty())
            f = Variant::object(std::make_shared<FieldObject>(m_cursor, i));
        return f;
    }

    void setField(const Variant &key, const Variant &value)
    {
        const int i = m_cursor->fieldIndex(key);
        guarded(SourceField, [&] { m_cursor->setValue(i, value); });
    }

    Variant get(const QString &member, const QList<Variant> &args) override
    {
        const FieldsMember id = member.isEmpty()
            ? FieldsMember::Item
            : memberId(member, fieldsMembers, FieldsMember::Unknown);
        switch (id) {
        case FieldsMember::Item:
            argCount(args, 1, 1);
            return field(args[0]);
        case FieldsMember::Count:
            argCount(args, 0, 0);
            return Variant::longValue(m_cursor->rs->FieldCount());
        case FieldsMember::Refresh:
            argCount(args, 0, 0);
            return Variant();
        case FieldsMember::Append:
            argCount(args, 2, 4);
            append(args);
            return Variant();
        case FieldsMember::Unknown:
            break;
        }
        raise(438);
    }

    void put(const QString &member, const QList<Variant> &args, const Variant &value) override
    {
        if (!member.isEmpty()
            && memberId(member, fieldsMembers, FieldsMember::Unknown) != FieldsMember::Item)
            raise(438);
        argCount(args, 1, 1);
        setField(args[0], value);
    }

    QList<Variant> items() override
    {
        QList<Variant> all;
        const int n = m_cursor->rs->FieldCount();
        all.reserve(n);
        for (int i = 0; i < n; ++i)
            all.append(field(Variant::longValue(i)));
        return all;
    }

private:
    // Fields.Append name, type [, size [, attributes]]: only while the record set is closed.
    void append(const QList<Variant> &args)
    {
        Recordset &rs = *m_cursor->rs;
        if (rs.IsOpen())
            adoRaise(adErrObjectOpen, SourceFields);
        const QString name = args[0].toString();
        const int type = args[1].toLong();
        const int size = given(args, 2) ? args[2].toLong() : 0;
        const int attributes = given(args, 3) ? args[3].toLong() : adFldIsNullable | adFldMayBeNull;
        guarded(SourceFields, [&] { rs.AppendField(name, type, size, attributes); });
    }

    CursorPtr m_cursor;
    std::vector<Variant> m_fields;
};

// ---- Recordset

enum class RsMember {
    Fields,
    MoveFirst,
    MoveNext,
    MovePrevious,
    MoveLast,
    Move,
    Eof,
    Bof,
    RecordCount,
    AbsolutePosition,
    Bookmark,
    Sort,
    Filter,
    Find,
    AddNew,
    Update,
    CancelUpdate,
    Delete,
    Close,
    Open,
    State,
    EditMode,
    Unknown,
};

const MemberName<RsMember> recordsetMembers[] = {
    { QLatin1String("fields"), RsMember::Fields },
    { QLatin1String("eof"), RsMember::Eof },
    { QLatin1String("movenext"), RsMember::MoveNext },
    { QLatin1String("addnew"), RsMember::AddNew },
    { QLatin1String("update"), RsMember::Update },
    { QLatin1String("movefirst"), RsMember::MoveFirst },
    { QLatin1String("moveprevious"), RsMember::MovePrevious },
    { QLatin1String("movelast"), RsMember::MoveLast },
    { QLatin1String("move"), RsMember::Move },
    { QLatin1String("bof"), RsMember::Bof },
    { QLatin1String("recordcount"), RsMember::RecordCount },
    { QLatin1String("absoluteposition"), RsMember::AbsolutePosition },
    { QLatin1String("bookmark"), RsMember::Bookmark },
    { QLatin1String("sort"), RsMember::Sort },
    { QLatin1String("filter"), RsMember::Filter },
    { QLatin1String("find"), RsMember::Find },
    { QLatin1String("cancelupdate"), RsMember::CancelUpdate },
    { QLatin1String("delete"), RsMember::Delete },
    { QLatin1String("close"), RsMember::Close },
    { QLatin1String("open"), RsMember::Open },
    { QLatin1String("state"), RsMember::State },
    { QLatin1String("editmode"), RsMember::EditMode },
};

constexpr int adStateClosed = 0;
constexpr int adStateOpen = 1;
constexpr int adAffectCurrent = 1;
constexpr int adSearchForward = 1;
constexpr int adSearchBackward = -1;
constexpr int adFilterNone = 0;
// Start positions of Move and Find. They are Longs, while bookmarks are Doubles, which is how
// the two are told apart.
constexpr int adBookmarkCurrent = 0;
constexpr int adBookmarkFirst = 1;
constexpr int adBookmarkLast = 2;

class RecordsetObject : public HostObject
{
public:
    explicit RecordsetObject(RecordsetPtr rs)
        : m_cursor(std::make_shared<Cursor>(std::move(rs)))
        , m_fields(std::make_shared<FieldsObject>(m_cursor))
    { }

    const RecordsetPtr &recordset() const { return m_cursor->rs; }

    QString typeName() const override { return QStringLiteral("Recordset"); }

    Variant get(const QString &member, const QList<Variant> &args) override
    {
        if (member.isEmpty())
            return fieldsOrField(args);
        const RsMember id = memberId(member, recordsetMembers, RsMember::Unknown);
        return guarded(SourceRecordset, [&] { return call(id, args); });
    }

    void put(const QString &member, const QList<Variant> &args, const Variant &value) override
    {
        const RsMember id = member.isEmpty()
            ? RsMember::Fields
            : memberId(member, recordsetMembers, RsMember::Unknown);
        if (id == RsMember::Fields) {
            argCount(args, 1, 1);
            m_fields->setField(args[0], value);
            return;
        }
        argCount(args, 0, 0);
        guarded(SourceRecordset, [&] { assign(id, value); });
    }

private:
    Variant fieldsOrField(const QList<Variant> &args)
    {
        argCount(args, 0, 1);
        if (args.isEmpty())
            return Variant::object(m_fields);
        return m_fields->field(args[0]);
    }

    Variant call(RsMember id, const QList<Variant> &args)
    {
        Cursor &c = *m_cursor;
        Recordset &rs = *c.rs;
        switch (id) {
        case RsMember::Fields:
            return fieldsOrField(args);
        case RsMember::State:
            argCount(args, 0, 0);
            return Variant::longValue(rs.IsOpen() ? adStateOpen : adStateClosed);
        case RsMember::Open:
            for (const Variant &a : args) {
                if (!a.isEmpty())
                    adoRaise(adErrFeatureNotAvailable, SourceRecordset);
            }
            if (rs.IsOpen())
                adoRaise(adErrObjectOpen, SourceRecordset);
            c.settle();
            rs.Open();
            return Variant();
        case RsMember::Unknown:
            raise(438);
        default:
            break;
        }
        c.requireOpen(SourceRecordset);
        switch (id) {
        case RsMember::Eof:
            argCount(args, 0, 0);
            return Variant::boolean(!c.onDeletedRow() && rs.Eof());
        case RsMember::Bof:
            argCount(args, 0, 0);
            return Variant::boolean(!c.onDeletedRow() && rs.Bof());
        case RsMember::MoveNext:
            argCount(args, 0, 0);
            // From a deleted row the record set already stands on the next one.
            if (!c.onDeletedRow())
                rs.MoveNext();
            c.settle();
            return Variant();
        case RsMember::MovePrevious:
            argCount(args, 0, 0);
            rs.MovePrevious();
            c.settle();
            return Variant();
        case RsMember::MoveFirst:
        case RsMember::MoveLast:
            argCount(args, 0, 0);
            if (rs.RecordCount() == 0)
                adoRaise(adErrNoCurrentRecord, SourceRecordset);
            id == RsMember::MoveFirst ? rs.MoveFirst() : rs.MoveLast();
            c.settle();
            return Variant();
        case RsMember::Move:
            argCount(args, 1, 2);
            move(args[0].toLong(), args.value(1));
            return Variant();
        case RsMember::RecordCount:
            argCount(args, 0, 0);
            return Variant::longValue(rs.RecordCount());
        case RsMember::AbsolutePosition:
            argCount(args, 0, 0);
            return Variant::longValue(c.onDeletedRow() ? adPosUnknown : rs.AbsolutePosition());
        case RsMember::Bookmark:
            argCount(args, 0, 0);
            c.requireRow(SourceRecordset);
            return Variant::dbl(rs.Bookmark().toDouble());
        case RsMember::Sort:
            argCount(args, 0, 0);
            return Variant::string(rs.Sort());
        case RsMember::Filter:
            argCount(args, 0, 0);
            return Variant::longValue(adFilterNone);
        case RsMember::EditMode:
            argCount(args, 0, 0);
            return Variant::longValue(c.editMode());
        case RsMember::Find:
            argCount(args, 1, 4);
            find(args);
            return Variant();
        case RsMember::AddNew:
            argCount(args, 0, 2);
            addNew(args);
            return Variant();
        case RsMember::Update:
            argCount(args, 0, 2);
            if (args.size() == 1)
                raise(450);
            if (args.size() == 2)
                c.assignList(args[0], args[1]);
            rs.Update();
            c.settle();
            return Variant();
        case RsMember::CancelUpdate:
            argCount(args, 0, 0);
            c.cancelUpdate();
            return Variant();
        case RsMember::Delete:
            argCount(args, 0, 1);
            if (given(args, 0) && args[0].toLong() != adAffectCurrent)
                adoRaise(adErrFeatureNotAvailable, SourceRecordset);
            c.requireRow(SourceRecordset);
            rs.Delete();
            c.settle();
            c.deletedPosition = rs.AbsolutePosition();
            c.deletedCount = rs.RecordCount();
            return Variant();
        case RsMember::Close:
            argCount(args, 0, 0);
            c.settle();
            rs.Close();
            return Variant();
        default:
            break;
        }
        raise(438);
    }

    void assign(RsMember id, const Variant &value)
    {
        Cursor &c = *m_cursor;
        Recordset &rs = *c.rs;
        switch (id) {
        case RsMember::AbsolutePosition:
            c.requireOpen(SourceRecordset);
            rs.SetAbsolutePosition(value.toLong());
            c.settle();
            return;
        case RsMember::Bookmark:
            c.requireOpen(SourceRecordset);
            setBookmark(value);
            c.settle();
            return;
        case RsMember::Sort:
            c.requireOpen(SourceRecordset);
            rs.SetSort(value.isNull() ? QString() : value.toString());
            c.settle();
            return;
        case RsMember::Filter: {
            // Only clearing a filter is supported; no filter is ever set.
            c.requireOpen(SourceRecordset);
            const Variant v = ops::valueOf(value);
            const bool none = v.isEmpty() || (v.isString() && v.stringValue().trimmed().isEmpty())
                || (v.isNumeric() && v.toDouble() == adFilterNone);
            if (!none)
                adoRaise(adErrFeatureNotAvailable, SourceRecordset);
            return;
        }
        default:
            raise(438);
        }
    }

    void setBookmark(const Variant &value)
    {
        const Variant v = ops::valueOf(value);
        if (!v.isNumeric() || v.type() == VarType::Date)
            adoRaise(adErrInvalidArgument, SourceRecordset);
        const double d = v.toDouble();
        if (d != std::floor(d))
            adoRaise(adErrInvalidArgument, SourceRecordset);
        m_cursor->rs->SetBookmark(int(d));
    }

    // Places the cursor where a Move or Find that names a start begins.
    void goToStart(const Variant &start)
    {
        Recordset &rs = *m_cursor->rs;
        if (isIntegerSubtype(start)) {
            switch (start.intValue()) {
            case adBookmarkCurrent:
                return;
            case adBookmarkFirst:
                rs.MoveFirst();
                break;
            case adBookmarkLast:
                rs.MoveLast();
                break;
            default:
                adoRaise(adErrInvalidArgument, SourceRecordset);
            }
        } else {
            setBookmark(start);
        }
        m_cursor->settle();
    }

    void move(int offset, const Variant &start)
    {
        Cursor &c = *m_cursor;
        Recordset &rs = *c.rs;
        if (rs.RecordCount() == 0)
            adoRaise(adErrNoCurrentRecord, SourceRecordset);
        if (!start.isEmpty()) {
            goToStart(start);
        } else if (c.onDeletedRow()) {
            if (offset == 0)
                adoRaise(adErrNoCurrentRecord, SourceRecordset);
            // Standing on the row after the deleted one already is the first step forward.
            if (offset > 0)
                --offset;
        } else if ((offset > 0 && rs.Eof()) || (offset < 0 && rs.Bof())) {
            adoRaise(adErrNoCurrentRecord, SourceRecordset);
        }
        rs.Move(offset);
        c.settle();
    }

    // Find criteria [, skip [, direction [, start]]].
    void find(const QList<Variant> &args)
    {
        Cursor &c = *m_cursor;
        Recordset &rs = *c.rs;
        const QString criteria = args[0].toString();
        const int skip = given(args, 1) ? args[1].toLong() : 0;
        const int direction = given(args, 2) ? args[2].toLong() : adSearchForward;
        if (skip < 0 || (direction != adSearchForward && direction != adSearchBackward))
            adoRaise(adErrInvalidArgument, SourceRecordset);
        if (given(args, 3))
            goToStart(args[3]);
        else if (rs.RecordCount() > 0 && !c.onDeletedRow()
            && (direction == adSearchForward ? rs.Eof() : rs.Bof()))
            adoRaise(adErrNoCurrentRecord, SourceRecordset);
        c.settle();
        rs.Find(criteria, skip,
            direction == adSearchForward ? SearchDirection::Forward : SearchDirection::Backward);
    }

    void addNew(const QList<Variant> &args)
    {
        Cursor &c = *m_cursor;
        Recordset &rs = *c.rs;
        if (args.size() == 1)
            raise(450);
        const QVariant before
            = rs.Eof() || rs.Bof() || c.onDeletedRow() ? QVariant() : rs.Bookmark();
        c.settle();
        rs.AddNew();
        c.beforeAdd = before;
        if (args.size() == 2) {
            // With fields and values the row is saved at once.
            try {
                c.assignList(args[0], args[1]);
            } catch (...) {
                rs.CancelUpdate();
                throw;
            }
            rs.Update();
        }
    }

    CursorPtr m_cursor;
    std::shared_ptr<FieldsObject> m_fields;
};

} // namespace

Variant makeRecordsetObject(RecordsetPtr rs)
{
    if (!rs)
        return Variant::object(nullptr);
    return Variant::object(std::make_shared<RecordsetObject>(std::move(rs)));
}

RecordsetPtr recordsetOf(const Variant &value)
{
    if (!value.isObject())
        return nullptr;
    const auto *o = dynamic_cast<const RecordsetObject *>(value.objectValue().get());
    return o ? o->recordset() : nullptr;
}

Variant fieldValueToScript(const QVariant &value, int adoType)
{
    if (!value.isValid() || value.isNull())
        return Variant::null();
    switch (adoType) {
    case adCurrency: {
        if (value.metaType() == QMetaType::fromType<kv6::Currency>())
            return Variant::currency(value.value<kv6::Currency>());
        bool ok = true;
        const kv6::Currency c = kv6::Currency::fromDouble(value.toDouble(), &ok);
        if (!ok)
            raise(6);
        return Variant::currency(c);
    }
    case adSmallInt:
    case adTinyInt:
        return Variant::integer(value.toInt());
    case adUnsignedTinyInt:
        return Variant::byte(value.toInt());
    case adBoolean:
        return Variant::boolean(value.toBool());
    default:
        if (IsTextType(adoType) && value.typeId() == QMetaType::QString)
            return Variant::string(value.toString());
        return Variant::fromQVariant(value);
    }
}

QVariant scriptValueToField(const Variant &value, int adoType)
{
    const Variant v = ops::valueOf(value);
    if (v.isNull() || v.isEmpty())
        return QVariant();
    if (v.isArray())
        raise(13);
    auto inRange = [](qint32 n, qint32 lo, qint32 hi) {
        if (n < lo || n > hi)
            raise(6);
        return QVariant(int(n));
    };
    switch (adoType) {
    case adBoolean:
        return v.toBool();
    case adTinyInt:
        return inRange(v.toLong(), -128, 127);
    case adUnsignedTinyInt:
        return inRange(v.toLong(), 0, 255);
    case adSmallInt:
        return inRange(v.toLong(), -32768, 32767);
    case adInteger:
        return int(v.toLong());
    case adBigInt: {
        if (isIntegerSubtype(v))
            return qlonglong(v.intValue());
        const double d = std::nearbyint(v.toDouble());
        if (!(d >= -9.2233720368547758e18 && d < 9.2233720368547758e18))
            raise(6);
        return qlonglong(d);
    }
    case adSingle:
        return float(v.toDouble());
    case adDouble:
    case adDecimal:
    case adNumeric:
        return v.toDouble();
    case adCurrency:
        // Currency fields hold doubles of four decimals, as the data access fills them.
        return v.toCurrency().toDouble();
    case adBinary:
    case adLongVarBinary:
        return v.isString() ? QVariant(v.stringValue().toUtf8()) : v.toQVariant();
    default:
        if (IsDateType(adoType))
            return kv6::VbDateFromDouble(v.toDate());
        if (IsTextType(adoType))
            return v.toString();
        return v.toQVariant();
    }
}

} // namespace kv6::script
