// SPDX-License-Identifier: GPL-3.0-or-later
#include "JackClient.h"

#include "ClientProperties.h"
#include "ports/DeviceErrors.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <string_view>
#include <thread>

namespace marovane {

namespace {

constexpr char clientName[] = "Marovane";
constexpr char inputPort[] = "Marovane In";
constexpr char outputPort[] = "Marovane Out";

// The longest the end of the program waits for what the outputs sent last
// to be written: about a step's allowance, so that closing the window never
// waits longer than that.
constexpr std::chrono::milliseconds drainLimit{20};

}  // namespace

std::shared_ptr<JackClient> JackClient::open(PortError& why) {
    jack_client_t* handle = openJackClient(clientName, JackNoStartServer, bytesAsSent);
    if (!handle) {
        why = noJackServer();
        return nullptr;
    }
    std::shared_ptr<JackClient> client(new JackClient(handle));
    if (!client->start(why)) return nullptr;
    return client;
}

JackClient::JackClient(jack_client_t* client) : client_(client) { sem_init(&wake_, 0, 0); }

JackClient::~JackClient() {
    if (client_) {
        drain();
        close();
    }
    sem_destroy(&wake_);
}

// What the outputs sent last (a step's notes, the endings of the notes that
// sound) is written before the client goes: the ring empties, and the cycle
// that wrote the last of it ends. That takes a period or two after the
// latest due time waiting, more on a busy machine, whose server was seen to
// run a cycle 3.5 ms late at periods of 1.3 ms; a server that stands still
// is waited for no longer than the limit.
void JackClient::drain() {
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + drainLimit;
    const auto writing = [this] {
        if (waiting() > 0) return true;
        // Read after the ring, whose taking it comes before.
        const std::uint64_t cycle = writingCycle_.load(std::memory_order_relaxed);
        return cycle != 0 && cycles() <= cycle;
    };
    while (!gone_ && writing() && Clock::now() < deadline) std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

// Closing a client is allowed after its server went away; libjack then only
// frees it. (Opening another client first would free it under our feet.)
void JackClient::close() {
    stopRelay();
    jack_client_close(client_);
    client_ = nullptr;
    gone_ = true;
}

bool JackClient::start(PortError& why) {
    input_ = jack_port_register(client_, inputPort, JACK_DEFAULT_MIDI_TYPE, JackPortIsInput, 0);
    output_ = jack_port_register(client_, outputPort, JACK_DEFAULT_MIDI_TYPE, JackPortIsOutput, 0);
    if (!input_ || !output_) {
        why = {ErrorOpenFailed,
               "The JACK server refused the program's MIDI ports \"Marovane In\" and \"Marovane Out\"."};
        return false;
    }
    // Kept, as the ports' handles are not to be used once the client is closed.
    inputName_ = jack_port_name(input_);
    outputName_ = jack_port_name(output_);
    setCallbacks();
    relay_ = std::thread([this] { relay(); });
    if (jack_activate(client_) != 0) {
        why = {ErrorOpenFailed, "The JACK server did not start the program's client \"Marovane\"."};
        return false;
    }
    return true;
}

// Every callback here may run on a thread of libjack's that must not wait:
// they only set flags and wake the relay.
void JackClient::setCallbacks() {
    jack_set_process_callback(client_, &JackClient::process, this);
    // PipeWire calls only the first, jackd2 only the second when both are set.
    jack_on_shutdown(
        client_, [](void* self) { static_cast<JackClient*>(self)->noteLoss(); }, this);
    jack_on_info_shutdown(
        client_, [](jack_status_t, const char*, void* self) { static_cast<JackClient*>(self)->noteLoss(); }, this);
    // A device goes when its port, or its whole client, does.
    jack_set_client_registration_callback(
        client_,
        [](const char*, int registered, void* self) {
            if (!registered) static_cast<JackClient*>(self)->noteChange();
        },
        this);
    jack_set_port_registration_callback(
        client_,
        [](jack_port_id_t, int registered, void* self) {
            if (!registered) static_cast<JackClient*>(self)->noteChange();
        },
        this);
}

int JackClient::process(jack_nframes_t frames, void* self) {
    auto& client = *static_cast<JackClient*>(self);
    // The only writer: a plain increment, without a locked instruction.
    const std::uint64_t cycle = client.cycles_.load(std::memory_order_relaxed) + 1;
    client.cycles_.store(cycle, std::memory_order_relaxed);
    bool wake = takeIncoming(jack_port_get_buffer(client.input_, frames), *client.incoming_);
    // Before the messages are taken: whoever sees them taken sees this too.
    if (client.outgoing_->front()) client.writingCycle_.store(cycle, std::memory_order_relaxed);
    if (writeOutgoing(client.client_, frames, jack_port_get_buffer(client.output_, frames), *client.outgoing_)) {
        // Pairs with the fence in unlink(): either this cycle sees a release
        // that waits, or unlink() sees the messages taken.
        std::atomic_thread_fence(std::memory_order_seq_cst);
        wake = client.releasesPending_.load(std::memory_order_relaxed) || wake;
    }
    // One wake per cycle at most, however many messages came.
    if (wake) client.wake();
    return 0;
}

void JackClient::noteChange() {
    changed_ = true;
    wake();
}

void JackClient::noteLoss() {
    gone_ = true;
    noteChange();
}

void JackClient::relay() {
    for (;;) {
        while (sem_wait(&wake_) != 0 && errno == EINTR) {
        }
        if (stopping_) return;
        {
            std::lock_guard lock(sinksMutex_);
            while (const IncomingMessage* message = incoming_->front()) {
                for (ReceiveSink* sink : sinks_) sink->received(message->bytes.data(), message->size);
                incoming_->pop();
            }
            if (changed_.exchange(false)) {
                for (ChangeSink* changes : changes_) changes->systemChanged();
            }
        }
        if (releasesPending_) {
            std::lock_guard lock(linksMutex_);
            releaseDue();
        }
    }
}

void JackClient::stopRelay() {
    if (!relay_.joinable()) return;
    stopping_ = true;
    wake();
    relay_.join();
}

std::vector<std::string> JackClient::otherPorts(unsigned long flags) {
    std::vector<std::string> names;
    if (gone_) return names;
    const char** ports = jack_get_ports(client_, nullptr, JACK_DEFAULT_MIDI_TYPE, flags);
    if (!ports) return names;
    const std::string own = std::string(jack_get_client_name(client_)) + ":";
    for (const char** port = ports; *port; ++port) {
        if (!std::string_view(*port).starts_with(own)) names.emplace_back(*port);
    }
    jack_free(ports);
    return names;
}

PortError JackClient::link(const std::string& source, const std::string& destination) {
    std::lock_guard lock(linksMutex_);
    const LinkKey key{source, destination};
    Link& link = links_[key];
    // A connection of the program's that waits to be removed is kept instead.
    if (link.users == 0 && !link.made) {
        const int result = gone_ ? -1 : jack_connect(client_, source.c_str(), destination.c_str());
        if (result != 0 && result != EEXIST) {
            links_.erase(key);
            return {ErrorOpenFailed, "JACK could not connect \"" + source + "\" to \"" + destination + "\"."};
        }
        link.made = result == 0;
    }
    ++link.users;
    link.releaseAfter.reset();
    return {};
}

void JackClient::unlinkInput(const std::string& source) { unlink({source, inputName_}, 0); }

void JackClient::unlinkOutput(const std::string& destination) {
    unlink({outputName_, destination}, outgoing_->given());
}

void JackClient::unlink(const LinkKey& key, std::uint64_t after) {
    std::lock_guard lock(linksMutex_);
    const auto found = links_.find(key);
    if (found == links_.end() || --found->second.users > 0) return;
    if (!found->second.made || gone_) {
        links_.erase(found);
        return;
    }
    found->second.releaseAfter = after;
    releasesPending_ = true;
    std::atomic_thread_fence(std::memory_order_seq_cst);
    releaseDue();
}

void JackClient::releaseDue() {
    const std::uint64_t taken = outgoing_->taken();
    bool pending = false;
    for (auto link = links_.begin(); link != links_.end();) {
        const auto& after = link->second.releaseAfter;
        if (link->second.users == 0 && after && *after <= taken) {
            if (!gone_) jack_disconnect(client_, link->first.first.c_str(), link->first.second.c_str());
            link = links_.erase(link);
        } else {
            pending = pending || (link->second.users == 0 && after);
            ++link;
        }
    }
    releasesPending_ = pending;
}

void JackClient::addSink(ReceiveSink& sink) {
    std::lock_guard lock(sinksMutex_);
    sinks_.push_back(&sink);
}

void JackClient::removeSink(ReceiveSink& sink) {
    std::lock_guard lock(sinksMutex_);
    std::erase(sinks_, &sink);
}

void JackClient::addChanges(ChangeSink& changes) {
    std::lock_guard lock(sinksMutex_);
    changes_.push_back(&changes);
}

void JackClient::removeChanges(ChangeSink& changes) {
    std::lock_guard lock(sinksMutex_);
    std::erase(changes_, &changes);
}

bool JackClient::queue(const std::vector<unsigned char>& bytes, SendTime due) {
    OutgoingMessage message;
    message.size = static_cast<std::uint8_t>(bytes.size());
    std::copy(bytes.begin(), bytes.end(), message.bytes.begin());
    if (due) {
        // Both clocks are read now, so JACK's clock need not be steady_clock's.
        const auto ahead =
            std::chrono::duration_cast<std::chrono::microseconds>(*due - std::chrono::steady_clock::now());
        const auto jackDue = static_cast<std::int64_t>(jack_get_time()) + ahead.count();
        message.due = static_cast<jack_time_t>(std::max<std::int64_t>(1, jackDue));
    }
    return outgoing_->push(message);
}

std::optional<PortError> JackClient::failure(const std::string* device, PortDirection direction) {
    if (gone_) {
        PortError error = jackServerGone();
        if (lossTold_.exchange(true)) error.code = 0;
        return error;
    }
    if (device && !jack_port_by_name(client_, device->c_str())) {
        return deviceGone(*device, direction);
    }
    return std::nullopt;
}

}  // namespace marovane
