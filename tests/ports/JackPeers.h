#pragma once

#include "ports/MidiBackend.h"

#include <RtMidi.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
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

    // Lets RtMidi's input handling call the collector directly, as a peer would.
    static void deliver(double, std::vector<unsigned char>* message, void* self) {
        static_cast<Collector*>(self)->received(message->data(), message->size());
    }

private:
    std::mutex mutex_;
    std::condition_variable arrived_;
    std::vector<Bytes> messages_;
};

// JACK puts a new connection into effect at a later process cycle; what is
// sent before that is lost.
inline void letJackCatchUp() { std::this_thread::sleep_for(std::chrono::milliseconds(50)); }

inline void send(RtMidiOut& out, const std::vector<Bytes>& messages) {
    for (const Bytes& message : messages) out.sendMessage(&message);
}

}  // namespace marovane::testing
