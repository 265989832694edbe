#include "chart/chart.h"

#include "vbcore/vbdate.h"
#include "vbcore/vbdatetext.h"

#include <QDateTime>
#include <QLocale>

#include <algorithm>
#include <cmath>

namespace kv6::chart {

namespace {

// 1, 2, 2.5 or 5 times a power of ten, at least `raw`.
double niceStep(double raw)
{
    if (!(raw > 0) || !std::isfinite(raw))
        return 1;
    const double mag = std::pow(10.0, std::floor(std::log10(raw)));
    const double f = raw / mag;
    const double nice = f <= 1 ? 1 : f <= 2 ? 2 : f <= 2.5 ? 2.5 : f <= 5 ? 5 : 10;
    return nice * mag;
}

// Slack for values that land on a tick but carry binary rounding.
constexpr double Slack = 1e-9;

int decimalsFor(double step)
{
    for (int d = 0; d < 8; ++d) {
        const double scaled = step * std::pow(10.0, d);
        if (std::fabs(scaled - std::round(scaled)) < 1e-6 * std::max(1.0, scaled))
            return d;
    }
    return 8;
}

QString shortDate(const QDate &date)
{
    const QLocale locale = QLocale::system();
    return locale.toString(date, ShortDateFormat(locale));
}

} // namespace

Scale NiceScale(double low, double high, int intervals)
{
    if (!(high > low)) {
        if (low == 0 && high == 0) {
            high = 1;
        } else {
            low -= 1;
            high += 1;
        }
    }
    Scale s;
    s.step = niceStep((high - low) / std::max(1, intervals));
    s.minimum = std::floor(low / s.step + Slack) * s.step;
    s.maximum = std::ceil(high / s.step - Slack) * s.step;
    return s;
}

Scale FixedScale(double low, double maximum, int intervals)
{
    Scale s;
    s.step = niceStep((maximum - low) / std::max(1, intervals));
    s.minimum = std::floor(low / s.step + Slack) * s.step;
    s.maximum = maximum;
    return s;
}

QString FormatAxisValue(double value, int formatCode, double step)
{
    if (formatCode == DateFormat) {
        if (!IsVbDateInRange(value))
            return QString();
        return shortDate(VbDateFromDouble(value).date());
    }
    QLocale locale = QLocale::system();
    // The C locale leaves groups out unless told otherwise.
    locale.setNumberOptions(formatCode == ThousandsFormat ? QLocale::DefaultNumberOptions
                                                          : QLocale::OmitGroupSeparator);
    // A tick that is zero only by rounding would print as "-0".
    if (std::fabs(value) < step * Slack)
        value = 0;
    return locale.toString(value, 'f', decimalsFor(step));
}

QString FormatCategoryLabel(const QString &text, int formatCode)
{
    if (formatCode == GeneralFormat)
        return text;
    const QString trimmed = text.trimmed();
    bool numeric = false;
    double n = QLocale::system().toDouble(trimmed, &numeric);
    if (!numeric)
        n = QLocale::c().toDouble(trimmed, &numeric);
    if (numeric)
        return FormatAxisValue(n, formatCode, n == std::floor(n) ? 1 : 0.01);
    if (formatCode == DateFormat) {
        QDateTime dt = QDateTime::fromString(trimmed, Qt::ISODate);
        if (!dt.isValid())
            dt = QDateTime::fromString(trimmed, QStringLiteral("yyyy-MM-dd HH:mm:ss"));
        if (dt.isValid())
            return shortDate(dt.date());
        const QDate day = QDate::fromString(trimmed, Qt::ISODate);
        if (day.isValid())
            return shortDate(day);
    }
    return text;
}

} // namespace kv6::chart
