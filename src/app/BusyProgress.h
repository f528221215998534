#pragma once
#include "db/GroupedWrites.h"

#include <QDialog>
#include <QElapsedTimer>
#include <functional>

class QLabel;
class QProgressBar;
class QPushButton;

namespace krvs {

// How long work in steps runs before its progress box shows, and the steps' size.
// Tests shorten both to see the box on a small catalogue.
struct LongWorkTiming {
    db::GroupPlan groups;
    int showAfterMs = 500;
    // How often work in steps lets the window's events run, and a backup's block size.
    int eventsEveryMs = 30;
    qint64 copyBlock = qint64(1) << 20;
};
LongWorkTiming& longWorkTiming();

// A small box over the main window while a long piece of work runs in steps: how
// far it has gone and a Stop button. It is not modal: the work lets events run
// between its steps and asks stopRequested() after each. Stop, Esc and closing
// the box all ask to stop; the button has the focus, so Space presses it too.
class BusyProgress : public QDialog {
    Q_OBJECT
  public:
    // A total below 0 shows a busy bar without a known length.
    BusyProgress(QWidget* window, const QString& title, const QString& text, int total);

    // For work that cannot be stopped half-way: no Stop button, and Esc or closing
    // the box asks nothing.
    void withoutStop();

    // One step of the work, done of total so far: the box shows once the work has run
    // longer than the timing's delay, and the window's pending events run (at most
    // every eventsEveryMs) under the main window's QueryWatch, so that it repaints and
    // starts no second command. True when the user asked to stop meanwhile.
    // text, when given, makes the box's line at those moments only.
    bool step(int done, const std::function<QString()>& text = {});

    // Shows the box (once) centred over its window.
    void showOver();
    void setDone(int done);
    bool stopRequested() const { return stop_; }

    QLabel* lblProgress = nullptr;
    QProgressBar* barProgress = nullptr;
    QPushButton* cmdStop = nullptr;

  public slots:
    void reject() override; // Esc: the same as Stop

  private:
    void requestStop();
    QWidget* window_;
    QElapsedTimer since_;     // since the work began
    QElapsedTimer sinceStep_; // since events last ran
    bool stop_ = false;
    bool stoppable_ = true;
};

} // namespace krvs
