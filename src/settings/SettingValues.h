#pragma once
#include "util/AppError.h"
#include "util/ValueText.h"

#include <QString>
#include <QtGlobal>

namespace krvs {

// How the settings file's texts turn into values: the number and Boolean
// readings of util/ValueText.h, and the check boxes and window placement below.

// A check box holds 0 (clear), 1 (ticked) or 2 (greyed); anything else raises
// err::InvalidPropertyValue.
int checkBoxValue(qint32 value);

// Where a value was read from the settings file, as stored.
struct SettingRead {
    QString file;
    QString section;
    QString key;
    QString value;
};

// The error a value raised, its description followed by the file, section, key and
// value, so that the user knows which line to mend.
AppError settingFault(const AppError& e, const SettingRead& read);

// The window rectangle in twips as the settings restore it.
struct WindowRect {
    qint32 left = 0;
    qint32 top = 0;
    qint32 width = 0;
    qint32 height = 0;
    friend bool operator==(const WindowRect&, const WindowRect&) = default;
};

// Fits a restored window rectangle into the whole screen (not the work area),
// all in twips: the width is at least minWidth and at most the screen width; the
// left edge is moved so that the window starts on the screen and does not pass
// its right edge; the height is between 0 and the screen height; the top edge is
// fitted like the left one.
WindowRect fitWindowToScreen(WindowRect r, qint32 minWidth, qint32 screenWidth,
                             qint32 screenHeight);

} // namespace krvs
