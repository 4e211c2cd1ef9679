// SPDX-License-Identifier: GPL-3.0-or-later
#include "TimedSender.h"

#include <algorithm>

namespace marovane {

namespace {

constexpr std::int64_t nsPerSecond = 1'000'000'000;
constexpr auto readWithin = std::chrono::microseconds(200);
constexpr int readAttempts = 3;
// How long the queue runs on after the last event scheduled: longer than
// the longest step, so that it runs on while a clock ticks.
constexpr std::int64_t idleNs = 2 * nsPerSecond;

std::int64_t nanoseconds(const snd_seq_real_time_t& time) {
    return static_cast<std::int64_t>(time.tv_sec) * nsPerSecond + time.tv_nsec;
}

snd_seq_real_time_t realTime(std::int64_t ns) {
    return {static_cast<unsigned>(ns / nsPerSecond), static_cast<unsigned>(ns % nsPerSecond)};
}

}  // namespace

TimedSender::TimedSender(snd_seq_t* seq, int queue) : seq_(seq), queue_(queue) {
    snd_seq_queue_status_malloc(&status_);
}

TimedSender::~TimedSender() { snd_seq_queue_status_free(status_); }

int TimedSender::send(snd_seq_event_t& event, SendTime due) {
    Clock::time_point steadyNow;
    int result = readQueue(steadyNow);
    if (result < 0) return result;
    const bool waiting = waitingEvents() > 0;
    const auto aimed = [&] { return queueTime(queueNow(), steadyNow, due, waiting ? lastNs_ : 0); };
    std::int64_t at = aimed();
    if (!waiting && at <= queueNow()) {
        snd_seq_ev_set_direct(&event);
        return snd_seq_event_output_direct(seq_, &event);
    }
    // A stopped queue's time stands still, so the time is aimed again once
    // it runs.
    if (!running()) {
        if ((result = resume(steadyNow)) < 0) return result;
        at = aimed();
    }
    const snd_seq_real_time_t stamp = realTime(at);
    snd_seq_ev_schedule_real(&event, queue_, 0, &stamp);
    result = snd_seq_event_output_direct(seq_, &event);
    if (result < 0) return result;
    lastNs_ = at;
    keepLastScheduled(waitingEvents());
    scheduled_.push_back(event);
    moveStop(at + idleNs);
    return result;
}

// Never before the queue's now: a step whose time passed while the queue was
// being set going would fall before the queue's start, a time the queue
// cannot stamp (negative), and never leave.
std::int64_t TimedSender::queueTime(std::int64_t queueNow, Clock::time_point steadyNow, SendTime due,
                                    std::int64_t notBefore) {
    std::int64_t at = queueNow;
    if (due) at += std::chrono::duration_cast<std::chrono::nanoseconds>(*due + latency - steadyNow).count();
    return std::max({at, queueNow, notBefore});
}

// Counted before the events are taken off the queue: one that leaves in
// between goes twice rather than never. What the sequencer cannot take is
// dropped.
void TimedSender::flush() {
    Clock::time_point steadyNow;
    if (scheduled_.empty() || readQueue(steadyNow) < 0) return;
    keepLastScheduled(waitingEvents());
    if (scheduled_.empty()) return;
    snd_seq_remove_events_t* remove;
    snd_seq_remove_events_alloca(&remove);
    snd_seq_remove_events_set_queue(remove, queue_);
    snd_seq_remove_events_set_condition(remove, SND_SEQ_REMOVE_OUTPUT);
    snd_seq_remove_events(seq_, remove);
    for (snd_seq_event_t& waiting : scheduled_) {
        snd_seq_ev_set_direct(&waiting);
        snd_seq_event_output_direct(seq_, &waiting);
    }
    scheduled_.clear();
    moveStop(queueNow() + idleNs);  // the old stop went with the rest
}

// The queue hands its events on in the order of their times, which is the
// order they were scheduled in, so those still on it are the last ones.
void TimedSender::keepLastScheduled(std::size_t count) {
    while (scheduled_.size() > count) scheduled_.pop_front();
}

// The queue's time and the steady clock's at one moment map the one onto the
// other; taken at every send, so that they cannot drift apart. The queue is
// read between two readings of the steady clock, and read again when the
// thread was held up in between.
int TimedSender::readQueue(Clock::time_point& steadyNow) {
    for (int attempt = 1;; ++attempt) {
        const auto before = Clock::now();
        const int queried = snd_seq_get_queue_status(seq_, queue_, status_);
        const auto after = Clock::now();
        steadyNow = before + (after - before) / 2;
        if (queried < 0 || after - before < readWithin || attempt == readAttempts) return queried;
    }
}

std::int64_t TimedSender::queueNow() const { return nanoseconds(*snd_seq_queue_status_get_real_time(status_)); }

bool TimedSender::running() const { return snd_seq_queue_status_get_status(status_) != 0; }

// A running queue holds its stop beside the messages waiting.
std::size_t TimedSender::waitingEvents() const {
    const int events = snd_seq_queue_status_get_events(status_) - (running() && stopPending_ ? 1 : 0);
    return static_cast<std::size_t>(std::max(events, 0));
}

// Continued, not started: a start would drop what the queue holds, which a
// message scheduled just as the queue stopped itself would be.
int TimedSender::resume(Clock::time_point& steadyNow) {
    stopPending_ = false;
    int result = snd_seq_continue_queue(seq_, queue_, nullptr);
    if (result >= 0) result = snd_seq_drain_output(seq_);
    if (result >= 0) result = readQueue(steadyNow);
    return result;
}

void TimedSender::moveStop(std::int64_t at) {
    const snd_seq_addr_t timer{SND_SEQ_CLIENT_SYSTEM, SND_SEQ_PORT_SYSTEM_TIMER};
    snd_seq_remove_events_t* remove;
    snd_seq_remove_events_alloca(&remove);
    snd_seq_remove_events_set_queue(remove, queue_);
    snd_seq_remove_events_set_condition(remove, SND_SEQ_REMOVE_OUTPUT | SND_SEQ_REMOVE_DEST);
    snd_seq_remove_events_set_dest(remove, &timer);
    snd_seq_remove_events(seq_, remove);

    snd_seq_event_t stop;
    snd_seq_ev_clear(&stop);
    snd_seq_ev_set_queue_stop(&stop, queue_);
    const snd_seq_real_time_t stamp = realTime(at);
    snd_seq_ev_schedule_real(&stop, queue_, 0, &stamp);
    stopPending_ = snd_seq_event_output_direct(seq_, &stop) >= 0;
}

}  // namespace marovane
