#include "ui/FormGeometry.h"

#include "ui/TitleFit.h"
#include "ui/Twips.h"

#include <QWidget>

namespace krvs {

void CenterForm(QWidget* parent, QWidget* child) {
    if (!parent || !child) return;
    const QRect p = parent->frameGeometry();
    const QRect c = child->frameGeometry();
    // Computed in twips like the rest of the layout; not kept on the screen.
    const double pt = pxToTwips(p.top()), pl = pxToTwips(p.left());
    const double ph = pxToTwips(p.height()), pw = pxToTwips(p.width());
    const double ch = pxToTwips(c.height()), cw = pxToTwips(c.width());
    const float top = static_cast<float>((ph - ch) / 2 + pt);
    const float left = static_cast<float>((pw - cw) / 2 + pl);
    child->move(twipsToPx(left), twipsToPx(top));
}

void place(QWidget* control, double left, double top, double width, double height) {
    control->setGeometry(twipsRect(left, top, width, height));
}

void setTabChain(std::initializer_list<QWidget*> controls) {
    QWidget* prev = nullptr;
    for (QWidget* c : controls) {
        if (prev) QWidget::setTabOrder(prev, c);
        prev = c;
    }
}

void SetClientSize(QWidget* form, int widthTwips, int heightTwips) {
    if (!form) return;
    // Qt sizes a window by its inner area already; the frame is the window system's.
    if (isFixedDialog(form))
        setFixedDialogSize(form, twipsToPx(widthTwips), twipsToPx(heightTwips));
    else
        form->resize(twipsToPx(widthTwips), twipsToPx(heightTwips));
}

} // namespace krvs
