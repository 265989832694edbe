#pragma once

// The group logic shared by the printer and the user lists.

#include "groups/groupitem.h"

#include <QHash>
#include <QList>

namespace kv6 {

class clsListManager
{
public:
    // Makes `ungrouped` the pseudo-group "<INDIVIDUAL>" (number 1) and clears every group.
    void Initialize(const GroupItemPtr &ungrouped);

    GroupItems &Items() { return m_items; }
    const GroupItems &Items() const { return m_items; }
    GroupItems &Groups() { return m_groups; }
    const GroupItems &Groups() const { return m_groups; }
    GroupItemPtr Ungrouped() const { return m_ungrouped; }
    bool IsDirty() const { return m_dirty; }
    void setIsDirty(bool dirty) { m_dirty = dirty; }
    qint32 NextGroupNumber() const { return m_nextGroup; }

    // Things a report lists separately: included ungrouped items, plus included non-empty groups.
    qint32 NumIncluded() const;

    void ClearItems();
    // Every item ungrouped with the given include flag; only the pseudo-group is left.
    void ClearGroups(bool include);
    // false (with message 780) when a group of that name exists already, letter case ignored.
    bool AddGroup(const QString &name, const GroupItemPtr &group);
    // The reference may be a group key, number or name. True when the group was found.
    bool AddItemToGroup(const QString &groupReference, const QString &itemKey, GroupItemPtr *group,
        GroupItemPtr *item);
    // A group by reference, or the group of the item whose key is given.
    GroupItemPtr GetGroup(const QVariant &reference) const;
    // The members of a group, in item order.
    QList<GroupItemPtr> GetGroupItems(const QVariant &reference) const;
    void GetItemAndGroup(const QVariant &reference, GroupItemPtr *item, GroupItemPtr *group) const;
    bool RemoveGroup(const QVariant &reference);
    // false (with message 781) when another group, or this one in another case, has the name.
    bool RenameGroup(const QVariant &reference, const QString &newName);
    void SetGroupInclude(const GroupItemPtr &group, bool include);

private:
    GroupItemPtr findGroupByName(const QString &name) const;

    GroupItems m_items;
    GroupItems m_groups;
    GroupItemPtr m_ungrouped;
    mutable QHash<QString, GroupItemPtr> m_nameIndex;
    qint32 m_nextGroup = 2;
    bool m_dirty = false;
};

} // namespace kv6
