#include "base/startupvalues.h"

namespace kv6 {

namespace {
StartupValues &values()
{
    static StartupValues v;
    return v;
}
} // namespace

const StartupValues &Startup()
{
    return values();
}

void SetStartupValues(const StartupValues &v)
{
    values() = v;
}

} // namespace kv6
