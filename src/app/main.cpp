#include "app/DataFolder.h"
#include "app/frmKRVS.h"
#include "catalogue/EarlyRead.h"
#include "krvs_version.h"
#include "ui/LabelFit.h"
#include "ui/ProgramIcon.h"
#include "ui/UiServices.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QFileInfo>
#include <QFont>
#include <cstring>
#include <memory>

namespace {

const QString kVersion = QStringLiteral("%1.%2.%3")
                             .arg(KRVS_VERSION_MAJOR)
                             .arg(KRVS_VERSION_MINOR)
                             .arg(KRVS_VERSION_PATCH);

void describe(QCoreApplication& app, QCommandLineParser& parser) {
    app.setApplicationName(QStringLiteral("KRVS"));
    app.setApplicationVersion(kVersion);
#ifdef KRVS_PER_USER_DATA
    const char* where = "in the per-user data folder (~/.local/share/KRVS)";
#else
    const char* where = "beside the program";
#endif
    parser.setApplicationDescription(
        QStringLiteral("Korvessa Database: a catalogue of the Korvessa card collection.\n"
                       "The catalogue KRVS.krv, the settings KRVS.ini and the backup folder "
                       "lie %1.\nKRVS_UPDATE_SERVER in the environment names the update "
                       "server for one run.")
            .arg(QLatin1String(where)));
    parser.addHelpOption();
    parser.addVersionOption();
}

// --help and --version are answered before the window system is touched, so that
// they work without a display and write nothing.
bool asksForInformation(int argc, char** argv) {
    for (int i = 1; i < argc; ++i)
        for (const char* o : {"-h", "--help", "-?", "-help", "--help-all", "-v", "--version"})
            if (std::strcmp(argv[i], o) == 0) return true;
    return false;
}

} // namespace

int main(int argc, char** argv) {
    if (asksForInformation(argc, argv)) {
        QCoreApplication app(argc, argv);
        QCommandLineParser parser;
        describe(app, parser);
        // Other options, the window system's among them, do not stop the answer.
        parser.parse(QCoreApplication::arguments());
        if (parser.isSet(QStringLiteral("version"))) parser.showVersion();
        if (parser.isSet(QStringLiteral("help-all"))) parser.process(app); // prints, exits
        parser.showHelp(0);
    }

#ifndef KRVS_PER_USER_DATA
    // The catalogue lies beside the executable. Not with options: a wrong one ends the
    // program at once.
    std::unique_ptr<krvs::EarlyRead> early;
    if (argc == 1)
        early = krvs::readCardsEarly(QFileInfo(QStringLiteral("/proc/self/exe")).canonicalPath());
#endif
    QApplication app(argc, argv);
    QCommandLineParser parser;
    describe(app, parser);
    parser.process(app); // anything left after the window system's own options is an error

    QString folder; // the executable's own folder
#ifdef KRVS_PER_USER_DATA
    const krvs::DataFolder data =
        krvs::prepareUserDataFolder(QDir(QCoreApplication::applicationDirPath())
                                        .filePath(QStringLiteral(KRVS_STARTER_CATALOGUE)));
    if (data.path.isEmpty()) {
        krvs::ui().msgBox(data.error, krvs::mb::Critical, QStringLiteral("Error in Load"));
        return 1;
    }
    folder = data.path;
    std::unique_ptr<krvs::EarlyRead> early = krvs::readCardsEarly(folder);
#endif

    krvs::useProgramFont();
    QApplication::setWindowIcon(krvs::programIcon());
    // The settings file is named after the program, whatever its executable is called.
    krvs::frmKRVS window(folder, folder.isEmpty() ? QString() : QStringLiteral("KRVS"));
    window.setEarlyRead(std::move(early));
    window.Form_Load();
    window.show(); // shown even when the start-up failed before it showed the window
    return app.exec();
}
