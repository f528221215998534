#include "app/MainWindowOps.h"

#include "grid/FlexGrid.h"

#include <QCoreApplication>
#include <QWidget>

namespace krvs {

void MainWindowOps::doEvents() {
    QCoreApplication::processEvents();
}

void MainWindowOps::showRecordCount() const {
    window->setWindowTitle(QStringLiteral("Korvessa Database - (Total records=") +
                           QString::number(grid->Rows() - 1) + QStringLiteral(")"));
}

void MainWindowOps::showBareCaption() const {
    window->setWindowTitle(QStringLiteral("Korvessa Database"));
}

} // namespace krvs
