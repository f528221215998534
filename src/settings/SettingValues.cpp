#include "settings/SettingValues.h"

#include "util/AppError.h"

namespace krvs {

int checkBoxValue(qint32 value) {
    if (value < 0 || value > 2) throw AppError::of(err::InvalidPropertyValue);
    return value;
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
