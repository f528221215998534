#include "app/BusyProgress.h"

#include "app/QueryWatch.h"
#include "ui/FormGeometry.h"

#include <QCoreApplication>

#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

namespace krvs {

LongWorkTiming& longWorkTiming() {
    static LongWorkTiming timing;
    return timing;
}

BusyProgress::BusyProgress(QWidget* window, const QString& title, const QString& text, int total)
    : QDialog(window), window_(window) {
    setObjectName(QStringLiteral("BusyProgress"));
    setWindowTitle(title);
    setModal(false);
    auto* layout = new QVBoxLayout(this);
    lblProgress = new QLabel(text, this);
    lblProgress->setObjectName(QStringLiteral("lblProgress"));
    barProgress = new QProgressBar(this);
    barProgress->setObjectName(QStringLiteral("barProgress"));
    barProgress->setRange(0, total < 0 ? 0 : qMax(1, total)); // below 0: length unknown
    barProgress->setValue(0);
    barProgress->setMinimumWidth(320);
    cmdStop = new QPushButton(QStringLiteral("&Stop"), this);
    cmdStop->setObjectName(QStringLiteral("cmdStop"));
    cmdStop->setDefault(true);
    layout->addWidget(lblProgress);
    layout->addWidget(barProgress);
    layout->addWidget(cmdStop, 0, Qt::AlignRight);
    connect(cmdStop, &QPushButton::clicked, this, &BusyProgress::requestStop);
    since_.start();
    sinceStep_.start();
}

void BusyProgress::withoutStop() {
    stoppable_ = false;
    cmdStop->hide();
}

bool BusyProgress::step(int done, const std::function<QString()>& text) {
    const LongWorkTiming& timing = longWorkTiming();
    if (since_.elapsed() >= timing.showAfterMs) showOver();
    if (barProgress->maximum() > 0) setDone(done);
    if (sinceStep_.isValid() && sinceStep_.elapsed() < timing.eventsEveryMs) return stop_;
    if (text && !stop_) lblProgress->setText(text());
    auto* watch = window_ ? window_->findChild<QueryWatch*>() : nullptr;
    const bool asked = watch ? watch->runEvents(this) : (QCoreApplication::processEvents(), false);
    sinceStep_.restart();
    if (asked && stoppable_) requestStop();
    return stop_;
}

void BusyProgress::showOver() {
    if (isVisible()) return;
    adjustSize();
    if (window_) CenterForm(window_, this);
    show();
    raise();
    activateWindow();
    if (stoppable_) cmdStop->setFocus();
}

void BusyProgress::setDone(int done) {
    barProgress->setValue(qMin(done, barProgress->maximum()));
}

void BusyProgress::reject() {
    requestStop(); // the box stays until the work has stopped
}

void BusyProgress::requestStop() {
    if (stop_ || !stoppable_) return;
    stop_ = true;
    cmdStop->setEnabled(false);
    lblProgress->setText(QStringLiteral("Stopping..."));
}

} // namespace krvs
