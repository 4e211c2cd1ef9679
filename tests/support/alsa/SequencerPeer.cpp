// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/alsa/SequencerPeer.h"

#include <poll.h>
#include <pthread.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <iterator>
#include <stdexcept>

namespace marovane::testing {

std::vector<MidiDevice> devicesNamed(const std::vector<MidiDevice>& devices, const std::string& name) {
    std::vector<MidiDevice> found;
    std::copy_if(devices.begin(), devices.end(), std::back_inserter(found),
                 [&](const MidiDevice& device) { return device.name == name; });
    return found;
}

namespace {

constexpr int poolEvents = 2000;
constexpr std::size_t coderBytes = 256;

void check(int result, const std::string& what) {
    if (result < 0) throw std::runtime_error(what + ": " + snd_strerror(result));
}

std::chrono::nanoseconds sinceStart(const snd_seq_real_time_t& time) {
    return std::chrono::seconds(time.tv_sec) + std::chrono::nanoseconds(time.tv_nsec);
}

}  // namespace

SequencerPeer::SequencerPeer(const std::string& client, unsigned stampHz) : client_(client) {
    check(snd_seq_open(&seq_, "default", SND_SEQ_OPEN_DUPLEX, SND_SEQ_NONBLOCK), "open the sequencer");
    check(snd_seq_set_client_name(seq_, client.c_str()), "name the client");
    check(snd_seq_set_client_pool_input(seq_, poolEvents), "size the input pool");
    check(snd_seq_set_input_buffer_size(seq_, poolEvents * sizeof(snd_seq_event_t)), "size the input buffer");
    keys_ = snd_seq_create_simple_port(seq_, "keys", SND_SEQ_PORT_CAP_READ | SND_SEQ_PORT_CAP_SUBS_READ,
                                       SND_SEQ_PORT_TYPE_MIDI_GENERIC);
    check(keys_, "make the keys");
    queue_ = snd_seq_alloc_queue(seq_);
    check(queue_, "make a queue");
    if (stampHz != 0) {
        snd_seq_queue_timer_t* timer;
        snd_seq_queue_timer_alloca(&timer);
        check(snd_seq_get_queue_timer(seq_, queue_, timer), "ask the queue's timer");
        snd_seq_queue_timer_set_resolution(timer, stampHz);
        check(snd_seq_set_queue_timer(seq_, queue_, timer), "set the queue's timer");
    }
    check(snd_seq_start_queue(seq_, queue_, nullptr), "start the queue");
    check(snd_seq_drain_output(seq_), "start the queue");

    snd_seq_port_info_t* synth;
    snd_seq_port_info_alloca(&synth);
    snd_seq_port_info_set_name(synth, "synth");
    snd_seq_port_info_set_capability(synth, SND_SEQ_PORT_CAP_WRITE | SND_SEQ_PORT_CAP_SUBS_WRITE);
    snd_seq_port_info_set_type(synth, SND_SEQ_PORT_TYPE_MIDI_GENERIC);
    snd_seq_port_info_set_timestamping(synth, 1);
    snd_seq_port_info_set_timestamp_real(synth, 1);
    snd_seq_port_info_set_timestamp_queue(synth, queue_);
    check(snd_seq_create_port(seq_, synth), "make the synth");
    synth_ = snd_seq_port_info_get_port(synth);

    check(snd_midi_event_new(coderBytes, &coder_), "make a coder");
    stopFd_ = eventfd(0, EFD_CLOEXEC);
    listener_ = std::thread([this] { listen(); });
    pthread_setname_np(listener_.native_handle(), "peer");  // told apart in the benchmark's figures
}

SequencerPeer::~SequencerPeer() {
    const std::uint64_t stop = 1;
    [[maybe_unused]] const ssize_t written = write(stopFd_, &stop, sizeof stop);
    listener_.join();
    close(stopFd_);
    snd_midi_event_free(coder_);
    snd_seq_close(seq_);
}

bool SequencerPeer::play(const std::vector<Bytes>& messages, std::size_t ahead) {
    const std::size_t heardBefore = heardCount();
    std::size_t played = 0;
    for (const Bytes& message : messages) {
        for (const auto stalled = Clock::now() + std::chrono::seconds(10);
             ahead > 0 && played - (heardCount() - heardBefore) >= ahead;
             std::this_thread::sleep_for(std::chrono::microseconds(100))) {
            if (Clock::now() > stalled) return false;
        }
        snd_seq_event_t event = eventFor(message);
        send(event);
        ++played;
    }
    return true;
}

void SequencerPeer::playEvents(std::vector<snd_seq_event_t> events) {
    for (snd_seq_event_t& event : events) {
        snd_seq_ev_set_source(&event, keys_);
        snd_seq_ev_set_subs(&event);
        snd_seq_ev_set_direct(&event);
        send(event);
    }
}

void SequencerPeer::send(snd_seq_event_t& event) {
    int sent;
    while ((sent = snd_seq_event_output_direct(seq_, &event)) == -EAGAIN || sent == -ENOMEM) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    check(sent, "play");
}

void SequencerPeer::flood(const std::vector<Bytes>& messages) {
    for (const Bytes& message : messages) {
        snd_seq_event_t event = eventFor(message);
        snd_seq_event_output_direct(seq_, &event);
    }
}

snd_seq_event_t SequencerPeer::eventFor(const Bytes& message) {
    snd_seq_event_t event;
    snd_seq_ev_clear(&event);
    snd_midi_event_reset_encode(coder_);
    if (snd_midi_event_encode(coder_, message.data(), static_cast<long>(message.size()), &event) <= 0 ||
        event.type == SND_SEQ_EVENT_NONE) {
        throw std::runtime_error("no event for a message to play");
    }
    snd_seq_ev_set_source(&event, keys_);
    snd_seq_ev_set_subs(&event);
    snd_seq_ev_set_direct(&event);
    return event;
}

std::size_t SequencerPeer::heardCount() {
    std::lock_guard lock(mutex_);
    return heard_.size();
}

void SequencerPeer::removePorts() {
    check(snd_seq_delete_simple_port(seq_, keys_), "delete the keys");
    check(snd_seq_delete_simple_port(seq_, synth_), "delete the synth");
}

void SequencerPeer::addPort(const std::string& name, unsigned caps) {
    check(snd_seq_create_simple_port(seq_, name.c_str(), caps, SND_SEQ_PORT_TYPE_MIDI_GENERIC), "make " + name);
}

std::vector<SequencerPeer::Heard> SequencerPeer::waitFor(std::size_t count) {
    std::unique_lock lock(mutex_);
    arrived_.wait_for(lock, std::chrono::seconds(10), [&] { return heard_.size() >= count; });
    return heard_;
}

std::vector<SequencerPeer::Bytes> SequencerPeer::bytesHeard(std::size_t count) {
    std::vector<Bytes> bytes;
    for (Heard& heard : waitFor(count)) bytes.push_back(std::move(heard.bytes));
    return bytes;
}

void SequencerPeer::forget() {
    std::lock_guard lock(mutex_);
    heard_.clear();
}

void SequencerPeer::connect(const std::string& sender, const std::string& dest) { subscription(sender, dest, true); }

bool SequencerPeer::connected(const std::string& sender, const std::string& dest) {
    return subscription(sender, dest, false);
}

bool SequencerPeer::subscription(const std::string& sender, const std::string& dest, bool make) {
    const snd_seq_addr_t from = address(sender);
    const snd_seq_addr_t to = address(dest);
    snd_seq_port_subscribe_t* subscribe;
    snd_seq_port_subscribe_alloca(&subscribe);
    snd_seq_port_subscribe_set_sender(subscribe, &from);
    snd_seq_port_subscribe_set_dest(subscribe, &to);
    if (!make) return snd_seq_get_port_subscription(seq_, subscribe) == 0;
    check(snd_seq_subscribe_port(seq_, subscribe), "connect " + sender + " to " + dest);
    return true;
}

bool SequencerPeer::queueRuns(const std::string& name) {
    const int queue = snd_seq_query_named_queue(seq_, name.c_str());
    check(queue, "find the queue " + name);
    snd_seq_queue_status_t* status;
    snd_seq_queue_status_alloca(&status);
    check(snd_seq_get_queue_status(seq_, queue, status), "ask the queue " + name);
    return snd_seq_queue_status_get_status(status) != 0;
}

SequencerPeer::QueueTimer SequencerPeer::queueTimer(const std::string& name) {
    const int queue = snd_seq_query_named_queue(seq_, name.c_str());
    check(queue, "find the queue " + name);
    snd_seq_queue_timer_t* timer;
    snd_seq_queue_timer_alloca(&timer);
    check(snd_seq_get_queue_timer(seq_, queue, timer), "ask the queue " + name);
    snd_timer_id_t* id;
    snd_timer_id_alloca(&id);
    snd_timer_id_copy(id, snd_seq_queue_timer_get_id(timer));
    return {snd_timer_id_get_device(id), snd_seq_queue_timer_get_resolution(timer)};
}

// "client:port", by name; libasound parses client names but only port numbers.
snd_seq_addr_t SequencerPeer::address(const std::string& name) {
    const auto colon = name.find(':');
    snd_seq_addr_t address;
    check(snd_seq_parse_address(seq_, &address, name.substr(0, colon).c_str()), "find " + name);
    snd_seq_port_info_t* port;
    snd_seq_port_info_alloca(&port);
    snd_seq_port_info_set_client(port, address.client);
    snd_seq_port_info_set_port(port, -1);
    while (snd_seq_query_next_port(seq_, port) >= 0) {
        if (name.substr(colon + 1) == snd_seq_port_info_get_name(port)) return *snd_seq_port_info_get_addr(port);
    }
    throw std::runtime_error("no port " + name);
}

void SequencerPeer::listen() {
    snd_midi_event_t* decoder;
    if (snd_midi_event_new(coderBytes, &decoder) < 0) return;
    snd_midi_event_no_status(decoder, 1);
    const int count = snd_seq_poll_descriptors_count(seq_, POLLIN);
    std::vector<pollfd> fds(static_cast<std::size_t>(count) + 1);
    snd_seq_poll_descriptors(seq_, fds.data(), static_cast<unsigned>(count), POLLIN);
    fds.back() = {stopFd_, POLLIN, 0};
    std::vector<Heard> batch;
    while (poll(fds.data(), fds.size(), -1) >= 0 || errno == EINTR) {
        if (fds.back().revents != 0) break;
        const auto queueToSteady = steadyOffset();
        snd_seq_event_t* event;
        while (snd_seq_event_input(seq_, &event) >= 0 && event) {
            unsigned char bytes[coderBytes];
            snd_midi_event_reset_decode(decoder);
            const long size =
                event->dest.port == synth_ ? snd_midi_event_decode(decoder, bytes, sizeof bytes, event) : 0;
            if (size <= 0) continue;
            batch.push_back(
                {Bytes(bytes, bytes + size), Clock::time_point(queueToSteady + sinceStart(event->time.time))});
        }
        {
            std::lock_guard lock(mutex_);
            heard_.insert(heard_.end(), batch.begin(), batch.end());
        }
        batch.clear();
        arrived_.notify_all();
    }
    snd_midi_event_free(decoder);
}

// The queue's time and the steady clock's at one moment map the one onto the
// other: this is the steady clock's time at which the queue started. Of three
// readings, the one least held up between its two steady readings counts.
SequencerPeer::Clock::duration SequencerPeer::steadyOffset() {
    snd_seq_queue_status_t* status;
    snd_seq_queue_status_alloca(&status);
    auto shortest = Clock::duration::max();
    Clock::duration offset{};
    for (int reading = 0; reading < 3; ++reading) {
        const auto before = Clock::now();
        snd_seq_get_queue_status(seq_, queue_, status);
        const auto took = Clock::now() - before;
        if (took >= shortest) continue;
        shortest = took;
        offset = (before + took / 2).time_since_epoch() - sinceStart(*snd_seq_queue_status_get_real_time(status));
    }
    return offset;
}

}  // namespace marovane::testing
