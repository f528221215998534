#pragma once
#include "db/RowSet.h"
#include "grid/GridSort.h"

#include <QTableView>
#include <QVector>
#include <memory>
#include <optional>

namespace krvs {

class FlexGridModel;

// The results grid: a QTableView over a model of ours, behind the operations the
// program uses. Grid row 0 is the header row (the field names), data rows are
// 1 .. Rows()-1. One rectangular selection from (Row, Col) to (RowSel, ColSel).
// Measures (ColWidth) are in twips.
class FlexGrid : public QTableView {
    Q_OBJECT
  public:
    explicit FlexGrid(QWidget* parent = nullptr);
    ~FlexGrid() override;

    // Shape. Setting Rows keeps existing rows and adds empty ones.
    int Rows() const;
    void setRows(int rows);
    int Cols() const;
    void setCols(int cols);

    // Cell text, header row included. Writing a data cell overrides the bound text.
    QString TextMatrix(int row, int col) const;
    void setTextMatrix(int row, int col, const QString& text);

    // Selection corners (grid rows and columns).
    int Row() const;
    void setRow(int row);
    int RowSel() const;
    void setRowSel(int row);
    int Col() const;
    void setCol(int col);
    int ColSel() const;
    void setColSel(int col);

    // The cell under the pointer at the last mouse event (row 0 = header).
    int MouseRow() const { return mouseRow_; }
    int MouseCol() const { return mouseCol_; }

    // Sorts every data row by the columns Col..ColSel. Stable.
    void sort(SortKind kind, SortDirection direction);
    // The header sort's mark, shown after its column's caption; none after a new
    // binding or Clear.
    const std::optional<SortMark>& sortMark() const;
    void setSortMark(std::optional<SortMark> mark);

    int ColWidth(int col) const;
    void setColWidth(int col, int twips);

    // Empties every cell (header included); the shape stays.
    void Clear();
    // Shows all rows and fields of a recordset; header texts are the field names.
    void setDataSource(std::shared_ptr<const db::RowSet> rows);
    void Refresh();

    // Alignment code 1 (left, vertically centred) for column 0.
    void setColAlignment(int col, int code);

    // Typing does not jump between rows.
    void keyboardSearch(const QString&) override {}

  signals:
    void Click();
    // Also Enter (or keypad Enter) on a data row.
    void DblClick();
    // Button: 1 left, 2 right, 4 middle; X, Y in twips from the grid's top left corner.
    // The Menu key and Shift+F10 are a right press in the middle of the current cell,
    // which MouseRow and MouseCol then name.
    void MouseDown(int button, int shift, int x, int y);

  protected:
    void mousePressEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;
    void mouseDoubleClickEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    // Sets MouseRow/MouseCol from a viewport position (-1 where there is no cell).
    void trackMouse(const QPoint& pos);
    void emitMouseDown(QMouseEvent* e, QWidget* from);
    bool onHeaderGrip(const QPoint& pos) const;
    // Shows Row/Col..RowSel/ColSel as the view's selection and current cell.
    void applySelection();
    void clampSelection();
    void moveSelection(int row, int col, bool extend);
    // The Menu key: a right press on the cell the keys last moved to (RowSel, ColSel).
    void menuKey(Qt::KeyboardModifiers modifiers);
    // The same for a mouse press: the grid does not scroll under the pointer, so a
    // row shown only in part stays where it was clicked.
    void moveSelectionInPlace(int row, int col, bool extend);

    FlexGridModel* model_;
    int mouseRow_ = 0;
    int mouseCol_ = 0;
    int row_ = 1, col_ = 0, rowSel_ = 1, colSel_ = 0;
    bool dragging_ = false;
    bool suppressClick_ = false;
    int headerPress_ = -1; // section pressed in the header, -1 when none
    // The cells of the last two left presses on the viewport (row -1 when not on a
    // cell): a double click opens the cell of its first press.
    struct Press {
        int row = -1, col = -1;
        QPoint pos;
    };
    Press lastPress_, pressBefore_;
    QVector<int> twips_; // the last width set in twips per column, -1 when none
};

} // namespace krvs
