#pragma once

// What every grouped list is made of: printers, users and the group entries among them.

#include "vbcore/keyedcollection.h"

#include <memory>
#include <QString>
#include <QVariant>

namespace kv6 {

class infGroupItem
{
public:
    virtual ~infGroupItem() = default;
    virtual QString Name() const = 0;
    virtual void setName(const QString &name) = 0;
    // An item's group number, or a group entry's own number; 1 is the ungrouped pseudo-group.
    virtual qint16 Number() const = 0;
    virtual void setNumber(qint16 number) = 0;
    virtual QString Key() const = 0;
    virtual void setKey(const QString &key) = 0;
    virtual bool Include() const = 0;
    virtual void setInclude(bool include) = 0;
    virtual bool IsGroup() const = 0;
    virtual void setIsGroup(bool isGroup) = 0;
};

using GroupItemPtr = std::shared_ptr<infGroupItem>;
using GroupItems = KeyedCollection<GroupItemPtr>;

// The fields every item class shares; printers and users add their own on top.
class GroupItemBase : public infGroupItem
{
public:
    QString Name() const override { return m_name; }
    void setName(const QString &name) override { m_name = name; }
    qint16 Number() const override { return m_number; }
    void setNumber(qint16 number) override { m_number = number; }
    QString Key() const override { return m_key; }
    void setKey(const QString &key) override { m_key = key; }
    bool Include() const override { return m_include; }
    void setInclude(bool include) override { m_include = include; }
    bool IsGroup() const override { return m_isGroup; }
    void setIsGroup(bool isGroup) override { m_isGroup = isGroup; }

private:
    QString m_name;
    qint16 m_number = 1;
    QString m_key;
    bool m_include = true;
    bool m_isGroup = false;
};

inline const QString GroupKeyPrefix = QStringLiteral("*GROUP*");
inline const QString UngroupedName = QStringLiteral("<INDIVIDUAL>");
inline QString GroupKey(qint64 number)
{
    return GroupKeyPrefix + QString::number(number);
}

// A group reference resolved: a number gives its key, a "*GROUP*n" key gives its number, and any
// other text is a key with number -1, which matches no group by number.
struct GroupRef
{
    qint64 number = -1;
    QString key;
};
GroupRef ResolveGroupRef(const QVariant &reference);

} // namespace kv6
