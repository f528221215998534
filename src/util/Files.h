#pragma once
#include <QByteArray>
#include <QString>

namespace krvs {

// File-system steps shared by the engine, the maintenance operations and the
// catalogue tool.

// True when both paths name the same existing file, however they are written
// (relative parts, "." and "..", symbolic links, hard links).
bool sameFile(const QString& a, const QString& b);

// Flushes a file, or a folder (for a new name in it), to the disk. Returns false
// when it cannot be opened or flushed; some file systems refuse to flush a folder.
bool syncPath(const QString& path);

// Replaces the file at path with bytes in one step: they are written to a new
// file beside it (path + "." + six characters), flushed to the disk and checked,
// and only then renamed over path. On any failure (a full disk included) the
// new file is removed and path stays as it was. A kill leaves the old file or the
// new one, never a part; it may leave the new file under its temporary name,
// which removeReplaceLeftovers clears. A symbolic link at path is followed, and
// an existing file keeps its permission bits. crashStep names the crash trials'
// step between the flush and the rename. Where the folder takes no new file but
// path is writable, path is overwritten in place, its room reserved first.
// Returns 0, or the system's error number.
int replaceWhole(const QString& path, const QByteArray& bytes, const char* crashStep);

// Removes the temporary files replaceWhole left beside path when it was killed.
// Returns false when one could not be removed.
bool removeReplaceLeftovers(const QString& path);

} // namespace krvs
