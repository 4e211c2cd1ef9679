// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "engine/StepTimer.h"

#include <QTimer>

#include <chrono>
#include <functional>

namespace marovane {

// The step clock's timer on Qt: a precise timer, so that a step period of
// 50 ms is not rounded to the coarse timer's 5 % slack. Each tick is told
// when it is due, which is on the beat however late the tick runs.
//
// Qt's timers wake up to a millisecond late (they wait in whole
// milliseconds) and the system adds its own delay, while a JACK output
// places a due message one period (1.3 ms at 64 frames) after its time: a
// tick that ran after that would miss its frame. So each tick runs a lead
// ahead of the time it reports as due, and its notes wait for their frame
// instead. The lead only moves the whole beat later; intervals are as set.
class QtStepTimer : public StepTimer {
public:
    using Clock = std::chrono::steady_clock;
    static constexpr std::chrono::milliseconds lead{3};

    explicit QtStepTimer(std::function<void(Clock::time_point due)> onTick);

    bool Enabled() const override { return timer_.isActive(); }
    void setEnabled(bool enabled) override;
    int Interval() const override { return timer_.interval(); }
    void setInterval(int milliseconds) override;

private:
    void tick();
    // The due time of a tick one period of the timer from now: a lead
    // after the tick itself.
    Clock::time_point dueAfterNow() const;

    QTimer timer_;
    std::function<void(Clock::time_point)> onTick_;
    // When the next tick is due, kept as Qt keeps a precise timer's: a
    // period after the last one, or after now once a tick was a whole
    // period late; a period after now when the timer (re)starts.
    Clock::time_point nextDue_;
};

}  // namespace marovane
