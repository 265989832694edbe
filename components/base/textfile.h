#pragma once

// Text files as the program reads and writes them: UTF-8 out; UTF-8 or Windows-1252 in.

#include <QByteArray>
#include <QString>

namespace kv6 {

// Reads a text file: UTF-8, or Windows-1252 where the bytes are not valid UTF-8 (files moved
// from Windows); CR LF and LF both end a line (the text comes back with LF only).
bool ReadTextFile(const QString &path, QString *text, QString *error = nullptr);
// Writes UTF-8 atomically; with crlf every line end becomes CR LF.
bool WriteTextFile(const QString &path, const QString &text, bool crlf, QString *error = nullptr);
// Decodes bytes as ReadTextFile does.
QString DecodeText(const QByteArray &bytes);

} // namespace kv6
