// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QMargins>

class QWidget;

namespace marovane {

// The border and caption that the window manager puts around a top-level
// window, asked of the window manager, before the window is first shown too,
// so that it can be placed by its outer size before it appears. None where
// no window manager tells them: no X11 display, no window manager, or one
// that does not answer.
QMargins windowFrame(QWidget& window);

}  // namespace marovane
