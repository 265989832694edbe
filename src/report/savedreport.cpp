// Saved reports: the user's settings for one definition, a value a line.

#include "base/startupvalues.h"
#include "report/report.h"

#include "base/langstrings.h"
#include "base/textfile.h"
#include "dataaccess/datasettings.h"
#include "report/dateselector.h"
#include "report/runsettings.h"
#include "report/savedfile.h"
#include "vbcore/vbdatetext.h"

#include <QDir>
#include <QFileInfo>
#include <QLocale>

namespace kv6 {

namespace {

constexpr int SavedReportVersion = 3;

QDate dateOf(const QVariant &value)
{
    if (value.typeId() == QMetaType::QDate)
        return value.toDate();
    if (value.typeId() == QMetaType::QDateTime)
        return value.toDateTime().date();
    return QDate::fromString(value.toString().left(10), Qt::ISODate);
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

} // namespace

QString clsReport::SaveUserDefined(const QString &fileName) const
{
    QStringList lines;
    lines << QString::number(SavedReportVersion) << FileName() << DisplayName() << Description()
          << Title() << SubTitle() << Sort() << SavedBoolText(UseFilters())
          << SavedBoolText(UseGroups()) << SavedBoolText(UseEstCosts())
          << QString::number(NumDecimals()) << SavedGroupLine(SimplePrinterGroups())
          << SavedGroupLine(SimpleUserGroups());
    const ReportParametersPtr params = Parameters();
    const QLocale locale = VbLocale();
    for (int i = 1; params && i <= params->count(); ++i) {
        const clsReportParameter &p = **params->item(i);
        switch (p.ParameterType()) {
        case clsReportParameter::CompanyId:
            break;
        case clsReportParameter::DateRange:
            lines << SavedDateText(dateOf(p.Value1())) << SavedDateText(dateOf(p.Value2()))
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
    if (!WriteTextFile(SavedFilePath(fileName), lines.join(QLatin1Char('\n')) + QLatin1Char('\n'),
            true, &error))
        return GetLangString(842, error);
    return {};
}

bool clsReport::LoadUserDefined(qint32 companyId, const QString &fileName, QString &message)
{
    message.clear();
    const QString path = SavedFilePath(fileName);
    QString text, error;
    if (!ReadTextFile(path, &text, &error)) {
        message = GetLangString(841, error);
        return false;
    }
    SavedLineReader in(text);
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
    if (const auto number = clsReportParameter::ToNumber(line.trimmed())) {
        // Checked as a number first: a huge one would not fit an int.
        if (!(*number >= 2 && *number < SavedReportVersion + 1))
            return badLine(QStringLiteral("a known format version"));
        s.version = int(*number);
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
        const auto b = ReadSavedBool(line);
        if (!b)
            return badLine(QStringLiteral("-1 or 0"));
        *f = *b;
    }
    if (s.version >= 3) {
        if (!in.next(line))
            return truncated();
        s.decimals = ReadSavedShort(line);
        if (!s.decimals)
            return badLine(QStringLiteral("a number of decimals"));
        if (!in.next(line))
            return truncated();
        if (!ReadSavedGroupLine(line, s.printerGroups))
            return badLine(QStringLiteral("a list of group numbers"));
        if (!in.next(line))
            return truncated();
        if (!ReadSavedGroupLine(line, s.userGroups))
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
            // Read as a short: a huge number would not fit the int it becomes.
            if (s.version != 1 && take(c))
                type = ReadSavedShort(c).value_or(type);
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
