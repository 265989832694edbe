#pragma once

// The date-range entry of a report parameter: a list of named periods and two date pickers,
// editable only for the custom range.

#include <QDate>
#include <QFont>
#include <QWidget>

class QComboBox;
class QDateEdit;
class QLabel;

namespace kv6 {

class ctlDateSelector : public QWidget
{
    Q_OBJECT
public:
    explicit ctlDateSelector(QWidget *parent = nullptr);

    QFont Font() const { return m_font; }
    void SetFont(const QFont &font);

    // False, with the message for the user, when the first day is after the last.
    bool Validate(QString &message) const;
    void GetDates(QDate &from, QDate &to) const;
    // Selects the period as a user would; for the custom range the pickers then take from and
    // to. A type the list does not hold leaves the selection as it is.
    void SetDates(int type, const QDate &from, const QDate &to);
    // The period type of the selected entry.
    int DateSelect() const;
    // Names the period list and the pickers for screen readers after the parameter's label.
    void SetAccessibleCaption(const QString &caption);

signals:
    // Once per change of the period or of either date, whoever made it.
    void Changed();

private:
    void showPeriod();

    QComboBox *m_cmbDate;
    QDateEdit *m_dtpDateFrom;
    QDateEdit *m_dtpDateTo;
    QLabel *m_lblTo;
    QFont m_font;
};

} // namespace kv6
