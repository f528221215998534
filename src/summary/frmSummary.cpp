#include "summary/frmSummary.h"

#include "ui/DialogKeys.h"
#include "ui/FormGeometry.h"

#include <QApplication>
#include <QClipboard>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLocale>
#include <QPainter>
#include <QPushButton>
#include <QStyleOptionProgressBar>
#include <QTableWidget>
#include <QVBoxLayout>

namespace krvs {

namespace {
enum Column { cGroup, cName, cOwned, cTotal, cPercent, cBar, cCount };
} // namespace

void PercentBarDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                               const QModelIndex& index) const {
    const QVariant v = index.data(Qt::UserRole);
    QStyledItemDelegate::paint(painter, option, index); // background and selection
    if (!v.isValid()) return;
    QStyleOptionProgressBar bar;
    bar.rect = option.rect.adjusted(3, 3, -3, -3);
    bar.minimum = 0;
    bar.maximum = 1000;
    bar.progress = qBound(0, qRound(v.toDouble() * 10), 1000);
    bar.textVisible = false;
    bar.state = option.state | QStyle::State_Horizontal;
    bar.palette = option.palette;
    bar.direction = option.direction;
    bar.fontMetrics = option.fontMetrics;
    const QWidget* w = option.widget;
    (w ? w->style() : QApplication::style())->drawControl(QStyle::CE_ProgressBar, &bar, painter, w);
}

QSize PercentBarDelegate::sizeHint(const QStyleOptionViewItem& option,
                                   const QModelIndex& index) const {
    QSize s = QStyledItemDelegate::sizeHint(option, index);
    s.setWidth(qMax(s.width(), option.fontMetrics.horizontalAdvance(QLatin1Char('M')) * 10));
    return s;
}

frmSummary::frmSummary(const summary::CollectionCounts& counts, const summary::CountRow& shown,
                       QWidget* mainWindow)
    : QDialog(mainWindow) {
    setObjectName(QStringLiteral("frmSummary"));
    setWindowTitle(QStringLiteral("Collection Summary"));
    setModal(true);
    rows_ = counts.series;
    rows_.insert(rows_.end(), counts.categories.begin(), counts.categories.end());
    rows_.push_back(counts.all);
    rows_.push_back(shown);

    auto* layout = new QVBoxLayout(this);
    tblSummary =
        named(new QTableWidget(static_cast<int>(rows_.size()), cCount, this), "tblSummary");
    tblSummary->setHorizontalHeaderLabels({QStringLiteral("Group"), QStringLiteral("Name"),
                                           QStringLiteral("Owned"), QStringLiteral("Total"),
                                           QStringLiteral("Percent"), QString()});
    tblSummary->verticalHeader()->hide();
    tblSummary->setEditTriggers(QAbstractItemView::NoEditTriggers);
    tblSummary->setSelectionBehavior(QAbstractItemView::SelectRows);
    tblSummary->setItemDelegateForColumn(cBar, new PercentBarDelegate(tblSummary));
    const QLocale locale = QLocale::system();
    const auto number = [&](qint64 n) { return locale.toString(n); };
    for (int r = 0; r < static_cast<int>(rows_.size()); ++r) {
        const summary::CountRow& row = rows_[static_cast<std::size_t>(r)];
        const bool totalRow = row.name.isEmpty() && row.group != QLatin1String("Series") &&
                              row.group != QLatin1String("Category");
        const auto set = [&](int col, const QString& text, bool right) {
            auto* item = new QTableWidgetItem(text);
            if (right) item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
            if (totalRow) {
                QFont f = item->font();
                f.setBold(true);
                item->setFont(f);
            }
            tblSummary->setItem(r, col, item);
            return item;
        };
        set(cGroup, row.group, false);
        set(cName, row.name.isEmpty() && !totalRow ? QStringLiteral("(empty)") : row.name, false);
        set(cOwned, row.ownKnown ? number(row.owned) : QStringLiteral("-"), true);
        set(cTotal, number(row.total), true);
        set(cPercent,
            row.ownKnown ? locale.toString(summary::percentOwned(row), 'f', 1) + u'%'
                         : QStringLiteral("-"),
            true);
        auto* bar = set(cBar, QString(), false);
        if (row.ownKnown) bar->setData(Qt::UserRole, summary::percentOwned(row));
    }
    tblSummary->resizeColumnsToContents();
    tblSummary->setColumnWidth(cBar, qMax(tblSummary->columnWidth(cBar),
                                          fontMetrics().horizontalAdvance(QLatin1Char('M')) * 12));
    tblSummary->horizontalHeader()->setStretchLastSection(true);
    layout->addWidget(tblSummary, 1);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    cmdCopy = named(new QPushButton(QStringLiteral("&Copy"), this), "cmdCopy");
    cmdClose = named(new QPushButton(QStringLiteral("Close"), this), "cmdClose");
    buttons->addWidget(cmdCopy);
    buttons->addWidget(cmdClose);
    layout->addLayout(buttons);
    useDesignDefault(this, nullptr);
    connect(cmdCopy, &QPushButton::clicked, this, &frmSummary::cmdCopy_Click);
    connect(cmdClose, &QPushButton::clicked, this, &QDialog::reject);

    // Wide and tall enough for every column and up to about twenty rows.
    int width = 0;
    for (int c = 0; c < cCount; ++c)
        width += tblSummary->columnWidth(c);
    width += tblSummary->frameWidth() * 2 + layout->contentsMargins().left() +
             layout->contentsMargins().right() + 4;
    const int rowsShown = qMin(static_cast<int>(rows_.size()), 20);
    const int height = tblSummary->horizontalHeader()->sizeHint().height() +
                       rowsShown * tblSummary->verticalHeader()->defaultSectionSize() +
                       tblSummary->frameWidth() * 2 + 2;
    tblSummary->setMinimumSize(width, height);
    resize(sizeHint());
    if (mainWindow) CenterForm(mainWindow, this);
}

void frmSummary::cmdCopy_Click() {
    QApplication::clipboard()->setText(summary::countsAsText(rows_));
}

} // namespace krvs
