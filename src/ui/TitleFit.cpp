#include "ui/TitleFit.h"

#include <QApplication>
#include <QDialog>
#include <QEvent>
#include <QFontMetrics>
#include <QVariant>
#include <cmath>

namespace krvs {

namespace {

constexpr const char* kDesignWidth = "krvsDesignWidth";

// Refits the width whenever the title changes (the update dialog names the releases
// in its title).
class TitleWatch : public QObject {
  public:
    using QObject::QObject;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::WindowTitleChange || event->type() == QEvent::FontChange) {
            auto* w = static_cast<QWidget*>(watched);
            setFixedDialogSize(w, w->property(kDesignWidth).toInt(), w->height());
        }
        return false;
    }
};

} // namespace

int titleBarWidth(const QString& title, const QWidget* window) {
    QFont face = QApplication::font("QMdiSubWindowTitleBar");
    if (window && face.pointSizeF() < window->font().pointSizeF())
        face.setPointSizeF(window->font().pointSizeF());
    face.setBold(true);
    const QFontMetrics fm(face);
    const int text = static_cast<int>(std::ceil(fm.horizontalAdvance(title) * 1.1));
    return text + 9 * fm.height();
}

int titleBarWidth(const QWidget* window) {
    return titleBarWidth(window->windowTitle(), window);
}

void makeFixedDialog(QDialog* dialog) {
    dialog->setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                           Qt::MSWindowsFixedSizeDialogHint);
    if (!isFixedDialog(dialog)) {
        dialog->setProperty(kDesignWidth, dialog->width());
        dialog->installEventFilter(new TitleWatch(dialog));
    }
    setFixedDialogSize(dialog, dialog->property(kDesignWidth).toInt(), dialog->height());
}

bool isFixedDialog(const QWidget* window) {
    return window && window->property(kDesignWidth).isValid();
}

void setFixedDialogSize(QWidget* window, int designWidthPx, int heightPx) {
    window->setProperty(kDesignWidth, designWidthPx);
    window->setFixedSize(qMax(designWidthPx, titleBarWidth(window)), heightPx);
}

} // namespace krvs
