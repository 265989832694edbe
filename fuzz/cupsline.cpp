// Lines of a CUPS page_log, one per input line, as the import reads them.
#include "fuzzsupport.h"

#include "dataaccess/cupsimport.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString all = kv6fuzz::text(data, size);
    for (const QStringView line : QStringView(all).split(u'\n')) {
        kv6::CupsPageLine parsed;
        QString reason;
        if (kv6::ParseCupsPageLine(line.toString(), parsed, reason))
            kv6::PaperSizeFromMedia(parsed.media);
    }
    return 0;
}
