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

using Clock = std::chrono::steady_clock;

constexpr char clientName[] = "Marovane";
constexpr char inputPort[] = "Marovane In";
constexpr char outputPort[] = "Marovane Out";

// How long the UI thread waits for the server to answer a connection: a
// server that runs answers within a few milliseconds.
constexpr std::chrono::milliseconds answerWithin{100};

// A server that has run no cycle for this many periods stands still, and
// the end of the program waits this long at most for the last messages to
// be written; never less than the floor, whatever the period, nor more than
// the ceiling.
constexpr int patiencePeriods = 8;
constexpr std::chrono::microseconds patienceFloor{200'000};
constexpr std::chrono::microseconds patienceCeiling{1'000'000};

}  // namespace

std::shared_ptr<JackClient> JackClient::open(const ServerCalls& calls, PortError& why) {
    jack_client_t* handle = openJackClient(clientName, JackNoStartServer, bytesAsSent);
    if (!handle) {
        why = noJackServer();
        return nullptr;
    }
    // Closing waits for the server: it is done on the calls' thread, after
    // every call posted before it.
    std::shared_ptr<JackClient> client(new JackClient(handle, calls), [calls](JackClient* closing) {
        calls.post([closing] {
            closing->finish();
            delete closing;
        });
    });
    if (!client->start(why)) return nullptr;
    return client;
}

JackClient::JackClient(jack_client_t* client, const ServerCalls& calls) : client_(client), calls_(calls) {
    sem_init(&wake_, 0, 0);
}

JackClient::~JackClient() { sem_destroy(&wake_); }

void JackClient::close() {
    calls_.post([self = shared_from_this()] { self->finish(); });
}

// Closing a client is allowed after its server went away; libjack then only
// frees it.
void JackClient::finish() {
    if (finished_.exchange(true)) return;
    stopRelay();
    drain();
    jack_client_close(client_);
}

// What the outputs sent last (a step's notes, the endings of the notes that
// sound) is written before the client goes, at once, whatever frames it was
// due at: the ring empties, the cycle that wrote the last of it ends, and
// the one after it, in which the readers take it in. (A server that stood
// still reckons its cycles' times behind the clock for a while, and would
// hold back what was due meanwhile.) A gone server is not waited for, a
// late one no longer than its patience.
void JackClient::drain() {
    if (gone_) return;
    flushing_ = true;
    const auto deadline = Clock::now() + patience();
    const auto writing = [this] {
        if (waiting() > 0) return true;
        // Read after the ring, whose taking it comes before.
        const std::uint64_t cycle = writingCycle_.load(std::memory_order_relaxed);
        return cycle != 0 && cyclesEnded_.load(std::memory_order_relaxed) <= cycle;
    };
    while (!gone_ && writing() && Clock::now() < deadline) std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

bool JackClient::answering() const {
    if (gone_) return false;
    const jack_time_t last = lastCycleUs_.load(std::memory_order_relaxed);
    const auto silence = static_cast<std::int64_t>(jack_get_time() - last);
    return last != 0 && silence < patience().count();
}

// Read from what libjack keeps of the server's state, which does not wait
// for the server; the period is read anew, as PipeWire changes it while
// clients run.
std::chrono::microseconds JackClient::patience() const {
    const jack_nframes_t rate = jack_get_sample_rate(client_);
    const std::chrono::microseconds period{rate == 0 ? 0 : 1'000'000LL * jack_get_buffer_size(client_) / rate};
    return std::clamp(patiencePeriods * period, patienceFloor, patienceCeiling);
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
    client.lastCycleUs_.store(jack_get_time(), std::memory_order_relaxed);
    bool wake = takeIncoming(jack_port_get_buffer(client.input_, frames), *client.incoming_);
    // Before the messages are taken: whoever sees them taken sees this too.
    if (client.outgoing_->front()) client.writingCycle_.store(cycle, std::memory_order_relaxed);
    const bool atOnce = client.flushing_.load(std::memory_order_relaxed);
    if (writeOutgoing(client.client_, frames, jack_port_get_buffer(client.output_, frames), *client.outgoing_,
                      atOnce)) {
        // Pairs with the fence in unlink(): either this cycle sees a release
        // that waits, or unlink() sees the messages taken.
        std::atomic_thread_fence(std::memory_order_seq_cst);
        wake = client.releasesPending_.load(std::memory_order_relaxed) || wake;
    }
    // One wake per cycle at most, however many messages came.
    if (wake) client.wake();
    client.cyclesEnded_.store(cycle, std::memory_order_relaxed);
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
        // A lost server's client is let go of at once: closed once another
        // server runs, libjack was seen to crash.
        if (gone_ && !std::exchange(closePosted_, true)) {
            if (const auto self = weak_from_this().lock()) calls_.post([self] { self->finish(); });
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
    const LinkKey key{source, destination};
    std::shared_ptr<Answer> answer;
    {
        std::lock_guard lock(linksMutex_);
        Link& link = links_[key];
        ++link.users;
        // A connection of the program's that waits to be removed is kept
        // instead.
        link.releaseAfter.reset();
        if (link.answer) return {};
        link.answer = answer = std::make_shared<Answer>();
    }
    const bool answered =
        calls_.call([self = shared_from_this(), key, answer] { self->connect(key, answer); }, answerWithin);
    if (!answered || !answer->refused()) return {};
    std::lock_guard lock(linksMutex_);
    if (const auto found = links_.find(key); found != links_.end() && --found->second.users == 0) links_.erase(found);
    return refusal(key);
}

void JackClient::connect(const LinkKey& key, const std::shared_ptr<Answer>& answer) {
    answer->result = gone_ ? -1 : jack_connect(client_, key.first.c_str(), key.second.c_str());
    answer->given = true;
    // A refusal that came after the UI thread went on is the connection's
    // failure, which its change sink hears of.
    if (answer->refused()) noteChange();
}

bool JackClient::Answer::refused() const { return given && result != 0 && result != EEXIST; }

PortError JackClient::refusal(const LinkKey& key) {
    return {ErrorOpenFailed, "JACK could not connect \"" + key.first + "\" to \"" + key.second + "\"."};
}

void JackClient::unlinkInput(const std::string& source) { unlink({source, inputName_}, 0); }

void JackClient::unlinkOutput(const std::string& destination) {
    unlink({outputName_, destination}, outgoing_->given());
}

void JackClient::unlink(const LinkKey& key, std::uint64_t after) {
    std::lock_guard lock(linksMutex_);
    const auto found = links_.find(key);
    if (found == links_.end() || --found->second.users > 0) return;
    const Answer& answer = *found->second.answer;
    if (gone_ || (answer.given && !answer.made())) {
        links_.erase(found);
        return;
    }
    found->second.releaseAfter = after;
    releasesPending_ = true;
    std::atomic_thread_fence(std::memory_order_seq_cst);
    releaseDue();
}

// On the UI thread or the relay. A client that is closing (its last holder
// let go) removes its connections with itself.
void JackClient::releaseDue() {
    const std::uint64_t taken = outgoing_->taken();
    const auto self = weak_from_this().lock();
    bool pending = false;
    for (auto link = links_.begin(); link != links_.end();) {
        const auto& after = link->second.releaseAfter;
        if (link->second.users == 0 && after && *after <= taken) {
            if (self && !gone_) {
                calls_.post([self, key = link->first, answer = link->second.answer] {
                    // Made, or waiting for its answer before this.
                    if (answer->made() && !self->gone_)
                        jack_disconnect(self->client_, key.first.c_str(), key.second.c_str());
                });
            }
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
    if (!device) return std::nullopt;
    const LinkKey key =
        direction == PortDirection::Input ? LinkKey{*device, inputName_} : LinkKey{outputName_, *device};
    {
        std::lock_guard lock(linksMutex_);
        const auto found = links_.find(key);
        if (found != links_.end() && found->second.answer->refused()) return refusal(key);
    }
    if (!jack_port_by_name(client_, device->c_str())) return deviceGone(*device, direction);
    return std::nullopt;
}

}  // namespace marovane
