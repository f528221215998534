#pragma once
#include "db/Connection.h"
#include "db/Recordset.h"

#include <QString>
#include <memory>

namespace krvs {

// One card row as values, carried from the grid to the details dialog.
struct Card {
    qint32 DbId = 0;
    QString Index, CardType, Title, Category, Series, Season;
    bool Own = false;
    QString DBComments, UserComments;
};

// The program-wide variables: one object per running program (and per test),
// owned by the main window.
struct Globals {
    std::unique_ptr<db::Connection> gConn;
    std::unique_ptr<db::Recordset> gRS;
    QString gCurSQL;
    qint32 gPanelHeight = 2000;
    QString gDbPwd;
    QString gDbPath;
    qint32 gRunCount = 0;
    qint32 gPwdResult = 2;
    QString gPwdEntered;
    bool gAllSeries = false;
    bool gAllCat = false;
    Card gCard;
    QString gIniFile;
};

} // namespace krvs
