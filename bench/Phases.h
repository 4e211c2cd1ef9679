// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "Figures.h"
#include "JackMeter.h"

#include <functional>

namespace marovane::bench {

// The measurements, each with programs of its own. `progress` hears what is
// going on, one line at a time; the load average is sampled as they go.
class Phases {
public:
    Phases(JackMeter& meter, std::function<void(const std::string&)> progress)
        : meter_(meter), progress_(std::move(progress)) {}

    // The server and the meter alone for a while, before any program.
    ServerFigures serverAlone(double seconds);
    // From creating the process to the main window's first expose.
    std::vector<double> startup(int runs);
    // Idle cost with both ports open and started, then the thru latency of
    // `messages` played at `perSecond`, on one program.
    void idleThenThru(double idleSeconds, int messages, int perSecond, IdleFigures& idle, ThruFigures& thru);
    // The arpeggio's inter-onset intervals over `ticks` ticks.
    ClockFigures clock(int periodMs, int ticks);

    double highestLoad() const { return highestLoad_; }

private:
    void sampleLoad();

    JackMeter& meter_;
    std::function<void(const std::string&)> progress_;
    double highestLoad_ = 0;
};

}  // namespace marovane::bench
