#pragma once
#include <QString>

namespace krvs {

// Where the program keeps KRVS.krv, KRVS.ini, the backup folder and the compaction
// scratch file. The portable build keeps them beside the executable; the installed
// program cannot write its own folder and keeps them in the user's data folder.
struct DataFolder {
    QString path;  // the folder, empty when it cannot be used
    QString error; // why not, for the user
};

// The per-user data folder (for example ~/.local/share/KRVS), created when missing.
// When it holds no catalogue, starterCatalogue (when it exists) is copied there;
// an existing catalogue is never replaced. A folder that is missing and cannot be
// made is reported in error; nothing is written anywhere else.
DataFolder prepareUserDataFolder(const QString& starterCatalogue);

} // namespace krvs
