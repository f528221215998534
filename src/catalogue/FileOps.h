#pragma once
#include <QDateTime>
#include <QString>
#include <functional>

namespace krvs::maint {

// The file operations below throw the runtime's file errors (util/AppError.h):
// file not found (the source of a copy is missing), file already exists (the
// target name is taken by something that is not a file), disk full, permission
// denied, path not found (the target's folder does not exist) and the
// path/file access error for any other failure. Every description names the
// file concerned and the system's reason.

// The folder backups go to: the program folder as given followed by "/backup/"
// (nothing is added or removed, so a root folder gives two separators in a row).
QString backupFolder(const QString& programFolder);

// The proposed backup name for a date: "MMMDD-YYYY" with the English abbreviated
// month, upper-cased, then ".krv" (for example DEC06-2026.krv).
QString defaultBackupName(const QDateTime& when);

// True when the name a save dialog gave holds no name: blank, or a folder
// followed by blanks and at most the extension the dialog adds (suffix, such as
// ".krv"), as when only blanks were typed.
bool blankFileName(const QString& path, const QString& suffix);

// The compaction scratch file beside the catalogue: folder + "/backup.qmx", or
// folder + "backup.qmx" when the folder already ends with a separator.
QString scratchPath(const QString& folder);

// The folder part of a file path ("/" for a file in the root folder).
QString folderOf(const QString& filePath);

// Throws AppError (permission denied) when folder is not an existing folder the
// program may write into. A folder made read-only counts as such even where the
// system would let the user (root) write anyway, as the engine treats the
// catalogue's folder.
void requireWritableFolder(const QString& folder);

// Creates one folder level; throws AppError when that fails.
void makeFolder(const QString& folder);

// Removes the scratch files an interrupted run of the program leaves behind: the
// password change's copy beside the catalogue (with its journal and logs), the
// compaction's part-written file and its finished copy not yet renamed over the
// catalogue, and the backup's temporary copies in the backup folder. Call it only while this
// program holds the catalogue open, so that the scratch files of another running copy are never
// touched. Returns false when something could not be removed.
bool removeScratchFiles(const QString& programFolder, const QString& catalogue);

// Copies source to target through a file without a name in the target's folder:
// the data is written and flushed to the disk, and only then the file takes the
// target's name (an existing target is replaced in one rename). On any failure a
// previous target stays as it was, nothing is left in the folder, and AppError is
// thrown. A kill part-way leaves nothing behind either.
// The copy goes in blocks of blockSize bytes; afterBlock, when set, is called after each
// with the bytes copied so far and the source's size (a window repaints there).
struct CopySteps {
    std::function<void(qint64 done, qint64 total)> afterBlock;
    qint64 blockSize = qint64(1) << 20;
};
void safeCopy(const QString& source, const QString& target, const CopySteps& steps = {});

} // namespace krvs::maint
