// SPDX-License-Identifier: GPL-3.0-or-later
#include "InputQueue.h"

namespace marovane {

InputQueue::InputQueue(UiThread& ui, std::function<void()> wake)
    : wake_(UiWake::create(ui, std::move(wake))), messages_(capacity) {}

void InputQueue::received(const unsigned char* bytes, std::size_t size) {
    if (size == 0) return;
    {
        std::lock_guard lock(mutex_);
        if (!accepting_) return;
        if (size_ == capacity) {
            if (overflowReported_) return;
            overflowed_ = overflowReported_ = true;
        } else {
            messages_[(first_ + size_) % capacity] = fromWire(bytes, size);
            ++size_;
        }
    }
    // One wake-up per batch: whatever arrives before the UI thread has run it
    // is handled in the same run.
    wake_->raise();
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

bool InputQueue::takeOverflow() {
    std::lock_guard lock(mutex_);
    const bool overflowed = overflowed_;
    overflowed_ = false;
    return overflowed;
}

}  // namespace marovane
