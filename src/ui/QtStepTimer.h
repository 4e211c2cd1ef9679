#pragma once

#include "engine/StepTimer.h"

#include <QTimer>

#include <functional>

namespace marovane {

// The step clock's timer on Qt: a precise timer, so that a step period of
// 50 ms is not rounded to the coarse timer's 5 % slack.
class QtStepTimer : public StepTimer {
public:
    explicit QtStepTimer(std::function<void()> onTick);

    bool Enabled() const override { return timer_.isActive(); }
    void setEnabled(bool enabled) override;
    int Interval() const override { return timer_.interval(); }
    void setInterval(int milliseconds) override;

private:
    QTimer timer_;
};

}  // namespace marovane
