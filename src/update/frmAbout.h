#pragma once
#include <QDialog>
#include <array>

class QFrame;
class QLabel;
class QPlainTextEdit;
class QPushButton;

namespace krvs {

// The About box: product, version, the program information text and three links
// (the maker's web site, a mail to the programmer, the update dialog). It centres
// itself over the main window when it loads.
class frmAbout : public QDialog {
    Q_OBJECT
  public:
    frmAbout(QWidget* owner, QWidget* mainWindow);

    // ---- controls (objectName = member name; the lblInfo array as "lblInfo_0" to "lblInfo_4")
    // ----
    std::array<QLabel*, 5> lblInfo{};
    QLabel* imgIcon = nullptr;
    QLabel* Image1 = nullptr;
    QFrame* shpRect = nullptr;
    QLabel* lblVersion = nullptr;
    QPlainTextEdit* txtProgInfo = nullptr;
    QLabel* lblProduct = nullptr;
    QLabel* lblURL = nullptr;
    QLabel* lblCopyright = nullptr;
    QLabel* lblVersionUpdate = nullptr;
    QLabel* lblDescription = nullptr;
    QPushButton* cmdOK = nullptr;

    // The program information text: four paragraphs joined by CR LF CR LF.
    static QString programInfoText();
    // The programmer's mail address.
    static QString mailAddress();

  public slots:
    void Form_Load();
    void Form_LostFocus();
    void cmdOK_Click();
    void lblProduct_MouseDown(int button, int shift, int x, int y);
    void lblURL_MouseDown(int button, int shift, int x, int y);
    void lblCopyright_MouseDown(int button, int shift, int x, int y);
    void lblVersionUpdate_Click();

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void focusOutEvent(QFocusEvent* e) override;

  private:
    void markClicked(QLabel* label);

    QWidget* mainWindow_;
};

} // namespace krvs
