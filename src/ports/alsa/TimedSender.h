// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ports/MidiBackend.h"

#include <alsa/asoundlib.h>

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>

namespace marovane {

// Puts the output's events on the wire: a message with a due time is
// scheduled on the client's queue (real-time stamps, driven by the kernel's
// high-resolution timer) to leave at its due time plus a constant latency,
// which leaves room for a late UI thread; any other goes at once. None ever
// leaves before one sent earlier: while scheduled events wait, a message is
// scheduled no earlier than the last of them (the queue keeps events with
// equal times in the order sent). One whose time has passed goes at once.
//
// The queue hands an event on at the first beat of its timer at or after the
// event's time, so a message with a due time is aimed half a beat early:
// it then leaves within half a beat of its time, either way, not up to a
// whole beat late.
//
// A running queue wakes the kernel at every beat, so it runs only while it
// has something to play: a message scheduled sets it going, and it stops
// itself one to two seconds after the last, by a stop event scheduled on it.
//
// For the UI thread. Never waits: the client's handle is non-blocking.
class TimedSender {
public:
    static constexpr std::chrono::milliseconds latency{10};

    // `tick`: how far the queue's time moves at each beat of its timer.
    TimedSender(snd_seq_t* seq, int queue, std::chrono::nanoseconds tick);
    ~TimedSender();
    TimedSender(const TimedSender&) = delete;
    TimedSender& operator=(const TimedSender&) = delete;

    // libasound's result: negative when the event did not go (-EAGAIN when
    // the output pool, or a receiver's input pool, is full).
    int send(snd_seq_event_t& event, SendTime due);

    // Where a message goes on the queue's clock, given the queue's time now
    // and how far it is ahead of the steady clock: at its due time plus the
    // latency, less `early`, or now when it has none or that time has passed;
    // never before `notBefore`, the time of the last message still waiting.
    static std::int64_t queueTime(std::int64_t queueNow, std::chrono::nanoseconds steadyToQueue, SendTime due,
                                  std::int64_t notBefore, std::chrono::nanoseconds early);

    // Sends at once, in the order sent, what still waits on the queue: for an
    // output that goes, whose subscription would leave the queue handing it
    // to nobody and whose client's closing would drop it, and the endings
    // of the notes it plays with it.
    void flush();

private:
    using Clock = std::chrono::steady_clock;

    // The queue's state into status_.
    int readQueue();
    std::int64_t queueNow() const;
    bool running() const;
    int resume();
    void moveStop(std::int64_t at);
    std::size_t waitingEvents() const;
    void keepLastScheduled(std::size_t count);

    snd_seq_t* seq_;
    int queue_;
    std::chrono::nanoseconds early_;  // half a beat
    snd_seq_queue_status_t* status_ = nullptr;
    // Queue time of the last event scheduled.
    std::int64_t lastNs_ = 0;
    // How far the queue's time is ahead of the steady clock, while it runs.
    std::optional<std::chrono::nanoseconds> steadyToQueue_;
    // Whether the queue holds its stop event (while it runs), and its time.
    bool stopPending_ = false;
    std::int64_t stopNs_ = 0;
    // Copies of the last events scheduled, those still waiting among them.
    std::deque<snd_seq_event_t> scheduled_;
};

}  // namespace marovane
