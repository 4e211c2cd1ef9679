#include "QtStepTimer.h"

namespace marovane {

namespace {
constexpr int startPeriodMs = 200;
}

QtStepTimer::QtStepTimer(std::function<void()> onTick) {
    timer_.setTimerType(Qt::PreciseTimer);
    timer_.setInterval(startPeriodMs);
    QObject::connect(&timer_, &QTimer::timeout, std::move(onTick));
}

void QtStepTimer::setEnabled(bool enabled) {
    // QTimer::start() would restart a running period; the clock keeps its beat.
    if (enabled && !timer_.isActive()) timer_.start();
    if (!enabled) timer_.stop();
}

void QtStepTimer::setInterval(int milliseconds) {
    // QTimer::setInterval() restarts an active timer even for the same value.
    if (milliseconds != timer_.interval()) timer_.setInterval(milliseconds);
}

}  // namespace marovane
