#include "JackWatch.h"

#include "ports/DeviceErrors.h"

#include <algorithm>
#include <chrono>
#include <thread>
#include <utility>

namespace marovane {

namespace {

using Clock = std::chrono::steady_clock;

// Named like every client of ours, so that the listings leave it out.
constexpr char clientName[] = "Marovane Watch";

// Generous bounds of what one short message and the buffer's header take in
// a JACK MIDI port buffer, so that the count below holds for JACK 1 and 2.
constexpr std::size_t eventBytes = 16;
constexpr std::size_t headerBytes = 64;
// Between two of RtMidi's reads of an output's buffer the cycle count moves
// at most twice, so at most three counts' worth of messages meet in one
// read; a quarter of what the port buffer takes per count keeps them within it.
constexpr std::size_t shares = 4;

// A server that runs no cycle for this long while the program sends is
// taken as stalled.
constexpr std::chrono::seconds stallLimit{1};
constexpr std::chrono::microseconds pollInterval{200};

std::size_t sendsPerCycleOf(jack_client_t* client) {
    const std::size_t bytes = jack_port_type_get_buffer_size(client, JACK_DEFAULT_MIDI_TYPE);
    const std::size_t events = bytes > headerBytes ? (bytes - headerBytes) / eventBytes : 0;
    return std::max<std::size_t>(1, events / shares);
}

}  // namespace

std::shared_ptr<JackWatch> JackWatch::open() {
    jack_client_t* client = jack_client_open(clientName, JackNoStartServer, nullptr);
    if (!client) return nullptr;
    std::shared_ptr<JackWatch> watch(new JackWatch(client));
    if (jack_activate(client) != 0) return nullptr;
    return watch;
}

JackWatch::JackWatch(jack_client_t* client) : client_(client), sendsPerCycle_(sendsPerCycleOf(client)) {
    jack_on_info_shutdown(
        client_,
        [](jack_status_t, const char*, void* self) {
            auto& watch = *static_cast<JackWatch*>(self);
            watch.gone_ = true;
            watch.tellSinks();
        },
        this);
    // A device goes when its port, or its whole client, does.
    jack_set_client_registration_callback(
        client_,
        [](const char*, int registered, void* self) {
            if (!registered) static_cast<JackWatch*>(self)->tellSinks();
        },
        this);
    jack_set_port_registration_callback(
        client_,
        [](jack_port_id_t, int registered, void* self) {
            if (!registered) static_cast<JackWatch*>(self)->tellSinks();
        },
        this);
}

// Closing the client ends its callbacks before the members go.
JackWatch::~JackWatch() { jack_client_close(client_); }

void JackWatch::add(ChangeSink& sink) {
    std::lock_guard lock(mutex_);
    sinks_.push_back(&sink);
}

void JackWatch::remove(ChangeSink& sink) {
    std::lock_guard lock(mutex_);
    std::erase(sinks_, &sink);
}

void JackWatch::tellSinks() {
    std::lock_guard lock(mutex_);
    for (ChangeSink* sink : sinks_) sink->systemChanged();
}

std::optional<PortError> JackWatch::failure(const std::string* device, const char* direction) {
    if (gone_) {
        PortError error{ErrorSystemStopped,
                        "The MIDI system has stopped: the JACK server is no longer running, so the MIDI ports "
                        "are closed. To play on, start the JACK server again, then open MIDI > Setup, choose "
                        "your devices, press Ok and press \"go\"."};
        if (lossTold_.exchange(true)) error.code = 0;
        return error;
    }
    if (device && !jack_port_by_name(client_, device->c_str())) {
        return deviceGone(*device, direction);
    }
    return std::nullopt;
}

// Read from the server's frame timer rather than counted in a process
// callback of our own: a client with a process callback is woken in every
// period, which would cost CPU time while nothing plays. (JACK 2 keeps the
// timer in memory shared with every client, readable from any thread.)
std::uint64_t JackWatch::cycles() const {
    const jack_nframes_t frames = jack_get_buffer_size(client_);
    return frames ? jack_last_frame_time(client_) / frames : 0;
}

bool JackWatch::waitForCycleAfter(std::uint64_t cycle) const {
    const auto deadline = Clock::now() + stallLimit;
    while (cycles() == cycle) {
        if (gone_ || Clock::now() > deadline) return false;
        std::this_thread::sleep_for(pollInterval);
    }
    return true;
}

PortError SendPace::beforeSend() {
    if (watch_.serverGone()) {
        return {ErrorSendFailed, "The MIDI message was not sent: the JACK server is no longer running."};
    }
    const std::uint64_t cycle = watch_.cycles();
    const auto now = Clock::now();
    if (cycle != cycle_) {
        cycle_ = cycle;
        sent_ = 0;
        movedAt_ = now;
        stallTold_ = false;
    }
    // Sending on into a server that stands still would fill RtMidi's buffer,
    // and then RtMidi waits for room, on the UI thread, for as long as the
    // server stands. Nothing is sent until it runs again, and that is said
    // once; the port stays open, so playing goes on when the server does.
    const bool stalled = now - movedAt_ > stallLimit || (sent_ == watch_.sendsPerCycle() && !waitForNextCycle());
    if (stalled) {
        if (std::exchange(stallTold_, true)) {
            return {ErrorNotDone, "The MIDI message was not sent: the JACK server still runs no process cycle."};
        }
        return {ErrorSendFailed,
                "The MIDI system has stopped responding: the JACK server has run no process cycle for over a "
                "second, so nothing is sent until it runs again."};
    }
    ++sent_;
    return {};
}

bool SendPace::waitForNextCycle() {
    if (!watch_.waitForCycleAfter(cycle_)) return false;
    cycle_ = watch_.cycles();
    sent_ = 0;
    movedAt_ = Clock::now();
    return true;
}

}  // namespace marovane
