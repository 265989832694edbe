// Runs every script under tests/conformance/<group>/ and compares what it prints with the .out
// file beside it. Scripts print through WScript.Echo; a script that stops with an error ends its
// output with "error N line L: description" (run time) or
// "syntax error N line L column C: message" (compile time).

#include "script/scriptengine.h"
#include "testenv.h"
#include "testlocale.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QLocale>

#include <gtest/gtest.h>

using namespace kv6::script;

namespace {

const char *const ConformanceDir = KV6_SOURCE_DIR "/components/script/tests/conformance";

// Enough for every script in the suite; a runaway loop ends as an error instead of a hang.
constexpr qint64 StepLimit = 2000000;

class Echo : public HostObject
{
public:
    explicit Echo(QStringList *out)
        : m_out(out)
    { }
    QString typeName() const override { return QStringLiteral("Object"); }
    Variant get(const QString &member, const QList<Variant> &args) override
    {
        if (member.compare(QLatin1String("echo"), Qt::CaseInsensitive) != 0)
            return HostObject::get(member, args);
        QStringList parts;
        for (const Variant &v : args)
            parts << (v.isNull() ? QStringLiteral("Null") : v.toString());
        *m_out << parts.join(u' ');
        return Variant();
    }

private:
    QStringList *m_out;
};

// The lines a script prints, then its error if it stopped with one.
QString runScript(const QString &source)
{
    QStringList out;
    Engine engine;
    engine.setStepLimit(StepLimit);
    engine.addObject(QStringLiteral("WScript"), std::make_shared<Echo>(&out));
    try {
        engine.compile(source);
        engine.run();
    } catch (const ScriptError &e) {
        if (e.isSyntaxError())
            out << QStringLiteral("syntax error %1 line %2 column %3: %4")
                       .arg(e.number())
                       .arg(e.line())
                       .arg(e.column())
                       .arg(e.description());
        else
            out << QStringLiteral("error %1 line %2: %3")
                       .arg(e.number())
                       .arg(e.line())
                       .arg(e.description());
    }
    return out.join(u'\n') + u'\n';
}

struct Case
{
    QString path; // relative to the conformance folder, without ".vbs"
};

void PrintTo(const Case &c, std::ostream *os)
{
    *os << c.path.toStdString();
}

std::vector<Case> allCases()
{
    std::vector<Case> cases;
    const QDir root(QString::fromUtf8(ConformanceDir));
    QDirIterator it(
        root.path(), { QStringLiteral("*.vbs") }, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString rel = root.relativeFilePath(it.next());
        cases.push_back({ rel.chopped(4) });
    }
    std::sort(
        cases.begin(), cases.end(), [](const Case &a, const Case &b) { return a.path < b.path; });
    return cases;
}

class Conformance : public ::testing::TestWithParam<Case>
{
protected:
    // Dates and numbers print as in the United States whatever the machine's locale.
    kv6test::ScopedLocale us { QLocale(QLocale::English, QLocale::UnitedStates) };
};

TEST_P(Conformance, PrintsTheExpectedOutput)
{
    const QString base = QString::fromUtf8(ConformanceDir) + u'/' + GetParam().path;
    const QString source = kv6test::readText(base + QStringLiteral(".vbs"));
    ASSERT_FALSE(source.isEmpty()) << "cannot read " << base.toStdString() << ".vbs";
    ASSERT_TRUE(QFile::exists(base + QStringLiteral(".out")))
        << "no expected output: write " << base.toStdString() << ".out";
    QString expected = kv6test::readText(base + QStringLiteral(".out"));
    expected.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    if (!expected.endsWith(u'\n'))
        expected += u'\n';
    EXPECT_EQ(runScript(source).toStdString(), expected.toStdString())
        << GetParam().path.toStdString() << ".vbs";
}

INSTANTIATE_TEST_SUITE_P(Scripts, Conformance, ::testing::ValuesIn(allCases()),
    [](const ::testing::TestParamInfo<Case> &info) {
        QString name = info.param.path;
        for (QChar &c : name) {
            if (!c.isLetterOrNumber())
                c = u'_';
        }
        return name.toStdString();
    });

TEST(ConformanceSuite, HasScriptsInEveryGroup)
{
    const QDir root(QString::fromUtf8(ConformanceDir));
    const QStringList groups = root.entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const char *g :
        { "statements", "expressions", "variants", "strings", "dates", "errors" }) {
        EXPECT_TRUE(groups.contains(QString::fromLatin1(g))) << g;
        EXPECT_FALSE(QDir(root.filePath(QString::fromLatin1(g)))
                         .entryList({ QStringLiteral("*.vbs") })
                         .isEmpty())
            << g;
    }
}

} // namespace
