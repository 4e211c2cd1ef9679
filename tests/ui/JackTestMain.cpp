// SPDX-License-Identifier: GPL-3.0-or-later
#include "ScratchDirectory.h"
#include "support/JackServer.h"
#include "ui/Application.h"

#include <gtest/gtest.h>

// The window tests on JACK: the program's application object and one JACK
// server for the whole run, a working directory of the run's own (where the
// window makes its "Beats" folder), and no display (Qt's offscreen platform
// unless told otherwise).
int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    marovane::Application app(argc, argv);
    marovane::testing::ScratchDirectory scratch;
    ::testing::InitGoogleTest(&argc, argv);
    ::testing::AddGlobalTestEnvironment(new marovane::testing::JackServer);
    return marovane::testing::JackServer::exitStatus(RUN_ALL_TESTS());
}
