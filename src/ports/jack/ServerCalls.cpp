// SPDX-License-Identifier: GPL-3.0-or-later
#include "ServerCalls.h"

#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>
#include <utility>

namespace marovane {

struct ServerCalls::State {
    std::mutex mutex;
    std::condition_variable changed;
    std::deque<std::function<void()>> calls;
    int handles = 0;
    std::promise<void> endedPromise;
    std::shared_future<void> ended = endedPromise.get_future().share();
};

ServerCalls::ServerCalls() : state_(std::make_shared<State>()) {
    state_->handles = 1;
    // Detached: a call that the server holds must not hold up the end of the
    // program, which waits for this thread only as long as it chooses.
    std::thread([state = state_] { run(state); }).detach();
}

ServerCalls::ServerCalls(const ServerCalls& other) : state_(other.state_) {
    std::lock_guard lock(state_->mutex);
    ++state_->handles;
}

ServerCalls::~ServerCalls() {
    std::lock_guard lock(state_->mutex);
    --state_->handles;
    state_->changed.notify_all();
}

void ServerCalls::run(const std::shared_ptr<State>& state) {
    std::unique_lock lock(state->mutex);
    for (;;) {
        state->changed.wait(lock, [&] { return !state->calls.empty() || state->handles == 0; });
        if (state->calls.empty()) break;
        auto call = std::move(state->calls.front());
        state->calls.pop_front();
        lock.unlock();
        call();
        // What the call held (a client, say) goes on this thread too.
        call = nullptr;
        lock.lock();
    }
    lock.unlock();
    state->endedPromise.set_value();
}

void ServerCalls::post(std::function<void()> call) const {
    std::lock_guard lock(state_->mutex);
    state_->calls.push_back(std::move(call));
    state_->changed.notify_all();
}

bool ServerCalls::call(std::function<void()> call, std::chrono::milliseconds within) const {
    auto done = std::make_shared<std::promise<void>>();
    auto answered = done->get_future();
    post([call = std::move(call), done] {
        call();
        done->set_value();
    });
    return answered.wait_for(within) == std::future_status::ready;
}

std::shared_future<void> ServerCalls::ended() const { return state_->ended; }

}  // namespace marovane
