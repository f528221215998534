#pragma once
#include "checklist/CsvCards.h"

#include <QString>

namespace krvs::checklist {

// What a file chosen as a checklist holds, told from its bytes.
enum class ChecklistKind { Csv, Catalogue, EncryptedCatalogue };
ChecklistKind checklistKind(const QString& path);

// The cards of a newer checklist, matched with the catalogue's by DbId.
struct Checklist {
    std::vector<Card> cards;
    std::array<bool, fCount> present{}; // the fields the checklist gives
    QString error;                      // why it is refused; empty when it was read
    bool badPassword = false;           // an encrypted catalogue this password does not open
};

// Reads a checklist CSV (DbId required, refusals name the line) or another
// catalogue file, plain or encrypted with password. The catalogue is read through
// a handle that neither locks nor writes it.
Checklist readChecklist(const QString& path, const QString& password = {});

} // namespace krvs::checklist
