// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "Figures.h"
#include "JackMeter.h"

#include <functional>

namespace marovane::bench {

// How much each phase measures.
struct Sizes {
    double serverAloneSeconds;
    int startupRuns;
    double idleSeconds;
    int thruMessages;
    int thruPerSecond;
    int floods;
    int floodMessages;
    int floodPerCycle;
    int clockTicks;
    int openCloseRounds;
};

// The measurements, each with programs of its own. `progress` hears what is
// going on, one line at a time; the load average is sampled as they go.
class Phases {
public:
    Phases(JackMeter& meter, const Sizes& sizes, std::function<void(const std::string&)> progress)
        : meter_(meter), sizes_(sizes), progress_(std::move(progress)) {}

    // The server and the meter alone for a while, before any program.
    ServerFigures serverAlone();
    // Messages at the thru's rate from the meter's keys straight to its
    // synth, with no program between them.
    ThruFigures direct();
    // From creating the process to the main window's first expose.
    std::vector<double> startup();
    // On one program with both ports open and started: the idle cost, the
    // thru latency of messages at a steady rate, then floods.
    void withPorts(IdleFigures& idle, ThruFigures& thru, std::vector<FloodFigures>& floods);
    // The idle cost of a bare libjack client with the same ports.
    IdleFigures bareIdle();
    // The arpeggio's inter-onset intervals, with a MIDI clock played into
    // the program's input meanwhile or without.
    ClockFigures clock(int periodMs, bool withMidiClock = false);
    // Opening and closing the ports on the window's thread.
    OpenCloseFigures openClose();

    double highestLoad() const { return highestLoad_; }

private:
    void sampleLoad();
    IdleFigures idle(pid_t pid);
    ThruFigures thru();
    FloodFigures flood();

    JackMeter& meter_;
    Sizes sizes_;
    std::function<void(const std::string&)> progress_;
    double highestLoad_ = 0;
};

}  // namespace marovane::bench
