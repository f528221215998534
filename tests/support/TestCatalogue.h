#pragma once
#include <QString>
#include <QStringList>

namespace krvs::test {

// Runs krvs-makedb; returns its exit code and puts its output in *output.
int runMakeDb(const QStringList& args, QString* output = nullptr);

// Writes a demo catalogue of n cards (and a password when given) to path; fails the
// test's precondition by returning false.
bool makeCatalogue(const QString& path, int cards, const QString& password = QString());

// Writes a catalogue from CSV text (header row of field names).
bool makeCatalogueFromCsv(const QString& path, const QString& csvText);

} // namespace krvs::test
