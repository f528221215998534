#include "frmKRVS.h"

namespace krvs {

void frmKRVS::mnuBakDB_Click() {}
void frmKRVS::mnuCompact_Click() {}
void frmKRVS::mnuPass_Click() {}

} // namespace krvs
