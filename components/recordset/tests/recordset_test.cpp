#include "recordset/fieldvalue.h"
#include "recordset/recordset.h"

#include <QDateTime>

#include <ctime>
#include <functional>
#include <numeric>
#include <optional>

#include <gtest/gtest.h>

using namespace kv6;

namespace {

RecordsetPtr membership()
{
    auto rs = Recordset::Create();
    rs->AppendField("ObjectId", adInteger);
    rs->AppendField("OwnerId", adInteger);
    rs->AppendField("GroupName", adVarWChar, 50);
    rs->Open();
    rs->AppendRow({ 12, 1, "floor 2" });
    rs->AppendRow({ 7, 3, "Sales" });
    rs->AppendRow({ 12, 5, "accounts" });
    rs->AppendRow({ 7, 3, "admin" });
    rs->AppendRow({ 12, 5, "Accounts" });
    return rs;
}

// An open record set with the given fields and no rows.
RecordsetPtr withFields(std::initializer_list<std::pair<const char *, int>> fields)
{
    auto rs = Recordset::Create();
    for (const auto &[name, type] : fields)
        rs->AppendField(name, type);
    rs->Open();
    return rs;
}

QStringList column(Recordset &rs, const QString &field)
{
    QStringList out;
    for (rs.MoveFirst(); !rs.Eof(); rs.MoveNext())
        out << rs.Value(field).toString();
    return out;
}

// The "Row" numbers in cursor order: where each stored row went.
QList<int> rowNumbers(Recordset &rs)
{
    QList<int> out;
    for (rs.MoveFirst(); !rs.Eof(); rs.MoveNext())
        out << rs.Value("Row").toInt();
    return out;
}

// 0 to n - 1 in the order a stable sort by `less` gives them.
template<typename Less>
QList<int> stableOrder(qsizetype n, Less less)
{
    QList<int> order(n);
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(), less);
    return order;
}

} // namespace

// Texts order as their case folding does: ASCII punctuation between the cases stays below
// letters, and a column with accented texts orders them after plain ones, ties kept in order.
TEST(Recordset, SortOrdersTextsByTheirFoldedForms)
{
    const struct
    {
        QStringList rows, ascending;
    } cases[] = {
        { { "_b", "B", "a", "b", "[", "A" }, { "[", "_b", "a", "A", "B", "b" } },
        { { "\u00C9clair", "zebra", "Zebra", "\u00E9clair", "Apple", "\u00C9CLAIR" },
            { "Apple", "zebra", "Zebra", "\u00C9clair", "\u00E9clair", "\u00C9CLAIR" } },
    };
    for (const auto &c : cases) {
        auto rs = withFields({ { "T", adVarWChar } });
        for (const QString &t : c.rows)
            rs->AppendRow({ t });
        rs->SetSort("T");
        EXPECT_EQ(column(*rs, "T"), c.ascending);
    }
}

// Large columns are ranked by looking repeated texts up (found again by the copy rows share) or,
// when most are distinct, row by row; both must order as a plain stable sort by folded text.
TEST(Recordset, SortOfLargeColumnsMatchesAStableSortByFoldedText)
{
    for (const int distinct : { 40, 5000 }) {
        QStringList pool;
        for (int i = 0; i < distinct; ++i)
            pool << (i % 3 == 0 ? QStringLiteral("Name%1") : QStringLiteral("nAME%1"))
                        .arg(i % (distinct * 9 / 10));
        auto rs = withFields({ { "T", adVarWChar }, { "Row", adInteger } });
        QList<QVariant> values;
        for (int r = 0; r < 6000; ++r) {
            const QString &shared = pool.at((r * 7919) % distinct);
            // Shared copies, separate copies of the same text, numbers and Nulls.
            const QVariant v = r % 50 == 0 ? QVariant()
                : r % 31 == 0              ? QVariant(r % 7)
                : r % 2                    ? QVariant(shared)
                                           : QVariant(QString(shared.constData(), shared.size()));
            values << v;
            rs->AppendRow({ v, r });
        }
        const auto byFoldedText = [&](int a, int b) {
            const QVariant &x = values.at(a), &y = values.at(b);
            if (x.isNull() || y.isNull())
                return x.isNull() && !y.isNull();
            return x.toString().toLower() < y.toString().toLower();
        };
        rs->SetSort("T");
        EXPECT_EQ(rowNumbers(*rs), stableOrder(values.size(), byFoldedText))
            << distinct << " distinct texts";
    }
}

// A sort after another orders alike keys as the first sort left them, however the rows are
// stored; it tells where its keys change; rows kept, found, copied or deleted afterwards are the
// ones at their sorted places.
TEST(Recordset, SortsFollowOneAnotherAndTellWhereTheirKeysChange)
{
    auto rs = withFields({ { "T", adVarWChar }, { "N", adInteger }, { "Row", adInteger } });
    QList<QString> texts;
    for (int r = 0; r < 3000; ++r) {
        // Mostly distinct texts, some alike but for case; a user's texts share their first
        // bytes and come in two stretches of rows, a few run past the first 24 bytes.
        const int k = (r * 7919) % 2500;
        texts << (r % 2 == r / 2500 ? QStringLiteral("User%1/Day%2")
                                    : QStringLiteral("uSER%1/dAY%2"))
                     .arg((r % 2500) / 250)
                     .arg(k)
                + (k % 5 ? QString() : QStringLiteral("/and a tail past the first words"));
        rs->AppendRow({ texts.last(), r % 7, r });
    }
    const auto byText = [&](int a, int b) { return texts.at(a).toLower() < texts.at(b).toLower(); };
    rs->SetSort("T");
    ASSERT_EQ(rowNumbers(*rs), stableOrder(texts.size(), byText));
    std::vector<bool> startsRun;
    rs->SetSort("N DESC");
    rs->SetSort("T", startsRun);
    QList<int> expected = stableOrder(texts.size(), [](int a, int b) { return a % 7 > b % 7; });
    std::stable_sort(expected.begin(), expected.end(), byText);
    ASSERT_EQ(rowNumbers(*rs), expected);
    ASSERT_EQ(startsRun.size(), size_t(expected.size()));
    for (qsizetype i = 0; i < expected.size(); ++i)
        EXPECT_EQ(startsRun[size_t(i)],
            i == 0 || texts.at(expected[i]).toLower() != texts.at(expected[i - 1]).toLower())
            << i;
    rs->SetSort("N, Row DESC", startsRun);
    EXPECT_EQ(std::count(startsRun.begin(), startsRun.end(), true), 3000);

    rs->SetSort("N DESC");
    rs->SetSort("T");
    const auto copy = rs->Copy();
    rs->SetAbsolutePosition(100);
    ASSERT_TRUE(rs->Find(QStringLiteral("Row = %1").arg(expected[200])));
    EXPECT_EQ(rs->AbsolutePosition(), 201);
    rs->Delete();
    expected.removeAt(200);
    rs->SetSort("N DESC");
    rs->SetSort("T");
    int seen = 0;
    rs->RewriteRows([&](Recordset::RowRef row) {
        EXPECT_EQ(row.at(2).toInt(), expected[seen]) << seen;
        return seen++ % 3 == 0;
    });
    ASSERT_EQ(rs->RecordCount(), 1000);
    for (int r = 0; r < rs->RecordCount(); ++r)
        EXPECT_EQ(rs->ValueAt(r, 2).toInt(), expected[r * 3]) << r;
    rs->AppendRow({ "a", 0, -1 });
    EXPECT_EQ(rs->ValueAt(1000, 2).toInt(), -1);
    EXPECT_EQ(copy->RecordCount(), 3000);
    EXPECT_EQ(copy->ValueAt(2999, 0).toString().toLower(), texts.at(expected.last()).toLower());
}

// A step rewrites rows in place: dropped rows go, a kept row may take in the rows after it, and
// the result's order is its insertion order; a copy's rewrite leaves the original alone.
TEST(Recordset, RewriteRowsKeepsMergesAndRenumbers)
{
    auto original = membership();
    original->SetSort("GroupName");
    auto rs = original->Copy();
    std::optional<Recordset::RowRef> group;
    rs->RewriteRows([&](Recordset::RowRef row) {
        if (row.at(1).toInt() == 1)
            return false;
        if (group && group->at(0) == row.at(0)) {
            (*group)[1] = group->at(1).toInt() + row.at(1).toInt();
            return false;
        }
        group = row;
        return true;
    });
    // "Sales" joins "admin" across the dropped "floor 2".
    EXPECT_EQ(column(*rs, "OwnerId"), QStringList({ "10", "6" }));
    rs->SetSort("");
    EXPECT_EQ(column(*rs, "GroupName"), QStringList({ "accounts", "admin" }));
    EXPECT_EQ(column(*original, "OwnerId"), QStringList({ "5", "5", "3", "1", "3" }));
}

// Keys of wide ranges, one descending, with many ties: the order a stable sort key by key gives.
TEST(Recordset, SortByWideNumberKeysMatchesAStableSort)
{
    auto rs = withFields({ { "A", adInteger }, { "B", adBigInt }, { "Row", adInteger } });
    QList<std::pair<int, qint64>> keys;
    for (int r = 0; r < 5000; ++r) {
        keys.append(
            { (r * 7919) % 3001, qint64((r * 31) % 5) * 4'000'000'000LL - 9'000'000'000LL });
        rs->AppendRow({ keys.back().first, keys.back().second, r });
    }
    rs->SetSort("A ASC, B DESC");
    EXPECT_EQ(rowNumbers(*rs), stableOrder(keys.size(), [&](int x, int y) {
        return keys[x].first != keys[y].first ? keys[x].first < keys[y].first
                                              : keys[x].second > keys[y].second;
    }));
}

TEST(Recordset, SortPutsNullsFirstAndComparesNumbersAndDatesByValue)
{
    auto rs = withFields({ { "Pages", adDouble }, { "When", adDBTimeStamp } });
    const QDateTime t(QDate(2026, 3, 1), QTime(9, 0));
    rs->AppendRow({ 10.5, t.addDays(2) });
    rs->AppendRow({ QVariant(), t });
    rs->AppendRow({ 9, QVariant() });
    rs->AppendRow({ 100, t.addDays(-1) });
    rs->SetSort("Pages");
    EXPECT_EQ(column(*rs, "Pages"), QStringList({ "", "9", "10.5", "100" }));
    rs->SetSort("[When] desc"); // a bracketed name, the direction in any case
    EXPECT_EQ(column(*rs, "Pages"), QStringList({ "10.5", "", "100", "9" }));
}

// Dates and times sort by their instants as CompareValues orders them, in a zone with summer
// time: local times on either side of a change (and within its repeated hour), times in UTC and
// plain dates in one column, with and without a day on which the offset changes.
TEST(Recordset, SortOrdersLocalTimesByTheirInstantsAcrossSummerTime)
{
    const QByteArray zone = qgetenv("TZ");
    qputenv("TZ", "Europe/Berlin");
    tzset();
    QList<QVariant> steady;
    for (int d = 0; d < 365; d += 3) {
        const QDate day = QDate(2026, 1, 1).addDays(d);
        if (day == QDate(2026, 3, 29) || day == QDate(2026, 10, 25))
            continue;
        steady << QDateTime(day, QTime((d * 7) % 24, (d * 13) % 60))
               << QDateTime(day.addDays(-1), QTime(23, 15), Qt::UTC) << day
               << QDateTime(day, QTime(0, 30));
    }
    steady << QVariant() << QTime(8, 0);
    QList<QVariant> changing = steady;
    const QDateTime repeated(QDate(2026, 10, 25), QTime(2, 30));
    changing << repeated << repeated.addSecs(3600) << repeated.addSecs(-1800)
             << QDateTime(QDate(2026, 10, 25), QTime(0, 50), Qt::UTC)
             << QDateTime(QDate(2026, 3, 29), QTime(3, 10));
    for (const QList<QVariant> *values : { &steady, &changing }) {
        SCOPED_TRACE(values == &steady ? "steady days" : "with days the offset changes");
        auto rs = withFields({ { "When", adDBTimeStamp }, { "Row", adInteger } });
        // Stored backwards, so that the sort has work to do.
        for (qsizetype r = values->size() - 1; r >= 0; --r)
            rs->AppendRow({ values->at(r), int(r) });
        for (const bool descending : { false, true }) {
            // Alike instants keep their stored order either way.
            QList<int> expected;
            for (qsizetype r = values->size() - 1; r >= 0; --r)
                expected << int(r);
            std::stable_sort(expected.begin(), expected.end(), [&](int a, int b) {
                const int c = CompareValues(values->at(a), values->at(b));
                return descending ? c > 0 : c < 0;
            });
            rs->SetSort(descending ? "When DESC" : "When");
            EXPECT_EQ(rowNumbers(*rs), expected) << descending;
        }
    }
    zone.isNull() ? qunsetenv("TZ") : qputenv("TZ", zone);
    tzset();
}

TEST(Recordset, TheSameSortAgainSeesRowsChangedOrAddedSinceAndMixedValues)
{
    auto rs = membership();
    rs->SetSort("GroupName DESC");
    rs->SetValue("GroupName", "aardvark"); // was "Sales", the first row
    rs->SetSort("GroupName DESC");
    EXPECT_EQ(column(*rs, "GroupName"),
        QStringList({ "floor 2", "admin", "accounts", "Accounts", "aardvark" }));
    rs->AppendRow({ 1, 1, "zoo" });
    rs->SetSort("GroupName DESC");
    EXPECT_EQ(column(*rs, "GroupName").first(), "zoo");

    // Whole numbers beyond a double's precision, reals, then a text among numbers.
    auto mixed = withFields({ { "V", adVariant } });
    for (const QVariant &v : { QVariant(qint64(9007199254740992)), QVariant(2.5),
             QVariant(qint64(9007199254740993)), QVariant(), QVariant(2) })
        mixed->AppendRow({ v });
    mixed->SetSort("V DESC");
    EXPECT_EQ(column(*mixed, "V"),
        QStringList({ "9007199254740993", "9007199254740992", "2.5", "2", "" }));
    mixed->AppendRow({ QStringLiteral("1.5") });
    mixed->SetSort("V");
    EXPECT_EQ(column(*mixed, "V"),
        QStringList({ "", "1.5", "2", "2.5", "9007199254740992", "9007199254740993" }));
}

TEST(Recordset, AddNewAssignsFieldsAndCancelRemovesTheRow)
{
    auto src = membership();
    auto dst = src->CloneStructure();
    // A structure without rows: the sizes come along, and no row means no bookmark.
    EXPECT_EQ(dst->FieldAt(2).definedSize, 50);
    EXPECT_EQ(dst->Bookmark(), QVariant());
    for (src->MoveFirst(); !src->Eof(); src->MoveNext()) {
        if (src->Value("OwnerId").toInt() != 5)
            continue;
        dst->AddNew();
        EXPECT_TRUE(dst->EditMode());
        dst->GetField("ObjectId").SetValue(src->Value("ObjectId"));
        dst->SetValue("GroupName", src->Value("GroupName").toString().toUpper());
        dst->Update();
    }
    ASSERT_EQ(dst->RecordCount(), 2);
    dst->MoveFirst();
    EXPECT_EQ(dst->Value("GroupName").toString(), "ACCOUNTS");
    EXPECT_FALSE(dst->Value("OwnerId").isValid()) << "unassigned fields are Null";
    dst->AddNew();
    dst->CancelUpdate();
    EXPECT_EQ(dst->RecordCount(), 2);
    dst->MoveFirst();
    dst->Delete();
    EXPECT_EQ(dst->RecordCount(), 1);
    EXPECT_EQ(dst->Value("ObjectId").toInt(), 12);

    auto copy = src->Copy();
    src->Close();
    EXPECT_FALSE(src->IsOpen());
    EXPECT_EQ(copy->RecordCount(), 5);
    EXPECT_THROW(copy->AppendRow({ 1 }), RecordsetError);
}

TEST(Recordset, FailuresCarryAdoErrorNumbers)
{
    // Script hosts pass these numbers on, and ADO code tests for them.
    auto closed = membership();
    closed->Close();
    auto atEnd = membership();
    atEnd->MoveLast();
    atEnd->MoveNext();
    auto open = membership();
    struct Row
    {
        const char *what;
        std::function<void()> fail;
        int number;
    };
    const Row rows[] = {
        { "closed", [&] { closed->MoveFirst(); }, adErrObjectClosed },
        { "value at EOF", [&] { atEnd->Value(0); }, adErrNoCurrentRecord },
        { "MoveNext at EOF", [&] { atEnd->MoveNext(); }, adErrNoCurrentRecord },
        { "unknown name", [&] { open->Value("Nope"); }, adErrItemNotFound },
        { "ordinal", [&] { open->GetField(3); }, adErrItemNotFound },
        { "sort field", [&] { open->SetSort("Nope DESC"); }, adErrItemNotFound },
        { "criteria", [&] { open->Find("ObjectId ~ 3"); }, adErrInvalidArgument },
        { "position", [&] { open->SetAbsolutePosition(0); }, adErrInvalidArgument },
        { "bookmark", [&] { open->SetBookmark(QStringLiteral("x")); }, adErrInvalidArgument },
        { "append when open", [&] { open->AppendField("Late", adInteger); }, adErrObjectOpen },
        { "same name", [&] { closed->AppendField("objectid", adInteger); },
            adErrObjectInCollection },
    };
    for (const Row &r : rows) {
        try {
            r.fail();
            ADD_FAILURE() << r.what << ": no error";
        } catch (const RecordsetError &e) {
            EXPECT_EQ(e.number(), r.number) << r.what;
        }
    }
}

TEST(Recordset, FieldValueReplacesNullByTheFieldsType)
{
    auto rs = Recordset::Create();
    const QList<int> types = { adDBTimeStamp, adVariant, adVarWChar, adChar, adBoolean, adInteger,
        adCurrency, adDouble };
    for (int i = 0; i < types.size(); ++i)
        rs->AppendField(QStringLiteral("f%1").arg(i), types[i]);
    rs->Open();
    rs->AddNew();
    rs->Update();
    auto nullOf = [&](int i, std::optional<int> wanted = std::nullopt) {
        return FieldValue(rs->GetField(i), wanted);
    };
    EXPECT_FALSE(nullOf(0).isValid()) << "dates stay Null";
    EXPECT_FALSE(nullOf(1).isValid()) << "variants stay Null";
    EXPECT_EQ(nullOf(2).typeId(), QMetaType::QString);
    EXPECT_EQ(nullOf(3).toString(), QString());
    EXPECT_EQ(nullOf(4).typeId(), QMetaType::Bool);
    EXPECT_FALSE(nullOf(4).toBool());
    for (int i = 5; i < types.size(); ++i) {
        EXPECT_EQ(nullOf(i).typeId(), QMetaType::Short) << "type " << types[i];
        EXPECT_EQ(nullOf(i).toInt(), 0);
    }
    // A wanted type overrides the field's own.
    EXPECT_EQ(nullOf(0, adBSTR).typeId(), QMetaType::QString);
    EXPECT_EQ(nullOf(2, adInteger).typeId(), QMetaType::Short);
    EXPECT_EQ(nullOf(4, adDouble).typeId(), QMetaType::Short);

    rs->SetValue(2, QStringLiteral("Pages"));
    rs->SetValue(5, 42);
    EXPECT_EQ(FieldValue(rs->GetField(2), adInteger).toString(), QStringLiteral("Pages"))
        << "a value is returned as it is";
    EXPECT_EQ(FieldValue(rs->GetField(5)).toInt(), 42);
}

// Values live column by column: every step that moves rows (sorts of long cycles, appends after a
// sort, a rewrite that fails half-way, a new field after closing) must keep a row's values and its
// bookmark together.
TEST(Recordset, RowsKeepTheirValuesTogetherThroughSortsRewritesAndNewFields)
{
    auto rs = withFields({ { "N", adInteger }, { "T", adVarWChar }, { "Maybe", adDouble } });
    const auto rowOf = [](int n) {
        return QVariantList { n, QStringLiteral("t%1").arg(n),
            n % 5 ? QVariant(n * 0.5) : QVariant() };
    };
    for (int i = 0; i < 1000; ++i)
        rs->AppendRow(rowOf((i * 389) % 1000));
    rs->SetAbsolutePosition(10);
    const QVariant mark = rs->Bookmark();
    const int marked = rs->Value("N").toInt();
    const auto expectAligned = [&](const char *when) {
        for (int r = 0; r < rs->RecordCount(); ++r)
            ASSERT_EQ(QVariantList({ rs->ValueAt(r, 0), rs->ValueAt(r, 1), rs->ValueAt(r, 2) }),
                rowOf(rs->ValueAt(r, 0).toInt()))
                << when << ", row " << r;
    };
    rs->SetSort("Maybe DESC, N");
    expectAligned("sorted");
    EXPECT_FALSE(rs->ValueAt(999, 2).isValid()) << "Nulls last when descending";
    rs->SetBookmark(mark);
    EXPECT_EQ(rs->Value("N").toInt(), marked);
    rs->AppendRow(rowOf(-1));
    rs->SetSort("T DESC");
    expectAligned("appended and sorted again");
    EXPECT_EQ(rs->ValueAt(1000, 0).toInt(), -1) << "\"t-1\" sorts last, descending";
    rs->SetSort("");
    EXPECT_EQ(rs->ValueAt(0, 0).toInt(), 0) << "insertion order restored";

    // Keeps even numbers until the row of 500, then fails: the rows before it that were not
    // kept go, that row and all after it stay.
    int seen = 0;
    EXPECT_THROW(rs->RewriteRows([&](Recordset::RowRef row) {
        ++seen;
        if (row.at(0).toInt() == 500)
            throw RecordsetError(adErrInvalidArgument, "stop");
        return row.at(0).toInt() % 2 == 0;
    }),
        RecordsetError);
    const int at = seen - 1;
    int evenBefore = 0;
    for (int i = 0; i < at; ++i)
        evenBefore += (i * 389) % 1000 % 2 == 0;
    EXPECT_EQ(rs->RecordCount(), evenBefore + 1001 - at);
    EXPECT_EQ(rs->ValueAt(evenBefore, 0).toInt(), 500);
    expectAligned("after a failed rewrite");

    rs->Close();
    rs->AppendField("Extra", adVarWChar);
    rs->Open();
    rs->AppendRow({ 7, "t7", 3.5, "x" });
    rs->AddNew();
    rs->CancelUpdate();
    EXPECT_EQ(rs->RecordCount(), 1);
    EXPECT_EQ(rs->ValueAt(0, 3).toString(), "x");
    // A query's reader hands over whole columns; they go after the rows already there.
    rs->AppendColumns({ { 8, 9 }, { "t8", "t9" }, { 4.0, QVariant() }, { "y", "z" } });
    ASSERT_EQ(rs->RecordCount(), 3);
    EXPECT_EQ(rs->ValueAt(2, 3).toString(), "z");
    rs->SetAbsolutePosition(3);
    const QVariant last = rs->Bookmark();
    rs->SetSort("N DESC");
    rs->SetBookmark(last);
    EXPECT_EQ(rs->Value("N").toInt(), 9);
    EXPECT_THROW(rs->AppendColumns({ { 1 }, { "t1" } }), RecordsetError);
    EXPECT_THROW(rs->AppendColumns({ { 1 }, { "t1" }, { 0.5 }, {} }), RecordsetError);
    EXPECT_EQ(rs->RecordCount(), 3);
}

// A text found again by its address must be the same text: a text passed in for the moment (not
// held) is compared by its characters, even right after a held one of the same size.
TEST(Recordset, TextNumbersTellHeldAndPassingTextsApart)
{
    const QStringList held { "USR1", "USR2", "" };
    TextNumbers numbers;
    bool added = false;
    EXPECT_EQ(numbers.number(held[0], true, added), 0);
    EXPECT_TRUE(added);
    EXPECT_EQ(numbers.number(QStringLiteral("usr1"), false, added), 1) << "exact, not folded";
    EXPECT_TRUE(added);
    EXPECT_EQ(numbers.number(held[0], true, added), 0);
    EXPECT_EQ(numbers.number(QString(held[0].constData(), 4), false, added), 0);
    EXPECT_FALSE(added);
    EXPECT_EQ(numbers.number(held[1], true, added), 2);
    EXPECT_EQ(numbers.number(QString(), false, added), 3) << "an empty text after a held one";
    EXPECT_TRUE(added);
    EXPECT_EQ(numbers.number(held[2], true, added), 3);
    EXPECT_FALSE(added);
    EXPECT_EQ(numbers.number(held[1], true, added), 2);
    EXPECT_EQ(numbers.count(), 4);
}
