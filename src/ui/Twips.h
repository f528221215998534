#pragma once
#include <QPoint>
#include <QRect>
#include <QSize>

namespace krvs {

// Every measure of the program is in twips (1440 an inch). These convert to and
// from device-independent pixels with the screen's logical DPI.
double twipsPerPixel();
int twipsToPx(double twips);
int pxToTwips(int px);
QRect twipsRect(double left, double top, double width, double height);

} // namespace krvs
