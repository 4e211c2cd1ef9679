// SPDX-License-Identifier: GPL-3.0-or-later
// The program as `marovane` runs it (runProgram, the JACK back end), on the
// benchmark's JACK server and driven as a user would drive it. The benchmark
// starts it with a scenario and reads the lines it prints:
//
//   shown
//       prints "shown <ns>", the steady clock when the main window is first
//       exposed, then closes the window;
//   ports <input device> <output device>
//       once both devices are listed, opens both ports on them as the setup
//       dialog's Ok does,
//       starts them as "go" does, and prints "ready";
//   arpeggio <input device> <output device> <period ms>
//       as ports, then the arpeggio at note step 0, which repeats its note
//       every period without end, and prints "ready";
//   openclose <input device> <output device> <rounds>
//       on the window's thread, a second after the window showed (as soon as
//       a user could open the setup dialog), times the first use: listing
//       the devices as the dialog does, which takes the JACK client the back
//       end began to open at start, then opening both ports and starting
//       them, and prints "first <listing ms> <opening ms>";
//       then, each round in a turn of the event loop of its own, times
//       closing both ports as "stop" does and opening and starting them again
//       as the dialog's Ok and "go" do, printing "close <ms> open <ms>";
//       then prints "ready".
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
#include <functional>
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

int entryOf(const std::vector<DeviceEntry>& entries, const std::string& device) {
    const auto found =
        std::find_if(entries.begin(), entries.end(), [&](const auto& entry) { return entry.text == device; });
    return found == entries.end() ? -1 : static_cast<int>(found - entries.begin());
}

// The list entries of the two devices, -1 where one is not listed.
struct Entries {
    int input;
    int output;
};

Entries listed(frmMain& window, const std::vector<std::string>& args) {
    return {entryOf(listInputEntries(window.MIDIInput1), args[1]),
            entryOf(listOutputEntries(window.MIDIOutput1), args[2])};
}

bool openAndStart(frmMain& window, Entries entries) {
    if (entries.input < 0 || entries.output < 0) return false;
    OpenMidiIn(window.MIDIInput1, entries.input);
    OpenMidiOut(window.MIDIOutput1, entries.output);
    StartPorts(window.MIDIInput1, window.MIDIOutput1);
    return window.MIDIInput1.State() == StateStarted && window.MIDIOutput1.State() == StateStarted;
}

void failed(frmMain& window, const std::vector<std::string>& args) {
    say("failed to open " + args[1] + " and " + args[2]);
    window.close();
}

template <class Work>
double millisecondsOf(Work work) {
    const auto begin = std::chrono::steady_clock::now();
    work();
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - begin).count();
}

// One round of closing and reopening, then the next in a later turn.
void reopen(frmMain& window, const std::vector<std::string>& args, Entries entries, int roundsLeft) {
    if (roundsLeft == 0) {
        say("ready");
        return;
    }
    const double closing = millisecondsOf([&] { ClosePortsForExit(window.MIDIInput1, window.MIDIOutput1); });
    bool opened = false;
    const double opening = millisecondsOf([&] { opened = openAndStart(window, entries); });
    if (!opened) return failed(window, args);
    say("close " + std::to_string(closing) + " open " + std::to_string(opening));
    QTimer::singleShot(10, &window, [&window, &args, entries, roundsLeft] {
        reopen(window, args, entries, roundsLeft - 1);
    });
}

void openAndClose(frmMain& window, const std::vector<std::string>& args) {
    Entries entries{};
    const double listing = millisecondsOf([&] { entries = listed(window, args); });
    bool opened = false;
    const double opening = millisecondsOf([&] { opened = openAndStart(window, entries); });
    if (!opened) return failed(window, args);
    say("first " + std::to_string(listing) + " " + std::to_string(opening));
    reopen(window, args, entries, std::stoi(args[3]));
}

// How soon after start a user gets to the setup dialog, at the quickest.
constexpr std::chrono::seconds userPause{1};

void playOn(frmMain& window, const std::vector<std::string>& args, Entries entries) {
    if (!openAndStart(window, entries)) return failed(window, args);
    if (args[0] == "arpeggio") {
        window.notescroll->setValue(0);
        window.intervalscroll->setValue(std::stoi(args[3]));
        window.arpegiate->click();
    }
    say("ready");
}

// Looks at the listings every 10 ms, up to 5 s, until both devices are in
// them: the back end joins its server on a thread of its own, and lists
// nothing until it has.
void whenListed(frmMain& window, const std::vector<std::string>& args, const std::function<void(Entries)>& then,
                int looksLeft = 500) {
    const Entries entries = listed(window, args);
    if ((entries.input >= 0 && entries.output >= 0) || looksLeft == 0) return then(entries);
    QTimer::singleShot(10, &window, [&window, &args, then, looksLeft] { whenListed(window, args, then, looksLeft - 1); });
}

// Runs once the window is shown and the event loop turns.
void play(frmMain& window, const std::vector<std::string>& args) {
    if (args[0] == "openclose") {
        QTimer::singleShot(userPause, &window, [&window, &args] { openAndClose(window, args); });
        return;
    }
    whenListed(window, args, [&window, &args](Entries entries) { playOn(window, args, entries); });
}

bool valid(const std::vector<std::string>& args) {
    if (args.empty()) return false;
    if (args[0] == "shown") return args.size() == 1;
    if (args[0] == "ports") return args.size() == 3;
    return (args[0] == "arpeggio" || args[0] == "openclose") && args.size() == 4;
}

}  // namespace
}  // namespace marovane

int main(int argc, char* argv[]) {
    using namespace marovane;
    Application app(argc, argv);
    const std::vector<std::string> args(argv + 1, argv + argc);
    if (!valid(args)) {
        std::cerr << "usage: marovane_bench_program shown | ports IN OUT | arpeggio IN OUT PERIOD_MS | openclose IN OUT "
                     "ROUNDS\n";
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
