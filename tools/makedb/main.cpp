#include "makedb/MakeDb.h"

#include <QCoreApplication>
#include <cstdio>

// krvs-makedb: writes a catalogue file of demo cards or of a checklist CSV.
int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QStringList args = QCoreApplication::arguments();
    args.removeFirst();
    QString out, err;
    const int code = krvs::makedb::run(args, out, err);
    std::fputs(out.toLocal8Bit().constData(), stdout);
    std::fputs(err.toLocal8Bit().constData(), stderr);
    return code;
}
