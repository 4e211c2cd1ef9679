// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/JackPeer.h"

#include <jack/midiport.h>

#include <algorithm>
#include <chrono>
#include <stdexcept>
#include <thread>

namespace marovane::testing {

namespace {

// Well within what any JACK library carries in one cycle.
constexpr int playedPerCycle = 500;

// Probes heard in a row before a connection counts as carrying, and how
// long one may take before it counts as lost.
constexpr std::size_t probesInARow = 8;
constexpr std::chrono::milliseconds probeWait{200};

}  // namespace

JackPeer::JackPeer(const std::string& name, const std::string& properties) {
    // A peer of this name that the test before closed may still be leaving:
    // PipeWire frees the name a little after the close has returned.
    eventually([&] {
        client_ = openJackClient(name.c_str(), JackOptions(JackNoStartServer | JackUseExactName), properties);
        return client_ != nullptr;
    });
    if (!client_) throw std::runtime_error("no JACK server took the peer " + name);
    keys_ = jack_port_register(client_, "keys", JACK_DEFAULT_MIDI_TYPE, JackPortIsOutput, 0);
    synth_ = jack_port_register(client_, "synth", JACK_DEFAULT_MIDI_TYPE, JackPortIsInput, 0);
    jack_set_process_callback(client_, &JackPeer::process, this);
    if (!keys_ || !synth_ || jack_activate(client_) != 0) {
        jack_client_close(client_);
        throw std::runtime_error("the peer " + name + " could not start");
    }
}

JackPeer::~JackPeer() { jack_client_close(client_); }

std::string JackPeer::keys() const { return jack_port_name(keys_); }
std::string JackPeer::synth() const { return jack_port_name(synth_); }

void JackPeer::play(const std::vector<std::vector<unsigned char>>& messages) {
    for (const auto& bytes : messages) {
        Message message;
        message.size = static_cast<std::uint8_t>(bytes.size());
        std::copy(bytes.begin(), bytes.end(), message.bytes.begin());
        while (!playing_->push(message)) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

bool JackPeer::waitUntilPlayed() {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (playing_->size() > 0 && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return playing_->size() == 0;
}

int JackPeer::process(jack_nframes_t frames, void* self) {
    auto& peer = *static_cast<JackPeer*>(self);
    void* keys = jack_port_get_buffer(peer.keys_, frames);
    jack_midi_clear_buffer(keys);
    for (int played = 0; played < playedPerCycle; ++played) {
        const Message* message = peer.playing_->front();
        if (!message || jack_midi_event_write(keys, 0, message->bytes.data(), message->size) != 0) break;
        peer.playing_->pop();
    }
    void* synth = jack_port_get_buffer(peer.synth_, frames);
    jack_nframes_t cycleStart = 0;
    jack_time_t cycleUs = 0;
    jack_time_t nextCycleUs = 0;
    float periodUs = 0;
    jack_get_cycle_times(peer.client_, &cycleStart, &cycleUs, &nextCycleUs, &periodUs);
    const std::uint32_t count = jack_midi_get_event_count(synth);
    for (std::uint32_t i = 0; i < count; ++i) {
        jack_midi_event_t event;
        if (jack_midi_event_get(&event, synth, i) != 0) continue;
        Message message;
        message.offset = event.time;
        message.frame = cycleStart + event.time;
        message.time = jack_frames_to_time(peer.client_, message.frame);
        message.periodUs = static_cast<float>(nextCycleUs - cycleUs);
        message.size = static_cast<std::uint8_t>(std::min<std::size_t>(event.size, message.bytes.size()));
        std::copy_n(event.buffer, message.size, message.bytes.begin());
        peer.hearing_->push(message);
    }
    return 0;
}

void JackPeer::collect() {
    while (const Message* message = hearing_->front()) {
        heard_.push_back({{message->bytes.begin(), message->bytes.begin() + message->size},
                          message->offset,
                          message->frame,
                          message->time,
                          message->periodUs});
        hearing_->pop();
    }
}

std::vector<Heard> JackPeer::waitFor(std::size_t count) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    for (collect(); heard_.size() < count && std::chrono::steady_clock::now() < deadline; collect()) {
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return heard_;
}

std::vector<std::vector<unsigned char>> JackPeer::heardBytes(std::size_t count) {
    std::vector<std::vector<unsigned char>> bytes;
    for (const Heard& heard : waitFor(count)) bytes.push_back(heard.bytes);
    return bytes;
}

std::size_t JackPeer::heardCount() {
    collect();
    return heard_.size();
}

void JackPeer::forget() {
    collect();
    heard_.clear();
}

bool JackPeer::connected(const std::string& from, const std::string& to) const {
    const jack_port_t* port = jack_port_by_name(client_, from.c_str());
    return port && jack_port_connected_to(port, to.c_str());
}

bool eventually(const std::function<bool()>& holds, std::chrono::milliseconds within) {
    for (const auto deadline = std::chrono::steady_clock::now() + within; std::chrono::steady_clock::now() < deadline;
         std::this_thread::sleep_for(std::chrono::milliseconds(5))) {
        if (holds()) return true;
    }
    return holds();
}

bool carriesSteadily(const std::function<void(const Bytes&)>& play, const std::function<std::vector<Bytes>()>& heard,
                     const std::function<bool(const std::function<bool()>&, std::chrono::milliseconds)>& waitFor) {
    // Key pressure on channel 16, numbered in the value: nothing the
    // program acts on, nor any test's message.
    std::vector<Bytes> probes;
    for (const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
         std::chrono::steady_clock::now() < deadline;) {
        probes.push_back({0xAF, 0x7F, static_cast<unsigned char>(probes.size() & 0x7F)});
        play(probes.back());
        waitFor(
            [&] {
                const std::vector<Bytes> got = heard();
                return !got.empty() && got.back() == probes.back();
            },
            probeWait);
        const std::vector<Bytes> got = heard();
        if (got.size() >= probesInARow && probes.size() >= probesInARow &&
            std::equal(probes.end() - probesInARow, probes.end(), got.end() - probesInARow)) {
            return true;
        }
    }
    return false;
}

bool carriesFrom(JackPeer& peer, Collector& received) {
    const bool carries =
        carriesSteadily([&](const Bytes& probe) { peer.play({probe}); }, [&] { return received.messages(); });
    received.forget();
    return carries;
}

bool carriesTo(OutputConnection& output, JackPeer& peer) {
    const bool carries =
        carriesSteadily([&](const Bytes& probe) { output.send(probe, {}); }, [&] { return peer.heardBytes(0); });
    peer.forget();
    return carries;
}

}  // namespace marovane::testing
