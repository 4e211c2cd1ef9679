// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QApplication>

namespace marovane {

// The program's application object: its name, the one font of its windows,
// and what becomes of a failure that no handler catches.
class Application : public QApplication {
public:
    Application(int& argc, char** argv);

    // A failure that escapes an event handler is shown in a message box, and
    // then the program ends with status 1: every event loop returns, and the
    // window and its ports go as usual, so no note is left sounding.
    bool notify(QObject* receiver, QEvent* event) override;

private:
    void endAfterFailure(const QString& text);

    bool ending_ = false;
};

// "MS Sans Serif" bold at 8.25 points where the system has it; otherwise the
// first installed face of the same metrics family whose captions fit the
// window's controls.
QFont programFont();

}  // namespace marovane
