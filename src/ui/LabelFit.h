#pragma once
#include <QFont>
#include <functional>

class QPushButton;
class QWidget;

namespace krvs {

// The windows were drawn for an 8.25-point dialog font.
constexpr double kDesignPointSize = 8.25;

// A caption's type is made smaller in quarter points, down to this size at the least.
constexpr double kSmallestPointSize = 6.5;

// font, made smaller step by step until widthIn(font) is no more than roomPx
// pixels or the smallest size is reached.
QFont shrinkToFit(QFont font, int roomPx, const std::function<int(const QFont&)>& widthIn);

// A button's caption: the button grows to the right, up to roomTwips
// wide, and its font shrinks a little only when that is not enough.
void fitButton(QPushButton* button, int roomTwips);

// Gives a form the dialog font its layout was drawn for.
void useDesignFont(QWidget* form);

// The windows are laid out in twips for the dialog font: makes it the
// application's font. Called once, before the first window is built.
void useProgramFont();

} // namespace krvs
