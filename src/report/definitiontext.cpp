#include "report/definitiontext.h"

#include "base/langstrings.h"
#include "base/textfile.h"
#include "base/xmltext.h"
#include "report/reportparameter.h"

#include <cmath>

namespace kv6 {

std::optional<double> TextToNumber(const QString &text)
{
    const auto number = clsReportParameter::ToNumber(QVariant(text));
    if (number && !std::isfinite(*number))
        return std::nullopt;
    return number;
}

std::optional<bool> TextToBool(const QString &text)
{
    const QString t = text.trimmed();
    if (t.compare(QLatin1String("True"), Qt::CaseInsensitive) == 0)
        return true;
    if (t.compare(QLatin1String("False"), Qt::CaseInsensitive) == 0)
        return false;
    const auto number = TextToNumber(t);
    if (!number)
        return std::nullopt;
    return *number != 0.0;
}

std::optional<qint16> TextToInt16(const QString &text)
{
    const auto number = TextToNumber(text);
    if (!number)
        return std::nullopt;
    // nearbyint under the default rounding mode rounds half to even, as CInt does.
    const double rounded = std::nearbyint(*number);
    if (rounded < -32768.0 || rounded > 32767.0)
        return std::nullopt;
    return qint16(rounded);
}

QString LocalisedText(const QString &text)
{
    const QString t = text.trimmed();
    if (t.isEmpty())
        return t;
    const auto number = TextToNumber(t);
    if (!number)
        return t;
    const double id = std::nearbyint(*number);
    if (id < -2147483648.0 || id > 2147483647.0)
        return t;
    return GetLangString(int(id));
}

DefinitionReader::DefinitionReader(const QDomNode &node, const QString &what)
    : m_node(node)
    , m_what(what)
{ }

QString DefinitionReader::text(const QString &child, const QString &defaultText) const
{
    return GetChildText(m_node, child, defaultText);
}

QString DefinitionReader::localised(const QString &child) const
{
    return LocalisedText(text(child));
}

bool DefinitionReader::boolean(const QString &child, const QString &defaultText)
{
    const QString value = text(child, defaultText);
    const auto result = TextToBool(value);
    if (!result) {
        fail(QStringLiteral("%1: element \"%2\" holds \"%3\", which is not a Boolean.")
                 .arg(m_what, child, ExcerptForMessage(value)));
        return false;
    }
    return *result;
}

qint16 DefinitionReader::int16(const QString &child, const QString &defaultText)
{
    const QString value = text(child, defaultText);
    if (value.isEmpty()) {
        fail(QStringLiteral("%1: element \"%2\" is missing.").arg(m_what, child));
        return 0;
    }
    const auto result = TextToInt16(value);
    if (!result) {
        fail(QStringLiteral("%1: element \"%2\" holds \"%3\", which is not a 16-bit integer.")
                 .arg(m_what, child, ExcerptForMessage(value)));
        return 0;
    }
    return *result;
}

void DefinitionReader::fail(const QString &error)
{
    // The first failure is the one worth reporting; later ones often follow from it.
    if (m_error.isEmpty())
        m_error = error;
}

} // namespace kv6
