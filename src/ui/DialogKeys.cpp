#include "ui/DialogKeys.h"

#include <QDialog>
#include <QKeyEvent>
#include <QPushButton>

namespace krvs {

namespace {

// Presses a focused button on Enter. Qt's own way to do that (auto-default buttons)
// also makes the first such button the default of a dialog that has none.
class EnterPressesFocusedButton : public QObject {
  public:
    using QObject::QObject;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() != QEvent::KeyPress) return false;
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() != Qt::Key_Return && key->key() != Qt::Key_Enter) return false;
        if (key->modifiers() & ~Qt::KeypadModifier) return false;
        auto* button = static_cast<QPushButton*>(watched);
        if (button->isEnabled()) button->click();
        return true;
    }
};

} // namespace

void useDesignDefault(QDialog* dialog, QPushButton* defaultButton) {
    auto* filter = new EnterPressesFocusedButton(dialog);
    const QList<QPushButton*> buttons = dialog->findChildren<QPushButton*>();
    for (QPushButton* b : buttons) {
        b->setAutoDefault(false);
        b->setDefault(false);
        b->installEventFilter(filter);
    }
    if (defaultButton) defaultButton->setDefault(true);
}

} // namespace krvs
