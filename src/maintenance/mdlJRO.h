#pragma once
#include <QString>
#include <functional>

namespace krvs {

// Compacts the catalogue at dbPath (password pwd) into the scratch file beside it
// and puts the compacted file in its place with one rename, so the catalogue path
// always holds either the old or the new file. A scratch file left by an earlier,
// interrupted compaction is replaced. On success shows "Compact successful" with
// the sizes before and after and returns true; on any failure returns false with
// no message and the catalogue as it was. setMousePointer(pointer::Default) restores the main
// window's pointer before the message (it may be empty).
bool CompactDB(const std::function<void(int)>& setMousePointer, QString& dbPath, QString& pwd);

} // namespace krvs
