#pragma once

// Summary tables of the print jobs, kept exact by the database itself: per company, user, printer
// and day (print_job_days), per hour of the day (print_job_hours), per month (print_job_months,
// the day table's figures for the reports that need no day) and per company and hour
// (print_company_hours, the hour table's figures for everyone at once), per company, printer
// and day (print_printer_days, the day table's figures for all users at once) and per company,
// user and month (print_user_months, for all printers at once), the counts and sums
// the volume and cost reports add up, so a report over a year reads thousands of rows instead of
// millions. Triggers on print_jobs keep them up to date whoever writes the jobs (the suite's
// recorder writes the table directly); only jobs with job_status 0 (printed) are counted, as the
// reports count them. Days are the job table's local office days, so a date range has the same
// edges in both.
//
// Bulk loads (demo data, imports) may suspend the triggers for the rest of their transaction and
// rebuild the days they touched in one statement before they commit.

#include "dataaccess/dataerror.h"

#include <QDate>
#include <QList>
#include <QStringList>

namespace kv6 {

class DataConnection;
class SqlDialect;

// The statements of the schema upgrade to `version` that create the summary tables that version
// adds, filled from the jobs already held, with their indexes, and put the triggers over every
// summary table of that version in place of the previous ones (versions 6 and 7 only put a
// server's triggers anew); empty when it changes none.
QStringList SummarySchemaStatements(bool sqlite, int version);

// The triggers that keep every summary table exact, in place of any the database holds (for a
// job table made anew, as the monthly partitioning does).
QStringList SummaryTriggerStatements(bool sqlite);

// The summary tables, finest first.
QStringList SummaryTableNames();

// Recomputes every summary row from the jobs, in one transaction.
DataResult RebuildSummaries(DataConnection &connection);

// Compares the summaries with the jobs: `differences` gets one line per summary row that is
// missing, extra or holds another figure than the jobs give (empty when they agree). Costs on
// SQLite are sums of reals, added in another order by the triggers than by a fresh sum, so they
// count as equal within a millionth of a unit.
DataResult CheckSummaries(DataConnection &connection, QStringList &differences);

// For bulk loads, inside the caller's transaction: Suspend stops the triggers for that
// transaction only; Resume rebuilds the summaries of the days from `first` to `last` (the days the
// load touched) and starts the triggers again. A rollback undoes both.
DataResult SuspendSummaries(DataConnection &connection);
DataResult ResumeSummaries(DataConnection &connection, const QDate &first, const QDate &last);
// For loads that only add jobs: adds the figures of the jobs with these ids to the summaries
// (the cost follows the load, not the days it touched) and starts the triggers again.
DataResult ResumeSummariesAdding(DataConnection &connection, const QList<qint64> &addedJobs);

} // namespace kv6
