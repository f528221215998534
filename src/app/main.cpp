#include "app/frmKRVS.h"

#include <QApplication>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("KRVS"));
    krvs::frmKRVS window;
    window.Form_Load();
    return app.exec();
}
