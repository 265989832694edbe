#pragma once

// Text files as the program reads and writes them: UTF-8 out; UTF-8 or Windows-1252 in.

#include <QByteArray>
#include <QFileDevice>
#include <QSaveFile>
#include <QString>

namespace kv6 {

// Reads a text file: UTF-8, or Windows-1252 where the bytes are not valid UTF-8 (files moved
// from Windows); CR LF and LF both end a line (the text comes back with LF only).
bool ReadTextFile(const QString &path, QString *text, QString *error = nullptr);
// Writes UTF-8 atomically; with crlf every line end becomes CR LF. The error names the file.
bool WriteTextFile(const QString &path, const QString &text, bool crlf, QString *error = nullptr);
// Decodes bytes as ReadTextFile does.
QString DecodeText(const QByteArray &bytes);
// A piece of a file's text as a message quotes it: its first 60 characters at most, then "...",
// with control characters shown as "?", so that a binary or cut file makes a short, printable
// message.
QString ExcerptForMessage(QStringView text);

// Why a write to the file failed: its own error text, or where the system left none (a short
// write), that the disk is full or the file has reached its size limit.
QString WriteFailure(const QFileDevice &file);
// Puts a QSaveFile in place once everything written to it has reached the disk; false with the
// reason otherwise, and the file that was there before stays as it was. (QSaveFile::commit
// alone would put a file in place whose buffered tail could not be written.)
// The temporary file of a failed save goes when the QSaveFile does.
bool CommitFile(QSaveFile &file, QString *why);
// Writes all of the bytes to an open QSaveFile and commits it as CommitFile does.
bool WriteAndCommit(QSaveFile &file, const QByteArray &bytes, QString *why);

} // namespace kv6
