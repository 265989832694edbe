#include "pdfmerge_p.h"

#include <QFile>
#include <QHash>
#include <QIODevice>

#include <algorithm>
#include <climits>
#include <cstring>
#include <functional>
#include <optional>
#include <vector>

namespace kv6::engine {

namespace {

// ---- reading the objects of one part

enum class Tok { Number, Name, Keyword, String, DictOpen, DictClose, ArrayOpen, ArrayClose, End };

struct Token
{
    Tok type = Tok::End;
    qsizetype start = 0;
    qsizetype end = 0;
};

bool isWhite(char c)
{
    return c == ' ' || c == '\n' || c == '\r' || c == '\t' || c == '\f' || c == '\0';
}

bool isDelimiter(char c)
{
    return c != '\0' && std::strchr("()<>[]{}/%", c) != nullptr;
}

// The tokens of the object syntax; nothing is interpreted beyond telling them apart. Strings
// are skipped whole, so a reference-like run of text inside one is never taken for a reference.
class Lexer
{
public:
    Lexer(const QByteArray &bytes, qsizetype pos)
        : m_b(bytes)
        , m_pos(pos)
    { }

    qsizetype pos() const { return m_pos; }

    // False on bytes that are no token (an unbalanced string, a stray bracket).
    bool next(Token &t)
    {
        skipWhite();
        t.start = m_pos;
        if (m_pos >= m_b.size()) {
            t.type = Tok::End;
            t.end = m_pos;
            return true;
        }
        const char c = m_b.at(m_pos);
        if (c == '(') {
            int depth = 0;
            for (; m_pos < m_b.size(); ++m_pos) {
                const char s = m_b.at(m_pos);
                if (s == '\\')
                    ++m_pos;
                else if (s == '(')
                    ++depth;
                else if (s == ')' && --depth == 0)
                    break;
            }
            if (depth != 0)
                return false;
            t.type = Tok::String;
            t.end = ++m_pos;
            return true;
        }
        if (c == '<' || c == '>') {
            if (m_pos + 1 < m_b.size() && m_b.at(m_pos + 1) == c) {
                t.type = c == '<' ? Tok::DictOpen : Tok::DictClose;
                t.end = m_pos += 2;
                return true;
            }
            if (c == '>')
                return false;
            const qsizetype close = m_b.indexOf('>', m_pos);
            if (close < 0)
                return false;
            t.type = Tok::String;
            t.end = m_pos = close + 1;
            return true;
        }
        if (c == '[' || c == ']') {
            t.type = c == '[' ? Tok::ArrayOpen : Tok::ArrayClose;
            t.end = ++m_pos;
            return true;
        }
        if (c == '/')
            ++m_pos;
        else if (isDelimiter(c))
            return false;
        bool number = c != '/';
        for (; m_pos < m_b.size() && !isWhite(m_b.at(m_pos)) && !isDelimiter(m_b.at(m_pos));
             ++m_pos) {
            const char s = m_b.at(m_pos);
            number = number && ((s >= '0' && s <= '9') || s == '-' || s == '+' || s == '.');
        }
        t.type = c == '/' ? Tok::Name : number ? Tok::Number : Tok::Keyword;
        t.end = m_pos;
        return true;
    }

private:
    void skipWhite()
    {
        while (m_pos < m_b.size()) {
            const char c = m_b.at(m_pos);
            if (c == '%') {
                while (m_pos < m_b.size() && m_b.at(m_pos) != '\n' && m_b.at(m_pos) != '\r')
                    ++m_pos;
            } else if (isWhite(c)) {
                ++m_pos;
            } else {
                break;
            }
        }
    }

    const QByteArray &m_b;
    qsizetype m_pos;
};

// One indirect object: its body's tokens up to "stream" or "endobj", and where its bytes end.
struct Object
{
    qsizetype bodyStart = 0; // just past "N 0 obj"
    qsizetype tailStart = 0; // at "stream" or "endobj"
    qsizetype end = 0; // just past "endobj"
    QList<Token> tokens;
    bool isStream = false;
};

// A top-level entry of a dictionary object: its key and the tokens of its value.
struct Entry
{
    QByteArray key;
    qsizetype first = 0;
    qsizetype last = 0;
};

class PartFile
{
public:
    QString path;
    QByteArray bytes; // the mapped file, not copied
    QList<qint64> offsets; // by object number; -1 where there is none
    int root = 0;
    int info = 0;

    ~PartFile()
    {
        if (m_map)
            m_file.unmap(m_map);
    }

    bool open(const QString &file, QString &why)
    {
        path = file;
        m_file.setFileName(file);
        if (!m_file.open(QIODevice::ReadOnly))
            return fail(why, m_file.errorString());
        m_map = m_file.size() > 0 ? m_file.map(0, m_file.size()) : nullptr;
        if (!m_map)
            return fail(why, QStringLiteral("it cannot be read"));
        bytes = QByteArray::fromRawData(reinterpret_cast<const char *>(m_map), m_file.size());
        return readXref(why);
    }

    QByteArray text(const Token &t) const { return bytes.mid(t.start, t.end - t.start); }

    std::optional<qint64> integer(const Token &t) const
    {
        if (t.type != Tok::Number)
            return {};
        bool ok = false;
        const qint64 v = text(t).toLongLong(&ok);
        return ok ? std::optional<qint64>(v) : std::nullopt;
    }

    // The object number a reference at tokens[i..i+2] names; 0 when they are no reference.
    int referenceAt(const QList<Token> &tokens, qsizetype i) const
    {
        if (i + 2 >= tokens.size() || tokens[i + 2].type != Tok::Keyword
            || text(tokens[i + 2]) != "R")
            return 0;
        const auto number = integer(tokens[i]);
        const auto generation = integer(tokens[i + 1]);
        return number && generation && *generation == 0 && *number > 0 && *number < INT_MAX
            ? int(*number)
            : 0;
    }

    bool readObject(int number, Object &o, QString &why) const
    {
        const QString which = QStringLiteral("object %1").arg(number);
        if (number <= 0 || number >= offsets.size() || offsets[number] < 0)
            return fail(why, QStringLiteral("%1 is not in its cross-reference table").arg(which));
        Lexer lex(bytes, offsets[number]);
        Token n, g, obj;
        if (!lex.next(n) || !lex.next(g) || !lex.next(obj) || integer(n) != number
            || integer(g) != 0 || text(obj) != "obj")
            return fail(why, QStringLiteral("%1 is not where its cross-reference says").arg(which));
        o.bodyStart = lex.pos();
        o.tokens.clear();
        for (;;) {
            Token t;
            if (!lex.next(t) || t.type == Tok::End)
                return fail(why, QStringLiteral("%1 does not end").arg(which));
            if (t.type == Tok::Keyword && (text(t) == "stream" || text(t) == "endobj")) {
                o.tailStart = t.start;
                o.isStream = text(t) == "stream";
                o.end = t.end;
                break;
            }
            o.tokens.append(t);
        }
        if (!o.isStream)
            return true;
        // The data starts after the line end that follows "stream" and is /Length bytes long;
        // "endstream" must follow it, or the length was not the data's.
        qsizetype data = o.end;
        if (data < bytes.size() && bytes.at(data) == '\r')
            ++data;
        if (data >= bytes.size() || bytes.at(data) != '\n')
            return fail(why, QStringLiteral("%1 has no line end after \"stream\"").arg(which));
        ++data;
        qint64 length = -1;
        for (const Entry &e : entries(o)) {
            if (e.key != "/Length")
                continue;
            if (const int ref = referenceAt(o.tokens, e.first))
                length = lengthObject(ref);
            else if (e.first == e.last)
                length = integer(o.tokens[e.first]).value_or(-1);
        }
        if (length < 0 || data + length > bytes.size())
            return fail(why, QStringLiteral("%1 has no usable stream length").arg(which));
        Lexer tail(bytes, data + length);
        Token endstream, endobj;
        if (!tail.next(endstream) || text(endstream) != "endstream" || !tail.next(endobj)
            || text(endobj) != "endobj")
            return fail(
                why, QStringLiteral("%1's stream does not end where its length says").arg(which));
        o.end = endobj.end;
        return true;
    }

    // The top-level entries of a dictionary object; empty when it is none.
    QList<Entry> entries(const Object &o) const
    {
        QList<Entry> out;
        const QList<Token> &t = o.tokens;
        if (t.isEmpty() || t.first().type != Tok::DictOpen)
            return out;
        qsizetype i = 1;
        while (i < t.size() && t[i].type == Tok::Name) {
            Entry e;
            e.key = text(t[i]);
            e.first = i + 1;
            e.last = valueEnd(t, e.first);
            if (e.last < 0)
                return {};
            out.append(e);
            i = e.last + 1;
        }
        return out;
    }

    // The index of the last token of the value starting at `i`; -1 when it does not end.
    qsizetype valueEnd(const QList<Token> &t, qsizetype i) const
    {
        if (i >= t.size())
            return -1;
        if (t[i].type == Tok::DictOpen || t[i].type == Tok::ArrayOpen) {
            int depth = 0;
            for (; i < t.size(); ++i) {
                if (t[i].type == Tok::DictOpen || t[i].type == Tok::ArrayOpen)
                    ++depth;
                else if ((t[i].type == Tok::DictClose || t[i].type == Tok::ArrayClose)
                    && --depth == 0)
                    return i;
            }
            return -1;
        }
        if (t[i].type == Tok::DictClose || t[i].type == Tok::ArrayClose)
            return -1;
        return referenceAt(t, i) ? i + 2 : i;
    }

private:
    static bool fail(QString &why, const QString &text)
    {
        why = text;
        return false;
    }

    qint64 lengthObject(int number) const
    {
        Object o;
        QString ignored;
        if (!readObject(number, o, ignored) || o.isStream || o.tokens.size() != 1)
            return -1;
        return integer(o.tokens.first()).value_or(-1);
    }

    bool readXref(QString &why)
    {
        const qsizetype startxref = bytes.lastIndexOf("startxref");
        if (startxref < 0)
            return fail(why, QStringLiteral("it has no startxref"));
        Lexer lex(bytes, startxref + 9);
        Token t;
        if (!lex.next(t) || !integer(t) || *integer(t) <= 0 || *integer(t) >= bytes.size())
            return fail(why, QStringLiteral("its startxref is not an offset"));
        Lexer x(bytes, *integer(t));
        if (!x.next(t) || text(t) != "xref")
            return fail(why, QStringLiteral("its cross-reference table is not at startxref"));
        for (;;) {
            Token first, count;
            if (!x.next(first))
                return fail(why, QStringLiteral("its cross-reference table is damaged"));
            if (first.type == Tok::Keyword && text(first) == "trailer")
                break;
            if (!x.next(count) || !integer(first) || !integer(count) || *integer(first) < 0
                || *integer(count) < 0 || *integer(first) + *integer(count) > 10'000'000)
                return fail(why, QStringLiteral("its cross-reference table is damaged"));
            const qint64 from = *integer(first), to = from + *integer(count);
            if (offsets.size() < to)
                offsets.resize(to, -1);
            for (qint64 n = from; n < to; ++n) {
                Token offset, generation, kind;
                if (!x.next(offset) || !x.next(generation) || !x.next(kind) || !integer(offset))
                    return fail(why, QStringLiteral("its cross-reference table is damaged"));
                if (text(kind) == "n")
                    offsets[n] = *integer(offset);
                else if (text(kind) != "f")
                    return fail(why, QStringLiteral("its cross-reference table is damaged"));
            }
        }
        Object trailer;
        trailer.tokens.clear();
        for (int depth = 0;;) {
            if (!x.next(t) || t.type == Tok::End)
                return fail(why, QStringLiteral("its trailer does not end"));
            trailer.tokens.append(t);
            if (t.type == Tok::DictOpen)
                ++depth;
            else if (t.type == Tok::DictClose && --depth == 0)
                break;
        }
        for (const Entry &e : entries(trailer)) {
            if (e.key == "/Root")
                root = referenceAt(trailer.tokens, e.first);
            else if (e.key == "/Info")
                info = referenceAt(trailer.tokens, e.first);
        }
        if (root == 0 || info == 0)
            return fail(why, QStringLiteral("its trailer names no catalog or no information"));
        return true;
    }

    QFile m_file;
    uchar *m_map = nullptr;
};

// ---- writing the whole

class Output
{
public:
    explicit Output(QIODevice *device)
        : m_device(device)
    { }

    bool ok = true;
    QList<qint64> offsets { 0 }; // by object number

    void write(QByteArrayView bytes)
    {
        if (!ok || bytes.isEmpty())
            return;
        ok = m_device->write(bytes.data(), bytes.size()) == bytes.size();
        m_pos += bytes.size();
    }
    void beginObject(int number)
    {
        if (offsets.size() <= number)
            offsets.resize(number + 1, -1);
        offsets[number] = m_pos;
        write(QByteArray::number(number) + " 0 obj\n");
    }
    qint64 pos() const { return m_pos; }

private:
    QIODevice *m_device;
    qint64 m_pos = 0;
};

QByteArray keyOf(const PartFile &part, const Object &o, const QByteArray &key)
{
    for (const Entry &e : part.entries(o)) {
        if (e.key == key)
            return part.text(o.tokens[e.first]);
    }
    return {};
}

// A reference's text under its new number.
QByteArray reference(int number)
{
    return QByteArray::number(number) + " 0 R";
}

// Tokens `first` to `last` of an object replaced by `text` in its copy (`text` inserted before
// token `first` when `last` is before it); `text` is written as it is, not renumbered.
struct Edit
{
    qsizetype first = 0;
    qsizetype last = -1;
    QByteArray text;
};

// Copies an object under its new number with every reference it makes renumbered; the bytes
// from "stream" on (the data included) stay exactly as they were.
bool copyObject(const PartFile &part, const Object &o, int number,
    const std::function<int(int)> &renumber, Output &out, QString &why, QList<Edit> edits = {})
{
    std::sort(
        edits.begin(), edits.end(), [](const Edit &a, const Edit &b) { return a.first < b.first; });
    const QByteArrayView bytes(part.bytes);
    out.beginObject(number);
    qsizetype from = o.bodyStart;
    qsizetype edit = 0;
    for (qsizetype i = 0; i < o.tokens.size(); ++i) {
        if (edit < edits.size() && edits[edit].first == i) {
            const Edit &e = edits[edit++];
            out.write(bytes.sliced(from, o.tokens[i].start - from));
            out.write(e.text);
            if (e.last >= i) {
                from = o.tokens[e.last].end;
                i = e.last;
            } else {
                from = o.tokens[i].start;
                --i;
            }
            continue;
        }
        const int ref = i + 2 < o.tokens.size() ? part.referenceAt(o.tokens, i) : 0;
        if (ref == 0)
            continue;
        const int to = renumber(ref);
        if (to <= 0) {
            why = QStringLiteral("a reference to object %1, which is not copied").arg(ref);
            return false;
        }
        out.write(bytes.sliced(from, o.tokens[i].start - from));
        out.write(reference(to));
        from = o.tokens[i + 2].end;
        i += 2;
    }
    out.write(bytes.sliced(from, o.end - from));
    out.write("\n");
    return true;
}

// The name a page's resources give the form that draws its deferred texts.
constexpr char DeferredName[] = "/Kv6Deferred";

// Where the whole's pages' deferred texts are: the form drawing them, by page of the whole, and
// the two streams that wrap a page's own contents and then draw its form.
struct Deferred
{
    QHash<int, int> forms;
    int before = 0;
    int after = 0;
};

bool mergePart(const PdfPart &written, bool first, int pagesRoot, QList<int> &kids,
    Deferred &deferred, bool isOverlay, Output &out, QString &why)
{
    PartFile part;
    if (!part.open(written.path, why))
        return false;
    if (first) {
        // The header (version, binary marker) and the information dictionary are the first
        // part's: every part was given the same title and creator.
        qint64 firstObject = part.bytes.size();
        for (qint64 offset : std::as_const(part.offsets)) {
            if (offset >= 0)
                firstObject = std::min(firstObject, offset);
        }
        out.write(QByteArrayView(part.bytes).first(firstObject));
        Object info;
        if (!part.readObject(part.info, info, why))
            return false;
        if (!copyObject(
                part, info, 1, [](int) { return 0; }, out, why))
            return false;
    }

    Object catalog, tree;
    if (!part.readObject(part.root, catalog, why))
        return false;
    int partTree = 0;
    for (const Entry &e : part.entries(catalog)) {
        if (e.key == "/Pages")
            partTree = part.referenceAt(catalog.tokens, e.first);
        else if (e.key != "/Type") {
            why = QStringLiteral("its catalog has %1, which is not merged")
                      .arg(QString::fromLatin1(e.key));
            return false;
        }
    }
    if (partTree == 0) {
        why = QStringLiteral("its catalog names no page tree");
        return false;
    }
    if (!part.readObject(partTree, tree, why))
        return false;
    QList<int> partKids;
    qint64 count = -1;
    for (const Entry &e : part.entries(tree)) {
        if (e.key == "/Kids") {
            for (qsizetype i = e.first + 1; i < e.last; i += 3) {
                const int kid = part.referenceAt(tree.tokens, i);
                if (kid == 0) {
                    why = QStringLiteral("its page tree's kids are not all references");
                    return false;
                }
                partKids.append(kid);
            }
        } else if (e.key == "/Count") {
            count = part.integer(tree.tokens[e.first]).value_or(-1);
        } else if (e.key != "/Type" && e.key != "/ProcSet") {
            why = QStringLiteral("its page tree has %1, which is not merged")
                      .arg(QString::fromLatin1(e.key));
            return false;
        }
    }
    if (count != partKids.size() || partKids.size() != written.pages.size()) {
        why = QStringLiteral("it has %1 pages where %2 were painted")
                  .arg(partKids.size())
                  .arg(written.pages.size());
        return false;
    }

    // Every object but the catalog, the information and the page tree is copied, numbered on
    // from the last one written; the pages' parent becomes the whole's page tree. An overlay's
    // pages are not copied: each one's contents become a form its page of the whole draws.
    QList<int> numbers(part.offsets.size(), 0);
    // Looked up for every object: an overlay of thousands of pages has as many kids.
    std::vector<bool> isKid(size_t(part.offsets.size()), false);
    for (const int kid : std::as_const(partKids)) {
        if (kid < part.offsets.size())
            isKid[size_t(kid)] = true;
    }
    int next = int(out.offsets.size());
    next = std::max(next, pagesRoot + 1);
    for (int n = 1; n < part.offsets.size(); ++n) {
        if (part.offsets[n] >= 0 && n != part.root && n != part.info && n != partTree
            && !(isOverlay && isKid[size_t(n)]))
            numbers[n] = next++;
    }
    const auto renumber = [&](int old) {
        if (old == partTree)
            return pagesRoot;
        return old < numbers.size() ? numbers[old] : 0;
    };
    // What the copies of some objects change, by the part's object number.
    QHash<int, QList<Edit>> edits;
    for (qsizetype i = 0; i < partKids.size(); ++i) {
        Object page;
        if (!part.readObject(partKids[i], page, why))
            return false;
        if (keyOf(part, page, "/Type") != "/Page") {
            why = QStringLiteral("its page tree holds object %1, which is no page")
                      .arg(partKids[i]);
            return false;
        }
        const int at = written.pages[i];
        const bool taken = isOverlay ? deferred.forms.contains(at) : kids.value(at) != 0;
        if (at < 0 || at >= kids.size() || taken) {
            why = QStringLiteral("its page %1 has no free place in the whole").arg(i + 1);
            return false;
        }
        if (!isOverlay)
            kids[at] = renumber(partKids[i]);
        if (!isOverlay && !deferred.forms.contains(at))
            continue;
        // The page's contents and resources: one stream and one dictionary, as the writer
        // makes them.
        int contents = 0, resources = 0;
        qsizetype contentsAt = -1;
        QByteArray box;
        for (const Entry &e : part.entries(page)) {
            if (e.key == "/Contents") {
                contents = part.referenceAt(page.tokens, e.first);
                contentsAt = e.first;
            } else if (e.key == "/Resources") {
                resources = part.referenceAt(page.tokens, e.first);
            } else if (e.key == "/MediaBox") {
                box = part.bytes.mid(page.tokens[e.first].start,
                    page.tokens[e.last].end - page.tokens[e.first].start);
            }
        }
        if (contents == 0 || resources == 0 || box.isEmpty()
            || edits.contains(isOverlay ? contents : resources)) {
            why = QStringLiteral("its page %1's contents or resources are not merged").arg(i + 1);
            return false;
        }
        if (isOverlay) {
            // The contents stream becomes a form over the whole page, with the page's resources.
            deferred.forms.insert(at, renumber(contents));
            edits[contents].append(Edit { 1, 0,
                "/Type /XObject\n/Subtype /Form\n/BBox " + box + "\n/Resources "
                    + reference(renumber(resources)) + "\n" });
            continue;
        }
        // The page's own contents are wrapped, so that the form is drawn in the page's space.
        edits[partKids[i]].append(Edit { contentsAt, contentsAt + 2,
            "[" + reference(deferred.before) + " " + reference(renumber(contents)) + " "
                + reference(deferred.after) + "]" });
        Object dictionary;
        if (!part.readObject(resources, dictionary, why))
            return false;
        const QList<Entry> entries = part.entries(dictionary);
        const QByteArray form = QByteArray(DeferredName) + " " + reference(deferred.forms[at]);
        const auto xobjects = std::find_if(
            entries.begin(), entries.end(), [](const Entry &e) { return e.key == "/XObject"; });
        if (entries.isEmpty()
            || (xobjects != entries.end()
                && dictionary.tokens[xobjects->first].type != Tok::DictOpen)) {
            why = QStringLiteral("its page %1's resources are not merged").arg(i + 1);
            return false;
        }
        if (xobjects != entries.end())
            edits[resources].append(Edit { xobjects->last, xobjects->last - 1, form + "\n" });
        else
            edits[resources].append(Edit { dictionary.tokens.size() - 1,
                dictionary.tokens.size() - 2, "/XObject << " + form + " >>\n" });
    }
    for (int n = 1; n < numbers.size(); ++n) {
        if (numbers[n] == 0)
            continue;
        Object o;
        if (!part.readObject(n, o, why))
            return false;
        const QList<Edit> changes = edits.value(n);
        if (!changes.isEmpty() && (o.tokens.isEmpty() || o.tokens.first().type != Tok::DictOpen)) {
            why = QStringLiteral("object %1 is no dictionary").arg(n);
            return false;
        }
        if (!copyObject(part, o, numbers[n], renumber, out, why, changes))
            return false;
    }
    return out.ok;
}

// A stream object of `data`.
void writeStream(Output &out, int number, const QByteArray &data)
{
    out.beginObject(number);
    out.write("<<\n/Length " + QByteArray::number(data.size()) + "\n>>\nstream\n" + data
        + "\nendstream\nendobj\n");
}

} // namespace

bool mergePdfParts(
    const QList<PdfPart> &parts, QIODevice *out, QString *error, const PdfPart *overlay)
{
    qsizetype total = 0;
    for (const PdfPart &p : parts)
        total += p.pages.size();
    if (parts.isEmpty() || total == 0) {
        if (error)
            *error = QStringLiteral("There are no pages to merge.");
        return false;
    }
    // Numbers 1 to 3 are the information, the catalog and the page tree, as the writer has them.
    constexpr int info = 1, catalog = 2, pagesRoot = 3;
    Output o(out);
    QList<int> kids(total, 0);
    Deferred deferred;
    // The overlay goes first, so that the pages know their forms when they are copied.
    QList<const PdfPart *> order;
    if (overlay && !overlay->pages.isEmpty())
        order.append(overlay);
    for (const PdfPart &p : parts)
        order.append(&p);
    for (qsizetype i = 0; i < order.size(); ++i) {
        const bool isOverlay = order[i] == overlay;
        QString why;
        if (!mergePart(*order[i], i == 0, pagesRoot, kids, deferred, isOverlay, o, why)) {
            if (error)
                *error = o.ok ? QStringLiteral("The PDF part %1 cannot be merged: %2")
                                    .arg(order[i]->path, why)
                              : out->errorString();
            return false;
        }
        if (isOverlay) {
            // A page's own contents may leave its graphics state changed: they are drawn
            // inside a saved state, and the form after it is restored.
            deferred.before = std::max(int(o.offsets.size()), pagesRoot + 1);
            deferred.after = deferred.before + 1;
            writeStream(o, deferred.before, "q");
            writeStream(o, deferred.after, "Q\nq " + QByteArray(DeferredName) + " Do Q");
        }
    }
    for (qsizetype i = 0; i < kids.size(); ++i) {
        if (kids[i] == 0) {
            if (error)
                *error = QStringLiteral("No part holds page %1.").arg(i + 1);
            return false;
        }
    }
    o.beginObject(catalog);
    o.write("<<\n/Type /Catalog\n/Pages " + QByteArray::number(pagesRoot) + " 0 R\n>>\nendobj\n");
    o.beginObject(pagesRoot);
    QByteArray tree = "<<\n/Type /Pages\n/Kids \n[\n";
    for (int kid : std::as_const(kids))
        tree += QByteArray::number(kid) + " 0 R\n";
    tree += "]\n/Count " + QByteArray::number(kids.size())
        + "\n/ProcSet [/PDF /Text /ImageB /ImageC]\n>>\nendobj\n";
    o.write(tree);

    const qint64 xref = o.pos();
    QByteArray table = "xref\n0 " + QByteArray::number(o.offsets.size()) + "\n";
    table += "0000000000 65535 f \n";
    for (qsizetype n = 1; n < o.offsets.size(); ++n) {
        if (o.offsets[n] < 0) {
            if (error)
                *error = QStringLiteral("Object %1 of the merged PDF was never written.").arg(n);
            return false;
        }
        table += QByteArray::number(o.offsets[n]).rightJustified(10, '0') + " 00000 n \n";
    }
    table += "trailer\n<<\n/Size " + QByteArray::number(o.offsets.size()) + "\n/Info "
        + QByteArray::number(info) + " 0 R\n/Root " + QByteArray::number(catalog)
        + " 0 R\n>>\nstartxref\n" + QByteArray::number(xref) + "\n%%EOF\n";
    o.write(table);
    if (!o.ok && error)
        *error = out->errorString();
    return o.ok;
}

} // namespace kv6::engine
