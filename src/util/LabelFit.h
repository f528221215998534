#pragma once

class QLabel;
class QPushButton;

namespace krvs {

// A label keeps its place; when the desktop's font is wider than the one the
// layout was drawn for, it grows towards the control beside it and, if that is
// not enough, its font shrinks a little, so that no caption is cut off.
void fitLabel(QLabel* label, int roomTwips);

// The same for a button's caption: the button grows to the right, up to roomTwips
// wide, and its font shrinks a little only when that is not enough.
void fitButton(QPushButton* button, int roomTwips);

// The windows are laid out in twips for an 8-point dialog font: makes it the
// application's font. Called once, before the first window is built.
void useProgramFont();

} // namespace krvs
