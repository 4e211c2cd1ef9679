// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "MidiBackend.h"
#include "UiWake.h"
#include "midi/ShortMessage.h"

#include <cstddef>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

namespace marovane {

// The waiting messages of an input, filled on a back end's thread and read
// on the UI thread. Bounded and allocated once: when full, new messages are
// dropped. An overflow, the queue's or the MIDI system's, is reported once
// until the queue is cleared (the port reopened), so that a flood cannot
// bury the user in reports. Storing a
// message takes a lock, and the wake it raises posts a task to the UI
// thread, which allocates: a real-time thread must never call received()
// itself, but hand its messages to a thread that may.
class InputQueue : public ReceiveSink {
public:
    // A JACK client can deliver some 2,700 messages per process cycle (about
    // a millisecond), faster than the UI thread passes them on; the queue
    // holds a burst of ten thousand with room to spare.
    static constexpr std::size_t capacity = 16384;

    enum class Overflow { None, Queue, System };

    // wake runs on the UI thread after messages (or an overflow) arrived.
    InputQueue(UiThread& ui, std::function<void()> wake);

    void received(const unsigned char* bytes, std::size_t size) override;
    void overflowed() override;

    // Whether received messages are kept (the port is started) or ignored.
    void setAccepting(bool accepting);
    std::size_t size() const;
    ShortMessage front() const;
    void popFront();
    void clear();
    // The overflow to report, once; clears the report.
    Overflow takeOverflow();

private:
    // With mutex_ held: whether the overflow is news to report.
    bool note(Overflow overflow);

    std::shared_ptr<UiWake> wake_;
    mutable std::mutex mutex_;
    // A ring: size_ messages from index first_ on.
    std::vector<ShortMessage> messages_;
    std::size_t first_ = 0;
    std::size_t size_ = 0;
    bool accepting_ = false;
    Overflow overflow_ = Overflow::None;
    bool overflowReported_ = false;
};

}  // namespace marovane
