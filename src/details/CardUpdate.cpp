#include "details/CardUpdate.h"

#include "ui/MousePointer.h"
#include "ui/UiServices.h"
#include "util/AppError.h"
#include "util/ScopeGuard.h"

#include <QWidget>

namespace krvs {

QString commentForUpdate(const QString& text) {
    QString out = text;
    out.replace(QStringLiteral("\r\n"), QStringLiteral(" "));
    return out;
}

void applyUpdate(QWidget* form, const std::function<void(int)>& setPointer,
                 const std::function<void()>& write, const QString& successTitle,
                 const QString& errorTitle, const std::function<void()>& refresh) {
    form->setEnabled(false);
    setPointer(pointer::Hourglass);
    ScopeGuard restore([&] {
        form->setEnabled(true);
        setPointer(pointer::Default);
    });
    try {
        write();
        ui().msgBox(QStringLiteral("The update was successful."), mb::OKOnly | mb::Information,
                    successTitle);
        if (refresh) refresh();
    } catch (const AppError& e) {
        ui().msgBox(errorBoxText(e), mb::OKOnly | mb::Critical, errorTitle);
    }
}

} // namespace krvs
