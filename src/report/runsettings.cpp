#include "report/runsettings.h"

#include "base/langstrings.h"
#include "report/dateselector.h"
#include "report/report.h"
#include "vbcore/vbdatetext.h"

namespace kv6 {

QDate ReadReportDate(const QString &text)
{
    const QString t = text.trimmed();
    const QLocale locale = VbLocale();
    QDate d = locale.toDate(t, ShortDateFormat(locale));
    if (!d.isValid())
        d = QDate::fromString(t, Qt::ISODate);
    if (!d.isValid())
        d = locale.toDate(t, QLocale::ShortFormat);
    return d;
}

namespace {

bool applyDateRange(clsReportParameter &p, const ReportRunSettings &settings, QString &error)
{
    int type = clsDateSelector::CustomRange;
    QDate from = settings.from;
    QDate to = settings.to;
    if (!from.isValid() || !to.isValid()) {
        if (!settings.period && settings.keepStored)
            return true;
        type = clsDateSelector::ThisMonth;
        if (settings.period)
            type = *settings.period;
        else if (const auto d = clsReportParameter::ToNumber(p.Default());
                 d && *d >= 0 && *d <= int(clsDateSelector::LastYear))
            type = int(*d);
        clsDateSelector::CalculateDateFromType(type, from, to);
    } else if (from > to) {
        error = GetLangString(901);
        return false;
    }
    p.SetValue1(from);
    p.SetValue2(to);
    p.SetValue3(type);
    return true;
}

} // namespace

bool ApplyRunSettings(clsReport &report, const ReportRunSettings &settings, QString &error)
{
    const ReportParametersPtr params = report.Parameters();
    // Only the first number is the top-N; later ones keep their defaults.
    bool topSet = false;
    for (int i = 1; params && i <= params->count(); ++i) {
        clsReportParameter &p = **params->item(i);
        switch (p.ParameterType()) {
        case clsReportParameter::CompanyId:
            p.SetValue1(settings.companyId);
            break;
        case clsReportParameter::DateRange:
            if (!applyDateRange(p, settings, error))
                return false;
            break;
        case clsReportParameter::Number:
            if (settings.top && !topSet) {
                p.SetValue1(*settings.top);
                topSet = true;
            } else if (!settings.keepStored) {
                p.SetValue1(p.Default());
            }
            break;
        default:
            if (!settings.keepStored)
                p.SetValue1(p.Default());
            break;
        }
        if (p.Display() && p.ParameterType() == clsReportParameter::Number) {
            const QString message = p.Validate(p.Value1().toString());
            if (!message.isEmpty()) {
                error = message;
                return false;
            }
        }
    }
    return true;
}

} // namespace kv6
