#include "script/lexer.h"

#include <cmath>

namespace kv6::script {

namespace {

bool identStart(QChar c)
{
    return c.isLetter() || c == u'_';
}
bool identPart(QChar c)
{
    return c.isLetterOrNumber() || c == u'_';
}

} // namespace

QList<Token> tokenize(const QString &src)
{
    QList<Token> out;
    int line = 1;
    qsizetype lineStart = 0;
    qsizetype i = 0;
    const qsizetype n = src.size();
    bool space = false;
    auto push = [&](Token t, qsizetype start) {
        t.line = line;
        t.column = int(start - lineStart) + 1;
        t.spaceBefore = space;
        space = false;
        out.push_back(std::move(t));
    };
    auto fail = [&](int number, const QString &msg, qsizetype at) -> void {
        throw SyntaxError { number, msg, line, int(at - lineStart) + 1 };
    };
    while (i < n) {
        const QChar c = src[i];
        if (c == u' ' || c == u'\t' || c == u'\f') {
            space = true;
            ++i;
            continue;
        }
        if (c == u'\r' || c == u'\n') {
            Token t;
            t.kind = Tok::Newline;
            push(t, i);
            if (c == u'\r' && i + 1 < n && src[i + 1] == u'\n')
                ++i;
            ++i;
            ++line;
            lineStart = i;
            continue;
        }
        if (c == u'\'') {
            while (i < n && src[i] != u'\r' && src[i] != u'\n')
                ++i;
            continue;
        }
        if (c == u'_' && (i + 1 >= n || !identPart(src[i + 1]))) {
            // Line continuation: only blanks may follow before the line end.
            qsizetype j = i + 1;
            while (j < n && (src[j] == u' ' || src[j] == u'\t'))
                ++j;
            if (j < n && (src[j] == u'\r' || src[j] == u'\n')) {
                if (src[j] == u'\r' && j + 1 < n && src[j + 1] == u'\n')
                    ++j;
                i = j + 1;
                ++line;
                lineStart = i;
                space = true;
                continue;
            }
            fail(1032, QStringLiteral("Invalid character"), i);
        }
        const qsizetype start = i;
        if (identStart(c)) {
            while (i < n && identPart(src[i]))
                ++i;
            Token t;
            t.kind = Tok::Ident;
            t.text = src.mid(start, i - start);
            t.key = t.text.toCaseFolded();
            if (t.key == u"rem") {
                while (i < n && src[i] != u'\r' && src[i] != u'\n')
                    ++i;
                // Rem is a statement: after other code on the line it needs a ":" first, so
                // the parser gets to see it there and reports the missing end of statement.
                const bool statementStart = out.isEmpty() || out.back().kind == Tok::Newline
                    || (out.back().kind == Tok::Ident && !out.back().bracketed
                        && (out.back().key == u"then" || out.back().key == u"else"));
                if (!statementStart)
                    push(t, start);
                continue;
            }
            push(t, start);
            continue;
        }
        if (c == u'[') {
            qsizetype j = i + 1;
            while (j < n && src[j] != u']' && src[j] != u'\r' && src[j] != u'\n')
                ++j;
            if (j >= n || src[j] != u']')
                fail(1010, QStringLiteral("Expected identifier"), i);
            Token t;
            t.kind = Tok::Ident;
            t.text = src.mid(i + 1, j - i - 1);
            t.key = t.text.toCaseFolded();
            t.bracketed = true;
            i = j + 1;
            push(t, start);
            continue;
        }
        if (c.isDigit() || (c == u'.' && i + 1 < n && src[i + 1].isDigit())) {
            while (i < n && src[i].isDigit())
                ++i;
            bool isFloat = false;
            if (i < n && src[i] == u'.') {
                isFloat = true;
                ++i;
                while (i < n && src[i].isDigit())
                    ++i;
            }
            if (i < n && (src[i] == u'e' || src[i] == u'E')) {
                qsizetype j = i + 1;
                if (j < n && (src[j] == u'+' || src[j] == u'-'))
                    ++j;
                if (j < n && src[j].isDigit()) {
                    isFloat = true;
                    i = j;
                    while (i < n && src[i].isDigit())
                        ++i;
                }
            }
            if (i < n && identStart(src[i]))
                fail(1025, QStringLiteral("Expected end of statement"), i);
            Token t;
            t.kind = Tok::Number;
            const QString text = src.mid(start, i - start);
            double d = 0;
            Variant::parseNumber(text, &d);
            if (!isFloat && d <= 32767)
                t.value = Variant::integer(int(d));
            else if (!isFloat && d <= 2147483647.0)
                t.value = Variant::longValue(qint32(d));
            else if (std::isinf(d))
                fail(1031, QStringLiteral("Invalid number"), start);
            else
                t.value = Variant::dbl(d);
            t.text = text;
            push(t, start);
            continue;
        }
        if (c == u'&' && i + 1 < n
            && (src[i + 1] == u'H' || src[i + 1] == u'h' || src[i + 1] == u'O'
                || src[i + 1] == u'o')) {
            const bool hex = src[i + 1] == u'H' || src[i + 1] == u'h';
            qsizetype j = i + 2;
            while (
                j < n && (hex ? isxdigit(src[j].toLatin1()) : (src[j] >= u'0' && src[j] <= u'7')))
                ++j;
            if (j == i + 2)
                fail(1031, QStringLiteral("Invalid number"), i);
            bool ok = false;
            const qint64 v = src.mid(i + 2, j - i - 2).toLongLong(&ok, hex ? 16 : 8);
            if (!ok || v > 0xFFFFFFFFLL)
                fail(1031, QStringLiteral("Invalid number"), i);
            i = j;
            if (i < n && src[i] == u'&')
                ++i; // &HFFFF& marks a Long
            Token t;
            t.kind = Tok::Number;
            t.value = v <= 0xFFFF && src[i - 1] != u'&' ? Variant::integer(qint16(v))
                                                        : Variant::longValue(qint32(quint32(v)));
            push(t, start);
            continue;
        }
        if (c == u'"') {
            QString s;
            ++i;
            for (;;) {
                if (i >= n || src[i] == u'\r' || src[i] == u'\n')
                    fail(1033, QStringLiteral("Unterminated string constant"), start);
                if (src[i] == u'"') {
                    if (i + 1 < n && src[i + 1] == u'"') {
                        s += u'"';
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                s += src[i++];
            }
            Token t;
            t.kind = Tok::String;
            t.value = Variant::string(s);
            push(t, start);
            continue;
        }
        if (c == u'#') {
            qsizetype j = i + 1;
            while (j < n && src[j] != u'#' && src[j] != u'\r' && src[j] != u'\n')
                ++j;
            double d = 0;
            if (j >= n || src[j] != u'#' || !Variant::parseDate(src.mid(i + 1, j - i - 1), &d))
                fail(1031, QStringLiteral("Invalid date literal"), i);
            Token t;
            t.kind = Tok::Date;
            t.value = Variant::date(d);
            i = j + 1;
            push(t, start);
            continue;
        }
        static const QString twoChar[]
            = { QStringLiteral("<>"), QStringLiteral("<="), QStringLiteral(">=") };
        Token t;
        t.kind = Tok::Op;
        for (const QString &op : twoChar) {
            if (src.mid(i, 2) == op)
                t.text = op;
        }
        if (t.text.isEmpty()) {
            if (QStringLiteral("+-*/\\^&=<>(),.").contains(c)) {
                t.text = c;
            } else if (c == u':') {
                t.kind = Tok::Newline;
                t.text = c;
            } else {
                fail(1032, QStringLiteral("Invalid character"), i);
            }
        }
        i += t.kind == Tok::Op ? t.text.size() : 1;
        push(t, start);
    }
    Token nl;
    nl.kind = Tok::Newline;
    push(nl, i);
    Token end;
    end.kind = Tok::End;
    push(end, i);
    return out;
}

} // namespace kv6::script
