// Report layouts: the XML of a definition's layouts and of the proposal pages.
#include "fuzzsupport.h"

#include "engine/layout.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    kv6fuzz::app();
    kv6::ReportLayout layout;
    QString error;
    if (kv6::loadLayoutXml(kv6fuzz::bytes(data, size), QString(), layout, &error))
        kv6::layoutsToXml({ layout });
    return 0;
}
