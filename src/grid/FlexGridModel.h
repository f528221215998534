#pragma once
#include "db/RowSet.h"
#include "grid/GridSort.h" // parseNumber, which the cells share with the sort

#include <QAbstractTableModel>
#include <QHash>
#include <QString>
#include <QVector>
#include <cstdint>
#include <memory>
#include <optional>
#include <string_view>
#include <vector>

namespace krvs {

// The cells of the results grid. Model row r is grid data row r + 1; the header row
// (grid row 0) is the horizontal header. The bound rows stay in the shared RowSet:
// the model keeps only a row order (ids into the RowSet, ids past its end are empty
// rows added with setRows), the few cells written by hand, and the header texts.
class FlexGridModel : public QAbstractTableModel {
    Q_OBJECT
  public:
    explicit FlexGridModel(QObject* parent = nullptr);

    // ---- shape (data rows, not counting the header row) ----
    int dataRows() const { return static_cast<int>(order_.size()); }
    void setDataRows(int n);
    int cols() const { return static_cast<int>(header_.size()); }
    void setCols(int n);

    // ---- cells; row is a model row ----
    QString cellText(int row, int col) const;
    void setCellText(int row, int col, const QString& text);
    // The caption as shown: the text written, then the sort mark if it is on this
    // column. Writing a caption takes the mark off that column.
    QString headerText(int col) const;
    void setHeaderText(int col, const QString& text);
    // The header sort's mark; none after clear, bind, or when its column goes.
    const std::optional<SortMark>& sortMark() const { return mark_; }
    void setSortMark(std::optional<SortMark> mark);

    // Alignment codes 0..8 (left/centre/right by top/centre/bottom), 9 general
    // (numbers right, text left). Every column starts general.
    void setColAlignment(int col, int code);
    int colAlignment(int col) const;

    // Empties every cell and header text; the shape stays.
    void clear();
    // Binds a result: one data row per RowSet row, one column per field, the field
    // names as header texts, the RowSet's own order. Null binds an empty result.
    void bind(std::shared_ptr<const db::RowSet> rows);
    const std::shared_ptr<const db::RowSet>& rowSet() const { return rows_; }

    // Sorts every data row by the columns firstCol..lastCol (the first is the main
    // key). Stable.
    void sort(SortKind kind, SortDirection direction, int firstCol, int lastCol);
    using QAbstractTableModel::sort; // the view's own sort, which the grid never asks for

    // ---- QAbstractTableModel ----
    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

  private:
    // The text of the row with this id, as UTF-8 when it comes from the RowSet (a
    // number's text is written into number). An override wins; ids past the RowSet
    // are empty rows.
    const QString* overrideFor(std::uint32_t id, int col) const;
    std::string_view boundUtf8(std::uint32_t id, int col, db::RowSet::CellBuffer& number) const;
    static quint64 key(std::uint32_t id, int col) {
        return (static_cast<quint64>(id) << 16) | static_cast<quint16>(col);
    }

    std::shared_ptr<const db::RowSet> rows_;
    std::vector<std::uint32_t> order_; // display position -> row id
    std::uint32_t nextId_ = 0;         // the next id for an added empty row
    QHash<quint64, QString> overrides_;
    QVector<QString> header_;
    std::optional<SortMark> mark_;
    QVector<int> align_;
};

} // namespace krvs
