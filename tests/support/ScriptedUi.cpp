#include "support/ScriptedUi.h"

#include "util/AppError.h"

#include <QDialog>

namespace krvs::test {

ScriptedUi::ScriptedUi()
    : now_(QDate(2026, 12, 5), QTime(3, 32, 47)), server_(QStringLiteral("http://127.0.0.1:1")) {
    setUi(this);
}

ScriptedUi::~ScriptedUi() {
    setUi(nullptr);
}

QStringList ScriptedUi::titles() const {
    QStringList t;
    for (const auto& b : boxes)
        t << b.title;
    return t;
}

QString ScriptedUi::problems() const {
    QStringList p = unexpected_;
    if (!answers_.isEmpty())
        p << QStringLiteral("%1 message-box answer(s) left unused").arg(answers_.size());
    if (!saves_.isEmpty())
        p << QStringLiteral("%1 save-dialog answer(s) left unused").arg(saves_.size());
    if (!opens_.isEmpty())
        p << QStringLiteral("%1 open-dialog answer(s) left unused").arg(opens_.size());
    if (!modals_.isEmpty())
        p << QStringLiteral("%1 modal action(s) left unused").arg(modals_.size());
    return p.join(QStringLiteral("; "));
}

void ScriptedUi::reset() {
    answers_.clear();
    saves_.clear();
    opens_.clear();
    shellResults_.clear();
    modals_.clear();
    unexpected_.clear();
    boxes.clear();
    saveRequests.clear();
    openRequests.clear();
    shellFiles.clear();
    shellVerbs.clear();
    modalForms.clear();
}

int ScriptedUi::msgBox(const QString& text, int flags, const QString& title) {
    boxes.append({text, flags, title});
    if (answers_.isEmpty()) {
        unexpected_ << QStringLiteral("unexpected box \"%1\": %2").arg(title, text);
        return (flags & 7) == mb::YesNo ? mb::AnsNo : mb::AnsOK;
    }
    const Answer a = answers_.dequeue();
    if (!a.title.isEmpty() && a.title != title)
        unexpected_ << QStringLiteral("box \"%1\" shown where \"%2\" was expected: %3")
                           .arg(title, a.title, text);
    return a.answer;
}

QString ScriptedUi::showSave(const SaveDialogRequest& request) {
    saveRequests.append(request);
    if (saves_.isEmpty()) {
        unexpected_ << QStringLiteral("unexpected save dialog \"%1\"").arg(request.title);
        throw AppError::cancelSave();
    }
    const auto s = saves_.dequeue();
    if (!s) throw AppError::cancelSave();
    return *s;
}

QString ScriptedUi::showOpen(const OpenDialogRequest& request) {
    openRequests.append(request);
    if (opens_.isEmpty()) {
        unexpected_ << QStringLiteral("unexpected open dialog \"%1\"").arg(request.title);
        throw AppError::cancelSave();
    }
    const auto s = opens_.dequeue();
    if (!s) throw AppError::cancelSave();
    return *s;
}

int ScriptedUi::shellOpen(const QString& file, const QString& verb, int) {
    shellFiles << file;
    shellVerbs << verb;
    return shellResults_.isEmpty() ? 42 : shellResults_.dequeue();
}

int ScriptedUi::showModal(QDialog& form) {
    modalForms << form.objectName();
    if (modals_.isEmpty()) {
        unexpected_ << QStringLiteral("unexpected modal form \"%1\"").arg(form.objectName());
        form.reject();
        return form.result();
    }
    auto act = modals_.dequeue();
    form.setResult(0);
    form.show();
    act(form);
    if (form.isVisible()) form.reject();
    return form.result();
}

} // namespace krvs::test
