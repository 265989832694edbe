#include "base/dialogs.h"
#include "report/reportcatalogue.h"

#include "deftest.h"

using namespace kv6;

namespace {

class Catalogue : public kv6test::DefinitionTest
{
protected:
    void writeReport(const QString &file, const QByteArray &name, const QByteArray &tree,
        const QByteArray &extra = {})
    {
        write(file,
            kv6test::definition("<Name>" + name + "</Name><DisplayName>" + name
                + "</DisplayName><TreePosition>" + tree + "</TreePosition>" + extra));
    }
    QStringList names(const ReportCatalogue &catalogue)
    {
        QStringList list;
        for (const ReportPtr &r : catalogue.Reports())
            list.append(r->Key() + QLatin1Char('=') + r->Name());
        return list;
    }
};

} // namespace

TEST_F(Catalogue, ABrokenFileIsReportedAndSkippedAndTheOthersAreNumberedInOrder)
{
    writeReport(QStringLiteral("c_users.rpt"), "Users", "5003");
    writeReport(QStringLiteral("a_printers.rpt"), "Printers", "Printers");
    write(QStringLiteral("b_broken.rpt"),
        kv6test::definition("<Name>Broken</Name><ReportChart><XField>X</XField></ReportChart>"));
    writeReport(QStringLiteral("D_jobs.RPT"), "Jobs", "Printers");
    writeReport(QStringLiteral("e_notes.txt"), "NotADefinition", "");
    write(QStringLiteral("f_garbage.rpt"), "not xml at all");

    ScriptedDialogs dialogs;
    dialogs.messageAnswers = { MsgAnswer::OK, MsgAnswer::OK };
    ScopedDialogProvider guard(&dialogs);
    SetDefaultMessageTitle(QStringLiteral("Korvane 6"));
    ReportCatalogue catalogue;
    catalogue.Load();

    EXPECT_EQ(names(catalogue),
        (QStringList { QStringLiteral("REPT1=Printers"), QStringLiteral("REPT2=Users"),
            QStringLiteral("REPT3=Jobs") }));
    EXPECT_EQ(
        (*catalogue.Reports().item(QStringLiteral("REPT2")))->Name(), QStringLiteral("Users"));
    ASSERT_EQ(dialogs.messages.size(), 2);
    EXPECT_EQ(dialogs.messages[0].text,
        QStringLiteral("The report definition b_broken.rpt could not be loaded and has been "
                       "skipped."));
    EXPECT_EQ(dialogs.messages[0].title, QStringLiteral("Korvane 6"));
    EXPECT_TRUE(dialogs.messages[1].text.contains(QStringLiteral("f_garbage.rpt")));
    EXPECT_EQ(dialogs.unexpected, 0);
    ASSERT_EQ(catalogue.Failures().size(), 2);
    EXPECT_EQ(catalogue.Failures()[0].fileName, QStringLiteral("b_broken.rpt"));
    EXPECT_TRUE(catalogue.Failures()[0].error.contains(QStringLiteral("Type")));

    // Grouped by tree position in the order first met.
    EXPECT_EQ(catalogue.TreePositions(),
        (QStringList { QStringLiteral("Printers"), QStringLiteral("Users\\Volumes") }));
    const QList<ReportPtr> printers = catalogue.ReportsAt(QStringLiteral("Printers"));
    ASSERT_EQ(printers.size(), 2);
    EXPECT_EQ(printers[1]->Key(), QStringLiteral("REPT3"));

    // Loading again starts afresh.
    dialogs.messageAnswers = { MsgAnswer::OK, MsgAnswer::OK };
    catalogue.Load();
    EXPECT_EQ(catalogue.Reports().count(), 3);
    EXPECT_EQ(catalogue.Failures().size(), 2);
}

TEST_F(Catalogue, SimpleModeLeavesOutReportsThatForceEstimatedCosts)
{
    writeReport(QStringLiteral("a.rpt"), "Plain", "");
    writeReport(QStringLiteral("b.rpt"), "Forced", "",
        "<GroupColumns><Column><Field>Cost</Field><Replace>6</Replace></Column></GroupColumns>");
    writeReport(QStringLiteral("c.rpt"), "Optional", "",
        "<GroupColumns><Column><Field>Cost</Field><Replace>5</Replace></Column></GroupColumns>");

    ReportCatalogue catalogue;
    CatalogueOptions options;
    options.excludeMustUseEstCosts = true;
    catalogue.Load(options);
    // The keys count listed reports only.
    EXPECT_EQ(names(catalogue),
        (QStringList { QStringLiteral("REPT1=Plain"), QStringLiteral("REPT2=Optional") }));
    // A report with no tree position sits at the root.
    EXPECT_EQ(catalogue.TreePositions(), QStringList { QString() });

    catalogue.Load();
    EXPECT_EQ(catalogue.Reports().count(), 3);
}

TEST_F(Catalogue, AnotherFolderAndTheDatabaseTypeCanBeGiven)
{
    const QString other = env.path(QStringLiteral("other"));
    kv6test::writeFile(other + QStringLiteral("/x.rpt"),
        kv6test::definition(
            "<Name>X</Name><AccessSQL>a</AccessSQL><SQLServerSQL>s</SQLServerSQL>"));
    writeReport(QStringLiteral("in_default.rpt"), "Default", "");

    ReportCatalogue catalogue;
    CatalogueOptions options;
    options.folder = other;
    options.databaseType = 2;
    catalogue.Load(options);
    ASSERT_EQ(catalogue.Reports().count(), 1);
    EXPECT_EQ((*catalogue.Reports().item(1))->ReportSQL(), QStringLiteral("s"));

    // A folder without definitions gives an empty catalogue and no message.
    ScriptedDialogs dialogs;
    ScopedDialogProvider guard(&dialogs);
    options.folder = env.path(QStringLiteral("missing"));
    catalogue.Load(options);
    EXPECT_TRUE(catalogue.Reports().isEmpty());
    EXPECT_TRUE(dialogs.messages.isEmpty());
}

TEST(CatalogueFolders, EveryPrefixOfTheTreePositionIsAFolder)
{
    const QList<CatalogueFolder> folders
        = CatalogueFolders(QStringLiteral("Users\\Costs\\By month"));
    ASSERT_EQ(folders.size(), 3);
    EXPECT_EQ(folders[0].key, QStringLiteral("Users"));
    EXPECT_EQ(folders[0].text, QStringLiteral("Users"));
    EXPECT_EQ(folders[1].key, QStringLiteral("Users\\Costs"));
    EXPECT_EQ(folders[2].key, QStringLiteral("Users\\Costs\\By month"));
    EXPECT_EQ(folders[2].text, QStringLiteral("By month"));
    EXPECT_TRUE(CatalogueFolders(QString()).isEmpty());
    const QList<CatalogueFolder> odd = CatalogueFolders(QStringLiteral("\\A\\\\B\\"));
    ASSERT_EQ(odd.size(), 2);
    EXPECT_EQ(odd[1].key, QStringLiteral("A\\B"));
}
