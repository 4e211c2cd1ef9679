// SPDX-License-Identifier: GPL-3.0-or-later
// The benchmark: starts a JACK server of its own, runs the program against a
// measuring JACK client and writes the figures to the report.
//
//   marovane_bench REPORT.md           the full run on jackd, written to the report
//   marovane_bench --quick             a short run, printed only
//   pw-jack marovane_bench --server pipewire REPORT.md | --quick
//                                      the same on a headless PipeWire, whose
//                                      libjack `pw-jack` puts first

#include "JackMeter.h"
#include "Phases.h"
#include "Report.h"
#include "harness/JackdProcess.h"
#include "harness/PipeWireProcess.h"

#include <cstdlib>
#include <ctime>
#include <exception>
#include <iostream>
#include <memory>
#include <string>

namespace marovane::bench {
namespace {

constexpr Sizes fullRun{10, 7, 10, 10000, 1000, 5, 10000, 500, 200, 50};
constexpr Sizes quickRun{3, 3, 3, 2000, 1000, 2, 10000, 500, 20, 10};

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
    Phases phases(meter, sizes, say);
    run.serverAlone = phases.serverAlone();
    run.direct = phases.direct();
    run.startupMs = phases.startup();
    phases.withPorts(run.idle, run.thru, run.floods);
    run.bareIdle = phases.bareIdle();
    run.openClose = phases.openClose();
    for (int periodMs : {50, 500}) run.clocks.push_back(phases.clock(periodMs));
    run.clocks.push_back(phases.clock(50, true));
    run.xruns = meter.xruns();
    run.highestLoad = phases.highestLoad();
}

std::unique_ptr<harness::ServerProcess> startServer(bool pipeWire) {
    if (pipeWire) return std::make_unique<harness::PipeWireProcess>();
    return std::make_unique<harness::JackdProcess>("marovane-bench-");
}

}  // namespace
}  // namespace marovane::bench

int main(int argc, char* argv[]) {
    using namespace marovane::bench;
    const bool pipeWire = argc == 4 && std::string(argv[1]) == "--server" && std::string(argv[2]) == "pipewire";
    const bool jackd = argc == 2 || (argc == 4 && std::string(argv[1]) == "--server" && std::string(argv[2]) == "jackd");
    if (!pipeWire && !jackd) {
        std::cerr << "usage: [pw-jack] marovane_bench [--server jackd|pipewire] REPORT.md | --quick\n";
        return 2;
    }
    // The meter and the programs must reach the chosen server's libjack.
    if (pipeWire != marovane::harness::usesPipeWiresJack()) {
        std::cerr << (pipeWire ? "run it under pw-jack for PipeWire\n" : "run it without pw-jack for jackd\n");
        return 2;
    }
    const std::string target = argv[argc - 1];
    const bool quick = target == "--quick";
    // The program's window needs no display.
    setenv("QT_QPA_PLATFORM", "offscreen", 1);

    RunFigures run;
    run.pipeWire = pipeWire;
    run.date = utcNow();
    run.loadAtStart = loadAverage();
    const auto server = startServer(pipeWire);
    if (!server->failure().empty()) {
        std::cerr << server->failure() << "\n";
        return 1;
    }
    try {
        measure(quick ? quickRun : fullRun, run);
    } catch (const std::exception& e) {
        std::cerr << "benchmark failed: " << e.what() << "\n";
        return 1;
    }
    run.loadAtEnd = loadAverage();
    if (!server->stop()) std::cerr << "the server did not stop cleanly; see " << server->log() << "\n";

    const std::string block = reportBlock(run);
    std::cout << "\n" << block << std::flush;
    if (quick) return 0;
    try {
        writeReport(target, run.pipeWire, block);
    } catch (const std::exception& e) {
        std::cerr << e.what() << "\n";
        return 1;
    }
    return 0;
}
