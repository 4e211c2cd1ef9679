#include "InputQueue.h"

namespace marovane {

InputQueue::InputQueue(UiThread& ui, std::function<void()> wake) : ui_(ui), wake_(std::move(wake)) {}

void InputQueue::received(const unsigned char* bytes, std::size_t size) {
    if (size == 0) return;
    {
        std::lock_guard lock(mutex_);
        if (!accepting_) return;
        if (messages_.size() >= capacity) {
            if (overflowReported_) return;
            overflowed_ = overflowReported_ = true;
        } else {
            messages_.push_back(fromWire(bytes, size));
        }
        if (wakePending_) return;
        wakePending_ = true;
    }
    // One wake-up per batch: whatever arrives before the UI thread has run it
    // is handled in the same run.
    ui_.post([weak = weak_from_this()] {
        if (auto queue = weak.lock()) {
            {
                std::lock_guard lock(queue->mutex_);
                queue->wakePending_ = false;
            }
            queue->wake_();
        }
    });
}

void InputQueue::setAccepting(bool accepting) {
    std::lock_guard lock(mutex_);
    accepting_ = accepting;
}

std::size_t InputQueue::size() const {
    std::lock_guard lock(mutex_);
    return messages_.size();
}

ShortMessage InputQueue::front() const {
    std::lock_guard lock(mutex_);
    return messages_.empty() ? ShortMessage{} : messages_.front();
}

void InputQueue::popFront() {
    std::lock_guard lock(mutex_);
    if (messages_.empty()) return;
    messages_.pop_front();
}

void InputQueue::clear() {
    std::lock_guard lock(mutex_);
    messages_.clear();
    overflowReported_ = false;
}

bool InputQueue::takeOverflow() {
    std::lock_guard lock(mutex_);
    const bool overflowed = overflowed_;
    overflowed_ = false;
    return overflowed;
}

}  // namespace marovane
