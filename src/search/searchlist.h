#pragma once

#include <QAbstractTableModel>
#include <QHash>
#include <QList>
#include <QString>
#include <functional>

namespace papyrant {

// One entry of the search list ListView1: an article with an open-access full text.
struct SearchRow
{
    QString Link;       // the row key: the PDF link, "&amp;" already turned into "&"
    QString Title;      // column "标题"
    QString Type;       // column "类型"
    QString State;      // column "分析状态": "" or "成功"
    QString SaveFolder; // column "保存路径": the folder chosen at extraction, or empty
    QString Page;       // the result page the entry was read from (not shown)
};

// The words of the column "分析状态".
inline QString analysisSucceeded()
{
    return QStringLiteral("成功");
}
inline QString analysisFailed()
{
    return QStringLiteral("分析失败");
}

// The rows of the search list with a key index, and the model ListView1 shows.
// Links are unique; adding a known link changes nothing.
class SearchList : public QAbstractTableModel
{
    Q_OBJECT
public:
    enum Column { TitleColumn, TypeColumn, StateColumn, SaveFolderColumn, ColumnCount };

    explicit SearchList(QObject *parent = nullptr);

    int count() const { return int(m_rows.size()); }
    bool isEmpty() const { return m_rows.isEmpty(); }
    // 0-based position.
    const SearchRow &at(int position) const { return m_rows.at(position); }
    const QList<SearchRow> &rows() const { return m_rows; }
    bool contains(const QString &link) const { return m_index.contains(link); }
    int positionOf(const QString &link) const { return m_index.value(link, -1); }

    // Adds a row with key = link; false (and nothing changed) when the link is already listed.
    bool 加入LV1(const QString &title, const QString &link, const QString &page,
                 const QString &type, const QString &saveFolder);
    // Adds many rows with one change notification to the views; returns how many were new.
    int addRows(const QList<SearchRow> &rows);

    void setState(int position, const QString &state);

    // Removes every row for which remove(row) is true, in one model reset.
    int removeIf(const std::function<bool(const SearchRow &)> &remove);
    // Removes the rows at the given 0-based positions (any order, duplicates allowed).
    int removePositions(QList<int> positions);
    void clear();

    // QAbstractItemModel
    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;

    enum Role { LinkRole = Qt::UserRole + 1, PageRole };

private:
    void rebuildIndex();

    QList<SearchRow> m_rows;
    QHash<QString, int> m_index; // link -> position
};

} // namespace papyrant
