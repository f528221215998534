#pragma once
#include <QDateTime>
#include <QString>
#include <functional>

class QDialog;
class QWidget;

namespace krvs {

// Message-box flags and answers, with the platform's numbers.
namespace mb {
constexpr int OKOnly = 0, OKCancel = 1, YesNo = 4;
constexpr int Critical = 16, Question = 32, Exclamation = 48, Information = 64;
constexpr int DefaultButton2 = 256;
constexpr int AnsOK = 1, AnsCancel = 2, AnsYes = 6, AnsNo = 7;
} // namespace mb

// What the save dialog (cdgOpenDB) is set up with before it is shown.
struct SaveDialogRequest {
    QString title;
    QString filter; // "Text File (*.txt)|*.txt|All Files (*.*)|*.*"
    QString fileName;
    QString initDir;
    int filterIndex = 1;
    int flags = 0;
};

// What the open dialog is set up with before it is shown (same filter form).
struct OpenDialogRequest {
    QString title;
    QString filter;
    QString initDir;
};

// Every modal interaction of the program goes through this one replaceable
// service, so that tests can script the answers and read back what was shown.
class UiServices {
  public:
    virtual ~UiServices() = default;

    // Returns the answer (1 OK, 2 Cancel, 6 Yes, 7 No).
    virtual int msgBox(const QString& text, int flags, const QString& title) = 0;
    // Returns the chosen file name; a cancel throws AppError::cancelSave().
    virtual QString showSave(const SaveDialogRequest& request) = 0;
    // Returns the existing file chosen; a cancel throws AppError::cancelSave() or gives
    // an empty name (the default, for services that never open files).
    virtual QString showOpen(const OpenDialogRequest&) { return {}; }
    // The platform's "open with its program" request; returns the shell's code
    // (greater than 32 on success, 2 file not found, 3 path not found, 31 no program).
    virtual int shellOpen(const QString& file, const QString& verb, int showCmd) = 0;
    // Shows a form modally and returns its result when it has closed.
    virtual int showModal(QDialog& form) = 0;
    // The clock of export headers and backup names.
    virtual QDateTime now() = 0;
    // Base address of the update server, without a trailing slash.
    virtual QString updateServer() = 0;
};

// The service in force; the real Qt one unless a test installed another.
UiServices& ui();
// Installs a service (nullptr restores the real one). Not owned.
void setUi(UiServices* services);

// The default address of the update server (a reserved domain of ours).
QString defaultUpdateServer();
// The maker's web address shown in links and messages.
QString makerWebAddress();

} // namespace krvs
