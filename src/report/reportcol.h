#pragma once

// A data-set column that needs special treatment when a report is built: replaced by group
// names or estimated costs, combined when rows are merged, offered for sorting, or shown as
// the text of an enumeration. Columns without such treatment are not listed in a definition.

#include "vbcore/keyedcollection.h"

#include <QDomNode>
#include <QString>
#include <QVariant>

#include <memory>

namespace kv6 {

class clsReportCol
{
public:
    // Replace codes; any other value is a literal that replaces the field when groups are used.
    enum ReplaceCode : int {
        ReplaceNone = 0,
        ReplaceUserGroupName = 1,
        ReplacePrinterGroupName = 2,
        ReplacePrinterGroupMarker = 3,
        ReplaceUserGroupMarker = 4,
        ReplaceCostPerPage = 5, // only with estimated costs
        ReplaceCostPerPageAlways = 6,
        ReplaceCost = 7, // cost per page times ReplaceParam's pages; only with estimated costs
        ReplaceCostAlways = 8,
    };
    // Action codes: what happens to the column when rows are combined or numbered.
    enum ActionCode : int {
        ActionNone = 0,
        ActionSum = 1,
        ActionMin = 2,
        ActionMax = 3,
        ActionKey = 4,
        ActionFirstOfValue = 5, // 1 on the first row of each value of ActionParam's field
        ActionBucket = 7, // bucket number, groups of ActionParam rows
    };

    QString FieldName() const { return m_fieldName; }
    // A double when the definition's text was numeric, otherwise the literal text.
    QVariant Replace() const { return m_replace; }
    // True when Replace is the number `code`.
    bool ReplaceIs(int code) const;
    qint16 Action() const { return m_action; }
    QString ActionParam() const { return m_actionParam; }
    bool Sortable() const { return m_sortable; }
    void SetSortable(bool sortable) { m_sortable = sortable; }
    QString SortName() const { return m_sortName; }
    void SetSortName(const QString &name) { m_sortName = name.trimmed(); }
    QString ReplaceParam() const { return m_replaceParam; }
    bool ReplaceColor() const { return m_replaceColor; }
    // -1 when the column is not an enumeration.
    qint16 EnumeratedType() const { return m_enumeratedType; }

    // Fills the column from a `Column` element. On failure nothing changes and `error` says
    // which element did not convert.
    bool Load(const QDomNode &node, QString *error = nullptr);

private:
    QString m_fieldName;
    QVariant m_replace = 0.0;
    qint16 m_action = ActionNone;
    QString m_actionParam;
    bool m_sortable = false;
    QString m_sortName;
    QString m_replaceParam;
    bool m_replaceColor = false;
    qint16 m_enumeratedType = -1;
};

using ReportColPtr = std::shared_ptr<clsReportCol>;
using ReportCols = KeyedCollection<ReportColPtr>;

} // namespace kv6
