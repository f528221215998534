#include "ui/ProgramIcon.h"

// The resource lives in a static library: registering it by name makes the linker
// keep it in every program that asks for the icon.
static void registerIconResource() {
    Q_INIT_RESOURCE(krvs);
}

namespace krvs {

QIcon programIcon() {
    static const bool registered = (registerIconResource(), true);
    Q_UNUSED(registered);
    QIcon icon;
    for (const int size : {16, 32, 48, 64, 256})
        icon.addFile(QStringLiteral(":/krvs/krvs-%1.png").arg(size), QSize(size, size));
    return icon;
}

QPixmap programIconPixmap(int sizePx) {
    return programIcon().pixmap(sizePx, sizePx);
}

} // namespace krvs
