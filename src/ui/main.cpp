#include "Application.h"
#include "TerminationSignals.h"
#include "frmMain.h"
#include "ports/QtUiThread.h"
#include "ports/RtMidiBackend.h"

int main(int argc, char* argv[]) {
    marovane::Application app(argc, argv);

    // The MIDI system outlives the window, whose ports close into it.
    marovane::RtMidiBackend midi;
    marovane::QtUiThread ui;
    marovane::frmMain window(midi, ui);
    QObject::connect(&window, &marovane::frmMain::ended, &app, [] { QApplication::exit(0); });
    // Stopped from outside, the program leaves as if its window were closed.
    marovane::TerminationSignals stopSignals([&window] { window.close(); });
    window.show();
    return app.exec();
}
