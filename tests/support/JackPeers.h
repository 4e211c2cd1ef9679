#pragma once

#include "support/Collectors.h"

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

// JACK puts a new connection into effect at a later process cycle; what is
// sent before that is lost.
inline void letJackCatchUp() { std::this_thread::sleep_for(std::chrono::milliseconds(50)); }

inline void send(RtMidiOut& out, const std::vector<Bytes>& messages) {
    for (const Bytes& message : messages) out.sendMessage(&message);
}

}  // namespace marovane::testing
