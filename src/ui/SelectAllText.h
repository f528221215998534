#pragma once

class QLineEdit;
class QPlainTextEdit;
class QComboBox;

namespace krvs {

// Selects the whole text of a box.
void SelectAllText(QLineEdit* box);
void SelectAllText(QPlainTextEdit* box);
void SelectAllText(QComboBox* box);

} // namespace krvs
