// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QRect>

namespace marovane {

// Window layouts are given in twips: 1/1440 inch, 15 twips to a pixel at 96 dpi.
constexpr int twipsPerPixel = 15;

constexpr int pixels(int twips) { return twips / twipsPerPixel; }

constexpr QRect twipsRect(int left, int top, int width, int height) {
    return QRect(pixels(left), pixels(top), pixels(width), pixels(height));
}

}  // namespace marovane
