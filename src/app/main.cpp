#include "app/frmKRVS.h"
#include "update/ProgramIcon.h"
#include "util/LabelFit.h"

#include <QApplication>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("KRVS"));
    krvs::useProgramFont();
    QApplication::setWindowIcon(krvs::programIcon());
    krvs::frmKRVS window;
    window.Form_Load();
    window.show(); // shown even when the start-up failed before it showed the window
    return app.exec();
}
