// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "MidiBackend.h"
#include "UiThread.h"

#include <atomic>
#include <functional>
#include <memory>

namespace marovane {

// Runs a task on the UI thread after any thread raised it. Raises that come
// before the task ran are folded into that one run, so a burst costs one
// posting. Once the wake is destroyed, a task still posted does nothing.
//
// As a ChangeSink it hears a back end's news of a changed MIDI system.
class UiWake : public ChangeSink, public std::enable_shared_from_this<UiWake> {
public:
    static std::shared_ptr<UiWake> create(UiThread& ui, std::function<void()> task);

    // Any thread.
    void raise();
    void systemChanged() override { raise(); }

private:
    UiWake(UiThread& ui, std::function<void()> task) : ui_(ui), task_(std::move(task)) {}

    UiThread& ui_;
    std::function<void()> task_;
    std::atomic<bool> pending_{false};
};

}  // namespace marovane
