// Times the two kinds of script work a report does, each against the same work written in C++
// and measured in the same run:
//   - a compiled field expression evaluated once per row, its names resolved by a host scope
//     over the current row of a record set;
//   - a PostProcess procedure copying every row field by field from the source table into the
//     second table, by ordinal and by name.
// Peak memory is the high-water mark of the process during each step.
//
//   bench_script [expression rows] [copied rows]     (default 1000000 100000)

#include "benchsupport.h"
#include "script/recordsetobject.h"
#include "script/scriptengine.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QFile>
#include <QLocale>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <functional>

#include <malloc.h>

using namespace kv6;
using namespace kv6::script;
using kv6bench::best;
using kv6bench::seconds;

namespace {

qint64 statusKb(const char *key)
{
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray &line : f.readAll().split('\n')) {
        if (line.startsWith(key))
            return line.mid(qsizetype(qstrlen(key))).trimmed().split(' ').value(0).toLongLong();
    }
    return 0;
}

// Starts a new high-water mark at the current size (Linux: writing 5 to clear_refs).
void resetPeak()
{
    QFile f(QStringLiteral("/proc/self/clear_refs"));
    if (f.open(QIODevice::WriteOnly))
        f.write("5");
}

qint64 peakMb()
{
    return statusKb("VmHWM:") / 1024;
}

// Print jobs as a report query returns them (currency fields hold doubles of four decimals).
RecordsetPtr jobTable(int rows)
{
    auto rs = Recordset::Create();
    rs->AppendField(QStringLiteral("UserKey"), adVarWChar, 20);
    rs->AppendField(QStringLiteral("PrinterKey"), adVarWChar, 20);
    rs->AppendField(QStringLiteral("UserName"), adVarWChar, 100);
    rs->AppendField(QStringLiteral("Pages"), adInteger, 4, adFldFixed);
    rs->AppendField(QStringLiteral("Rate"), adCurrency, 8, adFldFixed);
    rs->AppendField(QStringLiteral("PrintedAt"), adDBTimeStamp, 8, adFldFixed);
    rs->AppendField(QStringLiteral("Color"), adBoolean, 2, adFldFixed);
    rs->Open();
    rs->Reserve(rows);
    const QDateTime start(QDate(2026, 1, 1), QTime(8, 0));
    for (int i = 0; i < rows; ++i) {
        rs->AppendRow({ QStringLiteral("USR%1").arg(100 + i % 500),
            QStringLiteral("PRT%1").arg(10 + i % 40), QStringLiteral("User %1").arg(i % 500),
            1 + i % 37, Currency::fromRaw(200 + 100 * (i % 9)).toDouble(),
            start.addSecs(qint64(i) * 17), i % 5 == 0 });
    }
    rs->MoveFirst();
    return rs;
}

// The names of an expression resolved against one row, as the report engine resolves them.
class RowScope : public HostScope
{
public:
    explicit RowScope(const Recordset &rs)
        : m_rs(rs)
    { }
    int row = 0;

    bool lookup(const QString &name, Variant &value) override
    {
        const int field = m_rs.FieldIndex(name);
        if (field < 0)
            return false;
        value = fieldValueToScript(m_rs.ValueAt(row, field), m_rs.FieldAt(field).type);
        return true;
    }
    bool assign(const QString &, const Variant &) override { return false; }

private:
    const Recordset &m_rs;
};

struct ExpressionFigures
{
    double format, locale, round, cpp;
    qint64 peak;
    bool same;
};

ExpressionFigures expressionBench(int rows)
{
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    const RecordsetPtr table = jobTable(rows);
    const int pages = table->FieldIndex(QStringLiteral("Pages"));
    const int rate = table->FieldIndex(QStringLiteral("Rate"));
    Engine engine;
    const CompiledCode format
        = engine.compileExpression(QStringLiteral("FormatCurrency(Pages * Rate, 2)"));
    const CompiledCode round
        = engine.compileExpression(QStringLiteral("Round(Pages * Rate, 2) & \"\""));
    RowScope scope(*table);
    const QLocale locale;
    auto costOf = [&](int r) {
        return table->ValueAt(r, pages).toInt() * table->ValueAt(r, rate).toDouble();
    };
    // The same arithmetic in C++: Long times Currency, rounded half to even at two decimals.
    auto roundedText = [&](int r) {
        const double cost = table->ValueAt(r, pages).toInt()
            * Currency::fromDouble(table->ValueAt(r, rate).toDouble()).toDouble();
        return Currency::fromDouble(std::nearbyint(cost * 100) / 100).toString();
    };
    qint64 chars = 0;
    ExpressionFigures f {};
    resetPeak();
    f.format = best([&] {
        for (scope.row = 0; scope.row < rows; ++scope.row)
            chars += engine.evaluate(format, &scope).stringValue().size();
    });
    f.peak = peakMb();
    f.locale = best([&] {
        for (int r = 0; r < rows; ++r)
            chars += locale.toCurrencyString(costOf(r), QString(), 2).size();
    });
    f.round = best([&] {
        for (scope.row = 0; scope.row < rows; ++scope.row)
            chars += engine.evaluate(round, &scope).stringValue().size();
    });
    f.cpp = best([&] {
        for (int r = 0; r < rows; ++r)
            chars += roundedText(r).size();
    });

    f.same = true;
    for (int r = 0; f.same && r < rows; r += 101) {
        scope.row = r;
        const QString a = engine.evaluate(format, &scope).stringValue();
        const QString b = engine.evaluate(round, &scope).stringValue();
        f.same = a == locale.toCurrencyString(costOf(r), QString(), 2) && b == roundedText(r);
        if (!f.same)
            std::fprintf(
                stderr, "bench_script: row %d gives %s and %s\n", r, qPrintable(a), qPrintable(b));
    }
    if (chars == 42)
        std::puts("");
    return f;
}

struct CopyFigures
{
    double byOrdinal, byName, cpp;
    qint64 rssStart, peakScript, peakCpp; // MB
    double heldScript, heldCpp; // MB of heap one finished copy holds
    bool same;
};

double heapMb()
{
    return double(mallinfo2().uordblks) / (1024.0 * 1024.0);
}

const char *const copyScript = R"(
Sub ByOrdinal(src, dst)
    Dim i, n
    n = src.Fields.Count - 1
    src.MoveFirst
    Do Until src.EOF
        dst.AddNew
        For i = 0 To n
            dst(i) = src(i)
        Next
        dst.Update
        src.MoveNext
    Loop
End Sub

Sub ByName(src, dst)
    Dim f
    src.MoveFirst
    Do Until src.EOF
        dst.AddNew
        For Each f In src.Fields
            dst(f.Name) = f.Value
        Next
        dst.Update
        src.MoveNext
    Loop
End Sub
)";

CopyFigures copyBench(int rows)
{
    const RecordsetPtr table = jobTable(rows);
    Engine engine;
    engine.compile(QString::fromUtf8(copyScript));
    CopyFigures f {};
    f.rssStart = statusKb("VmRSS:") / 1024;
    RecordsetPtr scripted;
    auto runScript = [&](const char *procedure) {
        return best([&] {
            scripted.reset();
            Variant src = makeRecordsetObject(table);
            Variant dst = makeRecordsetObject(table->CloneStructure());
            engine.call(QString::fromLatin1(procedure), { &src, &dst });
            scripted = recordsetOf(dst);
        });
    };
    resetPeak();
    f.byOrdinal = runScript("ByOrdinal");
    f.byName = runScript("ByName");
    f.peakScript = peakMb();

    f.same = scripted && scripted->RecordCount() == rows;
    for (int r = 0; f.same && r < rows; r += 997) {
        for (int i = 0; f.same && i < table->FieldCount(); ++i) {
            f.same = scripted->ValueAt(r, i) == table->ValueAt(r, i);
            if (!f.same)
                std::fprintf(stderr, "bench_script: row %d field %d: %s, not %s\n", r, i,
                    qPrintable(scripted->ValueAt(r, i).toString()),
                    qPrintable(table->ValueAt(r, i).toString()));
        }
    }
    f.heldScript = heapMb();
    scripted.reset();
    f.heldScript -= heapMb();

    RecordsetPtr copied;
    resetPeak();
    f.cpp = best([&] {
        copied.reset();
        copied = table->CloneStructure();
        const int n = table->FieldCount();
        for (table->MoveFirst(); !table->Eof(); table->MoveNext()) {
            copied->AddNew();
            for (int i = 0; i < n; ++i)
                copied->SetValue(i, table->Value(i));
            copied->Update();
        }
    });
    f.peakCpp = peakMb();
    f.heldCpp = heapMb();
    copied.reset();
    f.heldCpp -= heapMb();
    return f;
}

} // namespace

int main(int argc, char **argv)
{
    const int exprRows = argc > 1 ? std::atoi(argv[1]) : 1000000;
    const int copyRows = argc > 2 ? std::atoi(argv[2]) : 100000;

    // The copy runs first, so its memory figures start from a heap nothing has used yet.
    const CopyFigures c = copyBench(copyRows);
    std::printf("PostProcess copying %d rows of 7 fields src -> dst (best of 3)\n", copyRows);
    std::printf("%-34s %9s %9s %9s\n", "step", "seconds", "baseline", "ratio");
    std::printf("%-34s %9.3f %9.3f %9.2f\n", "script, dst(i) = src(i)", c.byOrdinal, c.cpp,
        c.byOrdinal / c.cpp);
    std::printf("%-34s %9.3f %9.3f %9.2f\n", "script, For Each, dst(f.Name)", c.byName, c.cpp,
        c.byName / c.cpp);
    std::printf(
        "%-34s %9.2f us per row\n", "script, dst(i) = src(i)", c.byOrdinal * 1e6 / copyRows);
    std::printf("RSS %lld MB with the source table; peak %lld MB during the script copies, "
                "%lld MB during the C++ copies\n",
        static_cast<long long>(c.rssStart), static_cast<long long>(c.peakScript),
        static_cast<long long>(c.peakCpp));
    std::printf("one finished copy holds %.1f MB of heap (script) and %.1f MB (C++)\n",
        c.heldScript, c.heldCpp);
    std::printf("baseline: the same loop over the record set API in C++.%s\n",
        c.same ? "" : " THE SCRIPT'S COPY DIFFERS.");

    const ExpressionFigures e = expressionBench(exprRows);
    std::printf("\none compiled expression per row over %d rows (best of 3)\n", exprRows);
    std::printf("%-34s %9s %9s %9s\n", "expression", "seconds", "baseline", "ratio");
    std::printf("%-34s %9.3f %9.3f %9.2f\n", "FormatCurrency(Pages * Rate, 2)", e.format, e.locale,
        e.format / e.locale);
    std::printf("%-34s %9.3f %9.3f %9.2f\n", "Round(Pages * Rate, 2) & \"\"", e.round, e.cpp,
        e.round / e.cpp);
    std::printf("FormatCurrency: %.2f us per row; peak RSS %lld MB with the %d-row table\n",
        e.format * 1e6 / exprRows, static_cast<long long>(e.peak), exprRows);
    std::printf("baselines: QLocale::toCurrencyString of the same product; the Currency "
                "arithmetic rounded half to even in C++.%s\n",
        e.same ? "" : " THE TEXTS DIFFER.");
    return c.same && e.same ? 0 : 1;
}
