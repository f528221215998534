#pragma once
#include <QString>
#include <QStringList>

namespace krvs::makedb {

// The command line of krvs-makedb without the program name:
//   [--cards N | --from-csv FILE] [--password TEXT] [--force] OUTPUT
//   --merge FILE [--password TEXT] CATALOGUE
// Writes what it reports to out and its complaints to err; returns the exit code
// (0 done, 1 failed, 2 bad command line).
int run(const QStringList& args, QString& out, QString& err);

} // namespace krvs::makedb
