// SPDX-License-Identifier: GPL-3.0-or-later
#include "TimedSender.h"

#include <algorithm>

namespace marovane {

namespace {

constexpr std::int64_t nsPerSecond = 1'000'000'000;
constexpr int firstReadings = 3;
// How long the queue runs on after the last event scheduled, at most: longer
// than the longest step, so that it runs on while a clock ticks.
constexpr std::int64_t idleNs = 2 * nsPerSecond;

std::int64_t nanoseconds(const snd_seq_real_time_t& time) {
    return static_cast<std::int64_t>(time.tv_sec) * nsPerSecond + time.tv_nsec;
}

std::chrono::nanoseconds sinceEpoch(std::chrono::steady_clock::time_point time) {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(time.time_since_epoch());
}

snd_seq_real_time_t realTime(std::int64_t ns) {
    return {static_cast<unsigned>(ns / nsPerSecond), static_cast<unsigned>(ns % nsPerSecond)};
}

}  // namespace

TimedSender::TimedSender(snd_seq_t* seq, int queue, std::chrono::nanoseconds tick)
    : seq_(seq), queue_(queue), early_(tick / 2) {
    snd_seq_queue_status_malloc(&status_);
}

TimedSender::~TimedSender() { snd_seq_queue_status_free(status_); }

int TimedSender::send(snd_seq_event_t& event, SendTime due) {
    int result = readQueue();
    if (result < 0) return result;
    const bool waiting = waitingEvents() > 0;
    if (!waiting && (!due || *due + latency - early_ <= Clock::now())) {
        snd_seq_ev_set_direct(&event);
        return snd_seq_event_output_direct(seq_, &event);
    }
    if (!running() && (result = resume()) < 0) return result;
    const auto steadyToQueue = steadyToQueue_.value_or(std::chrono::nanoseconds(queueNow()) - sinceEpoch(Clock::now()));
    const std::int64_t at = queueTime(queueNow(), steadyToQueue, due, waiting ? lastNs_ : 0, early_);
    const snd_seq_real_time_t stamp = realTime(at);
    snd_seq_ev_schedule_real(&event, queue_, 0, &stamp);
    result = snd_seq_event_output_direct(seq_, &event);
    if (result < 0) return result;
    lastNs_ = at;
    keepLastScheduled(waitingEvents());
    scheduled_.push_back(event);
    // Moved only once the last event comes within half the idle time of it.
    if (!stopPending_ || at + idleNs / 2 > stopNs_) moveStop(at + idleNs);
    return result;
}

// Never before the queue's now: a step whose time passed while the queue was
// being set going would fall before the queue's start, a time the queue
// cannot stamp (negative), and never leave.
std::int64_t TimedSender::queueTime(std::int64_t queueNow, std::chrono::nanoseconds steadyToQueue, SendTime due,
                                    std::int64_t notBefore, std::chrono::nanoseconds early) {
    std::int64_t at = queueNow;
    if (due) at = (sinceEpoch(*due + latency - early) + steadyToQueue).count();
    return std::max({at, queueNow, notBefore});
}

// Counted before the events are taken off the queue: one that leaves in
// between goes twice rather than never. What the sequencer cannot take is
// dropped.
void TimedSender::flush() {
    if (scheduled_.empty() || readQueue() < 0) return;
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

// While the queue runs, its time and the steady clock's keep the same distance
// (both are the kernel's monotonic clock). A reading gives a bound on it: the
// queue's time, read before the steady clock is, less the steady clock. The
// largest bound since the queue was set going is kept, so that a reading the
// machine held up never moves a message: only the quickest readings count.
int TimedSender::readQueue() {
    const int queried = snd_seq_get_queue_status(seq_, queue_, status_);
    const auto bound = std::chrono::nanoseconds(queueNow()) - sinceEpoch(Clock::now());
    if (queried < 0 || !running()) {
        steadyToQueue_.reset();
    } else {
        steadyToQueue_ = std::max(steadyToQueue_.value_or(bound), bound);
    }
    return queried;
}

std::int64_t TimedSender::queueNow() const { return nanoseconds(*snd_seq_queue_status_get_real_time(status_)); }

bool TimedSender::running() const { return snd_seq_queue_status_get_status(status_) != 0; }

// A running queue holds its stop beside the messages waiting.
std::size_t TimedSender::waitingEvents() const {
    const int events = snd_seq_queue_status_get_events(status_) - (running() && stopPending_ ? 1 : 0);
    return static_cast<std::size_t>(std::max(events, 0));
}

// Continued, not started: a start would drop what the queue holds, which a
// message scheduled just as the queue stopped itself would be. Read a few
// times, for a first bound close to the distance.
int TimedSender::resume() {
    stopPending_ = false;
    int result = snd_seq_continue_queue(seq_, queue_, nullptr);
    if (result >= 0) result = snd_seq_drain_output(seq_);
    for (int reading = 0; reading < firstReadings && result >= 0; ++reading) result = readQueue();
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
    stopNs_ = at;
}

}  // namespace marovane
