// SPDX-License-Identifier: GPL-3.0-or-later
#include "QtStepTimer.h"

namespace marovane {

namespace {
constexpr int startPeriodMs = 200;
}

QtStepTimer::QtStepTimer(std::function<void(Clock::time_point due)> onTick) : onTick_(std::move(onTick)) {
    timer_.setTimerType(Qt::PreciseTimer);
    timer_.setInterval(startPeriodMs);
    QObject::connect(&timer_, &QTimer::timeout, [this] { tick(); });
}

void QtStepTimer::setEnabled(bool enabled) {
    // QTimer::start() would restart a running period; the clock keeps its beat.
    if (enabled && !timer_.isActive()) {
        timer_.start();
        nextDue_ = Clock::now() + timer_.intervalAsDuration();
    }
    if (!enabled) timer_.stop();
}

void QtStepTimer::setInterval(int milliseconds) {
    // QTimer::setInterval() restarts an active timer even for the same value.
    if (milliseconds == timer_.interval()) return;
    timer_.setInterval(milliseconds);
    if (timer_.isActive()) nextDue_ = Clock::now() + timer_.intervalAsDuration();
}

void QtStepTimer::tick() {
    const Clock::time_point due = nextDue_;
    const Clock::time_point now = Clock::now();
    nextDue_ += timer_.intervalAsDuration();
    if (nextDue_ < now) nextDue_ = now + timer_.intervalAsDuration();
    onTick_(due);
}

}  // namespace marovane
