#include "report/report.h"
#include "base/startupvalues.h"

#include "base/textfile.h"
#include "dataaccess/datasettings.h"
#include "dataaccess/datasource.h"
#include "report/definitiontext.h"
#include "vbcore/vbdate.h"
#include "vbcore/vbdatetext.h"

#include <QDomDocument>
#include <QFile>
#include <QRegularExpression>

namespace kv6 {

namespace {

QDateTime toVbDate(const QVariant &value)
{
    if (!value.isValid() || value.isNull())
        return VbZeroDate();
    switch (value.typeId()) {
    case QMetaType::QDateTime:
        return value.toDateTime();
    case QMetaType::QDate:
        return QDateTime(value.toDate(), QTime(0, 0));
    case QMetaType::QString: {
        const QString text = value.toString().trimmed();
        for (const QString &format : { ShortDateFormat(), QStringLiteral("yyyy-MM-dd") }) {
            const QDate date = QLocale().toDate(text, format);
            if (date.isValid())
                return QDateTime(date, QTime(0, 0));
        }
        const QDateTime iso = QDateTime::fromString(text, Qt::ISODate);
        return iso.isValid() ? iso : VbZeroDate();
    }
    default: {
        bool ok = false;
        const double ole = value.toDouble(&ok);
        return ok && IsVbDateInRange(ole) ? VbDateFromDouble(ole) : VbZeroDate();
    }
    }
}

QString describe(const QString &kind, const QString &name)
{
    return name.isEmpty() ? kind : QStringLiteral("%1 \"%2\"").arg(kind, name);
}

bool readParameter(const QDomElement &element, ReportParameterPtr &out, QString &error)
{
    DefinitionReader in(element, QStringLiteral("parameter"));
    auto p = std::make_shared<clsReportParameter>();
    p->SetName(in.text(QStringLiteral("Name")));
    in.setWhat(describe(QStringLiteral("parameter"), p->Name()));
    p->SetLabel(in.localised(QStringLiteral("Label")));
    p->SetParameterType(in.int16(QStringLiteral("Type"), QString()));
    p->SetRequired(in.boolean(QStringLiteral("Required"), QStringLiteral("0")));
    p->SetDefault(in.text(QStringLiteral("Default")));
    p->SetPassToQuery(in.boolean(QStringLiteral("Query"), QStringLiteral("-1")));
    p->SetDisplay(in.boolean(QStringLiteral("Display"), QStringLiteral("-1")));
    if (p->ParameterType() == clsReportParameter::Number) {
        p->SetMin(in.text(QStringLiteral("Min")));
        p->SetMax(in.text(QStringLiteral("Max")));
    }
    if (!in.ok()) {
        error = in.error();
        return false;
    }
    out = p;
    return true;
}

template<typename T>
bool addKeyed(KeyedCollection<T> &collection, const T &item, const QString &key,
    const QString &what, QString &error)
{
    if (collection.add(item, key) == KeyedCollection<T>::Result::Ok)
        return true;
    error = QStringLiteral("Two %1 are named \"%2\".").arg(what, key);
    return false;
}

} // namespace

ReportChoices::ReportChoices(bool useGroupsAndFilters)
    : m_useGroups(useGroupsAndFilters)
    , m_useFilters(useGroupsAndFilters)
    , m_numDecimals(qint16(DataSettings::DefaultDecimals()))
{ }

clsReport::clsReport(QObject *parent)
    : QObject(parent)
    , ReportChoices(false)
{ }

clsReport::~clsReport() = default;

void clsReport::SetParameters(const ReportParametersPtr &parameters)
{
    m_def.parameters = parameters;
    for (const ReportPtr &sub : m_def.subReports)
        sub->SetParameters(parameters);
}

bool clsReport::MustUseEstCosts() const
{
    for (const ReportColPtr &col : m_def.columns) {
        if (col->ReplaceIs(clsReportCol::ReplaceCostPerPageAlways)
            || col->ReplaceIs(clsReportCol::ReplaceCostAlways))
            return true;
    }
    return false;
}

void clsReport::GetDateRange(QDateTime &from, QDateTime &to) const
{
    from = VbZeroDate();
    to = VbZeroDate();
    if (!m_def.parameters)
        return;
    for (const ReportParameterPtr &p : *m_def.parameters) {
        if (p->ParameterType() == clsReportParameter::DateRange && p->PassToQuery()) {
            from = toVbDate(p->Value1());
            to = toVbDate(p->Value2());
            return;
        }
    }
}

void clsReport::InitializeCharts()
{
    for (const ReportChartPtr &chart : m_def.charts)
        chart->SetBookmark(QVariant());
    for (const ReportPtr &sub : m_def.subReports)
        sub->InitializeCharts();
}

bool clsReport::readDefinition(
    const QDomNode &node, int databaseType, Definition &def, QString &error)
{
    DefinitionReader in(node, QStringLiteral("report"));
    const QString name = in.text(QStringLiteral("Name"));
    const QString where = describe(QStringLiteral("Report"), name) + QStringLiteral(": ");

    const QDomElement params = node.firstChildElement(QStringLiteral("Parameters"));
    for (QDomElement e = params.firstChildElement(QStringLiteral("Parameter")); !e.isNull();
         e = e.nextSiblingElement(QStringLiteral("Parameter"))) {
        ReportParameterPtr p;
        QString why;
        if (!readParameter(e, p, why)
            || !addKeyed(*def.parameters, p, p->Name(), QStringLiteral("parameters"), why)) {
            error = where + why;
            return false;
        }
    }

    def.name = name;
    in.setWhat(describe(QStringLiteral("report"), name));
    def.displayName = in.localised(QStringLiteral("DisplayName"));
    def.description = in.localised(QStringLiteral("Description"));
    def.usageHint = in.localised(QStringLiteral("UsageHint"));
    def.treePosition = in.localised(QStringLiteral("TreePosition"));
    def.sort = in.text(QStringLiteral("Sort"));
    def.sectionToAlternate = in.text(QStringLiteral("SectionAlternate"));
    def.canUseGroups = in.boolean(QStringLiteral("CanUseGroups"), QStringLiteral("1"));
    def.subReportField = in.text(QStringLiteral("SubReportField"));
    def.scripts = in.text(QStringLiteral("Scripts"));
    def.rowLimit = in.text(QStringLiteral("RowLimit"), QStringLiteral("-1"));
    if (!in.ok()) {
        error = in.error();
        return false;
    }
    def.reportSQL = in.text(databaseType == DatabaseTypeSQLite ? QStringLiteral("AccessSQL")
                                                               : QStringLiteral("SQLServerSQL"));

    const QDomElement cols = node.firstChildElement(QStringLiteral("GroupColumns"));
    for (QDomElement e = cols.firstChildElement(QStringLiteral("Column")); !e.isNull();
         e = e.nextSiblingElement(QStringLiteral("Column"))) {
        auto col = std::make_shared<clsReportCol>();
        QString why;
        if (!col->Load(e, &why)
            || !addKeyed(def.columns, col, col->FieldName(), QStringLiteral("columns"), why)) {
            error = where + why;
            return false;
        }
    }

    // A chart that does not load fails the definition: a report drawn without the chart its
    // layout expects would be misleading.
    QList<QDomElement> chartElements;
    const QDomElement single = node.firstChildElement(QStringLiteral("ReportChart"));
    if (!single.isNull()) {
        chartElements.append(single);
    } else {
        const QDomElement charts = node.firstChildElement(QStringLiteral("Charts"));
        for (QDomElement e = charts.firstChildElement(QStringLiteral("Chart")); !e.isNull();
             e = e.nextSiblingElement(QStringLiteral("Chart")))
            chartElements.append(e);
    }
    for (const QDomElement &e : chartElements) {
        auto chart = std::make_shared<clsReportChart>();
        QString why;
        if (!chart->Load(e, &why)) {
            error = where + why;
            return false;
        }
        def.charts.add(chart);
    }
    def.hasCharts = !def.charts.isEmpty();

    const QDomElement subs = node.firstChildElement(QStringLiteral("SubReports"));
    for (QDomElement e = subs.firstChildElement(QStringLiteral("SubReport")); !e.isNull();
         e = e.nextSiblingElement(QStringLiteral("SubReport"))) {
        auto sub = std::make_shared<clsReport>();
        QString why;
        if (!sub->LoadDefinitionFromNode(e, databaseType)) {
            error = where + QStringLiteral("sub-report: ") + sub->LastError();
            return false;
        }
        if (sub->HasCharts())
            def.hasCharts = true;
        sub->SetParameters(def.parameters);
        if (!addKeyed(def.subReports, sub, sub->Name(), QStringLiteral("sub-reports"), why)) {
            error = where + why;
            return false;
        }
    }
    return true;
}

void clsReport::adopt(Definition &&def)
{
    m_def = std::move(def);
    m_title = m_def.displayName.trimmed();
    SetUseGroups(true);
    SetUseFilters(true);
    m_lastError.clear();
}

bool clsReport::LoadDefinitionFromNode(const QDomNode &node, std::optional<int> databaseType)
{
    if (node.isNull() || !node.isElement()) {
        m_lastError = QStringLiteral("The definition has no report element.");
        return false;
    }
    Definition def;
    def.fileName = m_def.fileName;
    QString error;
    if (!readDefinition(node, databaseType.value_or(DataSettings::DatabaseType()), def, error)) {
        m_lastError = error;
        return false;
    }
    adopt(std::move(def));
    return true;
}

bool clsReport::LoadDefinition(const QString &fileName, std::optional<int> databaseType)
{
    QString path = fileName;
    if (path.contains(QLatin1Char('\\')) && !path.contains(QLatin1Char('/')))
        path.replace(QLatin1Char('\\'), QLatin1Char('/'));
    if (!path.contains(QLatin1Char('/')))
        path = Startup().DefinitionsFolder + QLatin1Char('/') + path;

    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        m_lastError = QStringLiteral("%1: %2").arg(path, file.errorString());
        return false;
    }
    const QByteArray bytes = file.readAll();
    QDomDocument doc;
    QString message;
    int line = 0;
    int column = 0;
    if (!doc.setContent(bytes, &message, &line, &column)) {
        // Files edited on Windows may be in its code page whatever their declaration says.
        QString text = DecodeText(bytes);
        static const QRegularExpression encoding(
            QStringLiteral("^(\\s*<\\?xml[^>]*?)\\s+encoding\\s*=\\s*(\"[^\"]*\"|'[^']*')"));
        text.replace(encoding, QStringLiteral("\\1"));
        if (!doc.setContent(text)) {
            m_lastError = QStringLiteral("%1, line %2, column %3: %4")
                              .arg(path)
                              .arg(line)
                              .arg(column)
                              .arg(message);
            return false;
        }
    }
    const QDomElement info
        = doc.documentElement().firstChildElement(QStringLiteral("KVReportInfo"));
    if (info.isNull()) {
        m_lastError = QStringLiteral("%1: the root element has no KVReportInfo.").arg(path);
        return false;
    }
    Definition def;
    def.fileName = fileName;
    QString error;
    if (!readDefinition(info, databaseType.value_or(DataSettings::DatabaseType()), def, error)) {
        m_lastError = QStringLiteral("%1: %2").arg(path, error);
        return false;
    }
    adopt(std::move(def));
    return true;
}

} // namespace kv6
