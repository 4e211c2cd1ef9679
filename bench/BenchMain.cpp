// SPDX-License-Identifier: GPL-3.0-or-later
// The benchmark: starts a jackd of its own, runs the program against a
// measuring JACK client and writes the figures to the report.
//
//   marovane_bench REPORT.md           the full run, written to the report
//   marovane_bench --quick             a short run, printed only

#include "JackMeter.h"
#include "Phases.h"
#include "Report.h"
#include "harness/JackdProcess.h"

#include <cstdlib>
#include <ctime>
#include <exception>
#include <iostream>

namespace marovane::bench {
namespace {

// How much each phase measures.
struct Sizes {
    double serverAloneSeconds;
    int startupRuns;
    double idleSeconds;
    int thruMessages;
    int clockTicks;
};

constexpr Sizes fullRun{10, 7, 10, 10000, 200};
constexpr Sizes quickRun{3, 3, 3, 2000, 20};
constexpr int messagesPerSecond = 1000;

std::string utcNow() {
    const std::time_t now = std::time(nullptr);
    char date[32];
    std::strftime(date, sizeof date, "%Y-%m-%d %H:%M UTC", std::gmtime(&now));
    return date;
}

void say(const std::string& line) { std::cout << line << std::endl; }

// Everything that needs the server; the meter's clients close before it stops.
void measure(const Sizes& sizes, RunFigures& run) {
    JackMeter meter;
    run.sampleRate = static_cast<int>(meter.sampleRate());
    run.periodFrames = static_cast<int>(meter.periodFrames());
    Phases phases(meter, say);
    run.serverAlone = phases.serverAlone(sizes.serverAloneSeconds);
    run.startupMs = phases.startup(sizes.startupRuns);
    phases.idleThenThru(sizes.idleSeconds, sizes.thruMessages, messagesPerSecond, run.idle, run.thru);
    for (int periodMs : {50, 500}) run.clocks.push_back(phases.clock(periodMs, sizes.clockTicks));
    run.xruns = meter.xruns();
    run.highestLoad = phases.highestLoad();
}

}  // namespace
}  // namespace marovane::bench

int main(int argc, char* argv[]) {
    using namespace marovane::bench;
    const std::string target = argc == 2 ? argv[1] : "";
    if (target.empty()) {
        std::cerr << "usage: marovane_bench REPORT.md | --quick\n";
        return 2;
    }
    const bool quick = target == "--quick";
    // The program's window needs no display.
    setenv("QT_QPA_PLATFORM", "offscreen", 1);

    RunFigures run;
    run.date = utcNow();
    run.loadAtStart = loadAverage();
    marovane::harness::JackdProcess server("marovane-bench-");
    if (!server.failure().empty()) {
        std::cerr << server.failure() << "\n";
        return 1;
    }
    try {
        measure(quick ? quickRun : fullRun, run);
    } catch (const std::exception& e) {
        std::cerr << "benchmark failed: " << e.what() << "\n";
        return 1;
    }
    run.loadAtEnd = loadAverage();
    if (!server.stop()) std::cerr << "jackd did not stop cleanly; see " << server.log() << "\n";

    const std::string block = reportBlock(run);
    std::cout << "\n" << block << std::flush;
    if (quick) return 0;
    try {
        writeReport(target, block);
    } catch (const std::exception& e) {
        std::cerr << e.what() << "\n";
        return 1;
    }
    return 0;
}
