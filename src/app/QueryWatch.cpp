#include "app/QueryWatch.h"

#include "db/Connection.h"

#include <QApplication>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QTimer>
#include <QWidget>
#include <QWindow>

namespace krvs {

namespace {
// A running statement lets the window's events run this often (milliseconds).
constexpr qint64 kEventInterval = 30;
// A close that waits for the command to end looks again after this long.
constexpr int kCloseRetry = 50;

bool isUserInput(QEvent::Type t) {
    switch (t) {
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::ShortcutOverride:
    case QEvent::Shortcut:
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseMove:
    case QEvent::NonClientAreaMouseButtonPress:
    case QEvent::NonClientAreaMouseButtonRelease:
    case QEvent::NonClientAreaMouseButtonDblClick:
    case QEvent::Wheel:
    case QEvent::ContextMenu:
    case QEvent::InputMethod:
    case QEvent::TouchBegin:
    case QEvent::TouchUpdate:
    case QEvent::TouchEnd:
    case QEvent::TabletPress:
    case QEvent::TabletRelease:
    case QEvent::TabletMove:
    case QEvent::DragEnter:
    case QEvent::DragMove:
    case QEvent::Drop:
        return true;
    default:
        return false;
    }
}

// The watches of the windows alive, newest last; the newest one serves the hook.
QList<QueryWatch*>& watches() {
    static QList<QueryWatch*> list;
    return list;
}
} // namespace

QueryWatch::QueryWatch(QWidget* window) : QObject(window), window_(window) {
    sinceEvents_.start();
    if (watches().isEmpty())
        db::Connection::setProgressHook([] { return watches().last()->progress(); });
    watches().append(this);
}

QueryWatch::~QueryWatch() {
    watches().removeOne(this);
    if (watches().isEmpty()) db::Connection::setProgressHook(nullptr);
}

bool QueryWatch::progress() {
    // A close waits for the command to end: every statement until then is stopped.
    if (stop_ || closePending_) {
        stop_ = false;
        return true;
    }
    if (handling_ || sinceEvents_.elapsed() < kEventInterval) return false;
    return runEvents();
}

bool QueryWatch::runEvents(QWidget* box) {
    if (handling_) return false;
    handling_ = true;
    box_ = box;
    qApp->installEventFilter(this);
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    qApp->removeEventFilter(this);
    box_ = nullptr;
    handling_ = false;
    sinceEvents_.restart();
    const bool stop = stop_ || closePending_;
    stop_ = false;
    return stop;
}

bool QueryWatch::inBox(QObject* watched) const {
    if (!box_) return false;
    if (watched == box_->windowHandle()) return true;
    auto* widget = qobject_cast<QWidget*>(watched);
    return widget && (widget == box_ || box_->isAncestorOf(widget));
}

bool QueryWatch::eventFilter(QObject* watched, QEvent* event) {
    const QEvent::Type t = event->type();
    if (inBox(watched)) {
        if (t != QEvent::Close) return false; // the box's own keys and clicks
        stop_ = true;                         // closing the box is its Stop
        event->ignore();
        return true;
    }
    if (t == QEvent::Close) {
        event->ignore();
        // A close reaches the window through its native window first.
        const bool main = window_ && (watched == window_ || watched == window_->windowHandle());
        if (main && !closePending_) {
            closePending_ = true;
            closeWhenIdle();
        }
        return true;
    }
    if (t == QEvent::KeyPress && static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape) {
        stop_ = true;
        return true;
    }
    return isUserInput(t);
}

// The window closes as it always does once the command that ran the statement is
// over: its report answered, no statement running.
void QueryWatch::closeWhenIdle() {
    QTimer::singleShot(kCloseRetry, this, [this] {
        if (handling_ || QApplication::activeModalWidget()) {
            closeWhenIdle();
            return;
        }
        closePending_ = false;
        if (window_) window_->close();
    });
}

} // namespace krvs
