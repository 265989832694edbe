#pragma once

// A made-up but realistic print history, for demonstrations and benchmarks. The same options
// always give the same data, on any machine: the random source is this library's own.
//
// Per company: printers on floors (about a third colour, most duplex), one copier or
// multifunction device for every five printers (at least one), users in departments with a few
// heavy printers among them, and administration groups of printers and of users by floor
// (owner id 0) and by department (owner id 1). Jobs fall on weekdays far more than at weekends
// and mostly in office hours; page counts are long-tailed; colour pages occur only on colour
// devices and duplex only on duplex ones.

#include "dataaccess/dataerror.h"
#include "dataaccess/dataprogress.h"

#include <QDate>
#include <QtGlobal>

namespace kv6 {

class DataConnection;

struct DemoOptions
{
    qint64 jobs = 100000;
    quint64 seed = 1;
    int companies = 1;
    int printers = 12; // per company, besides the copiers and multifunction devices
    int users = 60; // per company
    int days = 365; // the history's length, ending with lastDay
    QDate lastDay; // invalid: today
};

struct DemoSummary
{
    int companies = 0;
    int printers = 0; // printers only
    int devices = 0; // copiers and multifunction devices
    int users = 0;
    int groups = 0;
    int memberships = 0;
    qint64 jobs = 0;
    qint64 pages = 0;
    QDate firstDay;
    QDate lastDay;
};

// Adds the history to an open connection, after whatever it holds already (new companies with
// their printers, users and groups; ids follow the highest in use), in one transaction: a failure
// or a cancel through `progress` leaves the database as it was.
DataResult GenerateDemoData(DataConnection &connection, const DemoOptions &options,
    DemoSummary *summary = nullptr, const DataProgress &progress = {});

// The generator's random source: xoshiro256** seeded through splitmix64, drawn from with integer
// arithmetic only, so a seed means the same sequence everywhere.
class DemoRandom
{
public:
    explicit DemoRandom(quint64 seed);
    quint64 next();
    // Uniform in [0, bound); bound must be above 0.
    quint32 below(quint32 bound);
    // Uniform in [low, high].
    int between(int low, int high);
    // True with the given chance in ten thousand.
    bool chance(int perTenThousand);

private:
    quint64 m_state[4];
};

} // namespace kv6
