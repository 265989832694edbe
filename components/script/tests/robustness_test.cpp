// Hostile and runaway scripts end as a ScriptError (or run); none may crash the program or hang
// it. Random and mutated scripts are the fuzzer's (scripts/fuzz script, seeded with the
// conformance suite), which CI runs.

#include "script/scriptengine.h"

#include <QThread>

#include <gtest/gtest.h>

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
    return QString::fromUtf8(text).repeated(n);
}

} // namespace

TEST(Robustness, DeepNestingIsACompileErrorAndReasonableChainsRun)
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

    // Long but reasonable chains still work.
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
