// The shipped definitions as files: the catalogue the program lists, the elements each report
// must carry for the wizard, the data-set builder and the charts, and their strings.

#include "catalogue.h"
#include "langtable.h"

#include "base/xmltext.h"
#include "script/scriptengine.h"

#include <gtest/gtest.h>

using namespace kv6test;

namespace {

// The default analysis set of a new proposal, then the reports administrators expect besides.
const QStringList ExpectedNames = { QStringLiteral("Executive Summary"),
    QStringLiteral("Printer Inventory"), QStringLiteral("Printer Model Inventory"),
    QStringLiteral("Top 10 Printers List"), QStringLiteral("Top 10 Users List"),
    QStringLiteral("Top Printers By B&W Volume"), QStringLiteral("Top Printers By Color Volume"),
    QStringLiteral("Top Users by BW Volume"), QStringLiteral("Top Users by Color Volume"),
    QStringLiteral("Top Models By Total Volume"), QStringLiteral("Average Pages Per Day"),
    QStringLiteral("Average Pages Per Hour"), QStringLiteral("Printer Averages"),
    QStringLiteral("User Averages"), QStringLiteral("User Printing Breakdown"),
    QStringLiteral("User to Printer Model Breakdown"), QStringLiteral("Printer to User Breakdown"),
    QStringLiteral("Job Size to Printer Breakdown"),
    QStringLiteral("Black and White Page Volumes Breakdown"),
    QStringLiteral("Color Page Volumes Breakdown"), QStringLiteral("Page Volumes Breakdown"),
    QStringLiteral("Model Volumes"), QStringLiteral("Cost by Department"),
    QStringLiteral("Duplex Savings"), QStringLiteral("Paper and Environmental Impact") };

bool isNumber(const QString &text, double *value = nullptr)
{
    bool ok = false;
    const double v = text.toDouble(&ok);
    if (value)
        *value = v;
    return ok;
}

class DefinitionFiles : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        s_definitions = new QList<Definition>(LoadShippedDefinitions());
        s_strings = new QMap<int, QString>(readLangTable(englishTablePath()).byNumber());
    }
    static void TearDownTestSuite()
    {
        delete s_definitions;
        delete s_strings;
    }

    // A localisable element: a number whose English text exists and is not blank.
    void expectLocalised(const QString &where, const QString &value, bool required = true)
    {
        if (value.isEmpty()) {
            EXPECT_FALSE(required) << s(where) << " is empty";
            return;
        }
        bool ok = false;
        const int number = value.toInt(&ok);
        ASSERT_TRUE(ok) << s(where) << " is written as text, not as a string number: " << s(value);
        EXPECT_TRUE(s_strings->contains(number) && !s_strings->value(number).trimmed().isEmpty())
            << s(where) << " names string " << number << ", which has no English text";
        m_usedStrings.insert(number);
    }

    void checkReportElement(const Definition &d, const QString &where, bool subReport);
    void checkChart(const QDomElement &chart, const QString &where);

    static inline QList<Definition> *s_definitions = nullptr;
    static inline QMap<int, QString> *s_strings = nullptr;
    QSet<int> m_usedStrings;
};

void DefinitionFiles::checkChart(const QDomElement &chart, const QString &where)
{
    // Types, Booleans and 16-bit numbers that do not convert fail the load (builds_test.cpp).
    const int type = kv6::GetChildText(chart, QStringLiteral("Type"), QString()).toInt();
    EXPECT_TRUE(type >= 1 && type <= 4) << s(where) << ": chart type " << type;
    EXPECT_FALSE(kv6::GetChildText(chart, QStringLiteral("DestField"), QString()).isEmpty())
        << s(where) << ": a chart needs the layout field that receives its picture";
    for (const char *label : { "XAxisLabel", "YAxisLabel" })
        expectLocalised(where + QLatin1Char(' ') + QString::fromLatin1(label),
            kv6::GetChildText(chart, QString::fromLatin1(label), QString()), false);
    const QString orientation
        = kv6::GetChildText(chart, QStringLiteral("XFieldLabelOrientation"), QStringLiteral("0"));
    EXPECT_TRUE(QStringList(
        { QStringLiteral("0"), QStringLiteral("1"), QStringLiteral("2"), QStringLiteral("3") })
                    .contains(orientation))
        << s(where);
    const QString autoFormat
        = kv6::GetChildText(chart, QStringLiteral("XFieldLabelAutoFormat"), QStringLiteral("0"));
    EXPECT_TRUE(autoFormat == QLatin1String("0") || autoFormat == QLatin1String("1"))
        << s(where) << ": label format " << s(autoFormat) << " stops the rendering";
    const QDomElement manual = chart.firstChildElement(QStringLiteral("ManualSeries"));
    for (QDomElement series = manual.firstChildElement(QStringLiteral("Series")); !series.isNull();
         series = series.nextSiblingElement(QStringLiteral("Series"))) {
        expectLocalised(where + QStringLiteral(" series label"),
            kv6::GetChildText(series, QStringLiteral("Label"), QString()));
        EXPECT_FALSE(kv6::GetChildText(series, QStringLiteral("YField"), QString()).isEmpty())
            << s(where);
    }
    if (!manual.isNull()) {
        EXPECT_TRUE(kv6::GetChildText(chart, QStringLiteral("NewSeriesOn"), QString()).isEmpty())
            << s(where) << ": manual series replace NewSeriesOn";
    }
    if (kv6::GetChildText(chart, QStringLiteral("YField"), QString()).isEmpty()) {
        EXPECT_FALSE(manual.isNull()) << s(where) << ": no Y values";
    }
}

void DefinitionFiles::checkReportElement(const Definition &d, const QString &where, bool subReport)
{
    EXPECT_FALSE(d.name().isEmpty()) << s(where) << ": no Name";
    expectLocalised(where + QStringLiteral(" DisplayName"), d.text(QStringLiteral("DisplayName")));
    expectLocalised(where + QStringLiteral(" Description"), d.text(QStringLiteral("Description")));
    if (!subReport) {
        expectLocalised(where + QStringLiteral(" UsageHint"), d.text(QStringLiteral("UsageHint")));
        expectLocalised(
            where + QStringLiteral(" TreePosition"), d.text(QStringLiteral("TreePosition")));
        const QString tree = s_strings->value(d.text(QStringLiteral("TreePosition")).toInt());
        for (const QString &folder : tree.split(QLatin1Char('\\'))) {
            EXPECT_FALSE(folder.trimmed().isEmpty()) << s(where) << ": empty folder in " << s(tree);
        }
        EXPECT_FALSE(d.sql(true).isEmpty()) << s(where) << ": no AccessSQL";
        EXPECT_FALSE(d.sql(false).isEmpty()) << s(where) << ": no SQLServerSQL";
    } else {
        // A sub-report's table is its parent's, reshaped by its script; it runs no SQL.
        EXPECT_TRUE(d.sql(true).isEmpty() && d.sql(false).isEmpty()) << s(where);
    }

    QMap<QString, int> parameterTypes;
    for (const QDomElement &p :
        d.children(QStringLiteral("Parameters"), QStringLiteral("Parameter"))) {
        const QString name = kv6::GetChildText(p, QStringLiteral("Name"), QString());
        const QString type = kv6::GetChildText(p, QStringLiteral("Type"), QString());
        EXPECT_TRUE(type.toInt() >= 1 && type.toInt() <= 4) << s(where) << ": type " << s(type);
        parameterTypes.insert(name, type.toInt());
        const QString display
            = kv6::GetChildText(p, QStringLiteral("Display"), QStringLiteral("-1"));
        if (type != QLatin1String("1") && display != QLatin1String("0"))
            expectLocalised(where + QStringLiteral(" parameter ") + name,
                kv6::GetChildText(p, QStringLiteral("Label"), QString()));
        if (type == QLatin1String("3")) {
            double low = 0, high = 0, value = 0;
            ASSERT_TRUE(isNumber(kv6::GetChildText(p, QStringLiteral("Min"), QString()), &low));
            ASSERT_TRUE(isNumber(kv6::GetChildText(p, QStringLiteral("Max"), QString()), &high));
            ASSERT_TRUE(
                isNumber(kv6::GetChildText(p, QStringLiteral("Default"), QString()), &value))
                << s(where) << ": a number parameter needs a default the wizard can offer";
            EXPECT_TRUE(low <= value && value <= high)
                << s(where) << ": default outside its bounds";
        }
    }
    if (!subReport) {
        EXPECT_EQ(parameterTypes.value(QStringLiteral("CompanyId")), 1) << s(where);
        EXPECT_EQ(parameterTypes.value(QStringLiteral("DateRange")), 2) << s(where);
        const QString rowLimit = d.text(QStringLiteral("RowLimit"));
        if (!rowLimit.isEmpty() && !isNumber(rowLimit)) {
            EXPECT_EQ(parameterTypes.value(rowLimit), 3)
                << s(where) << ": RowLimit names no number parameter: " << s(rowLimit);
        }
    }

    // Columns: codes the builder knows.
    bool hasKey = false;
    for (const QDomElement &c :
        d.children(QStringLiteral("GroupColumns"), QStringLiteral("Column"))) {
        const QString field = kv6::GetChildText(c, QStringLiteral("Field"), QString());
        const QString at = where + QStringLiteral(" column ") + field;
        EXPECT_FALSE(field.isEmpty()) << s(where) << ": a column without a field";
        const QString action = kv6::GetChildText(c, QStringLiteral("Action"), QStringLiteral("0"));
        EXPECT_TRUE(QList<int>({ 0, 1, 2, 3, 4, 5, 7 }).contains(action.toInt())) << s(at);
        hasKey = hasKey || action == QLatin1String("4");
        const QString actionParam = kv6::GetChildText(c, QStringLiteral("ActionParam"), QString());
        if (action == QLatin1String("5")) {
            EXPECT_FALSE(actionParam.isEmpty()) << s(at) << ": first occurrences of which field?";
        }
        if (action == QLatin1String("7")) {
            double n = 0;
            if (isNumber(actionParam, &n)) {
                EXPECT_GE(n, 1) << s(at);
            } else {
                EXPECT_EQ(parameterTypes.value(actionParam), 3) << s(at);
            }
        }
        const QString replace
            = kv6::GetChildText(c, QStringLiteral("Replace"), QStringLiteral("0"));
        double code = 0;
        if (isNumber(replace, &code)) {
            EXPECT_TRUE(code >= 0 && code <= 8 && code == int(code)) << s(at);
            // Codes 6 and 8 force estimated costs and hide the report in simple mode.
            EXPECT_NE(code, 6) << s(at);
            EXPECT_NE(code, 8) << s(at);
            if (code == 7) {
                EXPECT_FALSE(
                    kv6::GetChildText(c, QStringLiteral("ReplaceParam"), QString()).isEmpty())
                    << s(at) << ": the page count of a cost column";
            }
        }
        const QString sortable
            = kv6::GetChildText(c, QStringLiteral("Sortable"), QStringLiteral("0"));
        if (sortable != QLatin1String("0")) {
            EXPECT_FALSE(kv6::GetChildText(c, QStringLiteral("SortName"), QString()).isEmpty())
                << s(at) << ": a sortable column needs its caption";
        }
    }
    // Without a key the builder folds every row into one totals row.
    if (!subReport && d.name() != QLatin1String("Executive Summary")) {
        EXPECT_TRUE(hasKey) << s(where) << ": no Action 4 column, so the report has one row";
    }

    const QDomElement single = d.info.firstChildElement(QStringLiteral("ReportChart"));
    EXPECT_TRUE(single.isNull() || d.info.firstChildElement(QStringLiteral("Charts")).isNull())
        << s(where) << ": Charts is ignored beside ReportChart";
    if (!single.isNull())
        checkChart(single, where + QStringLiteral(" chart"));
    for (const QDomElement &chart : d.children(QStringLiteral("Charts"), QStringLiteral("Chart")))
        checkChart(chart, where + QStringLiteral(" chart"));

    const QList<QDomElement> subs = d.subReports();
    if (!subs.isEmpty()) {
        EXPECT_FALSE(d.text(QStringLiteral("SubReportField")).isEmpty())
            << s(where) << ": sub-reports need the layout field that holds them";
    }
    for (const QDomElement &sub : subs) {
        const Definition sd = DefinitionFromElement(d.file, sub);
        checkReportElement(sd, where + QStringLiteral(" / ") + sd.name(), true);
    }
}

TEST_F(DefinitionFiles, TheCatalogueHoldsTheAnalysisSetAndTheExtraReportsOnce)
{
    QStringList names;
    QSet<QString> files;
    for (const Definition &d : std::as_const(*s_definitions)) {
        ASSERT_TRUE(d.parseError.isEmpty()) << s(d.file) << ": " << s(d.parseError);
        ASSERT_FALSE(d.info.isNull()) << s(d.file) << ": no KVReportInfo under the root";
        names << d.name();
        EXPECT_FALSE(files.contains(d.file.toLower())) << s(d.file);
        files.insert(d.file.toLower());
        // The key of the picker and the proposal is the Name; a sub-report shares the space.
        for (const QDomElement &sub : d.subReports()) {
            EXPECT_FALSE(
                ExpectedNames.contains(kv6::GetChildText(sub, QStringLiteral("Name"), QString())))
                << s(d.file);
        }
    }
    QStringList sorted = names;
    sorted.sort();
    QStringList expected = ExpectedNames;
    expected.sort();
    EXPECT_EQ(sorted, expected);
    EXPECT_EQ(QSet<QString>(names.begin(), names.end()).size(), names.size()) << "a Name twice";
}

TEST_F(DefinitionFiles, EveryDefinitionCarriesWhatTheProgramReadsAndTheStringsItUses)
{
    for (const Definition &d : std::as_const(*s_definitions)) {
        SCOPED_TRACE(s(d.file));
        ASSERT_TRUE(d.parseError.isEmpty()) << s(d.parseError);
        checkReportElement(d, d.file, false);
        for (const bool sqlite : { true, false }) {
            const QString sql = d.sql(sqlite);
            EXPECT_EQ(CountPlaceholders(sql),
                QueryParameters(d, 1, QStringLiteral("2026-01-01"), QStringLiteral("2026-02-01"))
                    .size())
                << (sqlite ? "AccessSQL" : "SQLServerSQL")
                << ": the positional markers do not match the parameters";
        }
    }
    ASSERT_FALSE(HasFailure());
    // The block the catalogue owns: a number there that no definition names is a leftover.
    for (auto it = s_strings->constBegin(); it != s_strings->constEnd(); ++it) {
        if (it.key() >= 2000 && it.key() < 2300) {
            EXPECT_TRUE(m_usedStrings.contains(it.key()))
                << "string " << it.key() << " (" << s(it.value()) << ") is used by no definition";
        }
    }
}

TEST_F(DefinitionFiles, ScriptsCompileAndDefineTheirProcedures)
{
    int scripts = 0;
    for (const Definition &d : std::as_const(*s_definitions)) {
        QList<Definition> parts { d };
        for (const QDomElement &sub : d.subReports())
            parts << DefinitionFromElement(d.file, sub);
        for (const Definition &part : std::as_const(parts)) {
            const QString source = part.text(QStringLiteral("Scripts"));
            if (source.isEmpty())
                continue;
            ++scripts;
            kv6::script::Engine engine;
            try {
                engine.compile(source);
            } catch (const kv6::script::ScriptError &e) {
                ADD_FAILURE() << s(d.file) << " / " << s(part.name()) << " line " << e.line()
                              << ", column " << e.column() << ": " << s(e.message());
                continue;
            }
            EXPECT_TRUE(engine.hasProcedure(QStringLiteral("PreProcess"))
                || engine.hasProcedure(QStringLiteral("PostProcess")))
                << s(d.file) << ": a script the builder never calls";
            // A sub-report's table comes from PostProcess alone.
            if (part.info != d.info) {
                EXPECT_TRUE(engine.hasProcedure(QStringLiteral("PostProcess"))) << s(d.file);
            }
        }
    }
    EXPECT_GE(scripts, 1);
}

} // namespace
