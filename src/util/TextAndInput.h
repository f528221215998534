#pragma once
#include <QString>
#include <Qt>

namespace krvs {

// Removes blanks (spaces only, not tabs or line breaks) from both ends.
QString trimBlanks(const QString& s);

// The platform's mouse-button numbers: 1 left, 2 right, 4 middle, 0 other.
int mouseButtonCode(Qt::MouseButton button);
// The platform's shift-state bits: 1 Shift, 2 Ctrl, 4 Alt.
int shiftStateCode(Qt::KeyboardModifiers modifiers);

} // namespace krvs
