// SPDX-License-Identifier: GPL-3.0-or-later
// The program as `marovane` runs it (runProgram, the JACK back end), on the
// benchmark's JACK server and driven as a user would drive it. The benchmark
// starts it with a scenario and reads the lines it prints:
//
//   shown
//       prints "shown <ns>", the steady clock when the main window is first
//       exposed, then closes the window;
//   ports <input device> <output device>
//       opens both ports on these devices as the setup dialog's Ok does,
//       starts them as "go" does, and prints "ready";
//   arpeggio <input device> <output device> <period ms>
//       as ports, then the arpeggio at note step 0, which repeats its note
//       every period without end, and prints "ready".
//
// It runs until it is stopped with SIGTERM, which closes the window.

#include "ports/PortCommands.h"
#include "ports/jack/JackBackend.h"
#include "ui/Application.h"
#include "ui/Program.h"
#include "ui/frmMain.h"

#include <QApplication>
#include <QEvent>
#include <QPushButton>
#include <QScrollBar>
#include <QTimer>
#include <QWindow>

#include <algorithm>
#include <chrono>
#include <iostream>
#include <string>
#include <vector>

namespace marovane {
namespace {

void say(const std::string& line) { std::cout << line << std::endl; }

// Reports the main window's first expose, the moment it is on screen.
class FirstExpose : public QObject {
public:
    explicit FirstExpose(frmMain& window) : QObject(&window), window_(window) {}

    bool eventFilter(QObject* target, QEvent* event) override {
        if (event->type() == QEvent::Expose && target == window_.windowHandle()) {
            const auto now = std::chrono::steady_clock::now().time_since_epoch();
            say("shown " + std::to_string(std::chrono::duration_cast<std::chrono::nanoseconds>(now).count()));
            QApplication::instance()->removeEventFilter(this);
            QTimer::singleShot(0, &window_, [this] { window_.close(); });
        }
        return false;
    }

private:
    frmMain& window_;
};

int entryOf(const std::vector<std::string>& entries, const std::string& device) {
    const auto found = std::find(entries.begin(), entries.end(), device);
    return found == entries.end() ? -1 : static_cast<int>(found - entries.begin());
}

bool openAndStart(frmMain& window, const std::string& input, const std::string& output) {
    const int inputEntry = entryOf(listInputEntries(window.MIDIInput1), input);
    const int outputEntry = entryOf(listOutputEntries(window.MIDIOutput1), output);
    if (inputEntry < 0 || outputEntry < 0) return false;
    OpenMidiIn(window.MIDIInput1, inputEntry);
    OpenMidiOut(window.MIDIOutput1, outputEntry);
    StartPorts(window.MIDIInput1, window.MIDIOutput1);
    return window.MIDIInput1.State() == StateStarted && window.MIDIOutput1.State() == StateStarted;
}

// Runs once the window is shown and the event loop turns.
void play(frmMain& window, const std::vector<std::string>& args) {
    if (!openAndStart(window, args[1], args[2])) {
        say("failed to open " + args[1] + " and " + args[2]);
        window.close();
        return;
    }
    if (args[0] == "arpeggio") {
        window.notescroll->setValue(0);
        window.intervalscroll->setValue(std::stoi(args[3]));
        window.arpegiate->click();
    }
    say("ready");
}

bool valid(const std::vector<std::string>& args) {
    if (args.empty()) return false;
    if (args[0] == "shown") return args.size() == 1;
    if (args[0] == "ports") return args.size() == 3;
    return args[0] == "arpeggio" && args.size() == 4;
}

}  // namespace
}  // namespace marovane

int main(int argc, char* argv[]) {
    using namespace marovane;
    Application app(argc, argv);
    const std::vector<std::string> args(argv + 1, argv + argc);
    if (!valid(args)) {
        std::cerr << "usage: marovane_bench_program shown | ports IN OUT | arpeggio IN OUT PERIOD_MS\n";
        return 2;
    }
    // JACK only: the benchmark's server, also where an ALSA sequencer exists.
    JackBackend midi;
    return runProgram(app, midi, [&args](frmMain& window) {
        if (args[0] == "shown") {
            QApplication::instance()->installEventFilter(new FirstExpose(window));
        } else {
            QTimer::singleShot(0, &window, [&window, &args] { play(window, args); });
        }
    });
}
