#include "groupgridmodel_p.h"

#include "base/dialogs.h"
#include "base/langstrings.h"
#include "dataaccess/enumerationtext.h"

#include <QFont>
#include <QLocale>

#include <algorithm>

namespace kv6 {

namespace {

// Captions: printer columns 215-225 for the visible ones, user columns 226-229.
int captionId(GridKind kind, int column)
{
    if (kind == GridKind::Printers)
        return column <= GroupGridModel::pcCompany ? 215 + column : 0;
    return column <= GroupGridModel::ucCompany ? 226 + column : 0;
}

bool isCostColumn(GridKind kind, int column)
{
    return kind == GridKind::Printers
        && (column == GroupGridModel::pcEstCost || column == GroupGridModel::pcEstCostColor);
}

bool isNumberColumn(GridKind kind, int column)
{
    return isCostColumn(kind, column)
        || (kind == GridKind::Printers ? column == GroupGridModel::pcCompanyId
                                       : column == GroupGridModel::ucCompanyId);
}

QString yesNo(bool value)
{
    return GetLangString(value ? 375 : 376);
}

} // namespace

std::optional<Currency> ParseCostText(const QString &text)
{
    const QLocale locale = QLocale::system();
    QString t = text.trimmed();
    if (t.isEmpty())
        return Currency::fromInt(-1);
    t.remove(locale.currencySymbol());
    bool ok = false;
    const double value = locale.toDouble(t.trimmed(), &ok);
    if (!ok || value < 0)
        return std::nullopt;
    const Currency cost = Currency::fromDouble(value, &ok);
    return ok ? std::optional<Currency>(cost) : std::nullopt;
}

// A cost per page is often a fraction of a cent: all its decimals are shown, at least two.
static int costDecimals(Currency cost)
{
    const QString plain = cost.toString();
    const qsizetype point = plain.indexOf(QLatin1Char('.'));
    return point < 0 ? 2 : std::max(2, int(plain.size() - point - 1));
}

QString FormatCost(Currency cost)
{
    if (cost == Currency::fromInt(-1))
        return {};
    return QLocale::system().toCurrencyString(cost.toDouble(), QString(), costDecimals(cost));
}

GroupGridModel::GroupGridModel(GridKind kind, QObject *parent)
    : QAbstractItemModel(parent)
    , m_kind(kind)
{ }

GroupGridModel::~GroupGridModel() = default;

QString GroupGridModel::ColumnKey(int column)
{
    return QStringLiteral("CKEY") + QString::number(column);
}

void GroupGridModel::fill(infGroupManager *manager)
{
    beginResetModel();
    m_manager = manager;
    m_groups.clear();
    if (manager) {
        // One pass over the items, each finding its group by number.
        QHash<qint16, Group *> byNumber;
        for (const GroupItemPtr &g : manager->Groups()) {
            auto group = std::make_unique<Group>();
            group->group = g;
            byNumber.insert(g->Number(), group.get());
            m_groups.push_back(std::move(group));
        }
        for (const GroupItemPtr &item : manager->Items()) {
            Group *group = byNumber.value(item->Number());
            if (!group)
                continue;
            Row row;
            row.item = item;
            row.printer = dynamic_cast<clsPrinter *>(item.get());
            row.user = dynamic_cast<clsUser *>(item.get());
            group->members.push_back(row);
        }
    }
    if (m_sortColumn >= 0)
        sortRows(m_sortColumn, m_sortOrder);
    reindex();
    endResetModel();
}

void GroupGridModel::reindex()
{
    m_places.clear();
    qsizetype n = 0;
    for (const auto &g : m_groups)
        n += qsizetype(g->members.size()) + 1;
    m_places.reserve(n);
    for (int i = 0; i < int(m_groups.size()); ++i) {
        Group *g = m_groups[i].get();
        g->row = i;
        m_places.insert(g->group->Key(), Place { g, -1 });
        for (int m = 0; m < int(g->members.size()); ++m)
            m_places.insert(g->members[m].item->Key(), Place { g, m });
    }
}

QModelIndex GroupGridModel::indexOfKey(const QString &key, int column) const
{
    const auto it = m_places.constFind(key);
    if (it == m_places.cend())
        return {};
    if (it->member < 0)
        return createIndex(it->group->row, column, nullptr);
    return createIndex(it->member, column, it->group);
}

QString GroupGridModel::keyOf(const QModelIndex &index) const
{
    const Row *row = rowAt(index);
    if (row)
        return row->item->Key();
    const Group *g = groupOf(index);
    return g ? g->group->Key() : QString();
}

bool GroupGridModel::isGroupRow(const QModelIndex &index) const
{
    return index.isValid() && !index.internalPointer();
}

GroupGridModel::Group *GroupGridModel::groupOf(const QModelIndex &index) const
{
    if (!index.isValid())
        return nullptr;
    if (auto *g = static_cast<Group *>(index.internalPointer()))
        return g;
    return index.row() < int(m_groups.size()) ? m_groups[index.row()].get() : nullptr;
}

const GroupGridModel::Row *GroupGridModel::rowAt(const QModelIndex &index) const
{
    if (!index.isValid() || !index.internalPointer())
        return nullptr;
    const auto *g = static_cast<const Group *>(index.internalPointer());
    return index.row() < int(g->members.size()) ? &g->members[index.row()] : nullptr;
}

QModelIndex GroupGridModel::index(int row, int column, const QModelIndex &parent) const
{
    if (row < 0 || column < 0 || column >= columnCount())
        return {};
    if (!parent.isValid())
        return row < int(m_groups.size()) ? createIndex(row, column, nullptr) : QModelIndex();
    if (parent.internalPointer() || parent.row() >= int(m_groups.size()))
        return {};
    Group *g = m_groups[parent.row()].get();
    return row < int(g->members.size()) ? createIndex(row, column, g) : QModelIndex();
}

QModelIndex GroupGridModel::parent(const QModelIndex &child) const
{
    if (!child.isValid() || !child.internalPointer())
        return {};
    const auto *g = static_cast<const Group *>(child.internalPointer());
    return createIndex(g->row, 0, nullptr);
}

int GroupGridModel::rowCount(const QModelIndex &parent) const
{
    if (!parent.isValid())
        return int(m_groups.size());
    if (parent.internalPointer() || parent.column() != 0)
        return 0;
    return parent.row() < int(m_groups.size()) ? int(m_groups[parent.row()]->members.size()) : 0;
}

int GroupGridModel::columnCount(const QModelIndex &) const
{
    return m_kind == GridKind::Printers ? int(PrinterColumns) : int(UserColumns);
}

bool GroupGridModel::hasChildren(const QModelIndex &parent) const
{
    return rowCount(parent) > 0;
}

QVariant GroupGridModel::cellValue(const Row &row, bool groupRow, int column) const
{
    const infGroupItem &item = *row.item;
    if (column == keyColumn())
        return item.Key();
    if (column == groupColumn())
        return int(item.Number());
    if (column == 1)
        return item.Name();
    if (groupRow)
        return {};
    if (const clsPrinter *p = row.printer) {
        switch (column) {
        case pcHost:
            return p->Host();
        case pcPort:
            return p->Port();
        case pcEstCost:
            return QVariant::fromValue(p->EstCost());
        case pcEstCostColor:
            return QVariant::fromValue(p->EstCostColor());
        case pcType: {
            // Few distinct types among thousands of printers: each text is made once.
            const bool device = p->DeviceType() != 0;
            const qint64 code = device ? (qint64(1) << 32) | quint32(p->DeviceType())
                                       : qint64(quint32(p->ConnectType()));
            auto it = m_typeNames.constFind(code);
            if (it == m_typeNames.cend()) {
                it = m_typeNames.insert(code,
                    device ? EnumerationText::Text(enumDeviceType, qint16(p->DeviceType()))
                           : EnumerationText::Text(enumConnectionType, qint16(p->ConnectType())));
            }
            return *it;
        }
        case pcModel:
            return p->Model();
        case pcColor:
            return p->Color();
        case pcDuplex:
            return p->Duplex();
        case pcCompany:
            return p->Company();
        case pcCompanyId:
            return p->CompanyId();
        default:
            return {};
        }
    }
    if (const clsUser *u = row.user) {
        switch (column) {
        case ucDomain:
            return u->Domain();
        case ucCompany:
            return u->Company();
        case ucCompanyId:
            return u->CompanyId();
        default:
            return {};
        }
    }
    return {};
}

QVariant GroupGridModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid())
        return {};
    const bool groupRow = isGroupRow(index);
    Row groupAsRow;
    const Row *row = rowAt(index);
    if (groupRow) {
        const Group *g = groupOf(index);
        if (!g)
            return {};
        groupAsRow.item = g->group;
        row = &groupAsRow;
    }
    if (!row)
        return {};
    const int column = index.column();
    switch (role) {
    case Qt::CheckStateRole:
        if (column == 0)
            return row->item->Include() ? Qt::Checked : Qt::Unchecked;
        return {};
    case Qt::DisplayRole:
    case Qt::AccessibleTextRole:
    case Qt::EditRole: {
        if (column == 0) {
            // The box says it; a screen reader gets the caption and the state in words.
            return role == Qt::AccessibleTextRole ? headerData(0, Qt::Horizontal).toString()
                    + QStringLiteral(": ") + yesNo(row->item->Include())
                                                  : QVariant();
        }
        const QVariant v = cellValue(*row, groupRow, column);
        if (v.userType() == qMetaTypeId<Currency>()) {
            const Currency c = v.value<Currency>();
            if (role == Qt::EditRole) {
                return c == Currency::fromInt(-1)
                    ? QString()
                    : QLocale::system().toString(c.toDouble(), 'f', costDecimals(c));
            }
            return FormatCost(c);
        }
        if (v.typeId() == QMetaType::Bool)
            return yesNo(v.toBool());
        return v;
    }
    case Qt::TextAlignmentRole:
        if (isNumberColumn(m_kind, column))
            return QVariant(Qt::AlignRight | Qt::AlignVCenter);
        if (column == 0
            || (m_kind == GridKind::Printers && (column == pcColor || column == pcDuplex)))
            return QVariant(Qt::AlignCenter);
        return {};
    case Qt::FontRole:
        if (groupRow) {
            QFont f;
            f.setBold(true);
            return f;
        }
        return {};
    default:
        return {};
    }
}

QVariant GroupGridModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || section < 0 || section >= columnCount())
        return {};
    if (role == ColumnKeyRole)
        return ColumnKey(section);
    if (role == Qt::DisplayRole || role == Qt::AccessibleTextRole || role == Qt::ToolTipRole) {
        // Uncaptioned columns are hidden; a screen reader still lists them, so they read as
        // nothing rather than as their internal key.
        const int id = captionId(m_kind, section);
        return id ? GetLangString(id) : QString();
    }
    if (role == Qt::TextAlignmentRole && isNumberColumn(m_kind, section))
        return QVariant(Qt::AlignRight | Qt::AlignVCenter);
    return {};
}

Qt::ItemFlags GroupGridModel::flags(const QModelIndex &index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    Qt::ItemFlags f = Qt::ItemIsSelectable | Qt::ItemIsEnabled;
    const bool groupRow = isGroupRow(index);
    if (index.column() == 0) {
        // A member of a real group follows its group; the pseudo-group is no group to tick.
        const Row *row = rowAt(index);
        const Group *g = groupOf(index);
        const bool ungrouped = g && g->group->Number() == 1;
        if ((groupRow && !ungrouped) || (row && ungrouped))
            f |= Qt::ItemIsUserCheckable;
    }
    if (isCostColumn(m_kind, index.column()))
        f |= Qt::ItemIsEditable;
    return f;
}

bool GroupGridModel::setData(const QModelIndex &index, const QVariant &value, int role)
{
    if (!index.isValid() || !m_manager)
        return false;
    if (role == Qt::CheckStateRole && index.column() == 0)
        return (flags(index) & Qt::ItemIsUserCheckable)
            && setInclude(index, Qt::CheckState(value.toInt()) == Qt::Checked);
    if (role == Qt::EditRole && isCostColumn(m_kind, index.column()))
        return setCost(index, value);
    return false;
}

bool GroupGridModel::setInclude(const QModelIndex &index, bool include)
{
    if (isGroupRow(index)) {
        Group *g = groupOf(index);
        if (m_kind == GridKind::Printers
            && MsgBox(GetLangString(include ? 297 : 298), MsgIcon::Exclamation, MsgButtons::YesNo)
                != MsgAnswer::Yes)
            return false;
        m_manager->SetGroupInclude(g->group, include);
        groupChanged(g, 0, 0);
    } else {
        const Row *row = rowAt(index);
        row->item->setInclude(include);
        m_manager->setIsDirty(true);
        emit dataChanged(index.siblingAtColumn(0), index.siblingAtColumn(0));
    }
    emit edited();
    return true;
}

bool GroupGridModel::setCost(const QModelIndex &index, const QVariant &value)
{
    std::optional<Currency> cost;
    if (value.userType() == qMetaTypeId<Currency>())
        cost = value.value<Currency>();
    else
        cost = ParseCostText(value.toString());
    if (!cost) {
        MsgBox(GetLangString(296), MsgIcon::Critical, MsgButtons::OK);
        return false;
    }
    const bool color = index.column() == pcEstCostColor;
    auto apply = [&](const Row &row) {
        if (!row.printer)
            return;
        if (color)
            row.printer->setEstCostColor(*cost);
        else
            row.printer->setEstCost(*cost);
    };
    if (isGroupRow(index)) {
        Group *g = groupOf(index);
        if (MsgBox(GetLangString(377), MsgIcon::Exclamation, MsgButtons::YesNo) != MsgAnswer::Yes)
            return false;
        for (const Row &row : g->members)
            apply(row);
        groupChanged(g, index.column(), index.column());
    } else {
        apply(*rowAt(index));
        emit dataChanged(index, index);
    }
    m_manager->setIsDirty(true);
    emit edited();
    return true;
}

void GroupGridModel::groupChanged(Group *g, int firstColumn, int lastColumn)
{
    emit dataChanged(
        createIndex(g->row, firstColumn, nullptr), createIndex(g->row, lastColumn, nullptr));
    if (!g->members.empty()) {
        emit dataChanged(
            createIndex(0, firstColumn, g), createIndex(int(g->members.size()) - 1, lastColumn, g));
    }
}

void GroupGridModel::rowsEdited(const QModelIndexList &rows)
{
    const int last = columnCount() - 1;
    for (const QModelIndex &i : rows) {
        if (isGroupRow(i))
            groupChanged(groupOf(i), 0, last);
        else if (i.isValid())
            emit dataChanged(i.siblingAtColumn(0), i.siblingAtColumn(last));
    }
}

QVariant GroupGridModel::sortValue(const Row &row, bool groupRow, int column) const
{
    if (column == 0)
        return row.item->Include();
    const QVariant v = cellValue(row, groupRow, column);
    if (v.userType() == qMetaTypeId<Currency>())
        return qlonglong(v.value<Currency>().raw());
    return v;
}

void GroupGridModel::sortRows(int column, Qt::SortOrder order)
{
    if (column < 0 || column >= columnCount())
        return;
    const bool descending = order == Qt::DescendingOrder;
    // Values are taken once per row, then only compared.
    auto sortBy = [&](auto &rows, auto valueOf) {
        std::vector<std::pair<QVariant, qsizetype>> keys;
        keys.reserve(rows.size());
        for (qsizetype i = 0; i < qsizetype(rows.size()); ++i)
            keys.emplace_back(valueOf(rows[i]), i);
        std::stable_sort(keys.begin(), keys.end(), [&](const auto &a, const auto &b) {
            int c = 0;
            if (a.first.typeId() == QMetaType::QString || b.first.typeId() == QMetaType::QString)
                c = a.first.toString().compare(b.first.toString(), Qt::CaseInsensitive);
            else if (a.first.isValid() && b.first.isValid())
                c = a.first.toLongLong() < b.first.toLongLong()
                    ? -1
                    : (a.first.toLongLong() > b.first.toLongLong() ? 1 : 0);
            return descending ? c > 0 : c < 0;
        });
        std::remove_reference_t<decltype(rows)> sorted;
        sorted.reserve(rows.size());
        for (const auto &k : keys)
            sorted.push_back(std::move(rows[k.second]));
        rows = std::move(sorted);
    };
    sortBy(m_groups, [&](const std::unique_ptr<Group> &g) {
        Row r;
        r.item = g->group;
        return sortValue(r, true, column);
    });
    for (auto &g : m_groups)
        sortBy(g->members, [&](const Row &r) { return sortValue(r, false, column); });
}

void GroupGridModel::sort(int column, Qt::SortOrder order)
{
    m_sortColumn = column;
    m_sortOrder = order;
    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    // Selections, the current row and expanded groups follow their rows by key.
    const QModelIndexList before = persistentIndexList();
    QStringList keys;
    keys.reserve(before.size());
    for (const QModelIndex &i : before)
        keys.append(keyOf(i));
    sortRows(column, order);
    reindex();
    QModelIndexList after;
    after.reserve(before.size());
    for (qsizetype i = 0; i < before.size(); ++i)
        after.append(indexOfKey(keys.at(i), before.at(i).column()));
    changePersistentIndexList(before, after);
    emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

} // namespace kv6
