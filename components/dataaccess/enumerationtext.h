#pragma once

// Display texts of the coded values the database stores. The same table is written into every
// new database (enumeration_texts) so report SQL may join it; the process-wide lookup below
// answers from the built-in table and needs no connection.
//
// Enumerations:
//   6  connection types of printers (printers.connection_type)
//   7  job status (print_jobs.job_status)
//   8  colour mode (0 black and white, 1 colour)
//   9  duplex mode (print_jobs.duplex: 0 simplex, 1 duplex)
//   17 device types (printers.device_type; 0 is an ordinary printer)

#include <QList>
#include <QString>

namespace kv6 {

enum EnumerationType : int {
    enumConnectionType = 6,
    enumJobStatus = 7,
    enumColorMode = 8,
    enumDuplexMode = 9,
    enumDeviceType = 17,
};

// Values of enumeration 6.
enum ConnectionType : int {
    connUnknown = 0,
    connLocal = 1,
    connNetworkShare = 2,
    connTcpIp = 3,
    connIpp = 4,
    connUsb = 5,
};

// Values of enumeration 17.
enum DeviceType : int {
    devPrinter = 0,
    devCopier = 1,
    devMultifunction = 2,
    devFax = 3,
};

struct EnumerationEntry
{
    int type;
    int value;
    QString text;
};

const QList<EnumerationEntry> &BuiltInEnumerations();

class EnumerationText
{
public:
    // The display text; a value the enumeration does not know gives the value in decimal, an
    // unknown enumeration gives "".
    static QString Text(int enumerationType, qint16 value);
};

} // namespace kv6
