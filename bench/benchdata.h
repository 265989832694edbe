#pragma once

// The print-tracking databases the benches share: one demo history shape, so a SQLite file
// kept by one bench (--keep) serves the others, and the clean-up of a PostgreSQL bench schema.

#include "benchsupport.h"

#include "dataaccess/dataconnection.h"
#include "dataaccess/demodata.h"

#include <QDate>

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

} // namespace kv6bench
