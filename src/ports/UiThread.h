// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <functional>

namespace marovane {

// Runs work on the user-interface thread. post() may be called from any
// thread; the task runs later, on the UI thread, after the caller returned.
class UiThread {
public:
    virtual ~UiThread() = default;
    virtual void post(std::function<void()> task) = 0;
};

}  // namespace marovane
