#pragma once
#include "update/HttpFetch.h"

#include <QDialog>

class QFrame;
class QLabel;
class QPlainTextEdit;
class QPushButton;

namespace krvs {

// Hands a web address or mail link to the desktop; a failure is reported, never raised.
void openLink(const QString& address);

// The update dialog: compares the running release with the one published on the
// update server, shows the release news when a newer one exists and hands the
// installer's address to the desktop. Nothing happens until cmdCheck is pressed.
// The owner is the window that opened it; the dialog centres itself over the
// main window when it loads.
class frmUpdate : public QDialog {
    Q_OBJECT
  public:
    frmUpdate(QWidget* owner, QWidget* mainWindow);

    // ---- controls (objectName = member name) ----
    QLabel* Label1 = nullptr;
    QLabel* Label2 = nullptr;
    QLabel* imgIcon = nullptr;
    QLabel* Image1 = nullptr;
    QFrame* Line1 = nullptr;
    QPushButton* cmdLink = nullptr;
    QPushButton* cmdCheck = nullptr;
    QPushButton* cmdCancel = nullptr;
    QPlainTextEdit* txtInfo = nullptr;
    QPushButton* cmdDown = nullptr;
    // The transfer control (its time-out and size cap can be changed).
    HttpFetch Inet1;

    // Inner heights in twips: the labels and button row only, or with the news.
    static constexpr int ClientWidth = 4755;
    static constexpr int SmallHeight = 2010;
    static constexpr int LargeHeight = 4770;

    // pointer::Default or pointer::Hourglass (ui/MousePointer.h).
    int MousePointer() const { return mousePointer_; }

    // Empties resp, fetches the document at inFile into it with the blanks at both
    // ends removed, and says whether anything is left. Any failure gives false and
    // an empty resp; nothing is shown.
    bool Check4File(const QString& inFile, QString& resp);

  public slots:
    void Form_Load();
    void cmdCheck_Click();
    void cmdDown_Click();
    void cmdLink_Click();
    void cmdCancel_Click();
    void Form_GotFocus();

  protected:
    void focusInEvent(QFocusEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;

  private:
    void setMousePointer(int code);
    void setClientHeight(int heightTwips);
    QString fileUrl(const char* path) const;

    QWidget* mainWindow_;
    int mousePointer_ = 0;
};

} // namespace krvs
