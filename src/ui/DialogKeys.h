#pragma once

class QDialog;
class QPushButton;

namespace krvs {

// The Enter key in a dialog, as the windows were designed: Enter on a focused button
// presses that button; anywhere else it presses the dialog's default button, and only
// the button named here (none when nullptr) is ever the default. Call after the
// dialog's buttons have been created.
void useDesignDefault(QDialog* dialog, QPushButton* defaultButton);

} // namespace krvs
