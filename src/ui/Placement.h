// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QPoint>
#include <QSize>

class QWidget;

namespace marovane {

// The origin, in twips, that centres a window of this outer size (in twips)
// on a screen of this size (in twips): each surplus halved with the remainder
// dropped toward zero. A window larger than the screen gets a negative origin.
QPoint centredOrigin(QSize screen, QSize window);

// Moves a top-level window to the centre of its whole screen (task bars
// included) by its outer size, the window manager's frame included, keeping
// its size.
void centreOnScreen(QWidget& window);

}  // namespace marovane
