#include "app/WindowOps.h"

#include "grid/FlexGrid.h"

#include <QCoreApplication>
#include <QWidget>

namespace krvs {

void WindowOps::doEvents() {
    QCoreApplication::processEvents();
}

void WindowOps::showRecordCount() const {
    window->setWindowTitle(QStringLiteral("Korvessa Database - (Total records=") +
                           QString::number(grid->Rows() - 1) + QStringLiteral(")"));
}

void WindowOps::showBareCaption() const {
    window->setWindowTitle(QStringLiteral("Korvessa Database"));
}

} // namespace krvs
