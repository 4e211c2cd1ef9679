#include "ports/JackServer.h"

#include <QApplication>

#include <gtest/gtest.h>

// The window tests on JACK: one application object and one JACK server for
// the whole run, and no display (Qt's offscreen platform unless told
// otherwise).
int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    ::testing::AddGlobalTestEnvironment(new marovane::testing::JackServer);
    return marovane::testing::JackServer::exitStatus(RUN_ALL_TESTS());
}
