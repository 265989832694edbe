#include "report/reportparameter.h"
#include "vbcore/numbertype.h"

#include "base/langstrings.h"

#include <QLocale>

#include <cmath>

namespace kv6 {

namespace {

bool isText(const QVariant &value)
{
    return value.typeId() == QMetaType::QString;
}

QString numberText(const QVariant &value)
{
    const auto number = clsReportParameter::ToNumber(value);
    return number ? QLocale().toString(*number, 'g', 15) : value.toString();
}

} // namespace

std::optional<double> clsReportParameter::ToNumber(const QVariant &value)
{
    if (!value.isValid() || value.isNull())
        return std::nullopt;
    switch (value.typeId()) {
    case QMetaType::Bool:
        return value.toBool() ? -1.0 : 0.0;
    case QMetaType::QString:
        break;
    default:
        if (IsNumberType(value.typeId()))
            return value.toDouble();
        if (value.canConvert<double>()) {
            bool ok = false;
            const double d = value.toDouble(&ok);
            if (ok)
                return d;
        }
        return std::nullopt;
    }
    const QString text = value.toString().trimmed();
    // No locale's number starts with a letter ("nan" and "inf" are refused below anyway); names
    // and keys are most of the texts asked about, and the locale's parser is slow to say no.
    if (text.isEmpty() || text.front().isLetter())
        return std::nullopt;
    if (text.startsWith(QLatin1String("&H"), Qt::CaseInsensitive)) {
        bool ok = false;
        const qlonglong n = text.mid(2).toLongLong(&ok, 16);
        return ok ? std::optional<double>(double(n)) : std::nullopt;
    }
    bool ok = false;
    double d = QLocale().toDouble(text, &ok);
    if (!ok)
        d = QLocale::c().toDouble(text, &ok);
    // "nan" and "inf" parse, but no user means them as a count or a limit.
    return ok && std::isfinite(d) ? std::optional<double>(d) : std::nullopt;
}

QVariant clsReportParameter::numericOrNull(const QVariant &value)
{
    const auto number = ToNumber(value);
    if (!number)
        return {};
    return isText(value) ? QVariant(*number) : value;
}

void clsReportParameter::SetDefault(const QVariant &value)
{
    if (isText(value)) {
        const QString text = value.toString();
        m_default = text.isEmpty() ? QVariant() : value;
    } else if (m_type != Number) {
        return;
    }
    // A number default is kept as given, so a text default shows as it was written.
    if (m_type == Number)
        m_default = ToNumber(value) ? value : QVariant();
}

QString clsReportParameter::Validate(const QString &value) const
{
    if (!m_display)
        return {};
    if (value.isEmpty() && m_required)
        return GetLangString(860, m_label);
    if (m_type == Number && m_required) {
        const auto number = ToNumber(value);
        bool passes = number.has_value();
        if (passes && !m_min.isNull())
            passes = *number >= ToNumber(m_min).value_or(*number);
        if (passes && !m_max.isNull())
            passes = *number <= ToNumber(m_max).value_or(*number);
        if (passes)
            return {};
        const bool hasMin = !m_min.isNull();
        const bool hasMax = !m_max.isNull();
        if (hasMin && !hasMax)
            return GetLangString(861, numberText(m_min), m_label);
        if (hasMax && !hasMin)
            return GetLangString(862, numberText(m_max), m_label);
        return GetLangString(863, numberText(m_min), numberText(m_max), m_label);
    }
    return {};
}

} // namespace kv6
