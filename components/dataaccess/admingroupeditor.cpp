#include "dataaccess/admingroupeditor.h"

#include "base/dialogs.h"
#include "dataaccess/dataaccessglobal.h"
#include "dataaccess/dataconnection.h"
#include "dataaccess/datasettings.h"

#include <QDialogButtonBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSet>
#include <QVBoxLayout>

namespace kv6 {

namespace {
constexpr int IdRole = Qt::UserRole;

QListWidget *makeList(QWidget *parent, const char *name, QAbstractItemView::SelectionMode mode)
{
    auto *list = new QListWidget(parent);
    list->setObjectName(QString::fromLatin1(name));
    list->setSelectionMode(mode);
    return list;
}

QPushButton *makeButton(QWidget *parent, const char *name, const QString &text)
{
    auto *button = new QPushButton(text, parent);
    button->setObjectName(QString::fromLatin1(name));
    button->setAutoDefault(false);
    return button;
}

QList<int> selectedIds(const QListWidget *list)
{
    QList<int> ids;
    for (int row = 0; row < list->count(); ++row)
        if (list->item(row)->isSelected())
            ids << list->item(row)->data(IdRole).toInt();
    return ids;
}
} // namespace

AdminGroupEditor::AdminGroupEditor(
    DataConnection &connection, int objectType, int companyId, QWidget *parent)
    : QDialog(parent)
    , m_connection(connection)
    , m_objectType(objectType)
    , m_companyId(companyId)
{
    const bool printers = objectType == AdminObjectPrinter;
    setObjectName(QStringLiteral("frmAdminGroups"));
    setWindowTitle(printers ? DialogText(409, QStringLiteral("Printer Groups"))
                            : DialogText(408, QStringLiteral("User Groups")));

    m_lstGroups = makeList(this, "lstGroups", QAbstractItemView::SingleSelection);
    m_txtName = new QLineEdit(this);
    m_txtName->setObjectName(QStringLiteral("txtName"));
    m_cmdNew = makeButton(this, "cmdNew", tr("&New"));
    m_cmdRename = makeButton(this, "cmdRename", tr("Re&name"));
    m_cmdDelete = makeButton(this, "cmdDelete", DialogText(652, QStringLiteral("&Delete")));
    m_lstMembers = makeList(this, "lstMembers", QAbstractItemView::ExtendedSelection);
    m_lstAvailable = makeList(this, "lstAvailable", QAbstractItemView::ExtendedSelection);
    m_cmdAdd = makeButton(this, "cmdAdd", tr("< &Add"));
    m_cmdRemove = makeButton(this, "cmdRemove", tr("&Remove >"));

    auto *nameRow = new QHBoxLayout;
    auto *nameLabel = new QLabel(DialogText(52, QStringLiteral("Group na&me:")), this);
    nameLabel->setBuddy(m_txtName);
    nameRow->addWidget(nameLabel);
    nameRow->addWidget(m_txtName, 1);
    nameRow->addWidget(m_cmdNew);
    nameRow->addWidget(m_cmdRename);
    nameRow->addWidget(m_cmdDelete);

    auto *moveColumn = new QVBoxLayout;
    moveColumn->addStretch(1);
    moveColumn->addWidget(m_cmdAdd);
    moveColumn->addWidget(m_cmdRemove);
    moveColumn->addStretch(1);

    auto *grid = new QGridLayout;
    grid->addWidget(new QLabel(tr("Groups:"), this), 0, 0);
    grid->addWidget(new QLabel(tr("Members:"), this), 0, 1);
    grid->addWidget(new QLabel(printers ? tr("Other printers:") : tr("Other users:"), this), 0, 3);
    grid->addWidget(m_lstGroups, 1, 0);
    grid->addWidget(m_lstMembers, 1, 1);
    grid->addLayout(moveColumn, 1, 2);
    grid->addWidget(m_lstAvailable, 1, 3);

    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    buttons->button(QDialogButtonBox::Close)->setObjectName(QStringLiteral("cmdClose"));

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(nameRow);
    layout->addLayout(grid, 1);
    layout->addWidget(buttons);

    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(m_cmdNew, &QPushButton::clicked, this, [this] { createGroup(); });
    connect(m_cmdRename, &QPushButton::clicked, this, [this] { renameGroup(); });
    connect(m_cmdDelete, &QPushButton::clicked, this, [this] { deleteGroup(); });
    connect(m_cmdAdd, &QPushButton::clicked, this, [this] { addMembers(); });
    connect(m_cmdRemove, &QPushButton::clicked, this, [this] { removeMembers(); });
    connect(m_lstGroups, &QListWidget::currentRowChanged, this, [this] {
        if (!m_loading)
            report(loadCurrentGroup());
    });
    connect(
        m_lstMembers, &QListWidget::itemSelectionChanged, this, &AdminGroupEditor::updateEnabled);
    connect(
        m_lstAvailable, &QListWidget::itemSelectionChanged, this, &AdminGroupEditor::updateEnabled);

    report(reloadGroups(0));
}

int AdminGroupEditor::currentGroupId() const
{
    const QListWidgetItem *item = m_lstGroups->currentItem();
    return item ? item->data(IdRole).toInt() : 0;
}

void AdminGroupEditor::selectGroup(int groupId)
{
    for (int row = 0; row < m_lstGroups->count(); ++row)
        if (m_lstGroups->item(row)->data(IdRole).toInt() == groupId) {
            m_lstGroups->setCurrentRow(row);
            return;
        }
}

DataResult AdminGroupEditor::report(DataResult e)
{
    if (e)
        MsgBox(e->Description(), MsgIcon::Exclamation, MsgButtons::OK,
            DataAccessGlobal::ProductName());
    updateEnabled();
    return e;
}

void AdminGroupEditor::updateEnabled()
{
    const bool group = currentGroupId() != 0;
    m_cmdRename->setEnabled(group);
    m_cmdDelete->setEnabled(group);
    m_cmdAdd->setEnabled(group && !m_lstAvailable->selectedItems().isEmpty());
    m_cmdRemove->setEnabled(group && !m_lstMembers->selectedItems().isEmpty());
}

DataResult AdminGroupEditor::reloadGroups(int selectId)
{
    m_loading = true;
    m_lstGroups->clear();
    m_lstMembers->clear();
    m_lstAvailable->clear();
    RecordsetPtr groups;
    DataResult e = m_objectType == AdminObjectPrinter
        ? DataSettings::GetAdminPrinterGroups(m_connection, m_companyId, groups)
        : DataSettings::GetAdminUserGroups(m_connection, m_companyId, groups);
    if (!e) {
        for (int row = 0; row < groups->RecordCount(); ++row) {
            auto *item = new QListWidgetItem(groups->ValueAt(row, 1).toString(), m_lstGroups);
            item->setData(IdRole, groups->ValueAt(row, 0));
        }
    }
    m_loading = false;
    if (e)
        return e;
    if (selectId != 0)
        selectGroup(selectId);
    if (currentGroupId() == 0 && m_lstGroups->count() > 0)
        m_lstGroups->setCurrentRow(0); // loads it
    else if (currentGroupId() != 0)
        return loadCurrentGroup();
    return std::nullopt;
}

DataResult AdminGroupEditor::loadCurrentGroup()
{
    m_lstMembers->clear();
    m_lstAvailable->clear();
    const int groupId = currentGroupId();
    if (groupId == 0)
        return std::nullopt;
    AdminGroup group;
    if (DataResult e = DataSettings::LoadAdminGroup(m_connection, groupId, group))
        return e;
    m_txtName->setText(group.Name());
    QSet<int> members;
    for (const AdminGroup::Member &m : group.Members()) {
        members.insert(m.id);
        const QString text = m.name.isEmpty() ? tr("(deleted, id %1)").arg(m.id) : m.name;
        auto *item = new QListWidgetItem(text, m_lstMembers);
        item->setData(IdRole, m.id);
    }
    // A company's group takes members of that company only; a suite-wide one takes any.
    const int company = group.CompanyId();
    QList<RecordsetPtr> candidates;
    if (m_objectType == AdminObjectPrinter) {
        RecordsetPtr printers, devices;
        if (DataResult e = DataSettings::GetPrinters(m_connection, company, printers))
            return e;
        if (DataResult e = DataSettings::GetDevices(m_connection, 1, true, {}, company, devices))
            return e;
        candidates << printers << devices;
    } else {
        RecordsetPtr users;
        if (DataResult e = DataSettings::GetUsers(m_connection, company, users))
            return e;
        candidates << users;
    }
    const bool allCompanies = m_companyId == -1 && company == -1;
    for (const RecordsetPtr &rs : std::as_const(candidates)) {
        const int nameField
            = rs->FieldIndex(m_objectType == AdminObjectPrinter ? QStringLiteral("Name")
                                                                : QStringLiteral("DisplayName"));
        const int companyField = rs->FieldIndex(QStringLiteral("CompanyName"));
        for (int row = 0; row < rs->RecordCount(); ++row) {
            const int id = rs->ValueAt(row, 0).toInt();
            if (members.contains(id))
                continue;
            QString text = rs->ValueAt(row, nameField).toString();
            if (allCompanies)
                text += QStringLiteral(" (%1)").arg(rs->ValueAt(row, companyField).toString());
            auto *item = new QListWidgetItem(text, m_lstAvailable);
            item->setData(IdRole, id);
        }
    }
    updateEnabled();
    return std::nullopt;
}

DataResult AdminGroupEditor::createGroup()
{
    const QString name = m_txtName->text().trimmed();
    if (name.isEmpty()) {
        const QString text
            = DialogText(57, QStringLiteral("Please enter a name for the new group."));
        MsgBox(text, MsgIcon::Exclamation, MsgButtons::OK, DataAccessGlobal::ProductName());
        m_txtName->setFocus();
        return DataError(dataErrInvalid, text);
    }
    int groupId = 0;
    if (DataResult e
        = DataSettings::CreateAdminGroup(m_connection, m_objectType, name, m_companyId, 0, groupId))
        return report(e);
    return report(reloadGroups(groupId));
}

DataResult AdminGroupEditor::renameGroup()
{
    const int groupId = currentGroupId();
    if (groupId == 0)
        return std::nullopt;
    if (DataResult e = DataSettings::RenameAdminGroup(m_connection, groupId, m_txtName->text()))
        return report(e);
    return report(reloadGroups(groupId));
}

DataResult AdminGroupEditor::deleteGroup()
{
    const int groupId = currentGroupId();
    if (groupId == 0)
        return std::nullopt;
    if (MsgBox(
            DialogText(658,
                QStringLiteral("Do you want to delete the selected item? This cannot be undone.")),
            MsgIcon::Exclamation, MsgButtons::YesNo, DataAccessGlobal::ProductName())
        != MsgAnswer::Yes)
        return std::nullopt;
    if (DataResult e = DataSettings::DeleteAdminGroup(m_connection, groupId))
        return report(e);
    m_txtName->clear();
    return report(reloadGroups(0));
}

DataResult AdminGroupEditor::addMembers()
{
    const int groupId = currentGroupId();
    for (int id : selectedIds(m_lstAvailable)) {
        if (DataResult e = DataSettings::AddAdminGroupMember(m_connection, groupId, id)) {
            loadCurrentGroup();
            return report(e);
        }
    }
    return report(loadCurrentGroup());
}

DataResult AdminGroupEditor::removeMembers()
{
    const int groupId = currentGroupId();
    for (int id : selectedIds(m_lstMembers)) {
        if (DataResult e = DataSettings::RemoveAdminGroupMember(m_connection, groupId, id)) {
            loadCurrentGroup();
            return report(e);
        }
    }
    return report(loadCurrentGroup());
}

} // namespace kv6
