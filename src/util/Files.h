#pragma once
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

} // namespace krvs
