#include "frmKRVS.h"

namespace krvs {

void frmKRVS::mnuSaveIt_Click(int) {}
void frmKRVS::DumpToText(int, const QString&) {}

} // namespace krvs
