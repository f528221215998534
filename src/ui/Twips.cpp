#include "ui/Twips.h"

#include <QGuiApplication>
#include <QScreen>
#include <cmath>

namespace krvs {

double twipsPerPixel() {
    double dpi = 96.0;
    if (auto* screen = QGuiApplication::primaryScreen()) dpi = screen->logicalDotsPerInchY();
    if (dpi <= 0) dpi = 96.0;
    return 1440.0 / dpi;
}

int twipsToPx(double twips) {
    return static_cast<int>(std::lround(twips / twipsPerPixel()));
}

int pxToTwips(int px) {
    return static_cast<int>(std::lround(px * twipsPerPixel()));
}

QRect twipsRect(double left, double top, double width, double height) {
    return QRect(twipsToPx(left), twipsToPx(top), twipsToPx(width), twipsToPx(height));
}

} // namespace krvs
