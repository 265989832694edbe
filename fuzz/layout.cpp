// Report layouts: the XML of a definition's layouts and of the proposal pages.
#include "fuzzsupport.h"

#include "engine/layout.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    kv6fuzz::app();
    kv6::engine::ReportLayout layout;
    QString error;
    if (kv6::engine::loadLayoutXml(kv6fuzz::bytes(data, size), QString(), layout, &error))
        kv6::engine::layoutsToXml({ layout });
    return 0;
}
