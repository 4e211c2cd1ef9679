// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ProcStat.h"
#include "Spread.h"

#include <string>
#include <vector>

namespace marovane::bench {

// What one benchmark run found.

struct ThruFigures {
    int played = 0;
    int heard = 0;
    int unexpected = 0;
    Spread frames;  // from entering the program to leaving it
    int xruns = 0;
};

// One flood through one output: messages played as fast as the cycles take
// them.
struct FloodFigures {
    int perCycle = 0;
    int played = 0;
    int heard = 0;
    int unexpected = 0;
    int outOfOrder = 0;
    // From the first message leaving to the last one arriving.
    double frames = 0;
    int xruns = 0;
};

struct ClockFigures {
    int periodMs = 0;
    int intervals = 0;
    // Intervals with an xrun between their two notes: the server's frame
    // clock jumps there, so they are left out of the error in frames.
    int excluded = 0;
    // Interval minus period in JACK frames, as a synthesiser hears it.
    double meanErrorFrames = 0;
    Spread absoluteErrorFrames;
    // The same intervals on JACK's microsecond clock, in frames at the
    // nominal rate: where the notes were placed against the time the server
    // gives each frame, apart from how fast its frame clock runs.
    Spread absoluteErrorJackClockFrames;
    // The mean interval on the system clock, which the timer counts in and
    // which a late cycle of the JACK server does not bend.
    double meanIntervalSystemMs = 0;
    Spread absoluteErrorSystemMs;
    double framesPerSystemSecond = 0;
    int xruns = 0;
    // MIDI clock messages played into the program meanwhile, and heard
    // forwarded; none when no clock ran.
    int midiClockPlayed = 0;
    int midiClockHeard = 0;
};

struct IdleFigures {
    pid_t pid = 0;
    double seconds = 0;
    double cpuSeconds = 0;
    Resident memory;
    // Each thread's use during the idle time.
    std::vector<ThreadUse> threads;
};

// Opening and closing the ports on the window's thread, in ms.
struct OpenCloseFigures {
    // The first use: listing the devices as the setup dialog does, which
    // opens the program's JACK client, then opening and starting both ports.
    double firstListingMs = 0;
    double firstOpeningMs = 0;
    // Later rounds: closing both, and opening and starting them again as the
    // setup dialog's Ok and "go" do.
    std::vector<double> closeMs;
    std::vector<double> openMs;
};

// The server with only the meter's clients: what the program does not cause.
struct ServerFigures {
    double seconds = 0;
    int xruns = 0;
    double framesPerSystemSecond = 0;
};

struct RunFigures {
    bool pipeWire = false;
    std::string date;
    std::string loadAtStart;
    std::string loadAtEnd;
    double highestLoad = 0;
    int sampleRate = 0;
    int periodFrames = 0;
    int xruns = 0;
    ServerFigures serverAlone;
    std::vector<double> startupMs;
    IdleFigures idle;
    // A bare libjack client with the same two ports, for comparison.
    IdleFigures bareIdle;
    ThruFigures thru;
    ThruFigures direct;  // the meter's keys straight to its synth
    std::vector<FloodFigures> floods;
    std::vector<ClockFigures> clocks;
    OpenCloseFigures openClose;
};

}  // namespace marovane::bench
