#pragma once

#include <QDialog>

class QAction;
class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace krvs {

class Catalogue;

// Sets, changes or removes the open catalogue's password. Set mode when the
// catalogue has no password, change mode otherwise; in change mode chkDisPass
// turns the change into a removal. On success the catalogue's password and the caption of the
// main window's password menu item follow the new password.
class frmPassword : public QDialog {
    Q_OBJECT
  public:
    frmPassword(Catalogue& catalogue, QAction* mnuPass, QWidget* parent = nullptr);

    QGroupBox* fraOldPswd = nullptr;
    QLabel* lblOldPswd = nullptr;
    QLineEdit* txtOldPswd = nullptr;
    QCheckBox* chkDisPass = nullptr;
    QGroupBox* fraNewPswd = nullptr;
    QLabel* lblNewPswd = nullptr;
    QLineEdit* txtNewPswd = nullptr;
    QLabel* lblNewPswdRe = nullptr;
    QLineEdit* txtNewPswdRe = nullptr;
    QPushButton* cmdOK = nullptr;
    QPushButton* cmdCancel = nullptr;

    // Change mode (the catalogue had a password when the dialog was loaded).
    bool changeMode() const { return changeMode_; }

  public slots:
    void Form_Load();
    void chkDisPass_Click();
    void cmdOK_Click();
    void cmdCancel_Click();

  private:
    void createControls();
    void applyState();
    void refuse(const QString& text, const QString& title);
    bool newPasswordAccepted(const QString& newPwd, const QString& reType);

    Catalogue& catalogue_;
    QAction* mnuPass_;
    bool changeMode_ = false;
    // Twips the caption column widened by for the desktop's font (the boxes, frames,
    // buttons and the dialog's width follow).
    int widenTw_ = 0;
};

} // namespace krvs
