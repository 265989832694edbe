#include "report/reportdataset.h"
#include "vbcore/asciifold.h"
#include "vbcore/numbertype.h"

#include "dataaccess/dataconnection.h"
#include "report/report.h"
#include "reportcombine_p.h"

#include "base/langstrings.h"
#include "dataaccess/enumerationtext.h"
#include "groups/analysis.h"
#include "groups/printers.h"
#include "script/recordsetobject.h"
#include "script/scriptengine.h"
#include "vbcore/currency.h"

#include <QDate>
#include <QDateTime>
#include <QHash>
#include <QScopeGuard>
#include <QtEndian>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <deque>
#include <memory>
#include <optional>
#include <unordered_set>

namespace kv6 {

namespace {

// Generous enough for a script that touches every row of a large table a few dozen times, but
// an endless loop in an administrator's script still ends instead of hanging an unattended run.
constexpr qint64 ScriptStepLimit = 2'000'000'000;

const QString UserKeyField = QStringLiteral("UserKey");
const QString PrinterKeyField = QStringLiteral("PrinterKey");
const QString TotalPagesField = QStringLiteral("TotalPages");
const QString GroupPlaceholder = QStringLiteral("<GROUP>");

// The record set and the script engine report failures by exception; a build hands them back
// as its DataError, numbered as they were: the script's error number, the record set's ADO one.
template<class Fn>
DataResult guarded(const QString &reportName, Fn &&work)
{
    try {
        return work();
    } catch (const script::ScriptError &e) {
        const QString where = e.line() > 0 ? QStringLiteral(", line %1").arg(e.line()) : QString();
        return DataError(e.number(),
            QStringLiteral("The script of the report \"%1\" failed%2: %3")
                .arg(reportName, where, e.message()));
    } catch (const RecordsetError &e) {
        // "Item "Bogus" cannot be found in the collection.": the caller names the report.
        return DataError(e.number(), QString::fromUtf8(e.what()));
    }
}

QDate asDate(const QVariant &value)
{
    if (value.typeId() == QMetaType::QDate)
        return value.toDate();
    if (value.typeId() == QMetaType::QDateTime)
        return value.toDateTime().date();
    const QString text = value.toString().trimmed();
    QDate d = QDate::fromString(text.left(10), Qt::ISODate);
    if (!d.isValid())
        d = QLocale().toDate(text, QLocale::ShortFormat);
    return d;
}

QVariant dateParameter(const QDate &day)
{
    // Both engines compare job times as text or timestamps with an ISO day.
    return day.isValid() ? QVariant(day.toString(Qt::ISODate)) : QVariant();
}

std::optional<double> numberOf(const QVariant &value)
{
    return clsReportParameter::ToNumber(value);
}

bool isTextValue(const QVariant &value)
{
    return ValueTypeId(value) == QMetaType::QString;
}

// Whether two values read the same as texts, without regard to case; texts and whole numbers
// are compared without making texts of them.
bool sameText(const QVariant &a, const QVariant &b)
{
    const int ta = ValueTypeId(a), tb = ValueTypeId(b);
    if (ta == QMetaType::QString && tb == QMetaType::QString) {
        const QString &x = TextIn(a), &y = TextIn(b);
        // Rows often share one text; folding keeps a text's length.
        if (x.size() != y.size())
            return false;
        const QChar *px = x.constData(), *py = y.constData();
        if (px == py)
            return true;
        // Alike runs of four characters are passed over as numbers: keys sorted by the text
        // (a user's days) differ near their ends.
        qsizetype i = 0;
        for (; i + 4 <= x.size(); i += 4) {
            quint64 wx, wy;
            std::memcpy(&wx, px + i, sizeof wx);
            std::memcpy(&wy, py + i, sizeof wy);
            if (wx != wy)
                break;
        }
        // ASCII letters fold alone; anything else is left to Qt.
        for (; i < x.size(); ++i) {
            const char16_t cx = px[i].unicode(), cy = py[i].unicode();
            if (cx == cy)
                continue;
            if (cx >= 0x80 || cy >= 0x80)
                return x.compare(y, Qt::CaseInsensitive) == 0;
            if ((cx | 0x20) != (cy | 0x20) || (cx | 0x20) < u'a' || (cx | 0x20) > u'z')
                return false;
        }
        return true;
    }
    const auto whole = [](int t) { return t == QMetaType::Int || t == QMetaType::LongLong; };
    if (whole(ta) && whole(tb) && !IsNullValue(a) && !IsNullValue(b))
        return a.toLongLong() == b.toLongLong();
    // A local time's text is its date and time to the millisecond: compared as such rather than
    // written out twice for every row (days marked by their date).
    if (ta == QMetaType::QDateTime && tb == QMetaType::QDateTime) {
        const QDateTime &x = *static_cast<const QDateTime *>(a.constData());
        const QDateTime &y = *static_cast<const QDateTime *>(b.constData());
        if (x.isValid() && y.isValid() && x.timeSpec() == Qt::LocalTime
            && y.timeSpec() == Qt::LocalTime)
            return x.date() == y.date() && x.time() == y.time();
    }
    return a.toString().compare(b.toString(), Qt::CaseInsensitive) == 0;
}

bool sameKey(const QVariant &a, const QVariant &b)
{
    if (isTextValue(a) || isTextValue(b))
        return sameText(a, b);
    return CompareValues(a, b) == 0;
}

// Adds two values of a summed column, keeping money exact and whole numbers whole.
QVariant addValues(const QVariant &a, const QVariant &b)
{
    // The common cases first: counts and real sums, neither Null, read in place.
    const int ta = ValueTypeId(a), tb = ValueTypeId(b);
    if (ta == tb && (ta == QMetaType::Int || ta == QMetaType::LongLong || ta == QMetaType::Double)
        && !IsNullValue(a) && !IsNullValue(b)) {
        if (ta == QMetaType::Double)
            return QVariant(*static_cast<const double *>(a.constData())
                + *static_cast<const double *>(b.constData()));
        if (ta == QMetaType::LongLong)
            return QVariant(*static_cast<const qlonglong *>(a.constData())
                + *static_cast<const qlonglong *>(b.constData()));
        const qlonglong sum = qlonglong(*static_cast<const int *>(a.constData()))
            + *static_cast<const int *>(b.constData());
        if (sum >= INT_MIN && sum <= INT_MAX)
            return QVariant(int(sum));
        return QVariant(sum);
    }
    if (IsNullValue(a))
        return b;
    if (IsNullValue(b))
        return a;
    if (a.typeId() == qMetaTypeId<Currency>() || b.typeId() == qMetaTypeId<Currency>()) {
        const auto toCur = [](const QVariant &v) {
            return v.typeId() == qMetaTypeId<Currency>() ? v.value<Currency>()
                                                         : Currency::fromDouble(v.toDouble());
        };
        return QVariant::fromValue(toCur(a) + toCur(b));
    }
    const auto whole = [](const QVariant &v) {
        return IsWholeNumberType(v.typeId()) || v.typeId() == QMetaType::Bool;
    };
    if (whole(a) && whole(b)) {
        const qlonglong sum = a.toLongLong() + b.toLongLong();
        if (a.typeId() == QMetaType::Int && b.typeId() == QMetaType::Int && sum >= INT_MIN
            && sum <= INT_MAX)
            return QVariant(int(sum));
        return QVariant(sum);
    }
    return QVariant(a.toDouble() + b.toDouble());
}

// Adds `value` into `into` as addValues does; counts and real sums in place.
void addInto(QVariant &into, const QVariant &value)
{
    // Two values of one type share its interface; these three are never Null but by the flag.
    const QVariant::Private &di = into.data_ptr(), &dv = value.data_ptr();
    const QtPrivate::QMetaTypeInterface *type = di.typeInterface();
    if (type == dv.typeInterface() && !di.is_null && !dv.is_null) {
        // These types live inside the QVariant itself, never shared with another.
        void *sum = const_cast<void *>(into.constData());
        const void *add = value.constData();
        if (type == QMetaType::fromType<double>().iface()) {
            *static_cast<double *>(sum) += *static_cast<const double *>(add);
            return;
        }
        if (type == QMetaType::fromType<qlonglong>().iface()) {
            *static_cast<qlonglong *>(sum) += *static_cast<const qlonglong *>(add);
            return;
        }
        if (type == QMetaType::fromType<int>().iface()) {
            const qlonglong wide
                = qlonglong(*static_cast<int *>(sum)) + *static_cast<const int *>(add);
            if (wide >= INT_MIN && wide <= INT_MAX) {
                *static_cast<int *>(sum) = int(wide);
                return;
            }
        }
    }
    into = addValues(into, value);
}

// Numbers each row's group, groups numbered as they first appear: rows of equal hashes that
// `alike(a, b)` finds alike share one. Each place of the open table holds 1 + a group's first
// row, 0 when empty; half of them stay empty however many groups there are. Each row's place is
// fetched ahead: the table outgrows the cache, and waiting on it row by row cost most of the time.
template<typename Alike>
int numberGroups(const std::vector<size_t> &hashes, Alike alike, std::vector<int> &groupOf)
{
    constexpr size_t Ahead = 16;
    const size_t rows = hashes.size();
    size_t count = 1024;
    while (count < rows * 2)
        count *= 2;
    const size_t mask = count - 1;
    std::vector<quint32> places(count, 0);
    groupOf.assign(rows, 0);
    int groups = 0;
    for (size_t r = 0; r < rows; ++r) {
        if (r + Ahead < rows)
            __builtin_prefetch(&places[hashes[r + Ahead] & mask]);
        for (size_t i = hashes[r] & mask;; i = (i + 1) & mask) {
            if (places[i] == 0) {
                places[i] = quint32(r + 1);
                groupOf[r] = groups++;
                break;
            }
            const size_t first = places[i] - 1;
            if (hashes[first] == hashes[r] && alike(first, r)) {
                groupOf[r] = groupOf[first];
                break;
            }
        }
    }
    return groups;
}

} // namespace

// The texts of a column folded onto one block, a row's at its position in the table.
struct ReportDataSetBuilder::FoldedTexts
{
    struct Span
    {
        size_t at = 0;
        size_t size = 0;
    };
    // Grown by hand: a string's resize would fill each text's room before it is written.
    std::unique_ptr<char[]> bytes;
    size_t used = 0, room = 0;
    std::vector<Span> spans;
    bool empty() const { return spans.empty(); }
    void reserve(size_t size)
    {
        if (size <= room)
            return;
        std::unique_ptr<char[]> grown(new char[size]);
        if (used)
            std::memcpy(grown.get(), bytes.get(), used);
        bytes = std::move(grown);
        room = size;
    }
    // Room for `size` more bytes, where the next text goes.
    char *append(size_t size)
    {
        if (used + size > room)
            reserve(std::max(room * 2, used + size));
        char *out = bytes.get() + used;
        used += size;
        return out;
    }
    // Whether row `a`'s text sorts before row `b`'s, as the record set sorts ASCII texts: the
    // folded bytes in order, eight at a time while they agree.
    bool before(size_t a, size_t b) const
    {
        const Span &x = spans[a], &y = spans[b];
        const char *pa = bytes.get() + x.at, *pb = bytes.get() + y.at;
        const size_t n = std::min(x.size, y.size);
        size_t i = 0;
        for (; i + 8 <= n; i += 8) {
            quint64 wa, wb;
            std::memcpy(&wa, pa + i, sizeof wa);
            std::memcpy(&wb, pb + i, sizeof wb);
            if (wa != wb)
                return qFromBigEndian(wa) < qFromBigEndian(wb);
        }
        for (; i < n; ++i)
            if (pa[i] != pb[i])
                return quint8(pa[i]) < quint8(pb[i]);
        return x.size < y.size;
    }
};

namespace {

// Marks the rows that hold the first of their text in `field`, alike without regard to case;
// false when a value there is not an ASCII text. The texts are folded onto one block (kept in
// `texts` for the combining step) and hashed in one pass, then numbered by numberGroups.
bool markFirstTexts(const Recordset &table, int field, std::vector<bool> &first,
    ReportDataSetBuilder::FoldedTexts &texts)
{
    const size_t rows = size_t(table.RecordCount());
    constexpr size_t Ahead = 16;
    std::vector<ReportDataSetBuilder::FoldedTexts::Span> &folded = texts.spans;
    folded.assign(rows, {});
    texts.used = 0;
    texts.reserve(rows * 16);
    std::vector<size_t> hashes(rows);
    for (size_t r = 0; r < rows; ++r) {
        if (r + Ahead < rows) {
            const QVariant &ahead = table.CellAt(int(r + Ahead), field);
            if (isTextValue(ahead))
                __builtin_prefetch(TextIn(ahead).constData());
        }
        const QVariant &value = table.CellAt(int(r), field);
        if (!isTextValue(value) || IsNullValue(value))
            return false;
        const QString &text = TextIn(value);
        const size_t at = texts.used, size = size_t(text.size());
        char *out = texts.append(size);
        if (!FoldAsciiInto(reinterpret_cast<const char16_t *>(text.constData()), text.size(), out))
            return false;
        folded[r] = { at, size };
        hashes[r] = qHashBits(out, size);
    }
    std::vector<int> groupOf;
    numberGroups(
        hashes,
        [&](size_t a, size_t b) {
            return folded[a].size == folded[b].size
                && std::memcmp(texts.bytes.get() + folded[a].at, texts.bytes.get() + folded[b].at,
                       folded[b].size)
                == 0;
        },
        groupOf);
    first.assign(rows, false);
    int next = 0;
    for (size_t r = 0; r < rows; ++r)
        if (groupOf[r] == next) {
            first[r] = true;
            ++next;
        }
    return true;
}

// Marks the rows that hold the first of their value in `field`, a column of whole numbers
// (keysOfOneKind), which read alike as texts when they are equal.
void markFirstNumbers(const Recordset &table, int field, std::vector<bool> &first)
{
    const size_t rows = size_t(table.RecordCount());
    std::unordered_set<qint64> seen;
    seen.reserve(rows);
    first.assign(rows, false);
    for (size_t r = 0; r < rows; ++r)
        first[r] = seen.insert(table.CellAt(int(r), field).toLongLong()).second;
}

// Whether ASCII text `a` sorts before `b` as the record set sorts texts: folded, byte by byte,
// a shorter text before a longer one it begins.
bool foldedBefore(const QString &a, const QString &b)
{
    const QChar *pa = a.constData(), *pb = b.constData();
    const qsizetype n = std::min(a.size(), b.size());
    // The texts met here mostly share a long start (a user's key and the month of a day), and
    // units that are equal fold alike: those go by four at a time.
    qsizetype i = 0;
    for (; i + 4 <= n; i += 4) {
        quint64 x, y;
        std::memcpy(&x, pa + i, sizeof x);
        std::memcpy(&y, pb + i, sizeof y);
        if (x != y)
            break;
    }
    for (; i < n; ++i) {
        const char16_t ca = FoldAscii(pa[i].unicode()), cb = FoldAscii(pb[i].unicode());
        if (ca != cb)
            return ca < cb;
    }
    return a.size() < b.size();
}

// A day as the record set sorts it: a date, or a local time at midnight (a job's day), which
// sort as their days do. False for anything else.
bool dayOf(const QVariant &value, qint64 &day)
{
    if (ValueTypeId(value) == QMetaType::QDate) {
        const QDate &d = *static_cast<const QDate *>(value.constData());
        day = d.toJulianDay();
        return d.isValid();
    }
    if (ValueTypeId(value) != QMetaType::QDateTime)
        return false;
    const QDateTime &at = *static_cast<const QDateTime *>(value.constData());
    if (!at.isValid() || at.timeSpec() != Qt::LocalTime || at.time() != QTime(0, 0))
        return false;
    day = at.date().toJulianDay();
    return true;
}

// Marks the rows that hold the first of their value in `field` when the rows already stand in
// the order a stable sort by it leaves them (the queries hand them over by day): ASCII texts,
// whole numbers or days, none Null. The marks then fall where the value changes, as after that
// sort, which would move nothing. False when the column is not of that kind or not in order.
bool markFirstInOrder(const Recordset &table, int field, std::vector<bool> &first)
{
    const size_t rows = size_t(table.RecordCount());
    const QVariant &head = table.CellAt(0, field);
    const int type = ValueTypeId(head);
    const bool text = type == QMetaType::QString;
    const bool whole = type == QMetaType::Int || type == QMetaType::LongLong;
    qint64 day = 0, dayBefore = 0;
    if (IsNullValue(head) || (text && !IsAscii(TextIn(head)))
        || (!text && !whole && !dayOf(head, dayBefore)))
        return false;
    first.assign(rows, false);
    first[0] = true;
    for (size_t r = 1; r < rows; ++r) {
        const QVariant &value = table.CellAt(int(r), field);
        const QVariant &before = table.CellAt(int(r - 1), field);
        if (ValueTypeId(value) != type || IsNullValue(value))
            return false;
        if (text) {
            const QString &t = TextIn(value), &b = TextIn(before);
            // Rows of one value mostly share its text.
            if (t.constData() == b.constData() && t.size() == b.size())
                continue;
            if (!IsAscii(t) || foldedBefore(t, b))
                return false;
            first[r] = foldedBefore(b, t);
        } else if (whole) {
            const qint64 v = value.toLongLong(), b = before.toLongLong();
            if (v < b)
                return false;
            first[r] = v > b;
        } else {
            if (!dayOf(value, day) || day < dayBefore)
                return false;
            first[r] = day > dayBefore;
            dayBefore = day;
        }
    }
    return true;
}

// Whether `a` sorts before `b` in a column of ASCII texts or of whole numbers.
bool sortsBefore(const QVariant &a, const QVariant &b)
{
    if (isTextValue(a))
        return foldedBefore(TextIn(a), TextIn(b));
    return a.toLongLong() < b.toLongLong();
}

// Whether combining a column's values gives the same value and type in any order: whole numbers
// of one type, none Null, none below zero (a sum of those grows past the int range, and so
// changes type, whatever the order).
bool combinesInAnyOrder(const Recordset &table, int field)
{
    const int rows = table.RecordCount();
    const int type = ValueTypeId(table.CellAt(0, field));
    if (type != QMetaType::Int && type != QMetaType::LongLong)
        return false;
    for (int r = 0; r < rows; ++r) {
        const QVariant &v = table.CellAt(r, field);
        if (ValueTypeId(v) != type || IsNullValue(v))
            return false;
        if (type == QMetaType::Int ? *static_cast<const int *>(v.constData()) < 0
                                   : *static_cast<const qlonglong *>(v.constData()) < 0)
            return false;
    }
    return true;
}

// Whether a key column holds one kind of value, none Null: texts, or whole numbers. Its rows
// then fall into groups alike by both the sort and the combining step's comparison, whatever
// their order within a group.
bool keysOfOneKind(const Recordset &table, int field)
{
    const int rows = table.RecordCount();
    const auto kind = [](const QVariant &v) {
        const int t = ValueTypeId(v);
        if (IsNullValue(v))
            return 0;
        return t == QMetaType::QString ? 1
                                       : (t == QMetaType::Int || t == QMetaType::LongLong ? 2 : 0);
    };
    const int first = kind(table.CellAt(0, field));
    if (first == 0)
        return false;
    for (int r = 1; r < rows; ++r)
        if (kind(table.CellAt(r, field)) != first)
            return false;
    return true;
}

// Numbers each row's group, rows alike in every key field (texts without regard to case), in
// the order the groups first appear; false when a key column is not ASCII texts or whole numbers,
// none Null, where the sort's comparison and the combining step's might part.
bool groupByKeys(
    const Recordset &table, const QList<int> &keyFields, std::vector<int> &groupOf, int &groups)
{
    const int rows = table.RecordCount();
    if (rows == 0)
        return false;
    for (int k : keyFields) {
        if (!keysOfOneKind(table, k))
            return false;
        if (isTextValue(table.CellAt(0, k)) && !IsTextType(table.FieldAt(k).type))
            return false;
    }
    std::vector<size_t> hashes(static_cast<size_t>(rows));
    std::string folded;
    for (int r = 0; r < rows; ++r) {
        size_t hash = 0;
        for (int k : keyFields) {
            const QVariant &value = table.CellAt(r, k);
            size_t part;
            if (isTextValue(value)) {
                const QString &text = TextIn(value);
                folded.resize(size_t(text.size()));
                if (!FoldAsciiInto(reinterpret_cast<const char16_t *>(text.constData()),
                        text.size(), folded.data()))
                    return false;
                part = qHashBits(folded.data(), folded.size());
            } else {
                part = qHash(value.toLongLong());
            }
            hash = hash * 1000003u ^ part;
        }
        hashes[size_t(r)] = hash;
    }
    groups = numberGroups(
        hashes,
        [&](size_t a, size_t b) {
            return std::all_of(keyFields.begin(), keyFields.end(),
                [&](int k) { return sameKey(table.CellAt(int(a), k), table.CellAt(int(b), k)); });
        },
        groupOf);
    return true;
}

// A money value stored the way the record set keeps money: as a double of four decimals.
QVariant moneyValue(Currency value)
{
    return QVariant(value.toDouble());
}

} // namespace

QVariant ReportQueryParameters(const ReportParameters *parameters)
{
    if (!parameters || parameters->isEmpty())
        return {};
    QVariantList values;
    for (int i = 1; i <= parameters->count(); ++i) {
        const clsReportParameter &p = **parameters->item(i);
        if (!p.PassToQuery())
            continue;
        if (p.ParameterType() == clsReportParameter::DateRange) {
            values << dateParameter(asDate(p.Value1()));
            const QDate last = asDate(p.Value2());
            values << dateParameter(last.isValid() && last.year() == 9999 ? last : last.addDays(1));
        } else {
            values << p.Value1();
        }
    }
    return values;
}

int ResolveRowLimit(const QVariant &rowLimit, const ReportParameters *parameters)
{
    auto number = numberOf(rowLimit);
    if (!number && parameters) {
        if (const ReportParameterPtr *p = parameters->item(rowLimit.toString().trimmed()))
            number = numberOf((*p)->Value1());
    }
    if (!number || *number < 0)
        return -1;
    return int(std::llround(*number));
}

ReportDataSetBuilder::ReportDataSetBuilder(
    const ReportDataSetSettings &settings, const clsAnalysis *analysis, ReportProgressFn progress)
    : m_settings(settings)
    , m_analysis(analysis)
    , m_progress(std::move(progress))
{ }

void ReportDataSetBuilder::progress(int message, int row, int rows)
{
    if (m_progress)
        m_progress(GetLangString(message), row / 50, rows / 50);
}

DataResult ReportDataSetBuilder::RunScript(const QString &procedure, RecordsetPtr &table)
{
    const QString name = procedure.isEmpty() ? QStringLiteral("PostProcess") : procedure;
    if (m_settings.scripts.trimmed().isEmpty() || !table)
        return std::nullopt;
    return guarded(m_settings.reportName, [&]() -> DataResult {
        script::Engine engine;
        engine.setStepLimit(ScriptStepLimit);
        engine.compile(m_settings.scripts);
        if (!engine.hasProcedure(name))
            return std::nullopt;
        RecordsetPtr copy = table->CloneStructure();
        script::Variant source = script::makeRecordsetObject(table);
        script::Variant target = script::makeRecordsetObject(copy);
        engine.call(name, { &source, &target });
        // The script may have replaced the second argument with another record set.
        RecordsetPtr result = script::recordsetOf(target);
        if (!result)
            return DataError(dataErrGeneral,
                QStringLiteral("The script of the report \"%1\" left no record set in the second "
                               "argument of %2.")
                    .arg(m_settings.reportName, name));
        table = result;
        return std::nullopt;
    });
}

DataResult ReportDataSetBuilder::Process(RecordsetPtr &table)
{
    const auto hasRows = [&] { return table && table->RecordCount() > 0; };
    if (!hasRows())
        return std::nullopt;
    if (DataResult e = RunScript(QStringLiteral("PreProcess"), table))
        return e;
    return guarded(m_settings.reportName, [&] {
        if (hasRows())
            table = filterAndTransform(table);
        if (hasRows() && !markFirstAndCombine(table)) {
            table = markFirstOccurrences(table);
            if (hasRows())
                table = combineRows(table);
        }
        if (hasRows())
            table = limitAndNumber(table);
        return DataResult();
    });
}

DataResult ReportDataSetBuilder::step(RecordsetPtr &table, Step work)
{
    return guarded(m_settings.reportName, [&] {
        table = (this->*work)(table);
        return DataResult();
    });
}

DataResult ReportDataSetBuilder::FilterAndTransform(RecordsetPtr &table)
{
    return step(table, &ReportDataSetBuilder::filterAndTransform);
}

DataResult ReportDataSetBuilder::MarkFirstOccurrences(RecordsetPtr &table)
{
    return step(table, &ReportDataSetBuilder::markFirstOccurrences);
}

DataResult ReportDataSetBuilder::CombineRows(RecordsetPtr &table)
{
    return step(table, &ReportDataSetBuilder::combineRows);
}

DataResult ReportDataSetBuilder::LimitAndNumber(RecordsetPtr &table)
{
    return step(table, &ReportDataSetBuilder::limitAndNumber);
}

RecordsetPtr ReportDataSetBuilder::filterAndTransform(const RecordsetPtr &table)
{
    const int userField = table->FieldIndex(UserKeyField);
    const int printerField = table->FieldIndex(PrinterKeyField);
    const infGroupManager *users = m_analysis ? m_analysis->UserManager() : nullptr;
    const infGroupManager *printers = m_analysis ? m_analysis->PrinterManager() : nullptr;
    const clsPrinterManager *printerList = m_analysis ? m_analysis->Printers() : nullptr;

    // What each listed column may do to a row, worked out once: most columns (sums, keys of
    // items not grouped) leave every row as it is.
    struct Listed
    {
        int field;
        const clsReportCol *column;
        int code; // replace code 0 to 8, or -1 for a literal
        bool rated; // codes 5 to 8 that apply with these settings
        int pagesField; // codes 7 and 8: the pages the rate multiplies
        QVariant literal; // a literal's value
    };
    QList<Listed> listed;
    bool anyAlways = false, anyByUser = false, anyByPrinter = false, anyByRate = false;
    const int totalPagesField = table->FieldIndex(TotalPagesField);
    if (m_settings.columns) {
        for (int i = 1; i <= m_settings.columns->count(); ++i) {
            const clsReportCol *col = m_settings.columns->item(i)->get();
            const int field = table->FieldIndex(col->FieldName());
            if (field < 0)
                continue;
            const QVariant replace = col->Replace();
            const int code = int(replace.toDouble());
            const bool literal = isTextValue(replace) || double(code) != replace.toDouble()
                || code < 0 || code > 8;
            const bool rated
                = !literal && code >= 5 && (code == 6 || code == 8 || m_settings.useEstCosts);
            const int pagesField = col->ReplaceParam().isEmpty()
                ? totalPagesField
                : table->FieldIndex(col->ReplaceParam());
            const Listed l { field, col, literal ? -1 : code, rated, pagesField, replace };
            // Columns that change no row are not looked at row by row; the others are, on rows
            // whose items can change them.
            const bool groups = m_settings.useGroups;
            const bool always = col->EnumeratedType() != -1 || (l.code == -1 && groups);
            const bool byUser = groups && (field == userField || l.code == 1 || l.code == 4);
            const bool byPrinter = groups && (field == printerField || l.code == 2 || l.code == 3);
            const bool byRate = rated && l.code != 1 && l.code != 2 && l.code != 3 && l.code != 4;
            if (!(always || byUser || byPrinter || byRate))
                continue;
            anyAlways |= always;
            anyByUser |= byUser;
            anyByPrinter |= byPrinter;
            anyByRate |= byRate;
            listed.append(l);
        }
    }
    const int rows = table->RecordCount();
    const QVariant placeholder = GroupPlaceholder;

    // Rows repeat a few thousand users and printers: each key is looked up once.
    struct Found
    {
        GroupItemPtr item, group;
        const clsPrinter *printer = nullptr;
        bool include = true;
        // What its rows' values become, made once: the group's key and name, the rates.
        QVariant groupKey, groupName, rate, rateColor;
    };
    TextNumbers numbers[2];
    std::deque<Found> found[2];
    const auto lookUp
        = [&](int kind, const infGroupManager *manager, const QVariant &key) -> const Found * {
        if (!manager)
            return nullptr;
        const bool isText = isTextValue(key);
        const QString converted = isText ? QString() : key.toString();
        bool added = false;
        const int n = numbers[kind].number(isText ? TextIn(key) : converted, isText, added);
        if (added) {
            Found f;
            GroupItemPtr itsGroup;
            manager->GetItemAndGroup(key, &f.item, &itsGroup);
            if (f.item) {
                f.include = m_settings.useFilters ? f.item->Include() : true;
                if (m_settings.useGroups && itsGroup && itsGroup != manager->Ungrouped()) {
                    f.group = itsGroup;
                    f.groupKey = itsGroup->Key();
                    f.groupName = itsGroup->Name();
                }
                if (kind == 1 && printerList)
                    f.printer = dynamic_cast<const clsPrinter *>(f.item.get());
                if (f.printer) {
                    f.rate = moneyValue(f.printer->EstCost());
                    f.rateColor = moneyValue(f.printer->EstCostColor());
                }
            }
            found[kind].push_back(f);
        }
        const Found &f = found[kind][size_t(n)];
        return f.item ? &f : nullptr;
    };

    // A row's user (printer) is looked up only when some item is left out, or when a column
    // changes by the item's group (rate) and some item is in a group (may have a rate): an
    // analysis without filters or groups leaves every row as the query gave it.
    const auto lookedUp
        = [&](int field, const infGroupManager *manager, bool byGroup, bool byItem) {
              if (field < 0 || !manager)
                  return false;
              if (byItem)
                  return true;
              const GroupItemPtr ungrouped = manager->Ungrouped();
              for (const GroupItemPtr &item : manager->Items()) {
                  if ((m_settings.useFilters && !item->Include())
                      || (byGroup && (!ungrouped || item->Number() != ungrouped->Number())))
                      return true;
              }
              return false;
          };
    const bool lookUsers = lookedUp(userField, users, anyByUser, false);
    const bool lookPrinters = lookedUp(printerField, printers, anyByPrinter, anyByRate);
    // Nothing to change: the rows stay as they are, in the order they are stored.
    if (!lookUsers && !lookPrinters && !anyAlways && table->Sort().isEmpty()) {
        progress(843, rows, rows);
        return table;
    }

    // The step owns the table when nobody else holds it: its rows then change in place, where a
    // new table would hold a new copy of every row.
    RecordsetPtr out = table.use_count() == 1 ? table : table->Copy();
    int r = 0;
    out->RewriteRows([&](Recordset::RowRef values) {
        if (r % 50 == 0)
            progress(843, r, rows);
        ++r;
        const Found *user = lookUsers ? lookUp(0, users, values.at(userField)) : nullptr;
        if (user && !user->include)
            return false;
        const Found *printer
            = lookPrinters ? lookUp(1, printers, values.at(printerField)) : nullptr;
        if (printer && !printer->include)
            return false;
        const auto *userGroup = user ? user->group.get() : nullptr;
        const auto *printerGroup = printer ? printer->group.get() : nullptr;
        const clsPrinter *printerItem = printer ? printer->printer : nullptr;
        if (!(anyAlways || (anyByUser && userGroup) || (anyByPrinter && printerGroup)
                || (anyByRate && printerItem)))
            return true;

        for (const Listed &l : std::as_const(listed)) {
            const clsReportCol &col = *l.column;
            const bool groups = m_settings.useGroups;
            const bool groupKey = groups
                && ((l.field == userField && userGroup)
                    || (l.field == printerField && printerGroup));
            // A value that does not depend on the row's own is written as made once.
            const QVariant *made = nullptr;
            switch (l.code) {
            case -1:
                if (groups)
                    made = &l.literal;
                break;
            case 1:
                if (groups && userGroup)
                    made = &user->groupName;
                break;
            case 2:
                if (groups && printerGroup)
                    made = &printer->groupName;
                break;
            case 3:
                if (groups && printerGroup)
                    made = &placeholder;
                break;
            case 4:
                if (groups && userGroup)
                    made = &placeholder;
                break;
            case 5:
            case 6:
                // Rows whose printer is not in the lists have no rate: their value stays.
                if (l.rated && printerItem)
                    made = col.ReplaceColor() ? &printer->rateColor : &printer->rate;
                break;
            case 7:
            case 8:
                if (l.rated && printerItem) {
                    const Currency rate
                        = col.ReplaceColor() ? printerItem->EstCostColor() : printerItem->EstCost();
                    const QVariant pages = l.pagesField >= 0 ? values.at(l.pagesField) : QVariant();
                    bool ok = true;
                    const Currency cost = rate.mul(Currency::fromDouble(pages.toDouble()), &ok);
                    values[l.field]
                        = ok ? moneyValue(cost) : QVariant(rate.toDouble() * pages.toDouble());
                    continue;
                }
                break;
            default:
                break;
            }
            if (made) {
                values[l.field] = *made;
                continue;
            }
            if (!groupKey && col.EnumeratedType() == -1)
                continue;
            QVariant value = groupKey ? (l.field == userField ? user->groupKey : printer->groupKey)
                                      : values.at(l.field);
            if (col.EnumeratedType() != -1 && !value.isNull() && value.isValid())
                value = EnumerationText::Text(col.EnumeratedType(), qint16(value.toInt()));
            // Written back only when changed: most values stay as they are.
            if (!(value == values.at(l.field)) || value.typeId() != values.at(l.field).typeId())
                values[l.field] = value;
        }
        return true;
    });
    progress(843, rows, rows);
    return out;
}

RecordsetPtr ReportDataSetBuilder::markFirstOccurrences(const RecordsetPtr &table)
{
    if (!m_settings.columns)
        return table;
    for (int i = 1; i <= m_settings.columns->count(); ++i) {
        const clsReportCol &col = **m_settings.columns->item(i);
        if (col.Action() != clsReportCol::ActionFirstOfValue)
            continue;
        const int field = table->FieldIndex(col.FieldName());
        const int by = table->FieldIndex(col.ActionParam());
        if (field < 0 || by < 0)
            continue;
        std::vector<bool> first;
        if (markFirstInOrder(*table, by, first)) {
            writeMarks(*table, field, first);
            continue;
        }
        std::vector<bool> startsRun;
        table->SetSort(QStringLiteral("[%1] ASC").arg(col.ActionParam()), startsRun);
        const int rows = table->RecordCount();
        // Marked once every row is read: the marked field may be the one compared. Two texts
        // differ as the sort found them, without regard to case as sameText compares them; any
        // other pair (a Null reads as an empty text) is compared again.
        first.assign(static_cast<size_t>(rows), false);
        for (int r = 0; r < rows; ++r) {
            if (r == 0) {
                first[0] = true;
                continue;
            }
            const QVariant &value = table->CellAt(r, by), &before = table->CellAt(r - 1, by);
            first[size_t(r)] = isTextValue(value) && isTextValue(before)
                ? bool(startsRun[size_t(r)])
                : !sameText(value, before);
        }
        writeMarks(*table, field, first);
    }
    return table;
}

void ReportDataSetBuilder::writeMarks(Recordset &table, int field, const std::vector<bool> &first)
{
    const int rows = table.RecordCount();
    const QVariant one(1), zero(0);
    const auto counted = [&](const QVariant &v) {
        if (!m_settings.countsFromQuery)
            return false;
        const int type = v.typeId();
        return (type == QMetaType::Int || type == QMetaType::LongLong) && v.toLongLong() > 1;
    };
    for (int r = 0; r < rows; ++r) {
        if (r % 50 == 0)
            progress(846, r, rows);
        if (!first[size_t(r)])
            table.SetValueAt(r, field, zero);
        else if (!counted(table.CellAt(r, field)))
            table.SetValueAt(r, field, one);
    }
}

ReportDataSetBuilder::Combining ReportDataSetBuilder::combining(const Recordset &table) const
{
    Combining c;
    if (m_settings.columns) {
        for (int i = 1; i <= m_settings.columns->count(); ++i) {
            const clsReportCol &col = **m_settings.columns->item(i);
            const int field = table.FieldIndex(col.FieldName());
            if (field < 0)
                continue;
            switch (col.Action()) {
            case clsReportCol::ActionKey:
                c.keyFields.append(field);
                c.sortKeys.append(QStringLiteral("[%1] ASC").arg(col.FieldName()));
                break;
            case clsReportCol::ActionSum:
            case clsReportCol::ActionFirstOfValue:
            case clsReportCol::ActionMin:
            case clsReportCol::ActionMax:
                c.listed.append({ field, col.Action() });
                break;
            default:
                break;
            }
        }
    }
    return c;
}

bool ReportDataSetBuilder::markFirstAndCombine(RecordsetPtr &table)
{
    // Marking sorts the whole table by the compared texts only so that the combining step sees
    // each group's rows in their order. With one marked column over ASCII texts or whole
    // numbers, and combined values that come out alike in any order, the first of each value is
    // found by hashing and each group's leading row by its value instead: the same table,
    // without that sort.
    if (!m_settings.columns)
        return false;
    int field = -1, by = -1, marked = 0;
    for (int i = 1; i <= m_settings.columns->count(); ++i) {
        const clsReportCol &col = **m_settings.columns->item(i);
        if (col.Action() != clsReportCol::ActionFirstOfValue)
            continue;
        field = table->FieldIndex(col.FieldName());
        by = table->FieldIndex(col.ActionParam());
        if (field >= 0 && by >= 0)
            ++marked;
    }
    if (marked != 1 || field < 0 || by < 0 || field == by)
        return false;
    const Combining c = combining(*table);
    if (!c.keyFields.isEmpty()) {
        // A column of reals (averages) rules it out at its first row: no column is read whole
        // before that is known.
        const auto whole = [&](const Combining::Listed &l) {
            const int type = ValueTypeId(table->CellAt(0, l.field));
            return l.field == field || type == QMetaType::Int || type == QMetaType::LongLong;
        };
        if (!std::all_of(c.listed.begin(), c.listed.end(), whole))
            return false;
        for (const Combining::Listed &l : c.listed)
            if (l.field != field && !combinesInAnyOrder(*table, l.field))
                return false;
        for (int k : c.keyFields)
            if (!keysOfOneKind(*table, k))
                return false;
    }
    std::vector<bool> first;
    FoldedTexts texts;
    if (keysOfOneKind(*table, by) && !isTextValue(table->CellAt(0, by)))
        markFirstNumbers(*table, by, first);
    else if (!markFirstTexts(*table, by, first, texts))
        return false;
    writeMarks(*table, field, first);
    table = combineRowsBy(table, c.keyFields.isEmpty() ? -1 : by, texts.empty() ? nullptr : &texts);
    return true;
}

RecordsetPtr ReportDataSetBuilder::combineRows(const RecordsetPtr &table)
{
    return combineRowsBy(table, -1, nullptr);
}

RecordsetPtr ReportDataSetBuilder::combineRowsBy(
    const RecordsetPtr &table, int firstBy, const FoldedTexts *folded)
{
    // Only the columns that combine are read past each group's first row.
    const Combining c = combining(*table);
    const QList<Combining::Listed> &listed = c.listed;
    const QList<int> &keyFields = c.keyFields;
    const QString sortKeys = c.sortKeys.join(QStringLiteral(", "));
    // Rows come in any order (by day, or by user while groups merge users): each is added to
    // its group's row as it comes rather than after sorting every row by the keys, which walked
    // the whole table out of order. A group's rows come in the order the sort keeps them in.
    std::vector<int> groupOf;
    int groups = 0;
    const bool hashed = !keyFields.isEmpty() && groupByKeys(*table, keyFields, groupOf, groups);
    if (!hashed)
        table->SetSort(sortKeys);
    // The marked texts, folded in the rows' order, decide which row leads without reading the
    // rows' own texts again, scattered as they are; only while that order stays.
    if (!hashed || firstBy < 0)
        folded = nullptr;
    std::vector<size_t> leaderAt(folded ? size_t(groups) : 0);
    // With `firstBy`, the row that leads a group is the one whose text there sorts first: its
    // columns that do not combine are swapped into the group's kept row.
    QList<int> leading;
    if (firstBy >= 0) {
        for (int f = 0; f < table->FieldCount(); ++f)
            if (std::none_of(listed.begin(), listed.end(),
                    [&](const Combining::Listed &l) { return l.field == f; }))
                leading.append(f);
    }

    // Each group's rows merge into its first row, in place when the step owns the table (as
    // filterAndTransform does).
    RecordsetPtr out = table.use_count() == 1 ? table : table->Copy();
    const int rows = table->RecordCount();
    std::optional<Recordset::RowRef> last;
    std::vector<std::optional<Recordset::RowRef>> groupRows(static_cast<size_t>(groups));
    // Hashed groups add up in one small block, a group's listed values side by side, and go
    // back into their rows at the end: added into the rows themselves, spread over columns as
    // long as the table, nearly every addition waited on memory.
    const size_t width = size_t(listed.size());
    std::vector<QVariant> sums(hashed ? size_t(groups) * width : 0);
    int r = 0;
    out->RewriteRows([&](Recordset::RowRef row) {
        if (r % 50 == 0)
            progress(847, r, rows);
        const size_t at = size_t(r++);
        const size_t group = hashed ? size_t(groupOf[at]) : 0;
        std::optional<Recordset::RowRef> &current = hashed ? groupRows[group] : last;
        bool startsNew = !current;
        if (!startsNew && !hashed) {
            for (int f : std::as_const(keyFields)) {
                if (!sameKey(current->at(f), row.at(f))) {
                    startsNew = true;
                    break;
                }
            }
        }
        if (startsNew) {
            current = row;
            if (folded)
                leaderAt[group] = at;
            if (hashed)
                for (size_t i = 0; i < width; ++i)
                    sums[group * width + i] = row.at(listed[qsizetype(i)].field);
            return true;
        }
        if (firstBy >= 0
            && (folded ? folded->before(at, leaderAt[group])
                       : sortsBefore(row.at(firstBy), current->at(firstBy)))) {
            for (int f : std::as_const(leading))
                (*current)[f].swap(row[f]);
            if (folded)
                leaderAt[group] = at;
        }
        for (size_t i = 0; i < width; ++i) {
            const Combining::Listed &l = listed[qsizetype(i)];
            const QVariant &value = row.at(l.field);
            QVariant &into = hashed ? sums[group * width + i] : (*current)[l.field];
            switch (l.action) {
            case clsReportCol::ActionSum:
            case clsReportCol::ActionFirstOfValue:
                addInto(into, value);
                break;
            case clsReportCol::ActionMin:
                if (!IsNullValue(value) && (IsNullValue(into) || CompareValues(value, into) < 0))
                    into = value;
                break;
            case clsReportCol::ActionMax:
                if (!IsNullValue(value) && (IsNullValue(into) || CompareValues(value, into) > 0))
                    into = value;
                break;
            default:
                break;
            }
        }
        return false;
    });
    if (hashed) {
        // The kept rows are the groups' first rows, in the order the groups were numbered.
        size_t group = 0;
        out->RewriteRows([&](Recordset::RowRef row) {
            for (size_t i = 0; i < width; ++i)
                row[listed[qsizetype(i)].field].swap(sums[group * width + i]);
            ++group;
            return true;
        });
        // The groups in their keys' order, as the sort would have left them, which then becomes
        // their stored order too.
        out->SetSort(sortKeys);
        out->RewriteRows([](Recordset::RowRef) { return true; });
    }
    progress(847, rows, rows);
    return out;
}

RecordsetPtr ReportDataSetBuilder::limitAndNumber(const RecordsetPtr &table)
{
    table->SetSort(m_settings.sort);
    table->MoveFirst();
    struct Bucket
    {
        int field;
        int size;
    };
    QList<Bucket> buckets;
    if (m_settings.columns) {
        for (int i = 1; i <= m_settings.columns->count(); ++i) {
            const clsReportCol &col = **m_settings.columns->item(i);
            if (col.Action() != clsReportCol::ActionBucket)
                continue;
            const int field = table->FieldIndex(col.FieldName());
            if (field < 0)
                continue;
            int size = ResolveRowLimit(col.ActionParam(), m_settings.parameters);
            buckets.append({ field, size > 0 ? size : 1 });
        }
    }
    const int limit = m_settings.rowLimit;
    if (limit < 0 && buckets.isEmpty())
        return table;

    const int rows = table->RecordCount();
    const int message = limit >= 0 ? 844 : 845;
    RecordsetPtr out = limit >= 0 ? table->CloneStructure() : table;
    int r = 1;
    for (table->MoveFirst(); !table->Eof(); table->MoveNext(), ++r) {
        if (limit >= 0 && r > limit)
            break;
        if ((r - 1) % 50 == 0)
            progress(message, r - 1, rows);
        if (limit >= 0) {
            QVariantList values;
            values.reserve(table->FieldCount());
            for (int f = 0; f < table->FieldCount(); ++f)
                values.append(table->Value(f));
            for (const Bucket &b : std::as_const(buckets))
                values[b.field] = r / b.size + (r % b.size ? 1 : 0);
            out->AppendRow(std::move(values));
        } else {
            for (const Bucket &b : std::as_const(buckets))
                table->SetValue(b.field, r / b.size + (r % b.size ? 1 : 0));
        }
        if (limit >= 0 && r == limit)
            break;
    }
    out->MoveFirst();
    return out;
}

int clsReport::ResolvedRowLimit() const
{
    return ResolveRowLimit(m_def.rowLimit, m_def.parameters.get());
}

DataResult clsReport::BuildReportDataSet(
    clsAnalysis *analysis, DataConnection &connection, const RecordsetPtr &parentData)
{
    m_analysis = analysis;
    ReportDataSetSettings settings;
    settings.reportName = Caption().isEmpty() ? Name() : Caption();
    settings.scripts = m_def.scripts;
    settings.rowLimit = ResolvedRowLimit();
    settings.sort = m_def.sort;
    settings.columns = &m_def.columns;
    settings.parameters = m_def.parameters.get();
    settings.useGroups = UseGroups();
    settings.useFilters = UseFilters();
    settings.useEstCosts = UseEstCosts();
    const ReportProgressFn progress = [this](const QString &text, int position, int maximum) {
        emit UpdateProgress(text, position, maximum);
    };

    if (parentData) {
        RecordsetPtr table = parentData;
        const DataResult e
            = ReportDataSetBuilder(settings, analysis, progress).RunScript(QString(), table);
        m_reportData = table;
        return e;
    }

    emit UpdateProgress(GetLangString(848), 0, 0);
    const QVariant params = ReportQueryParameters(settings.parameters);
    // Rows the steps below would combine anyway need not all cross one by one, and while they
    // look nobody up the query may hand over the company's totals.
    bool printersApart = false;
    const std::optional<RowFolding> folding
        = m_combineInDatabase ? FoldingRows(settings, analysis, &printersApart) : std::nullopt;
    const auto mentions = [&](const char *value) {
        return m_def.reportSQL.contains(QLatin1String(ReportRowsSetting))
            && m_def.reportSQL.contains(
                QLatin1Char('\'') + QLatin1String(value) + QLatin1Char('\''));
    };
    // The company's totals hold the rows of anyone left out too; a query that can leave them
    // out itself is told whom.
    const bool totals = folding && folding->leftOut.isEmpty();
    const bool filtered = folding && !totals && !printersApart && mentions(ReportRowsFiltered);
    const QLatin1String rowsSetting(printersApart ? ReportRowsPrinters
            : filtered                            ? ReportRowsFiltered
                                                  : ReportRowsCompany);
    DataResult error = connection.SetSessionSetting(
        QLatin1String(ReportRowsSetting), totals || filtered ? rowsSetting : QLatin1String());
    for (const bool printers : { false, true }) {
        if (!error)
            error = connection.SetSessionSetting(
                QLatin1String(printers ? LeftOutPrintersSetting : LeftOutUsersSetting),
                filtered ? LeftOutKeys(*folding, printers) : QString());
    }
    // A query that reads the company's totals then hands over rows merged as far as they go:
    // merging them again in the database cost the server a sort of every row and shrank little.
    const bool companyRows = (totals || filtered) && mentions(rowsSetting.data());
    settings.countsFromQuery = companyRows;
    ReportDataSetBuilder builder(settings, analysis, progress);
    RecordsetPtr table = m_combineInDatabase && !companyRows && !error
        ? RunCombinedInDatabase(connection, m_def.reportSQL, params, settings, analysis)
        : nullptr;
    if (!table && !error)
        error = connection.ReportSQL(m_def.reportSQL, params, table, folding ? &*folding : nullptr);
    const auto hasRows = [&] { return !error && table && table->RecordCount() > 0; };
    if (hasRows())
        error = builder.Process(table);
    if (hasRows()) {
        for (int i = 1; i <= m_def.subReports.count(); ++i) {
            table->MoveFirst();
            clsReport &sub = **m_def.subReports.item(i);
            sub.SetUseGroups(UseGroups());
            sub.SetUseFilters(UseFilters());
            sub.SetUseEstCosts(UseEstCosts());
            if (DataResult e = sub.BuildReportDataSet(analysis, connection, table)) {
                error = e;
                break;
            }
        }
    }
    if (hasRows()) {
        error = guarded(settings.reportName, [&] {
            table->SetSort(m_def.sort);
            table->MoveFirst();
            return DataResult();
        });
    }
    m_reportData = table;
    return error;
}

} // namespace kv6
