#pragma once

// A report's data set as comma-separated values, the way spreadsheet users import it: numbers as
// they read, everything else in double quotes, no header line, CR LF line ends.

#include "recordset/recordset.h"

#include <QString>

#include <functional>

namespace kv6 {

// `progress` (optional) receives the record number after each record and may return false to
// stop; a stopped export leaves no file behind.
bool WriteReportCsv(const RecordsetPtr &data, const QString &path, QString *error,
    const std::function<bool(int record, int records)> &progress = {});

// One value as the export writes it.
QString CsvValue(const QVariant &value);

} // namespace kv6
