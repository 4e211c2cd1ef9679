#include "Placement.h"

#include "Twips.h"

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
    const QSize screenTwips = screen->geometry().size() * twipsPerPixel;
    const QSize windowTwips = window.frameGeometry().size() * twipsPerPixel;
    const QPoint origin = centredOrigin(screenTwips, windowTwips);
    window.move(screen->geometry().topLeft() + QPoint(pixels(origin.x()), pixels(origin.y())));
}

}  // namespace marovane
