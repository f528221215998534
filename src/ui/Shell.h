#pragma once
#include <QString>

namespace krvs {

// Opens a file, web address or mail link with its associated program. Returns -1
// when the shell took the request, otherwise the shell's failure code; failures
// are reported in a "Shell execute failed..." box.
long ShellExec(const QString& file, long showCmd, const QString& verb);

// The shell's error text for a failure code ("" where the code has none).
QString shellErrorText(long code);

} // namespace krvs
