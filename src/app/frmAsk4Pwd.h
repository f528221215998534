#pragma once
#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;

namespace krvs {

// The start-up password prompt: its outcome() (1 OK, 2 Cancel) and the
// password entered().
class frmAsk4Pwd : public QDialog {
    Q_OBJECT
  public:
    explicit frmAsk4Pwd(QWidget* mainWindow);

    int outcome() const { return result_; }
    const QString& entered() const { return entered_; }

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
    QWidget* mainWindow_;
    int result_ = 2;
    QString entered_;
};

// Shows the prompt modally; puts the password entered into password and returns
// the outcome (1 OK, 2 Cancel).
int AskPwd(QString& password, QWidget* mainWindow);

} // namespace krvs
