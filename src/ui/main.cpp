// SPDX-License-Identifier: GPL-3.0-or-later
#include "Application.h"
#include "Program.h"
#include "ports/AllSystemsBackend.h"
#include "ports/alsa/AlsaBackend.h"
#include "ports/jack/JackBackend.h"

int main(int argc, char* argv[]) {
    marovane::Application app(argc, argv);
    // The MIDI systems outlive the window, whose ports close into them: the
    // ALSA sequencer and a JACK server, each where it runs.
    marovane::AlsaBackend alsa;
    marovane::JackBackend jack;
    marovane::AllSystemsBackend midi(alsa, jack);
    return marovane::runProgram(app, midi);
}
