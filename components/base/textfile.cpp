#include "base/textfile.h"

#include <algorithm>

#include <QDir>
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

QString ExcerptForMessage(QStringView text)
{
    constexpr qsizetype Most = 60;
    qsizetype length = std::min(text.size(), Most);
    // Not half of a pair of surrogates.
    if (length < text.size() && text.at(length - 1).isHighSurrogate())
        --length;
    QString out;
    out.reserve(length + 3);
    for (const QChar c : text.first(length))
        out += c.category() == QChar::Other_Control ? QLatin1Char('?') : c;
    if (length < text.size())
        out += QLatin1String("...");
    return out;
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
    QString why;
    if (!f.open(QIODevice::WriteOnly) || !WriteAndCommit(f, out.toUtf8(), &why)) {
        // The callers' messages say what kind of file it was; the path says which one.
        if (error)
            *error = QStringLiteral("%1: %2").arg(
                QDir::toNativeSeparators(path), why.isEmpty() ? f.errorString() : why);
        return false;
    }
    return true;
}

QString WriteFailure(const QFileDevice &file)
{
    // A short write leaves errno unset, and Qt then says "Unknown error".
    const QString said = file.errorString();
    if (file.error() == QFileDevice::NoError || file.error() == QFileDevice::UnspecifiedError
        || said.isEmpty() || said == QLatin1String("Unknown error"))
        return QStringLiteral("the disk is full or the file has reached its size limit");
    return said;
}

bool CommitFile(QSaveFile &file, QString *why)
{
    // A write that stopped short inside the buffer leaves no error behind; the file's size on
    // disk behind what was written is what shows it.
    if (!file.flush() || file.error() != QFileDevice::NoError || file.size() != file.pos()) {
        if (why)
            *why = WriteFailure(file);
        file.cancelWriting();
        return false;
    }
    if (!file.commit()) {
        if (why)
            *why = WriteFailure(file);
        return false;
    }
    return true;
}

bool WriteAndCommit(QSaveFile &file, const QByteArray &bytes, QString *why)
{
    if (file.write(bytes) != bytes.size()) {
        if (why)
            *why = WriteFailure(file);
        file.cancelWriting();
        return false;
    }
    return CommitFile(file, why);
}

} // namespace kv6
