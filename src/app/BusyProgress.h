#pragma once
#include "db/GroupedWrites.h"

#include <QDialog>

class QLabel;
class QProgressBar;
class QPushButton;

namespace krvs {

// How long work in steps runs before its progress box shows, and the steps' size.
// Tests shorten both to see the box on a small catalogue.
struct LongWorkTiming {
    db::GroupPlan groups;
    int showAfterMs = 500;
};
LongWorkTiming& longWorkTiming();

// A small box over the main window while a long piece of work runs in steps: how
// far it has gone and a Stop button. It is not modal: the work lets events run
// between its steps and asks stopRequested() after each. Stop, Esc and closing
// the box all ask to stop; the button has the focus, so Space presses it too.
class BusyProgress : public QDialog {
    Q_OBJECT
  public:
    BusyProgress(QWidget* window, const QString& title, const QString& text, int total);

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
    bool stop_ = false;
};

} // namespace krvs
