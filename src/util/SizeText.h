#pragma once
#include <QString>

namespace krvs {

// The length of a file as "512 bytes", "1.50 KB", "1.00 MB" or "2.00 GB".
// Throws AppError err::FileNotFound when the file cannot be read.
QString FileSizeText(const QString& path);
QString fileSizeTextFor(qint64 bytes);

} // namespace krvs
