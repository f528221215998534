#pragma once
#include <QString>

#include <memory>

namespace krvs {

// Profile-file routines over one INI file: section and key names compare without
// regard to case; a new section goes at the end of the file and a new key at the
// end of its section; an existing value is replaced in place. Values read are cut
// at 2047 characters.

// The value of section/key in file, or def when it is missing.
QString ReadINI(const QString& section, const QString& key, const QString& def,
                const QString& file);

// Writes section/key=value into file. An empty key deletes the whole section, an
// empty value deletes the key. Returns non-zero on success. The file is replaced
// whole (see IniEdit).
long WriteINI(const QString& section, const QString& key, const QString& value,
              const QString& file);

// A run of WriteINI calls stored together: the file is read once, each write()
// changes it in memory by the rules of WriteINI, and commit() puts the result in
// the file's place in one step. A full disk or a kill therefore leaves the old file
// or the new one whole, never a part, and never a file with some of the values.
class IniEdit {
  public:
    explicit IniEdit(const QString& file);
    ~IniEdit();
    IniEdit(const IniEdit&) = delete;
    IniEdit& operator=(const IniEdit&) = delete;

    void write(const QString& section, const QString& key, const QString& value);
    // Stores the edits; false (the file as it was) when it could not be written.
    // Edits that change nothing leave the file, or its absence, untouched.
    bool commit();

  private:
    struct Data;
    std::unique_ptr<Data> d_;
};

// Removes what an interrupted settings write left beside file.
bool removeIniLeftovers(const QString& file);

} // namespace krvs
