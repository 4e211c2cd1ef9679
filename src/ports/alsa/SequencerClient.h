// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "midi/PortCodes.h"

#include <alsa/asoundlib.h>

#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace marovane {

// The program's one client of the ALSA sequencer, "Marovane", with its two
// ports and its queue. The ports live as long as the client, so that the
// subscriptions other programs made to them outlive any port component's
// closing. The handle is non-blocking: nothing done with it waits.
//
// Listing, finding and subscribing are for the UI thread; the reader thread
// only reads events (libasound keeps reading and writing apart).
class SequencerClient {
public:
    static constexpr char outPortName[] = "Marovane Out";
    // Ports others read from (sources), and ports others write to.
    static constexpr unsigned readable = SND_SEQ_PORT_CAP_READ | SND_SEQ_PORT_CAP_SUBS_READ;
    static constexpr unsigned writable = SND_SEQ_PORT_CAP_WRITE | SND_SEQ_PORT_CAP_SUBS_WRITE;

    // Null, with `error` set, when the sequencer cannot be opened.
    static std::unique_ptr<SequencerClient> open(PortError& error);
    ~SequencerClient();
    SequencerClient(const SequencerClient&) = delete;
    SequencerClient& operator=(const SequencerClient&) = delete;

    snd_seq_t* handle() const { return seq_; }
    snd_seq_addr_t inPort() const { return {static_cast<unsigned char>(id_), static_cast<unsigned char>(in_)}; }
    snd_seq_addr_t outPort() const { return {static_cast<unsigned char>(id_), static_cast<unsigned char>(out_)}; }
    int queue() const { return queue_; }
    // How far the queue's time moves at each beat of its timer: a scheduled
    // event leaves at the first beat at or after its time.
    std::chrono::nanoseconds tick() const { return tick_; }

    // The rate asked of the queue's timer: the finest the sequencer grants
    // (160 microseconds a beat on the high-resolution timer).
    static constexpr unsigned timerHz = 6250;

    struct Port {
        std::string name;  // "client name:port name"
        snd_seq_addr_t address;
        // The address as "client:port" in numbers, as aconnect writes it.
        std::string id() const;
    };
    // Other clients' ports that have all of `caps` (the system's own, and
    // those that ask not to be exported, are left out), in the sequencer's
    // order.
    std::vector<Port> ports(unsigned caps) const;
    // The port with that id while it still has that name: a client's number
    // passes to the next client once it has gone.
    std::optional<snd_seq_addr_t> find(const std::string& id, const std::string& name, unsigned caps) const;

private:
    explicit SequencerClient(snd_seq_t* seq) : seq_(seq) {}
    // Throws a PortError.
    void setUp();
    void setUpTimer();

    snd_seq_t* seq_;
    int id_ = -1;
    int in_ = -1;
    int out_ = -1;
    int queue_ = -1;
    std::chrono::nanoseconds tick_{std::chrono::milliseconds(1)};
};

// A subscription the program made, from `sender` to `dest`, removed when it
// goes. One that was there before (made by another program) is left alone.
class Subscription {
public:
    // Throws a PortError (ErrorOpenFailed) when the sequencer refuses.
    Subscription(snd_seq_t* seq, snd_seq_addr_t sender, snd_seq_addr_t dest);
    ~Subscription();
    Subscription(const Subscription&) = delete;
    Subscription& operator=(const Subscription&) = delete;

private:
    snd_seq_t* seq_;
    snd_seq_port_subscribe_t* subscribe_ = nullptr;
    bool made_ = false;
};

}  // namespace marovane
