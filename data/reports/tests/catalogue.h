#pragma once

// The shipped report definitions as the tests read them: the XML of each file, the parameter
// array the program hands to the query, and the data-set fields each definition relies on.

#include "recordset/recordset.h"

#include <QDomDocument>
#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <string>

namespace kv6test {

struct Definition
{
    QString file; // bare file name
    QString parseError; // empty when the file parsed
    QDomDocument document;
    QDomElement info; // KVReportInfo (or a SubReport element)

    QString name() const;
    QString text(const QString &element) const;
    QString sql(bool sqlite) const;
    QList<QDomElement> children(const QString &container, const QString &element) const;
    QList<QDomElement> subReports() const;
};

// Every *.rpt of the shipped folder, in file-name order.
QList<Definition> LoadShippedDefinitions();
Definition DefinitionFromElement(const QString &file, const QDomElement &element);

// The positional values of the query, as the program builds them from the parameters: the
// company for type 1, the first day and the day after the last for a date range, the default
// of any other parameter the query takes.
QVariantList QueryParameters(
    const Definition &d, int companyId, const QString &firstDay, const QString &dayAfterLast);
// Positional markers in SQL text, not counting those inside quotes or comments.
int CountPlaceholders(const QString &sql);
// Field names in a sort expression such as "A ASC, B DESC".
QStringList SortFields(const QString &sort);
// Every data-set field the definition names: columns, their parameters, sort, charts and the
// fields its scripts read or write.
QSet<QString> ReferencedFields(const Definition &d);

// Values made comparable across engines: integers as integer text, Booleans as 0/1, dates
// as ISO text, texts as they are, Null as "NULL".
QString Normalised(const QVariant &value);
// The kind of an ADO type: "text", "number", "date", "bool", "binary".
QString TypeFamily(int adoType);

// Rows of a record set, each a list of its values, cursor untouched.
QList<QVariantList> Rows(const kv6::Recordset &rs);

// A text for a failure message.
inline std::string s(const QString &text)
{
    return text.toStdString();
}

} // namespace kv6test
