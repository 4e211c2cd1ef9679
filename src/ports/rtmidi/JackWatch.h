#pragma once

#include "ports/MidiBackend.h"

#include <jack/jack.h>

#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace marovane {

// A JACK client of the back end's own, without ports, that learns what RtMidi
// does not pass on: RtMidi 5 sets no shutdown callback and no registration
// callbacks, so without this a server that goes away, or a device whose
// client quits, would go unnoticed. It also tells the server's process
// cycles apart, by which the outputs pace themselves (see SendPace).
//
// Its callbacks run on JACK's threads and only tell the change sinks, which
// hand the news to the UI thread; everything else is called from the UI
// thread.
class JackWatch {
public:
    // Null when no JACK server accepts the client.
    static std::shared_ptr<JackWatch> open();
    ~JackWatch();
    JackWatch(const JackWatch&) = delete;
    JackWatch& operator=(const JackWatch&) = delete;

    void add(ChangeSink& sink);
    void remove(ChangeSink& sink);

    bool serverGone() const { return gone_; }
    // Why a connection to `device` (null for the program's own virtual port)
    // no longer works. The server's loss goes to the first to ask with its
    // code, to the others with code 0.
    std::optional<PortError> failure(const std::string* device, const char* direction);

    // The number of the server's current process cycle.
    std::uint64_t cycles() const;
    // How many short messages may be handed to one RtMidi output in one cycle.
    std::size_t sendsPerCycle() const { return sendsPerCycle_; }
    // Waits until the cycle count has moved past `cycle`; false when the
    // server went away or no cycle came for a long time.
    bool waitForCycleAfter(std::uint64_t cycle) const;

private:
    explicit JackWatch(jack_client_t* client);
    void tellSinks();

    jack_client_t* client_;
    std::size_t sendsPerCycle_ = 1;
    std::atomic<bool> gone_{false};
    std::atomic<bool> lossTold_{false};
    std::mutex mutex_;
    std::vector<ChangeSink*> sinks_;
};

// Keeps what one RtMidi output is handed within a safe share of what a JACK
// cycle can carry. RtMidi's JACK output moves all it was handed into the
// port's buffer at the next cycle and silently drops what does not fit (some
// 2,700 messages); a flood of thru would lose messages.
class SendPace {
public:
    explicit SendPace(const JackWatch& watch) : watch_(watch) {}
    // Waits, when needed, until the message may go; an error when it cannot
    // because the server is gone or stands still (ErrorNotDone once a stall
    // has been reported).
    PortError beforeSend();

private:
    using Clock = std::chrono::steady_clock;

    bool waitForNextCycle();

    const JackWatch& watch_;
    std::uint64_t cycle_ = 0;
    std::size_t sent_ = 0;
    Clock::time_point movedAt_ = Clock::now();  // when cycle_ was last seen to change
    bool stallTold_ = false;
};

}  // namespace marovane
