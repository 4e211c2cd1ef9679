// SPDX-License-Identifier: GPL-3.0-or-later
#include "SequencerReader.h"

#include "ports/DeviceErrors.h"

#include <poll.h>
#include <pthread.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>

namespace marovane {

namespace {

// Events read per hold of the lock, so that a flood does not keep the UI
// thread from closing an input for long.
constexpr int readBatch = 256;

}  // namespace

SequencerReader::SequencerReader(snd_seq_t* seq, snd_seq_addr_t inPort) : seq_(seq), inPort_(inPort.port) {
    stopFd_ = eventfd(0, EFD_CLOEXEC);
    if (stopFd_ < 0) throw PortError{ErrorNoMidiSystem, "The ALSA sequencer's input could not be read."};
    thread_ = std::thread([this] { run(); });
    pthread_setname_np(thread_.native_handle(), "ALSA reader");  // for top -H, perf and the tests
}

SequencerReader::~SequencerReader() {
    const std::uint64_t stop = 1;
    [[maybe_unused]] const ssize_t written = write(stopFd_, &stop, sizeof stop);  // an eventfd takes it
    thread_.join();
    close(stopFd_);
}

void SequencerReader::addInput(ReceiveSink& sink) {
    std::lock_guard lock(mutex_);
    inputs_.push_back(&sink);
}

void SequencerReader::removeInput(ReceiveSink& sink) {
    std::lock_guard lock(mutex_);
    std::erase(inputs_, &sink);
}

Watch::Watch(SequencerReader& reader, std::optional<snd_seq_addr_t> device, ChangeSink& changes)
    : reader_(reader), device_(device), changes_(changes) {
    std::lock_guard lock(reader_.mutex_);
    reader_.watches_.push_back(this);
}

Watch::~Watch() {
    std::lock_guard lock(reader_.mutex_);
    std::erase(reader_.watches_, this);
}

std::optional<PortError> SequencerReader::loss() {
    if (!lost_) return std::nullopt;
    PortError error = alsaSequencerLost();
    if (lossTold_.exchange(true)) error.code = 0;
    return error;
}

void SequencerReader::run() {
    const int count = snd_seq_poll_descriptors_count(seq_, POLLIN);
    std::vector<pollfd> fds(static_cast<std::size_t>(count) + 1);
    snd_seq_poll_descriptors(seq_, fds.data(), static_cast<unsigned>(count), POLLIN);
    fds.back() = {stopFd_, POLLIN, 0};
    // Events libasound has already read into its buffer do not wake poll():
    // after a full batch it only looks at the stop.
    bool more = false;
    const auto broken = [](const pollfd& fd) { return (fd.revents & (POLLERR | POLLHUP | POLLNVAL)) != 0; };
    for (;;) {
        const int ready = poll(fds.data(), fds.size(), more ? 0 : -1);
        if (ready < 0 && errno == EINTR) continue;
        if (ready >= 0 && fds.back().revents != 0) return;
        // Polled again, a broken descriptor would only say so again.
        if (ready < 0 || std::any_of(fds.begin(), fds.end() - 1, broken)) {
            loseSequencer();
            return;
        }
        more = readWaiting();
    }
}

bool SequencerReader::readWaiting() {
    std::lock_guard lock(mutex_);
    for (int read = 0; read < readBatch; ++read) {
        snd_seq_event_t* event = nullptr;
        const int result = snd_seq_event_input(seq_, &event);
        // -ENOSPC: the kernel's input pool overflowed and it dropped what was
        // waiting; what comes after it is still read.
        if (result == -ENOSPC) {
            overflowed();
            continue;
        }
        if (result < 0 || !event) return false;  // -EAGAIN: nothing more for now
        handle(*event);
    }
    return true;
}

void SequencerReader::handle(const snd_seq_event_t& event) {
    if (event.source.client == SND_SEQ_CLIENT_SYSTEM) {
        if (event.type == SND_SEQ_EVENT_PORT_EXIT) lose(event.data.addr.client, event.data.addr.port);
        if (event.type == SND_SEQ_EVENT_CLIENT_EXIT) lose(event.data.addr.client, -1);
        return;
    }
    if (event.dest.port != inPort_) return;
    decoder_.decode(event, [this](const unsigned char* bytes, std::size_t size) {
        for (ReceiveSink* sink : inputs_) sink->received(bytes, size);
    });
}

// Port -1: every port of the client.
void SequencerReader::lose(int client, int port) {
    for (Watch* watch : watches_) {
        const auto& device = watch->device_;
        const bool matches = device && device->client == client && (port < 0 || device->port == port);
        if (matches && !watch->gone_.exchange(true)) watch->changes_.systemChanged();
    }
}

// What was lost may hold the news of a device that went, as well as messages.
void SequencerReader::overflowed() {
    for (ReceiveSink* sink : inputs_) sink->overflowed();
    for (Watch* watch : watches_) {
        if (!watch->device_) continue;
        watch->unsure_ = true;
        watch->changes_.systemChanged();
    }
}

void SequencerReader::loseSequencer() {
    std::lock_guard lock(mutex_);
    lost_ = true;
    for (Watch* watch : watches_) watch->changes_.systemChanged();
}

}  // namespace marovane
