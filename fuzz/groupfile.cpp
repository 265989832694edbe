// Group files applied to the printers and users of a small demo database.
#include "fuzzsupport.h"

#include "dataaccess/dataconnection.h"
#include "dataaccess/demodata.h"
#include "groups/analysis.h"

#include <memory>

namespace {

// Kept for the whole run and never destroyed: at exit Qt's database registry is gone before
// static objects would be.
kv6::clsAnalysis &analysis()
{
    static std::unique_ptr<kv6::DataConnection> &connection
        = *new std::unique_ptr<kv6::DataConnection>;
    static kv6::clsAnalysis &a = *new kv6::clsAnalysis;
    static const bool ready = [] {
        kv6::DataSource source;
        source.path = kv6fuzz::path(QStringLiteral("demo.db"));
        source.createIfMissing = true;
        QVariant version;
        if (kv6::OpenDataConnection(source, true, version, connection))
            qFatal("the demo database could not be created");
        kv6::DemoOptions options;
        options.jobs = 20;
        options.companies = 2;
        options.printers = 8;
        options.users = 12;
        if (kv6::GenerateDemoData(*connection, options))
            qFatal("the demo data could not be written");
        a.setShowProgress(false);
        if (a.InitializeDefault(*connection, -1))
            qFatal("the analysis could not be loaded");
        return true;
    }();
    Q_UNUSED(ready);
    return a;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    kv6fuzz::app();
    kv6::clsAnalysis &a = analysis();
    const QString file = kv6fuzz::writeInput(QStringLiteral("input.grp"), data, size);
    QString error;
    qint32 company = -1;
    a.GetGroupFileCompany(file, &company, &error);
    if (a.ApplyGroupsFromFile(file, &error)) {
        // What was read must write back out.
        a.SaveGroups(kv6fuzz::path(QStringLiteral("output.grp")), &error);
    }
    return 0;
}
