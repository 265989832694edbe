#include "dataaccess/cupsimport.h"

#include "base/textfile.h"
#include "dataaccess/dataconnection.h"
#include "dataaccess/enumerationtext.h"
#include "dataaccess/summaries.h"

#include <QFile>
#include <QHash>
#include <QRegularExpression>
#include <QSqlError>
#include <QSqlQuery>
#include <QSysInfo>
#include <QTimeZone>
#include <vector>

namespace kv6 {

namespace {

// Splits at blanks; double quotes group and a backslash escapes the next character, since some
// CUPS versions and PageLogFormat settings write values that way.
QStringList tokens(const QString &line)
{
    QStringList out;
    QString current;
    bool inToken = false, quoted = false;
    for (int i = 0; i < line.size(); ++i) {
        const QChar c = line.at(i);
        if (c == QLatin1Char('\\') && i + 1 < line.size()) {
            current += line.at(++i);
            inToken = true;
        } else if (c == QLatin1Char('"')) {
            quoted = !quoted;
            inToken = true;
        } else if (!quoted && (c == QLatin1Char(' ') || c == QLatin1Char('\t'))) {
            if (inToken)
                out << current;
            current.clear();
            inToken = false;
        } else {
            current += c;
            inToken = true;
        }
    }
    if (inToken)
        out << current;
    return out;
}

bool parseTime(const QString &text, QDateTime &time)
{
    static const QRegularExpression re(
        QStringLiteral("^\\[(\\d{1,2})/([A-Za-z]{3})/"
                       "(\\d{4}):(\\d{2}):(\\d{2}):(\\d{2})(?:\\s+([+-])(\\d{2})(\\d{2}))?\\]$"));
    static const QStringList months = { QStringLiteral("jan"), QStringLiteral("feb"),
        QStringLiteral("mar"), QStringLiteral("apr"), QStringLiteral("may"), QStringLiteral("jun"),
        QStringLiteral("jul"), QStringLiteral("aug"), QStringLiteral("sep"), QStringLiteral("oct"),
        QStringLiteral("nov"), QStringLiteral("dec") };
    const QRegularExpressionMatch m = re.match(text);
    if (!m.hasMatch())
        return false;
    const int month = int(months.indexOf(m.captured(2).toLower())) + 1;
    const QDate date(m.captured(3).toInt(), month, m.captured(1).toInt());
    const QTime clock(m.captured(4).toInt(), m.captured(5).toInt(), m.captured(6).toInt());
    if (month == 0 || !date.isValid() || !clock.isValid())
        return false;
    int offset = 0;
    if (!m.captured(7).isEmpty()) {
        offset = m.captured(8).toInt() * 3600 + m.captured(9).toInt() * 60;
        if (m.captured(7) == QLatin1String("-"))
            offset = -offset;
    }
    time = QDateTime(date, clock, QTimeZone(offset));
    return time.isValid();
}

bool isSides(const QString &value)
{
    return value == QLatin1String("-") || value.startsWith(QLatin1String("one-sided"))
        || value.startsWith(QLatin1String("two-sided"));
}

QString dashless(const QString &value)
{
    return value == QLatin1String("-") ? QString() : value;
}

} // namespace

bool ParseCupsPageLine(const QString &line, CupsPageLine &parsed, QString &reason)
{
    parsed = CupsPageLine();
    QStringList t = tokens(line);
    // The date-time holds a blank between the time and its offset.
    for (int i = 0; i < t.size(); ++i) {
        if (t.at(i).startsWith(QLatin1Char('[')) && !t.at(i).endsWith(QLatin1Char(']'))
            && i + 1 < t.size()) {
            t[i] += QLatin1Char(' ') + t.at(i + 1);
            t.removeAt(i + 1);
            break;
        }
    }
    if (t.size() < 6) {
        reason = QStringLiteral("%1 fields where at least 6 are needed (printer, user, job id, "
                                "date-time, page, copies)")
                     .arg(t.size());
        return false;
    }
    parsed.printer = t.at(0);
    parsed.user = t.at(1);
    bool ok = false;
    parsed.jobId = t.at(2).toLongLong(&ok);
    if (!ok || parsed.jobId < 0) {
        reason
            = QStringLiteral("the job id \"%1\" is not a number").arg(ExcerptForMessage(t.at(2)));
        return false;
    }
    if (!parseTime(t.at(3), parsed.time)) {
        reason = QStringLiteral("the date-time \"%1\" is not of the form "
                                "[dd/Mon/yyyy:hh:mm:ss +zzzz]")
                     .arg(ExcerptForMessage(t.at(3)));
        return false;
    }
    if (t.at(4).compare(QLatin1String("total"), Qt::CaseInsensitive) == 0) {
        parsed.total = true;
    } else {
        parsed.page = t.at(4).toInt(&ok);
        if (!ok || parsed.page < 0) {
            reason = QStringLiteral("the page \"%1\" is neither a number nor \"total\"")
                         .arg(ExcerptForMessage(t.at(4)));
            return false;
        }
    }
    parsed.count = t.at(5).toInt(&ok);
    if (!ok || parsed.count < 0) {
        reason = QStringLiteral("the count \"%1\" is not a number").arg(ExcerptForMessage(t.at(5)));
        return false;
    }
    const QStringList rest = t.mid(6);
    const qsizetype n = rest.size();
    parsed.billing = dashless(rest.value(0));
    parsed.host = dashless(rest.value(1));
    if (n >= 5 && isSides(rest.at(n - 1))) {
        parsed.jobName = dashless(rest.mid(2, n - 4).join(QLatin1Char(' ')));
        parsed.media = dashless(rest.at(n - 2));
        parsed.sides = dashless(rest.at(n - 1));
    } else if (n > 2) {
        parsed.jobName = dashless(rest.mid(2).join(QLatin1Char(' ')));
    }
    return true;
}

QString PaperSizeFromMedia(const QString &media)
{
    static const QHash<QString, QString> known = {
        { QStringLiteral("iso_a4_210x297mm"), QStringLiteral("A4") },
        { QStringLiteral("iso_a3_297x420mm"), QStringLiteral("A3") },
        { QStringLiteral("iso_a5_148x210mm"), QStringLiteral("A5") },
        { QStringLiteral("na_letter_8.5x11in"), QStringLiteral("Letter") },
        { QStringLiteral("na_legal_8.5x14in"), QStringLiteral("Legal") },
        { QStringLiteral("na_ledger_11x17in"), QStringLiteral("Tabloid") },
        { QStringLiteral("iso_dl_110x220mm"), QStringLiteral("Envelope DL") },
        { QStringLiteral("na_number-10_4.125x9.5in"), QStringLiteral("Envelope #10") },
        { QStringLiteral("a4"), QStringLiteral("A4") },
        { QStringLiteral("a3"), QStringLiteral("A3") },
        { QStringLiteral("a5"), QStringLiteral("A5") },
        { QStringLiteral("letter"), QStringLiteral("Letter") },
        { QStringLiteral("legal"), QStringLiteral("Legal") },
    };
    const QString m = dashless(media.trimmed());
    // A media value may list several keywords ("iso_a4_210x297mm,tray-1"); the size comes first.
    const QString size = m.section(QLatin1Char(','), 0, 0);
    return known.value(size.toLower(), size);
}

namespace {

struct PendingJob
{
    QString printer;
    QString user;
    qint64 jobId = 0;
    QDateTime first;
    QDateTime last;
    qint64 pageSum = 0;
    int copies = 0;
    qint64 total = -1;
    bool closed = false;
    QString host;
    QString name;
    QString media;
    QString sides;

    void absorb(const CupsPageLine &l)
    {
        last = l.time;
        if (l.total) {
            total = l.count;
            closed = true;
        } else {
            pageSum += l.count;
            copies = std::max(copies, l.count);
        }
        auto fill = [](QString &field, const QString &value) {
            if (field.isEmpty())
                field = value;
        };
        fill(host, l.host);
        fill(name, l.jobName);
        fill(media, l.media);
        fill(sides, l.sides);
    }
    qint64 pages() const { return total >= 0 ? total : pageSum; }
};

class Importer
{
public:
    Importer(DataConnection &c, CupsImportSummary &summary, const DataProgress &progress)
        : m_c(c)
        , m_summary(summary)
        , m_progress(progress)
        , m_where(c.Source().description())
    { }

    DataResult read(const QString &path)
    {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly))
            return DataError(dataErrInvalid,
                QStringLiteral("Cannot read the page log %1: %2").arg(path, file.errorString()));
        m_total = file.size();
        QHash<QPair<QString, qint64>, int> open;
        int number = 0;
        while (!file.atEnd()) {
            const QByteArray bytes = file.readLine();
            ++number;
            const QString line = DecodeText(bytes).trimmed();
            if (line.isEmpty())
                continue;
            CupsPageLine parsed;
            QString reason;
            if (!ParseCupsPageLine(line, parsed, reason)) {
                m_summary.problems.append({ number, reason });
                ++m_summary.skippedLines;
                continue;
            }
            const QPair<QString, qint64> key(parsed.printer, parsed.jobId);
            int index = open.value(key, -1);
            // A finished job, another user or a long gap means CUPS has reused the job id.
            if (index >= 0) {
                const PendingJob &j = m_jobs[size_t(index)];
                if (j.closed || j.user != parsed.user || j.last.secsTo(parsed.time) > 86400)
                    index = -1;
            }
            if (index < 0) {
                PendingJob j;
                j.printer = parsed.printer;
                j.user = parsed.user;
                j.jobId = parsed.jobId;
                j.first = parsed.time;
                m_jobs.push_back(j);
                index = int(m_jobs.size()) - 1;
                open.insert(key, index);
            }
            m_jobs[size_t(index)].absorb(parsed);
            if ((number & 0xfff) == 0 && m_progress && !m_progress(file.pos(), m_total + 1))
                return cancelled();
        }
        return std::nullopt;
    }

    DataResult write(int companyId)
    {
        if (DataResult e = resolveCompany(companyId))
            return e;
        // The triggers stay off during the load; the jobs it added go into the summaries at the
        // end, in one statement a table.
        if (DataResult e = SuspendSummaries(m_c))
            return e;
        QList<qint64> added;
        // No conflict target: a job table partitioned by month keys sources by (source_key,
        // job_time), a plain one by source_key alone, and both refuse a job imported before.
        QSqlQuery job(m_c.database());
        job.prepare(QStringLiteral(
            "INSERT INTO print_jobs (company_id, user_id, printer_id, job_time, computer, "
            "document_name, pages, color_pages, copies, duplex, paper_size, job_status, "
            "source_key) VALUES (?, ?, ?, ?, ?, ?, ?, 0, ?, ?, ?, 0, ?) "
            "ON CONFLICT DO NOTHING RETURNING job_id"));
        const qint64 count = qint64(m_jobs.size());
        for (qint64 i = 0; i < count; ++i) {
            const PendingJob &j = m_jobs[size_t(i)];
            int printerId = 0, userId = 0;
            if (DataResult e = printer(j.printer, printerId))
                return e;
            if (DataResult e = user(j.user, userId))
                return e;
            job.addBindValue(m_summary.companyId);
            job.addBindValue(userId);
            job.addBindValue(printerId);
            job.addBindValue(j.first.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")));
            job.addBindValue(nullable(j.host));
            job.addBindValue(nullable(j.name));
            job.addBindValue(j.pages());
            job.addBindValue(std::max(j.copies, 1));
            job.addBindValue(j.sides.startsWith(QLatin1String("two-sided")));
            job.addBindValue(nullable(PaperSizeFromMedia(j.media)));
            job.addBindValue(QStringLiteral("cups:%1/%2/%3")
                                 .arg(j.printer)
                                 .arg(j.jobId)
                                 .arg(j.first.toUTC().toString(Qt::ISODate)));
            if (!job.exec())
                return failed(job, QStringLiteral("print jobs"));
            // A job imported before returns no id.
            if (job.next()) {
                added.append(job.value(0).toLongLong());
                ++m_summary.jobs;
                m_summary.pages += j.pages();
            } else {
                ++m_summary.alreadyImported;
            }
            if ((i & 0xff) == 0xff && m_progress && !m_progress(m_total + 1, m_total + 1))
                return cancelled();
        }
        job.finish();
        if (DataResult e = ResumeSummariesAdding(m_c, added))
            return e;
        if (m_progress && !m_progress(m_total + 1, m_total + 1))
            return cancelled();
        return std::nullopt;
    }

private:
    static QVariant nullable(const QString &text)
    {
        return text.isEmpty() ? QVariant() : QVariant(text);
    }

    DataResult failed(const QSqlQuery &q, const QString &what) const
    {
        return DataError(dataErrQuery,
            QStringLiteral("Cannot write %1 to %2: %3")
                .arg(what, m_where, q.lastError().text().trimmed()));
    }

    DataResult cancelled() const
    {
        return DataError(dataErrCancelled,
            QStringLiteral("The import into %1 was cancelled; nothing was kept.").arg(m_where));
    }

    DataResult resolveCompany(int companyId)
    {
        QSqlQuery q(m_c.database());
        if (companyId > 0) {
            q.prepare(QStringLiteral("SELECT company_id FROM companies WHERE company_id = ?"));
            q.addBindValue(companyId);
            if (!q.exec())
                return failed(q, QStringLiteral("print jobs"));
            if (!q.next())
                return DataError(dataErrNotFound,
                    QStringLiteral("%1 holds no company with id %2.").arg(m_where).arg(companyId));
            m_summary.companyId = companyId;
        } else {
            if (!q.exec(QStringLiteral("SELECT company_id FROM companies ORDER BY company_id")))
                return failed(q, QStringLiteral("print jobs"));
            QList<int> ids;
            while (q.next())
                ids << q.value(0).toInt();
            if (ids.size() > 1)
                return DataError(dataErrInvalid,
                    QStringLiteral("%1 holds %2 companies; say which one the jobs belong to.")
                        .arg(m_where)
                        .arg(ids.size()));
            if (ids.isEmpty()) {
                // A database made for this print server alone: its company is the server.
                QString name = QSysInfo::machineHostName();
                if (name.isEmpty())
                    name = QStringLiteral("Print server");
                q.prepare(QStringLiteral("INSERT INTO companies (name) VALUES (?) "
                                         "RETURNING company_id"));
                q.addBindValue(name);
                if (!q.exec() || !q.next())
                    return failed(q, QStringLiteral("a company"));
                ids << q.value(0).toInt();
            }
            m_summary.companyId = ids.first();
        }
        if (!q.prepare(
                QStringLiteral("SELECT printer_id, name FROM printers WHERE company_id = ?")))
            return failed(q, QStringLiteral("print jobs"));
        q.addBindValue(m_summary.companyId);
        if (!q.exec())
            return failed(q, QStringLiteral("print jobs"));
        while (q.next())
            m_printers.insert(q.value(1).toString(), q.value(0).toInt());
        q.prepare(QStringLiteral("SELECT user_id, user_name FROM users WHERE company_id = ?"));
        q.addBindValue(m_summary.companyId);
        if (!q.exec())
            return failed(q, QStringLiteral("print jobs"));
        while (q.next())
            m_users.insert(q.value(1).toString(), q.value(0).toInt());
        return std::nullopt;
    }

    DataResult printer(const QString &name, int &id)
    {
        if (const auto it = m_printers.constFind(name); it != m_printers.constEnd()) {
            id = it.value();
            return std::nullopt;
        }
        QSqlQuery q(m_c.database());
        q.prepare(QStringLiteral(
            "INSERT INTO printers (company_id, name, port, connection_type, device_type) "
            "VALUES (?, ?, ?, ?, ?) RETURNING printer_id"));
        q.addBindValue(m_summary.companyId);
        q.addBindValue(name);
        q.addBindValue(QStringLiteral("ipp://localhost/printers/") + name);
        q.addBindValue(int(connIpp));
        q.addBindValue(int(devPrinter));
        if (!q.exec() || !q.next())
            return failed(q, QStringLiteral("printer %1").arg(name));
        id = q.value(0).toInt();
        m_printers.insert(name, id);
        ++m_summary.printers;
        return std::nullopt;
    }

    DataResult user(const QString &name, int &id)
    {
        if (const auto it = m_users.constFind(name); it != m_users.constEnd()) {
            id = it.value();
            return std::nullopt;
        }
        QSqlQuery q(m_c.database());
        q.prepare(QStringLiteral("INSERT INTO users (company_id, user_name, display_name) "
                                 "VALUES (?, ?, ?) RETURNING user_id"));
        q.addBindValue(m_summary.companyId);
        q.addBindValue(name);
        q.addBindValue(name);
        if (!q.exec() || !q.next())
            return failed(q, QStringLiteral("user %1").arg(name));
        id = q.value(0).toInt();
        m_users.insert(name, id);
        ++m_summary.users;
        return std::nullopt;
    }

    DataConnection &m_c;
    CupsImportSummary &m_summary;
    const DataProgress &m_progress;
    QString m_where;
    qint64 m_total = 0;
    std::vector<PendingJob> m_jobs;
    QHash<QString, int> m_printers;
    QHash<QString, int> m_users;
};

} // namespace

DataResult ImportCupsPageLog(DataConnection &connection, const QString &path, int companyId,
    CupsImportSummary &summary, const DataProgress &progress)
{
    summary = CupsImportSummary();
    if (!connection.IsOpen())
        return DataError(dataErrNotOpen,
            QStringLiteral("%1 is not open.").arg(connection.Source().description()));
    CupsImportSummary result;
    Importer importer(connection, result, progress);
    if (DataResult e = importer.read(path))
        return e;
    if (DataResult e = connection.InTransaction([&]() { return importer.write(companyId); }))
        return e;
    summary = result;
    return std::nullopt;
}

} // namespace kv6
