// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ports/MidiBackend.h"

#include <alsa/asoundlib.h>

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace marovane::testing {

// The devices of a listing that have that name, in the order listed.
std::vector<MidiDevice> devicesNamed(const std::vector<MidiDevice>& devices, const std::string& name);

// Another program on the ALSA sequencer, made with libasound directly and
// its own MIDI coder: a client with a keyboard port "keys" that plays to its
// subscribers and a synthesiser port "synth" that notes what it hears, each
// message stamped by the client's own queue on arrival (real time, kernel
// high-resolution timer).
class SequencerPeer {
public:
    using Bytes = std::vector<unsigned char>;
    using Clock = std::chrono::steady_clock;

    struct Heard {
        Bytes bytes;
        Clock::time_point at;  // the queue's stamp, on the steady clock
    };

    // Throws std::runtime_error when the sequencer refuses. With `stampHz`,
    // its queue beats that often, which makes its stamps steadier.
    explicit SequencerPeer(const std::string& client, unsigned stampHz = 0);
    ~SequencerPeer();
    SequencerPeer(const SequencerPeer&) = delete;
    SequencerPeer& operator=(const SequencerPeer&) = delete;

    // Listed names, "client:port".
    std::string keys() const { return client_ + ":keys"; }
    std::string synth() const { return client_ + ":synth"; }

    // Plays each message from "keys" as soon as the sequencer takes it. With
    // `ahead`, keeps no more than that many played and not yet heard back at
    // "synth": the sequencer drops every event waiting for a client whose
    // input pool overflowed, so a sender that runs further ahead of its
    // receivers than their pools hold loses messages, whatever they do.
    // False when "synth" heard nothing more for ten seconds while it waited.
    bool play(const std::vector<Bytes>& messages, std::size_t ahead = 0);
    // Plays events as they are, such as those no one message makes.
    void playEvents(std::vector<snd_seq_event_t> events);
    // Plays each message once, as fast as it goes: what the sequencer refuses
    // is dropped.
    void flood(const std::vector<Bytes>& messages);
    // Deletes both ports; the client stays.
    void removePorts();
    // Another port, that neither plays nor listens.
    void addPort(const std::string& name, unsigned caps);

    // Waits until `count` messages were heard or ten seconds passed; returns
    // all heard so far.
    std::vector<Heard> waitFor(std::size_t count);
    std::vector<Bytes> bytesHeard(std::size_t count);
    std::size_t heardCount();
    void forget();

    // Subscriptions between any two ports, as `aconnect` makes them.
    void connect(const std::string& sender, const std::string& dest);
    bool connected(const std::string& sender, const std::string& dest);

    // Whether the queue of that name (any client's) runs.
    bool queueRuns(const std::string& name);
    // Its timer: the global timer's device number and the rate asked of it.
    struct QueueTimer {
        int device;
        unsigned hz;
    };
    QueueTimer queueTimer(const std::string& name);

private:
    // The event that plays the message from "keys".
    snd_seq_event_t eventFor(const Bytes& message);
    // Sends it from "keys" once the sequencer has room.
    void send(snd_seq_event_t& event);
    snd_seq_addr_t address(const std::string& name);
    // Makes it, or says whether it is there.
    bool subscription(const std::string& sender, const std::string& dest, bool make);
    void listen();
    Clock::duration steadyOffset();

    const std::string client_;
    snd_seq_t* seq_ = nullptr;
    int keys_ = -1;
    int synth_ = -1;
    int queue_ = -1;
    snd_midi_event_t* coder_ = nullptr;  // for playing
    int stopFd_ = -1;
    std::mutex mutex_;
    std::condition_variable arrived_;
    std::vector<Heard> heard_;
    std::thread listener_;
};

}  // namespace marovane::testing
