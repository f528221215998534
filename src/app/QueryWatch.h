#pragma once
#include <QElapsedTimer>
#include <QObject>
#include <QPointer>

class QWidget;

namespace krvs {

// Keeps the main window alive while a statement runs and lets the user stop it.
// Every so often during a statement (through the connection's progress hook) the
// window's pending events run: it paints, its timers fire. User input meanwhile
// starts nothing: Esc stops the statement, closing the main window stops it and
// closes the window once the command that ran it has ended, and every other key,
// click or close is dropped. A stopped statement fails with the engine's
// "interrupted", which the command reports like any failed statement.
class QueryWatch : public QObject {
    Q_OBJECT
  public:
    explicit QueryWatch(QWidget* window);
    ~QueryWatch() override;

    // True while the events of a running statement are being handled.
    bool handlingEvents() const { return handling_; }

    // Lets the window's pending events run now, under the same rule as during a long
    // statement, for work the program does in steps of its own. Input meant for
    // `box` (a progress box with its Stop button) and its children goes through.
    // True when the user asked to stop meanwhile (Esc, closing the main window or
    // the box).
    bool runEvents(QWidget* box = nullptr);

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    bool progress();
    bool inBox(QObject* watched) const;
    void closeWhenIdle();

    QPointer<QWidget> window_;
    QPointer<QWidget> box_; // its input goes through while runEvents runs
    QElapsedTimer sinceEvents_;
    bool handling_ = false;
    bool stop_ = false;
    bool closePending_ = false;
};

} // namespace krvs
