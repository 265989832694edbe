// The code-page patch over arbitrary bytes in place of a freshly written PDF.
#include "fuzzsupport.h"

#include "render/pdfpatch.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    QByteArray patched;
    QString error;
    kv6::modPDFUtils::PatchPDFBytes(kv6fuzz::bytes(data, size), patched, &error);
    return 0;
}
