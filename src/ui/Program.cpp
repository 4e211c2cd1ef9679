#include "Program.h"

#include "TerminationSignals.h"
#include "frmMain.h"
#include "ports/QtUiThread.h"

#include <QApplication>
#include <QFont>

namespace marovane {

int runProgram(QApplication& app, MidiBackend& midi, const std::function<void(frmMain&)>& ready) {
    QApplication::setApplicationName("Marovane");

    QFont font("DejaVu Sans");
    font.setPointSizeF(8.25);
    font.setBold(true);
    QApplication::setFont(font);

    QtUiThread ui;
    frmMain window(midi, ui);
    QObject::connect(&window, &frmMain::ended, &app, [] { QApplication::exit(0); });
    // Stopped from outside, the program leaves as if its window were closed.
    TerminationSignals stopSignals([&window] { window.close(); });
    if (ready) ready(window);
    window.show();
    return app.exec();
}

}  // namespace marovane
