#include "merge/frmMergePreview.h"

#include "ui/DialogKeys.h"
#include "ui/FormGeometry.h"

#include <QDir>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace krvs {

namespace {

QString number(qint64 n) {
    return QLocale::system().toString(n);
}

QString unboxedText(const checklist::MergePlan& plan) {
    const std::size_t n = plan.unboxed.size();
    QString t =
        QStringLiteral("%1 %2 a Series or Category that no box of the search panel "
                       "selects; %3 found only through \"*\" and the advanced mode:")
            .arg(number(static_cast<qint64>(n)),
                 n == 1 ? QStringLiteral("card will have") : QStringLiteral("cards will have"),
                 n == 1 ? QStringLiteral("it is") : QStringLiteral("they are"));
    constexpr std::size_t kShown = 5;
    for (std::size_t i = 0; i < std::min(n, kShown); ++i) {
        const auto& c = plan.unboxed[i];
        t += QStringLiteral("\nDbId %1 \"%2\" (Series %3, Category %4)")
                 .arg(c.dbId)
                 .arg(c.title, c.series.isEmpty() ? QStringLiteral("empty") : c.series,
                      c.category.isEmpty() ? QStringLiteral("empty") : c.category);
    }
    if (n > kShown)
        t += QStringLiteral("\nand %1 more.").arg(number(static_cast<qint64>(n - kShown)));
    return t;
}

} // namespace

QString mergeCountsText(const checklist::MergePlan& plan) {
    return QStringLiteral("New cards: %1\nChanged cards: %2\nUnchanged cards: %3\n"
                          "Cards not in the new checklist (kept as they are): %4")
        .arg(number(static_cast<qint64>(plan.added.size())),
             number(static_cast<qint64>(plan.changed.size())), number(plan.unchanged),
             number(plan.missing));
}

frmMergePreview::frmMergePreview(const checklist::MergePlan& plan, const QString& checklistFile,
                                 QWidget* mainWindow)
    : QDialog(mainWindow) {
    setObjectName(QStringLiteral("frmMergePreview"));
    setWindowTitle(QStringLiteral("Merge Checklist"));
    setModal(true);
    auto* layout = new QVBoxLayout(this);

    lblFile = named(
        new QLabel(QStringLiteral("Checklist: ") + QDir::toNativeSeparators(checklistFile), this),
        "lblFile");
    lblFile->setWordWrap(true);
    lblFile->setTextInteractionFlags(Qt::TextSelectableByMouse);
    layout->addWidget(lblFile);

    lblCounts = named(new QLabel(mergeCountsText(plan), this), "lblCounts");
    layout->addWidget(lblCounts);

    lstChanges = named(new QTreeWidget(this), "lstChanges");
    lstChanges->setColumnCount(3);
    lstChanges->setHeaderLabels(
        {QStringLiteral("DbId / Field"), QStringLiteral("Old"), QStringLiteral("New")});
    lstChanges->setRootIsDecorated(true);
    lstChanges->setUniformRowHeights(true);
    QList<QTreeWidgetItem*> items;
    const std::size_t listed = std::min<std::size_t>(plan.changes.size(), kListedCards);
    for (std::size_t i = 0; i < listed; ++i) {
        const auto& change = plan.changes[i];
        auto* card =
            new QTreeWidgetItem({QStringLiteral("%1  %2").arg(change.dbId).arg(change.title)});
        for (const auto& f : change.fields)
            card->addChild(new QTreeWidgetItem(
                {QLatin1String(checklist::kFieldNames[f.field]), f.before, f.after}));
        items << card;
    }
    if (plan.changes.size() > listed)
        items << new QTreeWidgetItem(
            {QStringLiteral("... and %1 more changed cards")
                 .arg(number(static_cast<qint64>(plan.changes.size() - listed)))});
    lstChanges->addTopLevelItems(items);
    for (QTreeWidgetItem* item : items)
        item->setFirstColumnSpanned(true);
    lstChanges->expandAll();
    lstChanges->header()->setSectionResizeMode(QHeaderView::Interactive);
    const int em = fontMetrics().horizontalAdvance(QLatin1Char('M'));
    // the field names, indented under their card
    lstChanges->setColumnWidth(0, fontMetrics().horizontalAdvance(QStringLiteral("DBComments")) +
                                      lstChanges->indentation() * 2 + em * 2);
    lstChanges->setColumnWidth(1, em * 20);
    lstChanges->setVisible(!plan.changes.empty());
    auto* changedLabel =
        named(new QLabel(QStringLiteral("Changed cards (old \u2192 new):"), this), "lblChanged");
    changedLabel->setVisible(!plan.changes.empty());
    layout->addWidget(changedLabel);
    layout->addWidget(lstChanges, 1);

    lblUnboxed = named(new QLabel(this), "lblUnboxed");
    lblUnboxed->setWordWrap(true);
    lblUnboxed->setTextInteractionFlags(Qt::TextSelectableByMouse);
    if (!plan.unboxed.empty()) lblUnboxed->setText(unboxedText(plan));
    lblUnboxed->setVisible(!plan.unboxed.empty());
    layout->addWidget(lblUnboxed);

    lblKept = named(new QLabel(QStringLiteral("Own marks and your comments are kept. A backup of "
                                              "the catalogue is written into the backup folder "
                                              "first."),
                               this),
                    "lblKept");
    lblKept->setWordWrap(true);
    layout->addWidget(lblKept);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    cmdOK = named(new QPushButton(QStringLiteral("OK"), this), "cmdOK");
    cmdCancel = named(new QPushButton(QStringLiteral("Cancel"), this), "cmdCancel");
    buttons->addWidget(cmdOK);
    buttons->addWidget(cmdCancel);
    layout->addLayout(buttons);
    // A change to the catalogue is never what Enter does by itself.
    useDesignDefault(this, cmdCancel);
    cmdCancel->setFocus();
    connect(cmdOK, &QPushButton::clicked, this, &QDialog::accept);
    connect(cmdCancel, &QPushButton::clicked, this, &QDialog::reject);

    resize(qMax(sizeHint().width(), em * 56),
           plan.changes.empty() ? sizeHint().height() : qMax(sizeHint().height(), em * 30));
    lstChanges->scrollToTop();
    if (mainWindow) CenterForm(mainWindow, this);
}

} // namespace krvs
