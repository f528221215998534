#pragma once
#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;

namespace krvs {

struct Globals;

// The start-up password prompt. Leaves its outcome in gPwdResult (1 OK, 2 Cancel)
// and gPwdEntered.
class frmAsk4Pwd : public QDialog {
    Q_OBJECT
  public:
    frmAsk4Pwd(Globals& g, QWidget* mainWindow);

    QLabel* Label1 = nullptr;
    QLineEdit* txtPwd = nullptr;
    QPushButton* cmdOK = nullptr;
    QPushButton* cmdCancel = nullptr;

  public slots:
    void Form_Load();
    void txtPwd_Change();
    void cmdOK_Click();
    void cmdCancel_Click();

  private:
    Globals& g_;
    QWidget* mainWindow_;
};

// Shows the prompt modally; copies gPwdEntered into password and returns gPwdResult.
int AskPwd(QString& password, Globals& g, QWidget* mainWindow);

} // namespace krvs
