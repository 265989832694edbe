// Saved reports of a user's folder, naming the shipped definitions.
#include "fuzzsupport.h"

#include "report/report.h"

#include <QDir>

#ifndef KV6_REPORTS_DIR
#error "KV6_REPORTS_DIR must name the shipped definitions"
#endif

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    kv6fuzz::app();
    kv6fuzz::userFolderOverShippedDefinitions();
    kv6fuzz::writeInput(QStringLiteral("saved.rpt"), data, size);
    kv6::clsReport report;
    QString message;
    report.LoadUserDefined(-1, QStringLiteral("saved.rpt"), message);
    return 0;
}
