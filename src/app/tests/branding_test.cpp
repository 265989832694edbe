#include "app/branding.h"
#include "base/startupvalues.h"

#include "testenv.h"

#include <gtest/gtest.h>

using namespace kv6;

TEST(Branding, DefaultsWithoutAnyBrandingFolder)
{
    kv6test::TempEnv env;
    clsKV6Branding b(env.path(QStringLiteral("no-such-common")));
    EXPECT_FALSE(b.loaded());
    EXPECT_EQ(b.ProductName(), QStringLiteral("Korvane 6"));
    EXPECT_EQ(b.CompanyNameFull(), QStringLiteral("Korvane Inc."));
    EXPECT_EQ(b.ReportFooter(), QStringLiteral("Korvane 6"));
    EXPECT_TRUE(b.ReportLogo().isNull());
    EXPECT_TRUE(b.AboutIcon(48, 48).isNull());
    EXPECT_TRUE(b.SplashScreen(1).isNull());
    EXPECT_TRUE(b.SplashScreen(5).isNull());
    EXPECT_EQ(b.ApplicationName(0), QStringLiteral("Unknown"));
    EXPECT_EQ(b.ApplicationName(5), QStringLiteral("Unknown"));
    EXPECT_FALSE(b.ApplicationName(3).isEmpty());
}

TEST(Branding, ReadsStringsAndPicturesFromTheFolder)
{
    kv6test::TempEnv env;
    const QString common = env.path(QStringLiteral("common"));
    kv6test::writeFile(common + QStringLiteral("/kvmark/strings.txt"),
        "103\t  Acme Print  \n109\t255\n110\t   \n114\tAcme footer\n113\tAcme Client\n");
    QImage logo(40, 20, QImage::Format_RGB32);
    logo.fill(Qt::red);
    ASSERT_TRUE(logo.save(common + QStringLiteral("/kvmark/114.png")));
    ASSERT_TRUE(logo.save(common + QStringLiteral("/kvmark/118.png")));

    clsKV6Branding b(common);
    EXPECT_EQ(b.ProductName(), QStringLiteral("Acme Print")); // trimmed
    EXPECT_EQ(b.ReportColorMain(), 255u);
    EXPECT_EQ(b.ReportColorSub(), 6737151u) << "a blank string counts as missing";
    EXPECT_EQ(b.ReportFooter(), QStringLiteral("Acme footer"));
    EXPECT_EQ(b.ReportLogo().size(), QSize(40, 20)); // id 114 is a text and a picture
    EXPECT_EQ(b.AboutIcon(48, 48).width(), 48);
    EXPECT_EQ(b.ApplicationName(4), QStringLiteral("Acme Client"));

    QByteArray bytes;
    ASSERT_TRUE(b.ResourceBytes(114, bytes));
    const QString out = env.path(QStringLiteral("copy.png"));
    ASSERT_TRUE(clsKV6Branding::WriteBytesToFile(bytes, out));
    EXPECT_EQ(QImage(out).size(), QSize(40, 20));
    EXPECT_FALSE(b.ResourceBytes(999, bytes));
    EXPECT_FALSE(clsKV6Branding::WriteBytesToFile(bytes, env.path(QStringLiteral("none/x.png"))));
}

TEST(Branding, OverridesAndTheReportBrandingReset)
{
    kv6test::TempEnv env;
    CreateBranding(env.path(QStringLiteral("empty")));
    Branding().OverrideReportColors(123, UserLogoSubColor, false);
    EXPECT_EQ(Branding().ReportColorSub(), 0xD2D2D2u);
    EXPECT_EQ(Branding().ReportColorMain(), 123u);

    ResetReportBranding();
    EXPECT_EQ(Branding().ReportColorMain(), 11366423u);
    EXPECT_EQ(Branding().ReportColorSub(), 6737151u);
    ASSERT_FALSE(Startup().ReportLogoPicture.isNull()) << "the built-in picture stands in";
    EXPECT_EQ(Startup().ReportLogoPicture, BuiltInReportLogo());

    QImage own(10, 10, QImage::Format_RGB32);
    own.fill(Qt::green);
    ApplyUserReportLogo(own);
    EXPECT_EQ(Startup().ReportLogoPicture, own);
    EXPECT_EQ(Branding().ReportColorSub(), UserLogoSubColor);
    EXPECT_EQ(Branding().ReportColorMain(), 11366423u);
}

TEST(Branding, ScheduledReportNameUsesBothReplacements)
{
    kv6test::TempEnv env;
    const QString common = env.path(QStringLiteral("common"));
    kv6test::writeFile(common + QStringLiteral("/kvmark/strings.txt"), "103\tAcme: Print.Pro\n");
    CreateBranding(common);
    EXPECT_EQ(ScheduledReportName(QStringLiteral("Floor 2/Costs: May")),
        QStringLiteral("Acme  Print Pro Report - Floor 2_Costs_ May"));
}
