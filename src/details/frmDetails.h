#pragma once
#include <QDialog>
#include <functional>

class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace krvs {

struct Globals;
class MultiLineTextBox;

// "Card Details": one card of the results grid (taken from gCard when the dialog
// loads) with the two fields the user may change, each written at once with one
// UPDATE on gConn. After a write the opener's grid is shown again from gCurSQL
// through refreshGrid (which opens a new gRS with gCurSQL, requeries it and binds
// the grid to it). The dialog never writes gCard back.
class frmDetails : public QDialog {
    Q_OBJECT
  public:
    frmDetails(Globals& g, std::function<void()> refreshGrid, QWidget* owner = nullptr);
    ~frmDetails() override;

    // ---- controls (objectName = member name; Label1_0 .. Label1_8, picOwn) ----
    QLineEdit* txtCardIdx = nullptr;
    QLineEdit* txtCardType = nullptr;
    QLineEdit* txtCardCat = nullptr;
    QLineEdit* txtCardSeries = nullptr;
    QLineEdit* txtCardSeason = nullptr;
    QWidget* picOwn = nullptr;
    QRadioButton* optOwnYes = nullptr;
    QRadioButton* optOwnNo = nullptr;
    QPushButton* cmdUpOwn = nullptr;
    QLineEdit* txtCardTitle = nullptr;
    MultiLineTextBox* txtDBcomm = nullptr;
    MultiLineTextBox* txtUcomm = nullptr;
    QPushButton* cmdUpUcomm = nullptr;
    QPushButton* cmdOK = nullptr;
    QLineEdit* txtCardId = nullptr;
    QLabel* Label1[9] = {};

    // pointer::Default or pointer::Hourglass (ui/MousePointer.h).
    int MousePointer() const { return mousePointer_; }
    void setMousePointer(int code);

  public slots:
    // Runs once, from the constructor; a failing step is skipped.
    void Form_Load();
    void cmdUpOwn_Click();
    void cmdUpUcomm_Click();
    void cmdOK_Click();
    void txtUcomm_GotFocus();

  private:
    void createControls();

    Globals& g_;
    std::function<void()> refreshGrid_;
    int mousePointer_ = 0;
};

} // namespace krvs
