// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <functional>

class QApplication;

namespace marovane {

class MidiBackend;
class frmMain;

// The program once its application object (an Application) exists: the
// main window over the given MIDI system, the signals that close it, and the
// event loop until the program ends; returns the exit status. `ready`
// sees the main window just before it shows, for a harness that drives it.
int runProgram(QApplication& app, MidiBackend& midi, const std::function<void(frmMain&)>& ready = {});

}  // namespace marovane
