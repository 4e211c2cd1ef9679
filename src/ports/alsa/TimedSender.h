// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ports/MidiBackend.h"

#include <alsa/asoundlib.h>

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <deque>

namespace marovane {

// Puts the output's events on the wire: a message with a due time is
// scheduled on the client's queue (real-time stamps, driven by the kernel's
// high-resolution timer) to leave at its due time plus a constant latency,
// which leaves room for a late UI thread; any other goes at once. None ever
// leaves before one sent earlier: while scheduled events wait, a message is
// scheduled no earlier than the last of them (the queue keeps events with
// equal times in the order sent). One whose time has passed goes at once.
//
// A running queue wakes the kernel in every millisecond, so it runs only
// while it has something to play: a message scheduled sets it going, and it
// stops itself two seconds after the last, by a stop event scheduled on it.
//
// For the UI thread. Never waits: the client's handle is non-blocking.
class TimedSender {
public:
    static constexpr std::chrono::milliseconds latency{10};

    TimedSender(snd_seq_t* seq, int queue);
    ~TimedSender();
    TimedSender(const TimedSender&) = delete;
    TimedSender& operator=(const TimedSender&) = delete;

    // libasound's result: negative when the event did not go (-EAGAIN when
    // the output pool, or a receiver's input pool, is full).
    int send(snd_seq_event_t& event, SendTime due);

    // Where a message goes on the queue's clock, given the queue's time
    // `queueNow` at the steady clock's `steadyNow`: at its due time plus the
    // latency, or now when it has none or that time has passed; never before
    // `notBefore`, the time of the last message still waiting.
    static std::int64_t queueTime(std::int64_t queueNow, std::chrono::steady_clock::time_point steadyNow, SendTime due,
                                  std::int64_t notBefore);

    // Sends at once, in the order sent, what still waits on the queue: for an
    // output that goes, whose subscription would leave the queue handing it
    // to nobody and whose client's closing would drop it, and the endings
    // of the notes it plays with it.
    void flush();

private:
    using Clock = std::chrono::steady_clock;

    // The queue's state into status_; `steadyNow` is when it was read.
    int readQueue(Clock::time_point& steadyNow);
    std::int64_t queueNow() const;
    bool running() const;
    int resume(Clock::time_point& steadyNow);
    void moveStop(std::int64_t at);
    std::size_t waitingEvents() const;
    void keepLastScheduled(std::size_t count);

    snd_seq_t* seq_;
    int queue_;
    snd_seq_queue_status_t* status_ = nullptr;
    // Queue time of the last event scheduled.
    std::int64_t lastNs_ = 0;
    // Whether the queue holds its stop event (while it runs).
    bool stopPending_ = false;
    // Copies of the last events scheduled, those still waiting among them.
    std::deque<snd_seq_event_t> scheduled_;
};

}  // namespace marovane
