#include "script/recordsetobject.h"
#include "script/scriptengine.h"
#include "scripteval.h"
#include "vbcore/vbdate.h"

#include <QDateTime>

#include <gtest/gtest.h>

using namespace kv6;
using namespace kv6::script;
using kv6test::q;

namespace {

// Print jobs as a report query leaves them: one row per job, Nulls where the recorder had none.
RecordsetPtr jobs()
{
    auto rs = Recordset::Create();
    rs->AppendField("UserName", adVarWChar, 50);
    rs->AppendField("Pages", adInteger, 4, adFldFixed | adFldIsNullable);
    rs->AppendField("Cost", adCurrency, 8, adFldFixed | adFldIsNullable);
    rs->AppendField("PrintedAt", adDBTimeStamp, 8, adFldFixed | adFldIsNullable);
    rs->AppendField("Color", adBoolean, 2, adFldFixed);
    rs->Open();
    const QDateTime t(QDate(2026, 3, 2), QTime(9, 15));
    rs->AppendRow({ q("carol"), 12, 0.6, t, false });
    rs->AppendRow({ q("ann"), 3, 0.15, t.addSecs(60), true });
    rs->AppendRow({ q("bob"), 40, 2.0, t.addSecs(120), false });
    rs->AppendRow({ q("Ann"), 5, 0.25, t.addSecs(180), false });
    rs->AppendRow({ q("carol"), 1, QVariant(), QVariant(), false });
    rs->AppendRow({ QVariant(), 7, 0.35, t.addSecs(240), true });
    rs->MoveFirst();
    return rs;
}

QStringList column(Recordset &rs, const char *field)
{
    QStringList out;
    for (int r = 0; r < rs.RecordCount(); ++r) {
        const QVariant v = rs.ValueAt(r, rs.FieldIndex(q(field)));
        out << (v.isValid() ? v.toString() : q("<null>"));
    }
    return out;
}

// An engine with the record set bound to the name "rs", for one-line checks.
struct Bound
{
    explicit Bound(RecordsetPtr r)
        : rs(std::move(r))
    {
        engine.addObject(q("rs"), makeRecordsetObject(rs).objectValue());
    }

    std::string eval(const char *expression) { return kv6test::eval(engine, q(expression)); }
    std::string run(const char *statements) { return kv6test::run(engine, q(statements)); }

    RecordsetPtr rs;
    Engine engine;
};

} // namespace

TEST(RecordsetObject, PostProcessSumsPagesPerUserIntoTheSecondTable)
{
    Engine engine;
    engine.compile(q(R"(
Sub PostProcess(src, dst)
    Dim last
    last = ""
    src.Sort = "UserName ASC, PrintedAt ASC"
    src.MoveFirst
    Do While Not src.EOF
        If IsNull(src("UserName")) Then
            ' jobs nobody owns are left out
        ElseIf LCase(src("UserName")) <> last Then
            dst.AddNew
            dst("UserName") = LCase(src("UserName"))
            dst("Pages") = src("Pages")
            dst("Cost") = src("Cost")
            dst("PrintedAt") = src("PrintedAt")
            dst("Color") = src("Color")
            dst.Update
            last = LCase(src("UserName"))
        Else
            dst("Pages") = dst("Pages") + src("Pages")
            dst("Cost") = dst("Cost") + src("Cost")
            dst("Color") = dst("Color") Or src("Color")
        End If
        src.MoveNext
    Loop
    dst.Sort = "Pages DESC"
End Sub
)"));
    const RecordsetPtr table = jobs();
    Variant src = makeRecordsetObject(table);
    Variant dst = makeRecordsetObject(table->CloneStructure());
    engine.call(q("PostProcess"), { &src, &dst });

    const RecordsetPtr out = recordsetOf(dst);
    ASSERT_TRUE(out);
    EXPECT_EQ(column(*out, "UserName"), QStringList({ "bob", "carol", "ann" }));
    EXPECT_EQ(column(*out, "Pages"), QStringList({ "40", "13", "8" }));
    EXPECT_EQ(out->Sort(), q("Pages DESC"));
    EXPECT_EQ(out->AbsolutePosition(), 1) << "sorting leaves the cursor on the first row";
    // Values keep the field's types: Cost stays a four-decimal currency amount, and carol's
    // Null cost makes her sum Null as the language adds.
    EXPECT_EQ(out->ValueAt(0, 2).typeId(), QMetaType::Double);
    EXPECT_DOUBLE_EQ(out->ValueAt(0, 2).toDouble(), 2.0);
    EXPECT_FALSE(out->ValueAt(1, 2).isValid());
    EXPECT_DOUBLE_EQ(out->ValueAt(2, 2).toDouble(), 0.4);
    EXPECT_EQ(out->ValueAt(2, 1).typeId(), QMetaType::Int);
    EXPECT_EQ(out->ValueAt(2, 3).toDateTime(), QDateTime(QDate(2026, 3, 2), QTime(9, 16)));
    EXPECT_EQ(out->ValueAt(2, 4).typeId(), QMetaType::Bool);
    EXPECT_TRUE(out->ValueAt(2, 4).toBool());
    EXPECT_EQ(table->RecordCount(), 6) << "the source keeps its rows";
}

TEST(RecordsetObject, WhateverTheScriptLeavesInTheVariableComesBack)
{
    Engine engine;
    engine.compile(q(R"(
Sub Share(src, dst)
    Set dst = src
End Sub
Sub Drop(src, dst)
    Set dst = Nothing
End Sub
Sub Keep(src, dst)
    Dim other
    Set other = dst
    other.AddNew Array("UserName", "Pages"), Array("dan", 2)
End Sub
)"));
    const RecordsetPtr table = jobs();
    const RecordsetPtr empty = table->CloneStructure();
    Variant src = makeRecordsetObject(table);
    Variant dst = makeRecordsetObject(empty);

    engine.call(q("Keep"), { &src, &dst });
    EXPECT_EQ(recordsetOf(dst), empty);
    EXPECT_EQ(column(*empty, "UserName"), QStringList { "dan" });
    EXPECT_FALSE(empty->EditMode()) << "AddNew with values saves the row at once";

    engine.call(q("Share"), { &src, &dst });
    EXPECT_EQ(recordsetOf(dst), table);

    engine.call(q("Drop"), { &src, &dst });
    EXPECT_TRUE(dst.isObject());
    EXPECT_EQ(recordsetOf(dst), nullptr);
    EXPECT_EQ(recordsetOf(Variant::string(q("rs"))), nullptr);
}

TEST(RecordsetObject, PreProcessEditsAndDeletesRowsInPlace)
{
    // The delete loop is the common ADO idiom: after Delete the cursor stays on the deleted row
    // until MoveNext, so two neighbours to delete are both seen.
    Engine engine;
    engine.compile(q(R"(
Sub PreProcess(src, dst)
    src.MoveFirst
    Do Until src.EOF
        If src("Pages") < 6 Then
            src.Delete
        Else
            src("UserName") = UCase(src("UserName") & "")
            src("Cost") = src("Pages") * 0.05
            If src("UserName") = "" Then src("UserName") = Null
        End If
        src.MoveNext
    Loop
End Sub
)"));
    const RecordsetPtr table = jobs();
    table->SetSort(q("Pages ASC")); // 1, 3, 5 first: three deletions in a row
    Variant src = makeRecordsetObject(table);
    Variant dst = makeRecordsetObject(table->CloneStructure());
    engine.call(q("PreProcess"), { &src, &dst });

    EXPECT_EQ(recordsetOf(src), table);
    EXPECT_EQ(column(*table, "Pages"), QStringList({ "7", "12", "40" }));
    EXPECT_EQ(column(*table, "UserName"), QStringList({ "<null>", "CAROL", "BOB" }));
    EXPECT_EQ(column(*table, "Cost"), QStringList({ "0.35", "0.6", "2" }));
    EXPECT_EQ(table->ValueAt(2, 2).typeId(), QMetaType::Double);
    EXPECT_TRUE(table->Eof());
}

TEST(RecordsetObject, EmptyRecordSetIsAtBothEnds)
{
    Bound b(jobs()->CloneStructure());
    EXPECT_EQ(b.eval("rs.EOF And rs.BOF"), "Boolean True");
    EXPECT_EQ(b.eval("rs.RecordCount"), "Long 0");
    EXPECT_EQ(b.eval("rs.Fields.Count"), "Long 5");
    EXPECT_EQ(b.eval("rs.AbsolutePosition"), "Long -3");
    for (const char *move :
        { "rs.MoveNext", "rs.MovePrevious", "rs.MoveFirst", "rs.MoveLast", "rs.Move 1" })
        EXPECT_EQ(b.run(move), "error 3021") << move;
    EXPECT_EQ(b.eval("rs(\"Pages\").Value"), "error 3021");
    EXPECT_EQ(b.run("rs.Find \"Pages = 1\""), "");
    EXPECT_EQ(b.eval("rs.EOF"), "Boolean True");
}

TEST(RecordsetObject, CursorMovesAndStopsAtTheEnds)
{
    Bound b(jobs());
    EXPECT_EQ(b.eval("rs.BOF Or rs.EOF"), "Boolean False");
    EXPECT_EQ(b.eval("rs.AbsolutePosition"), "Long 1");
    EXPECT_EQ(b.run("rs.MovePrevious"), "");
    EXPECT_EQ(b.eval("rs.BOF & rs.AbsolutePosition"), "String True-2");
    EXPECT_EQ(b.eval("rs(\"Pages\").Value"), "error 3021");
    EXPECT_EQ(b.run("rs.MovePrevious"), "error 3021");
    EXPECT_EQ(b.run("rs.Move 3"), "") << "from before the first row, 3 forward is the third";
    EXPECT_EQ(b.eval("rs(\"UserName\").Value"), "String bob");
    EXPECT_EQ(b.run("rs.Move -1"), "");
    EXPECT_EQ(b.eval("rs(1) * 1"), "Long 3");
    EXPECT_EQ(b.run("rs.Move 100"), "");
    EXPECT_EQ(b.eval("rs.EOF & rs.AbsolutePosition"), "String True-3");
    EXPECT_EQ(b.run("rs.MoveNext"), "error 3021");
    EXPECT_EQ(b.run("rs.Move 1"), "error 3021");
    EXPECT_EQ(b.run("rs.Move 2, 1"), "") << "two on from the first row";
    EXPECT_EQ(b.eval("rs.AbsolutePosition"), "Long 3");
    EXPECT_EQ(b.run("rs.Move -1, 2"), "") << "one back from the last row";
    EXPECT_EQ(b.eval("rs.AbsolutePosition"), "Long 5");
    EXPECT_EQ(b.run("rs.MoveLast"), "");
    EXPECT_EQ(b.eval("IsNull(rs(\"UserName\"))"), "Boolean True");
    EXPECT_EQ(b.run("rs.AbsolutePosition = 4"), "");
    EXPECT_EQ(b.eval("rs(\"UserName\").Value"), "String Ann");
    EXPECT_EQ(b.run("rs.AbsolutePosition = 7"), "error 3001");
    EXPECT_EQ(b.run("rs.RecordCount = 2"), "error 438");
}

TEST(RecordsetObject, BookmarkFindsTheSameRowAfterSorting)
{
    Bound b(jobs());
    EXPECT_EQ(b.run("rs.Move 2\nmark = rs.Bookmark\nrs.Sort = \"Pages DESC\""), "");
    EXPECT_EQ(b.eval("rs(\"Pages\").Value"), "Long 40") << "bob has the most pages";
    EXPECT_EQ(b.run("rs.MoveLast\nrs.Bookmark = mark"), "");
    EXPECT_EQ(b.eval("rs(\"UserName\") & \" \" & rs.AbsolutePosition"), "String bob 1");
    EXPECT_EQ(b.eval("TypeName(rs.Bookmark)"), "String Double");
    EXPECT_EQ(b.eval("rs.Sort"), "String Pages DESC");
    EXPECT_EQ(b.run("rs.Bookmark = 99"), "error 3001");
    EXPECT_EQ(b.run("rs.Bookmark = \"first\""), "error 3001");
    EXPECT_EQ(b.run("rs.Sort = \"Nope ASC\""), "error 3265");
    EXPECT_EQ(b.run("rs.MoveLast\nrs.MoveNext\nx = rs.Bookmark"), "error 3021");
}

TEST(RecordsetObject, FieldsEnumerateWithTheirProperties)
{
    Bound b(jobs());
    b.run(R"(
out = ""
For Each f In rs.Fields
    out = out & f.Name & ":" & f.Type & ":" & f.DefinedSize & ":" & f.ActualSize & ":" & f & ";"
Next
)");
    EXPECT_EQ(b.engine.global(q("out")).toString(),
        q("UserName:202:50:5:carol;Pages:3:4:4:12;Cost:6:8:8:0.6;"
          "PrintedAt:135:8:8:3/2/2026 9:15:00 AM;Color:11:2:2:False;"));
    EXPECT_EQ(b.eval("rs.Fields(\"PAGES\").Value + rs.Fields.Item(1) + rs.Fields(1)"), "Long 36");
    EXPECT_EQ(b.eval("rs.Fields(0).Name & rs(4).Name"), "String UserNameColor");
    EXPECT_EQ(b.eval("rs(\"[Pages]\") + 0"), "Long 12");
    EXPECT_EQ(b.eval("rs(0)"), "object Field");
    EXPECT_EQ(b.eval("TypeName(rs) & TypeName(rs.Fields) & TypeName(rs(\"Pages\"))"),
        "String RecordsetFieldsField");
    EXPECT_EQ(b.eval("rs.Fields(5)"), "error 3265");
    EXPECT_EQ(b.eval("rs.Fields(-1)"), "error 3265");
    EXPECT_EQ(b.eval("rs(Null)"), "error 3265");
    EXPECT_EQ(b.eval("rs.Fields.Count()"), "Long 5");

    // A Field object follows the cursor, as ADO's does.
    EXPECT_EQ(b.run("Set pages = rs(\"Pages\")\nrs.MoveNext\nrs.MoveNext"), "");
    EXPECT_EQ(b.eval("pages.Value"), "Long 40");
    EXPECT_EQ(b.run("pages.Value = 41\nrs.Fields(\"Pages\") = pages + 1"), "");
    EXPECT_EQ(b.rs->Value(1).toInt(), 42);
    EXPECT_EQ(b.run("pages.Name = \"P\""), "error 438");
}

TEST(RecordsetObject, FindSearchesFromTheCurrentRow)
{
    Bound b(jobs());
    EXPECT_EQ(b.run("rs.Find \"UserName = 'carol'\""), "");
    EXPECT_EQ(b.eval("rs.AbsolutePosition"), "Long 1") << "the current row is searched first";
    EXPECT_EQ(b.run("rs.Find \"UserName = 'ann'\""), "");
    EXPECT_EQ(b.eval("rs.AbsolutePosition"), "Long 2");
    EXPECT_EQ(b.run("rs.Find \"UserName = 'ann'\", 1"), "");
    EXPECT_EQ(b.eval("rs(\"UserName\") & rs.AbsolutePosition"), "String Ann4");
    EXPECT_EQ(b.run("rs.Find \"UserName = 'ann'\", 1"), "");
    EXPECT_EQ(b.eval("rs.EOF"), "Boolean True");
    EXPECT_EQ(b.run("rs.Find \"UserName = 'ann'\""), "error 3021") << "nothing after EOF";
    EXPECT_EQ(b.run("rs.Find \"Pages > 10\", 0, -1"), "") << "backward from EOF";
    EXPECT_EQ(b.eval("rs.AbsolutePosition"), "Long 3");
    EXPECT_EQ(b.run("rs.Find \"Cost = Null\", 0, 1, 1"), "") << "forward from the first row";
    EXPECT_EQ(b.eval("rs.AbsolutePosition"), "Long 5");
    EXPECT_EQ(b.run("rs.Find \"UserName LIKE 'c*'\", 0, -1"), "");
    EXPECT_EQ(b.eval("rs.AbsolutePosition"), "Long 5");
    EXPECT_EQ(b.run("rs.Find \"Nope = 1\""), "error 3265");
    EXPECT_EQ(b.run("rs.Find \"Pages == 1\""), "error 3001");
    EXPECT_EQ(b.run("rs.Find \"Pages = 1\", 0, 2"), "error 3001");
}

TEST(RecordsetObject, ErrorsReachErrWithAdoNumbersSourcesAndTexts)
{
    Bound b(jobs());
    b.engine.compile(q(R"(
On Error Resume Next
Dim notes
Sub Note()
    notes = notes & Err.Number & "|" & Err.Source & "|" & Err.Description & Chr(10)
    Err.Clear
End Sub
x = rs("Nope") : Note
rs.Frobnicate : Note
rs.MoveLast : rs.MoveNext : x = rs("Pages") : Note
rs.Close : x = rs.RecordCount : Note
rs.Close : Note
x = rs.State : Note
)"));
    b.engine.run();
    const QStringList lines = b.engine.global(q("notes")).toString().split(u'\n');
    ASSERT_GE(lines.size(), 6);
    EXPECT_EQ(lines[0],
        q("3265|ADODB.Fields|Item cannot be found in the collection corresponding to the "
          "requested name or ordinal."));
    EXPECT_EQ(lines[1],
        q("438|Microsoft VBScript runtime error|Object doesn't support this "
          "property or method: 'rs.Frobnicate'"));
    EXPECT_EQ(lines[2],
        q("3021|ADODB.Field|Either BOF or EOF is True, or the current record has been deleted. "
          "Requested operation requires a current record."));
    EXPECT_EQ(lines[3],
        q("3704|ADODB.Recordset|Operation is not allowed when the object is "
          "closed."));
    EXPECT_EQ(lines[4], lines[3]) << "closing twice";
    EXPECT_EQ(lines[5], q("0||"));
    EXPECT_EQ(b.engine.global(q("x")).toString(), q("0")) << "State of a closed record set";
    EXPECT_FALSE(b.rs->IsOpen());

    // Without On Error the ADO error stops the script at its line.
    Engine engine;
    engine.compile(q("Sub PostProcess(src, dst)\n  dst.AddNew\n  dst(\"Missing\") = 1\nEnd Sub"));
    Variant src = makeRecordsetObject(jobs());
    Variant dst = makeRecordsetObject(jobs()->CloneStructure());
    try {
        engine.call(q("PostProcess"), { &src, &dst });
        FAIL() << "no error";
    } catch (const ScriptError &e) {
        EXPECT_EQ(e.number(), 3265);
        EXPECT_EQ(e.line(), 3);
    }
}

TEST(RecordsetObject, ValuesKeepTheirSubtypesAndNulls)
{
    Bound b(jobs());
    EXPECT_EQ(b.eval("VarType(rs(\"UserName\")) & VarType(rs(\"Pages\")) & VarType(rs(\"Cost\"))"
                     " & VarType(rs(\"PrintedAt\")) & VarType(rs(\"Color\"))"),
        "String 836711");
    EXPECT_EQ(b.eval("rs(\"Cost\") * 3"), "Currency 1.8") << "no binary fraction noise";
    EXPECT_EQ(b.eval("rs(\"PrintedAt\") + 1 > rs(\"PrintedAt\")"), "Boolean True");
    EXPECT_EQ(
        b.eval("Year(rs(\"PrintedAt\")) & \"-\" & Month(rs(\"PrintedAt\"))"), "String 2026-3");
    EXPECT_EQ(b.eval("VarType(rs)"), "Integer 9");
    EXPECT_EQ(b.eval("IsObject(rs(\"Pages\"))"), "Boolean True");
    EXPECT_EQ(b.eval("Len(rs(\"UserName\"))"), "Long 5");

    b.run("rs.MoveLast");
    EXPECT_EQ(b.eval("IsNull(rs(\"UserName\"))"), "Boolean True");
    EXPECT_EQ(b.eval("Len(rs(\"UserName\"))"), "Null Null");
    EXPECT_EQ(b.eval("rs(\"UserName\") & \"\""), "String ");
    EXPECT_EQ(b.eval("VarType(rs(\"UserName\"))"), "Integer 1");
    EXPECT_EQ(b.eval("rs(\"UserName\").ActualSize"), "Long 0");

    // Writes convert to the field's type, as ADO does on assignment.
    EXPECT_EQ(b.run("rs(\"Pages\") = \"12\""), "");
    EXPECT_EQ(b.rs->Value(1), QVariant(12));
    EXPECT_EQ(b.run("rs(\"Cost\") = 1.23456"), "");
    EXPECT_EQ(b.rs->Value(2), QVariant(1.2346));
    EXPECT_EQ(b.run("rs(\"Cost\") = Empty"), "");
    EXPECT_FALSE(b.rs->Value(2).isValid());
    EXPECT_EQ(b.run("rs(\"PrintedAt\") = \"2026-03-04 10:00:00\""), "");
    EXPECT_EQ(b.rs->Value(3), QVariant(QDateTime(QDate(2026, 3, 4), QTime(10, 0))));
    EXPECT_EQ(b.run("rs(\"UserName\") = 17"), "");
    EXPECT_EQ(b.rs->Value(0), QVariant(q("17")));
    EXPECT_EQ(b.run("rs(\"Color\") = 1"), "");
    EXPECT_EQ(b.rs->Value(4), QVariant(true));
    EXPECT_EQ(b.run("rs(\"Pages\") = \"many\""), "error 13");
    EXPECT_EQ(b.run("rs(\"Pages\") = 3000000000"), "error 6");
    EXPECT_EQ(b.run("rs(\"Pages\") = Array(1)"), "error 13");
    EXPECT_EQ(b.rs->Value(1), QVariant(12)) << "a failed write leaves the value";
}

TEST(RecordsetObject, FieldTypesDecideTheScriptSubtype)
{
    struct Row
    {
        int type;
        QVariant stored;
        const char *seen; // TypeName and text
        QVariant back; // stored again after the round trip
    };
    const QDateTime when(QDate(2026, 3, 4), QTime(13, 30));
    const Row rows[] = {
        { adSmallInt, 7, "Integer 7", 7 },
        { adUnsignedTinyInt, 200, "Byte 200", 200 },
        { adBigInt, qlonglong(1) << 40, "Double 1099511627776", qlonglong(1) << 40 },
        { adDouble, 0.1, "Double 0.1", 0.1 },
        { adSingle, 0.5f, "Single 0.5", 0.5f },
        // The data access fills currency fields with doubles; kv6::Currency reads the same.
        { adCurrency, 19.99, "Currency 19.99", 19.99 },
        { adCurrency, QVariant::fromValue(Currency::fromString(q("19.99"))), "Currency 19.99",
            19.99 },
        { adDBTimeStamp, when, "Date 3/4/2026 1:30:00 PM", when },
        { adBoolean, true, "Boolean True", true },
        { adVarWChar, q("x"), "String x", q("x") },
        { adVariant, 3, "Long 3", 3 },
        { adInteger, QVariant(), "Null Null", QVariant() },
    };
    for (const Row &r : rows) {
        const Variant v = fieldValueToScript(r.stored, r.type);
        EXPECT_EQ(kv6test::describe(v), r.seen) << r.type;
        const QVariant back = scriptValueToField(v, r.type);
        EXPECT_EQ(back.typeId(), r.back.typeId()) << r.type;
        EXPECT_EQ(back, r.back) << r.type;
    }
}

TEST(RecordsetObject, AddNewUpdateAndCancelUpdate)
{
    Bound b(jobs());
    EXPECT_EQ(b.run("rs.MoveNext\nrs.AddNew\nrs(\"UserName\") = \"eve\""), "");
    EXPECT_EQ(b.eval("rs.EditMode & rs.RecordCount & rs.AbsolutePosition"), "String 277");
    EXPECT_EQ(b.run("rs.CancelUpdate"), "");
    EXPECT_EQ(b.eval("rs.EditMode & rs.RecordCount & rs(\"UserName\")"), "String 06ann")
        << "back on the row that was current before AddNew";

    // An edit of an existing row can be taken back until the cursor moves.
    EXPECT_EQ(b.run("rs(\"Pages\") = 99\nrs(\"UserName\") = Null"), "");
    EXPECT_EQ(b.eval("rs.EditMode"), "Long 1");
    EXPECT_EQ(b.run("rs.CancelUpdate"), "");
    EXPECT_EQ(b.eval("rs(\"Pages\") & rs(\"UserName\") & rs.EditMode"), "String 3ann0");
    EXPECT_EQ(b.run("rs(\"Pages\") = 98\nrs.MoveNext\nrs.MovePrevious\nrs.CancelUpdate"), "");
    EXPECT_EQ(b.eval("rs(\"Pages\").Value"), "Long 98") << "the move saved the edit";

    EXPECT_EQ(b.run("rs.AddNew \"Pages\", 4"), "");
    EXPECT_EQ(b.eval("rs.EditMode & rs.RecordCount & rs(\"Pages\")"), "String 074");
    EXPECT_EQ(b.run("rs.AddNew Array(\"UserName\", 1), Array(\"fay\")"), "error 3001");
    EXPECT_EQ(b.eval("rs.RecordCount"), "Long 7") << "a failed AddNew adds nothing";
    EXPECT_EQ(b.run("rs.Update Array(\"Pages\", \"Color\"), Array(5, True)"), "");
    EXPECT_EQ(column(*b.rs, "Pages").last(), q("5"));
    EXPECT_EQ(column(*b.rs, "Color").last(), q("true"));
    EXPECT_EQ(b.run("rs.AddNew \"Pages\""), "error 450");
    EXPECT_EQ(b.run("rs.Delete 3"), "error 3251");
    EXPECT_EQ(b.run("rs.Delete\nrs.Delete"), "error 3021") << "the row is already deleted";
    EXPECT_EQ(b.eval("rs.EOF & rs.AbsolutePosition"), "String False-1");
    EXPECT_EQ(b.run("rs.MoveNext"), "");
    EXPECT_EQ(b.eval("rs.EOF & rs.RecordCount"), "String True6");
}

TEST(RecordsetObject, ClosedRecordSetsTakeNewFieldsAndReopen)
{
    Bound b(jobs()->CloneStructure());
    EXPECT_EQ(b.run("rs.Fields.Append \"Extra\", 3"), "error 3705");
    EXPECT_EQ(b.run("rs.Open"), "error 3705");
    EXPECT_EQ(
        b.run("rs.Close\nrs.Fields.Append \"Share\", 5\nrs.Open\nrs.AddNew \"Share\", 0.5"), "");
    EXPECT_EQ(b.eval("rs.State & rs.Fields.Count & rs(\"Share\")"), "String 160.5");
    EXPECT_EQ(b.run("rs.Close\nrs.Fields.Append \"share\", 5"), "error 3367");
    EXPECT_EQ(b.run("rs.Open \"SELECT 1\""), "error 3251");
    EXPECT_EQ(b.run("rs.Open\nrs.Filter = \"\"\nrs.Filter = 0"), "");
    EXPECT_EQ(b.run("rs.Filter = \"Pages > 1\""), "error 3251");
}
