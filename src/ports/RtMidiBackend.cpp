#include "RtMidiBackend.h"

#include "JackWatch.h"

#include <RtMidi.h>

#include <chrono>
#include <exception>
#include <mutex>
#include <optional>
#include <thread>
#include <utility>

namespace marovane {

// Collects what RtMidi reports through its error callback. With a callback
// set RtMidi reports instead of throwing, and each call turns the report
// into a PortError.
class RtMidiReports {
public:
    void watch(RtMidi& midi) { midi.setErrorCallback(&RtMidiReports::record, this); }
    void clear() {
        reported_ = false;
        error_.reset();
    }
    // Anything reported since clear(), warnings included.
    bool any() const { return reported_; }
    // The first error since clear(); warnings are not errors.
    const std::optional<std::string>& error() const { return error_; }

private:
    static void record(RtMidiError::Type type, const std::string& text, void* self) {
        auto& reports = *static_cast<RtMidiReports*>(self);
        reports.reported_ = true;
        const bool warning = type == RtMidiError::WARNING || type == RtMidiError::DEBUG_WARNING;
        if (!warning && !reports.error_) reports.error_ = text;
    }

    bool reported_ = false;
    std::optional<std::string> error_;
};

namespace {

// Every client of ours is named with this prefix; that is how our own ports
// are kept out of the listings.
constexpr char kOwnPrefix[] = "Marovane";
constexpr char kOutputClient[] = "Marovane";
constexpr char kOutputPort[] = "Marovane Out";
constexpr char kInputClient[] = "Marovane In";
constexpr char kInputPort[] = "Marovane In";
// JACK makes client names unique by renaming; the listers get names of their
// own so that the output client keeps its plain one.
constexpr char kInputListClient[] = "Marovane Input List";
constexpr char kOutputListClient[] = "Marovane Output List";

// Longer than a few JACK process cycles.
constexpr std::chrono::milliseconds kJackCycles{50};

RtMidi::Api rtApi(MidiSystem system) { return system == MidiSystem::Jack ? RtMidi::UNIX_JACK : RtMidi::LINUX_ALSA; }

// RtMidi names ALSA ports "Client:Port 14:0" and JACK ports "client:port".
bool isOwnPort(const std::string& name) { return name.substr(0, name.find(':')).starts_with(kOwnPrefix); }

// Never throws: a listing that fails lists nothing.
std::vector<std::string> otherPorts(RtMidi& midi) {
    std::vector<std::string> names;
    try {
        const unsigned count = midi.getPortCount();
        for (unsigned i = 0; i < count; ++i) {
            std::string name = midi.getPortName(i);
            if (!name.empty() && !isOwnPort(name)) names.push_back(std::move(name));
        }
    } catch (...) {
        names.clear();
    }
    return names;
}

// JACK puts a change (a new connection, a closed port) into effect at the
// start of a later process cycle; until then a cycle may see the old state.
void letJackCatchUp(RtMidi::Api api) {
    if (api == RtMidi::UNIX_JACK) std::this_thread::sleep_for(kJackCycles);
}

// Inside a catch block: the exception being handled, as a PortError.
PortError caught(PortErrorCode code) {
    try {
        throw;
    } catch (const PortError& error) {
        return error;
    } catch (const std::exception& e) {
        return {code, e.what()};
    } catch (...) {
        return {code, "The MIDI system failed unexpectedly."};
    }
}

void throwIfFailed(const RtMidiReports& reports, PortErrorCode code) {
    if (reports.error()) throw PortError{code, *reports.error()};
}

// Opens the port listed as `device` now: the listing the user chose from
// may be out of date, and port numbers shift when clients come and go.
// Returns once the connection carries messages.
void openListed(RtMidi& midi, RtMidi::Api api, RtMidiReports& reports, const std::string& device, const char* ownPort,
                const char* direction) {
    reports.clear();
    const unsigned count = midi.getPortCount();
    for (unsigned i = 0; i < count; ++i) {
        const std::string name = midi.getPortName(i);
        if (name == device && !isOwnPort(name)) {
            midi.openPort(i, ownPort);
            throwIfFailed(reports, ErrorOpenFailed);
            letJackCatchUp(api);
            return;
        }
    }
    throw PortError{ErrorNoSuchDevice,
                    std::string("The MIDI ") + direction + " device \"" + device + "\" is no longer there."};
}

// What a connection under JACK shares with the watch: its change sink is
// told while it is open, and its failure is the watch's to tell. Under ALSA
// there is no watch and a connection never fails.
class Watched {
public:
    Watched(std::shared_ptr<JackWatch> watch, ChangeSink& changes, std::optional<std::string> device)
        : watch_(std::move(watch)), changes_(changes), device_(std::move(device)) {}
    // Once the device is open.
    void startWatching() {
        if (watch_) watch_->add(changes_);
    }
    // First thing when closing: the news of its own closing is not for it.
    void stopWatching() {
        if (watch_) watch_->remove(changes_);
    }
    std::optional<PortError> failure(const char* direction) {
        if (!watch_) return std::nullopt;
        return watch_->failure(device_ ? &*device_ : nullptr, direction);
    }

protected:
    std::shared_ptr<JackWatch> watch_;

private:
    ChangeSink& changes_;
    const std::optional<std::string> device_;
};

// The constructors open the port and throw a PortError when that fails, so
// that a connection that exists is an open one.
class RtInput final : public InputConnection, private Watched {
public:
    RtInput(RtMidi::Api api, const std::string& device, ReceiveSink& sink, std::shared_ptr<JackWatch> watch,
            ChangeSink& changes)
        : Watched(std::move(watch), changes, device), sink_(&sink), midi_(api, kInputClient) {
        reports_.watch(midi_);
        midi_.ignoreTypes(true, true, true);
        midi_.setCallback(&RtInput::deliver, this);
        openListed(midi_, api, reports_, device, kInputPort, "input");
        startWatching();
    }

    // RtMidi's cancelCallback() is not synchronised with its JACK thread,
    // which may then call a null callback; the sink is detached under the
    // lock instead, which also waits out a message being delivered.
    ~RtInput() override {
        stopWatching();
        {
            std::lock_guard lock(mutex_);
            sink_ = nullptr;
        }
        try {
            midi_.closePort();
        } catch (...) {
        }
    }

    std::optional<PortError> failure() override { return Watched::failure("input"); }

private:
    // Runs on RtMidi's thread.
    static void deliver(double, std::vector<unsigned char>* message, void* self) {
        auto& input = *static_cast<RtInput*>(self);
        std::lock_guard lock(input.mutex_);
        if (input.sink_) input.sink_->received(message->data(), message->size());
    }

    std::mutex mutex_;
    ReceiveSink* sink_;
    RtMidiReports reports_;
    // Last, so it goes first: its destructor ends RtMidi's thread and client
    // while what the callback uses is still there.
    RtMidiIn midi_;
};

class RtOutput final : public OutputConnection, private Watched {
public:
    // Without a device, opens the program's own virtual port.
    RtOutput(RtMidi::Api api, const std::optional<std::string>& device, std::shared_ptr<JackWatch> watch,
             ChangeSink& changes)
        : Watched(std::move(watch), changes, device), midi_(api, kOutputClient) {
        reports_.watch(midi_);
        if (device) {
            openListed(midi_, api, reports_, *device, kOutputPort, "output");
        } else {
            reports_.clear();
            midi_.openVirtualPort(kOutputPort);
            throwIfFailed(reports_, ErrorOpenFailed);
        }
        if (watch_) pace_.emplace(*watch_);
        startWatching();
    }

    // Under JACK the last messages sent may still wait in RtMidi's buffer for
    // a process cycle, and closing the port would drop them. And RtMidi 5
    // frees that buffer before it closes the JACK client, while a cycle may
    // still be reading it; once the port is closed, later cycles leave the
    // buffer alone. So: let the cycles send, close, let a running cycle end.
    // Without a server there are no cycles to wait for.
    ~RtOutput() override {
        stopWatching();
        const RtMidi::Api api = midi_.getCurrentApi();
        const bool cycling = !watch_ || !watch_->serverGone();
        if (cycling) letJackCatchUp(api);
        try {
            midi_.closePort();
        } catch (...) {
        }
        if (cycling) letJackCatchUp(api);
    }

    std::optional<PortError> failure() override { return Watched::failure("output"); }

    PortError send(const std::vector<unsigned char>& bytes, SendTime) override {
        // Also keeps RtMidi from waiting forever for room in its buffer
        // that a server which is gone, or stands still, never makes.
        if (pace_) {
            const PortError paced = pace_->beforeSend();
            if (paced.code != 0) return paced;
        }
        try {
            reports_.clear();
            midi_.sendMessage(bytes.data(), bytes.size());
            throwIfFailed(reports_, ErrorSendFailed);
            return {};
        } catch (...) {
            return caught(ErrorSendFailed);
        }
    }

private:
    std::optional<SendPace> pace_;
    RtMidiReports reports_;
    RtMidiOut midi_;
};

// Lists through a client opened for this listing only: under JACK every open
// client is woken in every period, so a lister kept open would cost CPU time
// for as long as the program runs.
template <class Lister>
std::vector<std::string> listOthers(RtMidi::Api api, const char* client) {
    try {
        RtMidiReports reports;  // outlives the lister, which reports to it
        Lister lister(api, client);
        reports.watch(lister);
        return otherPorts(lister);
    } catch (...) {
        return {};
    }
}

template <class Base, class Connection, class... Args>
Opened<Base> openNew(Args&&... args) {
    try {
        return {std::make_unique<Connection>(std::forward<Args>(args)...), {}};
    } catch (...) {
        return {nullptr, caught(ErrorOpenFailed)};
    }
}

}  // namespace

RtMidiBackend::RtMidiBackend(std::vector<MidiSystem> preference) : preference_(std::move(preference)) {}

std::vector<std::string> RtMidiBackend::inputDevices() {
    return findSystem() ? listOthers<RtMidiIn>(rtApi(*system_), kInputListClient) : std::vector<std::string>{};
}

std::vector<std::string> RtMidiBackend::outputDevices() {
    return findSystem() ? listOthers<RtMidiOut>(rtApi(*system_), kOutputListClient) : std::vector<std::string>{};
}

std::string RtMidiBackend::virtualOutputName() { return kOutputPort; }

Opened<InputConnection> RtMidiBackend::openInput(const std::string& device, ReceiveSink& sink, ChangeSink& changes) {
    if (!findSystem()) return {nullptr, noSystem()};
    return openNew<InputConnection, RtInput>(rtApi(*system_), device, sink, watch_, changes);
}

Opened<OutputConnection> RtMidiBackend::openOutput(const std::string& device, ChangeSink& changes) {
    if (!findSystem()) return {nullptr, noSystem()};
    return openNew<OutputConnection, RtOutput>(rtApi(*system_), std::optional(device), watch_, changes);
}

Opened<OutputConnection> RtMidiBackend::openVirtualOutput(ChangeSink& changes) {
    if (!findSystem()) return {nullptr, noSystem()};
    return openNew<OutputConnection, RtOutput>(rtApi(*system_), std::optional<std::string>(), watch_, changes);
}

bool RtMidiBackend::findSystem() {
    // A server that went away is given up, and the next server found used.
    // But libjack deletes the clients of a server that went away as soon as
    // the process opens another client, and closing them afterwards crashes:
    // every client on the old server is closed first. The open connections
    // close once the UI thread has heard of the loss.
    if (watch_ && watch_->serverGone()) {
        if (watch_.use_count() > 1) return false;
        watch_.reset();
        system_.reset();
    }
    if (system_) return true;
    for (MidiSystem system : preference_) {
        if (useSystem(system)) return true;
    }
    return false;
}

// A system is usable when RtMidi opens it and lists its ports without a
// word: without a sequencer ALSA throws, without a server JACK warns. JACK
// is asked by the watch first, as RtMidi 5 leaks a buffer for each JACK
// output it makes while no server runs.
bool RtMidiBackend::useSystem(MidiSystem system) {
    try {
        std::shared_ptr<JackWatch> watch;
        if (system == MidiSystem::Jack && !(watch = JackWatch::open())) return false;
        RtMidiReports reports;
        RtMidiOut probe(rtApi(system), kOutputListClient);
        reports.watch(probe);
        probe.getPortCount();
        if (reports.any()) return false;
        system_ = system;
        watch_ = std::move(watch);
        return true;
    } catch (...) {
        return false;
    }
}

PortError RtMidiBackend::noSystem() const {
    std::string text = "No MIDI system:";
    const char* joint = " ";
    for (MidiSystem system : preference_) {
        text += joint;
        text += system == MidiSystem::Jack ? "no JACK server is running" : "the ALSA sequencer could not be opened";
        joint = " and ";
    }
    return {ErrorNoMidiSystem, text + "."};
}

}  // namespace marovane
