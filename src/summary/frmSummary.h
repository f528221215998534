#pragma once
#include "summary/CollectionCounts.h"

#include <QDialog>
#include <QStyledItemDelegate>

class QPushButton;
class QTableWidget;

namespace krvs {

// Paints a row's percent owned (the value under Qt::UserRole) as a bar.
class PercentBarDelegate : public QStyledItemDelegate {
    Q_OBJECT
  public:
    using QStyledItemDelegate::QStyledItemDelegate;
    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;
};

// Owned against total per series, per category, for every card and for the rows the
// grid shows. No default button; Esc closes it.
class frmSummary : public QDialog {
    Q_OBJECT
  public:
    frmSummary(const summary::CollectionCounts& counts, const summary::CountRow& shown,
               QWidget* mainWindow);

    QTableWidget* tblSummary = nullptr;
    QPushButton* cmdCopy = nullptr;
    QPushButton* cmdClose = nullptr;

    // The rows in the table's order.
    const std::vector<summary::CountRow>& rows() const { return rows_; }

  public slots:
    void cmdCopy_Click();

  private:
    std::vector<summary::CountRow> rows_;
};

} // namespace krvs
