#pragma once

// What the library's long writers (demo data, imports) report to: called now and then with the
// work done so far and the whole; returning false cancels, and the writer then rolls back.

#include <functional>
#include <QtGlobal>

namespace kv6 {

using DataProgress = std::function<bool(qint64 done, qint64 total)>;

} // namespace kv6
