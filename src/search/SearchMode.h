#pragma once
#include <QString>

namespace krvs {

// The search panel's mode: the boxes and key words (simple), or a statement typed
// into the SQL box (advanced).
enum class SearchMode { Simple, Advanced };

// The settings file keeps the mode the button offers, not the one showing:
// "Advanced" while the simple panel shows, "Simple" in the advanced mode.
inline QString searchModeSetting(SearchMode mode) {
    return mode == SearchMode::Simple ? QStringLiteral("Advanced") : QStringLiteral("Simple");
}

// Only "Simple", exactly, restores the advanced mode; any other text the simple one.
inline SearchMode searchModeFromSetting(const QString& text) {
    return text == QLatin1String("Simple") ? SearchMode::Advanced : SearchMode::Simple;
}

} // namespace krvs
