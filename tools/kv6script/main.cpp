// kv6script FILE [ARG...]: runs a script with a WScript object (Echo, Arguments, Quit).

#include "mainguard/mainguard.h"
#include "script/scriptengine.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>

#include <cstdio>

using namespace kv6::script;

namespace {

// Thrown by WScript.Quit; passes through the engine untouched.
struct QuitRequest
{
    int code;
};

bool is(const QString &member, const char *name)
{
    return member.compare(QLatin1String(name), Qt::CaseInsensitive) == 0;
}

class Arguments : public HostObject
{
public:
    explicit Arguments(QStringList args)
        : m_args(std::move(args))
    { }
    QString typeName() const override { return QStringLiteral("WshArguments"); }
    Variant get(const QString &member, const QList<Variant> &args) override
    {
        if (is(member, "count") || is(member, "length"))
            return Variant::longValue(qint32(m_args.size()));
        if (member.isEmpty() || is(member, "item")) {
            if (args.size() != 1)
                raise(450);
            const qint32 i = args[0].toLong();
            if (i < 0 || i >= m_args.size())
                raise(9);
            return Variant::string(m_args[i]);
        }
        raise(438);
    }
    QList<Variant> items() override
    {
        QList<Variant> out;
        for (const QString &a : m_args)
            out << Variant::string(a);
        return out;
    }

private:
    QStringList m_args;
};

class WScript : public HostObject
{
public:
    WScript(QString path, QStringList args)
        : m_path(std::move(path))
        , m_args(std::make_shared<Arguments>(std::move(args)))
    { }
    QString typeName() const override { return QStringLiteral("Object"); }
    Variant get(const QString &member, const QList<Variant> &args) override
    {
        if (is(member, "echo")) {
            QStringList parts;
            for (const Variant &v : args)
                parts << (v.isNull() ? QStringLiteral("Null") : v.toString());
            const QByteArray line = (parts.join(u' ') + u'\n').toUtf8();
            std::fwrite(line.constData(), 1, size_t(line.size()), stdout);
            return Variant();
        }
        if (is(member, "arguments")) {
            if (args.isEmpty())
                return Variant::object(m_args);
            return m_args->get(QString(), args);
        }
        if (is(member, "quit")) {
            std::fflush(stdout);
            throw QuitRequest { args.isEmpty() ? 0 : int(args[0].toLong()) };
        }
        if (is(member, "scriptname"))
            return Variant::string(QFileInfo(m_path).fileName());
        if (is(member, "scriptfullname"))
            return Variant::string(QFileInfo(m_path).absoluteFilePath());
        raise(438);
    }

private:
    QString m_path;
    std::shared_ptr<Arguments> m_args;
};

QString decode(const QByteArray &bytes)
{
    // Notepad writes UTF-16 with a byte order mark; everything else is read as UTF-8.
    if (bytes.startsWith("\xFF\xFE"))
        return QStringDecoder(QStringDecoder::Utf16LE)(bytes.mid(2));
    if (bytes.startsWith("\xFE\xFF"))
        return QStringDecoder(QStringDecoder::Utf16BE)(bytes.mid(2));
    if (bytes.startsWith("\xEF\xBB\xBF"))
        return QString::fromUtf8(bytes.mid(3));
    return QString::fromUtf8(bytes);
}

void printError(const QString &text)
{
    const QByteArray b = (text + u'\n').toUtf8();
    std::fwrite(b.constData(), 1, size_t(b.size()), stderr);
}

int run(const QStringList &arguments)
{
    const QString usage = QStringLiteral("usage: kv6script [--step-limit N] FILE [ARG...]");
    QCommandLineParser parser;
    // Everything after the file belongs to the script, even words that look like options.
    parser.setOptionsAfterPositionalArgumentsMode(QCommandLineParser::ParseAsPositionalArguments);
    parser.addOption(
        QCommandLineOption(QStringLiteral("step-limit"), QString(), QStringLiteral("N")));
    parser.addOption(
        QCommandLineOption({ QStringLiteral("h"), QStringLiteral("help") }, QString()));
    if (!parser.parse(arguments)) {
        printError(QStringLiteral("kv6script: %1 %2").arg(parser.errorText(), usage));
        return 2;
    }
    if (parser.isSet(QStringLiteral("help"))) {
        std::fputs(qPrintable(usage + u'\n'), stdout);
        return 0;
    }
    qint64 stepLimit = 0;
    if (parser.isSet(QStringLiteral("step-limit"))) {
        bool ok = false;
        stepLimit = parser.value(QStringLiteral("step-limit")).toLongLong(&ok);
        if (!ok || stepLimit < 0) {
            printError(QStringLiteral("kv6script: --step-limit needs a whole number."));
            return 2;
        }
    }
    QStringList args = parser.positionalArguments();
    if (args.isEmpty()) {
        printError(usage);
        return 2;
    }
    const QString path = args.takeFirst();
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        printError(QStringLiteral("%1: %2").arg(path, file.errorString()));
        return 1;
    }
    Engine engine;
    engine.setStepLimit(stepLimit);
    engine.addObject(QStringLiteral("WScript"), std::make_shared<WScript>(path, args));
    try {
        engine.compile(decode(file.readAll()));
        engine.run();
    } catch (const ScriptError &e) {
        std::fflush(stdout);
        printError(QStringLiteral("%1:%2:%3: %4")
                       .arg(path)
                       .arg(e.line())
                       .arg(e.column())
                       .arg(e.message()));
        return 1;
    } catch (const QuitRequest &q) {
        return q.code;
    }
    std::fflush(stdout);
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    return kv6::RunGuarded("kv6script", [] { return run(QCoreApplication::arguments()); });
}
