#pragma once
#include <QString>

namespace krvs::makedb {

// Merges the checklist file (CSV or another catalogue; an encrypted one is opened
// with password too) into the catalogue: a backup into the catalogue's backup
// folder first, then every change in one statement. Prints the counts as its last
// line. Returns the exit code (0 merged, 1 refused or failed; nothing changed then).
int runMerge(const QString& file, const QString& password, const QString& catalogue, QString& out,
             QString& err);

} // namespace krvs::makedb
