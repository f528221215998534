#pragma once
#include "util/UiServices.h"

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

// A UiServices that answers from queues a test fills in advance and records what
// the program showed. Anything unexpected, or an answer left unused, is reported
// by problems(), which every test checks in its clean-up.
class ScriptedUi : public UiServices {
  public:
    ScriptedUi();           // installs itself
    ~ScriptedUi() override; // restores the real services

    // ---- scripting ----
    void answer(int answer, const QString& expectTitle = QString());
    void saveAs(const QString& fileName); // the save dialog returns this name
    void cancelSave();                    // the save dialog is cancelled
    void shellResult(int code);           // next shellOpen result (default 42)
    // Runs once the next modal form is shown; the form is rejected afterwards if it is
    // still open.
    void onModal(std::function<void(QDialog&)> act);
    void setNow(const QDateTime& t) { now_ = t; }
    void setUpdateServer(const QString& s) { server_ = s; }

    // ---- what happened ----
    QList<ShownBox> boxes;
    QList<SaveDialogRequest> saveRequests;
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
    QQueue<int> shellResults_;
    QQueue<std::function<void(QDialog&)>> modals_;
    QStringList unexpected_;
    QDateTime now_;
    QString server_;
};

} // namespace krvs::test
