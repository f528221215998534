#include "ui/CheckValue.h"

#include <QCheckBox>

namespace krvs {

int checkValue(const QCheckBox* box) {
    switch (box->checkState()) {
    case Qt::Checked:
        return 1;
    case Qt::PartiallyChecked:
        return 2;
    default:
        return 0;
    }
}

void setCheckValue(QCheckBox* box, int value) {
    if (value == 2) {
        box->setTristate(true);
        box->setCheckState(Qt::PartiallyChecked);
    } else {
        box->setTristate(false);
        box->setCheckState(value == 1 ? Qt::Checked : Qt::Unchecked);
    }
}

} // namespace krvs
