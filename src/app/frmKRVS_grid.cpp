#include "frmKRVS.h"

namespace krvs {

void frmKRVS::fgdCards_Click() {}
void frmKRVS::fgdCards_DblClick() {}
void frmKRVS::fgdCards_MouseDown(int, int, int, int) {}
void frmKRVS::mnuStuff_Click(int) {}
void frmKRVS::mnuFile2_Click(int) {}
void frmKRVS::UpdateOwnBulk(QList<qint32>&, bool&) {}

} // namespace krvs
