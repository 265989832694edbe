#include "proposal/proposal.h"

#include "base/clsregistry.h"
#include "base/langstrings.h"
#include "base/textfile.h"
#include "dataaccess/datasettings.h"
#include "report/dateselector.h"
#include "report/runsettings.h"
#include "report/savedfile.h"

#include <cmath>
#include <QDir>

namespace kv6 {

namespace {

constexpr int ProposalVersion = 2;

const char *const ReporterKey = "Software\\Korvane 6\\Reporter";

// Numbers are written as the print statement writes them: a space for the sign when there is
// none, and one after.
QString numberText(qint64 n)
{
    return (n < 0 ? QString() : QStringLiteral(" ")) + QString::number(n) + QLatin1Char(' ');
}

// Everything the header of a file holds, read before the proposal is touched.
struct Header
{
    int version = 1;
    QString name, description, title, preparedFor, preparedBy;
    QDate from, to;
    qint32 dateSelectType = clsDateSelector::CustomRange;
    bool useFilters = true, useGroups = true, useEstCosts = false;
    bool titlePage = true, contents = true;
    std::optional<qint16> decimals;
    QList<qint32> userGroups, printerGroups;
};

} // namespace

clsProposal::clsProposal()
    : ReportChoices(true)
    , m_dateSelectType(clsDateSelector::LastMonth)
{
    clsDateSelector::CalculateDateFromType(m_dateSelectType, m_fromDate, m_toDate);
}

bool clsProposal::SaveUserDefined(const QString &fileName, QString &errorText) const
{
    QStringList lines;
    lines << numberText(ProposalVersion) << Name() << Description() << Title() << PreparedFor()
          << PreparedBy() << SavedDateText(FromDate()) << SavedDateText(ToDate())
          << numberText(DateSelectType()) << SavedBoolText(UseFilters())
          << SavedBoolText(UseGroups()) << SavedBoolText(UseEstCosts())
          << SavedBoolText(CreateTitlePage()) << SavedBoolText(CreateTableContents())
          << numberText(NumDecimals()) << SavedGroupLine(SimpleUserGroups(), numberText(-1))
          << SavedGroupLine(SimplePrinterGroups(), numberText(-1));
    for (const ReportPtr &report : m_reports)
        lines << report->FileName();
    // A line break inside a text would shift every line after it.
    for (QString &line : lines)
        line.replace(QLatin1Char('\r'), QLatin1Char(' '))
            .replace(QLatin1Char('\n'), QLatin1Char(' '));
    QString error;
    if (!WriteTextFile(SavedFilePath(fileName), lines.join(QLatin1Char('\n')) + QLatin1Char('\n'),
            true, &error)) {
        errorText = GetLangString(802, error);
        return false;
    }
    errorText.clear();
    return true;
}

bool clsProposal::LoadUserDefined(qint32 companyId, const QString &fileName, QString &errorText)
{
    errorText.clear();
    const QString path = SavedFilePath(fileName);
    QString text, error;
    if (!ReadTextFile(path, &text, &error)) {
        errorText = GetLangString(801, error);
        return false;
    }
    SavedLineReader in(text);
    const auto truncated = [&] {
        errorText = GetLangString(801,
            QStringLiteral("%1 ends before line %2.")
                .arg(QDir::toNativeSeparators(path))
                .arg(in.lineNumber() + 1));
        return false;
    };
    const auto badLine = [&](const QString &what) {
        errorText = GetLangString(801,
            QStringLiteral("Line %1 of %2 does not hold %3.")
                .arg(in.lineNumber())
                .arg(QDir::toNativeSeparators(path), what));
        return false;
    };

    Header h;
    QString line;
    if (!in.next(line))
        return truncated();
    if (const auto version = clsReportParameter::ToNumber(line.trimmed())) {
        // Checked as a number first: a huge one would not fit an int.
        if (!(*version >= 1 && *version <= ProposalVersion) || *version != std::floor(*version))
            return badLine(QStringLiteral("a known format version"));
        h.version = int(*version);
        if (!in.next(h.name))
            return truncated();
    } else {
        h.name = line;
    }
    for (QString *t : { &h.description, &h.title, &h.preparedFor, &h.preparedBy }) {
        if (!in.next(*t))
            return truncated();
    }
    for (QDate *d : { &h.from, &h.to }) {
        if (!in.next(line))
            return truncated();
        *d = ReadReportDate(line);
        if (!d->isValid())
            return badLine(QStringLiteral("a date"));
    }
    if (!in.next(line))
        return truncated();
    const auto type = clsReportParameter::ToNumber(line.trimmed());
    if (!type || *type < 0 || *type >= clsDateSelector::PeriodCount || *type != int(*type))
        return badLine(QStringLiteral("a period type from 0 to 11"));
    h.dateSelectType = int(*type);
    for (bool *f : { &h.useFilters, &h.useGroups, &h.useEstCosts, &h.titlePage, &h.contents }) {
        if (!in.next(line))
            return truncated();
        const auto b = ReadSavedBool(line);
        if (!b)
            return badLine(QStringLiteral("-1 or 0"));
        *f = *b;
    }
    if (h.version == ProposalVersion) {
        if (!in.next(line))
            return truncated();
        h.decimals = ReadSavedShort(line);
        if (!h.decimals)
            return badLine(QStringLiteral("a number of decimals"));
        for (QList<qint32> *ids : { &h.userGroups, &h.printerGroups }) {
            if (!in.next(line))
                return truncated();
            if (!ReadSavedGroupLine(line, *ids))
                return badLine(QStringLiteral("a list of group numbers"));
        }
    }

    SetName(h.name);
    SetDescription(h.description);
    SetTitle(h.title);
    SetPreparedFor(h.preparedFor);
    SetPreparedBy(h.preparedBy);
    if (h.dateSelectType != clsDateSelector::CustomRange
        && h.dateSelectType != clsDateSelector::AllDates)
        clsDateSelector::CalculateDateFromType(h.dateSelectType, h.from, h.to);
    SetFromDate(h.from);
    SetToDate(h.to);
    SetDateSelectType(h.dateSelectType);
    SetUseFilters(h.useFilters);
    SetUseGroups(h.useGroups);
    SetUseEstCosts(h.useEstCosts);
    SetCreateTitlePage(h.titlePage);
    SetCreateTableContents(h.contents);
    SetNumDecimals(h.decimals ? *h.decimals : qint16(DataSettings::DefaultDecimals()));
    SimpleUserGroups().Clear();
    SimplePrinterGroups().Clear();
    for (qint32 id : std::as_const(h.userGroups))
        SimpleUserGroups().Add(id);
    for (qint32 id : std::as_const(h.printerGroups))
        SimplePrinterGroups().Add(id);

    m_reports.clear();
    while (in.next(line)) {
        const QString definition = line.trimmed();
        if (definition.isEmpty())
            continue;
        auto report = std::make_shared<clsReport>();
        if (!report->LoadDefinition(definition)) {
            errorText = GetLangString(800);
            return false;
        }
        PrepareReport(*report, companyId);
        // A report named twice is built once: the file was edited by hand.
        m_reports.add(report, report->Name());
    }
    return true;
}

void clsProposal::PrepareReport(clsReport &report, qint32 companyId, bool canGroupOnly) const
{
    report.SetUseEstCosts(UseEstCosts() || report.MustUseEstCosts());
    report.SetUseFilters(UseFilters());
    report.SetUseGroups(UseGroups() && (!canGroupOnly || report.CanUseGroups()));
    report.SetNumDecimals(NumDecimals());
    const ReportParametersPtr params = report.Parameters();
    for (int i = 1; params && i <= params->count(); ++i) {
        clsReportParameter &p = **params->item(i);
        switch (p.ParameterType()) {
        case clsReportParameter::CompanyId:
            p.SetValue1(companyId);
            break;
        case clsReportParameter::DateRange:
            p.SetValue1(FromDate());
            p.SetValue2(ToDate());
            p.SetValue3(DateSelectType());
            break;
        case clsReportParameter::UserValue:
            p.SetValue1(p.Default());
            break;
        default: {
            const auto n = clsReportParameter::ToNumber(p.Default());
            p.SetValue1(n ? QVariant(*n) : QVariant());
            break;
        }
        }
    }
}

QStringList DefaultAnalysisSet()
{
    return { QStringLiteral("Executive Summary"), QStringLiteral("Printer Inventory"),
        QStringLiteral("Printer Model Inventory"), QStringLiteral("Top 10 Printers List"),
        QStringLiteral("Top 10 Users List"), QStringLiteral("Top Printers By B&W Volume"),
        QStringLiteral("Top Printers By Color Volume"), QStringLiteral("Top Users by BW Volume"),
        QStringLiteral("Top Users by Color Volume"), QStringLiteral("Top Models By Total Volume"),
        QStringLiteral("Average Pages Per Day"), QStringLiteral("Average Pages Per Hour"),
        QStringLiteral("Printer Averages"), QStringLiteral("User Averages"),
        QStringLiteral("User Printing Breakdown"),
        QStringLiteral("User to Printer Model Breakdown"),
        QStringLiteral("Printer to User Breakdown"),
        QStringLiteral("Job Size to Printer Breakdown"),
        QStringLiteral("Black and White Page Volumes Breakdown"),
        QStringLiteral("Color Page Volumes Breakdown"), QStringLiteral("Page Volumes Breakdown"),
        QStringLiteral("Model Volumes") };
}

ProposalTitleTexts RememberedTitleTexts()
{
    clsRegistry reg;
    reg.setClassKey(HKEY_CURRENT_USER);
    reg.setSectionKey(QLatin1String(ReporterKey));
    QString error;
    ProposalTitleTexts t;
    t.title = reg.GetValueOrDefault(QStringLiteral("ProposalTitle"), QString(), error).toString();
    t.preparedBy
        = reg.GetValueOrDefault(QStringLiteral("ProposalPreparedBy"), QString(), error).toString();
    t.preparedFor
        = reg.GetValueOrDefault(QStringLiteral("ProposalPreparedFor"), QString(), error).toString();
    return t;
}

void RememberTitleTexts(const ProposalTitleTexts &texts)
{
    clsRegistry reg;
    reg.setClassKey(HKEY_CURRENT_USER);
    reg.setSectionKey(QLatin1String(ReporterKey));
    reg.setValueType(REG_SZ);
    QString error;
    // Remembering is a convenience: a store that cannot be written costs the user nothing now.
    reg.SetCreateValue(QStringLiteral("ProposalTitle"), texts.title, false, error);
    reg.SetCreateValue(QStringLiteral("ProposalPreparedBy"), texts.preparedBy, false, error);
    reg.SetCreateValue(QStringLiteral("ProposalPreparedFor"), texts.preparedFor, false, error);
}

} // namespace kv6
