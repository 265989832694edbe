#include "groups/listmanager.h"

#include "base/dialogs.h"
#include "base/langstrings.h"

namespace kv6 {

namespace {

// The number a reference reads as, as QString::toDouble reads it. A text that starts with a letter
// no number starts with ("inf" and "nan" do) is no number without parsing it: a report's steps
// look up thousands of keys such as "USR12", and parsing took most of each look-up.
double numberIn(const QString &text, bool *numeric)
{
    const QString trimmed = text.trimmed();
    if (!trimmed.isEmpty()) {
        const char16_t c = trimmed.front().unicode() | 0x20;
        if (c >= u'a' && c <= u'z' && c != u'i' && c != u'n') {
            *numeric = false;
            return 0;
        }
    }
    return trimmed.toDouble(numeric);
}

} // namespace

GroupRef ResolveGroupRef(const QVariant &reference)
{
    GroupRef ref;
    // A number is not written out and read back (a step looks up every user's group by one).
    if (reference.typeId() == QMetaType::Int || reference.typeId() == QMetaType::LongLong) {
        ref.number = reference.toLongLong();
        ref.key = GroupKey(ref.number);
        return ref;
    }
    bool numeric = false;
    const QString text = reference.toString();
    const double n = numberIn(text, &numeric);
    if (numeric) {
        ref.number = qint64(n);
        ref.key = GroupKey(ref.number);
    } else if (text.startsWith(GroupKeyPrefix)) {
        ref.key = text;
        bool ok = false;
        const qint64 v = text.mid(GroupKeyPrefix.size()).toLongLong(&ok);
        ref.number = ok ? v : -1;
    } else {
        ref.key = text;
    }
    return ref;
}

void clsListManager::Initialize(const GroupItemPtr &ungrouped)
{
    m_ungrouped = ungrouped;
    m_ungrouped->setNumber(1);
    m_ungrouped->setName(UngroupedName);
    m_ungrouped->setKey(GroupKey(1));
    m_ungrouped->setIsGroup(true);
    m_nextGroup = 2;
    ClearGroups(true);
    m_dirty = false;
}

qint32 clsListManager::NumIncluded() const
{
    // One pass over the items counts members per group number; groups then look their count up.
    QHash<qint16, int> members;
    int includedUngrouped = 0;
    for (const GroupItemPtr &item : m_items) {
        ++members[item->Number()];
        if (item->Number() == 1 && item->Include())
            ++includedUngrouped;
    }
    qint32 n = 0;
    for (const GroupItemPtr &g : m_groups) {
        if (g->Number() == 1)
            n += includedUngrouped;
        else if (g->Include() && members.value(g->Number()) > 0)
            ++n;
    }
    return n;
}

void clsListManager::ClearItems()
{
    m_items.clear();
    m_dirty = true;
}

void clsListManager::ClearGroups(bool include)
{
    for (const GroupItemPtr &item : m_items) {
        item->setNumber(1);
        item->setInclude(include);
    }
    m_groups.clear();
    if (m_ungrouped)
        m_groups.add(m_ungrouped, m_ungrouped->Key());
    m_dirty = true;
}

GroupItemPtr clsListManager::findGroupByName(const QString &name) const
{
    // Imports look groups up by name once per member, so names are hashed. Entries can be
    // renamed behind the index's back, so a hit is checked and a miss rebuilds it.
    const QString folded = name.toCaseFolded();
    auto valid = [&](const GroupItemPtr &g) {
        const GroupItemPtr *current = g ? m_groups.item(g->Key()) : nullptr;
        return current && *current == g && g->Name().compare(name, Qt::CaseInsensitive) == 0;
    };
    if (const GroupItemPtr g = m_nameIndex.value(folded); valid(g))
        return g;
    m_nameIndex.clear();
    for (const GroupItemPtr &g : m_groups)
        m_nameIndex.insert(g->Name().toCaseFolded(), g);
    const GroupItemPtr g = m_nameIndex.value(folded);
    return valid(g) ? g : nullptr;
}

bool clsListManager::AddGroup(const QString &name, const GroupItemPtr &group)
{
    m_dirty = true;
    if (findGroupByName(name)) {
        MsgBox(GetLangString(780, name), MsgIcon::Exclamation, MsgButtons::OK);
        return false;
    }
    group->setName(name);
    group->setNumber(qint16(m_nextGroup));
    group->setKey(GroupKey(m_nextGroup));
    group->setIsGroup(true);
    ++m_nextGroup;
    m_groups.add(group, group->Key(), m_groups.indexOf(GroupKey(1)));
    return true;
}

bool clsListManager::AddItemToGroup(const QString &groupReference, const QString &itemKey,
    GroupItemPtr *groupOut, GroupItemPtr *itemOut)
{
    m_dirty = true;
    GroupItemPtr group;
    if (const GroupItemPtr *g = m_groups.item(ResolveGroupRef(groupReference).key))
        group = *g;
    else
        group = findGroupByName(groupReference);
    GroupItemPtr item;
    if (group) {
        if (const GroupItemPtr *i = m_items.item(itemKey)) {
            item = *i;
            item->setNumber(group->Number());
        }
    }
    if (groupOut)
        *groupOut = group;
    if (itemOut)
        *itemOut = item;
    return group != nullptr;
}

GroupItemPtr clsListManager::GetGroup(const QVariant &reference) const
{
    if (m_groups.isEmpty())
        return nullptr;
    if (const GroupItemPtr *g = m_groups.item(ResolveGroupRef(reference).key))
        return *g;
    if (const GroupItemPtr *i = m_items.item(reference.toString())) {
        const GroupItemPtr *g = m_groups.item(GroupKey((*i)->Number()));
        return g ? *g : nullptr;
    }
    return nullptr;
}

QList<GroupItemPtr> clsListManager::GetGroupItems(const QVariant &reference) const
{
    const qint64 number = ResolveGroupRef(reference).number;
    QList<GroupItemPtr> members;
    for (const GroupItemPtr &item : m_items) {
        if (item->Number() == number)
            members.append(item);
    }
    return members;
}

void clsListManager::GetItemAndGroup(
    const QVariant &reference, GroupItemPtr *itemOut, GroupItemPtr *groupOut) const
{
    GroupItemPtr item;
    bool numeric = false;
    numberIn(reference.toString(), &numeric);
    if (!numeric) {
        if (const GroupItemPtr *i = m_items.item(reference.toString()))
            item = *i;
    }
    if (itemOut)
        *itemOut = item;
    if (groupOut)
        *groupOut = item ? GetGroup(int(item->Number())) : GetGroup(reference);
}

bool clsListManager::RemoveGroup(const QVariant &reference)
{
    const GroupRef ref = ResolveGroupRef(reference);
    if (ref.number == 1 || !m_groups.exists(ref.key))
        return false;
    for (const GroupItemPtr &item : m_items) {
        if (item->Number() == ref.number)
            item->setNumber(1);
    }
    m_groups.remove(ref.key);
    m_dirty = true;
    return true;
}

bool clsListManager::RenameGroup(const QVariant &reference, const QString &newName)
{
    m_dirty = true;
    const GroupItemPtr group = GetGroup(reference);
    if (!group)
        return false;
    if (group->Name() == newName)
        return true;
    if (findGroupByName(newName)) {
        MsgBox(GetLangString(781), MsgIcon::Exclamation, MsgButtons::OK);
        return false;
    }
    group->setName(newName);
    return true;
}

void clsListManager::SetGroupInclude(const GroupItemPtr &group, bool include)
{
    group->setInclude(include);
    for (const GroupItemPtr &item : GetGroupItems(int(group->Number())))
        item->setInclude(include);
    m_dirty = true;
}

} // namespace kv6
