#pragma once

// The catalogue of report definitions the user chooses from: every "*.rpt" in the definitions
// folder that loads, keyed "REPT1", "REPT2", ... in listing order, placed by its TreePosition.

#include "report/report.h"

#include <QList>
#include <QString>
#include <QStringList>

namespace kv6 {

struct CatalogueOptions
{
    // Simple mode leaves out reports that force estimated costs.
    bool excludeMustUseEstCosts = false;
    // The type of the database the reports will run on; by default the one in use.
    std::optional<int> databaseType;
    // Where the definitions are; by default DefinitionsFolder.
    QString folder;
    // Report each file that fails with message 425 through the dialogs façade.
    bool reportFailures = true;
};

// One catalogue folder on the way to a report: its key (the path up to and including this
// folder) and its text (the folder's own name).
struct CatalogueFolder
{
    QString key;
    QString text;
};

// The folders of a TreePosition from the outermost in; empty for the root. Blank segments
// (a doubled or trailing "\") are skipped.
QList<CatalogueFolder> CatalogueFolders(const QString &treePosition);

class ReportCatalogue
{
public:
    struct Failure
    {
        QString fileName;
        QString error;
    };

    // Forgets what was loaded and loads the folder again. Files that fail are skipped; with
    // reportFailures each is shown to the user as it is met.
    void Load(const CatalogueOptions &options = {});

    // Keyed "REPT" + running number, in listing order.
    const ReportList &Reports() const { return m_reports; }
    // The distinct TreePositions, in the order first met.
    QStringList TreePositions() const;
    // The reports listed under one TreePosition, in catalogue order.
    QList<ReportPtr> ReportsAt(const QString &treePosition) const;
    // The report a user or a scheduled task names: by name, displayed name, or definition file
    // name with or without its extension, without regard to case. Null when none.
    ReportPtr Find(const QString &name) const;
    // The files that did not load, with the reason each failed.
    const QList<Failure> &Failures() const { return m_failures; }

private:
    ReportList m_reports;
    QList<Failure> m_failures;
};

} // namespace kv6
