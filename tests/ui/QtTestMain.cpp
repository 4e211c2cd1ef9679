// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/Application.h"

#include <gtest/gtest.h>

// Window tests need the program's application object for the whole run, and
// no display: they run on Qt's offscreen platform unless told otherwise.
int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    marovane::Application app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
