#pragma once

// What saved reports and proposals share: where a bare file name lives, and how their lines
// write and read Booleans, small numbers, dates and lists of administration groups.

#include "groups/simplegroups.h"

#include <QDate>
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

namespace kv6 {

// A name holding "/" or "\" is a path; a bare name lies in UserReportsFolder.
QString SavedFilePath(const QString &fileName);

// "-1" or "0".
QString SavedBoolText(bool value);
// "-1"/"0", any number, or "True"/"False" as the language converts them; nullopt otherwise.
std::optional<bool> ReadSavedBool(const QString &text);
std::optional<qint16> ReadSavedShort(const QString &text);
// The locale's short date, the way ReadReportDate reads it back.
QString SavedDateText(const QDate &day);

// The ids each followed by ","; `none` when there are none.
QString SavedGroupLine(const clsSimpleGroups &groups, const QString &none = QStringLiteral("-1"));
// Splits at ",", stopping at the first -1; false when a piece is not a number.
bool ReadSavedGroupLine(const QString &line, QList<qint32> &ids);

// The lines of a saved file, CR LF or LF; the piece after the final line end is not a line.
class SavedLineReader
{
public:
    explicit SavedLineReader(const QString &text);
    bool atEnd() const { return m_next >= m_lines.size(); }
    bool next(QString &line);
    // The number of the line read last.
    int lineNumber() const { return int(m_next); }

private:
    QStringList m_lines;
    qsizetype m_next = 0;
};

} // namespace kv6
