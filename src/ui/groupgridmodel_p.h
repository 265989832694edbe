#pragma once

// The printer and user grids: an outline of group rows, each followed by its members, over one
// group manager. Rows point at the manager's own items, so an edit here is an edit of the list.

#include "groups/printers.h"
#include "ui/gridstate.h"

#include <QAbstractItemModel>
#include <QHash>

#include <memory>
#include <optional>
#include <vector>

namespace kv6 {

enum class GridKind { Printers, Users };

// A cost as typed: blank is -1 (no estimate); otherwise a number of the user's locale, with or
// without its currency symbol, not below zero. Nothing for anything else.
std::optional<Currency> ParseCostText(const QString &text);
// A cost as the grids show it: the locale's currency format, "" for -1.
QString FormatCost(Currency cost);

class GroupGridModel : public QAbstractItemModel
{
    Q_OBJECT
public:
    enum PrinterColumn {
        pcInclude,
        pcName,
        pcHost,
        pcPort,
        pcEstCost,
        pcEstCostColor,
        pcType,
        pcModel,
        pcColor,
        pcDuplex,
        pcCompany,
        pcCompanyId,
        pcKey,
        pcGroup,
        PrinterColumns
    };
    enum UserColumn {
        ucInclude,
        ucName,
        ucDomain,
        ucCompany,
        ucCompanyId,
        ucKey,
        ucGroup,
        UserColumns
    };
    explicit GroupGridModel(GridKind kind, QObject *parent = nullptr);
    ~GroupGridModel() override;

    GridKind kind() const { return m_kind; }
    int keyColumn() const { return m_kind == GridKind::Printers ? int(pcKey) : int(ucKey); }
    int groupColumn() const { return m_kind == GridKind::Printers ? int(pcGroup) : int(ucGroup); }
    static QString ColumnKey(int column);

    // Rebuilds every row from the manager (nullptr empties the grid), in the last sort order.
    void fill(infGroupManager *manager);
    infGroupManager *manager() const { return m_manager; }

    QModelIndex indexOfKey(const QString &key, int column = 0) const;
    QString keyOf(const QModelIndex &index) const;
    bool isGroupRow(const QModelIndex &index) const;
    // Tells the views that these rows changed (a group row includes its members).
    void rowsEdited(const QModelIndexList &rows);

    QModelIndex index(int row, int column, const QModelIndex &parent = {}) const override;
    QModelIndex parent(const QModelIndex &child) const override;
    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    bool hasChildren(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(
        int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;
    bool setData(const QModelIndex &index, const QVariant &value, int role = Qt::EditRole) override;
    void sort(int column, Qt::SortOrder order = Qt::AscendingOrder) override;

signals:
    // An edit was accepted and the list marked dirty.
    void edited();

private:
    struct Row
    {
        GroupItemPtr item;
        clsPrinter *printer = nullptr;
        clsUser *user = nullptr;
    };
    struct Group
    {
        GroupItemPtr group;
        int row = 0;
        std::vector<Row> members;
    };
    struct Place
    {
        Group *group = nullptr;
        int member = -1; // -1: the group row itself
    };

    const Row *rowAt(const QModelIndex &index) const;
    Group *groupOf(const QModelIndex &index) const;
    QVariant cellValue(const Row &row, bool groupRow, int column) const;
    QVariant sortValue(const Row &row, bool groupRow, int column) const;
    void sortRows(int column, Qt::SortOrder order);
    void reindex();
    bool setInclude(const QModelIndex &index, bool include);
    bool setCost(const QModelIndex &index, const QVariant &value);
    void groupChanged(Group *group, int firstColumn, int lastColumn);

    GridKind m_kind;
    infGroupManager *m_manager = nullptr;
    std::vector<std::unique_ptr<Group>> m_groups;
    QHash<QString, Place> m_places;
    mutable QHash<qint64, QString> m_typeNames;
    int m_sortColumn = -1;
    Qt::SortOrder m_sortOrder = Qt::AscendingOrder;
};

} // namespace kv6
