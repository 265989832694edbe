#include "report/reportcol.h"

#include "report/definitiontext.h"

namespace kv6 {

bool clsReportCol::ReplaceIs(int code) const
{
    return m_replace.typeId() == QMetaType::Double && m_replace.toDouble() == double(code);
}

bool clsReportCol::Load(const QDomNode &node, QString *error)
{
    DefinitionReader in(node, QStringLiteral("column"));
    clsReportCol col;
    col.m_fieldName = in.text(QStringLiteral("Field"));
    in.setWhat(QStringLiteral("column \"%1\"").arg(col.m_fieldName));
    col.m_action = in.int16(QStringLiteral("Action"), QStringLiteral("0"));
    col.m_actionParam = in.text(QStringLiteral("ActionParam"));
    const QString replace = in.text(QStringLiteral("Replace"), QStringLiteral("0"));
    const auto number = TextToNumber(replace);
    col.m_replace = number ? QVariant(*number) : QVariant(replace);
    col.m_replaceParam = in.text(QStringLiteral("ReplaceParam"));
    col.m_sortable = in.boolean(QStringLiteral("Sortable"), QStringLiteral("0"));
    col.SetSortName(in.text(QStringLiteral("SortName")));
    col.m_replaceColor = in.boolean(QStringLiteral("ReplaceColor"), QStringLiteral("0"));
    col.m_enumeratedType = in.int16(QStringLiteral("EnumeratedType"), QStringLiteral("-1"));
    if (!in.ok()) {
        if (error)
            *error = in.error();
        return false;
    }
    *this = col;
    return true;
}

} // namespace kv6
