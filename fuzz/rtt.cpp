// Preview documents (".rtt") as the proposal pieces are stored between rendering and appending.
#include "fuzzsupport.h"

#include "engine/previewdocument.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    kv6fuzz::app();
    const QString file = kv6fuzz::writeInput(QStringLiteral("input.rtt"), data, size);
    kv6::engine::PreviewDocument document;
    QString error;
    if (document.load(file, &error))
        document.append(file, &error);
    return 0;
}
