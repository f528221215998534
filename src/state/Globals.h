#pragma once
#include <QString>

namespace krvs {

// The main window's program-wide values: one object per running program (and per
// test). The catalogue itself (file, password, connection) is the window's Catalogue.
struct Globals {
    QString gCurSQL;
    qint32 gPanelHeight = 2000;
};

} // namespace krvs
