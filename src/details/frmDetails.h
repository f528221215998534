#pragma once
#include "state/Card.h"

#include <QDialog>
#include <functional>

class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace krvs {

class Catalogue;
class MultiLineTextBox;

// "Card Details": one card of the results grid (copied when the dialog loads) with
// the two fields the user may change, each written at once to the catalogue. After a
// write the opener's grid is shown again through refreshGrid. The dialog never
// changes the card it was given.
class frmDetails : public QDialog {
    Q_OBJECT
  public:
    frmDetails(Catalogue& catalogue, const Card& card, std::function<void()> refreshGrid,
               QWidget* owner = nullptr);
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

    Catalogue& catalogue_;
    const Card card_;
    std::function<void()> refreshGrid_;
    int mousePointer_ = 0;
};

} // namespace krvs
