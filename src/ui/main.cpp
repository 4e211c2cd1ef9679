// SPDX-License-Identifier: GPL-3.0-or-later
#include "Application.h"
#include "Program.h"
#include "ports/alsa/AlsaBackend.h"
#include "ports/jack/JackBackend.h"

int main(int argc, char* argv[]) {
    marovane::Application app(argc, argv);
    // The MIDI system outlives the window, whose ports close into it: the
    // ALSA sequencer where it opens, as on a desktop, else a JACK server.
    marovane::AlsaBackend alsa;
    if (alsa.available()) return marovane::runProgram(app, alsa);
    marovane::JackBackend jack;
    return marovane::runProgram(app, jack);
}
