// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/Placement.h"

#include <gtest/gtest.h>

namespace marovane {
namespace {

TEST(Placement, SurplusIsHalvedTowardZero) {
    struct Case {
        int screen, window, origin;
    };
    const Case cases[] = {
        {9660, 9660, 0},     // as large as the screen
        {9660, 9675, -7},    // 15 twips wider: -7.5 becomes -7
        {10875, 9660, 607},  // an odd surplus of 1215
        {28800, 6405, 11197},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(centredOrigin(QSize(c.screen, c.screen), QSize(c.window, c.window)), QPoint(c.origin, c.origin))
            << c.screen << " - " << c.window;
    }
}

}  // namespace
}  // namespace marovane
