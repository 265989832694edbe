#include "base/langstrings.h"
#include "ui/progress.h"

#include "testscopes.h"

#include <gtest/gtest.h>
#include <QPushButton>
#include <QTest>

using namespace kv6;

namespace {
class Progress : public ::testing::Test
{
protected:
    kv6test::ShippedLanguage language;
    frmProgress window;
};
} // namespace

TEST_F(Progress, RangeIncrementAndIgnoredValues)
{
    window.Initialize(QStringLiteral("Loading printers"), 1, nullptr, true);
    EXPECT_EQ(window.windowTitle(), QStringLiteral("Loading printers"));
    EXPECT_EQ(window.MaxValue(), 2) << "a maximum of 1 still gives a bar of 1 to 2";
    EXPECT_EQ(window.ProgressValue(), 1);
    window.Increment();
    EXPECT_EQ(window.ProgressValue(), 2);
    window.Increment();
    EXPECT_EQ(window.ProgressValue(), 2) << "nothing happens at the maximum";
    window.setProgressValue(0);
    EXPECT_EQ(window.ProgressValue(), 2);
    window.setProgressValue(3);
    EXPECT_EQ(window.ProgressValue(), 2);

    window.Reset(QString(), 50);
    EXPECT_EQ(window.windowTitle(), QStringLiteral("Loading printers"));
    EXPECT_EQ(window.MaxValue(), 50);
    EXPECT_EQ(window.ProgressValue(), 1);
    window.setProgressValue(30);
    window.Reset(QStringLiteral("Again"), -1);
    EXPECT_EQ(window.ProgressValue(), 1);
    EXPECT_EQ(window.MaxValue(), 50);
    window.SetToMax();
    EXPECT_EQ(window.ProgressValue(), 50);
}

TEST_F(Progress, StatusLineFollowsTheInterval)
{
    window.Initialize(QStringLiteral("Building"), 35, nullptr, true, false, 10);
    QStringList seen { window.statusText() };
    EXPECT_EQ(seen[0], QString()) << "1 is not a multiple of 10";
    for (int i = 0; i < 34; ++i) {
        window.Increment();
        if (seen.last() != window.statusText())
            seen.append(window.statusText());
    }
    // Written at 10, 20 and 30 only.
    ASSERT_EQ(seen.size(), 4) << seen.join(QLatin1Char('|')).toStdString();
    EXPECT_EQ(seen[1], GetLangString(1402, QStringLiteral("10"), QStringLiteral("35")));
    EXPECT_EQ(seen[3], GetLangString(1402, QStringLiteral("30"), QStringLiteral("35")));
}

TEST_F(Progress, IndeterminateModeAndCancel)
{
    window.Initialize(QStringLiteral("Reading"), 0, nullptr, true, true);
    EXPECT_TRUE(window.indeterminate());
    EXPECT_EQ(window.MaxValue(), 0);
    EXPECT_EQ(window.statusText(), GetLangString(1403));
    QTest::qWait(350);
    EXPECT_GT(window.ProgressValue(), 1) << "the timer moves the bar";

    auto *cancel = window.findChild<QPushButton *>(QStringLiteral("cmdCancel"));
    ASSERT_NE(cancel, nullptr);
    EXPECT_EQ(cancel->text(), GetLangString(1401));
    EXPECT_FALSE(window.Cancelled());
    cancel->click();
    EXPECT_TRUE(window.Cancelled());
    window.Reset(QString(), 10);
    EXPECT_FALSE(window.indeterminate());
    EXPECT_TRUE(window.Cancelled()) << "the flag stays until the next Initialize";
    window.Shutdown();
    window.Initialize(QStringLiteral("Next"), 5, nullptr, false);
    EXPECT_FALSE(window.Cancelled());
}
