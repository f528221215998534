#pragma once

class QCheckBox;

namespace krvs {

// A check box's value as the forms keep it: 0 clear, 1 ticked, 2 greyed.
int checkBoxState(const QCheckBox* box);
// Sets it; only the greyed value makes the box three-state.
void setCheckBoxState(QCheckBox* box, int value);

} // namespace krvs
