#include "ui/gridstate.h"

#include "groupgridmodel_p.h"

#include <QScrollBar>
#include <QSet>
#include <QTreeView>

namespace kv6 {

int ColumnOfKey(const QTreeView *grid, int columnNumber)
{
    const QAbstractItemModel *model = grid ? grid->model() : nullptr;
    if (!model)
        return -1;
    const QString key = QStringLiteral("CKEY") + QString::number(columnNumber);
    for (int c = 0; c < model->columnCount(); ++c) {
        if (model->headerData(c, Qt::Horizontal, ColumnKeyRole).toString() == key)
            return c;
    }
    return -1;
}

void clsGridState::Initialize(QTreeView *grid, qint16 keyColumn)
{
    m_grid = grid;
    m_keyColumn = keyColumn;
    m_sortColumn = -1;
}

void clsGridState::SetSort(qint16 column, qint16 order)
{
    m_sortColumn = column;
    m_sortOrder = order;
}

qint32 clsGridState::CurrentRow(const QTreeView *grid)
{
    const QModelIndex current = grid ? grid->currentIndex() : QModelIndex();
    if (!current.isValid())
        return 0;
    // Rows scroll one at a time, so the scroll value is the number of the top row.
    const QRect rect = grid->visualRect(current);
    const QModelIndex top = grid->indexAt(QPoint(1, 1));
    if (rect.isValid() && top.isValid() && rect.height() > 0)
        return grid->verticalScrollBar()->value() + 1
            + (rect.top() - grid->visualRect(top).top()) / rect.height();
    return grid->verticalScrollBar()->value() + 1;
}

void clsGridState::Save(qint32 row)
{
    m_expanded.clear();
    m_expandedSaved = false;
    m_savedRow = row;
    m_savedKey.clear();
    m_rowOffset = 0;
    if (!m_grid || !m_grid->model())
        return;
    const QAbstractItemModel *model = m_grid->model();
    const int keyColumn = ColumnOfKey(m_grid, m_keyColumn);
    if (keyColumn < 0)
        return;
    if (row > 0 && m_grid->currentIndex().isValid()) {
        m_rowOffset = qMax(0, row - 1 - m_grid->verticalScrollBar()->value());
        m_savedKey = m_grid->currentIndex().siblingAtColumn(keyColumn).data().toString();
    }
    const int groups = model->rowCount();
    int rows = groups;
    for (int r = 0; r < groups && rows < 2; ++r)
        rows += model->rowCount(model->index(r, 0));
    if (rows < 2)
        return;
    m_expandedSaved = true;
    for (int r = 0; r < groups; ++r) {
        const QModelIndex node = model->index(r, 0);
        if (m_grid->isExpanded(node))
            m_expanded.append(model->index(r, keyColumn).data().toString());
    }
}

void clsGridState::Restore(bool restoreRow)
{
    if (!m_grid || !m_grid->model())
        return;
    QAbstractItemModel *model = m_grid->model();
    if (m_sortColumn >= 0)
        m_grid->sortByColumn(
            m_sortColumn, m_sortOrder == 1 ? Qt::AscendingOrder : Qt::DescendingOrder);
    const int keyColumn = ColumnOfKey(m_grid, m_keyColumn);
    if (keyColumn < 0)
        return;
    if (m_expandedSaved) {
        const QSet<QString> expanded(m_expanded.cbegin(), m_expanded.cend());
        for (int r = 0; r < model->rowCount(); ++r) {
            m_grid->setExpanded(model->index(r, 0),
                expanded.contains(model->index(r, keyColumn).data().toString()));
        }
        m_expanded.clear();
        m_expandedSaved = false;
    }
    if (m_savedKey.isEmpty())
        return;
    // Keys are unique, so searching from the saved row or from the top finds the same row.
    Q_UNUSED(restoreRow);
    QModelIndex found;
    if (auto *grid = qobject_cast<GroupGridModel *>(model)) {
        found = grid->indexOfKey(m_savedKey);
    } else {
        const QModelIndexList hits = model->match(model->index(0, keyColumn), Qt::DisplayRole,
            m_savedKey, 1, Qt::MatchExactly | Qt::MatchRecursive);
        found = hits.isEmpty() ? QModelIndex() : hits.first().siblingAtColumn(0);
    }
    if (!found.isValid())
        return;
    // A row inside a collapsed group stays current without opening the group: the view scrolls
    // to the nearest row that shows instead (scrolling to the row itself would expand it).
    QModelIndex shown = found;
    for (QModelIndex p = found.parent(); p.isValid(); p = p.parent()) {
        if (!m_grid->isExpanded(p))
            shown = p;
    }
    const bool autoScroll = m_grid->hasAutoScroll();
    m_grid->setAutoScroll(false);
    m_grid->selectionModel()->setCurrentIndex(
        found, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    m_grid->setAutoScroll(autoScroll);
    m_grid->scrollTo(shown, QAbstractItemView::PositionAtTop);
    QScrollBar *bar = m_grid->verticalScrollBar();
    bar->setValue(qMax(0, bar->value() - m_rowOffset));
}

} // namespace kv6
