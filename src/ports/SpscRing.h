// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>

namespace marovane {

// A bounded queue between exactly one producing and one consuming thread,
// without locks or allocation, so that a real-time thread can be either
// end. The counts only grow (64 bits do not wrap in practice); a slot is
// the count modulo the capacity.
//
// Large: allocate it once, outside the real-time thread.
template <class T, std::size_t Capacity>
class SpscRing {
    static_assert(Capacity > 0 && (Capacity & (Capacity - 1)) == 0, "the capacity is a power of two");

public:
    static constexpr std::size_t capacity = Capacity;

    // Producer. False, and nothing stored, when the ring is full.
    bool push(const T& item) {
        const std::uint64_t given = given_.load(std::memory_order_relaxed);
        if (given - taken_.load(std::memory_order_acquire) == Capacity) return false;
        slots_[given % Capacity] = item;
        given_.store(given + 1, std::memory_order_release);
        return true;
    }

    // Consumer: the oldest item, or null when the ring is empty. It stays in
    // place until pop().
    const T* front() const {
        const std::uint64_t taken = taken_.load(std::memory_order_relaxed);
        if (taken == given_.load(std::memory_order_acquire)) return nullptr;
        return &slots_[taken % Capacity];
    }
    void pop() { taken_.store(taken_.load(std::memory_order_relaxed) + 1, std::memory_order_release); }

    // Either side: how many items were ever pushed and taken.
    std::uint64_t given() const { return given_.load(std::memory_order_acquire); }
    std::uint64_t taken() const { return taken_.load(std::memory_order_acquire); }
    std::size_t size() const { return static_cast<std::size_t>(given() - taken()); }

private:
    // Apart, so that the two threads do not share a cache line.
    alignas(64) std::atomic<std::uint64_t> given_{0};
    alignas(64) std::atomic<std::uint64_t> taken_{0};
    std::array<T, Capacity> slots_{};
};

}  // namespace marovane
