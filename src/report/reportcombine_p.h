#pragma once

// Combining in the database: the query's rows are filtered by the analysis and merged, within
// each combined row of the report, before they cross into the program, so that the data-set
// steps run over few rows and still come to the same table.

#include "dataaccess/dataconnection.h"
#include "dataaccess/dataerror.h"
#include "recordset/recordset.h"
#include "report/reportdataset.h"

#include <QString>
#include <QVariant>

#include <optional>

namespace kv6 {

class DataConnection;

// The report query wrapped so that the database drops the rows the analysis excludes and merges
// rows that the program would combine into one: rows merge only when they will get the same key,
// the same first-occurrence value and the same estimated rate, and a merged row carries the
// values of its first row and the sums, minimums and maximums of the columns that combine so.
// `fields` are the query's result fields (from a run without rows); empty when the definition
// has something the program alone can do (scripts, rates or enumerations in combined columns).
struct CombiningShape
{
    // Look the rows' users (printers) up: some are left out or grouped.
    bool users = true;
    bool printers = true;
    // Some users (printers) are in groups; some item of either is left out.
    bool groupedUsers = true;
    bool groupedPrinters = true;
    bool leftOut = true;
    // Set by CombiningQuery: the printers' rates take part.
    bool rates = false;
};
QString CombiningQuery(const QString &sql, const Recordset &fields,
    const ReportDataSetSettings &settings, CombiningShape &shape);

// The rows that an engine reading them one by one may fold as they come (RowFolding): rows
// alike in every key and first-occurrence field, while the analysis leaves every user and printer
// in (groups may merge them further, but never part them), so that no look-up decides how a row
// combines. Null when the definition or the analysis does not allow it. With estimated costs
// per page, only one printer's rows fold, and `printersApart` says so.
std::optional<RowFolding> FoldingRows(const ReportDataSetSettings &settings,
    const class clsAnalysis *analysis, bool *printersApart = nullptr);

// The keys of the users (printers) that `folding` leaves out, as LeftOutUsersSetting
// (LeftOutPrintersSetting) lists them.
QString LeftOutKeys(const RowFolding &folding, bool printers);

// Runs the report query combined in the database: fills the analysis' inclusion flags, groups
// and rates into a temporary table of the connection and runs CombiningQuery. Null on an
// embedded database, and when the definition or the connection does not allow it (a read-only
// server session cannot make the table); the caller then runs the query as it stands.
RecordsetPtr RunCombinedInDatabase(DataConnection &connection, const QString &sql,
    const QVariant &params, const ReportDataSetSettings &settings,
    const class clsAnalysis *analysis);

} // namespace kv6
