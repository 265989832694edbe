#include "report/reportcatalogue.h"
#include "base/startupvalues.h"

#include "base/dialogs.h"
#include "base/langstrings.h"

#include <QDir>
#include <QFileInfo>

namespace kv6 {

QList<CatalogueFolder> CatalogueFolders(const QString &treePosition)
{
    QList<CatalogueFolder> folders;
    QString key;
    for (const QString &segment : treePosition.split(QLatin1Char('\\'))) {
        const QString text = segment.trimmed();
        if (text.isEmpty())
            continue;
        key += key.isEmpty() ? text : QLatin1Char('\\') + text;
        folders.append({ key, text });
    }
    return folders;
}

void ReportCatalogue::Load(const CatalogueOptions &options)
{
    m_reports.clear();
    m_failures.clear();
    const QString folder = options.folder.isEmpty() ? Startup().DefinitionsFolder : options.folder;
    // Listed by name, as the folder listing showed them where the definitions were written.
    const QStringList files = QDir(folder).entryList(
        { QStringLiteral("*.rpt") }, QDir::Files | QDir::Readable, QDir::Name | QDir::IgnoreCase);
    int number = 0;
    for (const QString &file : files) {
        auto report = std::make_shared<clsReport>();
        // The bare name resolves in DefinitionsFolder; another folder needs the full path.
        const QString name = options.folder.isEmpty() ? file : QDir(folder).filePath(file);
        if (!report->LoadDefinition(name, options.databaseType)) {
            m_failures.append({ file, report->LastError() });
            qWarning("Report definition skipped: %s", qPrintable(report->LastError()));
            if (options.reportFailures)
                MsgBox(GetLangString(425, file), MsgIcon::None);
            continue;
        }
        if (options.excludeMustUseEstCosts && report->MustUseEstCosts())
            continue;
        const QString key = QStringLiteral("REPT") + QString::number(++number);
        report->SetKey(key);
        m_reports.add(report, key);
    }
}

QStringList ReportCatalogue::TreePositions() const
{
    QStringList positions;
    for (const ReportPtr &report : m_reports) {
        if (!positions.contains(report->TreePosition()))
            positions.append(report->TreePosition());
    }
    return positions;
}

QList<ReportPtr> ReportCatalogue::ReportsAt(const QString &treePosition) const
{
    QList<ReportPtr> reports;
    for (const ReportPtr &report : m_reports) {
        if (report->TreePosition() == treePosition)
            reports.append(report);
    }
    return reports;
}

ReportPtr ReportCatalogue::Find(const QString &name) const
{
    const auto same
        = [&](const QString &text) { return text.compare(name, Qt::CaseInsensitive) == 0; };
    for (const ReportPtr &r : m_reports) {
        if (same(r->Name()) || same(r->DisplayName()) || same(r->FileName())
            || same(QFileInfo(r->FileName()).completeBaseName()))
            return r;
    }
    return nullptr;
}

} // namespace kv6
