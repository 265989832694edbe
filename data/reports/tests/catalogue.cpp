#include "catalogue.h"

#include "base/xmltext.h"
#include "testenv.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>

namespace kv6test {

QString Definition::name() const
{
    return text(QStringLiteral("Name"));
}

QString Definition::text(const QString &element) const
{
    return kv6::GetChildText(info, element, QString());
}

QString Definition::sql(bool sqlite) const
{
    return text(sqlite ? QStringLiteral("AccessSQL") : QStringLiteral("SQLServerSQL"));
}

QList<QDomElement> Definition::children(const QString &container, const QString &element) const
{
    QList<QDomElement> out;
    const QDomElement parent = info.firstChildElement(container);
    for (QDomElement e = parent.firstChildElement(element); !e.isNull();
         e = e.nextSiblingElement(element))
        out << e;
    return out;
}

QList<QDomElement> Definition::subReports() const
{
    return children(QStringLiteral("SubReports"), QStringLiteral("SubReport"));
}

Definition DefinitionFromElement(const QString &file, const QDomElement &element)
{
    Definition d;
    d.file = file;
    d.info = element;
    return d;
}

QList<Definition> LoadShippedDefinitions()
{
    QList<Definition> out;
    const QDir dir(sourceDir() + QStringLiteral("/data/reports"));
    const QStringList files
        = dir.entryList({ QStringLiteral("*.rpt") }, QDir::Files, QDir::Name | QDir::IgnoreCase);
    for (const QString &file : files) {
        Definition d;
        d.file = file;
        QFile f(dir.filePath(file));
        if (!f.open(QIODevice::ReadOnly)) {
            d.parseError = f.errorString();
        } else {
            QString message;
            int line = 0, column = 0;
            if (!d.document.setContent(&f, &message, &line, &column))
                d.parseError
                    = QStringLiteral("line %1, column %2: %3").arg(line).arg(column).arg(message);
        }
        d.info = d.document.documentElement().firstChildElement(QStringLiteral("KVReportInfo"));
        out << d;
    }
    return out;
}

QVariantList QueryParameters(
    const Definition &d, int companyId, const QString &firstDay, const QString &dayAfterLast)
{
    QVariantList values;
    for (const QDomElement &p :
        d.children(QStringLiteral("Parameters"), QStringLiteral("Parameter"))) {
        const QString query = kv6::GetChildText(p, QStringLiteral("Query"), QStringLiteral("-1"));
        if (query == QLatin1String("0")
            || query.compare(QLatin1String("False"), Qt::CaseInsensitive) == 0)
            continue;
        switch (kv6::GetChildText(p, QStringLiteral("Type"), QString()).toInt()) {
        case 1:
            values << companyId;
            break;
        case 2:
            values << firstDay << dayAfterLast;
            break;
        case 3:
            values << kv6::GetChildText(p, QStringLiteral("Default"), QString()).toDouble();
            break;
        default:
            values << kv6::GetChildText(p, QStringLiteral("Default"), QString());
            break;
        }
    }
    return values;
}

int CountPlaceholders(const QString &sql)
{
    int count = 0;
    QChar quote;
    for (qsizetype i = 0; i < sql.size(); ++i) {
        const QChar c = sql.at(i);
        if (!quote.isNull()) {
            if (c == quote)
                quote = QChar();
        } else if (c == QLatin1Char('\'') || c == QLatin1Char('"')) {
            quote = c;
        } else if (c == QLatin1Char('-') && sql.mid(i, 2) == QLatin1String("--")) {
            while (i < sql.size() && sql.at(i) != QLatin1Char('\n'))
                ++i;
        } else if (c == QLatin1Char('?')) {
            ++count;
        }
    }
    return count;
}

QStringList SortFields(const QString &sort)
{
    QStringList out;
    for (const QString &part : sort.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
        QString field = part.trimmed();
        static const QRegularExpression direction(
            QStringLiteral("\\s+(ASC|DESC)$"), QRegularExpression::CaseInsensitiveOption);
        field.remove(direction);
        if (field.startsWith(QLatin1Char('[')) && field.endsWith(QLatin1Char(']')))
            field = field.mid(1, field.size() - 2);
        out << field;
    }
    return out;
}

QSet<QString> ReferencedFields(const Definition &d)
{
    QSet<QString> out;
    auto add = [&out](const QString &name) {
        if (!name.isEmpty())
            out.insert(name);
    };
    for (const QDomElement &c :
        d.children(QStringLiteral("GroupColumns"), QStringLiteral("Column"))) {
        add(kv6::GetChildText(c, QStringLiteral("Field"), QString()));
        add(kv6::GetChildText(c, QStringLiteral("ReplaceParam"), QString()));
        if (kv6::GetChildText(c, QStringLiteral("Action"), QString()) == QLatin1String("5"))
            add(kv6::GetChildText(c, QStringLiteral("ActionParam"), QString()));
        const QString replace = kv6::GetChildText(c, QStringLiteral("Replace"), QString());
        if ((replace == QLatin1String("7") || replace == QLatin1String("8"))
            && kv6::GetChildText(c, QStringLiteral("ReplaceParam"), QString()).isEmpty())
            add(QStringLiteral("TotalPages"));
    }
    for (const QString &f : SortFields(d.text(QStringLiteral("Sort"))))
        add(f);
    QList<QDomElement> charts;
    const QDomElement single = d.info.firstChildElement(QStringLiteral("ReportChart"));
    if (!single.isNull())
        charts << single;
    else
        charts = d.children(QStringLiteral("Charts"), QStringLiteral("Chart"));
    for (const QDomElement &ch : std::as_const(charts)) {
        for (const char *e : { "XField", "XFieldLabel", "YField", "NewSeriesOn", "NewChartOn" })
            add(kv6::GetChildText(ch, QString::fromLatin1(e), QString()));
        const QDomElement legend = ch.firstChildElement(QStringLiteral("LegendLabel"));
        for (QDomElement f = legend.firstChildElement(QStringLiteral("Field")); !f.isNull();
             f = f.nextSiblingElement(QStringLiteral("Field")))
            add(f.text().trimmed());
        const QDomElement manual = ch.firstChildElement(QStringLiteral("ManualSeries"));
        for (QDomElement s = manual.firstChildElement(QStringLiteral("Series")); !s.isNull();
             s = s.nextSiblingElement(QStringLiteral("Series"))) {
            add(kv6::GetChildText(s, QStringLiteral("XField"), QString()));
            add(kv6::GetChildText(s, QStringLiteral("YField"), QString()));
        }
    }
    static const QRegularExpression scriptField(
        QStringLiteral("\\b\\w+\\(\\s*\"([^\"]+)\"\\s*\\)"));
    for (auto m = scriptField.globalMatch(d.text(QStringLiteral("Scripts"))); m.hasNext();)
        add(m.next().captured(1));
    return out;
}

QString Normalised(const QVariant &value)
{
    if (!value.isValid() || value.isNull())
        return QStringLiteral("NULL");
    switch (value.typeId()) {
    case QMetaType::Bool:
        return value.toBool() ? QStringLiteral("1") : QStringLiteral("0");
    case QMetaType::Int:
    case QMetaType::LongLong:
    case QMetaType::UInt:
    case QMetaType::ULongLong:
        return QString::number(value.toLongLong());
    case QMetaType::Double:
        return QString::number(value.toDouble(), 'f', 6);
    case QMetaType::QDateTime:
        return value.toDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    case QMetaType::QDate:
        return value.toDate().toString(Qt::ISODate) + QStringLiteral(" 00:00:00");
    default:
        return value.toString();
    }
}

QString TypeFamily(int adoType)
{
    if (kv6::IsTextType(adoType))
        return QStringLiteral("text");
    if (kv6::IsDateType(adoType))
        return QStringLiteral("date");
    if (adoType == kv6::adBoolean)
        return QStringLiteral("bool");
    if (kv6::IsNumericType(adoType))
        return QStringLiteral("number");
    return QStringLiteral("binary");
}

QList<QVariantList> Rows(const kv6::Recordset &rs)
{
    QList<QVariantList> out;
    for (int r = 0; r < rs.RecordCount(); ++r) {
        QVariantList row;
        for (int f = 0; f < rs.FieldCount(); ++f)
            row << rs.ValueAt(r, f);
        out << row;
    }
    return out;
}

} // namespace kv6test
