#pragma once

#include "vbcore/asciifold.h"

#include <QHash>
#include <QList>
#include <QString>

#include <optional>

namespace kv6 {

// The design's keyed, 1-based collections (VB Collection semantics): items keep the order in
// which they were added, an optional key finds an item by hash (keys compare without regard to
// case), and a key may be used only once.
template<typename T>
class KeyedCollection
{
    struct Entry
    {
        T item;
        QString key;
    };

public:
    enum class Result { Ok, DuplicateKey, BadPosition };

    int count() const { return int(m_items.size()); }
    bool isEmpty() const { return m_items.isEmpty(); }

    // `before`/`after` are 1-based positions; 0 means "not given". Giving both is an error.
    Result add(const T &item, const QString &key = {}, int before = 0, int after = 0)
    {
        const QString folded = fold(key);
        if (!key.isEmpty() && m_index.contains(folded))
            return Result::DuplicateKey;
        if ((before && after) || before < 0 || after < 0 || before > count() || after > count())
            return Result::BadPosition;
        qsizetype at = m_items.size();
        if (before)
            at = before - 1;
        else if (after)
            at = after;
        m_items.insert(at, Entry { item, key });
        if (at != m_items.size() - 1)
            reindexFrom(at);
        else if (!key.isEmpty())
            m_index.insert(folded, at);
        return Result::Ok;
    }

    bool exists(const QString &key) const { return m_index.contains(fold(key)); }

    // 1-based; out of range gives nullptr.
    T *item(int index)
    {
        return index >= 1 && index <= count() ? &m_items[index - 1].item : nullptr;
    }
    const T *item(int index) const
    {
        return index >= 1 && index <= count() ? &m_items[index - 1].item : nullptr;
    }
    T *item(const QString &key)
    {
        const auto it = m_index.constFind(fold(key));
        return it == m_index.cend() ? nullptr : &m_items[*it].item;
    }
    const T *item(const QString &key) const
    {
        const auto it = m_index.constFind(fold(key));
        return it == m_index.cend() ? nullptr : &m_items[*it].item;
    }
    // 1-based position of a key, 0 when absent.
    int indexOf(const QString &key) const
    {
        const auto it = m_index.constFind(fold(key));
        return it == m_index.cend() ? 0 : int(*it) + 1;
    }
    QString keyAt(int index) const
    {
        return index >= 1 && index <= count() ? m_items[index - 1].key : QString();
    }

    bool remove(int index)
    {
        if (index < 1 || index > count())
            return false;
        const qsizetype at = index - 1;
        if (!m_items[at].key.isEmpty())
            m_index.remove(fold(m_items[at].key));
        m_items.removeAt(at);
        reindexFrom(at);
        return true;
    }
    bool remove(const QString &key) { return remove(indexOf(key)); }

    void clear()
    {
        m_items.clear();
        m_index.clear();
    }

    // Iteration over the items in order.
    class const_iterator
    {
    public:
        using Inner = typename QList<typename KeyedCollection::Entry>::const_iterator;
        explicit const_iterator(Inner it)
            : m_it(it)
        { }
        const T &operator*() const { return m_it->item; }
        const T *operator->() const { return &m_it->item; }
        const_iterator &operator++()
        {
            ++m_it;
            return *this;
        }
        bool operator==(const const_iterator &o) const { return m_it == o.m_it; }
        bool operator!=(const const_iterator &o) const { return m_it != o.m_it; }

    private:
        Inner m_it;
    };
    const_iterator begin() const { return const_iterator(m_items.cbegin()); }
    const_iterator end() const { return const_iterator(m_items.cend()); }

private:
    // ASCII keys fold by FoldAscii; one with nothing to fold is shared as it is.
    static QString fold(const QString &key)
    {
        const QChar *chars = key.constData();
        bool upper = false;
        for (qsizetype i = 0; i < key.size(); ++i) {
            const char16_t c = chars[i].unicode();
            if (c >= 0x80)
                return key.toCaseFolded();
            upper = upper || FoldAscii(c) != c;
        }
        if (!upper)
            return key;
        QString folded(key.size(), Qt::Uninitialized);
        QChar *out = folded.data();
        for (qsizetype i = 0; i < key.size(); ++i)
            out[i] = QChar(FoldAscii(chars[i].unicode()));
        return folded;
    }

    // Positions after an insertion or removal shift by one; only the keys behind it move.
    void reindexFrom(qsizetype from)
    {
        for (qsizetype i = from; i < m_items.size(); ++i) {
            if (!m_items[i].key.isEmpty())
                m_index.insert(fold(m_items[i].key), i);
        }
    }

    QList<Entry> m_items;
    QHash<QString, qsizetype> m_index;
};

} // namespace kv6
