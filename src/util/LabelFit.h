#pragma once

class QLabel;

namespace krvs {

// A label keeps its place; when the desktop's font is wider than the one the
// layout was drawn for, it grows towards the control beside it and, if that is
// not enough, its font shrinks a little, so that no caption is cut off.
void fitLabel(QLabel* label, int roomTwips);

} // namespace krvs
