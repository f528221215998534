#pragma once
#include "ui/UiServices.h"

#include <QDateTime>
#include <QList>
#include <QQueue>
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

class QDialog;

namespace krvs::test {

// What one message box showed.
struct ShownBox {
    QString text;
    int flags = 0;
    QString title;
};

// Answers the program's boxes and dialogs from queues a test fills in advance and records
// what was shown; problems() names anything unexpected or left unused.
class ScriptedUi : public UiServices {
  public:
    ScriptedUi();           // installs itself
    ~ScriptedUi() override; // restores the real services

    // ---- scripting ----
    void answer(int a, const QString& title = {}) { answers_.enqueue({a, title}); }
    void saveAs(const QString& fileName) { saves_.enqueue(fileName); } // the save dialog's answer
    void cancelSave() { saves_.enqueue(std::nullopt); }
    void openFile(const QString& fileName) { opens_.enqueue(fileName); } // the open dialog's answer
    void cancelOpen() { opens_.enqueue(std::nullopt); }
    void shellResult(int code) { shellResults_.enqueue(code); } // next shellOpen result (else 42)
    // Runs on the next modal form; the form is rejected afterwards if still open.
    void onModal(std::function<void(QDialog&)> act) { modals_.enqueue(std::move(act)); }
    void setNow(const QDateTime& t) { now_ = t; }
    void setUpdateServer(const QString& s) { server_ = s; }

    // ---- what happened ----
    QList<ShownBox> boxes;
    QList<SaveDialogRequest> saveRequests;
    QList<OpenDialogRequest> openRequests;
    QStringList shellFiles;
    QStringList shellVerbs;
    QStringList modalForms; // objectName of each form shown modally

    // Titles of the boxes shown, in order.
    QStringList titles() const;
    // Empty when every box and dialog was expected and every answer was used.
    QString problems() const;
    void reset();

    // ---- UiServices ----
    int msgBox(const QString& text, int flags, const QString& title) override;
    QString showSave(const SaveDialogRequest& request) override;
    QString showOpen(const OpenDialogRequest& request) override;
    int shellOpen(const QString& file, const QString& verb, int showCmd) override;
    int showModal(QDialog& form) override;
    QDateTime now() override { return now_; }
    QString updateServer() override { return server_; }

  private:
    struct Answer {
        int answer;
        QString title;
    };
    QQueue<Answer> answers_;
    QQueue<std::optional<QString>> saves_;
    QQueue<std::optional<QString>> opens_;
    QQueue<int> shellResults_;
    QQueue<std::function<void(QDialog&)>> modals_;
    QStringList unexpected_;
    QDateTime now_;
    QString server_;
};

} // namespace krvs::test
