#include "ui/SelectAllText.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>

namespace krvs {

void SelectAllText(QLineEdit* box) {
    if (box) box->setSelection(0, box->text().length());
}

void SelectAllText(QPlainTextEdit* box) {
    if (box) box->selectAll();
}

void SelectAllText(QComboBox* box) {
    if (box && box->lineEdit()) SelectAllText(box->lineEdit());
}

} // namespace krvs
