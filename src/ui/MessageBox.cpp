// SPDX-License-Identifier: GPL-3.0-or-later
#include "MessageBox.h"

#include <QMessageBox>

namespace marovane {

void showMessage(QWidget* parent, const QString& text) {
    QMessageBox box(QMessageBox::NoIcon, "Marovane", text, QMessageBox::Ok, parent);
    box.setTextFormat(Qt::PlainText);
    box.exec();
}

}  // namespace marovane
