#pragma once

// Imports a CUPS page_log into the print-tracking database.
//
// A line holds: printer, user, job id, [date-time with UTC offset], page number or "total",
// a count (the copies of that page, or on a "total" line the job's total pages), then billing,
// originating host, job name, media and sides (the later fields may be missing; a job name may
// hold spaces). The lines of one job (same printer and job id, until its "total" line) become
// one job: its pages are the "total" count when there is one, else the sum over its page lines.
// Times become local office time.
//
// Printers and users the company does not know yet are created. Each job carries a source key
// (printer, job id and the time of its first line), so importing the same file again adds
// nothing. Malformed lines are skipped and reported with their line numbers. Everything is written
// in one transaction: a failure or a cancel leaves the database as it was.

#include "dataaccess/dataerror.h"
#include "dataaccess/dataprogress.h"

#include <QDateTime>
#include <QList>
#include <QString>

namespace kv6 {

class DataConnection;

struct CupsPageLine
{
    QString printer;
    QString user;
    qint64 jobId = 0;
    QDateTime time; // with the line's UTC offset
    bool total = false;
    int page = 0; // 0 on a "total" line
    int count = 0; // copies of the page, or the job's pages on a "total" line
    QString billing;
    QString host;
    QString jobName;
    QString media;
    QString sides;
};

// Parses one line; false and the reason when it is malformed.
bool ParseCupsPageLine(const QString &line, CupsPageLine &parsed, QString &reason);

// The paper size name for a CUPS media keyword ("iso_a4_210x297mm" gives "A4"); other values
// are kept as they are, "-" gives "".
QString PaperSizeFromMedia(const QString &media);

struct CupsLineProblem
{
    int line = 0;
    QString reason;
};

struct CupsImportSummary
{
    int companyId = 0; // the company the jobs went to
    int jobs = 0; // jobs added
    qint64 pages = 0; // pages of the jobs added
    int printers = 0; // printers created
    int users = 0; // users created
    int skippedLines = 0;
    int alreadyImported = 0; // jobs an earlier import had added
    QList<CupsLineProblem> problems; // one per skipped line, in file order
};

// companyId 0 picks the database's only company (creating one when there is none).
DataResult ImportCupsPageLog(DataConnection &connection, const QString &path, int companyId,
    CupsImportSummary &summary, const DataProgress &progress = {});

} // namespace kv6
