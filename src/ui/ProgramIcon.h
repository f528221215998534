#pragma once
#include <QIcon>
#include <QPixmap>

namespace krvs {

// The program's icon (a card with a star), for every window of the program.
QIcon programIcon();
// The icon drawn at a square size in pixels, for the imgIcon pictures of the dialogs.
QPixmap programIconPixmap(int sizePx);

} // namespace krvs
