// Saved reports: the user's settings for one definition, a value a line.

#include "base/startupvalues.h"
#include "report/report.h"

#include "base/langstrings.h"
#include "base/textfile.h"
#include "dataaccess/datasettings.h"
#include "report/dateselector.h"
#include "report/runsettings.h"
#include "vbcore/vbdatetext.h"

#include <QDir>
#include <QFileInfo>
#include <QLocale>

namespace kv6 {

namespace {

constexpr int SavedReportVersion = 3;

QString inUserReports(const QString &fileName)
{
    if (fileName.contains(QLatin1Char('/')) || fileName.contains(QLatin1Char('\\')))
        return QDir::fromNativeSeparators(
            QString(fileName).replace(QLatin1Char('\\'), QLatin1Char('/')));
    QString folder = Startup().UserReportsFolder;
    if (!folder.isEmpty() && !folder.endsWith(QLatin1Char('/')))
        folder += QLatin1Char('/');
    return folder + fileName;
}

QString boolText(bool value)
{
    return value ? QStringLiteral("-1") : QStringLiteral("0");
}

QDate dateOf(const QVariant &value)
{
    if (value.typeId() == QMetaType::QDate)
        return value.toDate();
    if (value.typeId() == QMetaType::QDateTime)
        return value.toDateTime().date();
    return QDate::fromString(value.toString().left(10), Qt::ISODate);
}

// Text to Boolean as the language converts it; anything else is nullopt.
std::optional<bool> readBool(const QString &text)
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

std::optional<qint16> readShort(const QString &text)
{
    const auto n = clsReportParameter::ToNumber(text.trimmed());
    if (!n || *n < -32768.5 || *n >= 32767.5)
        return std::nullopt;
    return qint16(std::lround(*n));
}

QString groupLine(const clsSimpleGroups &groups)
{
    if (groups.Count() == 0)
        return QStringLiteral("-1");
    QString line;
    for (int i = 1; i <= groups.Count(); ++i)
        line += QString::number(groups.GroupAtIndex(i)) + QLatin1Char(',');
    return line;
}

// Everything a file holds, read before the report is touched so a bad file changes nothing.
struct SavedSettings
{
    int version = 1;
    QString definition;
    QString caption, description, title, subTitle, sort;
    bool useFilters = true, useGroups = true, useEstCosts = false;
    std::optional<qint16> decimals;
    QList<qint32> printerGroups, userGroups;
    QStringList parameterLines;
};

class LineReader
{
public:
    explicit LineReader(const QString &text)
        : m_lines(text.split(QLatin1Char('\n')))
    {
        // A file ends with a line end; the piece after it is not a line.
        if (!m_lines.isEmpty() && m_lines.constLast().isEmpty())
            m_lines.removeLast();
    }
    bool atEnd() const { return m_next >= m_lines.size(); }
    bool next(QString &line)
    {
        if (atEnd())
            return false;
        line = m_lines.at(m_next++);
        if (line.endsWith(QLatin1Char('\r')))
            line.chop(1);
        return true;
    }
    int lineNumber() const { return int(m_next); }

private:
    QStringList m_lines;
    qsizetype m_next = 0;
};

bool parseGroups(const QString &line, QList<qint32> &ids)
{
    QStringList pieces = line.split(QLatin1Char(','));
    if (!pieces.isEmpty() && pieces.constLast().trimmed().isEmpty())
        pieces.removeLast();
    for (const QString &piece : std::as_const(pieces)) {
        const auto id = readShort(piece);
        if (!id)
            return false;
        if (*id == -1)
            break;
        ids.append(*id);
    }
    return true;
}

} // namespace

QString clsReport::SaveUserDefined(const QString &fileName) const
{
    QStringList lines;
    lines << QString::number(SavedReportVersion) << FileName() << DisplayName() << Description()
          << Title() << SubTitle() << Sort() << boolText(UseFilters()) << boolText(UseGroups())
          << boolText(UseEstCosts()) << QString::number(NumDecimals())
          << groupLine(SimplePrinterGroups()) << groupLine(SimpleUserGroups());
    const ReportParametersPtr params = Parameters();
    const QLocale locale = VbLocale();
    const QString dateFormat = ShortDateFormat(locale);
    for (int i = 1; params && i <= params->count(); ++i) {
        const clsReportParameter &p = **params->item(i);
        switch (p.ParameterType()) {
        case clsReportParameter::CompanyId:
            break;
        case clsReportParameter::DateRange:
            lines << locale.toString(dateOf(p.Value1()), dateFormat)
                  << locale.toString(dateOf(p.Value2()), dateFormat)
                  << QString::number(p.Value3().toInt());
            break;
        case clsReportParameter::Number: {
            const auto n = clsReportParameter::ToNumber(p.Value1());
            lines << (n ? locale.toString(*n, 'g', 15) : QString());
            break;
        }
        default:
            lines << p.Value1().toString();
            break;
        }
    }
    QString error;
    if (!WriteTextFile(inUserReports(fileName), lines.join(QLatin1Char('\n')) + QLatin1Char('\n'),
            true, &error))
        return GetLangString(842, error);
    return {};
}

bool clsReport::LoadUserDefined(qint32 companyId, const QString &fileName, QString &message)
{
    message.clear();
    const QString path = inUserReports(fileName);
    QString text, error;
    if (!ReadTextFile(path, &text, &error)) {
        message = GetLangString(841, error);
        return false;
    }
    LineReader in(text);
    SavedSettings s;
    const auto truncated = [&] {
        message = GetLangString(841,
            QStringLiteral("%1 ends before line %2.")
                .arg(QDir::toNativeSeparators(path))
                .arg(in.lineNumber() + 1));
        return false;
    };
    const auto badLine = [&](const QString &what) {
        message = GetLangString(841,
            QStringLiteral("Line %1 of %2 does not hold %3.")
                .arg(in.lineNumber())
                .arg(QDir::toNativeSeparators(path), what));
        return false;
    };

    QString line;
    if (!in.next(line))
        return truncated();
    if (clsReportParameter::ToNumber(line.trimmed())) {
        s.version = int(clsReportParameter::ToNumber(line.trimmed()).value());
        if (s.version < 2 || s.version > SavedReportVersion)
            return badLine(QStringLiteral("a known format version"));
        if (!in.next(s.definition))
            return truncated();
    } else {
        s.definition = line;
    }
    s.definition = s.definition.trimmed();
    QString *texts[] = { &s.caption, &s.description, &s.title, &s.subTitle, &s.sort };
    for (QString *t : texts) {
        if (!in.next(*t))
            return truncated();
    }
    bool *flags[] = { &s.useFilters, &s.useGroups, &s.useEstCosts };
    for (bool *f : flags) {
        if (!in.next(line))
            return truncated();
        const auto b = readBool(line);
        if (!b)
            return badLine(QStringLiteral("-1 or 0"));
        *f = *b;
    }
    if (s.version >= 3) {
        if (!in.next(line))
            return truncated();
        s.decimals = readShort(line);
        if (!s.decimals)
            return badLine(QStringLiteral("a number of decimals"));
        if (!in.next(line))
            return truncated();
        if (!parseGroups(line, s.printerGroups))
            return badLine(QStringLiteral("a list of group numbers"));
        if (!in.next(line))
            return truncated();
        if (!parseGroups(line, s.userGroups))
            return badLine(QStringLiteral("a list of group numbers"));
    }
    while (in.next(line))
        s.parameterLines << line;

    // The definition is loaded afresh; when it is gone the saved report is of no use.
    if (!LoadDefinition(s.definition)) {
        message = GetLangString(840);
        return false;
    }
    // Parameters are read against the fresh definition; a file with too few lines keeps the
    // definition's values for the rest, as an older program's file would.
    const ReportParametersPtr params = Parameters();
    int next = 0;
    const auto take = [&](QString &value) {
        if (next >= s.parameterLines.size())
            return false;
        value = s.parameterLines.at(next++);
        return true;
    };
    for (int i = 1; params && i <= params->count(); ++i) {
        clsReportParameter &p = **params->item(i);
        QString a, b, c;
        switch (p.ParameterType()) {
        case clsReportParameter::CompanyId:
            p.SetValue1(companyId);
            break;
        case clsReportParameter::DateRange: {
            if (!take(a) || !take(b))
                break;
            int type = clsDateSelector::CustomRange;
            if (s.version != 1 && take(c))
                type = clsReportParameter::ToNumber(c.trimmed()).value_or(type);
            QDate from = ReadReportDate(a), to = ReadReportDate(b);
            if (type != clsDateSelector::CustomRange)
                clsDateSelector::CalculateDateFromType(type, from, to);
            p.SetValue1(from);
            p.SetValue2(to);
            p.SetValue3(type);
            break;
        }
        case clsReportParameter::Number:
            if (take(a)) {
                const auto n = clsReportParameter::ToNumber(a.trimmed());
                p.SetValue1(n ? QVariant(*n) : QVariant());
            }
            break;
        default:
            if (take(a))
                p.SetValue1(a);
            break;
        }
    }

    SimpleUserGroups().Clear();
    SimplePrinterGroups().Clear();
    SetCaption(s.caption);
    SetDescription(s.description);
    SetTitle(s.title);
    SetSubTitle(s.subTitle);
    SetSort(s.sort);
    SetUseFilters(s.useFilters);
    SetUseGroups(s.useGroups);
    SetUseEstCosts(s.useEstCosts);
    SetNumDecimals(s.decimals ? *s.decimals : qint16(DataSettings::DefaultDecimals()));
    for (qint32 id : std::as_const(s.printerGroups))
        SimplePrinterGroups().Add(id);
    for (qint32 id : std::as_const(s.userGroups))
        SimpleUserGroups().Add(id);
    return true;
}

} // namespace kv6
