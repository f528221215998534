#include "app/frmKRVS.h"

#include "ui/UiServices.h"
#include "update/frmAbout.h"
#include "update/frmUpdate.h"

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
