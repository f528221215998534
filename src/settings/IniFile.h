#pragma once
#include <QString>

namespace krvs {

// Profile-file routines over one INI file: section and key names compare without
// regard to case; a new section goes at the end of the file and a new key at the
// end of its section; an existing value is replaced in place. Values read are cut
// at 2047 characters.

// The value of section/key in file, or def when it is missing.
QString ReadINI(const QString& section, const QString& key, const QString& def,
                const QString& file);

// Writes section/key=value into file. An empty key deletes the whole section, an
// empty value deletes the key. Returns non-zero on success.
long WriteINI(const QString& section, const QString& key, const QString& value,
              const QString& file);

} // namespace krvs
