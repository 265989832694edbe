#include "base/langstrings.h"
#include "report/dateselector.h"
#include "ui/ctldateselector.h"

#include "testscopes.h"

#include <gtest/gtest.h>
#include <QComboBox>
#include <QDateEdit>
#include <QLabel>
#include <QSignalSpy>
#include <QTest>

#include <memory>

using namespace kv6;

namespace {

using DS = clsDateSelector;

class DateSelectorControl : public ::testing::Test
{
protected:
    void SetUp() override { create(); }
    void create()
    {
        control = std::make_unique<ctlDateSelector>();
        control->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(control.get()));
        cmb = control->findChild<QComboBox *>(QStringLiteral("cmbDate"));
        from = control->findChild<QDateEdit *>(QStringLiteral("dtpDateFrom"));
        to = control->findChild<QDateEdit *>(QStringLiteral("dtpDateTo"));
        lbl = control->findChild<QLabel *>(QStringLiteral("lblTo"));
        ASSERT_TRUE(cmb && from && to && lbl);
    }
    // Moves the list to the entry with the type as a user does, with the keyboard.
    void pick(int type)
    {
        cmb->setFocus();
        while (control->DateSelect() < type)
            QTest::keyClick(cmb, Qt::Key_Down);
        while (control->DateSelect() > type)
            QTest::keyClick(cmb, Qt::Key_Up);
    }
    std::pair<QDate, QDate> dates() const
    {
        QDate f, t;
        control->GetDates(f, t);
        return { f, t };
    }
    static std::pair<QDate, QDate> computed(int type)
    {
        QDate f, t;
        DS::CalculateDateFromType(type, f, t);
        return { f, t };
    }

    kv6test::ShippedLanguage language;
    kv6test::UsEnglishLocale locale;
    std::unique_ptr<ctlDateSelector> control;
    QComboBox *cmb = nullptr;
    QDateEdit *from = nullptr;
    QDateEdit *to = nullptr;
    QLabel *lbl = nullptr;
};

} // namespace

TEST_F(DateSelectorControl, StartsWithEveryPeriodAndTheWholeRangeAndPickingShowsTheDates)
{
    EXPECT_EQ(lbl->text(), GetLangString(900));
    ASSERT_EQ(cmb->count(), DS::PeriodCount);
    for (int i = 0; i < cmb->count(); ++i) {
        EXPECT_EQ(cmb->itemData(i).toInt(), i);
        EXPECT_EQ(cmb->itemText(i), DS::SearchTypeDescription(i));
    }
    EXPECT_EQ(control->DateSelect(), DS::AllDates);
    EXPECT_FALSE(from->isEnabled());
    EXPECT_FALSE(to->isEnabled());
    // The pickers must reach back past their toolkit's usual lower limit.
    EXPECT_EQ(dates(), std::make_pair(QDate(1601, 1, 1), QDate(9999, 12, 31)));
    QString message = QStringLiteral("stale");
    EXPECT_TRUE(control->Validate(message));
    EXPECT_TRUE(message.isEmpty());

    // Picking an entry shows its dates and locks the pickers, unless it is the custom range.
    QSignalSpy changed(control.get(), &ctlDateSelector::Changed);
    for (int type = 1; type < DS::PeriodCount; ++type) {
        changed.clear();
        pick(type);
        SCOPED_TRACE(type);
        EXPECT_EQ(control->DateSelect(), type);
        EXPECT_EQ(dates(), computed(type));
        EXPECT_EQ(from->isEnabled(), type == DS::CustomRange);
        EXPECT_EQ(to->isEnabled(), type == DS::CustomRange);
        EXPECT_EQ(changed.count(), 1) << "one notice per choice, not one per picker";
    }
    // Going back to a fixed period locks the pickers again.
    pick(DS::LastYear);
    EXPECT_FALSE(from->isEnabled());
    QTest::keyClick(from, Qt::Key_Up);
    EXPECT_EQ(dates(), computed(DS::LastYear)) << "a locked picker ignores the keyboard";
}

TEST_F(DateSelectorControl, CustomRangeIsEditedAndValidated)
{
    pick(DS::CustomRange);
    const auto [monthStart, monthEnd] = dates();
    ASSERT_EQ(monthStart.day(), 1);

    QSignalSpy changed(control.get(), &ctlDateSelector::Changed);
    from->setFocus();
    from->setCurrentSection(QDateTimeEdit::YearSection);
    QTest::keyClick(from, Qt::Key_Up);
    EXPECT_EQ(dates().first, monthStart.addYears(1));
    EXPECT_EQ(changed.count(), 1);

    QString message;
    EXPECT_FALSE(control->Validate(message));
    EXPECT_EQ(message, GetLangString(901));

    to->setFocus();
    to->setCurrentSection(QDateTimeEdit::YearSection);
    QTest::keyClick(to, Qt::Key_Up);
    EXPECT_EQ(dates().second, monthEnd.addYears(1));
    EXPECT_TRUE(control->Validate(message));
    EXPECT_TRUE(message.isEmpty());

    // A single day is a valid range; one day the wrong way round is not.
    const QDate day(2024, 2, 29);
    control->SetDates(DS::CustomRange, day, day);
    EXPECT_TRUE(control->Validate(message));
    control->SetDates(DS::CustomRange, day, day.addDays(-1));
    EXPECT_FALSE(control->Validate(message));
    EXPECT_EQ(message, GetLangString(901));
}

TEST_F(DateSelectorControl, SetDatesSelectsAndComputesLikeAChoice)
{
    QSignalSpy changed(control.get(), &ctlDateSelector::Changed);
    const QDate a(2021, 3, 4), b(2021, 5, 6);

    control->SetDates(DS::CustomRange, a, b);
    EXPECT_EQ(control->DateSelect(), DS::CustomRange);
    EXPECT_EQ(dates(), std::make_pair(a, b));
    EXPECT_TRUE(from->isEnabled());
    EXPECT_EQ(changed.count(), 1);

    // A fixed period computes its own dates; the ones given are ignored.
    control->SetDates(DS::LastMonth, a, b);
    EXPECT_EQ(control->DateSelect(), DS::LastMonth);
    EXPECT_EQ(dates(), computed(DS::LastMonth));
    EXPECT_FALSE(to->isEnabled());

    // Saved dates from before the pickers' range are clamped, not lost to an invalid date.
    control->SetDates(DS::CustomRange, QDate(1500, 1, 1), b);
    EXPECT_EQ(dates().first, QDate(1601, 1, 1));

    // A type the list does not hold changes nothing.
    control->SetDates(DS::ThisQuarter, a, b);
    changed.clear();
    control->SetDates(42, a, b);
    EXPECT_EQ(control->DateSelect(), DS::ThisQuarter);
    EXPECT_EQ(dates(), computed(DS::ThisQuarter));
    EXPECT_EQ(changed.count(), 0);
}

// The pickers show the short date with four-digit years, in the control's font.
TEST_F(DateSelectorControl, PickersShowTheShortDateWithFourDigitYearsInTheControlsFont)
{
    QFont big = control->Font();
    big.setFamily(QStringLiteral("DejaVu Sans"));
    big.setPointSizeF(big.pointSizeF() + 6);
    control->SetFont(big);
    // That it reaches every child is ApplyFont's (LangFont test); here, that the control uses it.
    EXPECT_EQ(from->font().family(), big.family());
    EXPECT_DOUBLE_EQ(from->font().pointSizeF(), big.pointSizeF());

    control->SetDates(DS::CustomRange, QDate(2024, 3, 5), QDate(2024, 12, 31));
    EXPECT_EQ(from->text(), QStringLiteral("3/5/2024"));
    EXPECT_EQ(to->text(), QStringLiteral("12/31/2024"));

    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    create();
    control->SetDates(DS::CustomRange, QDate(2024, 3, 5), QDate(2024, 12, 31));
    EXPECT_EQ(from->text(), QStringLiteral("05.03.2024"));
    EXPECT_EQ(to->text(), QStringLiteral("31.12.2024"));
}
