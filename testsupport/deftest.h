#pragma once

// Definition files written into a temporary folder, and a small English string table for the
// numbers those files refer to; reports of the catalogue in the definitions folder.

#include "base/langstrings.h"
#include "base/startupvalues.h"
#include "report/reportcatalogue.h"

#include "testscopes.h"

#include <gtest/gtest.h>
#include <QDir>
#include <QLocale>

namespace kv6test {

// Wraps report-element content in a document the way the shipped files are laid out.
inline QByteArray definition(const QByteArray &reportContent, const QByteArray &root = "KVReport")
{
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<" + root + ">\n<KVReportInfo>\n"
        + reportContent + "\n</KVReportInfo>\n</" + root + ">\n";
}

// A report of the catalogue in the definitions folder, loaded for SQLite; a report that is not
// there fails the running test.
inline kv6::ReportPtr catalogueReport(const QString &name)
{
    kv6::ReportCatalogue catalogue;
    kv6::CatalogueOptions options;
    options.databaseType = 1;
    options.reportFailures = false;
    catalogue.Load(options);
    const kv6::ReportPtr report = catalogue.Find(name);
    EXPECT_TRUE(report) << name.toStdString();
    return report;
}

class DefinitionTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(language.loaded);
        QDir().mkpath(folder);
    }

    // Writes a file into the definitions folder and returns its full path.
    QString write(const QString &name, const QByteArray &content)
    {
        writeFile(QDir(folder).filePath(name), content);
        return QDir(folder).filePath(name);
    }

    ScopedLocale cLocale { QLocale::c() };
    TempEnv env;
    ScopedLanguage language { writeLanguage(env.path(QStringLiteral("lang")),
        "425\tThe report definition %s could not be loaded and has been skipped.\n"
        "840\tThe report definition is gone.\n"
        "841\tThe saved report could not be opened:\\n%s\n"
        "842\tThe report could not be saved:\\n%s\n"
        "5001\tPages by user\n"
        "5002\tCounts every page a user printed.\n"
        "5003\tUsers\\\\Volumes\n"
        "5004\tFrom\n"
        "5005\tPages\n"
        "5006\tUser %s: %d pages\n"
        "5007\tColour\n"
        "5009\t   \n") };
    QString folder = env.path(QStringLiteral("reports"));
    ScopedStartupValue<QString> definitions { &kv6::StartupValues::DefinitionsFolder, folder };
};

} // namespace kv6test
