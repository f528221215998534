#pragma once
#include <QString>
#include <functional>

class QWidget;

namespace krvs {

// A comment as it is stored: every CR LF pair becomes one blank; a lone CR or LF
// stays as it is.
QString commentForUpdate(const QString& text);

// Writes with the form disabled and the hourglass shown, then says "The update was
// successful." under successTitle and refreshes the grid. An error shows its box
// under errorTitle instead. The form is enabled again either way.
void applyUpdate(QWidget* form, const std::function<void(int)>& setPointer,
                 const std::function<void()>& write, const QString& successTitle,
                 const QString& errorTitle, const std::function<void()>& refresh);

} // namespace krvs
