// SPDX-License-Identifier: GPL-3.0-or-later
#include "WindowTest.h"
#include "support/SpyPorts.h"
#include "ui/MIDISetupForm.h"
#include "ui/Placement.h"
#include "ui/Twips.h"

#include <QScreen>
#include <QTest>

#include <gtest/gtest.h>

namespace marovane {
namespace {

// Run under a window manager (tests/ui/with-window-manager.sh): both windows
// show centred by their outer size, border and caption included.
using WindowManagerPlacement = testing::WindowTest;

// Where the rule puts the window's frame, given the frame's size.
QPoint centredFrame(const QWidget& window) {
    const QRect screen = window.screen()->geometry();
    const QPoint origin = centredOrigin(screen.size() * twipsPerPixel, window.frameGeometry().size() * twipsPerPixel);
    return screen.topLeft() + QPoint(pixels(origin.x()), pixels(origin.y()));
}

void expectShownCentredByFrame(QWidget& window) {
    window.show();
    // The window manager frames the window, then tells Qt where it put it;
    // what the wait ended on is judged below.
    static_cast<void>(QTest::qWaitFor([&] {
        return window.frameGeometry().size() != window.size() &&
               window.frameGeometry().topLeft() == centredFrame(window);
    }));
    EXPECT_NE(window.frameGeometry().size(), window.size()) << "no window manager framed the window";
    EXPECT_EQ(window.frameGeometry().topLeft(), centredFrame(window));
}

TEST_F(WindowManagerPlacement, BothWindowsShowCentredByTheirFrame) {
    expectShownCentredByFrame(*window);

    testing::SpyInput input;
    testing::SpyOutput output;
    input.names = {"Keys"};
    MIDISetupForm form(input, output);
    expectShownCentredByFrame(form);
}

}  // namespace
}  // namespace marovane
