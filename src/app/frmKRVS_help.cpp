#include "frmKRVS.h"

namespace krvs {

void frmKRVS::mnuUpdate_Click() {}
void frmKRVS::mnuAbout_Click() {}

} // namespace krvs
