#pragma once
#include "checklist/Card.h"

#include <QString>
#include <functional>

namespace krvs::makedb {

using checklist::Card;

// Writes a new catalogue file at path holding the card table and the cards that
// next() hands out (it returns false after the last one). The file is written
// under a temporary name beside path and renamed into place at the end, so a
// failure leaves nothing at path. A non-empty password gives an encrypted file.
// Throws AppError.
void writeCatalogue(const QString& path, const QString& password,
                    const std::function<bool(Card&)>& next);

} // namespace krvs::makedb
