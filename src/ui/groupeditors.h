#pragma once

// The two small editors of the grids: putting the selected printers or users into a group, and
// setting the inclusion and estimated costs of the selected printers at once.

#include "vbcore/currency.h"

#include <QDialog>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace kv6 {

class infGroupManager;

class frmGroup : public QDialog
{
    Q_OBJECT
public:
    explicit frmGroup(QWidget *parent = nullptr);
    // Modal; true when the items were put into a group.
    bool AddItemsToGroup(infGroupManager &manager, const QStringList &itemKeys);
    void accept() override;

private:
    void updateEnabled();

    QRadioButton *m_optNew;
    QRadioButton *m_optExisting;
    QLineEdit *m_txtNewName;
    QComboBox *m_cmbGroups;
    QLabel *m_lblCaption;
    QPushButton *m_cmdOK;
    QPushButton *m_cmdClose;
    infGroupManager *m_manager = nullptr;
    QStringList m_keys;
};

// The include state of frmEditPrinters: Qt's check states, 2 meaning "leave as it is".
class frmEditPrinters : public QDialog
{
    Q_OBJECT
public:
    explicit frmEditPrinters(QWidget *parent = nullptr);
    // Modal; true when confirmed. A cost of -1 and an include state of 2 leave the value as it is.
    bool EditPrinters(int &include, Currency &costBW, Currency &costColor);
    void accept() override;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QCheckBox *m_chkInclude;
    QLineEdit *m_txtEstBW;
    QLineEdit *m_txtEstColor;
    QLabel *m_lblCaption;
    QPushButton *m_cmdOK;
    QPushButton *m_cmdCancel;
    int m_include = 2;
    Currency m_costBW;
    Currency m_costColor;
};

} // namespace kv6
