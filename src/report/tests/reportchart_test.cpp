#include "recordset/recordset.h"
#include "report/reportchart.h"
#include "vbcore/vbdatetext.h"

#include "deftest.h"

#include <QDomDocument>

using namespace kv6;

namespace {

QDomElement element(QDomDocument &doc, const QString &xml)
{
    QString message;
    EXPECT_TRUE(doc.setContent(xml, &message)) << qPrintable(message);
    return doc.documentElement();
}

// A one-row record set with the given fields, positioned on the row.
RecordsetPtr row(const QList<QPair<QString, QVariant>> &values)
{
    auto rs = Recordset::Create();
    for (const auto &v : values)
        rs->AppendField(v.first, v.second.typeId() == QMetaType::QString ? adVarWChar : adDouble);
    rs->Open();
    QVariantList list;
    for (const auto &v : values)
        list.append(v.second);
    rs->AddNew(list);
    rs->Update();
    rs->MoveFirst();
    return rs;
}

class Chart : public kv6test::DefinitionTest
{
protected:
    bool load(const QString &xml, QString *error = nullptr)
    {
        QDomDocument doc;
        return chart.Load(element(doc, xml), error);
    }
    // A chart with just a legend template and fields.
    void legend(const QString &format, const QStringList &fields)
    {
        QString xml = QStringLiteral("<Chart><Type>1</Type><LegendLabel><Format>") + format
            + QStringLiteral("</Format>");
        for (const QString &f : fields)
            xml += QStringLiteral("<Field>") + f + QStringLiteral("</Field>");
        ASSERT_TRUE(load(xml + QStringLiteral("</LegendLabel></Chart>")));
    }

    clsReportChart chart;
};

} // namespace

// What the elements that steer the drawing do is the chart render's tests' to show (they load
// their charts from XML too); here, those only read back and the defaults of missing ones.
TEST_F(Chart, EveryElementIsReadAndMissingOnesTakeTheirDefaults)
{
    ASSERT_TRUE(
        load(QStringLiteral("<Chart><Type> 4 </Type><LegendOrientation>0</LegendOrientation>"
                            "<XAxisLabel>Days</XAxisLabel><YAxisLabel>Volume</YAxisLabel>"
                            "<PointLabel>pl</PointLabel><DestField>fldChart</DestField>"
                            "</Chart>")));
    EXPECT_EQ(chart.ChartType(), 4);
    EXPECT_EQ(chart.LegendOrientation(), 0);
    EXPECT_EQ(chart.XAxisLabel(), QStringLiteral("Days"));
    EXPECT_EQ(chart.YAxisLabel(), QStringLiteral("Volume"));
    EXPECT_EQ(chart.PointLabel(), QStringLiteral("pl"));
    EXPECT_EQ(chart.DestField(), QStringLiteral("fldChart"));

    clsReportChart fresh;
    QDomDocument doc;
    // Empty elements count as missing.
    ASSERT_TRUE(fresh.Load(element(doc,
        QStringLiteral("<Chart><Type>2</Type><LegendPosition/><YAxisKeepScale> </YAxisKeepScale>"
                       "</Chart>"))));
    EXPECT_EQ(fresh.LegendPosition(), 1);
    EXPECT_EQ(fresh.LegendOrientation(), 1);
    EXPECT_FALSE(fresh.YAxisKeepScale());
    EXPECT_TRUE(fresh.LegendLabel().isEmpty());
    EXPECT_TRUE(fresh.LegendFields().isEmpty());
    EXPECT_EQ(fresh.ManualSeriesCount(), 0);
}

TEST_F(Chart, ATypeThatIsMissingOrNotANumberFailsAndLeavesTheChartAsItWas)
{
    ASSERT_TRUE(load(QStringLiteral("<Chart><Type>3</Type><XField>Day</XField></Chart>")));
    QString error;
    EXPECT_FALSE(load(QStringLiteral("<Chart><XField>Other</XField></Chart>"), &error));
    EXPECT_TRUE(error.contains(QStringLiteral("Type"))) << qPrintable(error);
    EXPECT_FALSE(
        load(QStringLiteral("<Chart><Type>bar</Type><XField>Other</XField></Chart>"), &error));
    EXPECT_TRUE(error.contains(QStringLiteral("bar"))) << qPrintable(error);
    // Other typed elements are just as strict.
    EXPECT_FALSE(load(QStringLiteral("<Chart><Type>1</Type><YAxisKeepScale>yes</YAxisKeepScale>"
                                     "<XField>Other</XField></Chart>"),
        &error));
    EXPECT_TRUE(error.contains(QStringLiteral("YAxisKeepScale"))) << qPrintable(error);
    EXPECT_FALSE(load(QStringLiteral("<Chart><Type>1</Type><LegendPosition>99999</LegendPosition>"
                                     "</Chart>")));
    EXPECT_EQ(chart.ChartType(), 3);
    EXPECT_EQ(chart.XFieldData(), QStringLiteral("Day"));
}

TEST_F(Chart, NumericLabelsBecomeLocalisedStrings)
{
    ASSERT_TRUE(load(QStringLiteral("<Chart><Type>1</Type>"
                                    "<XAxisLabel>5004</XAxisLabel><YAxisLabel>5999</YAxisLabel>"
                                    "<LegendLabel><Format>5006</Format></LegendLabel>"
                                    "</Chart>")));
    EXPECT_EQ(chart.XAxisLabel(), QStringLiteral("From"));
    // An axis title is replaced even by a string that does not exist.
    EXPECT_EQ(chart.YAxisLabel(), QString());
    EXPECT_EQ(chart.LegendLabel(), QStringLiteral("User %s: %d pages"));

    // A template keeps its number when the string is missing, and 0 or less is never looked up.
    ASSERT_TRUE(load(QStringLiteral(
        "<Chart><Type>1</Type><LegendLabel><Format>5999</Format></LegendLabel></Chart>")));
    EXPECT_EQ(chart.LegendLabel(), QStringLiteral("5999"));
    ASSERT_TRUE(load(QStringLiteral(
        "<Chart><Type>1</Type><LegendLabel><Format>0</Format></LegendLabel></Chart>")));
    EXPECT_EQ(chart.LegendLabel(), QStringLiteral("0"));
    ASSERT_TRUE(load(QStringLiteral(
        "<Chart><Type>1</Type><LegendLabel><Format>Pages %d</Format></LegendLabel></Chart>")));
    EXPECT_EQ(chart.LegendLabel(), QStringLiteral("Pages %d"));
}

TEST_F(Chart, ManualSeriesReplaceTheDataDrivenOnes)
{
    ASSERT_TRUE(load(QStringLiteral("<Chart><Type>2</Type><NewSeriesOn>Printer</NewSeriesOn>"
                                    "<ManualSeries>"
                                    "<Series><Label>5007</Label><XField>Day</XField>"
                                    "<YField>ColourPages</YField></Series>"
                                    "<Series><Label> Mono </Label><XField>Day</XField>"
                                    "<YField>MonoPages</YField></Series>"
                                    "<Series><Label>5009</Label></Series>"
                                    "</ManualSeries></Chart>")));
    EXPECT_TRUE(chart.NewSeriesOn().isEmpty());
    ASSERT_EQ(chart.ManualSeriesCount(), 3);
    QString name, x, y;
    ASSERT_TRUE(chart.GetSeriesInfo(1, name, x, y));
    EXPECT_EQ(name, QStringLiteral("Colour"));
    EXPECT_EQ(x, QStringLiteral("Day"));
    EXPECT_EQ(y, QStringLiteral("ColourPages"));
    ASSERT_TRUE(chart.GetSeriesInfo(2, name, x, y));
    EXPECT_EQ(name, QStringLiteral("Mono"));
    EXPECT_EQ(y, QStringLiteral("MonoPages"));
    // A localised label of blanks comes back trimmed.
    ASSERT_TRUE(chart.GetSeriesInfo(3, name, x, y));
    EXPECT_EQ(name, QString());
    EXPECT_EQ(x, QString());

    name = QStringLiteral("kept");
    EXPECT_FALSE(chart.GetSeriesInfo(0, name, x, y));
    EXPECT_FALSE(chart.GetSeriesInfo(4, name, x, y));
    EXPECT_EQ(name, QStringLiteral("kept"));

    // An empty ManualSeries element leaves the series column alone.
    ASSERT_TRUE(load(QStringLiteral("<Chart><Type>2</Type><NewSeriesOn>Printer</NewSeriesOn>"
                                    "<ManualSeries/></Chart>")));
    EXPECT_EQ(chart.NewSeriesOn(), QStringLiteral("Printer"));
}

TEST_F(Chart, FormatLabelDirectivesTakeTheLegendFieldsInOrder)
{
    legend(QStringLiteral("Cost %m"), { QStringLiteral("Cost") });
    EXPECT_EQ(chart.FormatLabel(*row({ { QStringLiteral("Cost"), 12.5 } })),
        QStringLiteral("Cost 12.50"));
    EXPECT_EQ(chart.FormatLabel(*row({ { QStringLiteral("Cost"), QVariant() } })),
        QStringLiteral("Cost 0.00"));
    EXPECT_EQ(chart.FormatLabel(*row({ { QStringLiteral("Cost"), 1.2346 } })),
        QStringLiteral("Cost 1.235"));

    // Unknown directives are copied and take no field.
    legend(QStringLiteral("%x%s / %d%%"), { QStringLiteral("User"), QStringLiteral("Pages") });
    EXPECT_EQ(chart.FormatLabel(*row({ { QStringLiteral("User"), QStringLiteral("ann") },
                  { QStringLiteral("Pages"), 2.5 } })),
        QStringLiteral("xann / 3%"));
    EXPECT_EQ(chart.FormatLabel(*row({ { QStringLiteral("User"), QVariant() },
                  { QStringLiteral("Pages"), QVariant() } })),
        QStringLiteral("x / 0%"));

    // More directives than fields, a field the row lacks, and a "%" at the very end.
    legend(QStringLiteral("%s|%s|%s%"), { QStringLiteral("User"), QStringLiteral("Missing") });
    EXPECT_EQ(chart.FormatLabel(*row({ { QStringLiteral("User"), QStringLiteral("cy") } })),
        QStringLiteral("cy||"));
}

TEST_F(Chart, FormatLabelWithoutTemplateShowsTheFirstFieldInTheUserLocale)
{
    legend(QString(), { QStringLiteral("Pages"), QStringLiteral("User") });
    EXPECT_EQ(chart.FormatLabel(*row({ { QStringLiteral("Pages"), 1234.5 },
                  { QStringLiteral("User"), QStringLiteral("ann") } })),
        QStringLiteral("1234.5"));

    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    EXPECT_EQ(
        chart.FormatLabel(*row({ { QStringLiteral("Pages"), 1234.5 } })), QStringLiteral("1234,5"));
    legend(QStringLiteral("%m"), { QStringLiteral("Pages") });
    EXPECT_EQ(
        chart.FormatLabel(*row({ { QStringLiteral("Pages"), 12.5 } })), QStringLiteral("12,50"));

    // No template and no fields: nothing to show.
    ASSERT_TRUE(load(QStringLiteral("<Chart><Type>1</Type></Chart>")));
    EXPECT_EQ(chart.FormatLabel(*row({ { QStringLiteral("Pages"), 1.0 } })), QString());
}

TEST(VbFormat, TextNumbersAndDatesFormatLikeNumbers)
{
    QLocale::setDefault(QLocale::c());
    EXPECT_EQ(VbFormatFixed(QStringLiteral("7.25"), 2, 3), QStringLiteral("7.25"));
    EXPECT_EQ(VbFormatFixed(QStringLiteral("n/a"), 0, 0), QStringLiteral("n/a"));
    EXPECT_EQ(VbFormatFixed(true, 0, 0), QStringLiteral("-1"));
    EXPECT_EQ(VbFormatFixed(-0.4, 0, 0), QStringLiteral("0"));
    EXPECT_EQ(
        VbFormatFixed(QDateTime(QDate(1900, 1, 1), QTime(12, 0)), 2, 3), QStringLiteral("2.50"));
    EXPECT_EQ(VbValueText(QDateTime(QDate(2024, 3, 5), QTime(0, 0))),
        QLocale().toString(QDate(2024, 3, 5), ShortDateFormat()));
}
