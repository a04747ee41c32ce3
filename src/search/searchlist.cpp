#include "search/searchlist.h"

#include <QDir>
#include <algorithm>

namespace papyrant {

SearchList::SearchList(QObject *parent) : QAbstractTableModel(parent) {}

bool SearchList::加入LV1(const QString &title, const QString &link, const QString &page,
                         const QString &type, const QString &saveFolder)
{
    if (m_index.contains(link))
        return false;
    const int position = count();
    beginInsertRows({}, position, position);
    m_rows.append({link, title, type, QString(), saveFolder, page});
    m_index.insert(link, position);
    endInsertRows();
    return true;
}

int SearchList::addRows(const QList<SearchRow> &rows)
{
    QList<SearchRow> fresh;
    QHash<QString, int> freshIndex;
    for (const SearchRow &row : rows) {
        if (m_index.contains(row.Link) || freshIndex.contains(row.Link))
            continue;
        freshIndex.insert(row.Link, count() + int(fresh.size()));
        fresh.append(row);
    }
    if (fresh.isEmpty())
        return 0;
    beginInsertRows({}, count(), count() + int(fresh.size()) - 1);
    m_rows.append(fresh);
    m_index.insert(freshIndex);
    endInsertRows();
    return int(fresh.size());
}

void SearchList::setState(int position, const QString &state)
{
    if (position < 0 || position >= count() || m_rows[position].State == state)
        return;
    m_rows[position].State = state;
    const QModelIndex cell = index(position, StateColumn);
    emit dataChanged(cell, cell, {Qt::DisplayRole});
}

int SearchList::removeIf(const std::function<bool(const SearchRow &)> &remove)
{
    if (m_rows.isEmpty())
        return 0;
    // One walk and one reset: the views repaint once, not per removed row.
    beginResetModel();
    const auto from = std::remove_if(m_rows.begin(), m_rows.end(), remove);
    const int removed = int(std::distance(from, m_rows.end()));
    m_rows.erase(from, m_rows.end());
    rebuildIndex();
    endResetModel();
    return removed;
}

int SearchList::removePositions(QList<int> positions)
{
    std::sort(positions.begin(), positions.end());
    positions.erase(std::unique(positions.begin(), positions.end()), positions.end());
    positions.removeIf([this](int p) { return p < 0 || p >= count(); });
    if (positions.isEmpty())
        return 0;
    beginResetModel();
    for (auto it = positions.crbegin(); it != positions.crend(); ++it)
        m_rows.removeAt(*it);
    rebuildIndex();
    endResetModel();
    return int(positions.size());
}

void SearchList::clear()
{
    beginResetModel();
    m_rows.clear();
    m_index.clear();
    endResetModel();
}

void SearchList::rebuildIndex()
{
    m_index.clear();
    m_index.reserve(m_rows.size());
    for (int i = 0; i < count(); ++i)
        m_index.insert(m_rows.at(i).Link, i);
}

int SearchList::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : count();
}

int SearchList::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant SearchList::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= count())
        return {};
    const SearchRow &row = m_rows.at(index.row());
    switch (role) {
    case Qt::DisplayRole:
    case Qt::ToolTipRole:
        switch (index.column()) {
        case TitleColumn: return row.Title;
        case TypeColumn: return row.Type;
        case StateColumn: return row.State;
        case SaveFolderColumn: return QDir::toNativeSeparators(row.SaveFolder);
        }
        return {};
    case LinkRole: return row.Link;
    case PageRole: return row.Page;
    }
    return {};
}

QVariant SearchList::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return {};
    switch (section) {
    case TitleColumn: return QStringLiteral("标题");
    case TypeColumn: return QStringLiteral("类型");
    case StateColumn: return QStringLiteral("分析状态");
    case SaveFolderColumn: return QStringLiteral("保存路径");
    }
    return {};
}

Qt::ItemFlags SearchList::flags(const QModelIndex &index) const
{
    // Rows are selected, never edited in place.
    return index.isValid() ? Qt::ItemIsEnabled | Qt::ItemIsSelectable : Qt::NoItemFlags;
}

} // namespace papyrant
