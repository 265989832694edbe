#include "dataaccess/summaries.h"

#include "dataaccess/dataconnection.h"
#include "dataaccess/schema.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <QRegularExpression>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>

namespace kv6 {

namespace {

// Days: the number of days with jobs, at a grain coarser than the day. A job adds one when it is
// the first of its day among the row's jobs, which the day table tells; rows merge as sums.
enum class Combine { Sum, Min, Max, Days };

enum class Kind {
    Count, // INTEGER
    Cost, // SQLite REAL, PostgreSQL NUMERIC: the sums of job_cost shares, exact on PostgreSQL
    Time // the job table's time type
};

// One summary column: how one job contributes ("@" stands for the job row) and how rows combine.
// The reasons each column exists are in the comments of the table below.
struct Column
{
    const char *name;
    Kind kind;
    Combine combine;
    const char *perJob; // for a column of one size band, what a job of that band adds
    // A job adds to the columns of one size band only (1-7, sizeBands; 0: a column of every
    // job). The band's first column counts its jobs.
    int band = 0;
    // What a row of the day table ("@") adds to it, for a column that is not one of that
    // table's (for a column of one size band, a row with jobs of the band): a load adds its jobs
    // up by day once and the coarser tables take the days.
    const char *perDay = nullptr;
};

// The job sizes the size columns split jobs into: 1, 2-5, 6-10, 11-20, 21-50, 51-100, 101+ pages.
const char *const sizeBands[] = { "@pages <= 1", "@pages > 1 AND @pages <= 5",
    "@pages > 5 AND @pages <= 10", "@pages > 10 AND @pages <= 20", "@pages > 20 AND @pages <= 50",
    "@pages > 50 AND @pages <= 100", "@pages > 100" };

// What a job outside a column's size band adds to it: nothing to a sum; to a lowest id, an id
// higher than any (a minimum then needs no Null handling).
const char *outsideBand(const Column &c)
{
    return c.combine == Combine::Min ? "2147483647" : "0";
}

// What one job adds to a column.
QString perJob(const Column &c)
{
    if (c.band == 0)
        return QLatin1String(c.perJob);
    return QStringLiteral("CASE WHEN %1 THEN %2 ELSE %3 END")
        .arg(QLatin1String(sizeBands[c.band - 1]), QLatin1String(c.perJob),
            QLatin1String(outsideBand(c)));
}

// What one row of the day table adds to a column that is not one of its own. A row has jobs of
// a size band when the band's first column counts some.
QString perDay(const Column &c)
{
    if (c.band == 0)
        return QLatin1String(c.perDay);
    return QStringLiteral("CASE WHEN @size%1_jobs > 0 THEN %2 ELSE %3 END")
        .arg(QString::number(c.band), QLatin1String(c.perDay), QLatin1String(outsideBand(c)));
}

// Colour pages are a part of a job's pages (0 <= color_pages <= pages), as the recorder writes
// them; the black-and-white figures are pages less colour pages on that ground.
const Column dayColumns[] = {
    // Every volume report counts jobs and pages; black and white is pages less colour.
    { "jobs", Kind::Count, Combine::Sum, "1" },
    { "pages", Kind::Count, Combine::Sum, "@pages" },
    { "color_pages", Kind::Count, Combine::Sum, "@color_pages" },
    // The black-and-white and colour breakdowns count, and list, only the jobs that printed a
    // page of their kind.
    { "bw_jobs", Kind::Count, Combine::Sum, "CASE WHEN @pages > @color_pages THEN 1 ELSE 0 END" },
    { "color_jobs", Kind::Count, Combine::Sum, "CASE WHEN @color_pages > 0 THEN 1 ELSE 0 END" },
    // The colour top lists count whole jobs that printed colour: their pages and the
    // black-and-white share of their cost.
    { "color_job_pages", Kind::Count, Combine::Sum,
        "CASE WHEN @color_pages > 0 THEN @pages ELSE 0 END" },
    // Duplex savings, the summaries and the breakdowns split pages into duplex and simplex.
    { "duplex_jobs", Kind::Count, Combine::Sum, "CASE WHEN @duplex THEN 1 ELSE 0 END" },
    { "duplex_pages", Kind::Count, Combine::Sum, "CASE WHEN @duplex THEN @pages ELSE 0 END" },
    { "duplex_color_pages", Kind::Count, Combine::Sum,
        "CASE WHEN @duplex THEN @color_pages ELSE 0 END" },
    // Paper and environmental figures: the sheets a job used (a duplex copy uses half, rounded
    // up).
    { "sheets", Kind::Count, Combine::Sum,
        "CASE WHEN @duplex AND @copies > 0 THEN @copies * ((@pages / @copies + 1) / 2) "
        "ELSE @pages END" },
    // Duplex savings' possible savings: what simplex jobs of more than one page a copy would have
    // saved printed duplex. The report counts it only where the printer is a duplex device, read
    // from printers at report time, so changing a printer needs no rebuild.
    { "savable_sheets", Kind::Count, Combine::Sum,
        "CASE WHEN NOT @duplex AND @copies > 0 AND @pages / @copies > 1 "
        "THEN @pages - @copies * ((@pages / @copies + 1) / 2) ELSE 0 END" },
    // Costs: the inventory's cost per page, and each job's cost shared between its
    // black-and-white and colour pages, summed per job exactly as the reports sum them.
    { "cost", Kind::Cost, Combine::Sum, "COALESCE(@job_cost, 0)" },
    { "bw_cost", Kind::Cost, Combine::Sum,
        "COALESCE(COALESCE(@job_cost, 0) * 1.0 * (@pages - @color_pages) / NULLIF(@pages, 0), 0)" },
    { "color_cost", Kind::Cost, Combine::Sum,
        "COALESCE(COALESCE(@job_cost, 0) * 1.0 * @color_pages / NULLIF(@pages, 0), 0)" },
    { "color_job_bw_cost", Kind::Cost, Combine::Sum,
        "CASE WHEN @color_pages > 0 THEN COALESCE(COALESCE(@job_cost, 0) * 1.0 * (@pages - "
        "@color_pages) / NULLIF(@pages, 0), 0) ELSE 0 END" },
    // Job size to printer breakdown: jobs and pages in each size band.
    { "size1_jobs", Kind::Count, Combine::Sum, "1", 1 },
    { "size2_jobs", Kind::Count, Combine::Sum, "1", 2 },
    { "size3_jobs", Kind::Count, Combine::Sum, "1", 3 },
    { "size4_jobs", Kind::Count, Combine::Sum, "1", 4 },
    { "size5_jobs", Kind::Count, Combine::Sum, "1", 5 },
    { "size6_jobs", Kind::Count, Combine::Sum, "1", 6 },
    { "size7_jobs", Kind::Count, Combine::Sum, "1", 7 },
    { "size1_pages", Kind::Count, Combine::Sum, "@pages", 1 },
    { "size2_pages", Kind::Count, Combine::Sum, "@pages", 2 },
    { "size3_pages", Kind::Count, Combine::Sum, "@pages", 3 },
    { "size4_pages", Kind::Count, Combine::Sum, "@pages", 4 },
    { "size5_pages", Kind::Count, Combine::Sum, "@pages", 5 },
    { "size6_pages", Kind::Count, Combine::Sum, "@pages", 6 },
    { "size7_pages", Kind::Count, Combine::Sum, "@pages", 7 },
    // Printer and user averages: the smallest and largest job of the day.
    { "smallest_job", Kind::Count, Combine::Min, "@pages" },
    { "largest_job", Kind::Count, Combine::Max, "@pages" },
    // Executive summary's first and last job; the inventory's last job.
    { "first_job", Kind::Time, Combine::Min, "@job_time" },
    { "last_job", Kind::Time, Combine::Max, "@job_time" },
};

const Column &dayColumn(const char *name)
{
    return *std::find_if(std::begin(dayColumns), std::end(dayColumns),
        [&](const Column &c) { return qstrcmp(c.name, name) == 0; });
}

// Of the day table's columns, the ones named, and more.
template<std::size_t N, std::size_t M>
std::array<Column, N + M> dayColumnsNamed(const char *const (&names)[N], const Column (&more)[M])
{
    std::array<Column, N + M> all {};
    std::transform(std::begin(names), std::end(names), all.begin(), dayColumn);
    std::copy(std::begin(more), std::end(more), all.begin() + N);
    return all;
}

// The same, with the day table's columns named in `later` last, where an upgrade that adds
// them to a table made before puts them.
template<std::size_t N, std::size_t M, std::size_t L>
std::array<Column, N + M + L> dayColumnsNamed(
    const char *const (&names)[N], const Column (&more)[M], const char *const (&later)[L])
{
    std::array<Column, N + M + L> all {};
    const std::array<Column, N + M> first = dayColumnsNamed(names, more);
    std::copy(first.begin(), first.end(), all.begin());
    std::transform(std::begin(later), std::end(later), all.begin() + N + M, dayColumn);
    return all;
}

// Every column costs each insert its share: the tables apart per printer or per user keep only
// the columns their reports read. A report that leaves no user (printer) out takes each
// printer's (user's) rows under the lowest user (printer) id among its jobs of the period, as
// the program would have combined the rows per user and printer into the first of them.
const char *const printerDayNames[] = { "jobs", "pages", "color_pages", "bw_jobs", "color_jobs",
    "color_job_pages", "duplex_jobs", "duplex_pages", "duplex_color_pages", "sheets",
    "savable_sheets", "cost", "bw_cost", "color_cost", "color_job_bw_cost", "size1_jobs",
    "size2_jobs", "size3_jobs", "size4_jobs", "size5_jobs", "size6_jobs", "size7_jobs",
    "size1_pages", "size2_pages", "size3_pages", "size4_pages", "size5_pages", "size6_pages",
    "size7_pages", "smallest_job", "largest_job", "last_job" };
// The black-and-white and colour breakdowns and top lists list only users with a job of their
// kind, the job size breakdown only users with a job of the size: the first user of each is the
// lowest among those, and no user (the highest id there can be) on a day without one.
// A day row has a job of a kind when it counts one (bw_jobs, color_jobs, the band's jobs).
const Column printerDayMore[]
    = { { "first_user", Kind::Count, Combine::Min, "@user_id", 0, "@user_id" },
          { "first_bw_user", Kind::Count, Combine::Min,
              "CASE WHEN @pages > @color_pages THEN @user_id ELSE 2147483647 END", 0,
              "CASE WHEN @bw_jobs > 0 THEN @user_id ELSE 2147483647 END" },
          { "first_color_user", Kind::Count, Combine::Min,
              "CASE WHEN @color_pages > 0 THEN @user_id ELSE 2147483647 END", 0,
              "CASE WHEN @color_jobs > 0 THEN @user_id ELSE 2147483647 END" },
          { "first_size1_user", Kind::Count, Combine::Min, "@user_id", 1, "@user_id" },
          { "first_size2_user", Kind::Count, Combine::Min, "@user_id", 2, "@user_id" },
          { "first_size3_user", Kind::Count, Combine::Min, "@user_id", 3, "@user_id" },
          { "first_size4_user", Kind::Count, Combine::Min, "@user_id", 4, "@user_id" },
          { "first_size5_user", Kind::Count, Combine::Min, "@user_id", 5, "@user_id" },
          { "first_size6_user", Kind::Count, Combine::Min, "@user_id", 6, "@user_id" },
          { "first_size7_user", Kind::Count, Combine::Min, "@user_id", 7, "@user_id" } };
const auto printerDayColumns = dayColumnsNamed(printerDayNames, printerDayMore);
// User Averages reads the smallest and largest jobs, the first job (whose day and first
// printer its rows stand under) and the days the user printed.
const char *const userMonthNames[]
    = { "jobs", "pages", "color_pages", "color_jobs", "color_job_pages", "bw_cost", "color_cost",
          "color_job_bw_cost", "smallest_job", "largest_job", "first_job" };
// The colour top list's first printer of a user is the lowest among the user's colour jobs.
const Column userMonthMore[]
    = { { "first_printer", Kind::Count, Combine::Min, "@printer_id", 0, "@printer_id" },
          { "first_color_printer", Kind::Count, Combine::Min,
              "CASE WHEN @color_pages > 0 THEN @printer_id ELSE 2147483647 END", 0,
              "CASE WHEN @color_jobs > 0 THEN @printer_id ELSE 2147483647 END" },
          { "active_days", Kind::Count, Combine::Days, "" } };
// User Printing Breakdown adds up the duplex pages and sheets too (added in version 12).
const char *const userMonthLater[] = { "duplex_pages", "sheets" };
const auto userMonthColumns = dayColumnsNamed(userMonthNames, userMonthMore, userMonthLater);

// Average Pages Per Hour needs the hour of day; only what it adds up is kept at that grain.
const Column hourColumns[] = {
    { "jobs", Kind::Count, Combine::Sum, "1" },
    { "pages", Kind::Count, Combine::Sum, "@pages" },
    { "color_pages", Kind::Count, Combine::Sum, "@color_pages" },
};

// The period a summary row covers.
enum class Grain {
    Day, // job_day
    Hour, // job_day and job_hour
    Month // job_month, the first day of the month
};

// Whom a summary row's figures are apart for, besides company and period.
enum class Items {
    UserAndPrinter,
    Printer,
    User,
    Company // the company's totals
};

struct Table
{
    const char *name;
    Grain grain;
    const Column *columns;
    int count;
    int since; // the schema version that makes the table (anew, when its columns changed)
    Items items = Items::UserAndPrinter;
    // The version that added the columns from `grownFrom` on to the table `since` made, filling
    // them from the rows per user and printer of its grain (0: none added).
    int grown = 0;
    int grownFrom = 0;

    bool perUser() const { return items == Items::UserAndPrinter || items == Items::User; }
    bool perPrinter() const { return items == Items::UserAndPrinter || items == Items::Printer; }
};

// The month table holds the day table's columns at a coarser grain: the reports that add up
// whole user and printer figures read the whole months of a range from it and only the days at
// its edges from the day table (about a third of the day rows for a year). Its columns are
// the day table's, in the same order, so a report reads both as one.
const Table tables[] = {
    { "print_job_days", Grain::Day, dayColumns, int(std::size(dayColumns)), 3 },
    { "print_job_hours", Grain::Hour, hourColumns, int(std::size(hourColumns)), 3 },
    { "print_job_months", Grain::Month, dayColumns, int(std::size(dayColumns)), 5 },
    // The day and hour averages over an analysis that leaves every user and printer in and on
    // their own add up nothing per user or printer: the company's hours (8,760 rows a year
    // however many people print) give them what the hour summary's millions of rows would.
    { "print_company_hours", Grain::Hour, hourColumns, int(std::size(hourColumns)), 8,
        Items::Company },
    // The printer reports over such an analysis: 200 printers make 73,000 rows a year, where
    // their users and printers make millions.
    // Made in version 9, anew in 10 with the colour and size band columns.
    { "print_printer_days", Grain::Day, printerDayColumns.data(), int(printerDayColumns.size()), 10,
        Items::Printer },
    // The top user lists, the department costs and User Averages over such an analysis read a
    // range's whole months here (5,000 users make 60,000 rows a year) and its edge days per user
    // and printer. Made in version 9, anew in 10 with the colour columns and in 11 with the
    // averages' columns; in 12 User Printing Breakdown's columns were added to its rows.
    { "print_user_months", Grain::Month, userMonthColumns.data(), int(userMonthColumns.size()), 11,
        Items::User, 12, int(userMonthColumns.size() - std::size(userMonthLater)) },
};

// `t` as schema `version` had it: without the columns a later version added.
Table tableAsOf(const Table &t, int version)
{
    Table as = t;
    if (t.grown > version)
        as.count = t.grownFrom;
    return as;
}

// The columns of print_jobs whose change moves a job between summary rows or changes a figure.
const char *const watchedColumns = "company_id, user_id, printer_id, job_time, pages, "
                                   "color_pages, copies, duplex, job_status, job_cost";

const char *const sqliteTriggerNames[] = { "print_jobs_summaries_insert",
    "print_jobs_summaries_delete", "print_jobs_summaries_update" };

class Sql
{
public:
    explicit Sql(bool sqlite)
        : m_sqlite(sqlite)
    { }

    static QString of(QString text, const QString &row)
    {
        return text.replace(QLatin1Char('@'), row + QLatin1Char('.'));
    }

    QString day(const QString &row) const
    {
        return m_sqlite ? QStringLiteral("substr(%1.job_time, 1, 10)").arg(row)
                        : QStringLiteral("CAST(%1.job_time AS DATE)").arg(row);
    }
    QString nextDay(const QString &row) const
    {
        return m_sqlite ? QStringLiteral("date(substr(%1.job_time, 1, 10), '+1 day')").arg(row)
                        : QStringLiteral("CAST(%1.job_time AS DATE) + 1").arg(row);
    }
    QString month(const QString &row) const { return monthOf(row + QStringLiteral(".job_time")); }
    // The first day of the month of a time (on SQLite, also of a day).
    QString monthOf(const QString &time) const
    {
        return m_sqlite ? QStringLiteral("substr(%1, 1, 7) || '-01'").arg(time)
                        : QStringLiteral("CAST(date_trunc('month', %1) AS DATE)").arg(time);
    }
    QString nextMonth(const QString &row) const
    {
        return m_sqlite
            ? QStringLiteral("date(substr(%1.job_time, 1, 7) || '-01', '+1 month')").arg(row)
            : QStringLiteral("CAST(date_trunc('month', %1.job_time) + interval '1 month' AS DATE)")
                  .arg(row);
    }
    QString hour(const QString &row) const
    {
        return m_sqlite
            ? QStringLiteral("CAST(substr(%1.job_time, 12, 2) AS INTEGER)").arg(row)
            : QStringLiteral("CAST(EXTRACT(HOUR FROM %1.job_time) AS INTEGER)").arg(row);
    }

    static QString periodName(const Table &t)
    {
        return t.grain == Grain::Month ? QStringLiteral("job_month") : QStringLiteral("job_day");
    }
    static QStringList keyNames(const Table &t)
    {
        QStringList keys { QStringLiteral("company_id"), periodName(t) };
        if (t.grain == Grain::Hour)
            keys << QStringLiteral("job_hour");
        if (t.perUser())
            keys << QStringLiteral("user_id");
        if (t.perPrinter())
            keys << QStringLiteral("printer_id");
        return keys;
    }
    // The key of a row of `t` for `row`, a job's or another summary row's, whose period and hour
    // are given.
    static QStringList keysOf(
        const Table &t, const QString &row, const QString &period, const QString &hour)
    {
        QStringList keys { row + QStringLiteral(".company_id"), period };
        if (t.grain == Grain::Hour)
            keys << hour;
        if (t.perUser())
            keys << row + QStringLiteral(".user_id");
        if (t.perPrinter())
            keys << row + QStringLiteral(".printer_id");
        return keys;
    }
    QStringList keyValues(const Table &t, const QString &row) const
    {
        return keysOf(t, row, t.grain == Grain::Month ? month(row) : day(row), hour(row));
    }
    static QStringList columnNames(const Table &t)
    {
        QStringList names = keyNames(t);
        for (int i = 0; i < t.count; ++i)
            names << QLatin1String(t.columns[i].name);
        return names;
    }

    QString type(const Column &c) const
    {
        return c.kind == Kind::Count ? QStringLiteral("INTEGER")
            : c.kind == Kind::Time
            ? (m_sqlite ? QStringLiteral("TEXT") : QStringLiteral("TIMESTAMP"))
            : m_sqlite ? QStringLiteral("REAL")
                       : QStringLiteral("NUMERIC");
    }

    QString create(const Table &t) const
    {
        const QString keys = keyNames(t).join(QStringLiteral(", "));
        QString sql
            = QStringLiteral("CREATE TABLE %1 (company_id INTEGER NOT NULL, %2 %3 NOT NULL, ")
                  .arg(QLatin1String(t.name), periodName(t),
                      m_sqlite ? QStringLiteral("TEXT") : QStringLiteral("DATE"));
        if (t.grain == Grain::Hour)
            sql += QStringLiteral("job_hour INTEGER NOT NULL, ");
        if (t.perUser())
            sql += QStringLiteral("user_id INTEGER NOT NULL, ");
        if (t.perPrinter())
            sql += QStringLiteral("printer_id INTEGER NOT NULL, ");
        for (int i = 0; i < t.count; ++i) {
            sql += QStringLiteral("%1%2 %3 NOT NULL")
                       .arg(i == 0 ? QString() : QStringLiteral(", "),
                           QLatin1String(t.columns[i].name), type(t.columns[i]));
        }
        // The key leads with company and day: every report selects a date range, most of them
        // one company.
        sql += QStringLiteral(", PRIMARY KEY (%1))").arg(keys);
        if (m_sqlite)
            sql += QStringLiteral(" WITHOUT ROWID");
        return sql;
    }

    // The statements that add the columns a later version gave `t` to its rows, their figures
    // added up from the rows per user and printer of the same grain, which hold them all: a
    // fraction of the jobs to read again.
    QStringList grow(const Table &t) const
    {
        const Table &from = *std::find_if(std::begin(tables), std::end(tables),
            [&](const Table &f) { return f.grain == t.grain && f.items == Items::UserAndPrinter; });
        const QString name = QLatin1String(t.name);
        QStringList out, names, figures, match;
        for (int i = t.grownFrom; i < t.count; ++i) {
            const Column &c = t.columns[i];
            // SQLite adds a column that takes no Null only with a default; the upgrade gives
            // every row its figure at once.
            out << QStringLiteral("ALTER TABLE %1 ADD COLUMN %2 %3 NOT NULL DEFAULT 0")
                       .arg(name, QLatin1String(c.name), type(c));
            names << QLatin1String(c.name);
            figures << QStringLiteral("%1(f.%2)").arg(combineName(c), QLatin1String(c.name));
        }
        for (const QString &k : keyNames(t))
            match << QStringLiteral("f.%1 = %2.%1").arg(k, name);
        out << QStringLiteral("UPDATE %1 SET (%2) = (SELECT %3 FROM %4 f WHERE %5)")
                   .arg(name, names.join(QStringLiteral(", ")), figures.join(QStringLiteral(", ")),
                       QLatin1String(from.name), match.join(QStringLiteral(" AND ")));
        // A server's table then is the one made anew (SQLite keeps a column's default).
        if (!m_sqlite)
            for (const QString &n : std::as_const(names))
                out << QStringLiteral("ALTER TABLE %1 ALTER COLUMN %2 DROP DEFAULT").arg(name, n);
        return out;
    }

    static QLatin1String combineName(const Column &c)
    {
        return QLatin1String(c.combine == Combine::Min ? "MIN"
                : c.combine == Combine::Max            ? "MAX"
                                                       : "SUM");
    }

    // `what` of the day table's rows of `day` for the company and the user or printer of `row`
    // that `t` keeps apart (a job's or a staged day row's).
    static QString ofDay(const Table &t, const QString &row, const QString &day, const char *what)
    {
        QString sql = QStringLiteral("(SELECT %1 FROM print_job_days d WHERE d.company_id = "
                                     "%2.company_id AND d.job_day = %3")
                          .arg(QLatin1String(what), row, day);
        if (t.perUser())
            sql += QStringLiteral(" AND d.user_id = %1.user_id").arg(row);
        if (t.perPrinter())
            sql += QStringLiteral(" AND d.printer_id = %1.printer_id").arg(row);
        return sql + QLatin1Char(')');
    }
    // What a job adds to a column of days while the day table does not hold it yet (a server's
    // trigger reads it in the statement that adds the job), or takes away once it no longer
    // does: one when its day holds no other job of the row.
    QString dayIsNew(const Table &t, const QString &row) const
    {
        return QStringLiteral("CASE WHEN EXISTS %1 THEN 0 ELSE 1 END")
            .arg(ofDay(t, row, day(row), "1"));
    }

    // The summary rows of the jobs that `where` selects (alias j), freshly added up.
    QString aggregate(const Table &t, const QString &where) const
    {
        QStringList select = keyValues(t, QStringLiteral("j"));
        const QStringList names = keyNames(t);
        for (int i = 0; i < names.size(); ++i)
            select[i] += QStringLiteral(" AS ") + names.at(i);
        for (int i = 0; i < t.count; ++i) {
            const Column &c = t.columns[i];
            select << (c.combine == Combine::Days
                    ? QStringLiteral("COUNT(DISTINCT %1) AS %2")
                          .arg(day(QStringLiteral("j")), QLatin1String(c.name))
                    : QStringLiteral("%1(%2) AS %3")
                          .arg(combineName(c), of(perJob(c), QStringLiteral("j")),
                              QLatin1String(c.name)));
        }
        QStringList groups;
        for (int i = 1; i <= keyNames(t).size(); ++i)
            groups << QString::number(i);
        return QStringLiteral("SELECT %1 FROM print_jobs j WHERE j.job_status = 0%2 GROUP BY %3")
            .arg(select.join(QStringLiteral(", ")), where, groups.join(QStringLiteral(", ")));
    }

    QString fill(const Table &t, const QString &where) const
    {
        return QStringLiteral("INSERT INTO %1 (%2) %3")
            .arg(QLatin1String(t.name), columnNames(t).join(QStringLiteral(", ")),
                aggregate(t, where));
    }

    // Adds one job (`row`: NEW) to its summary row, creating the row when it is the first.
    QString add(const Table &t, const QString &row, const QString &guard) const
    {
        QStringList values = keyValues(t, row);
        // SQLite's trigger has added the job to the day table already: a new day holds it alone.
        for (int i = 0; i < t.count; ++i)
            values << (t.columns[i].combine == Combine::Days
                    ? QStringLiteral("CASE WHEN %1 = 1 THEN 1 ELSE 0 END")
                          .arg(ofDay(t, row, day(row), "SUM(d.jobs)"))
                    : of(perJob(t.columns[i]), row));
        // SQLite needs a WHERE after INSERT ... SELECT to read ON CONFLICT as the upsert clause.
        return QStringLiteral("INSERT INTO %1 (%2) SELECT %3 WHERE %4 ON CONFLICT (%5) DO UPDATE "
                              "SET %6")
            .arg(QLatin1String(t.name), columnNames(t).join(QStringLiteral(", ")),
                values.join(QStringLiteral(", ")),
                guard.isEmpty() ? QStringLiteral("1 = 1") : guard,
                keyNames(t).join(QStringLiteral(", ")), merging(t));
    }

    // A server's form of add() for every table at once. A server sets up each statement of a
    // trigger anew for every job, at a cost that grows with its columns, but keeps a function's
    // plain assignments ready for the rest of the transaction: the job's figures that every
    // table shares are worked out there once, and one statement for the job's size band adds
    // them to every table, with the band's own figures written in and the other bands' columns
    // left as they are.
    struct Adding
    {
        QString declare, assign, statements;
    };
    Adding addToEach(const QList<const Table *> &kept, const QString &row) const
    {
        Adding out;
        QStringList assigned;
        const auto figure = [&](const Table &t, const Column &c) {
            // Read in the statement, which sees the day table as it was before the job: an
            // assignment would cost a query of its own.
            if (c.combine == Combine::Days)
                return dayIsNew(t, row);
            const QString expression = perJob(c);
            // A number or a column of the job is as cheap to read as a variable.
            static const QRegularExpression plain(QStringLiteral("^(\\d+|@\\w+)$"));
            if (plain.match(expression).hasMatch())
                return of(expression, row);
            qsizetype at = assigned.indexOf(expression);
            if (at < 0) {
                at = assigned.size();
                assigned << expression;
                out.declare += QStringLiteral("  f%1 %2;\n")
                                   .arg(at)
                                   .arg(c.kind == Kind::Count     ? QStringLiteral("integer")
                                           : c.kind == Kind::Cost ? QStringLiteral("numeric")
                                                                  : QStringLiteral("timestamp"));
                out.assign += QStringLiteral("      f%1 := %2;\n").arg(at).arg(of(expression, row));
            }
            return QStringLiteral("f%1").arg(at);
        };
        int bands = 0;
        for (const Table *t : kept)
            for (int i = 0; i < t->count; ++i)
                bands = std::max(bands, t->columns[i].band);
        QStringList shared; // each table's figures, the banded ones left empty
        for (const Table *t : kept)
            for (int i = 0; i < t->count; ++i)
                shared << (t->columns[i].band == 0 ? figure(*t, t->columns[i]) : QString());
        const QString indent = QStringLiteral("      ");
        for (int band = bands == 0 ? 0 : 1; band <= bands; ++band) {
            QStringList inserts;
            qsizetype at = 0;
            for (const Table *t : kept) {
                QStringList values = keyValues(*t, row);
                for (int i = 0; i < t->count; ++i, ++at) {
                    const Column &c = t->columns[i];
                    values << (c.band == 0   ? shared.at(at)
                            : c.band == band ? of(QLatin1String(c.perJob), row)
                                             : QLatin1String(outsideBand(c)));
                }
                inserts << QStringLiteral("INSERT INTO %1 (%2) VALUES (%3) ON CONFLICT (%4) DO "
                                          "UPDATE SET %5")
                               .arg(QLatin1String(t->name),
                                   columnNames(*t).join(QStringLiteral(", ")),
                                   values.join(QStringLiteral(", ")),
                                   keyNames(*t).join(QStringLiteral(", ")), merging(*t, band));
            }
            QStringList with;
            for (qsizetype i = 0; i + 1 < inserts.size(); ++i)
                with << QStringLiteral("t%1 AS (%2)").arg(i).arg(inserts.at(i));
            const QString statement
                = (with.isEmpty() ? QString()
                                  : QStringLiteral("WITH ") + with.join(QStringLiteral(", "))
                              + QLatin1Char(' '))
                + inserts.last() + QStringLiteral(";\n");
            if (bands == 0) {
                out.statements += indent + statement;
                continue;
            }
            // The last band takes every other job, so that the row is always added to.
            const QString branch = band == bands
                ? QStringLiteral("ELSE\n")
                : QStringLiteral("%1 %2 THEN\n")
                      .arg(band == 1 ? QStringLiteral("IF") : QStringLiteral("ELSIF"),
                          of(QLatin1String(sizeBands[band - 1]), row));
            out.statements += indent + branch + indent + QStringLiteral("  ") + statement;
        }
        if (bands != 0)
            out.statements += indent + QStringLiteral("END IF;\n");
        return out;
    }

    // The rows of `t` that the rows of `staged` (the jobs added up at the grain of `from`, the
    // day or the hour table) add up to.
    QString fromStaged(const Table &t, const Table &from, const QString &staged) const
    {
        if (&t == &from)
            return QStringLiteral("SELECT * FROM ") + staged;
        const QString day = QStringLiteral("s.job_day");
        QStringList select = keysOf(t, QStringLiteral("s"),
            t.grain != Grain::Month
                ? day
                : monthOf(m_sqlite ? day : QStringLiteral("CAST(%1 AS TIMESTAMP)").arg(day)),
            QStringLiteral("s.job_hour"));
        const qsizetype keys = select.size();
        for (int i = 0; i < t.count; ++i) {
            const Column &c = t.columns[i];
            // A day is new when the day table, not yet added to, holds none of its jobs.
            select << (c.combine == Combine::Days
                    ? QStringLiteral("COUNT(DISTINCT CASE WHEN NOT EXISTS %1 THEN s.job_day END)")
                          .arg(ofDay(t, QStringLiteral("s"), QStringLiteral("s.job_day"), "1"))
                    : QStringLiteral("%1(%2)").arg(combineName(c),
                        c.perDay ? of(perDay(c), QStringLiteral("s"))
                                 : QStringLiteral("s.") + QLatin1String(c.name)));
        }
        QStringList groups;
        for (qsizetype i = 1; i <= keys; ++i)
            groups << QString::number(i);
        return QStringLiteral("SELECT %1 FROM %2 s GROUP BY %3")
            .arg(select.join(QStringLiteral(", ")), staged, groups.join(QStringLiteral(", ")));
    }

    // Adds the figures of `rows` (a SELECT of the table's columns in their order) to the table.
    QString addAll(const Table &t, const QString &rows) const
    {
        return QStringLiteral("INSERT INTO %1 (%2) SELECT * FROM (%3) d WHERE 1 = 1 ON CONFLICT "
                              "(%4) DO UPDATE SET %5")
            .arg(QLatin1String(t.name), columnNames(t).join(QStringLiteral(", ")), rows,
                keyNames(t).join(QStringLiteral(", ")), merging(t));
    }

    // How a summary row takes in the figures of another row of its key (`excluded`); with a
    // `band`, only the columns a job of that size band adds to.
    QString merging(const Table &t, int band = 0) const
    {
        QStringList sets;
        for (int i = 0; i < t.count; ++i) {
            const Column &c = t.columns[i];
            if (band != 0 && c.band != 0 && c.band != band)
                continue;
            const QString name = QLatin1String(c.name);
            const QString mine = m_sqlite ? name : QLatin1String(t.name) + QLatin1Char('.') + name;
            switch (c.combine) {
            case Combine::Sum:
            case Combine::Days:
                sets << QStringLiteral("%1 = %2 + excluded.%1").arg(name, mine);
                break;
            case Combine::Min:
                sets << QStringLiteral("%1 = %3(%2, excluded.%1)")
                            .arg(name, mine,
                                m_sqlite ? QStringLiteral("MIN") : QStringLiteral("LEAST"));
                break;
            case Combine::Max:
                sets << QStringLiteral("%1 = %3(%2, excluded.%1)")
                            .arg(name, mine,
                                m_sqlite ? QStringLiteral("MAX") : QStringLiteral("GREATEST"));
                break;
            }
        }
        return sets.join(QStringLiteral(", "));
    }

    // Takes one job (`row`: OLD) out of its summary row. A smallest or largest value that was
    // this job's is looked up again among the period's remaining jobs (the printer and time
    // index); a row left without jobs goes.
    QStringList remove(const Table &t, const QString &row, const QString &guard) const
    {
        QStringList match;
        const QStringList names = keyNames(t);
        const QStringList values = keyValues(t, row);
        for (int i = 0; i < names.size(); ++i)
            match << QStringLiteral("%1 = %2").arg(names.at(i), values.at(i));
        if (!guard.isEmpty())
            match << guard;
        QString apart;
        if (t.perUser())
            apart += QStringLiteral("j.user_id = %1.user_id AND ").arg(row);
        if (t.perPrinter())
            apart += QStringLiteral("j.printer_id = %1.printer_id AND ").arg(row);
        const QString sameDay
            = QStringLiteral("j.company_id = %1.company_id AND %2j.job_time >= %3 AND "
                             "j.job_time < %4 AND j.job_status = 0")
                  .arg(row, apart, t.grain == Grain::Month ? month(row) : day(row),
                      t.grain == Grain::Month ? nextMonth(row) : nextDay(row));
        QStringList sets;
        for (int i = 0; i < t.count; ++i) {
            const Column &c = t.columns[i];
            const QString name = QLatin1String(c.name);
            const QString mine = of(perJob(c), row);
            if (c.combine == Combine::Sum || c.combine == Combine::Days) {
                // A column of days: the day table has let the job go already.
                sets << QStringLiteral("%1 = %1 - %2")
                            .arg(name, c.combine == Combine::Days ? dayIsNew(t, row) : mine);
            } else {
                sets << QStringLiteral("%1 = CASE WHEN %1 = %2 THEN COALESCE((SELECT %3(%4) FROM "
                                       "print_jobs j WHERE %5), %1) ELSE %1 END")
                            .arg(name, mine,
                                c.combine == Combine::Min ? QStringLiteral("MIN")
                                                          : QStringLiteral("MAX"),
                                of(perJob(c), QStringLiteral("j")), sameDay);
            }
        }
        const QString where = match.join(QStringLiteral(" AND "));
        return { QStringLiteral("UPDATE %1 SET %2 WHERE %3")
                     .arg(QLatin1String(t.name), sets.join(QStringLiteral(", ")), where),
            QStringLiteral("DELETE FROM %1 WHERE %2 AND jobs <= 0")
                .arg(QLatin1String(t.name), where) };
    }

    // The triggers over the tables of schema `version` (all of them by default), in place of
    // any the database holds.
    QStringList triggers(int version = CurrentSchemaVersion) const
    {
        QList<Table> asOf;
        for (const Table &t : tables)
            if (t.since <= version)
                asOf << tableAsOf(t, version);
        QList<const Table *> kept;
        for (const Table &t : std::as_const(asOf))
            kept << &t;
        if (m_sqlite) {
            QString insert, remove, update;
            QStringList out;
            for (const char *name : sqliteTriggerNames)
                out << QStringLiteral("DROP TRIGGER IF EXISTS ") + QLatin1String(name);
            for (const Table *tp : kept) {
                const Table &t = *tp;
                insert += add(t, QStringLiteral("NEW"), {}) + QStringLiteral(";\n");
                for (const QString &s : this->remove(t, QStringLiteral("OLD"), {}))
                    remove += s + QStringLiteral(";\n");
                for (const QString &s :
                    this->remove(t, QStringLiteral("OLD"), QStringLiteral("OLD.job_status = 0")))
                    update += s + QStringLiteral(";\n");
            }
            for (const Table *t : kept)
                update += add(*t, QStringLiteral("NEW"), QStringLiteral("NEW.job_status = 0"))
                    + QStringLiteral(";\n");
            return out
                + QStringList {
                      QStringLiteral("CREATE TRIGGER print_jobs_summaries_insert AFTER INSERT ON "
                                     "print_jobs WHEN NEW.job_status = 0 BEGIN\n%1END")
                          .arg(insert),
                      QStringLiteral("CREATE TRIGGER print_jobs_summaries_delete AFTER DELETE ON "
                                     "print_jobs WHEN OLD.job_status = 0 BEGIN\n%1END")
                          .arg(remove),
                      QStringLiteral(
                          "CREATE TRIGGER print_jobs_summaries_update AFTER UPDATE OF %1 ON "
                          "print_jobs BEGIN\n%2END")
                          .arg(QLatin1String(watchedColumns), update),
                  };
        }
        QString removeOld;
        QStringList names;
        for (const Table *t : kept) {
            for (const QString &s : remove(*t, QStringLiteral("OLD"), {}))
                removeOld += QStringLiteral("      ") + s + QStringLiteral(";\n");
            names << QLatin1String(t->name);
        }
        const Adding adding = addToEach(kept, QStringLiteral("NEW"));
        // A bulk load sets kv6.summaries to 'suspended' for its own transaction only.
        return {
            QStringLiteral("DROP TRIGGER IF EXISTS print_jobs_summaries ON print_jobs"),
            QStringLiteral("DROP TRIGGER IF EXISTS print_jobs_summaries_truncate ON print_jobs"),
            QStringLiteral("CREATE OR REPLACE FUNCTION print_jobs_summarise() RETURNS trigger "
                           "LANGUAGE plpgsql AS $fn$\nDECLARE\n%3BEGIN\n"
                           "  IF current_setting('kv6.summaries', true) = 'suspended' THEN\n"
                           "    RETURN NULL;\n  END IF;\n"
                           "  IF TG_OP <> 'INSERT' THEN\n    IF OLD.job_status = 0 THEN\n%1"
                           "    END IF;\n  END IF;\n"
                           "  IF TG_OP <> 'DELETE' THEN\n    IF NEW.job_status = 0 THEN\n%2"
                           "    END IF;\n  END IF;\n  RETURN NULL;\nEND\n$fn$")
                .arg(removeOld, adding.assign + adding.statements, adding.declare),
            // TRUNCATE fires no row triggers; it empties the summaries with the jobs.
            QStringLiteral("CREATE OR REPLACE FUNCTION print_jobs_summaries_truncate() RETURNS "
                           "trigger LANGUAGE plpgsql AS $fn$\nBEGIN\n"
                           "  TRUNCATE %1;\n  RETURN NULL;\nEND\n$fn$")
                .arg(names.join(QStringLiteral(", "))),
            QStringLiteral("CREATE TRIGGER print_jobs_summaries_truncate AFTER TRUNCATE ON "
                           "print_jobs FOR EACH STATEMENT EXECUTE FUNCTION "
                           "print_jobs_summaries_truncate()"),
            QStringLiteral("CREATE TRIGGER print_jobs_summaries AFTER INSERT OR DELETE OR UPDATE "
                           "OF %1 ON print_jobs FOR EACH ROW EXECUTE FUNCTION "
                           "print_jobs_summarise()")
                .arg(QLatin1String(watchedColumns)),
        };
    }

private:
    bool m_sqlite;
};

DataResult executeAll(
    DataConnection &c, const QStringList &statements, const QVariantList &params = {})
{
    for (const QString &s : statements)
        if (DataResult e = c.Execute(s, params))
            return e;
    return std::nullopt;
}

} // namespace

QStringList SummarySchemaStatements(bool sqlite, int version)
{
    const Sql sql(sqlite);
    if (version == 6 || version == 7)
        // A server's trigger function in its one-statement form (6), then with one statement for
        // each size band (7); SQLite's triggers stay as they were.
        return sqlite ? QStringList() : sql.triggers(version);
    QStringList out;
    for (const Table &t : tables) {
        if (t.since == version) {
            // A table made anew: its earlier form goes, with the figures it held.
            const Table made = tableAsOf(t, version);
            out << QStringLiteral("DROP TABLE IF EXISTS ") + QLatin1String(t.name)
                << sql.create(made) << sql.fill(made, {});
        }
        if (t.grown == version)
            out << sql.grow(t);
    }
    if (version == 13 && sqlite)
        // User Printing Breakdown counts each user's printers and adds up the costs (reals, in
        // the order of these rows) from the month rows per user and printer: read from this
        // index, an eighth of the rows' width, a year of 10M jobs reads 0.15 s faster. A server
        // counts from its key alone and adds costs exactly, so it needs none.
        return { QStringLiteral("CREATE INDEX print_job_months_printers ON print_job_months "
                                "(company_id, job_month, user_id, printer_id, bw_cost, "
                                "color_cost)") };
    if (out.isEmpty())
        return {};
    if (version == 5)
        // The colour reports read only months with colour jobs, as they read days. The
        // inventories read both summaries by company and period now, so the day summary's
        // printer index (of version 3) only cost every insert.
        out << QStringLiteral("DROP INDEX IF EXISTS print_job_days_printer")
            << QStringLiteral("CREATE INDEX print_job_months_color ON print_job_months "
                              "(company_id, job_month, user_id, printer_id, color_jobs, "
                              "color_pages, duplex_color_pages, color_cost, color_job_pages, "
                              "color_job_bw_cost) WHERE color_jobs > 0");
    return out + sql.triggers(version);
}

QStringList SummaryTriggerStatements(bool sqlite)
{
    return Sql(sqlite).triggers();
}

QStringList SummaryTableNames()
{
    QStringList names;
    for (const Table &t : tables)
        names << QLatin1String(t.name);
    return names;
}

DataResult RebuildSummaries(DataConnection &connection)
{
    const Sql sql(connection.Source().isSQLite());
    return connection.InTransaction([&]() -> DataResult {
        for (const Table &t : tables) {
            if (DataResult e
                = connection.Execute(QStringLiteral("DELETE FROM ") + QLatin1String(t.name)))
                return e;
            if (DataResult e = connection.Execute(sql.fill(t, {})))
                return e;
        }
        return std::nullopt;
    });
}

DataResult SuspendSummaries(DataConnection &connection)
{
    if (connection.Source().isSQLite()) {
        // Dropped inside the transaction: no other connection sees them missing, and a rollback
        // brings them back.
        for (const char *name : sqliteTriggerNames)
            if (DataResult e = connection.Execute(
                    QStringLiteral("DROP TRIGGER IF EXISTS ") + QLatin1String(name)))
                return e;
        return std::nullopt;
    }
    return connection.Execute(
        QStringLiteral("SELECT set_config('kv6.summaries', 'suspended', true)"));
}

DataResult ResumeSummaries(DataConnection &connection, const QDate &first, const QDate &last)
{
    const bool sqlite = connection.Source().isSQLite();
    const Sql sql(sqlite);
    if (first.isValid() && last.isValid()) {
        for (const Table &t : tables) {
            // A month row holds the whole month: its jobs outside the days are added again too.
            const bool months = t.grain == Grain::Month;
            const QVariantList span {
                (months ? QDate(first.year(), first.month(), 1) : first).toString(Qt::ISODate),
                (months ? QDate(last.year(), last.month(), 1).addMonths(1) : last.addDays(1))
                    .toString(Qt::ISODate)
            };
            if (DataResult e
                = connection.Execute(QStringLiteral("DELETE FROM %1 WHERE %2 >= ? AND %2 < ?")
                                         .arg(QLatin1String(t.name), Sql::periodName(t)),
                    span))
                return e;
            if (DataResult e = connection.Execute(
                    sql.fill(t, QStringLiteral(" AND j.job_time >= ? AND j.job_time < ?")), span))
                return e;
        }
    }
    if (sqlite)
        return executeAll(connection, sql.triggers());
    return connection.Execute(QStringLiteral("SELECT set_config('kv6.summaries', '', true)"));
}

DataResult ResumeSummariesAdding(DataConnection &connection, const QList<qint64> &addedJobs)
{
    const bool sqlite = connection.Source().isSQLite();
    const Sql sql(sqlite);
    if (!addedJobs.isEmpty()) {
        if (DataResult e = executeAll(connection,
                { QStringLiteral("CREATE TEMPORARY TABLE IF NOT EXISTS kv6_added_jobs (job_id "
                                 "BIGINT PRIMARY KEY)"),
                    QStringLiteral("DELETE FROM kv6_added_jobs") }))
            return e;
        // Many ids a statement: a server answers each statement over the network.
        constexpr qsizetype Batch = 500;
        for (qsizetype at = 0; at < addedJobs.size(); at += Batch) {
            const QList<qint64> ids = addedJobs.mid(at, Batch);
            QStringList values;
            for (const qint64 id : ids)
                values << QStringLiteral("(%1)").arg(id);
            if (DataResult e
                = connection.Execute(QStringLiteral("INSERT INTO kv6_added_jobs (job_id) VALUES ")
                    + values.join(QLatin1String(", "))))
                return e;
        }
        // A load's ids are mostly one run: their range lets the job table's key find the jobs
        // without reading the whole table (a server's planner otherwise scans it once a summary
        // table), and the list keeps the figures exact when other writers' ids fall between.
        const auto [lowest, highest] = std::minmax_element(addedJobs.cbegin(), addedJobs.cend());
        const QString added = QStringLiteral(" AND j.job_id BETWEEN %1 AND %2 AND j.job_id IN "
                                             "(SELECT job_id FROM kv6_added_jobs)")
                                  .arg(*lowest)
                                  .arg(*highest);
        // The jobs are added up once by day and once by hour, and every table takes its
        // figures from those rows: each table adding up the jobs again cost a load of 20,000
        // jobs three times as much.
        const Table &days = tables[0], &hours = tables[1];
        const auto staged
            = [](const Table &t) { return QStringLiteral("kv6_added_") + QLatin1String(t.name); };
        for (const Table *t : { &days, &hours }) {
            if (DataResult e = executeAll(connection,
                    { QStringLiteral("DROP TABLE IF EXISTS ") + staged(*t),
                        QStringLiteral("CREATE TEMPORARY TABLE %1 AS %2")
                            .arg(staged(*t), sql.aggregate(*t, added)) }))
                return e;
        }
        // The day table last: a table's column of days counts the days it does not hold yet.
        for (auto t = std::rbegin(tables); t != std::rend(tables); ++t) {
            const Table &from = t->grain == Grain::Hour ? hours : days;
            if (DataResult e
                = connection.Execute(sql.addAll(*t, sql.fromStaged(*t, from, staged(from)))))
                return e;
        }
        for (const Table *t : { &days, &hours })
            if (DataResult e = connection.Execute(QStringLiteral("DROP TABLE ") + staged(*t)))
                return e;
    }
    if (sqlite)
        return executeAll(connection, sql.triggers());
    return connection.Execute(QStringLiteral("SELECT set_config('kv6.summaries', '', true)"));
}

DataResult CheckSummaries(DataConnection &connection, QStringList &differences)
{
    differences.clear();
    const bool sqlite = connection.Source().isSQLite();
    const Sql sql(sqlite);
    for (const Table &t : tables) {
        const QStringList keys = Sql::keyNames(t);
        QStringList on, differs, select;
        for (const QString &k : keys) {
            on << QStringLiteral("a.%1 = s.%1").arg(k);
            select << QStringLiteral("COALESCE(a.%1, s.%1)").arg(k);
        }
        differs << QStringLiteral("a.company_id IS NULL") << QStringLiteral("s.company_id IS NULL");
        for (int i = 0; i < t.count; ++i) {
            const Column &c = t.columns[i];
            const QString n = QLatin1String(c.name);
            differs << (c.kind == Kind::Cost ? QStringLiteral("ABS(a.%1 - s.%1) > 0.000001").arg(n)
                                             : QStringLiteral("a.%1 <> s.%1").arg(n));
            select << QStringLiteral("a.%1").arg(n) << QStringLiteral("s.%1").arg(n);
        }
        const QString text = QStringLiteral("SELECT %1 FROM (%2) a FULL OUTER JOIN %3 s ON %4 "
                                            "WHERE %5 ORDER BY 1, 2, 3, 4")
                                 .arg(select.join(QStringLiteral(", ")), sql.aggregate(t, {}),
                                     QLatin1String(t.name), on.join(QStringLiteral(" AND ")),
                                     differs.join(QStringLiteral(" OR ")));
        QSqlQuery q(connection.database());
        if (!q.exec(text))
            return DataError(dataErrQuery,
                QStringLiteral("Cannot compare the summaries of %1 with its jobs: %2")
                    .arg(connection.Source().description(), q.lastError().text().trimmed()));
        while (q.next()) {
            QStringList where;
            for (int k = 0; k < keys.size(); ++k)
                where << QStringLiteral("%1 %2").arg(keys.at(k), q.value(k).toString());
            QStringList what;
            for (int i = 0; i < t.count; ++i) {
                const QVariant fromJobs = q.value(int(keys.size()) + 2 * i);
                const QVariant stored = q.value(int(keys.size()) + 2 * i + 1);
                if (fromJobs.isNull() && stored.isNull())
                    continue;
                if (t.columns[i].kind == Kind::Cost && !fromJobs.isNull() && !stored.isNull()
                        ? std::abs(fromJobs.toDouble() - stored.toDouble()) <= 0.000001
                        : fromJobs.toString() == stored.toString())
                    continue;
                what << QStringLiteral("%1 %2 in the summary, %3 from the jobs")
                            .arg(QLatin1String(t.columns[i].name),
                                stored.isNull() ? QStringLiteral("missing") : stored.toString(),
                                fromJobs.isNull() ? QStringLiteral("none") : fromJobs.toString());
            }
            differences << QStringLiteral("%1 (%2): %3")
                               .arg(QLatin1String(t.name), where.join(QStringLiteral(", ")),
                                   what.join(QStringLiteral("; ")));
        }
    }
    return std::nullopt;
}

} // namespace kv6
