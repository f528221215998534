#pragma once
#include "ui/DesktopApps.h"

#include <QDialog>

class QLabel;
class QListWidget;
class QPushButton;

namespace krvs {

// The "Open With" chooser for a file or link no program is associated with: the programs
// the desktop lists for the file's type, and "Other program..." for any program at all.
class frmOpenWith : public QDialog {
    Q_OBJECT
  public:
    frmOpenWith(const QString& file, QList<DesktopApp> apps, QWidget* parent = nullptr);

    QLabel* lblFile = nullptr;
    QListWidget* lstPrograms = nullptr;
    QPushButton* cmdOther = nullptr;
    QPushButton* cmdOK = nullptr;
    QPushButton* cmdCancel = nullptr;

    // After the form was accepted: the listed program chosen, or none when the user
    // picked another program (otherProgram()).
    const DesktopApp* chosenApp() const;
    const QString& otherProgram() const { return other_; }

  public slots:
    void cmdOther_Click();

  private:
    QList<DesktopApp> apps_;
    QString other_;
};

// True for a web address or another link ("https://...", "mailto:..."), false for a
// file's path.
bool isLink(const QString& target);

// Lets the user choose a program for the file in the chooser above and starts it.
// A cancelled chooser does nothing. Throws AppError err::FileNotFound when the chosen program
// cannot be started.
void OpenWith(const QString& file);

} // namespace krvs
