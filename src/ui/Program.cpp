// SPDX-License-Identifier: GPL-3.0-or-later
#include "Program.h"

#include "QtUiThread.h"
#include "TerminationSignals.h"
#include "frmMain.h"

#include <QApplication>

namespace marovane {

int runProgram(QApplication& app, MidiBackend& midi, const std::function<void(frmMain&)>& ready) {
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
