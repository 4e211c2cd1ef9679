// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <deque>
#include <functional>
#include <memory>

namespace marovane {

// The engine's handlers (the input's drain, the clock's tick, the mode
// switches) run one at a time. A failing send inside one shows a modal
// message box, whose nested event loop would otherwise start the drain or a
// tick in the middle of it; such a handler waits instead and runs after the
// running one has returned, once however often it was asked for meanwhile.
class EngineTurns {
public:
    // The handler, to run in turn with the others wrapped here.
    std::function<void()> inTurn(std::function<void()> handler);

private:
    struct Handler {
        std::function<void()> run;
        bool waiting = false;
    };

    void run(const std::shared_ptr<Handler>& handler);

    // Stays set when a handler ends by an exception: the program ends then,
    // and nothing more may run.
    bool running_ = false;
    std::deque<std::shared_ptr<Handler>> waiting_;
};

}  // namespace marovane
