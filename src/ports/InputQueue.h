#pragma once

#include "MidiBackend.h"
#include "ShortMessage.h"
#include "UiThread.h"

#include <cstddef>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>

namespace marovane {

// The waiting messages of an input, filled on the back end's thread and read
// on the UI thread. Bounded: when full, new messages are dropped, and the
// overflow is reported once until the queue is cleared (the port reopened),
// so that a flood cannot bury the user in reports.
class InputQueue : public ReceiveSink, public std::enable_shared_from_this<InputQueue> {
public:
    static constexpr std::size_t capacity = 4096;

    // wake runs on the UI thread after messages (or an overflow) arrived.
    InputQueue(UiThread& ui, std::function<void()> wake);

    void received(const unsigned char* bytes, std::size_t size) override;

    // Whether received messages are kept (the port is started) or ignored.
    void setAccepting(bool accepting);
    std::size_t size() const;
    ShortMessage front() const;
    void popFront();
    void clear();
    // True once for each overflow; clears the report.
    bool takeOverflow();

private:
    UiThread& ui_;
    std::function<void()> wake_;
    mutable std::mutex mutex_;
    std::deque<ShortMessage> messages_;
    bool accepting_ = false;
    bool wakePending_ = false;
    bool overflowed_ = false;
    bool overflowReported_ = false;
};

}  // namespace marovane
