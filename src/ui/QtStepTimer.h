// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "engine/StepTimer.h"

#include <QTimer>

#include <chrono>
#include <functional>

namespace marovane {

// The step clock's timer on Qt: a precise timer, so that a step period of
// 50 ms is not rounded to the coarse timer's 5 % slack. Each tick is told
// when it was due, which is on the beat even when the tick runs late.
class QtStepTimer : public StepTimer {
public:
    using Clock = std::chrono::steady_clock;

    explicit QtStepTimer(std::function<void(Clock::time_point due)> onTick);

    bool Enabled() const override { return timer_.isActive(); }
    void setEnabled(bool enabled) override;
    int Interval() const override { return timer_.interval(); }
    void setInterval(int milliseconds) override;

private:
    void tick();

    QTimer timer_;
    std::function<void(Clock::time_point)> onTick_;
    // When the next tick is due, kept as Qt keeps a precise timer's: a
    // period after the last one, or after now once a tick was a whole
    // period late; a period after now when the timer (re)starts.
    Clock::time_point nextDue_;
};

}  // namespace marovane
