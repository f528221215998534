#include "ui/MousePointer.h"

#include <QWidget>

namespace krvs {

void showMousePointer(QWidget* form, int code) {
    if (code == pointer::Hourglass)
        form->setCursor(Qt::WaitCursor);
    else
        form->unsetCursor();
}

} // namespace krvs
