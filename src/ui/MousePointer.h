#pragma once

class QWidget;

namespace krvs {

// The mouse pointer codes the forms keep in their MousePointer property.
namespace pointer {
constexpr int Default = 0;
constexpr int Hourglass = 11; // shown while a long step runs
} // namespace pointer

// Shows the hourglass over form for pointer::Hourglass and the default pointer
// for any other code.
void showMousePointer(QWidget* form, int code);

} // namespace krvs
