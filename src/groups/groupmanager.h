#pragma once

// A list of printers or users with its groups, as the rest of the program sees it.

#include "groups/groupitem.h"
#include "groups/listmanager.h"

#include "dataaccess/dataerror.h"

#include <QList>
#include <QVariant>

namespace kv6 {

class DataConnection;

class infGroupManager
{
public:
    virtual ~infGroupManager() = default;
    virtual DataResult BuildListFromData(DataConnection &connection, qint32 companyId) = 0;
    virtual GroupItems &Items() = 0;
    virtual const GroupItems &Items() const = 0;
    virtual GroupItems &Groups() = 0;
    virtual GroupItemPtr Ungrouped() const = 0;
    virtual qint32 NumIncluded() const = 0;
    virtual bool IsDirty() const = 0;
    virtual void setIsDirty(bool dirty) = 0;
    // On success `group` (when given) receives the new entry.
    virtual bool AddGroup(const QString &name, GroupItemPtr *group = nullptr) = 0;
    virtual bool RemoveGroup(const QVariant &reference) = 0;
    virtual bool AddItemToGroup(const QString &groupReference, const QString &itemKey) = 0;
    virtual QList<GroupItemPtr> GetGroupItems(const QVariant &reference) const = 0;
    virtual GroupItemPtr GetGroup(const QVariant &reference) const = 0;
    virtual void GetItemAndGroup(
        const QVariant &reference, GroupItemPtr *item, GroupItemPtr *group) const = 0;
    virtual bool RenameGroup(const QVariant &reference, const QString &newName) = 0;
    virtual void ClearGroups(bool include) = 0;
    virtual void SetGroupInclude(const GroupItemPtr &group, bool include) = 0;
};

// A manager that owns a list manager and forwards every shared member to it; the printer and
// user managers add loading and their kind's way of making group entries.
class ListBackedGroupManager : public infGroupManager
{
public:
    GroupItems &Items() override { return m_list.Items(); }
    const GroupItems &Items() const override { return m_list.Items(); }
    GroupItems &Groups() override { return m_list.Groups(); }
    GroupItemPtr Ungrouped() const override { return m_list.Ungrouped(); }
    qint32 NumIncluded() const override { return m_list.NumIncluded(); }
    bool IsDirty() const override { return m_list.IsDirty(); }
    void setIsDirty(bool dirty) override { m_list.setIsDirty(dirty); }
    bool RemoveGroup(const QVariant &reference) override { return m_list.RemoveGroup(reference); }
    QList<GroupItemPtr> GetGroupItems(const QVariant &reference) const override
    {
        return m_list.GetGroupItems(reference);
    }
    GroupItemPtr GetGroup(const QVariant &reference) const override
    {
        return m_list.GetGroup(reference);
    }
    void GetItemAndGroup(
        const QVariant &reference, GroupItemPtr *item, GroupItemPtr *group) const override
    {
        m_list.GetItemAndGroup(reference, item, group);
    }
    bool RenameGroup(const QVariant &reference, const QString &newName) override
    {
        return m_list.RenameGroup(reference, newName);
    }
    void ClearGroups(bool include) override { m_list.ClearGroups(include); }
    void SetGroupInclude(const GroupItemPtr &group, bool include) override
    {
        m_list.SetGroupInclude(group, include);
    }

protected:
    clsListManager m_list;
};

} // namespace kv6
