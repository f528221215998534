#include "grid/FlexGrid.h"

#include "util/TextAndInput.h"

#include "grid/FlexGridModel.h"
#include "ui/SelectAllText.h"
#include "ui/Twips.h"

#include <QApplication>
#include <QHeaderView>
#include <QItemSelection>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QScrollBar>
#include <QStyle>
#include <QStyleHints>
#include <algorithm>

namespace krvs {

namespace {

constexpr int kDesignCols = 10;
constexpr int kDefaultColTwips = 1000;

} // namespace

FlexGrid::FlexGrid(QWidget* parent) : QTableView(parent), model_(new FlexGridModel(this)) {
    // The design-time shape: ten columns, the header row and one empty row.
    model_->setCols(kDesignCols);
    model_->setDataRows(1);
    twips_.fill(kDefaultColTwips, kDesignCols);
    setModel(model_);

    // Selection and current cell are driven by Row/Col/RowSel/ColSel (see
    // applySelection), so the view's own selection handling stays out of the way.
    setSelectionMode(QAbstractItemView::NoSelection);
    setSelectionBehavior(QAbstractItemView::SelectItems);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSortingEnabled(false);
    setTabKeyNavigation(false);
    setWordWrap(false);
    setCornerButtonEnabled(false);
    setContextMenuPolicy(Qt::PreventContextMenu);
    viewport()->setContextMenuPolicy(Qt::PreventContextMenu);

    // Uniform rows: a million of them must scroll and paint without measuring.
    QHeaderView* v = verticalHeader();
    v->hide();
    v->setMinimumSectionSize(1);
    v->setSectionResizeMode(QHeaderView::Fixed);
    v->setDefaultSectionSize(fontMetrics().height() + 4);

    QHeaderView* h = horizontalHeader();
    h->setSectionsClickable(false); // header clicks are ours (Click with MouseRow 0)
    h->setSectionsMovable(false);
    h->setHighlightSections(false);
    h->setSortIndicatorShown(false);
    h->setStretchLastSection(false);
    h->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    h->setMinimumSectionSize(0);
    h->setSectionResizeMode(QHeaderView::Interactive);
    h->setDefaultSectionSize(twipsToPx(kDefaultColTwips));
    h->setContextMenuPolicy(Qt::PreventContextMenu);
    h->viewport()->setContextMenuPolicy(Qt::PreventContextMenu);
    h->viewport()->installEventFilter(this);

    applySelection();
}

FlexGrid::~FlexGrid() = default;

// ---- shape ------------------------------------------------------------------------

int FlexGrid::Rows() const {
    return model_->dataRows() + 1;
}

void FlexGrid::setRows(int rows) {
    model_->setDataRows(std::max(rows, 1) - 1);
    clampSelection();
    applySelection();
}

int FlexGrid::Cols() const {
    return model_->cols();
}

void FlexGrid::setCols(int cols) {
    model_->setCols(cols);
    twips_.resize(model_->cols(), kDefaultColTwips);
    clampSelection();
    applySelection();
}

// ---- cells ------------------------------------------------------------------------

QString FlexGrid::TextMatrix(int row, int col) const {
    if (row == 0) return model_->headerText(col);
    return model_->cellText(row - 1, col);
}

void FlexGrid::setTextMatrix(int row, int col, const QString& text) {
    if (row == 0)
        model_->setHeaderText(col, text);
    else
        model_->setCellText(row - 1, col, text);
}

void FlexGrid::setColAlignment(int col, int code) {
    model_->setColAlignment(col, code);
}

// ---- selection --------------------------------------------------------------------

int FlexGrid::Row() const {
    return row_;
}
int FlexGrid::RowSel() const {
    return rowSel_;
}
int FlexGrid::Col() const {
    return col_;
}
int FlexGrid::ColSel() const {
    return colSel_;
}

// Setting Row (Col) makes the selection one row (column) high (wide) again, as
// setting the corner cell does; RowSel and ColSel then extend it.
void FlexGrid::setRow(int row) {
    row_ = rowSel_ = std::clamp(row, 0, Rows() - 1);
    applySelection();
}

void FlexGrid::setRowSel(int row) {
    rowSel_ = std::clamp(row, 0, Rows() - 1);
    applySelection();
}

void FlexGrid::setCol(int col) {
    col_ = colSel_ = std::clamp(col, 0, std::max(Cols() - 1, 0));
    applySelection();
}

void FlexGrid::setColSel(int col) {
    colSel_ = std::clamp(col, 0, std::max(Cols() - 1, 0));
    applySelection();
}

void FlexGrid::clampSelection() {
    const int lastRow = Rows() - 1, lastCol = std::max(Cols() - 1, 0);
    row_ = std::clamp(row_, 0, lastRow);
    rowSel_ = std::clamp(rowSel_, 0, lastRow);
    col_ = std::clamp(col_, 0, lastCol);
    colSel_ = std::clamp(colSel_, 0, lastCol);
    // A grid that gains data rows again selects its first one rather than the header.
    if (lastRow >= 1 && row_ == 0 && rowSel_ == 0) row_ = rowSel_ = 1;
}

void FlexGrid::applySelection() {
    QItemSelectionModel* sm = selectionModel();
    if (!sm) return;
    const int n = model_->dataRows(), c = model_->cols();
    QItemSelection sel;
    const int r1 = std::max(1, std::min(row_, rowSel_));
    const int r2 = std::min(n, std::max(row_, rowSel_));
    if (c > 0 && r1 <= r2) {
        const int c1 = std::min(col_, colSel_), c2 = std::min(c - 1, std::max(col_, colSel_));
        sel.select(model_->index(r1 - 1, c1), model_->index(r2 - 1, c2));
    }
    sm->select(sel, QItemSelectionModel::ClearAndSelect);
    const QModelIndex current =
        (row_ >= 1 && row_ <= n && col_ < c) ? model_->index(row_ - 1, col_) : QModelIndex();
    sm->setCurrentIndex(current, QItemSelectionModel::NoUpdate);
}

void FlexGrid::moveSelection(int row, int col, bool extend) {
    if (extend) {
        rowSel_ = row;
        colSel_ = col;
    } else {
        row_ = rowSel_ = row;
        col_ = colSel_ = col;
    }
    applySelection();
}

void FlexGrid::moveSelectionInPlace(int row, int col, bool extend) {
    // A new current cell scrolls itself into view unless auto-scroll is off.
    const bool autoScrolls = hasAutoScroll();
    setAutoScroll(false);
    moveSelection(row, col, extend);
    setAutoScroll(autoScrolls);
}

// ---- sorting, widths, content -------------------------------------------------------

void FlexGrid::sort(SortKind kind, SortDirection direction) {
    model_->sort(kind, direction, col_, colSel_);
    viewport()->update();
}

const std::optional<SortMark>& FlexGrid::sortMark() const {
    return model_->sortMark();
}

void FlexGrid::setSortMark(std::optional<SortMark> mark) {
    model_->setSortMark(mark);
}

int FlexGrid::ColWidth(int col) const {
    if (col < 0 || col >= Cols()) return 0;
    const int px = horizontalHeader()->sectionSize(col);
    // Keep the twips that were set as long as the column still has their width,
    // so that a width read back from the settings does not drift by rounding.
    // A column never given a width has the design width of 1000 twips.
    const int tw = col < twips_.size() ? twips_[col] : kDefaultColTwips;
    if (tw >= 0 && twipsToPx(tw) == px) return tw;
    return pxToTwips(px);
}

void FlexGrid::setColWidth(int col, int twips) {
    if (col < 0 || col >= Cols()) return;
    if (twips_.size() < Cols()) twips_.resize(Cols(), kDefaultColTwips);
    if (twips < 0) {
        twips_[col] = kDefaultColTwips;
        setColumnWidth(col, horizontalHeader()->defaultSectionSize());
    } else {
        twips_[col] = twips;
        setColumnWidth(col, twipsToPx(twips));
    }
}

void FlexGrid::Clear() {
    model_->clear();
    Refresh();
}

void FlexGrid::setDataSource(std::shared_ptr<const db::RowSet> rows) {
    // A model reset may give the header fresh sections: keep the widths.
    QVector<int> widths;
    for (int c = 0; c < Cols(); ++c)
        widths.push_back(horizontalHeader()->sectionSize(c));
    model_->bind(std::move(rows));
    twips_.resize(Cols(), kDefaultColTwips);
    for (int c = 0; c < Cols() && c < widths.size(); ++c)
        setColumnWidth(c, widths[c]);
    if (model_->dataRows() > 0)
        row_ = rowSel_ = 1;
    else
        row_ = rowSel_ = 0;
    col_ = colSel_ = 0;
    applySelection();
    scrollToTop();
    horizontalScrollBar()->setValue(0);
}

void FlexGrid::Refresh() {
    viewport()->update();
    horizontalHeader()->viewport()->update();
}

// ---- mouse and keyboard -----------------------------------------------------------

void FlexGrid::trackMouse(const QPoint& pos) {
    const QModelIndex idx = indexAt(pos);
    mouseCol_ = columnAt(pos.x());
    mouseRow_ = idx.isValid() ? idx.row() + 1 : -1;
}

void FlexGrid::emitMouseDown(QMouseEvent* e, QWidget* from) {
    const QPoint p = from->mapTo(this, e->position().toPoint());
    emit MouseDown(mouseButtonCode(e->button()), shiftStateCode(e->modifiers()), pxToTwips(p.x()),
                   pxToTwips(p.y()));
}

// Left press: a plain press selects the cell, Shift extends the selection to it.
// Right and middle presses leave the selection alone (the pop-up menu acts on the
// row under the pointer through MouseRow).
void FlexGrid::mousePressEvent(QMouseEvent* e) {
    const QPoint pos = e->position().toPoint();
    trackMouse(pos);
    suppressClick_ = false;
    if (e->button() == Qt::LeftButton) {
        setFocus(Qt::MouseFocusReason);
        pressBefore_ = lastPress_;
        lastPress_ = {-1, -1, pos};
        if (mouseRow_ >= 1 && mouseCol_ >= 0) {
            lastPress_.row = mouseRow_;
            lastPress_.col = mouseCol_;
            moveSelectionInPlace(mouseRow_, mouseCol_, e->modifiers() & Qt::ShiftModifier);
            dragging_ = true;
        }
    }
    emitMouseDown(e, viewport());
    e->accept();
}

void FlexGrid::mouseMoveEvent(QMouseEvent* e) {
    QPoint pos = e->position().toPoint();
    if (!dragging_ || !(e->buttons() & Qt::LeftButton)) {
        trackMouse(pos);
        return;
    }
    // Dragging beyond the edge scrolls one step and extends to the edge cell.
    const QRect area = viewport()->rect();
    if (pos.y() < 0) {
        verticalScrollBar()->triggerAction(QAbstractSlider::SliderSingleStepSub);
        pos.setY(0);
    } else if (pos.y() >= area.height()) {
        verticalScrollBar()->triggerAction(QAbstractSlider::SliderSingleStepAdd);
        pos.setY(area.height() - 1);
    }
    if (pos.x() < 0) {
        horizontalScrollBar()->triggerAction(QAbstractSlider::SliderSingleStepSub);
        pos.setX(0);
    } else if (pos.x() >= area.width()) {
        horizontalScrollBar()->triggerAction(QAbstractSlider::SliderSingleStepAdd);
        pos.setX(area.width() - 1);
    }
    int r = rowAt(pos.y());
    int c = columnAt(pos.x());
    if (r < 0) r = model_->dataRows() - 1;
    if (c < 0) c = model_->cols() - 1;
    if (r < 0 || c < 0) return;
    mouseRow_ = r + 1;
    mouseCol_ = c;
    if (r + 1 != rowSel_ || c != colSel_) moveSelection(r + 1, c, true);
}

void FlexGrid::mouseReleaseEvent(QMouseEvent* e) {
    trackMouse(e->position().toPoint());
    dragging_ = false;
    const bool click = e->button() == Qt::LeftButton && !suppressClick_;
    suppressClick_ = false;
    e->accept();
    if (click) emit Click();
}

// The second press of a double click: MouseDown, then DblClick on a data cell. The
// release that follows does not make a Click. The window system sends the second
// press just before this event; the cell is the one of the press before it, where
// the double click began, even if the pointer has since crossed into the next row.
void FlexGrid::mouseDoubleClickEvent(QMouseEvent* e) {
    const QPoint pos = e->position().toPoint();
    trackMouse(pos);
    const int near = QApplication::styleHints()->mouseDoubleClickDistance();
    const bool paired = e->button() == Qt::LeftButton && lastPress_.pos == pos &&
                        pressBefore_.row >= 1 && (pressBefore_.pos - pos).manhattanLength() <= near;
    if (paired && pressBefore_.row < Rows() && pressBefore_.col < Cols()) {
        mouseRow_ = pressBefore_.row;
        mouseCol_ = pressBefore_.col;
    }
    pressBefore_ = lastPress_ = {};
    const bool onCell = mouseRow_ >= 1 && mouseCol_ >= 0;
    if (e->button() == Qt::LeftButton && onCell) moveSelectionInPlace(mouseRow_, mouseCol_, false);
    emitMouseDown(e, viewport());
    e->accept();
    if (e->button() == Qt::LeftButton && onCell) {
        suppressClick_ = true;
        emit DblClick();
    }
}

void FlexGrid::keyPressEvent(QKeyEvent* e) {
    const int n = model_->dataRows(), c = model_->cols();
    if (e->matches(QKeySequence::SelectAll)) {
        if (n > 0 && c > 0) {
            row_ = 1;
            col_ = 0;
            rowSel_ = n;
            colSel_ = c - 1;
            applySelection();
        }
        e->accept();
        return;
    }
    const Qt::KeyboardModifiers mods = e->modifiers() & ~Qt::KeypadModifier;
    if ((e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter) && mods == Qt::NoModifier) {
        // Enter on a data row opens it as a double click does.
        e->accept();
        if (rowSel_ >= 1 && rowSel_ <= n) emit DblClick();
        return;
    }
    if (e->key() == Qt::Key_Menu || (e->key() == Qt::Key_F10 && mods == Qt::ShiftModifier)) {
        e->accept();
        menuKey(e->modifiers());
        return;
    }
    const bool extend = e->modifiers() & Qt::ShiftModifier;
    const bool ctrl = e->modifiers() & Qt::ControlModifier;
    int r = extend ? rowSel_ : row_;
    int col = extend ? colSel_ : col_;
    const int page = std::max(1, viewport()->height() / std::max(1, rowHeight(0)) - 1);
    switch (e->key()) {
    case Qt::Key_Up:
        --r;
        break;
    case Qt::Key_Down:
        ++r;
        break;
    case Qt::Key_Left:
        --col;
        break;
    case Qt::Key_Right:
        ++col;
        break;
    case Qt::Key_PageUp:
        r -= page;
        break;
    case Qt::Key_PageDown:
        r += page;
        break;
    case Qt::Key_Home:
        if (ctrl) r = 1;
        col = 0;
        break;
    case Qt::Key_End:
        if (ctrl) r = n;
        col = c - 1;
        break;
    default:
        QTableView::keyPressEvent(e);
        return;
    }
    e->accept();
    if (n == 0 || c == 0) return;
    r = std::clamp(r, 1, n);
    col = std::clamp(col, 0, c - 1);
    moveSelection(r, col, extend);
    scrollTo(model_->index(r - 1, col));
}

void FlexGrid::menuKey(Qt::KeyboardModifiers modifiers) {
    QPoint at = viewport()->mapTo(this, QPoint(0, 0));
    mouseRow_ = mouseCol_ = -1;
    if (rowSel_ >= 1 && rowSel_ <= model_->dataRows() && colSel_ < model_->cols()) {
        const QModelIndex cell = model_->index(rowSel_ - 1, colSel_);
        scrollTo(cell);
        at = viewport()->mapTo(this, visualRect(cell).center());
        mouseRow_ = rowSel_;
        mouseCol_ = colSel_;
    }
    emit MouseDown(mouseButtonCode(Qt::RightButton), shiftStateCode(modifiers), pxToTwips(at.x()),
                   pxToTwips(at.y()));
}

bool FlexGrid::onHeaderGrip(const QPoint& pos) const {
    const QHeaderView* h = horizontalHeader();
    const int visual = h->visualIndexAt(pos.x());
    if (visual < 0) return false;
    const int logical = h->logicalIndex(visual);
    const int left = h->sectionViewportPosition(logical);
    const int grip = h->style()->pixelMetric(QStyle::PM_HeaderGripMargin, nullptr, h);
    const bool atLeft = pos.x() < left + grip && visual > 0;
    const bool atRight = pos.x() > left + h->sectionSize(logical) - grip;
    return atLeft || atRight;
}

// Presses on the header row are grid events with MouseRow 0; a left click on a
// header (not on its resize grip) is a Click. A double click on a header is one
// click: its second press makes no Click.
bool FlexGrid::eventFilter(QObject* watched, QEvent* event) {
    QHeaderView* h = horizontalHeader();
    if (watched != h->viewport()) return QTableView::eventFilter(watched, event);
    switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick: {
        auto* me = static_cast<QMouseEvent*>(event);
        const QPoint pos = me->position().toPoint();
        headerPress_ = -1;
        if (onHeaderGrip(pos)) break; // the header resizes the column
        const int section = h->logicalIndexAt(pos);
        mouseRow_ = section >= 0 ? 0 : -1;
        mouseCol_ = section;
        if (me->button() == Qt::LeftButton && section >= 0 &&
            event->type() == QEvent::MouseButtonPress)
            headerPress_ = section;
        emitMouseDown(me, h->viewport());
        break;
    }
    case QEvent::MouseButtonRelease: {
        auto* me = static_cast<QMouseEvent*>(event);
        const bool pressed = headerPress_ >= 0;
        headerPress_ = -1;
        if (!pressed || me->button() != Qt::LeftButton) break;
        const int section = h->logicalIndexAt(me->position().toPoint());
        if (section < 0 || !h->viewport()->rect().contains(me->position().toPoint())) break;
        mouseRow_ = 0;
        mouseCol_ = section;
        emit Click();
        break;
    }
    default:
        break;
    }
    return QTableView::eventFilter(watched, event);
}

} // namespace krvs
