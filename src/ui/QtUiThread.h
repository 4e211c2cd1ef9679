// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ports/UiThread.h"

namespace marovane {

// Posts work to the Qt event loop of the application's main thread.
class QtUiThread : public UiThread {
public:
    void post(std::function<void()> task) override;
};

}  // namespace marovane
