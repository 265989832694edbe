#pragma once

// The analysis: the printers and users of one company with their groups, and the group files
// ("*.grp") they are loaded from and saved to.

#include "groups/printers.h"
#include "groups/simplegroups.h"

#include <memory>

namespace kv6 {

class DataConnection;

class clsAnalysis
{
public:
    qint32 CompanyId() const { return m_companyId; }
    // Nothing until one of the Initialize members has run.
    infGroupManager *PrinterManager() const { return m_printers.get(); }
    infGroupManager *UserManager() const { return m_users.get(); }
    clsPrinterManager *Printers() const { return m_printers.get(); }
    clsUserManager *Users() const { return m_users.get(); }
    bool ShowProgress() const { return m_showProgress; }
    void setShowProgress(bool show) { m_showProgress = show; }
    bool GroupsDirty() const;
    void setGroupsDirty(bool dirty);
    QString GroupFile() const { return m_groupFile; }

    DataResult InitializeDefault(DataConnection &connection, qint32 companyId);
    DataResult InitializeFromGroupFile(DataConnection &connection, const QString &path);
    DataResult InitializeFromAdminGroups(DataConnection &connection, qint32 companyId);
    DataResult RefreshItems(DataConnection &connection);

    static bool GetGroupFileCompany(const QString &path, qint32 *companyId, QString *error);
    // False with a message when the file cannot be read; a file outside the format leaves the
    // groups as they were.
    bool ApplyGroupsFromFile(const QString &path, QString *error);
    // An empty path saves to the current group file; another path becomes the current one.
    void SaveGroups(const QString &path, QString *error);
    // Writes the groups to a file that does not become the current one (a schedule's copy): the
    // group file and the unsaved-changes flag stay as they were.
    void SaveGroupsCopy(const QString &path, QString *error);
    bool ApplyGroupsFromDatabase(DataConnection &connection, const clsSimpleGroups &userGroups,
        const clsSimpleGroups &printerGroups, QString *error);

private:
    void newManagers();

    qint32 m_companyId = -1;
    std::unique_ptr<clsPrinterManager> m_printers;
    std::unique_ptr<clsUserManager> m_users;
    QString m_groupFile;
    bool m_showProgress = true;
};

} // namespace kv6
