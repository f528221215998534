#pragma once
#include <QString>

class QDialog;
class QWidget;

namespace krvs {

// The title bar is drawn by the window manager in a face the program cannot ask for.
// The estimate: the platform's title-bar font (the window's own font where the platform
// names none), in bold as title bars commonly draw, with a tenth more for a wider face,
// and nine line heights for the window manager's icon, buttons and padding (an icon and
// three buttons take about eight and a half under a common window manager). A window at
// least this wide shows its whole title.
int titleBarWidth(const QString& title, const QWidget* window);
int titleBarWidth(const QWidget* window);

// A dialog of fixed size: a title bar with a close button only (no minimise or
// maximise), and a width that follows its title: never narrower than the title needs
// (titleBarWidth), otherwise as designed. SetClientSize keeps such a dialog fixed.
void makeFixedDialog(QDialog* dialog);

// Whether makeFixedDialog made this a fixed dialog.
bool isFixedDialog(const QWidget* window);

// Gives a fixed dialog its inner size: the designed width, or the title's, whichever
// is more, and the height; in pixels.
void setFixedDialogSize(QWidget* window, int designWidthPx, int heightPx);

} // namespace krvs
