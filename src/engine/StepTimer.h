// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

namespace marovane {

// The periodic timer that drives the step clock. Enabling a running timer
// and loading the period it already has leave the current period running.
class StepTimer {
public:
    virtual ~StepTimer() = default;
    virtual bool Enabled() const = 0;
    virtual void setEnabled(bool enabled) = 0;
    virtual int Interval() const = 0;  // milliseconds
    virtual void setInterval(int milliseconds) = 0;
};

}  // namespace marovane
