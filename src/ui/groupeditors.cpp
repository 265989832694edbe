#include "ui/groupeditors.h"

#include "base/dialogs.h"
#include "base/langstrings.h"
#include "base/localeinfo.h"
#include "captions_p.h"
#include "groupgridmodel_p.h"
#include "groups/groupmanager.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace kv6 {

namespace {

QDialogButtonBox *buttons(QDialog *dialog, QPushButton *ok, QPushButton *cancel)
{
    auto *box = new QDialogButtonBox(dialog);
    box->addButton(ok, QDialogButtonBox::AcceptRole);
    box->addButton(cancel, QDialogButtonBox::RejectRole);
    ok->setDefault(true);
    QObject::connect(box, &QDialogButtonBox::accepted, dialog, &QDialog::accept);
    QObject::connect(box, &QDialogButtonBox::rejected, dialog, &QDialog::reject);
    return box;
}

} // namespace

frmGroup::frmGroup(QWidget *parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("frmGroup"));
    setWindowTitle(GetLangString(365));
    setAccessibleName(windowTitle());
    m_lblCaption
        = NameControl(new QLabel(GetLangString(54), this), "lblCaption", GetLangString(54));
    m_lblCaption->setWordWrap(true);
    m_optNew = NameControl(new QRadioButton(GetLangString(50), this), "optNew", GetLangString(50));
    m_optExisting
        = NameControl(new QRadioButton(GetLangString(51), this), "optExisting", GetLangString(51));
    m_txtNewName = NameControl(new QLineEdit(this), "txtNewName", GetLangString(52));
    m_cmbGroups = NameControl(new QComboBox(this), "cmbGroups", GetLangString(53));
    m_cmdOK = NameControl(new QPushButton(GetLangString(55), this), "cmdOK", GetLangString(55));
    m_cmdClose
        = NameControl(new QPushButton(GetLangString(56), this), "cmdClose", GetLangString(56));
    auto *lblName = new QLabel(GetLangString(52), this);
    lblName->setBuddy(m_txtNewName);
    auto *lblGroups = new QLabel(GetLangString(53), this);
    lblGroups->setBuddy(m_cmbGroups);

    auto *grid = new QGridLayout;
    grid->addWidget(m_optNew, 0, 0, 1, 2);
    grid->addWidget(lblName, 1, 0);
    grid->addWidget(m_txtNewName, 1, 1);
    grid->addWidget(m_optExisting, 2, 0, 1, 2);
    grid->addWidget(lblGroups, 3, 0);
    grid->addWidget(m_cmbGroups, 3, 1);
    grid->setColumnMinimumWidth(0, 24);
    grid->setColumnStretch(1, 1);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_lblCaption);
    layout->addLayout(grid);
    layout->addWidget(buttons(this, m_cmdOK, m_cmdClose));
    setMinimumWidth(380);
    connect(m_optNew, &QRadioButton::toggled, this, &frmGroup::updateEnabled);
}

void frmGroup::updateEnabled()
{
    m_txtNewName->setEnabled(m_optNew->isChecked());
    m_cmbGroups->setEnabled(m_optExisting->isChecked());
}

bool frmGroup::AddItemsToGroup(infGroupManager &manager, const QStringList &itemKeys)
{
    m_manager = &manager;
    m_keys = itemKeys;
    m_cmbGroups->clear();
    for (const GroupItemPtr &g : manager.Groups())
        m_cmbGroups->addItem(g->Name(), int(g->Number()));
    m_cmbGroups->setCurrentIndex(-1);
    m_txtNewName->clear();
    m_optNew->setChecked(true);
    updateEnabled();
    m_txtNewName->setFocus();
    const bool done = exec() == QDialog::Accepted;
    m_manager = nullptr;
    return done;
}

void frmGroup::accept()
{
    if (!m_manager)
        return QDialog::accept();
    QString target;
    if (m_optNew->isChecked()) {
        const QString name = m_txtNewName->text().trimmed();
        if (name.isEmpty()) {
            MsgBox(GetLangString(57), MsgIcon::Exclamation);
            return;
        }
        GroupItemPtr group;
        // The manager names a duplicate itself.
        if (!m_manager->AddGroup(name, &group) || !group)
            return;
        target = group->Key();
    } else {
        if (m_cmbGroups->currentIndex() < 0) {
            MsgBox(GetLangString(58), MsgIcon::Exclamation);
            return;
        }
        const GroupItemPtr group = m_manager->GetGroup(m_cmbGroups->currentData());
        if (!group)
            return;
        target = group->Key();
    }
    for (const QString &key : std::as_const(m_keys))
        m_manager->AddItemToGroup(target, key);
    QDialog::accept();
}

frmEditPrinters::frmEditPrinters(QWidget *parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("frmEditPrinters"));
    setWindowTitle(GetLangString(366));
    setAccessibleName(windowTitle());
    m_lblCaption = NameControl(new QLabel(GetLangString(4), this), "lblCaption", GetLangString(4));
    m_lblCaption->setWordWrap(true);
    m_chkInclude
        = NameControl(new QCheckBox(GetLangString(1), this), "chkInclude", GetLangString(1));
    m_chkInclude->setTristate(true);
    m_txtEstBW = NameControl(new QLineEdit(this), "txtEstBW", GetLangString(2));
    m_txtEstColor = NameControl(new QLineEdit(this), "txtEstColor", GetLangString(3));
    for (QLineEdit *box : { m_txtEstBW, m_txtEstColor }) {
        box->setAlignment(Qt::AlignRight);
        box->installEventFilter(this);
    }
    m_cmdOK = NameControl(new QPushButton(GetLangString(5), this), "cmdOK", GetLangString(5));
    m_cmdCancel
        = NameControl(new QPushButton(GetLangString(6), this), "cmdCancel", GetLangString(6));
    auto *form = new QFormLayout;
    form->addRow(m_chkInclude);
    form->addRow(GetLangString(2), m_txtEstBW);
    form->addRow(GetLangString(3), m_txtEstColor);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_lblCaption);
    layout->addLayout(form);
    layout->addWidget(buttons(this, m_cmdOK, m_cmdCancel));
    setMinimumWidth(420);
}

bool frmEditPrinters::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::KeyPress && (watched == m_txtEstBW || watched == m_txtEstColor)) {
        auto *key = static_cast<QKeyEvent *>(event);
        ushort code = 0;
        if (key->key() == Qt::Key_Backspace)
            code = 8;
        else if (key->text().size() == 1 && key->text().at(0).isPrint())
            code = key->text().at(0).unicode();
        // Keys without text (arrows, delete, shortcuts) edit as usual.
        if (code && !(key->modifiers() & (Qt::ControlModifier | Qt::AltModifier))
            && FilterNumericKey(code, false, true) == 0)
            return true;
    }
    return QDialog::eventFilter(watched, event);
}

bool frmEditPrinters::EditPrinters(int &include, Currency &costBW, Currency &costColor)
{
    m_txtEstBW->clear();
    m_txtEstColor->clear();
    m_chkInclude->setCheckState(Qt::PartiallyChecked);
    m_txtEstBW->setFocus();
    if (exec() != QDialog::Accepted)
        return false;
    include = m_include;
    costBW = m_costBW;
    costColor = m_costColor;
    return true;
}

void frmEditPrinters::accept()
{
    const std::optional<Currency> bw = ParseCostText(m_txtEstBW->text());
    if (!bw) {
        MsgBox(GetLangString(7), MsgIcon::Exclamation);
        m_txtEstBW->setFocus();
        return;
    }
    const std::optional<Currency> color = ParseCostText(m_txtEstColor->text());
    if (!color) {
        MsgBox(GetLangString(8), MsgIcon::Exclamation);
        m_txtEstColor->setFocus();
        return;
    }
    m_costBW = *bw;
    m_costColor = *color;
    m_include = m_chkInclude->checkState() == Qt::PartiallyChecked
        ? 2
        : (m_chkInclude->checkState() == Qt::Checked ? 1 : 0);
    QDialog::accept();
}

} // namespace kv6
