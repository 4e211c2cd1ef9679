// SPDX-License-Identifier: GPL-3.0-or-later
#include "Report.h"

#include "ReportFile.h"
#include "Text.h"

#include <jack/jack.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <sstream>
#include <thread>

namespace marovane::bench {

namespace {

// Each server's block has a name of its own.
std::string blockName(bool pipeWire) { return pipeWire ? "bench-pipewire" : "bench"; }

std::string cpuModel() {
    std::ifstream cpuinfo("/proc/cpuinfo");
    for (std::string line; std::getline(cpuinfo, line);) {
        if (line.rfind("model name", 0) == 0) return line.substr(line.find(':') + 2);
    }
    return "unknown CPU";
}

const char* met(bool reached) { return reached ? "yes" : "**no**"; }

struct Table {
    std::ostringstream out;
    Table() { out << "| Figure | Measured | Target | Met |\n|---|---|---|---|\n"; }
    void row(const std::string& figure, const std::string& measured, const std::string& target = "",
             const std::string& reached = "") {
        out << "| " << figure << " | " << measured << " | " << target << " | " << reached << " |\n";
    }
};

void thruRows(Table& table, const RunFigures& run) {
    const double periodMs = run.periodFrames * 1000.0 / run.sampleRate;
    const auto latency = [&](double frames) {
        return text("%.0f frames, %.3f ms, %.2f periods", frames, frames * periodMs / run.periodFrames,
                    frames / run.periodFrames);
    };
    const ThruFigures& thru = run.thru;
    table.row("Thru latency p50", latency(thru.frames.p50));
    table.row("Thru latency p99", latency(thru.frames.p99),
              text("at most one period and a frame (%d frames)", run.periodFrames + 1),
              met(thru.frames.p99 <= run.periodFrames + 1));
    table.row("Thru latency max", latency(thru.frames.max));
    const int lost = thru.played - thru.heard;
    table.row("Thru messages lost",
              text("%d of %d (%d unexpected); %d xruns", lost, thru.played, thru.unexpected, thru.xruns), "0",
              met(lost == 0 && thru.played > 0 && thru.unexpected == 0));
    const ThruFigures& direct = run.direct;
    table.row(
        "The same messages from BenchKeys straight to BenchSynth, no program between: lost (the server's "
        "own losses)",
        text("%d of %d (%d unexpected)", direct.played - direct.heard, direct.played, direct.unexpected));
    int number = 0;
    for (const FloodFigures& flood : run.floods) {
        const std::string order = flood.outOfOrder == 0 ? "in order" : text("%d out of order", flood.outOfOrder);
        table.row(
            text("Flood %d of %zu through one output, %d per cycle", ++number, run.floods.size(), flood.perCycle),
            text("%d of %d arrived, %s (%d unexpected); took %.0f frames, %.1f ms; %d xruns", flood.heard, flood.played,
                 order.c_str(), flood.unexpected, flood.frames, flood.frames * 1000 / run.sampleRate, flood.xruns),
            "all arrive",
            met(flood.played > 0 && flood.heard == flood.played && flood.unexpected == 0 && flood.outOfOrder == 0));
    }
}

void clockRows(Table& table, const RunFigures& run) {
    for (const ClockFigures& clock : run.clocks) {
        const std::string name = text("Step clock %d ms", clock.periodMs) +
                                 (clock.midiClockPlayed > 0 ? " with a MIDI clock of 120/s played in" : "");
        if (clock.midiClockPlayed > 0) {
            table.row(name + ": MIDI clock messages forwarded",
                      text("%d of %d", clock.midiClockHeard, clock.midiClockPlayed), "all",
                      met(clock.midiClockHeard == clock.midiClockPlayed));
        }
        const double driftPercent = 100 * (clock.meanIntervalSystemMs - clock.periodMs) / clock.periodMs;
        table.row(name + text(": mean interval on the system clock over %d intervals", clock.intervals),
                  text("%.4f ms (%+.4f %%); frame clock at %.1f frames/s", clock.meanIntervalSystemMs, driftPercent,
                       clock.framesPerSystemSecond),
                  "within 0.05 % of the period", met(clock.intervals > 0 && std::abs(driftPercent) <= 0.05));
        const Spread& error = clock.absoluteErrorFrames;
        const Spread& system = clock.absoluteErrorSystemMs;
        table.row(name + ": absolute error in frames p50 / p99 / max",
                  text("%.1f / %.1f / %.1f frames (mean %+.2f) over %d intervals, %d left out for an xrun between "
                       "their notes; system clock %.3f / %.3f / %.3f ms",
                       error.p50, error.p99, error.max, clock.meanErrorFrames, clock.intervals - clock.excluded,
                       clock.excluded, system.p50, system.p99, system.max),
                  "p99 at most 2 frames", met(clock.intervals > clock.excluded && error.p99 <= 2));
        const Spread& jackClock = clock.absoluteErrorJackClockFrames;
        table.row(name + text(": absolute error on JACK's microsecond clock, in frames at %d/s, p50 / p99 / max",
                              run.sampleRate),
                  text("%.1f / %.1f / %.1f frames over the same intervals: where the notes sit against the time the "
                       "server gives their frames, however fast its frame clock runs",
                       jackClock.p50, jackClock.p99, jackClock.max),
                  "p99 at most 2 frames", met(clock.intervals > clock.excluded && jackClock.p99 <= 2));
    }
}

std::string spreadMs(const std::vector<double>& values) {
    const Spread spread = spreadOf(values);
    return text("%.2f / %.2f / %.2f ms over %zu rounds", spread.p50, spread.p99, spread.max, values.size());
}

void openCloseRows(Table& table, const RunFigures& run) {
    const OpenCloseFigures& figures = run.openClose;
    table.row(
        "First use on the window's thread, a second after start: listing the devices (takes the JACK client "
        "opened meanwhile), then opening and starting both ports",
        text("%.1f ms + %.1f ms", figures.firstListingMs, figures.firstOpeningMs));
    table.row("Later, closing both ports as \"stop\" does, p50 / p99 / max", spreadMs(figures.closeMs));
    table.row("Later, opening and starting both again as Ok and \"go\" do, p50 / p99 / max", spreadMs(figures.openMs));
}

double wakeUpsPerSecond(const IdleFigures& idle) {
    long switches = 0;
    for (const ThreadUse& thread : idle.threads) switches += thread.switches;
    return switches / idle.seconds;
}

double cpuShare(const IdleFigures& idle) { return 100 * idle.cpuSeconds / idle.seconds; }

void costRows(Table& table, const RunFigures& run) {
    const IdleFigures& idle = run.idle;
    const double share = cpuShare(idle);
    // The target is set for jackd at 64 frames.
    table.row(text("Idle CPU, user + system, over %.1f s", idle.seconds),
              text("%.2f %% of one core (%.0f ms)", share, idle.cpuSeconds * 1000), run.pipeWire ? "" : "below 0.5 %",
              run.pipeWire ? "" : met(share < 0.5));
    table.row("Idle wake-ups (context switches)", text("%.0f per second", wakeUpsPerSecond(idle)));
    const IdleFigures& bare = run.bareIdle;
    table.row(text("The floor: a bare libjack client with the same two ports, idle over %.1f s", bare.seconds),
              text("%.2f %% of one core (%.0f ms), %.0f wake-ups per second", cpuShare(bare), bare.cpuSeconds * 1000,
                   wakeUpsPerSecond(bare)));
    const Resident& memory = idle.memory;
    table.row("Resident memory (VmRSS) after start",
              text("%.1f MiB: %.1f anonymous, %.1f files, %.1f shared memory", memory.total / 1024.0,
                   memory.anonymous / 1024.0, memory.files / 1024.0, memory.sharedMemory / 1024.0));
    std::vector<double> startup = run.startupMs;
    std::sort(startup.begin(), startup.end());
    if (!startup.empty()) {
        table.row(text("Start-up to window shown, median of %zu", startup.size()),
                  text("%.0f ms (min %.0f, max %.0f)", startup[startup.size() / 2], startup.front(), startup.back()));
    }
}

std::string threadTable(const IdleFigures& idle) {
    std::vector<ThreadUse> threads = idle.threads;
    std::sort(threads.begin(), threads.end(),
              [](const ThreadUse& a, const ThreadUse& b) { return a.cpuSeconds > b.cpuSeconds; });
    std::ostringstream out;
    out << "| Thread | CPU time | Share of one core | Wake-ups per second |\n|---|---|---|---|\n";
    int asleep = 0;
    for (const ThreadUse& thread : threads) {
        if (thread.switches == 0 && thread.cpuSeconds == 0) {
            ++asleep;
            continue;
        }
        out << text("| %s (%d%s) | %.1f ms | %.3f %% | %.0f |\n", thread.name.c_str(), thread.tid,
                    thread.tid == idle.pid ? ", main" : "", thread.cpuSeconds * 1000,
                    100 * thread.cpuSeconds / idle.seconds, thread.switches / idle.seconds);
    }
    out << "\n" << asleep << " more threads neither ran nor woke.\n";
    return out.str();
}

}  // namespace

std::string reportBlock(const RunFigures& run) {
    std::ostringstream out;
    out << blockBegin(blockName(run.pipeWire))
        << ": written by marovane_bench, replaced on every run -->\n## Latest run"
        << (run.pipeWire ? " on PipeWire" : "") << "\n\n";
    out << "Produced by `bash scripts/bench.sh` on " << run.date << ".\n\n";
    out << "- Machine: " << cpuModel() << ", " << std::thread::hardware_concurrency()
        << " cores, shared with other work. Load average (1, 5, 15 min): " << run.loadAtStart << " at the start, "
        << run.loadAtEnd
        << " at the end; highest 1-minute figure seen during the run: " << text("%.2f", run.highestLoad) << ".\n";
    out << "- Versions: Qt " << MAROVANE_QT_VERSION << ", JACK " << jack_get_version_string() << ", "
        << MAROVANE_COMPILER << ".\n";
    const double periodMs = run.periodFrames * 1000.0 / run.sampleRate;
    if (run.pipeWire) {
        out << text(
                   "- PipeWire: `pipewire -c harness/pipewire-headless.conf`, its dummy driver at %d Hz, clients "
                   "through `pw-jack`; one quantum = %d frames = %.3f ms; ",
                   run.sampleRate, run.periodFrames, periodMs)
            << run.xruns << " xruns reported to the meter in all (PipeWire's libjack may never report one).";
    } else {
        out << text("- JACK: `jackd -r -S -d dummy -r %d -p %d`, one period = %d frames = %.3f ms; ", run.sampleRate,
                    run.periodFrames, run.periodFrames, periodMs)
            << run.xruns << " xruns in all.";
    }
    out << " Alone with the meter, before any program ran, the server had "
        << text("%d xruns in %.0f s and its frame clock ran at %.1f frames per second of the system clock.\n\n",
                run.serverAlone.xruns, run.serverAlone.seconds, run.serverAlone.framesPerSystemSecond);
    Table table;
    thruRows(table, run);
    clockRows(table, run);
    openCloseRows(table, run);
    costRows(table, run);
    out << table.out.str() << "\nThe program's threads while idle:\n\n"
        << threadTable(run.idle) << blockEnd(blockName(run.pipeWire)) << "\n";
    return out.str();
}

void writeReport(const std::string& path, bool pipeWire, const std::string& block) {
    writeBlock(path, blockName(pipeWire), block);
}

}  // namespace marovane::bench
