#pragma once
#include <QString>

namespace krvs {

// One card row as values, carried from the grid to the details dialog.
struct Card {
    qint32 DbId = 0;
    QString Index, CardType, Title, Category, Series, Season;
    bool Own = false;
    QString DBComments, UserComments;
};

} // namespace krvs
