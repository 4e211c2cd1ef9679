// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

class QWidget;

namespace marovane {

// The program's one kind of message box: modal, captioned "Marovane", no
// icon, an OK button only, and the text shown as it is (never as markup).
void showMessage(QWidget* parent, const QString& text);

}  // namespace marovane
