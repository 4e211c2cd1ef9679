// SPDX-License-Identifier: GPL-3.0-or-later
#include "ScratchDirectory.h"
#include "ports/alsa/AlsaBackend.h"
#include "ui/Application.h"

#include <gtest/gtest.h>

#include <iostream>

// The window tests on the ALSA sequencer, run in the virtual machine of
// tests/support/alsa-vm: the program's application object on Qt's offscreen
// platform (the machine has no display), and a working directory of the
// run's own (where the window makes its "Beats" folder).
int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    marovane::Application app(argc, argv);
    marovane::testing::ScratchDirectory scratch;
    ::testing::InitGoogleTest(&argc, argv);
    if (!marovane::AlsaBackend().available()) {
        std::cerr << "No ALSA sequencer here: these tests run in the virtual machine of tests/support/alsa-vm.\n";
        return 77;
    }
    return RUN_ALL_TESTS();
}
