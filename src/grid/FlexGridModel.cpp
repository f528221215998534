#include "grid/FlexGridModel.h"

#include "grid/GridSort.h"

#include <algorithm>
#include <numeric>
#include <utility>

namespace krvs {

namespace {

constexpr int kGeneralAlign = 9;
constexpr std::uint32_t kNoPosition = 0xffffffffu; // an id not shown
const QString kUp = QStringLiteral(" ^");
const QString kDown = QStringLiteral(" v");

Qt::Alignment alignmentFor(int code, bool number) {
    switch (code) {
    case 0:
        return Qt::AlignLeft | Qt::AlignTop;
    case 1:
        return Qt::AlignLeft | Qt::AlignVCenter;
    case 2:
        return Qt::AlignLeft | Qt::AlignBottom;
    case 3:
        return Qt::AlignHCenter | Qt::AlignTop;
    case 4:
        return Qt::AlignHCenter | Qt::AlignVCenter;
    case 5:
        return Qt::AlignHCenter | Qt::AlignBottom;
    case 6:
        return Qt::AlignRight | Qt::AlignTop;
    case 7:
        return Qt::AlignRight | Qt::AlignVCenter;
    case 8:
        return Qt::AlignRight | Qt::AlignBottom;
    default:
        return (number ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignVCenter;
    }
}

} // namespace

FlexGridModel::FlexGridModel(QObject* parent) : QAbstractTableModel(parent) {}

// ---- shape ------------------------------------------------------------------------

void FlexGridModel::setDataRows(int n) {
    n = std::max(n, 0);
    const int cur = dataRows();
    if (n > cur) {
        beginInsertRows(QModelIndex(), cur, n - 1);
        order_.reserve(static_cast<std::size_t>(n));
        for (int i = cur; i < n; ++i)
            order_.push_back(nextId_++);
        endInsertRows();
    } else if (n < cur) {
        beginRemoveRows(QModelIndex(), n, cur - 1);
        if (!overrides_.isEmpty()) {
            for (int i = n; i < cur; ++i) {
                const std::uint32_t id = order_[static_cast<std::size_t>(i)];
                for (int c = 0; c < cols(); ++c)
                    overrides_.remove(key(id, c));
            }
        }
        order_.resize(static_cast<std::size_t>(n));
        order_.shrink_to_fit();
        endRemoveRows();
    }
}

void FlexGridModel::setCols(int n) {
    n = std::clamp(n, 0, 0xffff);
    const int cur = cols();
    if (n > cur) {
        beginInsertColumns(QModelIndex(), cur, n - 1);
        header_.resize(n);
        align_.resize(n);
        for (int c = cur; c < n; ++c)
            align_[c] = kGeneralAlign;
        endInsertColumns();
    } else if (n < cur) {
        beginRemoveColumns(QModelIndex(), n, cur - 1);
        if (!overrides_.isEmpty()) {
            for (auto it = overrides_.begin(); it != overrides_.end();) {
                if (static_cast<int>(it.key() & 0xffff) >= n)
                    it = overrides_.erase(it);
                else
                    ++it;
            }
        }
        header_.resize(n);
        align_.resize(n);
        if (mark_ && mark_->col >= n) mark_.reset();
        endRemoveColumns();
    }
}

// ---- cells ------------------------------------------------------------------------

const QString* FlexGridModel::overrideFor(std::uint32_t id, int col) const {
    if (overrides_.isEmpty()) return nullptr;
    auto it = overrides_.constFind(key(id, col));
    return it == overrides_.constEnd() ? nullptr : &it.value();
}

std::string_view FlexGridModel::boundUtf8(std::uint32_t id, int col,
                                          db::RowSet::CellBuffer& number) const {
    if (!rows_ || id >= static_cast<std::uint32_t>(rows_->rowCount()) || col >= rows_->colCount())
        return {};
    return rows_->cellUtf8(static_cast<int>(id), col, number);
}

QString FlexGridModel::cellText(int row, int col) const {
    if (row < 0 || row >= dataRows() || col < 0 || col >= cols()) return QString();
    const std::uint32_t id = order_[static_cast<std::size_t>(row)];
    if (const QString* o = overrideFor(id, col)) return *o;
    db::RowSet::CellBuffer number;
    const auto v = boundUtf8(id, col, number);
    return QString::fromUtf8(v.data(), static_cast<qsizetype>(v.size()));
}

void FlexGridModel::setCellText(int row, int col, const QString& text) {
    if (row < 0 || row >= dataRows() || col < 0 || col >= cols()) return;
    const std::uint32_t id = order_[static_cast<std::size_t>(row)];
    overrides_.insert(key(id, col), text);
    const QModelIndex i = index(row, col);
    emit dataChanged(i, i, {Qt::DisplayRole});
}

QString FlexGridModel::headerText(int col) const {
    if (col < 0 || col >= cols()) return QString();
    if (mark_ && mark_->col == col)
        return header_[col] + (mark_->direction == SortDirection::Ascending ? kUp : kDown);
    return header_[col];
}

void FlexGridModel::setHeaderText(int col, const QString& text) {
    if (col < 0 || col >= cols()) return;
    header_[col] = text;
    if (mark_ && mark_->col == col) mark_.reset();
    emit headerDataChanged(Qt::Horizontal, col, col);
}

void FlexGridModel::setSortMark(std::optional<SortMark> mark) {
    if (mark && (mark->col < 0 || mark->col >= cols())) mark.reset();
    const std::optional<SortMark> old = std::exchange(mark_, mark);
    for (const auto& m : {old, mark_})
        if (m) emit headerDataChanged(Qt::Horizontal, m->col, m->col);
}

void FlexGridModel::setColAlignment(int col, int code) {
    if (col < 0 || col >= cols()) return;
    align_[col] = (code >= 0 && code <= 8) ? code : kGeneralAlign;
    if (dataRows() > 0) emit dataChanged(index(0, col), index(dataRows() - 1, col));
}

int FlexGridModel::colAlignment(int col) const {
    return col >= 0 && col < cols() ? align_[col] : kGeneralAlign;
}

void FlexGridModel::clear() {
    rows_.reset();
    overrides_.clear();
    for (auto& h : header_)
        h.clear();
    mark_.reset();
    if (cols() > 0) {
        emit headerDataChanged(Qt::Horizontal, 0, cols() - 1);
        if (dataRows() > 0) emit dataChanged(index(0, 0), index(dataRows() - 1, cols() - 1));
    }
}

void FlexGridModel::bind(std::shared_ptr<const db::RowSet> rows) {
    beginResetModel();
    rows_ = std::move(rows);
    overrides_.clear();
    mark_.reset();
    const int n = rows_ ? rows_->rowCount() : 0;
    order_.assign(static_cast<std::size_t>(n), 0);
    order_.shrink_to_fit();
    std::iota(order_.begin(), order_.end(), 0u);
    nextId_ = static_cast<std::uint32_t>(n);
    if (rows_) {
        const int c = std::min<int>(rows_->colCount(), 0xffff);
        const int old = cols();
        header_.resize(c);
        align_.resize(c);
        for (int i = old; i < c; ++i)
            align_[i] = kGeneralAlign;
        for (int i = 0; i < c; ++i)
            header_[i] = rows_->fields.at(i);
    } else {
        for (auto& h : header_)
            h.clear();
    }
    endResetModel();
}

// ---- sorting ----------------------------------------------------------------------

void FlexGridModel::sort(SortKind kind, SortDirection direction, int firstCol, int lastCol) {
    const int n = dataRows();
    if (firstCol > lastCol) std::swap(firstCol, lastCol);
    firstCol = std::max(firstCol, 0);
    lastCol = std::min(lastCol, cols() - 1);
    if (n < 2 || firstCol > lastCol) return;

    // Visit the rows in the order the snapshot stores them, which reads its text
    // front to back; added empty rows come last.
    const std::uint32_t stored = rows_ ? static_cast<std::uint32_t>(rows_->rowCount()) : 0;
    // A row's place: where the snapshot stores it, or after the snapshot for an added row.
    auto placeOf = [&](std::uint32_t id) { return id < stored ? rows_->storedRow(id) : id; };
    std::vector<std::uint32_t> visit(static_cast<std::size_t>(n)), visitPlace(visit.size());
    {
        std::vector<std::uint32_t> posAt(nextId_, kNoPosition); // place -> position
        for (int i = 0; i < n; ++i)
            posAt[placeOf(order_[static_cast<std::size_t>(i)])] = static_cast<std::uint32_t>(i);
        std::size_t k = 0;
        for (std::uint32_t place = 0; place < nextId_; ++place) {
            if (posAt[place] == kNoPosition) continue;
            visit[k] = posAt[place];
            visitPlace[k++] = place;
        }
    }

    QByteArray written;            // a cell written by hand, as UTF-8
    db::RowSet::CellBuffer number; // a cell stored as a number, as text
    auto sorted = sortRows(kind, direction, firstCol, lastCol, visit, [&](std::size_t k, int col) {
        const std::uint32_t id = order_[visit[k]];
        if (const QString* o = overrideFor(id, col)) {
            written = o->toUtf8();
            return SortCell{
                std::string_view(written.constData(), static_cast<std::size_t>(written.size())),
                true};
        }
        if (id >= stored || col >= rows_->colCount()) return SortCell{};
        const auto v = rows_->storedCellUtf8(visitPlace[k], col, number);
        return SortCell{v, v.data() == number.data()}; // a number's text lasts one call
    });
    for (std::uint32_t& s : sorted)
        s = order_[s]; // the position's row id
    order_.swap(sorted);
    emit dataChanged(index(0, 0), index(n - 1, cols() - 1), {Qt::DisplayRole});
}

// ---- QAbstractTableModel ----------------------------------------------------------

int FlexGridModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : dataRows();
}

int FlexGridModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : cols();
}

QVariant FlexGridModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid()) return QVariant();
    if (role == Qt::DisplayRole) return cellText(index.row(), index.column());
    if (role == Qt::TextAlignmentRole) {
        const int code = colAlignment(index.column());
        bool number = false;
        if (code == kGeneralAlign) {
            const std::uint32_t id = order_[static_cast<std::size_t>(index.row())];
            double d = 0;
            if (const QString* o = overrideFor(id, index.column()))
                number = parseNumber(o->toStdString(), &d);
            else {
                db::RowSet::CellBuffer text;
                number = parseNumber(boundUtf8(id, index.column(), text), &d);
            }
        }
        return QVariant::fromValue(alignmentFor(code, number));
    }
    return QVariant();
}

QVariant FlexGridModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal) {
        if (role == Qt::DisplayRole) return section + 1;
        return QVariant();
    }
    if (role == Qt::DisplayRole) return headerText(section);
    if (role == Qt::TextAlignmentRole)
        return QVariant::fromValue(Qt::Alignment(Qt::AlignLeft | Qt::AlignVCenter));
    return QVariant();
}

Qt::ItemFlags FlexGridModel::flags(const QModelIndex& index) const {
    if (!index.isValid()) return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable;
}

} // namespace krvs
