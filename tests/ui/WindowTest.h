// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "QtPrinters.h"
#include "ScratchDirectory.h"
#include "support/LoopbackBackend.h"
#include "ui/QtUiThread.h"
#include "ui/frmMain.h"

#include <gtest/gtest.h>

#include <memory>

namespace marovane::testing {

// The main window over the in-memory MIDI system, in a working directory of
// its own.
class WindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        midi.inputs = {"Keys", "Pads"};
        midi.outputs = {"Synth A"};
        window = std::make_unique<frmMain>(midi, ui);
    }

    ScratchDirectory scratch;
    LoopbackBackend midi;
    QtUiThread ui;
    std::unique_ptr<frmMain> window;
};

}  // namespace marovane::testing
