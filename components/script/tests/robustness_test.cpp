// Malformed, hostile and runaway scripts end as a ScriptError (or run); none may crash the
// program or hang it.

#include "script/scriptengine.h"

#include <QDirIterator>
#include <QFile>
#include <QThread>

#include <gtest/gtest.h>

#include <random>

using namespace kv6::script;

namespace {

class Sink : public HostObject
{
public:
    QString typeName() const override { return QStringLiteral("Object"); }
    Variant get(const QString &member, const QList<Variant> &args) override
    {
        if (member.compare(QLatin1String("echo"), Qt::CaseInsensitive) == 0)
            return Variant();
        return HostObject::get(member, args);
    }
};

// "ok", "syntax N" or "error N".
std::string outcome(const QString &source, qint64 steps = 20000)
{
    Engine engine;
    engine.setStepLimit(steps);
    engine.addObject(QStringLiteral("WScript"), std::make_shared<Sink>());
    try {
        engine.compile(source);
        engine.run();
        return "ok";
    } catch (const ScriptError &e) {
        return (e.isSyntaxError() ? "syntax " : "error ") + std::to_string(e.number());
    }
}

QString repeat(const char *text, int n)
{
    const QString s = QString::fromUtf8(text);
    QString out;
    out.reserve(s.size() * n);
    for (int i = 0; i < n; ++i)
        out += s;
    return out;
}

// The suite's own scripts: real programs to take apart.
QStringList sampleScripts()
{
    QStringList scripts;
    QDirIterator it(QStringLiteral(KV6_SOURCE_DIR "/components/script/tests/conformance"),
        { QStringLiteral("*.vbs") }, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        QFile f(it.next());
        if (f.open(QIODevice::ReadOnly))
            scripts << QString::fromUtf8(f.readAll());
    }
    return scripts;
}

const QStringList &vocabulary()
{
    static const QStringList words = QStringLiteral(
        "If Then Else ElseIf End Sub Function For To Step Next Each In Do Loop While Until Wend "
        "Select Case Is Dim ReDim Preserve Const Set Let Call Exit On Error Resume GoTo 0 Option "
        "Explicit Not And Or Xor Eqv Imp Mod Nothing Null Empty True False ByVal ByRef Rem Erase "
        "x y z a n WScript Echo Len Mid Array UBound Err Raise Number "
        "+ - * / \\ ^ & = <> < > <= >= ( ) , . : _ [x] \"s\" \"\" 1 2.5 32768 &HFF #1/1/2024# "
        "' \n \n \n")
                                         .split(u' ');
    return words;
}

} // namespace

TEST(Robustness, RandomTokenStreamsCompileOrFailCleanly)
{
    std::mt19937 rng(20240115);
    const QStringList &words = vocabulary();
    std::uniform_int_distribution<qsizetype> pick(0, words.size() - 1);
    std::uniform_int_distribution<int> length(1, 40);
    int ran = 0, rejected = 0;
    for (int round = 0; round < 3000; ++round) {
        QStringList tokens;
        const int n = length(rng);
        for (int i = 0; i < n; ++i)
            tokens << words[pick(rng)];
        const std::string result = outcome(tokens.join(u' '));
        if (result == "ok")
            ++ran;
        else if (result.rfind("syntax ", 0) == 0)
            ++rejected;
    }
    // Both kinds occur, so the streams reach the evaluator as well as the parser.
    EXPECT_GT(ran, 0);
    EXPECT_GT(rejected, 0);
}

TEST(Robustness, MutatedScriptsCompileRunOrFailCleanly)
{
    const QStringList scripts = sampleScripts();
    ASSERT_GT(scripts.size(), 20);
    std::mt19937 rng(42);
    const QStringList &words = vocabulary();
    auto below = [&rng](qsizetype n) {
        return n <= 0 ? 0 : std::uniform_int_distribution<qsizetype>(0, n - 1)(rng);
    };
    int failures = 0, runs = 0;
    for (const QString &script : scripts) {
        for (int round = 0; round < 30; ++round) {
            QString s = script;
            QStringList lines = s.split(u'\n');
            switch (round % 6) {
            case 0: // cut off anywhere
                s.truncate(below(s.size()));
                break;
            case 1: // a span deleted
                s.remove(below(s.size()), below(20) + 1);
                break;
            case 2: { // a line doubled
                const qsizetype at = below(lines.size());
                lines.insert(at, lines[at]);
                s = lines.join(u'\n');
                break;
            }
            case 3: // two lines swapped
                lines.swapItemsAt(below(lines.size()), below(lines.size()));
                s = lines.join(u'\n');
                break;
            case 4: // a word of the language dropped in
                s.insert(below(s.size() + 1), u' ' + words[below(words.size())] + u' ');
                break;
            case 5: // a character changed
                if (!s.isEmpty())
                    s[below(s.size())] = QChar(char16_t(32 + below(95)));
                break;
            }
            const std::string result = outcome(s);
            ++runs;
            if (result != "ok")
                ++failures;
        }
    }
    EXPECT_GT(failures, runs / 10) << "mutations should break a good share of the scripts";
}

TEST(Robustness, DeepNestingIsACompileError)
{
    EXPECT_EQ(outcome(QStringLiteral("x = ") + repeat("(", 100000) + u'1' + repeat(")", 100000)),
        "syntax 1002");
    EXPECT_EQ(outcome(repeat("If 1 Then\n", 20000) + repeat("End If\n", 20000)), "syntax 1002");
    EXPECT_EQ(outcome(QStringLiteral("x = ") + repeat("Len(", 20000) + QStringLiteral("1")
                  + repeat(")", 20000)),
        "syntax 1002");
    EXPECT_EQ(outcome(QStringLiteral("x = ") + repeat("Not ", 50000) + QStringLiteral("1")),
        "syntax 1002");
    EXPECT_EQ(
        outcome(QStringLiteral("x = ") + repeat("-", 50000) + QStringLiteral("1")), "syntax 1002");
    // Long chains build deep trees without any nesting in the text.
    EXPECT_EQ(outcome(QStringLiteral("x = 1") + repeat(" + 1", 200000)), "syntax 1002");
    EXPECT_EQ(outcome(QStringLiteral("Set x = WScript") + repeat(".a", 200000)), "syntax 1002");
    EXPECT_EQ(outcome(QStringLiteral("x = Array(1)") + repeat("(0)", 200000)), "syntax 1002");
    EXPECT_EQ(outcome(QStringLiteral("WScript.Echo 1") + repeat(" & 1", 200000)), "syntax 1002");
}

TEST(Robustness, LongButReasonableChainsStillWork)
{
    Engine engine;
    engine.compile(QStringLiteral("x = 1") + repeat(" + 1", 1500) + QStringLiteral("\ns = \"\"")
        + repeat(" & \"ab\"", 1500));
    engine.run();
    EXPECT_EQ(engine.global(QStringLiteral("x")).toLong(), 1501);
    EXPECT_EQ(engine.global(QStringLiteral("s")).toString().size(), 3000);
}

TEST(Robustness, RunawayRecursionIsOutOfStackSpace)
{
    // Each level evaluates a tall expression before recursing: the call depth limit alone lets
    // that run far past the end of the stack.
    const QString tall = QStringLiteral("Function D(n)\n    D = D(n + 1)") + repeat(" + 1", 1500)
        + QStringLiteral("\nEnd Function\nx = D(1)\n");
    EXPECT_EQ(outcome(tall, 0), "error 28");

    // The same on a thread with a small stack.
    std::string plain, tallOnThread;
    QThread *thread = QThread::create([&] {
        plain = outcome(
            QStringLiteral("Function F(n)\n F = F(n + 1) + 1\nEnd Function\nx = F(1)"), 0);
        tallOnThread = outcome(tall, 0);
    });
    thread->setStackSize(512 * 1024);
    thread->start();
    ASSERT_TRUE(thread->wait(60000));
    delete thread;
    EXPECT_EQ(plain, "error 28");
    EXPECT_EQ(tallOnThread, "error 28");

    // Caught like any other error, and the engine stays usable afterwards.
    Engine engine;
    engine.compile(QStringLiteral("Function F(n)\n F = F(n + 1)\nEnd Function\n"
                                  "Function Safe()\n On Error Resume Next\n Safe = F(1)\n Safe = "
                                  "Err.Number\nEnd Function\n"));
    EXPECT_EQ(engine.call(QStringLiteral("Safe")).toLong(), 28);
    EXPECT_EQ(engine.call(QStringLiteral("Safe")).toLong(), 28);
}

TEST(Robustness, LoopsEndAtTheStepLimit)
{
    EXPECT_EQ(outcome(QStringLiteral("Do\nLoop")), "error 1");
    EXPECT_EQ(outcome(QStringLiteral("While True : Wend")), "error 1");
    EXPECT_EQ(outcome(QStringLiteral("On Error Resume Next\nDo : x = 1 / 0 : Loop")), "error 1")
        << "not caught by On Error Resume Next";
    EXPECT_EQ(outcome(QStringLiteral("For i = 1 To 2 Step 0 : Next")), "error 1");
    EXPECT_EQ(outcome(QStringLiteral("Sub S(n)\n If n > 0 Then S n - 1 : S n - 1\nEnd Sub\nS 40")),
        "error 1");
}

TEST(Robustness, DeeplyNestedArraysAreFreed)
{
    EXPECT_EQ(
        outcome(QStringLiteral("Dim a, i\nFor i = 1 To 500000\n a = Array(a)\nNext"), 0), "ok");
    EXPECT_EQ(
        outcome(QStringLiteral("Dim a(0), i\nFor i = 1 To 500000\n a(0) = a\nNext"), 0), "ok");
}

TEST(Robustness, CallingAProcedureThatIsNotThere)
{
    Engine engine;
    engine.compile(QStringLiteral("Sub Present\nEnd Sub"));
    EXPECT_TRUE(engine.hasProcedure(QStringLiteral("PRESENT")));
    EXPECT_FALSE(engine.hasProcedure(QStringLiteral("Absent")));
    try {
        engine.call(QStringLiteral("Absent"));
        FAIL() << "no error";
    } catch (const ScriptError &e) {
        EXPECT_EQ(e.number(), 35);
        EXPECT_EQ(e.description(), QStringLiteral("Sub or Function not defined"));
    }
}
