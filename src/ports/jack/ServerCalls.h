// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <chrono>
#include <functional>
#include <future>
#include <memory>

namespace marovane {

// A thread of the back end's own for the libjack calls that wait for the
// server (opening and closing a client, connecting and disconnecting): it
// runs them one at a time, in the order posted. A server that stands still
// (hung, or stopped by a debugger) holds one of them, and the rest after it,
// until it runs again; whoever posted goes on meanwhile.
//
// Every copy is a handle on the same thread. The thread ends once every
// handle has gone and every call posted has run; a thread held by a server
// that never runs again is left behind when the program ends.
class ServerCalls {
public:
    ServerCalls();
    ServerCalls(const ServerCalls& other);
    ServerCalls& operator=(const ServerCalls&) = delete;
    ~ServerCalls();

    void post(std::function<void()> call) const;
    // Posts the call and waits for it at most `within`; true when it has
    // run. Otherwise it still runs, later.
    bool call(std::function<void()> call, std::chrono::milliseconds within) const;
    // Ready once the thread has ended.
    std::shared_future<void> ended() const;

private:
    struct State;
    static void run(const std::shared_ptr<State>& state);

    std::shared_ptr<State> state_;
};

}  // namespace marovane
