#pragma once

// The steps that turn a report's query result into the table the layout prints. clsReport
// drives them (query, sub-reports, final sort); they are separate so each step can be tested
// over a hand-made table.

#include "dataaccess/dataerror.h"
#include "recordset/recordset.h"
#include "report/reportcol.h"
#include "report/reportparameter.h"

#include <QString>
#include <QVariant>

#include <functional>
#include <vector>

namespace kv6 {

class clsAnalysis;

// The positional parameters of the report's query: null when the report has none. A date range
// passes its first day and the day after its last (the SQL compares with "<"), as ISO text,
// except that a last day in the year 9999 passes unchanged.
QVariant ReportQueryParameters(const ReportParameters *parameters);

// A number, or the name of a parameter whose first value is the number; -1 means no limit, and
// so does anything that names no number.
int ResolveRowLimit(const QVariant &rowLimit, const ReportParameters *parameters);

// Progress in blocks of 50 rows: text, position, maximum.
using ReportProgressFn = std::function<void(const QString &, int, int)>;

struct ReportDataSetSettings
{
    QString reportName; // for messages
    QString scripts;
    int rowLimit = -1;
    QString sort;
    const ReportCols *columns = nullptr;
    const ReportParameters *parameters = nullptr;
    bool useGroups = true;
    bool useFilters = true;
    bool useEstCosts = false;
    // The query read the company's totals (kv6.report_rows): a row may stand for several values
    // of a column's first-occurrence text, none of them in another row, and then holds their
    // number in the marked field. The first row of a text keeps such a number (a whole number
    // above 1) where it would become 1.
    bool countsFromQuery = false;
};

class ReportDataSetBuilder
{
public:
    ReportDataSetBuilder(const ReportDataSetSettings &settings, const clsAnalysis *analysis,
        ReportProgressFn progress = {});

    // Runs PreProcess or PostProcess (an empty name means PostProcess) with the table and an
    // empty copy of its structure; the copy as the script leaves it replaces the table. A report
    // without scripts or without that procedure keeps its table. Script errors come back naming
    // the report and the line, with the script's error number.
    DataResult RunScript(const QString &procedure, RecordsetPtr &table);

    // Pre-processing script, filters and transformations, first occurrences, combining, then
    // limiting and numbering; each step only while the table still has rows.
    DataResult Process(RecordsetPtr &table);

    // The steps one by one; each replaces the table with its result. A field the settings name
    // but the table lacks comes back with the record set's error number.
    DataResult FilterAndTransform(RecordsetPtr &table);
    DataResult MarkFirstOccurrences(RecordsetPtr &table);
    DataResult CombineRows(RecordsetPtr &table);
    DataResult LimitAndNumber(RecordsetPtr &table);

    // One column's texts as the steps fold them, kept from marking for combining.
    struct FoldedTexts;

private:
    using Step = RecordsetPtr (ReportDataSetBuilder::*)(const RecordsetPtr &);
    DataResult step(RecordsetPtr &table, Step work);
    RecordsetPtr filterAndTransform(const RecordsetPtr &table);
    RecordsetPtr markFirstOccurrences(const RecordsetPtr &table);
    // Sets `field` to 1 on the rows `first` marks and 0 on the others.
    void writeMarks(Recordset &table, int field, const std::vector<bool> &first);
    RecordsetPtr combineRows(const RecordsetPtr &table);
    // The combining step where each group's leading row is the one whose text in `firstBy` sorts
    // first (-1: its first row); the other rows' order within a group must not change the result.
    // `folded`, when given, holds the texts of `firstBy` in the table's present order.
    RecordsetPtr combineRowsBy(const RecordsetPtr &table, int firstBy, const FoldedTexts *folded);
    // First occurrences then combining, as one step where it can do without sorting the whole
    // table by the compared texts; false when it cannot (and the table is as it was).
    bool markFirstAndCombine(RecordsetPtr &table);
    // The columns the combining step reads.
    struct Combining
    {
        struct Listed
        {
            int field;
            int action;
        };
        QList<Listed> listed;
        QList<int> keyFields;
        QStringList sortKeys;
    };
    Combining combining(const Recordset &table) const;
    RecordsetPtr limitAndNumber(const RecordsetPtr &table);
    void progress(int message, int row, int rows);

    ReportDataSetSettings m_settings;
    const clsAnalysis *m_analysis;
    ReportProgressFn m_progress;
};

} // namespace kv6
