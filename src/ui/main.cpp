#include "Program.h"
#include "ports/RtMidiBackend.h"

#include <QApplication>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    // The MIDI system outlives the window, whose ports close into it.
    marovane::RtMidiBackend midi;
    return marovane::runProgram(app, midi);
}
