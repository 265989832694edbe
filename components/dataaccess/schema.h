#pragma once

// The print-tracking database: tables, indexes and the stored schema version, and the steps that
// create it in an empty database or bring an older one up to date. All of it runs in one
// transaction, so a failure leaves the database as it was.
//
// Tables (snake_case names on both engines; report SQL uses them as they stand):
//   companies (company_id, name)
//   printers (printer_id, company_id, name, port, host, manufacturer_model, connection_type,
//             color_device, duplex_device, device_type)  -- device_type 0 = printer; copiers and
//             multifunction devices share the table (and so the "PRT" id space) with their type
//   users (user_id, company_id, user_name, display_name, user_domain)
//   print_jobs (job_id, company_id, user_id, printer_id, job_time, computer, document_name,
//               pages, color_pages, copies, duplex, paper_size, size_bytes, job_status,
//               job_cost, source_key)
//     job_time is local office time (SQLite: "yyyy-MM-dd HH:mm:ss" text; PostgreSQL: timestamp
//     without time zone); pages counts every printed page including copies; job_cost is
//     NUMERIC(19,4) in currency units; source_key identifies imported jobs (unique) so imports
//     never add a job twice; company_id repeats the printer's company for the indexes.
//   admin_groups (group_id, object_type, name, owner_id, company_id)  -- object_type 1 printers,
//             0 users; company_id Null = a group of the whole suite
//   admin_group_members (group_id, object_id)
//   enumeration_texts (enum_type, enum_value, text)
//   suite_settings (name, value, data)
//   schema_info (name, value)  -- "SchemaVersion"
//   print_job_days (company_id, job_day, user_id, printer_id, jobs, pages, color_pages, ...)
//   print_job_hours (company_id, job_day, job_hour, user_id, printer_id, jobs, pages,
//                    color_pages)
//     version 3: what the reports add up per company, day (and hour), user and printer, kept
//     exact by triggers on print_jobs; summaries.h and the column table in summaries.cpp say
//     why each column exists.
//     version 4: an index of the day summary holding only the rows with colour jobs, so the
//     colour reports read those and not the whole range.
//   print_job_months (company_id, job_month, user_id, printer_id, ...)
//     version 5: the day summary's columns per month (job_month is its first day), for the
//     reports that need no day: they read a range's whole months here and its edge days from
//     print_job_days.
//     version 6: on PostgreSQL, the summary trigger adds a job to every summary table in one
//     statement (the tables are unchanged).
//     version 7: on PostgreSQL, the summary trigger's statement for a job leaves out the
//     columns of the other size bands (the tables are unchanged).
//   print_company_hours (company_id, job_day, job_hour, jobs, pages, color_pages)
//     version 8: the hour summary's figures for the whole company, for the day and hour
//     averages while the analysis leaves nobody out (kv6_report_rows in dataconnection.h).
//   print_printer_days (company_id, job_day, printer_id, ..., first_user)
//     version 9: the day summary's columns that the printer reports read, per printer alone,
//     with the lowest user id among the printer's jobs of the day (and among its
//     black-and-white jobs), for the printer reports over such an analysis.
//   print_user_months (company_id, job_month, user_id, ..., first_printer)
//     version 9 too: the month summary's volumes and costs per user alone, with the lowest
//     printer id among the user's jobs of the month, for the top user lists and the
//     department costs over such an analysis.
//     version 10: both made anew with the colour and size band figures, and the lowest user
//     (printer) id among the jobs of each kind and size, for the colour reports and the job
//     size breakdown over such an analysis.
//     version 11: print_user_months made anew with the smallest, largest and first job and the
//     number of days with jobs, for User Averages over such an analysis.
//     version 12: print_user_months given the duplex pages and sheets, added up from
//     print_job_months, for User Printing Breakdown over such an analysis.
//   print_job_months_printers (SQLite only)
//     version 13: an index of the month summary's keys with the costs, from which User Printing
//     Breakdown counts each user's printers and adds up the costs without reading the rows.
//
// Optional on PostgreSQL, for sites past what one SQLite file holds (tens of millions of jobs a
// year and more): print_jobs partitioned by month of job_time (PartitionJobsByMonth). Each
// month's jobs and indexes are then a table of their own, so a report's date range reads only
// its months and old months can be detached or dropped whole. The primary key becomes
// (job_id, job_time) and the unique source index (source_key, job_time), as PostgreSQL asks of
// a partitioned table's unique keys; the summary triggers work on it unchanged.

#include "dataaccess/dataerror.h"

#include <QDate>
#include <QSqlDatabase>

namespace kv6 {

class DataConnection;
class SqlDialect;

inline constexpr int CurrentSchemaVersion = 13;

// The stored version; 0 when the database holds no schema_info table.
int StoredSchemaVersion(QSqlDatabase &db);

// The refusal of a database whose stored version is newer than this program knows.
DataError NewerSchemaError(const QString &where, int storedVersion);

// Creates (empty database) or upgrades (older version) the schema in one transaction.
// `where` names the database in error texts. A newer version is refused without writing.
DataResult CreateOrUpgradeSchema(
    QSqlDatabase &db, SqlDialect &dialect, const QString &where, int *previousVersion = nullptr);

// PostgreSQL only: makes print_jobs a table partitioned by month with a partition for each month
// from `first` to `last` and a default one (print_jobs_other) for jobs outside them. An
// unpartitioned print_jobs must be empty; a partitioned one gets the months it lacks, and the
// jobs of those months move out of the default partition (the summaries stay exact). One
// transaction: a failure leaves the database as it was.
DataResult PartitionJobsByMonth(DataConnection &connection, const QDate &first, const QDate &last);

// The statements of one version step, in dialect-neutral form (for the upgrade tests).
QStringList SchemaStepStatements(int toVersion);

} // namespace kv6
