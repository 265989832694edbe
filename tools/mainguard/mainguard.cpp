#include "mainguard/mainguard.h"

#include <QString>

#include <csignal>
#include <cstdio>
#include <exception>

namespace kv6 {

void ReportUncaughtException(const char *program)
{
    QString what;
    try {
        throw;
    } catch (const std::exception &e) {
        what = QString::fromUtf8(e.what());
    } catch (...) {
        what = QStringLiteral("an unknown exception");
    }
    std::fflush(stdout);
    std::fprintf(
        stderr, "%s: internal error: %s\n", program, what.simplified().toLocal8Bit().constData());
}

int RunGuarded(const char *program, const std::function<int()> &body)
{
    // A write past the file-size limit (a full quota, `ulimit -f`) must fail like a full disk,
    // with a message naming the file, instead of killing the program half-way.
    std::signal(SIGXFSZ, SIG_IGN);
    try {
        return body();
    } catch (...) {
        ReportUncaughtException(program);
        return 1;
    }
}

} // namespace kv6
