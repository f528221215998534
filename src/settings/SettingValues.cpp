#include "settings/SettingValues.h"

#include "util/AppError.h"

#include <QDir>

namespace krvs {

int checkBoxValue(qint32 value) {
    if (value < 0 || value > 2) throw AppError::of(err::InvalidPropertyValue);
    return value;
}

AppError settingFault(const AppError& e, const SettingRead& read) {
    // A value can be a line of megabytes: enough of it to find the line.
    constexpr qsizetype kShown = 60;
    QString value = read.value.left(kShown);
    if (read.value.size() > kShown) value += QStringLiteral("...");
    return AppError(e.number(),
                    QStringLiteral("%1 (the settings file '%2' holds %3=%4 in its section [%5]: "
                                   "correct or delete that line).")
                        .arg(e.description(), QDir::toNativeSeparators(read.file), read.key, value,
                             read.section),
                    e.source(), e.engineErrors());
}

WindowRect fitWindowToScreen(WindowRect r, qint32 minWidth, qint32 screenWidth,
                             qint32 screenHeight) {
    if (r.width < minWidth) r.width = minWidth;
    if (r.width > screenWidth) r.width = screenWidth;
    if (r.left < 0)
        r.left = 0;
    else if (r.left > screenWidth - r.width)
        r.left = screenWidth - r.width;
    if (r.height < 0)
        r.height = 0;
    else if (r.height > screenHeight)
        r.height = screenHeight;
    if (r.top < 0)
        r.top = 0;
    else if (r.top > screenHeight - r.height)
        r.top = screenHeight - r.height;
    return r;
}

} // namespace krvs
