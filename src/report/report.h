#pragma once

// A report: one definition file in memory (name, catalogue place, SQL, parameters, special
// columns, charts, sub-reports, scripts) together with the user's settings for it (titles,
// groups, filters, estimated costs, decimals) and, once built, its data set.

#include "dataaccess/dataerror.h"
#include "groups/simplegroups.h"
#include "recordset/recordset.h"
#include "report/reportchart.h"
#include "report/reportcol.h"
#include "report/reportparameter.h"
#include "vbcore/keyedcollection.h"

#include <QDateTime>
#include <QDomNode>
#include <QObject>
#include <QString>
#include <QVariant>

#include <memory>
#include <optional>

namespace kv6 {

class clsAnalysis;
class DataConnection;
class clsReport;

using ReportPtr = std::shared_ptr<clsReport>;
using ReportList = KeyedCollection<ReportPtr>;

// What the user chooses for a report, or for every report of a proposal: whether the analysis's
// groups and filters apply, estimated costs, decimals, and in simple mode the administration
// groups to cover.
class ReportChoices
{
public:
    bool UseGroups() const { return m_useGroups; }
    void SetUseGroups(bool use) { m_useGroups = use; }
    bool UseFilters() const { return m_useFilters; }
    void SetUseFilters(bool use) { m_useFilters = use; }
    bool UseEstCosts() const { return m_useEstCosts; }
    void SetUseEstCosts(bool use) { m_useEstCosts = use; }
    qint16 NumDecimals() const { return m_numDecimals; }
    void SetNumDecimals(qint16 decimals) { m_numDecimals = decimals; }
    clsSimpleGroups &SimpleUserGroups() { return m_simpleUserGroups; }
    const clsSimpleGroups &SimpleUserGroups() const { return m_simpleUserGroups; }
    clsSimpleGroups &SimplePrinterGroups() { return m_simplePrinterGroups; }
    const clsSimpleGroups &SimplePrinterGroups() const { return m_simplePrinterGroups; }

protected:
    // Decimals start at the suite's default.
    explicit ReportChoices(bool useGroupsAndFilters);

private:
    bool m_useGroups;
    bool m_useFilters;
    bool m_useEstCosts = false;
    qint16 m_numDecimals;
    clsSimpleGroups m_simpleUserGroups;
    clsSimpleGroups m_simplePrinterGroups;
};

class clsReport : public QObject, public ReportChoices
{
    Q_OBJECT

public:
    explicit clsReport(QObject *parent = nullptr);
    ~clsReport() override;

    // --- Identity and catalogue --------------------------------------------------------------
    QString Key() const { return m_key; }
    void SetKey(const QString &key) { m_key = key.trimmed(); }
    QString Name() const { return m_def.name; }
    QString DisplayName() const { return m_def.displayName; }
    void SetDisplayName(const QString &name) { m_def.displayName = name; }
    // "\"-separated folders under which the catalogue lists the report.
    QString TreePosition() const { return m_def.treePosition; }
    // As passed to LoadDefinition.
    QString FileName() const { return m_def.fileName; }
    QString Description() const { return m_def.description; }
    void SetDescription(const QString &text) { m_def.description = text; }
    QString UsageHint() const { return m_def.usageHint; }
    // DisplayName while no non-blank caption has been given.
    QString Caption() const { return m_caption.isEmpty() ? m_def.displayName : m_caption; }
    void SetCaption(const QString &caption) { m_caption = caption.trimmed(); }

    // --- Definition ---------------------------------------------------------------------------
    const ReportCols &Columns() const { return m_def.columns; }
    // One collection shared by the report and all its sub-reports, so a value set once reaches
    // every query. Assigning hands the new collection to the sub-reports as well.
    ReportParametersPtr Parameters() const { return m_def.parameters; }
    void SetParameters(const ReportParametersPtr &parameters);
    const ReportList &SubReports() const { return m_def.subReports; }
    const ReportCharts &Charts() const { return m_def.charts; }
    // Sort expression applied to the finished data; the wizard replaces it by the chosen column.
    QString Sort() const { return m_def.sort; }
    void SetSort(const QString &sort) { m_def.sort = sort; }
    // The query for the database type the definition was loaded for.
    QString ReportSQL() const { return m_def.reportSQL; }
    QString SectionToAlternate() const { return m_def.sectionToAlternate; }
    QString SubReportField() const { return m_def.subReportField; }
    bool CanUseGroups() const { return m_def.canUseGroups; }
    // True when the report or any sub-report, at any depth, has a chart.
    bool HasCharts() const { return m_def.hasCharts; }
    // True when a column's costs are always estimated (Replace 6 or 8).
    bool MustUseEstCosts() const;
    // Script source with the optional PreProcess and PostProcess procedures.
    QString ScriptText() const { return m_def.scripts; }
    // As loaded: a number or the name of a parameter whose first value gives it ("-1": none).
    // The data-set build stores the resolved number back.
    QVariant RowLimit() const { return m_def.rowLimit; }
    void SetRowLimit(const QVariant &limit) { m_def.rowLimit = limit; }

    // --- The user's settings ------------------------------------------------------------------
    QString Title() const { return m_title; }
    void SetTitle(const QString &title) { m_title = title.trimmed(); }
    QString SubTitle() const { return m_subTitle; }
    void SetSubTitle(const QString &subTitle) { m_subTitle = subTitle.trimmed(); }
    // With the ReportChoices, whose groups and filters become true with each load.
    // Set by rendering.
    qint32 PageCount() const { return m_pageCount; }
    void SetPageCount(qint32 pages) { m_pageCount = pages; }

    // Both become the zero date; then the first date-range parameter passed to the query gives
    // its first and last day.
    void GetDateRange(QDateTime &from, QDateTime &to) const;

    // --- Loading ------------------------------------------------------------------------------
    // Before each render: every chart of the report and its sub-reports starts at the first row.
    void InitializeCharts();

    // Fills the report from a report element (KVReportInfo or SubReport). The SQL is taken for
    // `databaseType` (1 SQLite, anything else PostgreSQL), by default the type of the database
    // in use. On failure the report is exactly as before and LastError() says why.
    bool LoadDefinitionFromNode(const QDomNode &node, std::optional<int> databaseType = {});
    // Loads a definition file: a name holding a path separator is a path, a bare name is looked
    // up in DefinitionsFolder. Atomic like LoadDefinitionFromNode.
    bool LoadDefinition(const QString &fileName, std::optional<int> databaseType = {});
    QString LastError() const { return m_lastError; }

    // --- Saved settings -----------------------------------------------------------------------
    // Writes the user's settings for this report (a bare name goes to UserReportsFolder). Empty
    // on success, otherwise the message for the user.
    QString SaveUserDefined(const QString &fileName) const;
    // Loads the definition a saved report names afresh and applies its settings; the company id
    // becomes the value of every company parameter. A file that cannot be read changes nothing.
    bool LoadUserDefined(qint32 companyId, const QString &fileName, QString &message);

    // --- Data set -----------------------------------------------------------------------------
    // Runs the query with the parameters, then the scripts, filters, groups, estimated costs,
    // combining, limiting and numbering, then the sub-reports and the final sort. `parentData`
    // is given when a report builds its sub-reports: they start from the parent's table and run
    // no query. ReportData() holds the table afterwards, also on failure.
    DataResult BuildReportDataSet(
        clsAnalysis *analysis, DataConnection &connection, const RecordsetPtr &parentData = {});
    // On (the default), the database filters and merges the query's rows by the analysis before
    // they cross, wherever the table comes out the same; off, every row crosses as queried.
    void SetCombineInDatabase(bool combine) { m_combineInDatabase = combine; }
    // The data set of the last build; null before.
    RecordsetPtr ReportData() const { return m_reportData; }
    // The row limit as the last build resolved it (-1: none).
    int ResolvedRowLimit() const;

signals:
    // Progress of a long operation on the report (building its data set).
    void UpdateProgress(const QString &text, int position, int maximum);

private:
    // Everything a definition load replaces, kept together so a load can fill a fresh copy
    // and swap it in only when the whole definition was sound.
    struct Definition
    {
        QString name;
        QString displayName;
        QString treePosition;
        QString fileName;
        QString description;
        QString usageHint;
        ReportCols columns;
        ReportParametersPtr parameters = std::make_shared<ReportParameters>();
        ReportList subReports;
        ReportCharts charts;
        QString sort;
        QString reportSQL;
        QString sectionToAlternate;
        QString subReportField;
        bool canUseGroups = true;
        bool hasCharts = false;
        QString scripts;
        QVariant rowLimit = QStringLiteral("-1");
    };

    static bool readDefinition(
        const QDomNode &node, int databaseType, Definition &def, QString &error);
    void adopt(Definition &&def);

    Definition m_def;

    QString m_key;
    QString m_caption;
    QString m_title;
    QString m_subTitle;
    bool m_combineInDatabase = true;
    qint32 m_pageCount = 0;
    QString m_lastError;

    // State of the data-set build.
    RecordsetPtr m_reportData;
    // The analysis the last build applied; owned by the main window (or the unattended run).
    clsAnalysis *m_analysis = nullptr;
};

} // namespace kv6
