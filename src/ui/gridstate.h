#pragma once

// What the user sees of an outline grid across an empty-and-refill: the sort, the expanded
// groups, and the current row with its height on screen.

#include <QPointer>
#include <QString>
#include <QStringList>
#include <Qt>

class QTreeView;

namespace kv6 {

// Header data of a grid's model under this role is the column's key, "CKEY" and its number.
inline constexpr int ColumnKeyRole = Qt::UserRole + 1;
// A grid's column found by its key, -1 when the model has none.
int ColumnOfKey(const QTreeView *grid, int columnNumber);

class clsGridState
{
public:
    // keyColumn: the number n of the column "CKEY"n that holds each row's key.
    void Initialize(QTreeView *grid, qint16 keyColumn);
    // Records the user's sort; order 1 is ascending.
    void SetSort(qint16 column, qint16 order);
    // row: the current row counted from 1 in display order, 0 for none.
    void Save(qint32 row);
    void Restore(bool restoreRow);

    qint16 SortColumn() const { return m_sortColumn; }
    qint16 SortOrder() const { return m_sortOrder; }
    QStringList ExpandedKeys() const { return m_expanded; }
    QString SavedKey() const { return m_savedKey; }

    // The grid's current row counted from 1 in display order, 0 when none.
    static qint32 CurrentRow(const QTreeView *grid);

private:
    QPointer<QTreeView> m_grid;
    qint16 m_keyColumn = 0;
    qint16 m_sortColumn = -1;
    qint16 m_sortOrder = 1;
    QStringList m_expanded;
    bool m_expandedSaved = false;
    qint32 m_savedRow = -1;
    qint32 m_rowOffset = 0;
    QString m_savedKey;
};

} // namespace kv6
