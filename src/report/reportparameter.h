#pragma once

// One named input of a report: its type, limits and current values. Reports and their
// sub-reports share the same parameter objects, so values set once reach every query.

#include "vbcore/keyedcollection.h"

#include <QString>
#include <QVariant>

#include <memory>

namespace kv6 {

class clsReportParameter
{
public:
    enum Type : int { CompanyId = 1, DateRange = 2, Number = 3, UserValue = 4 };

    QString Name() const { return m_name; }
    void SetName(const QString &name) { m_name = name.trimmed(); }
    int ParameterType() const { return m_type; }
    void SetParameterType(int type) { m_type = type; }
    QString Label() const { return m_label; }
    void SetLabel(const QString &label) { m_label = label.trimmed(); }
    QVariant Min() const { return m_min; }
    void SetMin(const QVariant &value) { m_min = numericOrNull(value); }
    QVariant Max() const { return m_max; }
    void SetMax(const QVariant &value) { m_max = numericOrNull(value); }
    bool Required() const { return m_required; }
    void SetRequired(bool required) { m_required = required; }
    bool PassToQuery() const { return m_passToQuery; }
    void SetPassToQuery(bool pass) { m_passToQuery = pass; }
    bool Display() const { return m_display; }
    void SetDisplay(bool display) { m_display = display; }
    QVariant Default() const { return m_default; }
    void SetDefault(const QVariant &value);
    QVariant Value1() const { return m_value1; }
    void SetValue1(const QVariant &value) { m_value1 = value; }
    QVariant Value2() const { return m_value2; }
    void SetValue2(const QVariant &value) { m_value2 = value; }
    QVariant Value3() const { return m_value3; }
    void SetValue3(const QVariant &value) { m_value3 = value; }

    // Empty when the value is acceptable, otherwise the message for the user.
    QString Validate(const QString &value) const;

    // The number a text or number holds in the VB sense (locale decimal separator, "&H" hex,
    // surrounding blanks); nullopt for anything else.
    static std::optional<double> ToNumber(const QVariant &value);

private:
    static QVariant numericOrNull(const QVariant &value);

    QString m_name;
    int m_type = 0;
    QString m_label;
    QVariant m_min;
    QVariant m_max;
    bool m_required = false;
    bool m_passToQuery = false;
    bool m_display = false;
    QVariant m_default;
    QVariant m_value1;
    QVariant m_value2;
    QVariant m_value3;
};

using ReportParameterPtr = std::shared_ptr<clsReportParameter>;
using ReportParameters = KeyedCollection<ReportParameterPtr>;
using ReportParametersPtr = std::shared_ptr<ReportParameters>;

} // namespace kv6
