#pragma once

// The settings a report takes when it runs without the window: from kv6report's command line
// now, from a scheduled task for the unattended run.

#include <QDate>
#include <QString>

#include <optional>

namespace kv6 {

class clsReport;

struct ReportRunSettings
{
    int companyId = -1; // every company
    // A date range when both are valid; otherwise the named period, else the report's default
    // period (this month where it names none).
    QDate from;
    QDate to;
    std::optional<int> period; // a clsDateSelector type from 0 to 10
    std::optional<int> top; // the size of a top-N list
    // A saved report keeps its stored dates and values where the settings give none; a
    // catalogue report takes its defaults.
    bool keepStored = false;
};

// A date as run settings and saved reports write it: the locale's short date or yyyy-MM-dd.
// Invalid for anything else.
QDate ReadReportDate(const QString &text);

// Sets the report's parameters from the settings. False with the message for the user when
// the range ends before it starts or a shown number is refused by its parameter.
bool ApplyRunSettings(clsReport &report, const ReportRunSettings &settings, QString &error);

} // namespace kv6
