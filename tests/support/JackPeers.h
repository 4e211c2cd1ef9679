#pragma once

#include "ports/MidiBackend.h"

#include <RtMidi.h>
#include <gtest/gtest.h>
#include <jack/jack.h>
#include <jack/midiport.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace marovane::testing {

using Bytes = std::vector<unsigned char>;

// Collects what arrives on RtMidi's thread, for the test thread to wait on.
class Collector : public ReceiveSink {
public:
    void received(const unsigned char* bytes, std::size_t size) override {
        {
            std::lock_guard lock(mutex_);
            messages_.emplace_back(bytes, bytes + size);
        }
        arrived_.notify_all();
    }

    // Waits until `count` messages arrived or a generous time passed; returns
    // what arrived.
    std::vector<Bytes> waitFor(std::size_t count) {
        std::unique_lock lock(mutex_);
        arrived_.wait_for(lock, std::chrono::seconds(5), [&] { return messages_.size() >= count; });
        return messages_;
    }

    std::vector<Bytes> messages() {
        std::lock_guard lock(mutex_);
        return messages_;
    }

    std::size_t count() {
        std::lock_guard lock(mutex_);
        return messages_.size();
    }

    // Lets RtMidi's input handling call the collector directly, as a peer would.
    static void deliver(double, std::vector<unsigned char>* message, void* self) {
        static_cast<Collector*>(self)->received(message->data(), message->size());
    }

private:
    std::mutex mutex_;
    std::condition_variable arrived_;
    std::vector<Bytes> messages_;
};

// Counts what a back end tells a connection's change sink.
class Changes : public ChangeSink {
public:
    void systemChanged() override { ++told_; }
    int told() const { return told_; }

private:
    std::atomic<int> told_{0};
};

// A keyboard that plays as fast as a JACK client can: each process cycle it
// puts as many of its waiting messages into its port's buffer as fit, and the
// rest in the next cycles, so that it loses none. (An RtMidi output would
// drop what does not fit into one cycle.) Its port is "<client>:keys".
class FloodKeyboard {
public:
    explicit FloodKeyboard(const std::string& client) {
        client_ = jack_client_open(client.c_str(), JackNoStartServer, nullptr);
        if (!client_) throw std::runtime_error("no JACK server for " + client);
        port_ = jack_port_register(client_, "keys", JACK_DEFAULT_MIDI_TYPE, JackPortIsOutput, 0);
        jack_set_process_callback(client_, &FloodKeyboard::process, this);
        jack_activate(client_);
    }
    ~FloodKeyboard() { jack_client_close(client_); }
    FloodKeyboard(const FloodKeyboard&) = delete;
    FloodKeyboard& operator=(const FloodKeyboard&) = delete;

    // Queues `messages` after those still waiting; returns at once.
    void play(const std::vector<Bytes>& messages) {
        std::lock_guard lock(mutex_);
        waiting_.insert(waiting_.end(), messages.begin(), messages.end());
    }

    // Waits until every queued message went out, or a generous time passed.
    bool waitUntilSent() {
        for (const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
             std::chrono::steady_clock::now() < deadline; std::this_thread::sleep_for(std::chrono::milliseconds(5))) {
            std::lock_guard lock(mutex_);
            if (next_ == waiting_.size()) return true;
        }
        return false;
    }

private:
    static int process(jack_nframes_t frames, void* self) {
        auto& keyboard = *static_cast<FloodKeyboard*>(self);
        void* buffer = jack_port_get_buffer(keyboard.port_, frames);
        jack_midi_clear_buffer(buffer);
        // A cycle that finds the test thread queueing sends nothing.
        std::unique_lock lock(keyboard.mutex_, std::try_to_lock);
        if (!lock.owns_lock()) return 0;
        while (keyboard.next_ < keyboard.waiting_.size()) {
            const Bytes& message = keyboard.waiting_[keyboard.next_];
            if (jack_midi_max_event_size(buffer) < message.size()) break;
            jack_midi_event_write(buffer, 0, message.data(), message.size());
            ++keyboard.next_;
        }
        return 0;
    }

    jack_client_t* client_ = nullptr;
    jack_port_t* port_ = nullptr;
    std::mutex mutex_;
    std::vector<Bytes> waiting_;
    std::size_t next_ = 0;
};

// Distinct three-byte messages (polyphonic key pressure), numbered from
// `first`, so that a loss or a swap anywhere in a flood shows.
inline std::vector<Bytes> numberedMessages(std::size_t count, std::size_t first = 0) {
    std::vector<Bytes> messages;
    for (std::size_t i = first; i < first + count; ++i) {
        messages.push_back({static_cast<unsigned char>(0xA0 | ((i >> 14) & 0x0F)), static_cast<unsigned char>(i & 0x7F),
                            static_cast<unsigned char>((i >> 7) & 0x7F)});
    }
    return messages;
}

// Whether `heard` is exactly `played`; else where it first differs, rather
// than both floods in full.
inline ::testing::AssertionResult sameMessages(const std::vector<Bytes>& heard, const std::vector<Bytes>& played) {
    const auto [h, p] = std::mismatch(heard.begin(), heard.end(), played.begin(), played.end());
    if (h == heard.end() && p == played.end()) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "heard " << heard.size() << " of " << played.size()
                                         << " messages; the first difference is at " << (h - heard.begin());
}

// JACK puts a new connection into effect at a later process cycle; what is
// sent before that is lost.
inline void letJackCatchUp() { std::this_thread::sleep_for(std::chrono::milliseconds(50)); }

inline void send(RtMidiOut& out, const std::vector<Bytes>& messages) {
    for (const Bytes& message : messages) out.sendMessage(&message);
}

}  // namespace marovane::testing
