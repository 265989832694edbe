#pragma once

// The print-tracking databases the benches share: one demo history shape, so a SQLite file
// kept by one bench (--keep) serves the others, and the clean-up of a PostgreSQL bench schema.

#include "benchsupport.h"

#include "dataaccess/dataconnection.h"
#include "dataaccess/demodata.h"

#include <QCoreApplication>
#include <QDate>
#include <QDir>
#include <QFile>
#include <QStringList>
#include <QTemporaryDir>

#include <cstdio>
#include <memory>

namespace kv6bench {

inline const QDate DemoLastDay(2026, 6, 30);

// Four companies of 40 printers and 400 users, two years ending on DemoLastDay.
inline kv6::DemoOptions demoOptions(qint64 jobs)
{
    kv6::DemoOptions o;
    o.jobs = jobs;
    o.seed = 11;
    o.companies = 4;
    o.printers = 40;
    o.users = 400;
    o.days = 730;
    o.lastDay = DemoLastDay;
    return o;
}

// Drops the schema a PostgreSQL bench worked in; nothing for SQLite.
inline void dropBenchSchema(const kv6::DataSource &source)
{
    if (source.isSQLite())
        return;
    kv6::DataSource plain = source;
    plain.schema.clear();
    plain.createIfMissing = false;
    kv6::DataConnection admin(plain);
    check(admin.Open(false));
    check(admin.Execute(QStringLiteral("DROP SCHEMA \"%1\" CASCADE").arg(source.schema)));
}

// What the database benches take on their command line: --jobs N[,N...], --pg URL (default
// KV6_TEST_PG_URL), --no-sqlite, and where a bench offers them --keep DIR and --format EXT.
struct BenchOptions
{
    QList<qint64> sizes = { 1000000, 10000000 };
    QString pg = qEnvironmentVariable("KV6_TEST_PG_URL");
    bool sqlite = true;
    QString keep;
    QString format = QStringLiteral("pdf");
};

inline BenchOptions parseBenchOptions(const QString &usage, bool withKeep, bool withFormat)
{
    BenchOptions o;
    const QStringList args = QCoreApplication::arguments();
    for (qsizetype i = 1; i < args.size(); ++i) {
        const QString &a = args.at(i);
        const bool hasValue = i + 1 < args.size();
        if (a == QLatin1String("--jobs") && hasValue) {
            o.sizes.clear();
            for (const QString &n : args.at(++i).split(QLatin1Char(',')))
                o.sizes << n.toLongLong();
        } else if (a == QLatin1String("--pg") && hasValue) {
            o.pg = args.at(++i);
        } else if (a == QLatin1String("--no-sqlite")) {
            o.sqlite = false;
        } else if (withKeep && a == QLatin1String("--keep") && hasValue) {
            o.keep = args.at(++i);
        } else if (withFormat && a == QLatin1String("--format") && hasValue) {
            o.format = args.at(++i);
        } else {
            die(usage);
        }
    }
    return o;
}

// Where a bench keeps its databases and outputs: the --keep folder (made when missing), else the
// temporary folder given.
inline QString outputFolder(const BenchOptions &o, const QTemporaryDir &temp)
{
    const QString folder = o.keep.isEmpty() ? temp.path() : o.keep;
    QDir().mkpath(folder);
    return folder;
}

// The engines the options ask for: SQLite first, then PostgreSQL.
inline QList<std::pair<QString, kv6::DataSource>> benchSources(const BenchOptions &o)
{
    QList<std::pair<QString, kv6::DataSource>> out;
    if (o.sqlite) {
        kv6::DataSource s;
        s.type = 1;
        out.append({ QStringLiteral("SQLite"), s });
    }
    if (!o.pg.isEmpty()) {
        kv6::DataSource s;
        QString error;
        if (!kv6::DataSource::fromUrl(o.pg, s, error))
            die(error);
        out.append({ QStringLiteral("PostgreSQL"), s });
    }
    return out;
}

// A demo history of `jobs` jobs: a SQLite file in the folder, reused when a kept one exists, or
// a schema of its own on PostgreSQL (dropBenchSchema removes it). A fill is timed and printed in
// a first column of the given width.
inline std::unique_ptr<kv6::DataConnection> openBenchHistory(
    kv6::DataSource &s, const QString &folder, const QString &tag, qint64 jobs, int width)
{
    if (s.isSQLite())
        s.path = folder + QStringLiteral("/report-bench-%1.db").arg(jobs);
    else
        s.schema = QStringLiteral("bench_%1_%2_%3")
                       .arg(tag)
                       .arg(QCoreApplication::applicationPid())
                       .arg(jobs);
    const bool reuse = s.isSQLite() && QFile::exists(s.path);
    s.createIfMissing = true;
    std::unique_ptr<kv6::DataConnection> c;
    QVariant version;
    check(kv6::OpenDataConnection(s, true, version, c));
    if (!reuse) {
        const double fill = seconds([&]() { check(kv6::GenerateDemoData(*c, demoOptions(jobs))); });
        std::printf("%-*s %9.1f\n", width,
            qPrintable(QStringLiteral("demo history, %1 jobs").arg(jobs)), fill);
    }
    s.createIfMissing = false;
    return c;
}

} // namespace kv6bench
