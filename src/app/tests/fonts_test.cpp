#include "app/fonts.h"
#include "base/clsregistry.h"
#include "base/langstrings.h"

#include "testenv.h"

#include <gtest/gtest.h>

using namespace kv6;

TEST(Fonts, RoundTripAndDefaults)
{
    kv6test::TempEnv env;
    EXPECT_EQ(LoadFont(ReportFontKey, true).family(), DefaultFont(true).family()) << "absent key";

    ASSERT_TRUE(SaveFont(ReportFontKey, QFont(QStringLiteral("DejaVu Serif"), 11)));
    const QFont back = LoadFont(ReportFontKey, true);
    EXPECT_EQ(back.family(), QStringLiteral("DejaVu Serif"));
    EXPECT_EQ(back.pointSize(), 11);
    EXPECT_EQ(LoadFont(InterfaceFontKey, false).family(), DefaultFont(false).family())
        << "the two keys are separate";

    // Values are strings; an empty name means the default font whatever the size says.
    clsRegistry reg;
    reg.setClassKey(HKEY_CURRENT_USER);
    reg.setSectionKey(ReportFontKey);
    QString err;
    EXPECT_EQ(
        reg.GetValueOrDefault(QStringLiteral("FontSize"), {}, err), QVariant(QStringLiteral("11")));
    EXPECT_EQ(reg.ValueType(), REG_SZ);
    reg.setValueType(REG_SZ);
    ASSERT_TRUE(reg.SetCreateValue(QStringLiteral("FontName"), QString(), false, err));
    EXPECT_EQ(LoadFont(ReportFontKey, true).family(), DefaultFont(true).family());
}
