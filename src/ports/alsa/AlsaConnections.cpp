#include "ports/alsa/AlsaConnections.h"

#include "ports/DeviceErrors.h"
#include "ports/alsa/EventBytes.h"

#include <cerrno>
#include <utility>

namespace marovane {

namespace {

snd_seq_addr_t listed(const SequencerClient& client, const std::string& device, unsigned caps,
                      const char* direction) {
    const auto address = client.find(device, caps);
    if (!address) throw noSuchDevice(device, direction);
    return *address;
}

}  // namespace

// Watched before subscribed, so that a device that goes in between is seen.
AlsaInput::AlsaInput(std::shared_ptr<AlsaSession> session, const std::string& device, ReceiveSink& sink,
                     ChangeSink& changes)
    : session_(std::move(session)),
      device_(device),
      sink_(sink),
      watched_(listed(*session_->client, device, SequencerClient::readable, "input"), changes) {
    session_->reader.watch(watched_);
    try {
        subscription_.emplace(session_->client->handle(), watched_.address(), session_->client->inPort());
    } catch (...) {
        session_->reader.unwatch(watched_);
        throw;
    }
    session_->reader.addInput(sink_);
}

AlsaInput::~AlsaInput() {
    session_->reader.removeInput(sink_);
    session_->reader.unwatch(watched_);
}

std::optional<PortError> AlsaInput::failure() {
    if (watched_.gone()) return deviceGone(device_, "input");
    return std::nullopt;
}

AlsaOutput::AlsaOutput(std::shared_ptr<AlsaSession> session, const std::optional<std::string>& device,
                       ChangeSink& changes)
    : session_(std::move(session)), device_(device) {
    if (!device_) return;
    watched_.emplace(listed(*session_->client, *device_, SequencerClient::writable, "output"), changes);
    session_->reader.watch(*watched_);
    try {
        subscription_.emplace(session_->client->handle(), session_->client->outPort(), watched_->address());
    } catch (...) {
        session_->reader.unwatch(*watched_);
        throw;
    }
}

AlsaOutput::~AlsaOutput() {
    if (watched_) session_->reader.unwatch(*watched_);
}

std::optional<PortError> AlsaOutput::failure() {
    if (watched_ && watched_->gone()) return deviceGone(*device_, "output");
    return std::nullopt;
}

PortError AlsaOutput::send(const std::vector<unsigned char>& bytes, SendTime due) {
    snd_seq_event_t event;
    snd_seq_ev_clear(&event);
    if (!eventFromBytes(bytes.data(), bytes.size(), event)) {
        return {ErrorNotDone, "Not sent: the ALSA sequencer has no event for this message."};
    }
    snd_seq_ev_set_source(&event, session_->client->outPort().port);
    snd_seq_ev_set_subs(&event);
    const int sent = session_->sender.send(event, due);
    if (sent == -EAGAIN || sent == -ENOMEM) {
        // Said once; the messages after it are dropped quietly until one goes.
        if (std::exchange(overloadTold_, true)) {
            return {ErrorNotDone, "The MIDI message was not sent: the ALSA sequencer is still full."};
        }
        return {ErrorSendFailed,
                "The MIDI output cannot keep up: the ALSA sequencer holds as many messages as it can take, so "
                "messages are dropped until it has room again."};
    }
    if (sent < 0) {
        return {ErrorSendFailed, std::string("The MIDI message was not sent: ") + snd_strerror(sent) + "."};
    }
    overloadTold_ = false;
    return {};
}

}  // namespace marovane
