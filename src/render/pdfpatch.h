#pragma once

// Repairs the font encoding of a freshly written PDF for systems whose ANSI code page is not
// 1252: an incremental update appends one encoding object (Windows ANSI as its base, the upper
// half overridden with the Windows-1251 glyph names) and every "/WinAnsiEncoding" reference in
// the existing bytes is rewritten, length for length, to point at it, so the old cross-reference
// offsets stay valid. Files with CR LF line ends are patched exactly as that format says; our own
// writer's files end lines with LF alone, which is accepted wherever a line end is looked for.

#include <QByteArray>
#include <QString>

namespace kv6::modPDFUtils {

// The system's ANSI code page as text ("1252", "1251", "65001"); empty when unknown.
QString DefaultAnsiCodePage();

// Decides and patches the file in place: nothing happens when the code page text is empty or
// "1252". False, with the reason, when the file cannot be read, written or patched.
bool PatchPDFFile(const QString &path, QString *error = nullptr);
bool PatchPDFFile(const QString &path, const QString &codePage, QString *error = nullptr);

// The patch itself on the file's bytes; false, with the reason, when the bytes lack "/Root",
// "startxref" or the line ends the update needs.
bool PatchPDFBytes(const QByteArray &pdf, QByteArray &patched, QString *error = nullptr);

} // namespace kv6::modPDFUtils
