// SPDX-License-Identifier: GPL-3.0-or-later
#include "InputQueue.h"

#include <utility>

namespace marovane {

InputQueue::InputQueue(UiThread& ui, std::function<void()> wake)
    : wake_(UiWake::create(ui, std::move(wake))), messages_(capacity) {}

void InputQueue::received(const unsigned char* bytes, std::size_t size) {
    if (size == 0) return;
    {
        std::lock_guard lock(mutex_);
        if (!accepting_) return;
        if (size_ == capacity) {
            if (!note(Overflow::Queue)) return;
        } else {
            messages_[(first_ + size_) % capacity] = fromWire(bytes, size);
            ++size_;
        }
    }
    // One wake-up per batch: whatever arrives before the UI thread has run it
    // is handled in the same run.
    wake_->raise();
}

// Lost messages of a port not started would have been ignored anyway.
void InputQueue::overflowed() {
    {
        std::lock_guard lock(mutex_);
        if (!accepting_ || !note(Overflow::System)) return;
    }
    wake_->raise();
}

bool InputQueue::note(Overflow overflow) {
    if (overflowReported_) return false;
    overflow_ = overflow;
    overflowReported_ = true;
    return true;
}

void InputQueue::setAccepting(bool accepting) {
    std::lock_guard lock(mutex_);
    accepting_ = accepting;
}

std::size_t InputQueue::size() const {
    std::lock_guard lock(mutex_);
    return size_;
}

ShortMessage InputQueue::front() const {
    std::lock_guard lock(mutex_);
    return size_ == 0 ? ShortMessage{} : messages_[first_];
}

void InputQueue::popFront() {
    std::lock_guard lock(mutex_);
    if (size_ == 0) return;
    first_ = (first_ + 1) % capacity;
    --size_;
}

void InputQueue::clear() {
    std::lock_guard lock(mutex_);
    first_ = size_ = 0;
    overflowReported_ = false;
}

InputQueue::Overflow InputQueue::takeOverflow() {
    std::lock_guard lock(mutex_);
    return std::exchange(overflow_, Overflow::None);
}

}  // namespace marovane
