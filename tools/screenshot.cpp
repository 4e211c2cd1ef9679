// SPDX-License-Identifier: GPL-3.0-or-later
// Renders the main window, as a musician would first see it with a pattern
// ticked, into the PNG file named on the command line. Run by
// scripts/screenshot.sh under a virtual X server; the MIDI system is the
// in-memory one, so nothing needs to be connected.
#include "support/LoopbackBackend.h"
#include "ui/Application.h"
#include "ui/QtUiThread.h"
#include "ui/frmMain.h"

#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPixmap>
#include <QTemporaryDir>

#include <cstdio>

int main(int argc, char* argv[]) {
    marovane::Application app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUTPUT.png\n", argv[0]);
        return 2;
    }
    const QString output = QFileInfo(QString::fromLocal8Bit(argv[1])).absoluteFilePath();

    // A scratch working directory with two patterns in its "Beats" folder.
    QTemporaryDir scratch;
    QDir::setCurrent(scratch.path());
    QDir().mkpath("Beats");
    for (const char* name : {"Beats/four on the floor.txt", "Beats/shuffle.txt"}) {
        QFile file(name);
        if (!file.open(QIODevice::WriteOnly)) return 1;
        file.write(QByteArray("0\r\n").repeated(80));
    }

    marovane::LoopbackBackend midi;
    marovane::QtUiThread ui;
    marovane::frmMain window(midi, ui);
    for (int column = 0; column < 16; column += 4) window.beatbox[2 * 16 + column]->setChecked(true);
    for (int column = 2; column < 16; column += 4) window.beatbox[1 * 16 + column]->setChecked(true);
    window.beatbox[0 * 16 + 14]->setCheckState(Qt::PartiallyChecked);
    window.show();
    app.processEvents();
    return window.grab().save(output) ? 0 : 1;
}
