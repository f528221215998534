#pragma once
#include "ui/UiServices.h"

namespace krvs {

// The real services: Qt dialogs, the desktop's opener, the system clock.
class QtUiServices : public UiServices {
  public:
    int msgBox(const QString& text, int flags, const QString& title) override;
    QString showSave(const SaveDialogRequest& request) override;
    QString showOpen(const OpenDialogRequest& request) override;
    int shellOpen(const QString& file, const QString& verb, int showCmd) override;
    int showModal(QDialog& form) override;
    QDateTime now() override;
    QString updateServer() override;
};

} // namespace krvs
