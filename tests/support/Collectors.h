// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ports/MidiBackend.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <mutex>
#include <vector>

namespace marovane::testing {

using Bytes = std::vector<unsigned char>;

// Collects what arrives on a back end's thread, for the test thread to wait
// on.
class Collector : public ReceiveSink {
public:
    void received(const unsigned char* bytes, std::size_t size) override {
        {
            std::lock_guard lock(mutex_);
            messages_.emplace_back(bytes, bytes + size);
        }
        arrived_.notify_all();
    }

    // Waits until `count` messages arrived or a generous time passed; returns
    // what arrived.
    std::vector<Bytes> waitFor(std::size_t count) {
        std::unique_lock lock(mutex_);
        arrived_.wait_for(lock, std::chrono::seconds(5), [&] { return messages_.size() >= count; });
        return messages_;
    }

    // Losses are the port components' to tell; tests of them use those.
    void overflowed() override {}

    std::vector<Bytes> messages() {
        std::lock_guard lock(mutex_);
        return messages_;
    }

    std::size_t count() {
        std::lock_guard lock(mutex_);
        return messages_.size();
    }

    // Drops all that arrived so far, as probes that were only there to
    // arrive.
    void forget() {
        std::lock_guard lock(mutex_);
        messages_.clear();
    }

private:
    std::mutex mutex_;
    std::condition_variable arrived_;
    std::vector<Bytes> messages_;
};

// Counts what a back end tells a connection's change sink.
class Changes : public ChangeSink {
public:
    void systemChanged() override { ++told_; }
    int told() const { return told_; }

private:
    std::atomic<int> told_{0};
};

// Distinct three-byte messages (polyphonic key pressure), numbered from
// `first`, so that a loss or a swap anywhere in a flood shows.
inline std::vector<Bytes> numberedMessages(std::size_t count, std::size_t first = 0) {
    std::vector<Bytes> messages;
    for (std::size_t i = first; i < first + count; ++i) {
        messages.push_back({static_cast<unsigned char>(0xA0 | ((i >> 14) & 0x0F)), static_cast<unsigned char>(i & 0x7F),
                            static_cast<unsigned char>((i >> 7) & 0x7F)});
    }
    return messages;
}

// Whether `heard` is exactly `played`; else where it first differs, rather
// than both floods in full.
inline ::testing::AssertionResult sameMessages(const std::vector<Bytes>& heard, const std::vector<Bytes>& played) {
    const auto [h, p] = std::mismatch(heard.begin(), heard.end(), played.begin(), played.end());
    if (h == heard.end() && p == played.end()) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "heard " << heard.size() << " of " << played.size()
                                         << " messages; the first difference is at " << (h - heard.begin());
}

}  // namespace marovane::testing
