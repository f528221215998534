#pragma once
#include <QAnyStringView>
#include <initializer_list>

class QWidget;

namespace krvs {

// Gives a new control the name the tests and the program find it by (the member's
// name) and hands it back.
template <class W> W* named(W* control, QAnyStringView name) {
    control->setObjectName(name);
    return control;
}

// Puts a control at its design rectangle, given in twips within its parent.
void place(QWidget* control, double left, double top, double width, double height);

// The Tab key goes through the controls in this order.
void setTabChain(std::initializer_list<QWidget*> controls);

// Centres child over parent (outer frames, no clamping to the screen).
void CenterForm(QWidget* parent, QWidget* child);

// Sizes a form so that its inner area is width x height twips (a fixed dialog stays
// fixed, and no narrower than its title needs).
void SetClientSize(QWidget* form, int widthTwips, int heightTwips);

} // namespace krvs
