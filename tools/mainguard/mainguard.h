#pragma once

// The last resort of every executable. Libraries hand failures back as values; an exception
// that still escapes one is a bug, and it must end the program with one clear line on standard
// error and exit status 1, never with an abort and a core file.

#include <functional>

namespace kv6 {

// Writes "<program>: internal error: <what>" for the exception being handled. Call it only
// inside a catch block.
void ReportUncaughtException(const char *program);

// Runs a main's body and returns its exit status, or 1 after an escaped exception. Writes past
// the file-size limit fail instead of ending the program.
int RunGuarded(const char *program, const std::function<int()> &body);

} // namespace kv6
