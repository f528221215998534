#pragma once
#include "state/Globals.h"

#include <QDialog>

class QAction;
class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace krvs {

// Sets, changes or removes the catalogue's password with the engine's
// ALTER DATABASE PASSWORD statement on the open connection. Set mode when the
// catalogue has no password, change mode otherwise; in change mode chkDisPass
// turns the change into a removal. On success gDbPwd and the caption of the
// main window's password menu item follow the new password.
class frmPassword : public QDialog {
    Q_OBJECT
  public:
    frmPassword(Globals& g, QAction* mnuPass, QWidget* parent = nullptr);

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

    // The statements, passwords inserted as typed.
    static QString setStatement(const QString& newPwd);
    static QString changeStatement(const QString& newPwd, const QString& oldPwd);
    static QString disableStatement(const QString& oldPwd);

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
    void checkKeptExactly(const QString& statement, const QString& result,
                          const QString& carriedOld) const;

    Globals& g_;
    QAction* mnuPass_;
    bool changeMode_ = false;
    // Twips the caption column widened by for the desktop's font (the boxes, frames,
    // buttons and the dialog's width follow).
    int widenTw_ = 0;
};

} // namespace krvs
