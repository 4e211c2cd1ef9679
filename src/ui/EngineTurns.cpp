// SPDX-License-Identifier: GPL-3.0-or-later
#include "EngineTurns.h"

#include <utility>

namespace marovane {

std::function<void()> EngineTurns::inTurn(std::function<void()> handler) {
    auto wrapped = std::make_shared<Handler>(Handler{std::move(handler)});
    return [this, wrapped] { run(wrapped); };
}

void EngineTurns::run(const std::shared_ptr<Handler>& handler) {
    if (running_) {
        if (!std::exchange(handler->waiting, true)) waiting_.push_back(handler);
        return;
    }
    running_ = true;
    handler->run();
    // In the order they were asked for; what is asked for meanwhile queues up.
    while (!waiting_.empty()) {
        const auto next = std::move(waiting_.front());
        waiting_.pop_front();
        next->waiting = false;
        next->run();
    }
    running_ = false;
}

}  // namespace marovane
