#pragma once

class QCheckBox;

namespace krvs {

// A check box as a value 0, 1 or 2 (clear, ticked, greyed), the way the settings
// file and the search panel keep it.
int checkValue(const QCheckBox* box);
// Value 2 makes the box three-state and greys it; 0 and 1 leave a plain box.
void setCheckValue(QCheckBox* box, int value);

} // namespace krvs
