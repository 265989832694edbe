#include "base/textfile.h"

#include <QFile>
#include <QSaveFile>
#include <QStringDecoder>

namespace kv6 {

QString DecodeText(const QByteArray &bytes)
{
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8.decode(bytes);
    if (utf8.hasError()) {
        // Windows-1252 without a codec library: Latin-1 plus the 0x80-0x9F block.
        static const char16_t high[32] = { 0x20AC, 0x81, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020,
            0x2021, 0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x8D, 0x017D, 0x8F, 0x90, 0x2018,
            0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153,
            0x9D, 0x017E, 0x0178 };
        text.clear();
        text.reserve(bytes.size());
        for (const char ch : bytes) {
            const uchar b = uchar(ch);
            text += (b >= 0x80 && b < 0xA0) ? QChar(high[b - 0x80]) : QChar(char16_t(b));
        }
    }
    if (text.startsWith(QChar(0xFEFF)))
        text.remove(0, 1);
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    return text;
}

bool ReadTextFile(const QString &path, QString *text, QString *error)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) {
        if (error)
            *error = f.errorString();
        return false;
    }
    *text = DecodeText(f.readAll());
    return true;
}

bool WriteTextFile(const QString &path, const QString &text, bool crlf, QString *error)
{
    QString out = text;
    if (crlf) {
        out.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
        out.replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
    }
    QSaveFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(out.toUtf8()) < 0 || !f.commit()) {
        if (error)
            *error = f.errorString();
        return false;
    }
    return true;
}

} // namespace kv6
