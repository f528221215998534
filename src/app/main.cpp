#include "app/frmKRVS.h"
#include "update/ProgramIcon.h"

#include <QApplication>
#include <QFont>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("KRVS"));
    // The windows are laid out in twips for an 8-point dialog font.
    QFont font = QApplication::font();
    font.setPointSizeF(8.25);
    QApplication::setFont(font);
    QApplication::setWindowIcon(krvs::programIcon());
    krvs::frmKRVS window;
    window.Form_Load();
    window.show(); // shown even when the start-up failed before it showed the window
    return app.exec();
}
