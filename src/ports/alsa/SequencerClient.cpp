// SPDX-License-Identifier: GPL-3.0-or-later
#include "SequencerClient.h"

#include "ports/LibraryMessages.h"

#include <algorithm>
#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <mutex>

namespace marovane {

namespace {

constexpr char clientName[] = "Marovane";
constexpr char inPortName[] = "Marovane In";

// The most the kernel grants a client (its SNDRV_SEQ_MAX_*EVENTS): events
// scheduled ahead, and events received and not yet read. With the reader's
// buffer as large, a flood is taken in whole batches.
constexpr int poolEvents = 2000;

// libasound's own messages go where the program's quiet rule says.
void libraryMessage(const char* file, int line, const char* function, int error, const char* format, ...) {
    char text[512];
    int used = std::snprintf(text, sizeof text, "ALSA lib %s:%d:(%s) ", file, line, function);
    if (used < 0 || used >= static_cast<int>(sizeof text)) used = 0;
    va_list args;
    va_start(args, format);
    std::vsnprintf(text + used, sizeof text - used, format, args);
    va_end(args);
    std::string message(text);
    if (error != 0) message += std::string(": ") + snd_strerror(error);
    reportLibraryMessage(message.c_str());
}

void check(int result, const char* what) {
    if (result < 0) {
        throw PortError{ErrorNoMidiSystem,
                        std::string("The ALSA sequencer refused to ") + what + ": " + snd_strerror(result) + "."};
    }
}

int makePort(snd_seq_t* seq, const char* name, unsigned caps) {
    const int port =
        snd_seq_create_simple_port(seq, name, caps, SND_SEQ_PORT_TYPE_MIDI_GENERIC | SND_SEQ_PORT_TYPE_APPLICATION);
    check(port, "make a port");
    return port;
}

// A timer's period in nanoseconds, as the kernel gives it; 0 when unknown.
long timerResolutionNs(const snd_timer_id_t* timer) {
    snd_timer_id_t* id;
    snd_timer_id_alloca(&id);
    snd_timer_id_copy(id, timer);
    snd_timer_query_t* query;
    if (snd_timer_query_open(&query, "hw", SND_TIMER_OPEN_NONBLOCK) < 0) return 0;
    snd_timer_ginfo_t* info;
    snd_timer_ginfo_alloca(&info);
    snd_timer_ginfo_set_tid(info, id);
    const long resolution = snd_timer_query_info(query, info) < 0 ? 0 : snd_timer_ginfo_get_resolution(info);
    snd_timer_query_close(query);
    return resolution;
}

// The sequencer's queue counts whole periods of its timer, as many as make
// the rate asked for (the sequencer's default when none was).
long tickNs(long resolutionNs, unsigned hz) {
    constexpr long nsPerSecond = 1'000'000'000;
    constexpr unsigned defaultHz = 1000;
    const long periods = nsPerSecond / (resolutionNs * (hz != 0 ? hz : defaultHz));
    return resolutionNs * std::max(periods, 1L);
}

}  // namespace

std::unique_ptr<SequencerClient> SequencerClient::open(PortError& error) {
    static std::once_flag handlerSet;
    std::call_once(handlerSet, [] { snd_lib_error_set_handler(&libraryMessage); });
    snd_seq_t* seq = nullptr;
    const int opened = snd_seq_open(&seq, "default", SND_SEQ_OPEN_DUPLEX, SND_SEQ_NONBLOCK);
    if (opened < 0) {
        error = {ErrorNoMidiSystem,
                 std::string("No MIDI system: the ALSA sequencer could not be opened (") + snd_strerror(opened) + ")."};
        return nullptr;
    }
    std::unique_ptr<SequencerClient> client(new SequencerClient(seq));
    try {
        client->setUp();
    } catch (const PortError& failed) {
        error = failed;
        return nullptr;
    }
    return client;
}

void SequencerClient::setUp() {
    check(snd_seq_set_client_name(seq_, clientName), "name the client");
    id_ = snd_seq_client_id(seq_);
    check(id_, "number the client");
    check(snd_seq_set_client_pool_output(seq_, poolEvents), "size the output pool");
    // Every scheduled event that leaves frees a cell of the output pool, and
    // the kernel wakes whatever polls the handle (the reader, which waits for
    // input only) whenever the pool then has its room free: with the whole
    // pool as the room, once when the queue has let everything go, not at
    // every note.
    check(snd_seq_set_client_pool_output_room(seq_, poolEvents), "size the output room");
    check(snd_seq_set_client_pool_input(seq_, poolEvents), "size the input pool");
    check(snd_seq_set_input_buffer_size(seq_, poolEvents * sizeof(snd_seq_event_t)), "size the input buffer");
    in_ = makePort(seq_, inPortName, writable);
    out_ = makePort(seq_, outPortName, readable);

    queue_ = snd_seq_alloc_named_queue(seq_, clientName);
    check(queue_, "make a queue");
    setUpTimer();

    // The system's announcements of clients and ports that come and go
    // arrive at the input port, beside the messages.
    check(snd_seq_connect_from(seq_, in_, SND_SEQ_CLIENT_SYSTEM, SND_SEQ_PORT_SYSTEM_ANNOUNCE), "announce changes");
}

// The high-resolution timer, where the kernel has it, rather than the
// system's tick, at the finest rate the sequencer grants; without it the
// default timer serves. The queue runs only while it has something to play
// (see TimedSender), so the rate costs nothing while the program waits.
void SequencerClient::setUpTimer() {
    snd_seq_queue_timer_t* timer;
    snd_seq_queue_timer_alloca(&timer);
    if (snd_seq_get_queue_timer(seq_, queue_, timer) < 0) return;
    snd_timer_id_t* id;
    snd_timer_id_alloca(&id);
    snd_timer_id_set_class(id, SND_TIMER_CLASS_GLOBAL);
    snd_timer_id_set_device(id, SND_TIMER_GLOBAL_HRTIMER);
    snd_seq_queue_timer_set_id(timer, id);
    snd_seq_queue_timer_set_resolution(timer, timerHz);
    snd_seq_set_queue_timer(seq_, queue_, timer);
    if (snd_seq_get_queue_timer(seq_, queue_, timer) < 0) return;
    const long resolution = timerResolutionNs(snd_seq_queue_timer_get_id(timer));
    if (resolution > 0) tick_ = std::chrono::nanoseconds(tickNs(resolution, snd_seq_queue_timer_get_resolution(timer)));
}

SequencerClient::~SequencerClient() { snd_seq_close(seq_); }

std::vector<SequencerClient::Port> SequencerClient::ports(unsigned caps) const {
    std::vector<Port> found;
    snd_seq_client_info_t* client;
    snd_seq_client_info_alloca(&client);
    snd_seq_port_info_t* port;
    snd_seq_port_info_alloca(&port);
    snd_seq_client_info_set_client(client, -1);
    while (snd_seq_query_next_client(seq_, client) >= 0) {
        const int number = snd_seq_client_info_get_client(client);
        // The system client's timer and announcement ports are no devices.
        if (number == SND_SEQ_CLIENT_SYSTEM || number == id_) continue;
        snd_seq_port_info_set_client(port, number);
        snd_seq_port_info_set_port(port, -1);
        while (snd_seq_query_next_port(seq_, port) >= 0) {
            const unsigned capability = snd_seq_port_info_get_capability(port);
            // A port that asks not to be exported is no device to offer.
            if ((capability & caps) != caps || (capability & SND_SEQ_PORT_CAP_NO_EXPORT) != 0) continue;
            found.push_back({std::string(snd_seq_client_info_get_name(client)) + ":" + snd_seq_port_info_get_name(port),
                             *snd_seq_port_info_get_addr(port)});
        }
    }
    return found;
}

std::string SequencerClient::Port::id() const {
    return std::to_string(address.client) + ":" + std::to_string(address.port);
}

std::optional<snd_seq_addr_t> SequencerClient::find(const std::string& id, const std::string& name,
                                                    unsigned caps) const {
    for (const Port& port : ports(caps)) {
        if (port.id() == id && port.name == name) return port.address;
    }
    return std::nullopt;
}

Subscription::Subscription(snd_seq_t* seq, snd_seq_addr_t sender, snd_seq_addr_t dest) : seq_(seq) {
    snd_seq_port_subscribe_malloc(&subscribe_);
    snd_seq_port_subscribe_set_sender(subscribe_, &sender);
    snd_seq_port_subscribe_set_dest(subscribe_, &dest);
    const int result = snd_seq_subscribe_port(seq_, subscribe_);
    if (result == -EBUSY) return;  // there already
    if (result < 0) {
        snd_seq_port_subscribe_free(subscribe_);
        throw PortError{ErrorOpenFailed,
                        std::string("The ALSA sequencer could not connect the device: ") + snd_strerror(result) + "."};
    }
    made_ = true;
}

Subscription::~Subscription() {
    // A device that went took the subscription with it.
    if (made_) snd_seq_unsubscribe_port(seq_, subscribe_);
    snd_seq_port_subscribe_free(subscribe_);
}

}  // namespace marovane
