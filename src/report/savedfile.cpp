#include "report/savedfile.h"

#include "base/startupvalues.h"
#include "report/reportparameter.h"
#include "vbcore/vbdatetext.h"

#include <QDir>

#include <cmath>

namespace kv6 {

QString SavedFilePath(const QString &fileName)
{
    if (fileName.contains(QLatin1Char('/')) || fileName.contains(QLatin1Char('\\')))
        return QDir::fromNativeSeparators(
            QString(fileName).replace(QLatin1Char('\\'), QLatin1Char('/')));
    QString folder = Startup().UserReportsFolder;
    if (!folder.isEmpty() && !folder.endsWith(QLatin1Char('/')))
        folder += QLatin1Char('/');
    return folder + fileName;
}

QString SavedBoolText(bool value)
{
    return value ? QStringLiteral("-1") : QStringLiteral("0");
}

std::optional<bool> ReadSavedBool(const QString &text)
{
    const QString t = text.trimmed();
    if (t.compare(QLatin1String("True"), Qt::CaseInsensitive) == 0)
        return true;
    if (t.compare(QLatin1String("False"), Qt::CaseInsensitive) == 0)
        return false;
    const auto n = clsReportParameter::ToNumber(t);
    if (!n)
        return std::nullopt;
    return *n != 0;
}

std::optional<qint16> ReadSavedShort(const QString &text)
{
    const auto n = clsReportParameter::ToNumber(text.trimmed());
    if (!n || *n < -32768.5 || *n >= 32767.5)
        return std::nullopt;
    return qint16(std::lround(*n));
}

QString SavedDateText(const QDate &day)
{
    const QLocale locale = VbLocale();
    return locale.toString(day, ShortDateFormat(locale));
}

QString SavedGroupLine(const clsSimpleGroups &groups, const QString &none)
{
    if (groups.Count() == 0)
        return none;
    QString line;
    for (int i = 1; i <= groups.Count(); ++i)
        line += QString::number(groups.GroupAtIndex(i)) + QLatin1Char(',');
    return line;
}

bool ReadSavedGroupLine(const QString &line, QList<qint32> &ids)
{
    QStringList pieces = line.split(QLatin1Char(','));
    if (!pieces.isEmpty() && pieces.constLast().trimmed().isEmpty())
        pieces.removeLast();
    for (const QString &piece : std::as_const(pieces)) {
        const auto id = ReadSavedShort(piece);
        if (!id)
            return false;
        if (*id == -1)
            break;
        ids.append(*id);
    }
    return true;
}

SavedLineReader::SavedLineReader(const QString &text)
    : m_lines(text.split(QLatin1Char('\n')))
{
    if (!m_lines.isEmpty() && m_lines.constLast().isEmpty())
        m_lines.removeLast();
}

bool SavedLineReader::next(QString &line)
{
    if (atEnd())
        return false;
    line = m_lines.at(m_next++);
    if (line.endsWith(QLatin1Char('\r')))
        line.chop(1);
    return true;
}

} // namespace kv6
