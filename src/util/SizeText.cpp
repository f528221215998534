#include "util/SizeText.h"

#include "util/AppError.h"

#include <QFileInfo>
#include <QLocale>

namespace krvs {

QString fileSizeTextFor(qint64 n) {
    // The "0.00" number format: the locale's decimal separator, no grouping.
    QLocale locale = QLocale::system();
    locale.setNumberOptions(QLocale::OmitGroupSeparator);
    auto fmt = [&](double v, const char* unit) {
        return locale.toString(v, 'f', 2) + QLatin1Char(' ') + QLatin1String(unit);
    };
    if (n < 1024) return QString::number(n) + QStringLiteral(" bytes");
    if (n < 1048576) return fmt(double(n) / 1024.0, "KB");
    if (n < 1073741824) return fmt(double(n) / 1048576.0, "MB");
    return fmt(double(n) / 1073741824.0, "GB");
}

QString FileSizeText(const QString& path) {
    QFileInfo info(path);
    if (!info.exists() || !info.isFile()) throw AppError::of(err::FileNotFound);
    return fileSizeTextFor(info.size());
}

} // namespace krvs
