// SPDX-License-Identifier: GPL-3.0-or-later
#include "UiWake.h"

namespace marovane {

std::shared_ptr<UiWake> UiWake::create(UiThread& ui, std::function<void()> task) {
    return std::shared_ptr<UiWake>(new UiWake(ui, std::move(task)));
}

void UiWake::raise() {
    if (pending_.exchange(true)) return;
    ui_.post([weak = weak_from_this()] {
        if (auto wake = weak.lock()) {
            // Cleared first: what is raised while the task runs posts anew.
            wake->pending_ = false;
            wake->task_();
        }
    });
}

}  // namespace marovane
