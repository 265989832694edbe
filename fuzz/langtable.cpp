// A language table as a translator might leave it.
#include "fuzzsupport.h"

#include "base/langstrings.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QHash<int, QString> table
        = kv6::ParseLanguageTable(kv6fuzz::text(data, size), QStringLiteral("fuzz.txt"));
    // Every string is also used as a template, with more and fewer arguments than it names.
    for (const QString &s : table)
        kv6::FormatString(s, { QStringLiteral("a"), QStringLiteral("%1") });
    return 0;
}
