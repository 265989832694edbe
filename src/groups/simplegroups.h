#pragma once

// In simple mode a report names the administration groups it covers: an ordered set of group ids.

#include "vbcore/keyedcollection.h"

namespace kv6 {

class clsSimpleGroups
{
public:
    void Clear() { m_ids.clear(); }
    // A repeated id is ignored, so a hand-edited file cannot list a group twice.
    void Add(qint32 groupId) { m_ids.add(groupId, key(groupId)); }
    void Remove(qint32 groupId) { m_ids.remove(key(groupId)); }
    bool Contains(qint32 groupId) const { return m_ids.exists(key(groupId)); }
    qint32 Count() const { return m_ids.count(); }
    // 1-based; -1 outside 1..Count.
    qint32 GroupAtIndex(int position) const
    {
        const qint32 *id = m_ids.item(position);
        return id ? *id : -1;
    }

private:
    static QString key(qint32 id) { return QStringLiteral("GRP_") + QString::number(id); }
    KeyedCollection<qint32> m_ids;
};

} // namespace kv6
