#pragma once
#include "checklist/Merge.h"

#include <QDialog>

class QLabel;
class QPushButton;
class QTreeWidget;

namespace krvs {

// What a merge would do, shown before anything changes: the counts, the changed
// cards field by field (old -> new) and the cards no search-panel box selects.
// Accepted (OK) merges; Cancel, Esc or closing changes nothing.
class frmMergePreview : public QDialog {
    Q_OBJECT
  public:
    // At most this many changed cards are listed; the count says how many there are.
    static constexpr int kListedCards = 2000;

    frmMergePreview(const checklist::MergePlan& plan, const QString& checklistFile,
                    QWidget* mainWindow);

    QLabel* lblFile = nullptr;
    QLabel* lblCounts = nullptr;
    QTreeWidget* lstChanges = nullptr;
    QLabel* lblUnboxed = nullptr;
    QLabel* lblKept = nullptr;
    QPushButton* cmdOK = nullptr;
    QPushButton* cmdCancel = nullptr;
};

// The text of the counts, one per line, as the preview and the closing box show them.
QString mergeCountsText(const checklist::MergePlan& plan);

} // namespace krvs
