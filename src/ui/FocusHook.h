#pragma once
#include <QObject>
#include <functional>

class QWidget;

namespace krvs {

// Calls a handler each time a widget gains the keyboard focus (a GotFocus event).
// The handler runs after the focus change has settled, so a mouse click that
// gave the focus does not undo a selection the handler makes.
void onGotFocus(QWidget* widget, std::function<void()> handler);

} // namespace krvs
