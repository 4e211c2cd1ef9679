#include "Application.h"
#include "Program.h"
#include "ports/rtmidi/RtMidiBackend.h"

int main(int argc, char* argv[]) {
    marovane::Application app(argc, argv);
    // The MIDI system outlives the window, whose ports close into it.
    marovane::RtMidiBackend midi;
    return marovane::runProgram(app, midi);
}
