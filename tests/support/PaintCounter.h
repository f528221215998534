#pragma once
#include <QEvent>
#include <QObject>

namespace krvs::test {

// Counts the paint events of the widgets it is installed on: a window that paints while
// long work runs is a window that has not frozen.
struct PaintCounter : QObject {
    int paints = 0;
    bool eventFilter(QObject*, QEvent* e) override {
        paints += e->type() == QEvent::Paint;
        return false;
    }
};

} // namespace krvs::test
