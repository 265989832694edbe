// Report definition files, loaded for SQLite and for PostgreSQL.
#include "fuzzsupport.h"

#include "report/report.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    kv6fuzz::app();
    const QString file = kv6fuzz::writeInput(QStringLiteral("input.rpt"), data, size);
    for (int databaseType : { 1, 2 }) {
        kv6::clsReport report;
        report.LoadDefinition(file, databaseType);
    }
    return 0;
}
