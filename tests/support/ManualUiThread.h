// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ports/UiThread.h"

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>

namespace marovane::testing {

// A UI thread that the test drives itself: posted tasks wait until the test
// runs them, so nothing happens behind a test's back.
class ManualUiThread : public UiThread {
public:
    void post(std::function<void()> task) override {
        {
            std::lock_guard lock(mutex_);
            tasks_.push_back(std::move(task));
        }
        posted_.notify_all();
    }

    // Runs every task posted so far (and those they post); returns how many.
    int runPending() {
        int ran = 0;
        while (auto task = take()) {
            task();
            ++ran;
        }
        return ran;
    }

    // Waits until a task has been posted or the timeout passed.
    bool waitForTask(std::chrono::milliseconds timeout) {
        std::unique_lock lock(mutex_);
        return posted_.wait_for(lock, timeout, [this] { return !tasks_.empty(); });
    }

private:
    std::function<void()> take() {
        std::lock_guard lock(mutex_);
        if (tasks_.empty()) return {};
        auto task = std::move(tasks_.front());
        tasks_.pop_front();
        return task;
    }

    std::mutex mutex_;
    std::condition_variable posted_;
    std::deque<std::function<void()>> tasks_;
};

}  // namespace marovane::testing
