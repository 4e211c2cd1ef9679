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

QtStepTimer::Clock::time_point QtStepTimer::dueAfterNow() const {
    return Clock::now() + timer_.intervalAsDuration() + lead;
}

void QtStepTimer::setEnabled(bool enabled) {
    // QTimer::start() would restart a running period; the clock keeps its beat.
    if (enabled && !timer_.isActive()) {
        timer_.start();
        nextDue_ = dueAfterNow();
    }
    if (!enabled) timer_.stop();
}

void QtStepTimer::setInterval(int milliseconds) {
    // QTimer::setInterval() restarts an active timer even for the same value.
    if (milliseconds == timer_.interval()) return;
    timer_.setInterval(milliseconds);
    if (timer_.isActive()) nextDue_ = dueAfterNow();
}

void QtStepTimer::tick() {
    const Clock::time_point due = nextDue_;
    nextDue_ += timer_.intervalAsDuration();
    if (nextDue_ < Clock::now() + lead) nextDue_ = dueAfterNow();
    onTick_(due);
}

}  // namespace marovane
