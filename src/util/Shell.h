#pragma once
#include <QString>

class QWidget;
class QLineEdit;
class QPlainTextEdit;
class QComboBox;

namespace krvs {

// Opens a file, web address or mail link with its associated program. Returns -1
// when the shell took the request, otherwise the shell's failure code; failures
// are reported in a "Shell execute failed..." box.
long ShellExec(const QString& file, long showCmd, const QString& verb);

// The shell's error text for a failure code ("" where the code has none).
QString shellErrorText(long code);

// The length of a file as "512 bytes", "1.50 KB", "1.00 MB" or "2.00 GB".
// Throws AppError 53 when the file cannot be read.
QString FileSizeText(const QString& path);
QString fileSizeTextFor(qint64 bytes);

// Centres child over parent (outer frames, no clamping to the screen).
void CenterForm(QWidget* parent, QWidget* child);

// Selects the whole text of a box.
void SelectAllText(QLineEdit* box);
void SelectAllText(QPlainTextEdit* box);
void SelectAllText(QComboBox* box);

// Sizes a form so that its inner area is width x height twips.
void SetClientSize(QWidget* form, int widthTwips, int heightTwips);

} // namespace krvs
