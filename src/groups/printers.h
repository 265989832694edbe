#pragma once

// Printers and users of one company, read from the database into grouped lists.

#include "groups/groupmanager.h"

#include "vbcore/currency.h"

namespace kv6 {

class Recordset;

// Text set through the class's own setters is trimmed; the group-item setters store it as given.
class clsPrinter : public GroupItemBase
{
public:
    qint32 Id() const { return m_id; }
    void setId(qint32 id) { m_id = id; }
    void setPrinterKey(const QString &key) { setKey(key.trimmed()); }
    void setPrinterName(const QString &name) { setName(name.trimmed()); }
    QString Port() const { return m_port; }
    void setPort(const QString &port) { m_port = port.trimmed(); }
    Currency EstCost() const { return m_estCost; }
    void setEstCost(Currency cost) { m_estCost = cost; }
    Currency EstCostColor() const { return m_estCostColor; }
    void setEstCostColor(Currency cost) { m_estCostColor = cost; }
    QString Host() const { return m_host; }
    void setHost(const QString &host) { m_host = host.trimmed(); }
    QString Model() const { return m_model; }
    void setModel(const QString &model) { m_model = model.trimmed(); }
    qint32 ConnectType() const { return m_connectType; }
    void setConnectType(qint32 type) { m_connectType = type; }
    qint32 DeviceType() const { return m_deviceType; }
    void setDeviceType(qint32 type) { m_deviceType = type; }
    bool Color() const { return m_color; }
    void setColor(bool color) { m_color = color; }
    bool Duplex() const { return m_duplex; }
    void setDuplex(bool duplex) { m_duplex = duplex; }
    QString Company() const { return m_company; }
    void setCompany(const QString &company) { m_company = company.trimmed(); }
    qint32 CompanyId() const { return m_companyId; }
    void setCompanyId(qint32 id) { m_companyId = id; }

private:
    qint32 m_id = 0;
    QString m_port;
    Currency m_estCost = Currency::fromInt(-1);
    Currency m_estCostColor = Currency::fromInt(-1);
    QString m_host;
    QString m_model;
    qint32 m_connectType = 0;
    qint32 m_deviceType = 0;
    bool m_color = false;
    bool m_duplex = false;
    QString m_company;
    qint32 m_companyId = 0;
};

class clsUser : public GroupItemBase
{
public:
    void setUserKey(const QString &key) { setKey(key.trimmed()); }
    void setUserName(const QString &name) { setName(name.trimmed()); }
    qint32 CompanyId() const { return m_companyId; }
    void setCompanyId(qint32 id) { m_companyId = id; }
    qint32 Id() const { return m_id; }
    void setId(qint32 id) { m_id = id; }
    QString Domain() const { return m_domain; }
    void setDomain(const QString &domain) { m_domain = domain.trimmed(); }
    QString Company() const { return m_company; }
    void setCompany(const QString &company) { m_company = company.trimmed(); }

private:
    qint32 m_companyId = 0;
    qint32 m_id = 0;
    QString m_domain;
    QString m_company;
};

using PrinterPtr = std::shared_ptr<clsPrinter>;
using UserPtr = std::shared_ptr<clsUser>;

// The printer of a list entry (nullptr for entries of another kind).
inline PrinterPtr AsPrinter(const GroupItemPtr &item)
{
    return std::dynamic_pointer_cast<clsPrinter>(item);
}
inline UserPtr AsUser(const GroupItemPtr &item)
{
    return std::dynamic_pointer_cast<clsUser>(item);
}

// Estimated costs every freshly loaded printer starts with.
inline const Currency StartingEstCost = Currency::fromRaw(1000);
inline const Currency StartingEstCostColor = Currency::fromRaw(2500);

class clsPrinterManager : public ListBackedGroupManager
{
public:
    clsPrinterManager();
    // Printers, then devices, into one list; stops at the first failure, keeping what loaded.
    DataResult BuildListFromData(DataConnection &connection, qint32 companyId) override;
    // The two passes over record sets already read; BuildListFromData feeds them.
    DataResult LoadPrinters(Recordset &printers);
    DataResult LoadDevices(Recordset &devices);
    bool AddGroup(const QString &name, GroupItemPtr *group = nullptr) override;
    // A printer keeps its own include flag when it moves into a group.
    bool AddItemToGroup(const QString &groupReference, const QString &itemKey) override;
};

class clsUserManager : public ListBackedGroupManager
{
public:
    clsUserManager();
    DataResult BuildListFromData(DataConnection &connection, qint32 companyId) override;
    DataResult LoadUsers(Recordset &users);
    bool AddGroup(const QString &name, GroupItemPtr *group = nullptr) override;
    // A user moved into a group takes the group's include flag.
    bool AddItemToGroup(const QString &groupReference, const QString &itemKey) override;
};

} // namespace kv6
