#include "app/frmKRVS.h"

#include "update/frmAbout.h"
#include "update/frmUpdate.h"
#include "util/UiServices.h"

namespace krvs {

void frmKRVS::mnuUpdate_Click() {
    frmUpdate form(this, this);
    ui().showModal(form);
}

void frmKRVS::mnuAbout_Click() {
    frmAbout form(this, this);
    ui().showModal(form);
}

} // namespace krvs
