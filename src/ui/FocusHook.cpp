#include "ui/FocusHook.h"

#include <QEvent>
#include <QPointer>
#include <QTimer>
#include <QWidget>

namespace krvs {

namespace {
class FocusFilter : public QObject {
  public:
    FocusFilter(QWidget* w, std::function<void()> h) : QObject(w), handler_(std::move(h)) {}
    bool eventFilter(QObject*, QEvent* e) override {
        if (e->type() == QEvent::FocusIn) {
            handler_();
            QPointer<QObject> self(this);
            QTimer::singleShot(0, this, [this, self] {
                if (self) handler_();
            });
        }
        return false;
    }

  private:
    std::function<void()> handler_;
};
} // namespace

void onGotFocus(QWidget* widget, std::function<void()> handler) {
    if (!widget) return;
    widget->installEventFilter(new FocusFilter(widget, std::move(handler)));
}

} // namespace krvs
