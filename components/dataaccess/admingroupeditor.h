#pragma once

// The plain administration group editor: the administration groups of printers or of users that
// a company's reports can choose from (its own and the suite-wide ones), and their members. Each
// change is written to the database at once; failures are shown through the message façade.
// New groups belong to the editor's company, or to the whole suite when it shows all companies.

#include "dataaccess/dataerror.h"

#include <QDialog>

class QLineEdit;
class QListWidget;
class QPushButton;

namespace kv6 {

class DataConnection;

class AdminGroupEditor : public QDialog
{
    Q_OBJECT
public:
    // objectType AdminObjectPrinter or AdminObjectUser (datasettings.h).
    AdminGroupEditor(
        DataConnection &connection, int objectType, int companyId, QWidget *parent = nullptr);

    // The selected group's id, 0 when none is selected.
    int currentGroupId() const;
    void selectGroup(int groupId);

    // The buttons' actions. Each returns the error it showed, nothing on success or when the
    // user declined.
    DataResult createGroup();
    DataResult renameGroup();
    DataResult deleteGroup();
    DataResult addMembers();
    DataResult removeMembers();

private:
    DataResult reloadGroups(int selectId);
    DataResult loadCurrentGroup();
    DataResult report(DataResult e);
    void updateEnabled();

    DataConnection &m_connection;
    int m_objectType;
    int m_companyId;
    bool m_loading = false;
    QListWidget *m_lstGroups;
    QLineEdit *m_txtName;
    QPushButton *m_cmdNew;
    QPushButton *m_cmdRename;
    QPushButton *m_cmdDelete;
    QListWidget *m_lstMembers;
    QListWidget *m_lstAvailable;
    QPushButton *m_cmdAdd;
    QPushButton *m_cmdRemove;
};

} // namespace kv6
