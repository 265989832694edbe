#include "dataaccess/enumerationtext.h"

namespace kv6 {

const QList<EnumerationEntry> &BuiltInEnumerations()
{
    static const QList<EnumerationEntry> entries = {
        { enumConnectionType, connUnknown, QStringLiteral("Unknown") },
        { enumConnectionType, connLocal, QStringLiteral("Local port") },
        { enumConnectionType, connNetworkShare, QStringLiteral("Network share") },
        { enumConnectionType, connTcpIp, QStringLiteral("TCP/IP port") },
        { enumConnectionType, connIpp, QStringLiteral("Internet Printing Protocol") },
        { enumConnectionType, connUsb, QStringLiteral("USB") },
        { enumJobStatus, 0, QStringLiteral("Printed") },
        { enumJobStatus, 1, QStringLiteral("Cancelled") },
        { enumJobStatus, 2, QStringLiteral("Failed") },
        { enumJobStatus, 3, QStringLiteral("Held") },
        { enumColorMode, 0, QStringLiteral("Black and white") },
        { enumColorMode, 1, QStringLiteral("Colour") },
        { enumDuplexMode, 0, QStringLiteral("Simplex") },
        { enumDuplexMode, 1, QStringLiteral("Duplex") },
        { enumDeviceType, devPrinter, QStringLiteral("Printer") },
        { enumDeviceType, devCopier, QStringLiteral("Copier") },
        { enumDeviceType, devMultifunction, QStringLiteral("Multifunction device") },
        { enumDeviceType, devFax, QStringLiteral("Fax") },
    };
    return entries;
}

QString EnumerationText::Text(int enumerationType, qint16 value)
{
    bool knownType = false;
    for (const EnumerationEntry &e : BuiltInEnumerations()) {
        if (e.type != enumerationType)
            continue;
        knownType = true;
        if (e.value == value)
            return e.text;
    }
    return knownType ? QString::number(value) : QString();
}

} // namespace kv6
