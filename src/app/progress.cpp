#include "app/progress.h"

namespace kv6 {

namespace {
ProgressProvider &provider()
{
    static ProgressProvider p;
    return p;
}
} // namespace

void SetProgressProvider(ProgressProvider p)
{
    provider() = std::move(p);
}

IProgress *SharedProgress()
{
    return provider() ? provider()() : nullptr;
}

} // namespace kv6
