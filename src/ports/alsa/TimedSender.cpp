#include "ports/alsa/TimedSender.h"

#include <algorithm>

namespace marovane {

namespace {

constexpr std::int64_t kNsPerSecond = 1'000'000'000;
constexpr auto kReadWithin = std::chrono::microseconds(200);
constexpr int kReadAttempts = 3;

std::int64_t nanoseconds(const snd_seq_real_time_t& time) {
    return static_cast<std::int64_t>(time.tv_sec) * kNsPerSecond + time.tv_nsec;
}

snd_seq_real_time_t realTime(std::int64_t ns) {
    return {static_cast<unsigned>(ns / kNsPerSecond), static_cast<unsigned>(ns % kNsPerSecond)};
}

}  // namespace

TimedSender::TimedSender(snd_seq_t* seq, int queue) : seq_(seq), queue_(queue) {
    snd_seq_queue_status_malloc(&status_);
}

TimedSender::~TimedSender() { snd_seq_queue_status_free(status_); }

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
        if (queried < 0 || after - before < kReadWithin || attempt == kReadAttempts) return queried;
    }
}

int TimedSender::send(snd_seq_event_t& event, OutputConnection::SendTime due) {
    Clock::time_point steadyNow;
    const int queried = readQueue(steadyNow);
    if (queried < 0) return queried;
    const std::int64_t now = nanoseconds(*snd_seq_queue_status_get_real_time(status_));
    const bool waiting = snd_seq_queue_status_get_events(status_) > 0;

    std::int64_t at = now;
    if (due) at += std::chrono::duration_cast<std::chrono::nanoseconds>(*due + latency - steadyNow).count();
    if (waiting) at = std::max(at, lastNs_);
    if (!waiting && at <= now) {
        snd_seq_ev_set_direct(&event);
        return snd_seq_event_output_direct(seq_, &event);
    }
    const snd_seq_real_time_t stamp = realTime(at);
    snd_seq_ev_schedule_real(&event, queue_, 0, &stamp);
    const int sent = snd_seq_event_output_direct(seq_, &event);
    if (sent >= 0) lastNs_ = at;
    return sent;
}

}  // namespace marovane
