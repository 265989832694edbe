#include "ui/ctldateselector.h"

#include "base/langstrings.h"
#include "report/dateselector.h"
#include "vbcore/vbdatetext.h"

#include <QComboBox>
#include <QDateEdit>
#include <QHBoxLayout>
#include <QLabel>
#include <QLocale>
#include <QSignalBlocker>

namespace kv6 {

namespace {

QDateEdit *newPicker(QWidget *parent, const QString &name)
{
    auto *picker = new QDateEdit(parent);
    picker->setObjectName(name);
    picker->setCalendarPopup(true);
    // Qt's own lower limit is 1752, which would cut the "all dates" range short.
    picker->setDateRange(QDate(1601, 1, 1), QDate(9999, 12, 31));
    picker->setDisplayFormat(ShortDateFormat(QLocale()));
    return picker;
}

} // namespace

ctlDateSelector::ctlDateSelector(QWidget *parent)
    : QWidget(parent)
    , m_cmbDate(new QComboBox(this))
    , m_dtpDateFrom(newPicker(this, QStringLiteral("dtpDateFrom")))
    , m_dtpDateTo(newPicker(this, QStringLiteral("dtpDateTo")))
    , m_lblTo(new QLabel(GetLangString(900), this))
    , m_font(font())
{
    m_cmbDate->setObjectName(QStringLiteral("cmbDate"));
    m_lblTo->setObjectName(QStringLiteral("lblTo"));
    for (int type = 0; type < clsDateSelector::PeriodCount; ++type)
        m_cmbDate->addItem(clsDateSelector::SearchTypeDescription(type), type);

    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_cmbDate, 1);
    layout->addWidget(m_dtpDateFrom);
    layout->addWidget(m_lblTo);
    layout->addWidget(m_dtpDateTo);

    m_cmbDate->setCurrentIndex(0);
    showPeriod();

    connect(m_cmbDate, &QComboBox::currentIndexChanged, this, [this] {
        showPeriod();
        emit Changed();
    });
    connect(m_dtpDateFrom, &QDateEdit::dateChanged, this, &ctlDateSelector::Changed);
    connect(m_dtpDateTo, &QDateEdit::dateChanged, this, &ctlDateSelector::Changed);
}

void ctlDateSelector::SetFont(const QFont &font)
{
    m_font = font;
    ApplyFont(this, font);
}

bool ctlDateSelector::Validate(QString &message) const
{
    if (m_dtpDateFrom->date() > m_dtpDateTo->date()) {
        message = GetLangString(901);
        return false;
    }
    message.clear();
    return true;
}

void ctlDateSelector::GetDates(QDate &from, QDate &to) const
{
    from = m_dtpDateFrom->date();
    to = m_dtpDateTo->date();
}

void ctlDateSelector::SetDates(int type, const QDate &from, const QDate &to)
{
    const int index = m_cmbDate->findData(type);
    if (index < 0)
        return;
    {
        const QSignalBlocker block(m_cmbDate);
        m_cmbDate->setCurrentIndex(index);
    }
    // Recomputed even when the entry was already selected: a saved "this month" means the
    // month of today, not of the day it was saved.
    showPeriod();
    if (type == clsDateSelector::CustomRange) {
        const QSignalBlocker blockFrom(m_dtpDateFrom);
        const QSignalBlocker blockTo(m_dtpDateTo);
        m_dtpDateFrom->setDate(from);
        m_dtpDateTo->setDate(to);
    }
    emit Changed();
}

void ctlDateSelector::SetAccessibleCaption(const QString &caption)
{
    setAccessibleName(caption);
    m_cmbDate->setAccessibleName(caption);
    m_dtpDateFrom->setAccessibleName(caption);
    m_dtpDateTo->setAccessibleName(caption + QLatin1Char(' ') + m_lblTo->text());
}

int ctlDateSelector::DateSelect() const
{
    const QVariant type = m_cmbDate->currentData();
    return type.isValid() ? type.toInt() : -1;
}

void ctlDateSelector::showPeriod()
{
    const int type = DateSelect();
    QDate from = m_dtpDateFrom->date();
    QDate to = m_dtpDateTo->date();
    clsDateSelector::CalculateDateFromType(type, from, to);
    {
        const QSignalBlocker blockFrom(m_dtpDateFrom);
        const QSignalBlocker blockTo(m_dtpDateTo);
        m_dtpDateFrom->setDate(from);
        m_dtpDateTo->setDate(to);
    }
    const bool custom = type == clsDateSelector::CustomRange;
    m_dtpDateFrom->setEnabled(custom);
    m_dtpDateTo->setEnabled(custom);
}

} // namespace kv6
