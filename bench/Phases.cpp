// SPDX-License-Identifier: GPL-3.0-or-later
#include "Phases.h"

#include "ProgramProcess.h"
#include "Text.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <map>
#include <stdexcept>
#include <thread>

namespace marovane::bench {

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// The program's answer to its scenario.
void expectReady(ProgramProcess& program) {
    const std::string line = program.nextLine(30s);
    if (line != "ready") throw std::runtime_error("the program said \"" + line + "\" instead of ready");
}

template <class Predicate>
bool waitUntil(Predicate done, Clock::duration timeout) {
    for (const auto deadline = Clock::now() + timeout; !done();) {
        if (Clock::now() > deadline) return false;
        std::this_thread::sleep_for(10ms);
    }
    return true;
}

// Use during an interval: the later sample minus the earlier, per thread.
std::vector<ThreadUse> usedBetween(const std::vector<ThreadUse>& before, const std::vector<ThreadUse>& after) {
    std::map<pid_t, ThreadUse> earlier;
    for (const ThreadUse& thread : before) earlier[thread.tid] = thread;
    std::vector<ThreadUse> used;
    for (ThreadUse thread : after) {
        if (const auto found = earlier.find(thread.tid); found != earlier.end()) {
            thread.cpuSeconds -= found->second.cpuSeconds;
            thread.switches -= found->second.switches;
        }
        used.push_back(thread);
    }
    return used;
}

std::vector<double> absolutes(std::vector<double> values) {
    for (double& value : values) value = std::abs(value);
    return values;
}

double seconds(Clock::duration duration) { return std::chrono::duration<double>(duration).count(); }

}  // namespace

void Phases::sampleLoad() { highestLoad_ = std::max(highestLoad_, loadAverageNow()); }

ServerFigures Phases::serverAlone() {
    sampleLoad();
    progress_("the server alone for " + text("%.0f s", sizes_.serverAloneSeconds));
    ServerFigures figures;
    const int xrunsBefore = meter_.xruns();
    const jack_nframes_t frameBefore = meter_.frameNow();
    const auto begin = Clock::now();
    std::this_thread::sleep_for(std::chrono::duration<double>(sizes_.serverAloneSeconds));
    figures.seconds = seconds(Clock::now() - begin);
    figures.framesPerSystemSecond = framesBetween(frameBefore, meter_.frameNow()) / figures.seconds;
    figures.xruns = meter_.xruns() - xrunsBefore;
    return figures;
}

std::vector<double> Phases::startup() {
    std::vector<double> took;
    for (int run = 1; run <= sizes_.startupRuns; ++run) {
        sampleLoad();
        ProgramProcess program({"shown"});
        const std::string line = program.nextLine(30s);
        if (line.rfind("shown ", 0) != 0) throw std::runtime_error("the program said \"" + line + "\"");
        const Clock::time_point shown{std::chrono::nanoseconds(std::stoll(line.substr(6)))};
        took.push_back(std::chrono::duration<double, std::milli>(shown - program.startedAt()).count());
        if (!program.waitForExit(10s)) progress_("the program did not end cleanly after its window showed");
        progress_("start-up " + std::to_string(run) + " of " + std::to_string(sizes_.startupRuns) + ": " +
                  text("%.1f ms", took.back()));
    }
    return took;
}

IdleFigures Phases::idle(pid_t pid) {
    // Let the connections take effect and the start-up work end.
    std::this_thread::sleep_for(1s);
    sampleLoad();
    IdleFigures idle;
    idle.pid = pid;
    idle.memory = resident(pid);
    const auto threadsBefore = threadUse(pid);
    const double cpuBefore = cpuSeconds(pid);
    const auto begin = Clock::now();
    std::this_thread::sleep_for(std::chrono::duration<double>(sizes_.idleSeconds));
    idle.cpuSeconds = cpuSeconds(pid) - cpuBefore;
    idle.seconds = seconds(Clock::now() - begin);
    idle.threads = usedBetween(threadsBefore, threadUse(pid));
    return idle;
}

void Phases::withPorts(IdleFigures& idleFigures, ThruFigures& thruFigures, std::vector<FloodFigures>& floods) {
    ProgramProcess program({"ports", JackMeter::keysPort, JackMeter::synthPort});
    expectReady(program);
    progress_("idle for " + text("%.0f s", sizes_.idleSeconds) + " with both ports open and started");
    idleFigures = idle(program.pid());
    thruFigures = thru();
    for (int i = 0; i < sizes_.floods; ++i) floods.push_back(flood());
    sampleLoad();
    if (!program.stop()) progress_("the program did not end cleanly");
}

IdleFigures Phases::bareIdle() {
    ProgramProcess bare({JackMeter::keysPort, JackMeter::synthPort}, "marovane_bench_bare");
    expectReady(bare);
    progress_("a bare client with the same ports idle for " + text("%.0f s", sizes_.idleSeconds));
    IdleFigures figures = idle(bare.pid());
    if (!bare.stop()) progress_("the bare client did not end cleanly");
    return figures;
}

ThruFigures Phases::direct() {
    meter_.joinDirectly(true);
    // The connection takes effect within a few cycles.
    std::this_thread::sleep_for(200ms);
    progress_("without the program:");
    const ThruFigures figures = thru();
    meter_.joinDirectly(false);
    return figures;
}

ThruFigures Phases::thru() {
    sampleLoad();
    ThruFigures thru;
    const int messages = sizes_.thruMessages;
    const int xrunsBefore = meter_.xruns();
    progress_("thru: " + std::to_string(messages) + " messages at " + std::to_string(sizes_.thruPerSecond) +
              " per second");
    meter_.play(messages, meter_.sampleRate() / sizes_.thruPerSecond);
    const auto playing = std::chrono::seconds(messages / sizes_.thruPerSecond + 10);
    if (!waitUntil([&] { return meter_.played() == messages; }, playing)) progress_("the meter did not play them all");
    // Whatever has not arrived a second after the last one left is lost.
    waitUntil([&] { return meter_.heard() == messages; }, 1s);
    thru.played = meter_.played();
    thru.heard = meter_.heard();
    thru.unexpected = meter_.unexpected();
    const auto latencies = meter_.latencies();
    thru.frames = spreadOf(std::vector<double>(latencies.begin(), latencies.end()));
    thru.xruns = meter_.xruns() - xrunsBefore;
    return thru;
}

FloodFigures Phases::flood() {
    sampleLoad();
    FloodFigures flood;
    flood.perCycle = sizes_.floodPerCycle;
    const int messages = sizes_.floodMessages;
    const int xrunsBefore = meter_.xruns();
    progress_("flood: " + std::to_string(messages) + " messages, " + std::to_string(sizes_.floodPerCycle) +
              " per cycle");
    meter_.flood(messages, sizes_.floodPerCycle);
    if (!waitUntil([&] { return meter_.played() == messages; }, 30s)) progress_("the meter did not play them all");
    waitUntil([&] { return meter_.heard() == messages; }, 1s);
    flood.played = meter_.played();
    flood.heard = meter_.heard();
    flood.unexpected = meter_.unexpected();
    flood.outOfOrder = meter_.outOfOrder();
    flood.frames = static_cast<double>(meter_.span());
    flood.xruns = meter_.xruns() - xrunsBefore;
    return flood;
}

ClockFigures Phases::clock(int periodMs, bool withMidiClock) {
    const int ticks = sizes_.clockTicks;
    ClockFigures figures;
    figures.periodMs = periodMs;
    const int first = meter_.onsets();
    const int xrunsBefore = meter_.xruns();
    sampleLoad();
    progress_("step clock at " + std::to_string(periodMs) + " ms for " + std::to_string(ticks) + " ticks" +
              (withMidiClock ? ", a MIDI clock played in" : ""));
    ProgramProcess program({"arpeggio", JackMeter::keysPort, JackMeter::synthPort, std::to_string(periodMs)});
    expectReady(program);
    const int clockPlayedBefore = meter_.midiClockPlayed();
    const int clockHeardBefore = meter_.midiClockHeard();
    meter_.runMidiClock(withMidiClock);
    // The first tick loads the period from the slider, which restarts the
    // timer: intervals count from the second tick on.
    const int needed = ticks + 2;
    const auto expected = std::chrono::milliseconds(static_cast<long>(needed) * periodMs);
    if (!waitUntil([&] { return meter_.onsets() - first >= needed; }, 2 * expected + 10s)) {
        progress_("the synthesiser heard only " + std::to_string(meter_.onsets() - first) + " notes");
    }
    figures.xruns = meter_.xruns() - xrunsBefore;
    meter_.runMidiClock(false);
    // What is on its way when the clock stops arrives within a period or two.
    const auto clockPlayed = [&] { return meter_.midiClockPlayed() - clockPlayedBefore; };
    const auto clockHeard = [&] { return meter_.midiClockHeard() - clockHeardBefore; };
    waitUntil([&] { return clockHeard() == clockPlayed(); }, 1s);
    figures.midiClockPlayed = clockPlayed();
    figures.midiClockHeard = clockHeard();
    sampleLoad();
    if (!program.stop()) progress_("the program did not end cleanly");

    const auto onsets = meter_.onsetsFrom(first);
    if (onsets.size() < 3) return figures;
    std::vector<double> errors;
    std::vector<double> jackClockErrors;
    std::vector<double> systemErrors;
    const double periodFrames = meter_.sampleRate() / 1000.0 * periodMs;
    const double framesPerNanosecond = meter_.sampleRate() / 1e9;
    std::size_t i = 1;
    for (; i + 1 < onsets.size() && systemErrors.size() < static_cast<std::size_t>(ticks); ++i) {
        systemErrors.push_back((onsets[i + 1].systemNanoseconds - onsets[i].systemNanoseconds) / 1e6 - periodMs);
        if (onsets[i + 1].xruns != onsets[i].xruns) {
            ++figures.excluded;
            continue;
        }
        errors.push_back(framesBetween(onsets[i].frame, onsets[i + 1].frame) - periodFrames);
        jackClockErrors.push_back(
            (onsets[i + 1].jackNanoseconds - onsets[i].jackNanoseconds) * framesPerNanosecond - periodFrames);
    }
    figures.intervals = static_cast<int>(systemErrors.size());
    figures.meanErrorFrames = meanOf(errors);
    figures.absoluteErrorFrames = spreadOf(absolutes(errors));
    figures.absoluteErrorJackClockFrames = spreadOf(absolutes(jackClockErrors));
    figures.meanIntervalSystemMs = periodMs + meanOf(systemErrors);
    figures.absoluteErrorSystemMs = spreadOf(absolutes(systemErrors));
    const auto& from = onsets[1];
    const auto& to = onsets[i];
    figures.framesPerSystemSecond =
        framesBetween(from.frame, to.frame) / ((to.systemNanoseconds - from.systemNanoseconds) / 1e9);
    return figures;
}

OpenCloseFigures Phases::openClose() {
    sampleLoad();
    const int rounds = sizes_.openCloseRounds;
    progress_("opening and closing the ports: the first use, then " + std::to_string(rounds) + " rounds");
    ProgramProcess program({"openclose", JackMeter::keysPort, JackMeter::synthPort, std::to_string(rounds)});
    OpenCloseFigures figures;
    const std::string first = program.nextLine(30s);
    if (std::sscanf(first.c_str(), "first %lf %lf", &figures.firstListingMs, &figures.firstOpeningMs) != 2) {
        throw std::runtime_error("the program said \"" + first + "\"");
    }
    for (int round = 0; round < rounds; ++round) {
        const std::string line = program.nextLine(30s);
        double closeMs = 0;
        double openMs = 0;
        if (std::sscanf(line.c_str(), "close %lf open %lf", &closeMs, &openMs) != 2) {
            throw std::runtime_error("the program said \"" + line + "\"");
        }
        figures.closeMs.push_back(closeMs);
        figures.openMs.push_back(openMs);
    }
    expectReady(program);
    sampleLoad();
    if (!program.stop()) progress_("the program did not end cleanly");
    return figures;
}

}  // namespace marovane::bench
