#include "TerminationSignals.h"
#include "frmMain.h"
#include "ports/QtUiThread.h"
#include "ports/RtMidiBackend.h"

#include <QApplication>
#include <QFont>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName("Marovane");

    QFont font("DejaVu Sans");
    font.setPointSizeF(8.25);
    font.setBold(true);
    QApplication::setFont(font);

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
