// SPDX-License-Identifier: GPL-3.0-or-later
#include "Placement.h"

#include "Twips.h"
#include "WindowFrame.h"

#include <QScreen>
#include <QWidget>

namespace marovane {

namespace {
int centredTwips(int screenTwips, int windowTwips) { return (screenTwips - windowTwips) / 2; }
}  // namespace

QPoint centredOrigin(QSize screen, QSize window) {
    return QPoint(centredTwips(screen.width(), window.width()), centredTwips(screen.height(), window.height()));
}

void centreOnScreen(QWidget& window) {
    const QScreen* screen = window.screen();
    if (!screen) return;
    const QMargins frame = windowFrame(window);
    const QSize screenTwips = screen->geometry().size() * twipsPerPixel;
    const QSize windowTwips = window.size().grownBy(frame) * twipsPerPixel;
    const QPoint origin = centredOrigin(screenTwips, windowTwips);
    const QPoint outer = screen->geometry().topLeft() + QPoint(pixels(origin.x()), pixels(origin.y()));
    // The client area's place, which is what Qt sets unambiguously, shown or not.
    window.setGeometry(QRect(outer + QPoint(frame.left(), frame.top()), window.size()));
}

}  // namespace marovane
