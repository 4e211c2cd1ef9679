// SPDX-License-Identifier: GPL-3.0-or-later
#include "JackConnections.h"

#include "midi/MidiStatus.h"
#include "midi/ShortMessage.h"

#include <chrono>
#include <cstdint>
#include <utility>
#include <vector>

namespace marovane {

namespace {

using Clock = std::chrono::steady_clock;

// A server that runs no cycle for this long while messages wait is taken
// as standing still.
constexpr std::chrono::seconds stall{1};

// The connection's change sink is told while it is open; the news of its own
// closing is not for it.
class Watched {
public:
    Watched(std::shared_ptr<JackClient> client, ChangeSink& changes) : client_(std::move(client)), changes_(changes) {
        client_->addChanges(changes_);
    }
    ~Watched() { client_->removeChanges(changes_); }
    Watched(const Watched&) = delete;
    Watched& operator=(const Watched&) = delete;

protected:
    std::shared_ptr<JackClient> client_;

private:
    ChangeSink& changes_;
};

class JackInput final : public InputConnection, private Watched {
public:
    JackInput(std::shared_ptr<JackClient> client, std::optional<std::string> device, ReceiveSink& sink,
              ChangeSink& changes)
        : Watched(std::move(client), changes), device_(std::move(device)), sink_(sink) {
        client_->addSink(sink_);
    }
    ~JackInput() override {
        client_->removeSink(sink_);
        if (device_) client_->unlinkInput(*device_);
    }

    std::optional<PortError> failure() override {
        return client_->failure(device_ ? &*device_ : nullptr, PortDirection::Input);
    }

private:
    const std::optional<std::string> device_;
    ReceiveSink& sink_;
};

class JackOutput final : public OutputConnection, private Watched {
public:
    JackOutput(std::shared_ptr<JackClient> client, std::optional<std::string> device, ChangeSink& changes)
        : Watched(std::move(client), changes), device_(std::move(device)) {}
    // What was sent still goes out: the connection stays until it has been
    // written.
    ~JackOutput() override {
        if (device_) client_->unlinkOutput(*device_);
    }

    std::optional<PortError> failure() override {
        return client_->failure(device_ ? &*device_ : nullptr, PortDirection::Output);
    }

    PortError send(const std::vector<unsigned char>& bytes, SendTime due) override {
        if (client_->gone()) {
            return {ErrorSendFailed, "The MIDI message was not sent: the JACK server is no longer running."};
        }
        if (bytes.empty() || bytes.size() > shortMessage) {
            return {ErrorSendFailed,
                    "The MIDI message was not sent: the JACK output takes messages of one to three "
                    "bytes only."};
        }
        // Never waits: while the server stands still, or has not taken a
        // whole ring's worth, messages are refused and that is said once.
        // What ends notes is taken all the same, so that none is left
        // sounding once the server runs again.
        const auto now = Clock::now();
        if (const std::uint64_t cycles = client_->cycles(); cycles != cycles_) {
            cycles_ = cycles;
            movedAt_ = now;
        }
        const bool stalled = client_->waiting() > 0 && now - movedAt_ > stall;
        const ShortMessage message = fromWire(bytes.data(), bytes.size());
        if (stalled && !endsNotes(message.status, message.data1, message.data2)) {
            return refused(jackStalled(),
                           "The MIDI message was not sent: the JACK server still runs no process cycle.");
        }
        if (!client_->queue(bytes, due)) {
            return refused({ErrorSendFailed, "The MIDI output is overrun: " + std::to_string(OutgoingRing::capacity) +
                                                 " messages wait for the JACK server, so no more are sent until it "
                                                 "has taken them."},
                           "The MIDI message was not sent: the JACK server has not yet taken the messages that wait.");
        }
        if (!stalled) refusalTold_ = false;
        return {};
    }

private:
    PortError refused(PortError first, const char* again) {
        if (std::exchange(refusalTold_, true)) return {ErrorNotDone, again};
        return first;
    }

    const std::optional<std::string> device_;
    std::uint64_t cycles_ = 0;
    Clock::time_point movedAt_ = Clock::now();  // when cycles_ was last seen to change
    bool refusalTold_ = false;
};

}  // namespace

Opened<InputConnection> openJackInput(std::shared_ptr<JackClient> client, const std::optional<std::string>& device,
                                      ReceiveSink& sink, ChangeSink& changes) {
    const std::string input = client->inputName();
    // The sink is in place before the first message can come.
    auto connection = std::make_unique<JackInput>(client, device, sink, changes);
    if (device) {
        if (PortError error = client->link(*device, input); error.code != 0) return {nullptr, std::move(error)};
    }
    return {std::move(connection), {}};
}

Opened<OutputConnection> openJackOutput(std::shared_ptr<JackClient> client, const std::optional<std::string>& device,
                                        ChangeSink& changes) {
    if (device) {
        if (PortError error = client->link(client->outputName(), *device); error.code != 0) {
            return {nullptr, std::move(error)};
        }
    }
    return {std::make_unique<JackOutput>(std::move(client), device, changes), {}};
}

}  // namespace marovane
