#include "render/pdfpatch.h"

#include "base/localeinfo.h"
#include "base/textfile.h"

#include <QFile>
#include <QSaveFile>

namespace kv6::modPDFUtils {

namespace {

const QByteArray winAnsi = QByteArrayLiteral("/WinAnsiEncoding");

// Written as one run of fifteen pieces; the numbers are Windows-1251 codes.
const char *const differences[] = {
    "/Differences [127 /.notdef 128 /afii10051 129 /afii10052 131 /afii10100 136 ",
    "/Euro 138 /afii10058 140 /afii10059 141 /afii10061 142 /afii10060 143 /afii10145 144",
    "/afii10099 152 /.notdef 154 /afii10106 156 /afii10107 157 /afii10109 158 /afii10108 159 ",
    "/afii10193 160 /space 161 /afii10062 162 /afii10110 163 /afii10057 165 /afii10050 168 "
    "/afii10023 170 ",
    "/afii10053 173 /hyphen 175 /afii10056 176 /degree 178 /afii10055 179 /afii10103 180 "
    "/afii10098 184 ",
    "/afii10071 185 /afii61352 186 /afii10101 188 /afii10105 189 /afii10054 190 /afii10102 191 "
    "/afii10104 192 ",
    "/afii10017 193 /afii10018 194 /afii10019 195 /afii10020 196 /afii10021 197 /afii10022 198 "
    "/afii10024 199 ",
    "/afii10025 200 /afii10026 201 /afii10027 202 /afii10028 203 /afii10029 204 /afii10030 205 "
    "/afii10031 206 ",
    "/afii10032 207 /afii10033 208 /afii10034 209 /afii10035 210 /afii10036 211 /afii10037 212 "
    "/afii10038 213 ",
    "/afii10039 214 /afii10040 215 /afii10041 216 /afii10042 217 /afii10043 218 /afii10044 219 "
    "/afii10045 220 ",
    "/afii10046 221 /afii10047 222 /afii10048 223 /afii10049 224 /afii10065 225 /afii10066 226 "
    "/afii10067 227 ",
    "/afii10068 228 /afii10069 229 /afii10070 230 /afii10072 231 /afii10073 232 /afii10074 233 "
    "/afii10075 234 ",
    "/afii10076 235 /afii10077 236 /afii10078 237 /afii10079 238 /afii10080 239 /afii10081 240 "
    "/afii10082 241 ",
    "/afii10083 242 /afii10084 243 /afii10085 244 /afii10086 245 /afii10087 246 /afii10088 247 "
    "/afii10089 248 ",
    "/afii10090 249 /afii10091 250 /afii10092 251 /afii10093 252 /afii10094 253 /afii10095 254 "
    "/afii10096 255 /afii10097 ]",
};

// The end of the line holding `from`: the index just past its CR when the line ends in CR LF,
// past its LF when it ends in a lone LF; -1 when no line end follows.
qsizetype lineEnd(const QByteArray &bytes, qsizetype from)
{
    const qsizetype lf = bytes.indexOf('\n', from);
    if (lf < 0)
        return -1;
    if (lf > from && bytes.at(lf - 1) == '\r')
        return lf; // just past the CR
    return lf + 1;
}

bool fail(QString *error, const QString &why)
{
    if (error)
        *error = why;
    return false;
}

} // namespace

QString DefaultAnsiCodePage()
{
    const int cp = CodePage();
    return cp > 0 ? QString::number(cp) : QString();
}

bool PatchPDFBytes(const QByteArray &pdf, QByteArray &patched, QString *error)
{
    const qint64 length = pdf.size();
    const qint64 object = pdf.count("endobj") + 1;
    QByteArray ref = QByteArray::number(object) + " 0 R";
    if (ref.size() < winAnsi.size())
        ref += QByteArray(winAnsi.size() - ref.size(), ' ');
    QByteArray body = pdf;
    // Equal lengths keep every offset of the cross-reference table valid.
    if (ref.size() == winAnsi.size())
        body.replace(winAnsi, ref);
    else
        return fail(error, QStringLiteral("the PDF has too many objects to patch"));

    const qsizetype root = body.lastIndexOf("/Root");
    if (root < 0)
        return fail(error, QStringLiteral("the PDF has no /Root entry"));
    const qsizetype rootEnd = lineEnd(body, root);
    if (rootEnd < 0)
        return fail(error, QStringLiteral("the PDF's /Root line has no line end"));
    const QByteArray rootRest = body.mid(root + 5, rootEnd - root - 5);

    const qsizetype startxref = body.lastIndexOf("startxref");
    if (startxref < 0)
        return fail(error, QStringLiteral("the PDF has no startxref"));
    const qsizetype lf = body.indexOf('\n', startxref);
    if (lf < 0)
        return fail(error, QStringLiteral("the PDF's startxref has no line end"));
    const qsizetype prevEnd = lineEnd(body, lf + 1);
    if (prevEnd < 0)
        return fail(error, QStringLiteral("the PDF's cross-reference offset has no line end"));
    const QByteArray prev = body.mid(lf + 1, prevEnd - lf - 1);

    QByteArray o;
    o += QByteArray::number(object)
        + " 0 obj\r\n<<\r\n/Type\r\n/Encoding\r\n"
          "/BaseEncoding /WinAnsiEncoding\r\n";
    for (const char *piece : differences)
        o += piece;
    o += "\r\n>>\r\nendobj\r\n";

    QByteArray u = o;
    u += "xref\r\n0 1\r\n0000000000 65535 f\r\n";
    u += QByteArray::number(object) + " 1\r\n";
    u += QByteArray::number(length).rightJustified(10, '0') + " 00000 n\r\n";
    u += "trailer\r\n<<\r\n/Size " + QByteArray::number(object + 1) + "\r\n";
    u += "/Prev " + prev;
    u += "/Root" + rootRest;
    u += ">>\r\nstartxref\r\n" + QByteArray::number(length + o.size()) + "\r\n%%EOF";
    patched = body + u;
    return true;
}

bool PatchPDFFile(const QString &path, const QString &codePage, QString *error)
{
    if (codePage.trimmed().isEmpty() || codePage.trimmed() == QLatin1String("1252"))
        return true;
    QFile in(path);
    if (!in.open(QIODevice::ReadOnly))
        return fail(error, QStringLiteral("%1: %2").arg(path, in.errorString()));
    const QByteArray pdf = in.readAll();
    in.close();
    QByteArray patched;
    QString why;
    if (!PatchPDFBytes(pdf, patched, &why))
        return fail(error, QStringLiteral("%1: %2").arg(path, why));
    // Written beside and renamed over, so a failed write leaves the unpatched file whole.
    QSaveFile out(path);
    if (!out.open(QIODevice::WriteOnly))
        return fail(error, QStringLiteral("%1: %2").arg(path, out.errorString()));
    if (!WriteAndCommit(out, patched, &why))
        return fail(error, QStringLiteral("%1: %2").arg(path, why));
    return true;
}

bool PatchPDFFile(const QString &path, QString *error)
{
    return PatchPDFFile(path, DefaultAnsiCodePage(), error);
}

} // namespace kv6::modPDFUtils
