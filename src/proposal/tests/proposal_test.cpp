// Proposal files: written as version 2, read as versions 1 and 2, with the shipped catalogue's
// definitions loaded afresh for every report line.

#include "proposal/proposal.h"

#include "dataaccess/datasettings.h"
#include "report/dateselector.h"

#include "testscopes.h"

#include <gtest/gtest.h>
#include <QDir>

using namespace kv6;

namespace {

QByteArray lines(const QStringList &l)
{
    return l.join(QStringLiteral("\r\n")).toUtf8() + "\r\n";
}

} // namespace

class ProposalFile : public ::testing::Test
{
protected:
    void SetUp() override { QDir().mkpath(saved); }
    QString path(const QString &name) const { return QDir(saved).filePath(name); }
    // A version 2 header, dates in the US form the locale writes; the report lines follow it.
    static QStringList header()
    {
        return QStringLiteral(" 2 |Monthly review|For the board|Printing in March|Board|IT|"
                              "3/1/2026|3/31/2026| 11 |-1|0|0|-1|-1| 3 |3,5,|-1 ")
            .split(QLatin1Char('|'));
    }

    kv6test::TempEnv env;
    kv6test::ShippedLanguage language;
    kv6test::UsEnglishLocale us;
    QString saved = env.path(QStringLiteral("saved"));
    kv6test::ScopedStartupValue<QString> userReports { &StartupValues::UserReportsFolder, saved };
    kv6test::ScopedStartupValue<QString> definitions { &StartupValues::DefinitionsFolder,
        kv6test::sourceDir() + QStringLiteral("/data/reports") };
};

TEST_F(ProposalFile, ARoundTripKeepsEveryValueAndTheFileIsLineForLine)
{
    const QStringList files = { QStringLiteral("top_users.rpt"),
        QStringLiteral("executive_summary.rpt"), QStringLiteral("model_volumes.rpt") };
    kv6test::writeFile(path(QStringLiteral("in.prp")), lines(header() + files));

    clsProposal p;
    QString error;
    ASSERT_TRUE(p.LoadUserDefined(7, QStringLiteral("in.prp"), error)) << error.toStdString();
    EXPECT_EQ(p.Name(), QStringLiteral("Monthly review"));
    EXPECT_EQ(p.PreparedFor(), QStringLiteral("Board"));
    EXPECT_EQ(p.FromDate(), QDate(2026, 3, 1));
    EXPECT_EQ(p.ToDate(), QDate(2026, 3, 31));
    EXPECT_EQ(p.NumDecimals(), 3);
    EXPECT_EQ(p.SimpleUserGroups().Count(), 2);
    EXPECT_EQ(p.SimpleUserGroups().GroupAtIndex(2), 5);
    EXPECT_EQ(p.SimplePrinterGroups().Count(), 0);
    EXPECT_TRUE(p.UseFilters());
    EXPECT_FALSE(p.UseGroups());
    ASSERT_EQ(p.Reports().count(), 3);
    EXPECT_EQ(p.Reports().keyAt(2), QStringLiteral("Executive Summary"));

    // Every report takes the proposal's options, the company and the range.
    const clsReport &top = **p.Reports().item(QStringLiteral("Top 10 Users List"));
    EXPECT_FALSE(top.UseGroups());
    EXPECT_EQ(top.NumDecimals(), 3);
    for (int i = 1; i <= top.Parameters()->count(); ++i) {
        const clsReportParameter &param = **top.Parameters()->item(i);
        if (param.ParameterType() == clsReportParameter::CompanyId) {
            EXPECT_EQ(param.Value1().toInt(), 7);
        }
        if (param.ParameterType() == clsReportParameter::DateRange) {
            EXPECT_EQ(param.Value1().toDate(), QDate(2026, 3, 1));
            EXPECT_EQ(param.Value3().toInt(), 11);
        }
        if (param.ParameterType() == clsReportParameter::Number) {
            EXPECT_EQ(param.Value1().toDouble(), 10.0);
        }
    }

    ASSERT_TRUE(p.SaveUserDefined(QStringLiteral("out.prp"), error)) << error.toStdString();
    EXPECT_EQ(QString::fromUtf8(kv6test::readFile(path(QStringLiteral("out.prp")))).toStdString(),
        QString::fromUtf8(lines(header() + files)).toStdString());
}

TEST_F(ProposalFile, AVersion1FileTakesTheDefaultsAndRelativePeriodsMoveToToday)
{
    // No version line, no decimals or group lines; "True"/"False" and ISO dates read too.
    kv6test::writeFile(path(QStringLiteral("old.prp")),
        lines({ QStringLiteral("Old one"), QString(), QStringLiteral("T"), QStringLiteral("F"),
            QStringLiteral("B"), QStringLiteral("2020-01-01"), QStringLiteral("2020-01-31"),
            QStringLiteral(" 6 "), QStringLiteral("True"), QStringLiteral("False"),
            QStringLiteral("0"), QStringLiteral("0"), QStringLiteral("0"),
            QStringLiteral("top_users.rpt") }));
    clsProposal p;
    p.SimpleUserGroups().Add(4);
    QString error;
    ASSERT_TRUE(p.LoadUserDefined(1, path(QStringLiteral("old.prp")), error))
        << error.toStdString();
    EXPECT_EQ(p.NumDecimals(), DataSettings::DefaultDecimals());
    EXPECT_EQ(p.SimpleUserGroups().Count(), 0);
    QDate from, to;
    clsDateSelector::CalculateDateFromType(clsDateSelector::LastMonth, from, to);
    EXPECT_EQ(p.FromDate(), from);
    EXPECT_EQ(p.ToDate(), to);
    EXPECT_FALSE(p.CreateTitlePage());
    EXPECT_EQ(p.Reports().count(), 1);
}

TEST_F(ProposalFile, MissingDefinitionsAndFilesGive800To802)
{
    kv6test::writeFile(path(QStringLiteral("gone.prp")),
        lines(header()
            + QStringList { QStringLiteral("top_users.rpt"), QStringLiteral("no_such.rpt"),
                QStringLiteral("model_volumes.rpt") }));
    clsProposal p;
    QString error;
    EXPECT_FALSE(p.LoadUserDefined(1, QStringLiteral("gone.prp"), error));
    EXPECT_EQ(error, GetLangString(800));
    ASSERT_EQ(p.Reports().count(), 1);
    EXPECT_EQ(p.Reports().keyAt(1), QStringLiteral("Top 10 Users List"));

    // A file that cannot be opened gives 801, one that cannot be written 802.
    EXPECT_FALSE(p.LoadUserDefined(1, QStringLiteral("missing.prp"), error));
    EXPECT_TRUE(error.startsWith(GetLangString(801, QString()).trimmed())) << error.toStdString();
    EXPECT_FALSE(p.SaveUserDefined(env.path(QStringLiteral("no/such/folder/x.prp")), error));
    EXPECT_TRUE(error.startsWith(GetLangString(802, QString()).trimmed())) << error.toStdString();
}

TEST_F(ProposalFile, AMalformedLineIsNamedAndChangesNothing)
{
    struct Case
    {
        int line;
        const char *value;
        const char *says;
    };
    const QList<Case> cases = {
        { 1, " 7 ", "Line 1 " },
        { 7, "the first of March", "Line 7 " },
        { 9, " 12 ", "Line 9 " },
        { 12, "maybe", "Line 12 " },
        { 15, "three", "Line 15 " },
        { 17, "3,x,", "Line 17 " },
    };
    for (const Case &c : cases) {
        QStringList content = header();
        content[c.line - 1] = QLatin1String(c.value);
        kv6test::writeFile(path(QStringLiteral("bad.prp")), lines(content));
        clsProposal p;
        p.SetName(QStringLiteral("untouched"));
        QString error;
        EXPECT_FALSE(p.LoadUserDefined(1, QStringLiteral("bad.prp"), error)) << c.line;
        EXPECT_TRUE(error.contains(QLatin1String(c.says))) << error.toStdString();
        EXPECT_EQ(p.Name(), QStringLiteral("untouched"));
    }
    // A file that stops inside the header says where.
    kv6test::writeFile(path(QStringLiteral("short.prp")), lines(header().mid(0, 8)));
    clsProposal p;
    QString error;
    EXPECT_FALSE(p.LoadUserDefined(1, QStringLiteral("short.prp"), error));
    EXPECT_TRUE(error.contains(QStringLiteral("before line 9"))) << error.toStdString();
}

TEST_F(ProposalFile, AReportThatNeedsEstimatedCostsGetsThemWhateverTheProposalSays)
{
    const QString definition = env.path(QStringLiteral("costs.rpt"));
    kv6test::writeFile(definition,
        "<KVReport><KVReportInfo><Name>Costs</Name><DisplayName>Costs</DisplayName>"
        "<CanUseGroups>0</CanUseGroups>"
        "<GroupColumns><Column><Field>Cost</Field><Replace>8</Replace></Column></GroupColumns>"
        "</KVReportInfo></KVReport>");
    kv6test::writeFile(path(QStringLiteral("costs.prp")),
        lines(header() + QStringList { definition, QStringLiteral("top_users.rpt") }));
    clsProposal p;
    QString error;
    ASSERT_TRUE(p.LoadUserDefined(1, QStringLiteral("costs.prp"), error)) << error.toStdString();
    ASSERT_FALSE(p.UseEstCosts());
    EXPECT_TRUE((*p.Reports().item(1))->UseEstCosts());
    EXPECT_FALSE((*p.Reports().item(2))->UseEstCosts());

    // The editor lets only reports that can group use groups.
    p.SetUseGroups(true);
    p.PrepareReport(**p.Reports().item(1), 1, true);
    EXPECT_FALSE((*p.Reports().item(1))->UseGroups());
}
