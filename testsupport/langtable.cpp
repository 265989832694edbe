#include "langtable.h"

#include "testenv.h"

#include <QFile>

namespace kv6test {

namespace {

// Decodes \t \n \\; anything else after a backslash is an error.
bool unescape(const QString &raw, QString &out, QString &why)
{
    out.clear();
    for (qsizetype i = 0; i < raw.size(); ++i) {
        if (raw[i] != u'\\') {
            out += raw[i];
            continue;
        }
        if (++i == raw.size()) {
            why = QStringLiteral("backslash at end of text");
            return false;
        }
        const char16_t c = raw[i].unicode();
        if (c != u't' && c != u'n' && c != u'\\') {
            why = QStringLiteral("unknown escape \\") + raw[i];
            return false;
        }
        out += c == u't' ? u'\t' : c == u'n' ? u'\n' : u'\\';
    }
    return true;
}

} // namespace

QMap<int, QString> LangTable::byNumber() const
{
    QMap<int, QString> out;
    for (const LangEntry &e : entries)
        out.insert(e.number, e.text);
    return out;
}

LangTable parseLangTable(const QByteArray &bytes)
{
    LangTable t;
    const QStringList lines = QString::fromUtf8(bytes).split(u'\n');
    for (int n = 1; n <= lines.size(); ++n) {
        QString line = lines[n - 1];
        if (line.endsWith(u'\r'))
            line.chop(1);
        if (line.isEmpty() || line.startsWith(u'#'))
            continue;
        const auto fail = [&](const QString &why) {
            t.errors << QStringLiteral("line %1: %2").arg(n).arg(why);
        };
        const qsizetype tab = line.indexOf(u'\t');
        if (tab < 0) {
            fail(QStringLiteral("no tab after the number"));
            continue;
        }
        const QString number = line.left(tab);
        bool digits = !number.isEmpty() && number.size() <= 5;
        for (const QChar c : number)
            digits = digits && c >= u'0' && c <= u'9';
        if (!digits) {
            fail(u'\'' + number + QStringLiteral("' is not a string number"));
            continue;
        }
        const QString raw = line.mid(tab + 1);
        if (raw.contains(u'\t')) {
            fail(QStringLiteral("second raw tab (write \\t inside texts)"));
            continue;
        }
        LangEntry e { n, number.toInt(), {} };
        QString why;
        if (!unescape(raw, e.text, why))
            fail(why);
        else if (e.text.isEmpty())
            fail(QStringLiteral("empty text"));
        else
            t.entries << e;
    }
    return t;
}

LangTable readLangTable(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) {
        LangTable t;
        t.errors << QStringLiteral("cannot open ") + path;
        return t;
    }
    return parseLangTable(f.readAll());
}

QString englishTablePath()
{
    return sourceDir() + QStringLiteral("/data/lang/1033/kv6reprtLangRes.txt");
}

} // namespace kv6test
